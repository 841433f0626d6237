// Resolving a period descriptor into a range of fiscal periods, and the value
// of a range over a table of per-period amounts.
#pragma once

#include <array>
#include <cstddef>
#include <variant>

#include "specifier/calendar.h"
#include "specifier/period.h"

namespace kovo::specifier {

// Zero-based period indexes within a year. For a running window, start is the
// index just before the window and current its last period.
struct PeriodRange {
  int start = 0;
  int length = 0;    // the range is start .. start + length inclusive
  int current = 0;
  int year = 0;      // 0 the requested year, 1 the year before
  int end_year = 0;  // year of a running window's last period
  bool budget = false;
  bool running = false;  // a running window (start and current bound it)
  bool change = false;   // net movement rather than balance
  bool opening = false;  // opening rather than closing balance
  int periods_per_year = kDefaultPeriodsPerYear;
};

inline constexpr std::size_t kAmountPeriods = 13;

// Amounts by budget (0 actual, 1 budget), year (0 requested, 1 the year
// before) and period index. What an amount holds depends on the kind of
// account: the period-end balance for balance accounts, the period change
// for the others.
struct AmountTable {
  std::array<std::array<std::array<double, kAmountPeriods>, 2>, 2> amount{};
  double opening_balance = 0;  // of the requested year, balance accounts only

  using Row = std::array<std::array<double, kAmountPeriods>, 2>;
  const Row& of(bool budget) const { return amount[budget ? 1 : 0]; }
};

enum class AccountKind { Other = 1, Balance = 2 };

// A range, or the number of the message that refuses the descriptor.
using Resolved = std::variant<PeriodRange, int>;

// Descriptor against the calendar of the requested year. Reports nothing:
// the caller reports the number with its own detail.
Resolved resolve(const PeriodDescriptor& d, const PeriodCalendar& calendar);

// Which years of data the descriptor needs: 0 the requested year only, 1 the
// year before only, 2 both, or a message number (which also means both).
struct YearsNeeded {
  int years = 0;
  bool budget = false;
};
YearsNeeded years_needed(const PeriodDescriptor& d, int current_period, int periods_per_year);

// Value of a range; the message number 11 when the range reaches outside the
// table or needs an opening balance the table does not hold.
using Valued = std::variant<double, int>;
Valued range_value(const PeriodRange& range, AccountKind kind, const AmountTable& table);

// resolve, then range_value.
Valued evaluate(const PeriodDescriptor& d, const PeriodCalendar& calendar, AccountKind kind,
                const AmountTable& table);

}  // namespace kovo::specifier
