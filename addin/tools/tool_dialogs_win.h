// The add-in's own dialogs, "OPTIONS" and "ANALYZE", from its resources.
// The windows only move values between their controls and the models of
// dialog_models.h; what the values mean is the caller's.
//
// Each dialog runs modal (run_*), or modeless for tests (create_*), which
// drive it with window messages and read the state after OK or Cancel.
#pragma once

#include <windows.h>

#include <functional>

#include "addin/tools/dialog_models.h"

namespace kovo::addin::tools {

enum class DialogEnd { Open, Ok, Cancel };

struct OptionsDialogState {
  OptionControls controls;                      // filled at opening, read back at OK
  std::function<void(bool save)> save_choice;   // an option button chosen (at once)
  DialogEnd end = DialogEnd::Open;
};

struct AnalyzeDialogState {
  AnalyzeChoice choice;                         // what OK takes
  std::function<void(bool on)> timing;          // "Recalculation Time" / "Accounts" chosen (at once)
  DialogEnd end = DialogEnd::Open;
};

// Modal; true for OK. The state must outlive the call.
bool run_options_dialog(HINSTANCE module, HWND owner, OptionsDialogState& state);
bool run_analyze_dialog(HINSTANCE module, HWND owner, AnalyzeDialogState& state);

// Modeless: the dialog, or null. OK and Cancel hide it and set state.end;
// the caller destroys it.
HWND create_options_dialog(HINSTANCE module, HWND owner, OptionsDialogState& state);
HWND create_analyze_dialog(HINSTANCE module, HWND owner, AnalyzeDialogState& state);

}  // namespace kovo::addin::tools
