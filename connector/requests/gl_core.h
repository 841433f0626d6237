// The pure steps of a GL value request: its argument defaults and how a
// balance record adds into the amount table.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "specifier/period_range.h"

namespace kovo::requests {

// What each company of the stack is evaluated with. The year is filled in
// place by the first company when it was left empty or "0".
struct GlRequest {
  std::string account_spec;
  std::string year;       // up to 4 characters; empty or "0": the company's current year
  std::string type_name;  // "Budget" or "Revised Budget"
  bool budget = false;    // set per descriptor from the period phrase
};

// The message of a Year that is not written as a year.
inline constexpr int kInvalidYearText = 123;

// Year field: empty takes the "Setup Year" setting, two digits get "20" in
// front. A year is written as digits only: empty or "0" (the company's
// current year), two digits or four. Anything else -- "Bogus", "-1",
// "2008x", six digits -- would be read as some other year and answer that
// year's figure as if it were asked for, so it is refused: nothing.
std::optional<std::string> gl_year_text(std::string_view field, std::string_view setup_year);

// Type field (already upper-cased): empty keeps the "Type" setting; "R..." or
// "1..." is the revised budget, anything else the budget.
std::string gl_type_name(std::string_view field, std::string_view setting_type);

// Ledger amounts carry two decimals; a sum of them is brought back to whole
// cents so that the answer holds no binary rounding noise (1293863.64, not
// 1293863.6400000001).
double whole_cents(double amount);

// The figures of one balance record for one fiscal year, as the GL needs them.
inline constexpr int kRecordPeriods = 13;
struct BalanceFigures {
  double opening = 0;
  std::array<double, kRecordPeriods> actual_change{};   // net change of each period
  std::array<double, kRecordPeriods> actual_balance{};  // balance at each period end
  std::array<double, kRecordPeriods> budget{};          // the pair's value for the account kind
  std::array<double, kRecordPeriods> revised{};
};

// A type code below "300" (compared as text) is a balance-sheet account.
specifier::AccountKind account_kind_of_type(std::string_view type_code);

// Adds one record into the table: year index 1 in the year-before pass.
void add_balance(specifier::AmountTable& table, const BalanceFigures& figures, specifier::AccountKind kind,
                 int year_index, bool revised);

}  // namespace kovo::requests
