// WGL: one budget figure written from a formula into an account's balance
// record, and answered back so that the cell shows what it wrote.
#pragma once

#include <string>
#include <string_view>
#include <optional>

#include "data/companies.h"
#include "specifier/period.h"

namespace kovo::requests {

inline constexpr int kWglYearZero = 41;         // "0 is invalid Year for WGL function"
inline constexpr int kWglBadType = 70;          // "Invalid or missing Type found"
inline constexpr int kWglBudgetTransactions = 92;
inline constexpr int kWglOriginalLocked = 59;
inline constexpr int kWglInvalidAmount = 4301;  // "Invalid amount found:"
inline constexpr int kWglNotOnePeriod = 4303;   // "Only a single period can be written:"

// The fiscal period (1 to 13) a descriptor names as one single period of
// the year written: the current period, one n periods back, a numbered one
// or a month by name. Any other descriptor (a quarter, half year or year,
// to-date, another year, running, opening, debits or credits) sums several
// figures, which one figure cannot be split into: 0.
int single_period_of(const specifier::PeriodDescriptor& descriptor, const specifier::PeriodCalendar& calendar);

// The Value field as a number: a plain decimal number with blanks around
// it, nothing else.
std::optional<double> wgl_value(std::string_view text);

// Value;AccountSpec;Period;Company;Year;Type;Currency. Always 0; the answer
// or the failure is in result.
int wgl_request(std::string_view arguments, std::string& result);

}  // namespace kovo::requests
