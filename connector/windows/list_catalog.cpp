#include "windows/list_catalog.h"

#include <algorithm>
#include <cctype>

#include "resources/resource_ids.h"
#include "specifier/text_util.h"

namespace kovo::lists {
namespace {

using specifier::equal_folded;

struct FixedList {
  std::string_view name;
  int number;
};

constexpr FixedList kFixedLists[] = {
    {"Lists", kLists},         {"AxisData", kAxisData}, {"Accounts", kAccounts},
    {"BWB Headers", kBwbHeaders}, {"Grants", kGrants},   {"Companies", kCompanies},
    {"Periods", kPeriods},     {"Budgets", kBudgets},   {"Years", kYears},
    {"SegDefs", kSegDefs},
};

constexpr std::string_view kNatural = "Natural";

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return specifier::trim_right(s);
}

std::optional<int> decimal(std::string_view s) {
  if (s.empty() || s.size() > 3) return std::nullopt;
  int value = 0;
  for (const char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// "a;b;c" into at most three parts.
std::vector<std::string_view> request_parts(std::string_view text) {
  std::vector<std::string_view> parts;
  for (int i = 0; i < 2; ++i) {
    const std::size_t semicolon = text.find(';');
    if (semicolon == std::string_view::npos) break;
    parts.push_back(text.substr(0, semicolon));
    text.remove_prefix(semicolon + 1);
  }
  parts.push_back(text);
  return parts;
}

}  // namespace

std::optional<int> fixed_list_number(std::string_view name) {
  name = trimmed(name);
  for (const auto& list : kFixedLists)
    if (equal_folded(list.name, name)) return list.number;
  return std::nullopt;
}

std::string_view fixed_list_name(int number) {
  for (const auto& list : kFixedLists)
    if (list.number == number) return list.name;
  return {};
}

std::string segment_label(const std::vector<std::string>& names, int segment) {
  if (segment >= 0 && static_cast<std::size_t>(segment) < names.size()) {
    const std::string_view name = trimmed(names[static_cast<std::size_t>(segment)]);
    if (!name.empty()) return std::string(name);
  }
  return "Segment " + std::to_string(segment + 1);
}

std::optional<int> find_segment(std::string_view name, const std::vector<std::string>& names,
                                int natural_segment) {
  name = trimmed(name);
  const int count = static_cast<int>(names.size());
  if (name.empty()) return std::nullopt;
  if (equal_folded(name, kNatural)) {
    if (natural_segment >= 1 && natural_segment <= count) return natural_segment - 1;
    return std::nullopt;
  }
  for (int s = 0; s < count; ++s)
    if (equal_folded(trimmed(names[static_cast<std::size_t>(s)]), name)) return s;
  for (int s = 0; s < count; ++s)
    if (equal_folded(segment_label(names, s), name)) return s;
  if (const auto number = decimal(name); number && *number >= 1 && *number <= count) return *number - 1;
  return std::nullopt;
}

bool names_a_fixed_list(std::string_view text) {
  return text.find(';') == std::string_view::npos && fixed_list_number(text).has_value();
}

std::optional<ListRequest> parse_list_request(std::string_view text, const std::vector<std::string>& names,
                                              int natural_segment) {
  const auto parts = request_parts(text);
  ListRequest request;
  if (parts.size() == 1) {
    if (const auto fixed = fixed_list_number(parts[0])) {
      request.number = *fixed;
      return request;
    }
  }
  const auto segment = find_segment(parts[0], names, natural_segment);
  if (!segment) return std::nullopt;
  request.number = kFirstSegment + *segment;
  if (parts.size() < 2 || trimmed(parts[1]).empty() || equal_folded(trimmed(parts[1]), kNoWhere))
    return request;
  const std::string_view is_text = parts.size() > 2 ? parts[2] : std::string_view{};
  if (trimmed(is_text).empty()) return request;  // nothing to select by
  const auto where = find_segment(parts[1], names, natural_segment);
  if (!where) return std::nullopt;
  request.where_segment = *where;
  request.is_text = std::string(is_text);
  return request;
}

bool is_reset_request(std::string_view text) { return equal_folded(trimmed(text), "RESET"); }

const std::vector<ListChoice>& list_choices() {
  static const std::vector<ListChoice> choices = {
      {IDC_LIST_SEGMENTS, 0, nullptr},         {IDC_LIST_COMPANIES, 1, "Companies"},
      {IDC_LIST_BUDGETS, 2, "Budgets"},        {IDC_LIST_BWB_HEADERS, 10, "BWB Headers"},
      {IDC_LIST_LISTS, 4, "Lists"},            {IDC_LIST_PERIODS, 5, "Periods"},
      {IDC_LIST_YEARS, 6, "Years"},            {IDC_LIST_ACCOUNTS, 9, "Accounts"},
      {IDC_LIST_GRANTS, 11, "Grants"},
  };
  return choices;
}

const ListChoice* choice_by_control(int control) {
  for (const auto& choice : list_choices())
    if (choice.control == control) return &choice;
  return nullptr;
}

const ListChoice* choice_by_value(int selected_value) {
  for (const auto& choice : list_choices())
    if (choice.selected_value == selected_value) return &choice;
  return nullptr;
}

std::string compose_list_request(const ListWindowFields& fields, IsTranslation translate) {
  const ListChoice* choice = choice_by_value(fields.selected_value);
  if (choice && choice->list_name) return choice->list_name;
  auto field = [](const std::string& text) { return std::string(trimmed(text.substr(0, kSegmentFieldLimit))); };
  std::string request = field(fields.segment) + ";";
  const std::string where = field(fields.where);
  if (where.empty() || equal_folded(where, kNoWhere)) return request;
  std::string is = field(fields.is);
  if (translate) {
    is.resize(std::min(is.size(), is.find(';')));
    if (const auto values = translate(where, is)) is = *values;
  }
  return request + where + ";" + is;
}

bool is_unanswerable_period(std::string_view phrase) {
  return equal_folded(phrase, "This Quarter Last Year Budget") || equal_folded(phrase, "Year to Date Last Year Budget");
}

}  // namespace kovo::lists
