// The add-in's process-wide state and the services its commands share: the
// settings, the registration table, the opening and closing steps, and the
// cursor procedure the report tools put in front of a window's own.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "addin/core/addin_settings.h"
#include "addin/core/tables.h"
#include "sdk/excel/xlcall.h"

namespace kovo::addin {

// The settings as read at opening (changed in memory by the options).
AddinSettings& settings();
// The settings file "Kovo.ini" in the user's application-data folder.
std::string settings_path();
Profile& settings_profile();
// Reads one key with its default, writes it straight back, and answers it.
std::string read_back(std::string_view section, std::string_view key, std::string_view fallback);

RegistrationTable& registration_table();
// Set at opening when the functions are registered non-volatile: the
// analysis then warns that only volatile functions are analysed.
bool analysis_warning_armed();

// The add-in's module handle (for its resources).
HINSTANCE module_handle();

// Calculation set to manual (CALCULATION 3 and OPTIONS.CALCULATION 3).
void set_manual_calculation();

// The closing steps: names deleted, menu removed, toolbar handled, every
// conversation ended.
void closing_steps();
// Every procedure of the table unregistered, then the closing steps.
void exit_addin();

// ExcelCursorProc in front of a window's own procedure, and taken away.
void install_cursor_proc(HWND window);
void remove_cursor_proc(HWND window);

}  // namespace kovo::addin
