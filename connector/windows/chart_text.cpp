#include "windows/chart_text.h"

#include <utility>
#include "specifier/text_util.h"

namespace kovo::chart {
namespace {

constexpr char kEndOfLine[] = "\r\n";

using specifier::trimmed;

std::string joined(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i) line += '\t';
    line += cells[i];
  }
  return line;
}

// A relative R1C1 offset: nothing for 0, else [n].
std::string offset(long n) { return n == 0 ? std::string() : "[" + std::to_string(n) + "]"; }

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::vector<std::string> chart_periods(std::string_view field) {
  std::vector<std::string> periods;
  std::size_t start = 0;
  while (start <= field.size()) {
    const std::size_t comma = field.find(',', start);
    const std::size_t end = comma == std::string_view::npos ? field.size() : comma;
    if (std::string piece = trimmed(field.substr(start, end - start)); !piece.empty())
      periods.push_back(std::move(piece));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return periods;
}

ChartText::ChartText(const ChartOptions& options, std::string company, std::string year,
                     std::vector<std::string> segment_names, std::vector<std::string> periods, std::size_t limit)
    : options_(options),
      company_(std::move(company)),
      year_(std::move(year)),
      segment_names_(std::move(segment_names)),
      periods_(std::move(periods)),
      limit_(limit) {
  if (!options_.show_account) options_.segment_columns = false;
  append(company_ + "\t" + year_ + "\t" + kEndOfLine);
  // The titles stand above the cells they name, whichever are shown.
  std::vector<std::string> titles;
  if (options_.show_account) {
    if (options_.segment_columns)
      for (const auto& name : segment_names_) titles.push_back(trimmed(name));
    else
      titles.emplace_back("Account");
  }
  if (options_.show_description) titles.emplace_back("Description");
  if (options_.show_origin) titles.emplace_back("Origin");
  for (const auto& period : periods_) titles.push_back(period);
  if (!titles.empty()) append(joined(titles) + kEndOfLine);
}

std::size_t ChartText::leading_columns() const {
  std::size_t columns = 0;
  if (options_.show_account) columns += options_.segment_columns ? segment_names_.size() : 1;
  if (options_.show_description) ++columns;
  if (options_.show_origin) ++columns;
  return columns;
}

std::string ChartText::account_cells(const ChartAccount& account) const {
  const std::string quote = options_.prepend_quote ? "'" : "";
  if (!options_.segment_columns) return quote + account.code;
  std::string cells = quote;
  for (const char c : account.code) cells += c == '-' ? "\t" + quote : std::string(1, c);
  return cells;
}

// =GL(account, period heading, company cell, year cell) in R1C1 references:
// the account cells at the start of the line (joined again by "-" when the
// code is split into segment columns), the period's heading above and the
// company and year of the first line.
std::string ChartText::excel_formula(const ChartAccount& account, std::size_t period) const {
  const long column = static_cast<long>(leading_columns() + period);
  const long lines_above = static_cast<long>(1 + accounts_);
  std::string account_argument;
  if (!options_.show_account) {
    account_argument = quoted(account.code);
  } else if (!options_.segment_columns) {
    account_argument = "RC" + offset(-column);
  } else {
    for (std::size_t s = 0; s < segment_names_.size(); ++s) {
      if (s) account_argument += "&\"-\"&";
      account_argument += "RC" + offset(-column + static_cast<long>(s));
    }
  }
  return "=GL(" + account_argument + ",R" + offset(-lines_above) + "C,R" + offset(-(lines_above + 1)) + "C" +
         offset(-column) + ",R" + offset(-(lines_above + 1)) + "C" + offset(-(column - 1)) + ")";
}

bool ChartText::add(const ChartAccount& account, const std::vector<std::string>& figures) {
  std::vector<std::string> cells;
  if (options_.show_account) cells.push_back(account_cells(account));
  if (options_.show_description) cells.push_back(account.description);
  if (options_.show_origin) cells.emplace_back(account.balance_sheet ? "Balance Sheet" : "P/L");
  for (std::size_t p = 0; p < periods_.size(); ++p) {
    switch (options_.formulas) {
      case FormulaStyle::None:
        cells.push_back(p < figures.size() ? figures[p] : std::string());
        break;
      case FormulaStyle::Lotus:
        cells.push_back("@GL(" + quoted(account.code) + "," + quoted(periods_[p]) + "," + quoted(company_) + "," +
                        quoted(year_) + ")");
        break;
      case FormulaStyle::Excel:
        cells.push_back(excel_formula(account, p));
        break;
    }
  }
  if (!append(joined(cells) + kEndOfLine)) return false;
  ++accounts_;
  return true;
}

bool ChartText::append(const std::string& line) {
  const std::size_t needed = text_.size() + line.size();
  if (needed > limit_) return false;
  if (needed > reserved_) {
    reserved_ = (needed + kChartGrowthStep - 1) / kChartGrowthStep * kChartGrowthStep;
    text_.reserve(reserved_);
  }
  text_ += line;
  return true;
}

}  // namespace kovo::chart
