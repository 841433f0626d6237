#include "specifier/calendar.h"

#include <algorithm>

namespace kovo::specifier {

const FiscalYear* CompanyCalendar::find(int year) const {
  const auto it = std::find_if(years.begin(), years.end(),
                               [year](const FiscalYear& y) { return y.year == year; });
  return it == years.end() ? nullptr : &*it;
}

int CompanyCalendar::periods_in(int year) const {
  const FiscalYear* y = find(year);
  return y ? std::clamp(y->periods, 1, kMaxPeriodsPerYear) : kDefaultPeriodsPerYear;
}

PeriodCalendar period_calendar(const CompanyCalendar& company, int year,
                               int current_period_setting) {
  PeriodCalendar view;
  view.periods_per_year = company.periods_in(year);
  view.current_period = current_period_setting != 0 ? current_period_setting
                                                     : company.current_period;
  view.is_current_year = year == company.current_year;
  if (const FiscalYear* y = company.find(year)) {
    for (int i = 0; i < view.periods_per_year; ++i) {
      const int month = (y->period_end[i] / 100) % 100;
      if (month >= 1 && month <= 12) view.period_month[i] = static_cast<std::uint8_t>(month);
    }
  }
  return view;
}

}  // namespace kovo::specifier
