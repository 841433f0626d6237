#include "windows/list_contents.h"

#include <algorithm>
#include <set>
#include <span>

#include "data/companies.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "requests/data_requests.h"
#include "requests/record_sources.h"
#include "specifier/account_code.h"
#include "specifier/account_specifier.h"
#include "specifier/text_util.h"
#include "windows/budget_block.h"

namespace kovo::lists {
namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return specifier::trim_right(s);
}

ListText items_of(std::span<const std::string_view> items, ItemStyle style = ItemStyle::Quoted) {
  ListText list;
  list.style = style;
  for (const auto item : items) list.entries.push_back({std::string(item), {}, false});
  return list;
}

ListText items_of(std::initializer_list<std::string_view> items, ItemStyle style = ItemStyle::Quoted) {
  return items_of(std::span<const std::string_view>(items.begin(), items.size()), style);
}

ListText periods_list(ListForm form) {
  ListText list;
  list.style = ItemStyle::Plain;
  for (int id = kFirstPeriodString; id <= kLastPeriodString; ++id) {
    const std::string phrase = message_string(id);
    if (phrase.empty()) continue;
    if (form == ListForm::Result && is_unanswerable_period(phrase)) continue;
    list.entries.push_back({phrase, {}, false});
  }
  return list;
}

ListText companies_list(ListForm form) {
  ListText list;
  for (const auto& line : data::cyma_company_list())
    list.entries.push_back({line.substr(0, line.find('\t')), {}, false});
  if (list.entries.empty() && form == ListForm::Result) list.entries.push_back({settings().company, {}, false});
  return list;
}

ListText catalogue(const std::vector<std::string>& names, bool axis_codes) {
  ListText list = axis_codes ? items_of({"3", "2", "5", "4"}) : items_of({"Companies", "Periods", "Budgets", "Years"});
  for (int s = 0; s < static_cast<int>(names.size()); ++s)
    list.entries.push_back({axis_codes ? std::to_string(-(s + 1)) : segment_label(names, s), {}, false});
  return list;
}

ListText segment_definitions(const data::CompanyContext& c, const std::vector<std::string>& names) {
  auto name = [&](std::size_t s) { return std::string(trimmed(s < names.size() ? names[s] : std::string())); };
  const std::string company = ",!Company," + c.id;
  std::string line = "0," + name(0) + company + ",";
  for (std::size_t s = 0; s < names.size(); ++s) line += ";" + std::to_string(s) + "," + name(s) + company;
  ListText list;
  list.style = ItemStyle::Raw;
  list.entries.push_back({line, {}, false});
  return list;
}

ListText years_list(const data::CompanyContext& c) {
  std::set<int, std::greater<>> years;
  for (const auto& y : c.years) years.insert(y.year);
  ListText list;
  list.style = ItemStyle::Plain;
  list.entries.push_back({"0", {}, false});
  for (const int year : years) list.entries.push_back({std::to_string(year), {}, false});
  return list;
}

BuildStatus accounts_list(data::CompanyContext& c, const windows::RowCheck& row, ListText& list) {
  if (data::open_company_file(c, layout::FileKind::Accounts) != 0) {
    report_read_failure(c.data_directory);
    return BuildStatus::Failed;
  }
  list.descriptions = true;
  requests::AccountSource source(c);
  for (bool more = source.seek(0, ""); more; more = source.next()) {
    if (row && !row()) return BuildStatus::Stopped;
    if (const auto account = layout::decode_account(source.record()))
      list.entries.push_back({specifier::hyphenated_code(account->code, c.structure),
                              std::string(specifier::trim_right(account->description)), false});
  }
  return source.failure() == 0 ? BuildStatus::Built : BuildStatus::Failed;
}

// The values of segment s in the accounts whose where-segment matches one
// of the alternatives, ascending.
std::vector<std::string> selected_values(const SegmentValueCache& cache, int segment, int where, int where_width,
                                         const std::vector<std::string>& alternatives) {
  std::set<std::string> values;
  for (const auto& account : cache.accounts()) {
    const std::string& key = account[static_cast<std::size_t>(where)];
    const bool match = std::any_of(alternatives.begin(), alternatives.end(), [&](const std::string& a) {
      return specifier::segment_value_matches(a, key, static_cast<std::size_t>(where_width));
    });
    if (match) values.insert(account[static_cast<std::size_t>(segment)]);
  }
  return {values.begin(), values.end()};
}

BuildStatus segment_list(data::CompanyContext& c, const ListRequest& request, SegmentValueCache& cache,
                         const windows::RowCheck& row, ListText& list) {
  const Settings& s = settings();
  const bool descriptions = s.list_generate_descriptions != 0;
  const int status = cache.prepare(c, {descriptions, s.list_use_sad_file != 0}, row);
  if (status == kStopped) return BuildStatus::Stopped;
  if (status != 0) return BuildStatus::Failed;
  list.descriptions = descriptions;
  const int segment = request.segment();
  auto add = [&](const std::vector<std::string>& values) {
    for (const auto& value : values)
      list.entries.push_back({value, descriptions ? std::string(cache.description(segment, value)) : std::string(), false});
  };
  if (request.where_segment < 0) {
    add(cache.values(segment));
    return BuildStatus::Built;
  }
  const int width = c.structure.width[static_cast<std::size_t>(request.where_segment)];
  for (const auto& criterion : parse_criteria(request.is_text)) {
    if (criterion.heading) list.entries.push_back({criterion.heading_text, {}, true});
    else add(selected_values(cache, segment, request.where_segment, width, criterion.alternatives));
  }
  return BuildStatus::Built;
}

bool needs_company(std::string_view request) {
  if (!names_a_fixed_list(request)) return true;
  switch (*fixed_list_number(request)) {
    case kLists: case kAxisData: case kAccounts: case kYears: case kSegDefs: return true;
    default: return false;
  }
}

// Splits at "+" outside parentheses.
std::vector<std::string_view> plus_separated(std::string_view text) {
  std::vector<std::string_view> parts;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : '+';
    if (c == '(') ++depth;
    else if (c == ')' && depth > 0) --depth;
    else if (c == '+' && (depth == 0 || i == text.size())) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

}  // namespace

std::vector<Criterion> parse_criteria(std::string_view is_text) {
  std::vector<Criterion> criteria;
  for (std::string_view part : plus_separated(is_text)) {
    part = trimmed(part);
    if (part.empty()) continue;
    Criterion criterion;
    if (part.size() >= 2 && part.front() == '#' && part.back() == '#') {
      criterion.heading = true;
      criterion.heading_text = std::string(part.substr(1, part.size() - 2));
      criteria.push_back(std::move(criterion));
      continue;
    }
    std::string text(part);
    if (text.size() >= 2 && text.front() == '(' && text.back() == ')') text = text.substr(1, text.size() - 2);
    std::replace(text.begin(), text.end(), '+', ',');
    std::size_t start = 0;
    for (;;) {
      const std::size_t comma = text.find(',', start);
      const std::string_view alternative =
          trimmed(std::string_view(text).substr(start, comma == std::string::npos ? std::string::npos : comma - start));
      if (!alternative.empty()) criterion.alternatives.emplace_back(alternative);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (!criterion.alternatives.empty()) criteria.push_back(std::move(criterion));
  }
  return criteria;
}

data::CompanyContext* list_company() {
  const std::string id = requests::single_company({});
  if (id.empty()) return nullptr;
  data::purge_failed_companies();
  data::CompanyContext* company = data::find_or_open_company(id);
  if (data::company_error_check(company) != 0) return nullptr;
  return company;
}

std::vector<std::string> segment_names(const data::CompanyContext& company) {
  const int count = std::clamp(company.structure.segment_count, 0, specifier::kMaxSegments);
  return {company.segment_names.begin(), company.segment_names.begin() + count};
}

BuiltList build_list(std::string_view request, ListForm form, SegmentValueCache& cache,
                     const windows::RowCheck& row) {
  BuiltList built;
  if (!needs_company(request)) {
    switch (*fixed_list_number(request)) {
      case kBwbHeaders:
        built.list = items_of(budget::kHeadings);
        built.list.one_row = true;
        break;
      case kGrants: break;
      case kCompanies: built.list = companies_list(form); break;
      case kPeriods: built.list = periods_list(form); break;
      case kBudgets: built.list = items_of({"Budget", "Revised Budget"}); break;
      default: break;
    }
    return built;
  }
  data::CompanyContext* company = list_company();
  if (!company) return {BuildStatus::Failed, {}};
  const std::vector<std::string> names = segment_names(*company);
  const auto parsed = parse_list_request(request, names, settings().natural_account_segment);
  if (!parsed) return {BuildStatus::NoSuchList, {}};
  switch (parsed->number) {
    case kLists: built.list = catalogue(names, false); break;
    case kAxisData: built.list = catalogue(names, true); break;
    case kYears: built.list = years_list(*company); break;
    case kSegDefs: built.list = segment_definitions(*company, names); break;
    case kAccounts: built.status = accounts_list(*company, row, built.list); break;
    default: built.status = segment_list(*company, *parsed, cache, row, built.list); break;
  }
  return built;
}

}  // namespace kovo::lists
