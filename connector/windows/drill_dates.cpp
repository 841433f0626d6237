#include "windows/drill_dates.h"

#include <algorithm>
#include <optional>

#include "specifier/period_range.h"

namespace kovo::drill {
namespace {

constexpr int kNoData = 11;

struct PeriodAt {
  int year = 0;
  int index = 0;  // from 0
};

// A period index that ran past its year's last is the next year's first.
PeriodAt normalised(const data::CompanyContext& company, PeriodAt at) {
  const data::YearEntry* entry = company.year_entry(at.year);
  if (entry && at.index >= entry->periods) return {at.year + 1, 0};
  return at;
}

std::variant<DateRange, int> dates_of(const data::CompanyContext& company, PeriodAt first, PeriodAt last) {
  first = normalised(company, first);
  const data::YearEntry* from = company.year_entry(first.year);
  const data::YearEntry* to = company.year_entry(last.year);
  if (!from || !to) return kNoData;
  last.index = std::min(last.index, to->periods - 1);
  if (first.index < 0 || last.index < 0) return kNoData;
  return DateRange{from->start[static_cast<std::size_t>(first.index)], to->end[static_cast<std::size_t>(last.index)]};
}

}  // namespace

std::variant<DateRange, int> period_dates(const specifier::PeriodList& periods, const data::CompanyContext& company,
                                          int year, int current_period_setting) {
  const specifier::PeriodCalendar calendar = company.period_calendar(year, current_period_setting);
  std::optional<DateRange> span;
  for (const specifier::PeriodDescriptor& entry : periods) {
    specifier::PeriodDescriptor d = entry;
    specifier::map_month_name(d, calendar);
    const specifier::Resolved resolved = specifier::resolve(d, calendar);
    if (const int* failure = std::get_if<int>(&resolved)) return *failure;
    const auto& r = std::get<specifier::PeriodRange>(resolved);
    const auto dates = r.running ? dates_of(company, {year - r.year, r.start + 1}, {year - r.end_year, r.current})
                                 : dates_of(company, {year - r.year, r.start}, {year - r.year, r.start + r.length});
    if (const int* failure = std::get_if<int>(&dates)) return *failure;
    const DateRange& range = std::get<DateRange>(dates);
    if (!span) {
      span = range;
    } else {
      if (range.from.number() < span->from.number()) span->from = range.from;
      if (range.to.number() > span->to.number()) span->to = range.to;
    }
  }
  if (!span) return kNoData;
  return *span;
}

}  // namespace kovo::drill
