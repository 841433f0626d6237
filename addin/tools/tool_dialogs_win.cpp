#include "addin/tools/tool_dialogs_win.h"

#include <string>

#include "addin/resources/tool_dialog_ids.h"

namespace kovo::addin::tools {

namespace {

void set_check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// Ends either kind: EndDialog ends a modal run and hides a modeless one.
template <typename State>
void finish(HWND dialog, State& state, DialogEnd end) {
  state.end = end;
  EndDialog(dialog, end == DialogEnd::Ok ? IDOK : IDCANCEL);
}

void show_options(HWND dialog, const OptionControls& c) {
  set_check(dialog, IDC_OPT_ALWAYS_CALCULATE, c.always_calculate);
  set_check(dialog, IDC_OPT_COLUMN_WISE, c.column_wise);
  set_check(dialog, IDC_OPT_TOOLBAR, c.toolbar);
  CheckRadioButton(dialog, IDC_OPT_SAVE_TOOLBAR, IDC_OPT_DELETE_TOOLBAR,
                   c.save_toolbar ? IDC_OPT_SAVE_TOOLBAR : IDC_OPT_DELETE_TOOLBAR);
  EnableWindow(GetDlgItem(dialog, IDC_OPT_SAVE_TOOLBAR), c.toolbar);
  EnableWindow(GetDlgItem(dialog, IDC_OPT_DELETE_TOOLBAR), c.toolbar);
  SendDlgItemMessageA(dialog, IDC_OPT_TIMEOUT, EM_LIMITTEXT, 10, 0);
  SetDlgItemTextA(dialog, IDC_OPT_TIMEOUT, c.timeout_text.c_str());
  set_check(dialog, IDC_OPT_CREATE_NGL, c.create_ngl);
  set_check(dialog, IDC_OPT_NEW_WORKBOOK, c.new_workbook);
}

void read_options(HWND dialog, OptionControls& c) {
  c.always_calculate = checked(dialog, IDC_OPT_ALWAYS_CALCULATE);
  c.column_wise = checked(dialog, IDC_OPT_COLUMN_WISE);
  c.toolbar = checked(dialog, IDC_OPT_TOOLBAR);
  c.toolbar_choice_enabled = c.toolbar;
  c.save_toolbar = checked(dialog, IDC_OPT_SAVE_TOOLBAR);
  char text[16] = {};
  GetDlgItemTextA(dialog, IDC_OPT_TIMEOUT, text, sizeof text);
  c.timeout_text = text;
  c.create_ngl = checked(dialog, IDC_OPT_CREATE_NGL);
  c.new_workbook = checked(dialog, IDC_OPT_NEW_WORKBOOK);
}

INT_PTR CALLBACK options_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<OptionsDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      show_options(dialog, reinterpret_cast<OptionsDialogState*>(lparam)->controls);
      return TRUE;
    case WM_COMMAND: {
      if (!state) return FALSE;
      const int id = LOWORD(wparam);
      if (HIWORD(wparam) != BN_CLICKED) return FALSE;
      switch (id) {
        case IDC_OPT_TOOLBAR: {
          const bool on = checked(dialog, IDC_OPT_TOOLBAR);
          EnableWindow(GetDlgItem(dialog, IDC_OPT_SAVE_TOOLBAR), on);
          EnableWindow(GetDlgItem(dialog, IDC_OPT_DELETE_TOOLBAR), on);
          return TRUE;
        }
        case IDC_OPT_SAVE_TOOLBAR:
        case IDC_OPT_DELETE_TOOLBAR:
          state->controls.save_toolbar = id == IDC_OPT_SAVE_TOOLBAR;
          if (state->save_choice) state->save_choice(id == IDC_OPT_SAVE_TOOLBAR);
          return TRUE;
        case IDOK:
          read_options(dialog, state->controls);
          finish(dialog, *state, DialogEnd::Ok);
          return TRUE;
        case IDCANCEL:
          finish(dialog, *state, DialogEnd::Cancel);
          return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE:
      if (state) finish(dialog, *state, DialogEnd::Cancel);
      return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK analyze_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<AnalyzeDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      auto* s = reinterpret_cast<AnalyzeDialogState*>(lparam);
      s->choice = AnalyzeChoice{};
      CheckRadioButton(dialog, IDC_ANA_THIS_SHEET, IDC_ANA_WHOLE_WORKBOOK, IDC_ANA_THIS_SHEET);
      CheckRadioButton(dialog, IDC_ANA_ACCOUNTS, IDC_ANA_TIMING, IDC_ANA_ACCOUNTS);
      if (s->timing) s->timing(false);
      return TRUE;
    }
    case WM_COMMAND: {
      if (!state || HIWORD(wparam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wparam)) {
        case IDC_ANA_THIS_SHEET:
        case IDC_ANA_WHOLE_WORKBOOK:
          state->choice.whole_workbook = LOWORD(wparam) == IDC_ANA_WHOLE_WORKBOOK;
          return TRUE;
        case IDC_ANA_ACCOUNTS:
        case IDC_ANA_TIMING:
          state->choice.timing = LOWORD(wparam) == IDC_ANA_TIMING;
          if (state->timing) state->timing(state->choice.timing);
          return TRUE;
        case IDOK:
          state->choice.whole_workbook = checked(dialog, IDC_ANA_WHOLE_WORKBOOK);
          state->choice.timing = checked(dialog, IDC_ANA_TIMING);
          finish(dialog, *state, DialogEnd::Ok);
          return TRUE;
        case IDCANCEL:
          if (state->timing) state->timing(false);
          finish(dialog, *state, DialogEnd::Cancel);
          return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE:
      if (state) {
        if (state->timing) state->timing(false);
        finish(dialog, *state, DialogEnd::Cancel);
      }
      return TRUE;
  }
  return FALSE;
}

}  // namespace

bool run_options_dialog(HINSTANCE module, HWND owner, OptionsDialogState& state) {
  state.end = DialogEnd::Open;
  const INT_PTR r = DialogBoxParamA(module, "OPTIONS", owner, options_procedure, reinterpret_cast<LPARAM>(&state));
  return r == IDOK && state.end == DialogEnd::Ok;
}

bool run_analyze_dialog(HINSTANCE module, HWND owner, AnalyzeDialogState& state) {
  state.end = DialogEnd::Open;
  const INT_PTR r = DialogBoxParamA(module, "ANALYZE", owner, analyze_procedure, reinterpret_cast<LPARAM>(&state));
  return r == IDOK && state.end == DialogEnd::Ok;
}

HWND create_options_dialog(HINSTANCE module, HWND owner, OptionsDialogState& state) {
  state.end = DialogEnd::Open;
  return CreateDialogParamA(module, "OPTIONS", owner, options_procedure, reinterpret_cast<LPARAM>(&state));
}

HWND create_analyze_dialog(HINSTANCE module, HWND owner, AnalyzeDialogState& state) {
  state.end = DialogEnd::Open;
  return CreateDialogParamA(module, "ANALYZE", owner, analyze_procedure, reinterpret_cast<LPARAM>(&state));
}

}  // namespace kovo::addin::tools
