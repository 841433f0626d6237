#include <windows.h>

#include <cstdlib>

#include "entry/connector_win.h"

namespace kovo {
namespace {

std::string locale_text(LCTYPE type) {
  char text[64];
  const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, text, sizeof text);
  return length > 1 ? std::string(text) : std::string();
}

AmountLocale read_user_locale() {
  AmountLocale locale;
  const std::string decimal = locale_text(LOCALE_SDECIMAL);
  if (!decimal.empty() && decimal.size() <= 20) locale.decimal = decimal;
  const std::string thousands = locale_text(LOCALE_STHOUSAND);
  if (!thousands.empty() && thousands.size() <= 20) locale.thousands = thousands;
  const std::string grouping = locale_text(LOCALE_SGROUPING);
  if (!grouping.empty()) {
    const int digits = std::atoi(grouping.c_str());
    if (digits > 0) locale.grouping = digits;
  }
  return locale;
}

}  // namespace

const AmountLocale& user_amount_locale() {
  static const AmountLocale locale = read_user_locale();  // read once, on first use
  return locale;
}

std::string window_amount(double value) {
  return window_amount_text(value, settings(), user_amount_locale());
}

}  // namespace kovo
