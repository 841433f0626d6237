// Windows-side services of the connector library for its windows and requests.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "entry/request_text.h"

namespace kovo {

// Modeless window slots, in the order ModelessFix offers a message.
enum Slot : int {
  kSlotSetup, kSlotFeSetup, kSlotAbout, kSlotChartCopy, kSlotDrill, kSlotBudget,
  kSlotPeriodWizard, kSlotSad, kSlotEnquiry, kSlotCompany, kSlotFurther, kSlotTrxFields,
  kSlotTurbo, kSlotList, kSlotCount
};

HINSTANCE connector_module();
HWND connector_main_window();
HWND slot_window(Slot slot);
void set_slot_window(Slot slot, HWND window);
// A window's module installs its dialog procedure; until then the slot's
// window is not created.
void register_dialog(Slot slot, DLGPROC procedure);

void open_help();

// The interactive form of a report: shown only with an owner and without NoShow.
int show_message_box(HWND owner, int number, std::string_view detail);

// "Kovo Version <ProductVersion><ProductName less its first word>".
std::string version_answer(HINSTANCE module);
// A string of the module's version resource, trying the usual translations.
std::string version_string(HINSTANCE module, const char* name);

// The user's decimal and thousands separators and grouping, read once.
const AmountLocale& user_amount_locale();
// An amount as the connector's windows show it, with the current settings.
std::string window_amount(double value);

}  // namespace kovo
