// Windows-side services of the connector library for its windows and requests.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "entry/request_text.h"

namespace kovo {

HINSTANCE connector_module();
HWND connector_main_window();

// "Kovo Version <ProductVersion><ProductName less its first word>".
std::string version_answer(HINSTANCE module);
// A string of the module's version resource, trying the usual translations.
std::string version_string(HINSTANCE module, const char* name);

// The user's decimal and thousands separators and grouping, read once.
const AmountLocale& user_amount_locale();
// An amount as the connector's windows show it, with the current settings.
std::string window_amount(double value);

}  // namespace kovo
