// Field names of the account and company data requests and their codes.
#pragma once

#include <optional>
#include <string_view>

namespace kovo::requests {

enum AccountField : int {
  kAccountDescription = 0,
  kAccountType = 1,
  kAccountTypicalBalance = 3,
  kAccountOrigin = 4,
  kAccountBudget = 7,
  kAccountMemo1 = 8,
  kAccountMemo2 = 9,
};

// The first keyword whose leading characters the name matches (case ignored).
std::optional<int> account_field_code(std::string_view name);

inline constexpr int kFirstStartDateCode = 2000;  // "Start1" .. "Start13": 2000 .. 2012
inline constexpr int kFirstEndDateCode = 2013;    // "End1" .. "End13": 2013 .. 2025

// "NAME", "PERIOD", "KovoPERIOD", "YEAR", "TSO", "MAIN", "SEGMENTS" (100 to 106),
// or "Start"/"End" with a period number 1 to 13.
std::optional<int> company_field_code(std::string_view name);

}  // namespace kovo::requests
