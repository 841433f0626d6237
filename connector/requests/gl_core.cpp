#include "requests/gl_core.h"

#include <cmath>

namespace kovo::requests {

double whole_cents(double amount) {
  const double cents = std::round(amount * 100.0);
  return std::fabs(cents) < 9e15 ? cents / 100.0 : amount;
}

namespace {

bool all_digits(std::string_view text) {
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

std::optional<std::string> gl_year_text(std::string_view field, std::string_view setup_year) {
  const std::string_view year = field.empty() ? setup_year : field;
  if (!all_digits(year)) return std::nullopt;
  switch (year.size()) {
    case 0:
    case 4: return std::string(year);
    case 1: return year == "0" ? std::optional<std::string>("0") : std::nullopt;
    case 2: return "20" + std::string(year);
    default: return std::nullopt;
  }
}

std::string gl_type_name(std::string_view field, std::string_view setting_type) {
  if (field.empty()) return std::string(setting_type);
  return field.front() == 'R' || field.front() == '1' ? "Revised Budget" : "Budget";
}

specifier::AccountKind account_kind_of_type(std::string_view type_code) {
  return type_code.compare("300") < 0 ? specifier::AccountKind::Balance : specifier::AccountKind::Other;
}

void add_balance(specifier::AmountTable& table, const BalanceFigures& figures, specifier::AccountKind kind,
                 int year_index, bool revised) {
  const bool balance = kind == specifier::AccountKind::Balance;
  if (balance && year_index == 0) table.opening_balance += figures.opening;
  auto& actual = table.amount[0][year_index];
  auto& budget = table.amount[1][year_index];
  for (std::size_t i = 0; i < specifier::kAmountPeriods; ++i) {
    actual[i] += balance ? figures.actual_balance[i] : figures.actual_change[i];
    budget[i] += revised ? figures.revised[i] : figures.budget[i];
  }
}

}  // namespace kovo::requests
