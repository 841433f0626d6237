#include "requests/field_names.h"

#include <string>

#include "specifier/text_util.h"

namespace kovo::requests {
namespace {

struct AccountKeyword {
  std::string_view keyword;
  std::size_t compared;
  int code;
};

constexpr AccountKeyword kAccountKeywords[] = {
    {"DESCRIPTION", 3, kAccountDescription}, {"TYPICAL BALANCE", 4, kAccountTypicalBalance},
    {"ORIGIN", 3, kAccountOrigin},           {"TYPE", 3, kAccountType},
    {"BUDGET", 3, kAccountBudget},           {"MEMO1", 5, kAccountMemo1},
    {"MEMO2", 5, kAccountMemo2},
};

constexpr std::string_view kCompanyNames[] = {"NAME", "PERIOD", "KovoPERIOD", "YEAR",
                                              "TSO",  "MAIN",   "SEGMENTS"};

// The period number after a prefix: 1 to 13 in decimal, nothing else.
std::optional<int> period_after(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || !specifier::equal_folded(name.substr(0, prefix.size()), prefix))
    return std::nullopt;
  const std::string_view digits = name.substr(prefix.size());
  if (digits.size() > 2) return std::nullopt;
  int number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number < 1 || number > 13) return std::nullopt;
  return number;
}

}  // namespace

std::optional<int> account_field_code(std::string_view name) {
  for (const auto& k : kAccountKeywords) {
    if (name.size() < k.compared) continue;
    if (specifier::equal_folded(name.substr(0, k.compared), k.keyword.substr(0, k.compared))) return k.code;
  }
  return std::nullopt;
}

std::optional<int> company_field_code(std::string_view name) {
  if (const auto p = period_after(name, "Start")) return kFirstStartDateCode + *p - 1;
  if (const auto p = period_after(name, "End")) return kFirstEndDateCode + *p - 1;
  for (std::size_t i = 0; i < std::size(kCompanyNames); ++i)
    if (specifier::equal_folded(name, kCompanyNames[i])) return 100 + static_cast<int>(i);
  return std::nullopt;
}

}  // namespace kovo::requests
