// What the specifier code needs to know of a company's fiscal calendar.
//
// The companies code fills a CompanyCalendar from the company file and the
// calendar file; period phrases are resolved against the PeriodCalendar of
// the one year a request works with.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kovo::specifier {

inline constexpr int kMaxPeriodsPerYear = 13;
inline constexpr int kDefaultPeriodsPerYear = 12;

// One fiscal year of the calendar file.
struct FiscalYear {
  int year = 0;
  int periods = kDefaultPeriodsPerYear;                      // 1 to 13
  std::array<std::int32_t, kMaxPeriodsPerYear> period_end{};  // YYYYMMDD, 0 unused
};

struct CompanyCalendar {
  int current_year = 1996;  // the company's current fiscal year
  int current_period = 1;   // 1-based, from the company file
  int earliest_year = 0;
  int latest_year = 0;
  std::vector<FiscalYear> years;  // in calendar-file order

  const FiscalYear* find(int year) const;
  // Periods of a year; 12 when the calendar does not know the year.
  int periods_in(int year) const;
};

// The view of one requested year that period resolution works with.
struct PeriodCalendar {
  int periods_per_year = kDefaultPeriodsPerYear;  // 1 to 13
  int current_period = 1;                         // 1-based; may lie beyond the year (13)
  bool is_current_year = true;                    // requested year is the company's current year
  // Calendar month (1 to 12) of each period's end date; 0 when unknown.
  std::array<std::uint8_t, kMaxPeriodsPerYear> period_month{};
};

// The view of a year: current_period_setting overrides the company's current
// period when non-zero (the "Current Period" setting).
PeriodCalendar period_calendar(const CompanyCalendar& company, int year,
                               int current_period_setting = 0);

}  // namespace kovo::specifier
