// The dates a drill's period covers: the transactions listed for a figure
// are those dated within the periods that the figure sums.
#pragma once

#include <variant>

#include "data/companies.h"
#include "data/layouts.h"
#include "specifier/period.h"

namespace kovo::drill {

struct DateRange {
  layout::Date from, to;
};

// Each descriptor is resolved against the company's calendar for the
// requested year (its running windows and the year before included) and
// covers the first day of its first period to the last day of its last;
// several descriptors cover the span of them all. A failure is the number
// of the message that refuses the period: the resolution's own, or 11 when
// the calendar does not hold a year the period reaches.
std::variant<DateRange, int> period_dates(const specifier::PeriodList& periods, const data::CompanyContext& company,
                                          int year, int current_period_setting);

}  // namespace kovo::drill
