#include "windows/budget_block.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "specifier/text_util.h"

namespace kovo::budget {
namespace {

constexpr std::string_view kUseHeadings = "Use 'Account', '1', '2' etc.";

bool blank(char c) { return c == ' ' || c == '\t' || c == '\xA0'; }
bool line_end(char c) { return c == '\r' || c == '\n'; }
bool digit(char c) { return c >= '0' && c <= '9'; }
// The currency signs a copied amount may carry ($, and the code page's euro,
// pound and yen).
bool currency(char c) { return c == '$' || c == '\x80' || c == '\xA3' || c == '\xA5'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool blank_cell(const std::string& cell) { return trimmed(cell).empty(); }

std::optional<std::size_t> heading_number(std::string name) {
  specifier::upper_in_place(name);
  const auto found = std::find(kHeadings.begin(), kHeadings.end(), name);
  if (found == kHeadings.end()) return std::nullopt;
  return static_cast<std::size_t>(found - kHeadings.begin());
}

constexpr CellAmount kNotAnAmount{AmountCell::Invalid, 0};

}  // namespace

std::string plain_text(std::string_view cell) {
  cell = trimmed(cell);
  if (!cell.empty() && cell.front() == '\'') cell = trimmed(cell.substr(1));
  return std::string(cell);
}

// ---------------------------------------------------------------- rows

std::string BlockRows::read_cell(bool& row_ended) {
  std::string cell;
  bool quoted = false;
  if (at_ < text_.size() && text_[at_] == '"') {
    // A quoted cell counts only when it is well formed: its closing quote
    // ends the cell. Anything else is a cell that merely starts with a quote.
    std::size_t j = at_ + 1;
    while (j < text_.size()) {
      if (text_[j] != '"') {
        cell += text_[j++];
        continue;
      }
      if (j + 1 < text_.size() && text_[j + 1] == '"') {
        cell += '"';
        j += 2;
        continue;
      }
      quoted = j + 1 == text_.size() || text_[j + 1] == '\t' || line_end(text_[j + 1]);
      break;
    }
    if (quoted) {
      at_ = j + 1;
    } else {
      cell.clear();
    }
  }
  if (!quoted) {
    const std::size_t end = std::min(text_.find_first_of("\t\r\n", at_), text_.size());
    cell.assign(text_.substr(at_, end - at_));
    at_ = end;
  }
  row_ended = true;
  if (at_ < text_.size()) {
    const char separator = text_[at_++];
    if (separator == '\t') {
      row_ended = false;
    } else if (separator == '\r' && at_ < text_.size() && text_[at_] == '\n') {
      ++at_;
    }
  }
  return cell;
}

bool BlockRows::next(std::vector<std::string>& cells) {
  while (at_ < text_.size()) {
    row_ = next_row_++;
    cells.clear();
    for (bool ended = false; !ended;) cells.push_back(read_cell(ended));
    if (!std::all_of(cells.begin(), cells.end(), blank_cell)) return true;
  }
  cells.clear();
  return false;
}

// ---------------------------------------------------------------- headings

std::variant<HeadingMap, Refusal> read_headings(const std::vector<std::string>& cells) {
  std::size_t count = cells.size();
  while (count > 0 && blank_cell(cells[count - 1])) --count;
  HeadingMap map;
  for (std::size_t column = 0; column < count; ++column) {
    const std::string name = plain_text(cells[column]);
    if (name.empty())
      return Refusal{kMessageHeadingsFailed,
                     "An empty heading in column " + std::to_string(column + 1) + " is not recognized. " +
                         std::string(kUseHeadings)};
    const auto number = heading_number(name);
    if (!number) return Refusal{kMessageHeadingsFailed, name + " not recognized. " + std::string(kUseHeadings)};
    if (map.column[*number])
      return Refusal{kMessageHeadingsFailed, name + " appears twice. " + std::string(kUseHeadings) + " once each."};
    map.column[*number] = column;
  }
  if (!map.column[kAccountHeading]) return Refusal{kMessageNoAccountHeading, {}};
  return map;
}

// ---------------------------------------------------------------- amounts

CellAmount read_amount(std::string_view cell, const AmountLocale& locale) {
  cell = trimmed(cell);
  if (cell.empty()) return {};
  const std::string_view decimal = locale.decimal.empty() ? std::string_view(".") : std::string_view(locale.decimal);
  const std::string_view thousands = locale.thousands;
  const auto at = [&](std::size_t i, std::string_view mark) { return !mark.empty() && cell.substr(i, mark.size()) == mark; };

  enum class Phase { Before, Number, After } phase = Phase::Before;
  bool sign = false, negative = false, parenthesis = false, closed = false, point = false;
  std::string number;  // digits and "." only
  std::vector<std::size_t> groups;  // digits of each thousands group of the whole part
  std::size_t group = 0, digits = 0;
  for (std::size_t i = 0; i < cell.size();) {
    const char c = cell[i];
    if (phase == Phase::Before) {
      if (blank(c) || currency(c)) {
        ++i;
        continue;
      }
      if (c == '-' || c == '+' || c == '(') {
        if (sign) return kNotAnAmount;
        sign = true;
        negative = c != '+';
        parenthesis = c == '(';
        ++i;
        continue;
      }
      phase = Phase::Number;
    }
    if (phase == Phase::Number) {
      if (digit(c)) {
        number += c;
        ++group;
        ++digits;
        ++i;
        continue;
      }
      if (at(i, decimal)) {
        if (point) return kNotAnAmount;
        point = true;
        groups.push_back(group);
        number += '.';
        i += decimal.size();
        continue;
      }
      if (!point && at(i, thousands) && i + thousands.size() < cell.size() && digit(cell[i + thousands.size()])) {
        if (group == 0) return kNotAnAmount;
        groups.push_back(group);
        group = 0;
        i += thousands.size();
        continue;
      }
      phase = Phase::After;
    }
    if (blank(c) || currency(c)) {
      ++i;
    } else if (c == ')' && parenthesis && !closed) {
      closed = true;
      ++i;
    } else if (c == '-' && !sign) {
      sign = negative = true;
      ++i;
    } else {
      return kNotAnAmount;
    }
  }
  if (parenthesis && !closed) return kNotAnAmount;
  if (digits == 0) {
    // "-" alone is how an accounting format shows zero.
    const bool dash = sign && negative && !parenthesis && !point;
    return dash ? CellAmount{AmountCell::Amount, 0} : kNotAnAmount;
  }
  if (!point) groups.push_back(group);
  if (groups.size() > 1 && locale.grouping > 0) {
    // Thousands separators stand between groups of the locale's size; one
    // elsewhere ("1,20", or the separators of another locale) says that the
    // figure was not written the way this machine reads it.
    const auto size = static_cast<std::size_t>(locale.grouping);
    if (groups.back() != size || groups.front() == 0) return kNotAnAmount;
    for (const std::size_t g : groups)
      if (g == 0 || g > size) return kNotAnAmount;
  }
  const double value = std::strtod(number.c_str(), nullptr);
  if (!std::isfinite(value)) return kNotAnAmount;
  return {AmountCell::Amount, negative && value != 0 ? -value : value};
}

// ---------------------------------------------------------------- lines

bool BudgetLine::supplies_any() const {
  return std::any_of(amounts.begin(), amounts.end(), [](const auto& a) { return a.has_value(); });
}

std::variant<BudgetLine, Refusal> read_line(const std::vector<std::string>& cells, const HeadingMap& headings,
                                            const AmountLocale& locale) {
  BudgetLine line;
  const std::size_t account_column = *headings.column[kAccountHeading];
  if (account_column < cells.size()) line.account = plain_text(cells[account_column]);
  for (int period = 1; period <= layout::kPeriods; ++period) {
    const auto column = headings.period(period);
    if (!column || *column >= cells.size()) continue;
    const CellAmount amount = read_amount(cells[*column], locale);
    if (amount.kind == AmountCell::Invalid)
      return Refusal{kMessageInvalidAmount, (line.account.empty() ? std::string("a row without an account")
                                                                  : line.account) +
                                                ", period " + std::to_string(period) + ": " +
                                                std::string(trimmed(cells[*column]))};
    if (amount.kind == AmountCell::Amount) line.amounts[static_cast<std::size_t>(period - 1)] = amount.value;
  }
  return line;
}

}  // namespace kovo::budget
