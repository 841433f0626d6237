// Argument texts of the transaction requests: the two date forms, the filter
// value lists and the two parts of the older data's Currency field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/layouts.h"

namespace kovo::requests {

enum TranMessage : int {
  kInvalidDay = 350,
  kInvalidMonth = 351,
  kInvalidYear = 352,
  kUninterpretableDate = 353,
  kInvalidDateRange = 354,
  kNotInThisVersion = 58,
  kInvalidArgument = 91,
};

// Day, month and year; number() is year x 10000 + month x 100 + day.
using CalendarDate = layout::Date;

// Day number of the spreadsheet's date system (1 is 1 January 1900, which is
// taken as a leap year); 0 gives no date.
CalendarDate date_from_serial(long serial);

// A date written as digits only (a serial day number) or as day, month name
// and year ("1Jan07", "31dec2007"). Returns 0 or the message number, reported
// with the text as detail.
int parse_request_date(std::string_view text, CalendarDate& out);

// The two dates of a request; a To date before the From date gives 354.
int parse_date_range(std::string_view from, std::string_view to, CalendarDate& from_out,
                     CalendarDate& to_out);

inline constexpr std::size_t kMaxListValues = 20;

// A filter field: blanks removed, values separated by commas, at most 20
// values count. An empty list does not filter.
std::vector<std::string> value_list(std::string_view field);

// The older data's Currency field in two parts: "(a)(b)" or "a,b" (cut at the
// first comma). Unbalanced parentheses give 91 with the field as detail.
struct CurrencyParts {
  std::string first;
  std::string second;
};
int currency_parts(std::string_view field, CurrencyParts& out);

}  // namespace kovo::requests
