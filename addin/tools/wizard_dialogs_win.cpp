#include "addin/tools/wizard_dialogs_win.h"

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "addin/core/excel_win.h"
#include "addin/core/messages.h"
#include "addin/resources/wizard_dialog_ids.h"

namespace kovo::addin::tools {

namespace {

// A failure to list an element is told in a box of this title.
constexpr char kElementBoxTitle[] = "Step 1";
constexpr int kTitleMessage = 50;  // "Kovo Report Wizard"

std::string window_text(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
  GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(std::strlen(text.c_str()));
  return text;
}

std::string item_text(HWND dialog, int id) { return window_text(GetDlgItem(dialog, id)); }

std::vector<std::size_t> selected_lines(HWND list) {
  const LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
  if (count <= 0) return {};
  std::vector<int> lines(static_cast<std::size_t>(count));
  const LRESULT got = SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(lines.data()));
  std::vector<std::size_t> out;
  for (LRESULT k = 0; k < got; ++k) out.push_back(static_cast<std::size_t>(lines[static_cast<std::size_t>(k)]));
  return out;
}

// Fills a list box; false (after telling the user which line) when a line
// could not be added.
bool fill_list(HWND list, const std::vector<std::string>& lines, bool tell_failure) {
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  bool ok = true;
  for (const auto& line : lines) {
    const LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (at == LB_ERR || at == LB_ERRSPACE) {
      if (tell_failure) xl::message_box(GetParent(list), line, kElementBoxTitle, MB_OK | MB_ICONEXCLAMATION);
      ok = false;
      break;
    }
  }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  return ok;
}

// ------------------------------------------------------------ the wizard

struct WizardWindow {
  ReportWizard* wizard;
  WizardWindowUi* ui;
};

void show_state(HWND dialog, const ReportWizard& w) {
  SetDlgItemTextA(dialog, IDC_WIZ_STEP_TEXT, addin_message(w.step_message()).c_str());
  HWND choices = GetDlgItem(dialog, IDC_WIZ_CHOICES);
  fill_list(choices, w.choices(), false);
  SendMessageA(choices, LB_SETCURSEL, w.chosen() ? static_cast<WPARAM>(*w.chosen()) : static_cast<WPARAM>(-1), 0);
  fill_list(GetDlgItem(dialog, IDC_WIZ_VALUES), w.values(), false);
  fill_list(GetDlgItem(dialog, IDC_WIZ_LAYOUT), w.layout_items(), false);
  HWND elements = GetDlgItem(dialog, IDC_WIZ_ELEMENTS);
  fill_list(elements, w.elements(), true);
  for (std::size_t i : w.selected_elements()) SendMessageA(elements, LB_SETSEL, TRUE, static_cast<LPARAM>(i));
  const bool axis_step = w.step() == 1 || w.step() == 2;
  for (int id : {IDC_WIZ_ADD, IDC_WIZ_REMOVE, IDC_WIZ_EDIT, IDC_WIZ_VALUES, IDC_WIZ_LAYOUT, IDC_WIZ_ELEMENTS})
    EnableWindow(GetDlgItem(dialog, id), axis_step);
  EnableWindow(GetDlgItem(dialog, IDC_WIZ_PREVIOUS), w.step() > 0);
  EnableWindow(choices, TRUE);
}

void set_tab_stops(HWND dialog) {
  int stop = 40;
  for (int id : {IDC_WIZ_CHOICES, IDC_WIZ_VALUES, IDC_WIZ_ELEMENTS})
    SendDlgItemMessageA(dialog, id, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));
}

void enter_step(HWND dialog, ReportWizard& w) {
  // The step's text first: its set-up may ask the connector for lists or
  // open the step's own dialog. The choice list takes no clicks until the
  // step's lists are in (it holds the previous step's lines until then).
  EnableWindow(GetDlgItem(dialog, IDC_WIZ_CHOICES), FALSE);
  SetDlgItemTextA(dialog, IDC_WIZ_STEP_TEXT, addin_message(w.step_message()).c_str());
  if (w.enter_step() == ReportWizard::Outcome::Finished) {
    EndDialog(dialog, IDOK);
    return;
  }
  show_state(dialog, w);
}

bool wizard_command(HWND dialog, ReportWizard& w, int id, int code) {
  switch (id) {
    case IDC_WIZ_CHOICES:
      if (code != LBN_SELCHANGE) return false;
      {
        const LRESULT line = SendDlgItemMessageA(dialog, IDC_WIZ_CHOICES, LB_GETCURSEL, 0, 0);
        if (line != LB_ERR) w.choose(static_cast<std::size_t>(line));
      }
      show_state(dialog, w);
      return true;
    case IDC_WIZ_ELEMENTS:
      if (code == LBN_SELCHANGE) {
        w.select_elements(selected_lines(GetDlgItem(dialog, IDC_WIZ_ELEMENTS)));
        fill_list(GetDlgItem(dialog, IDC_WIZ_VALUES), w.values(), false);
        return true;
      }
      if (code != LBN_DBLCLK) return false;
      w.select_elements(selected_lines(GetDlgItem(dialog, IDC_WIZ_ELEMENTS)));
      w.edit();
      show_state(dialog, w);
      return true;
    default: break;
  }
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_WIZ_ADD:
      w.select_elements(selected_lines(GetDlgItem(dialog, IDC_WIZ_ELEMENTS)));
      w.add(selected_lines(GetDlgItem(dialog, IDC_WIZ_LAYOUT)), selected_lines(GetDlgItem(dialog, IDC_WIZ_VALUES)));
      break;
    case IDC_WIZ_REMOVE:
      w.select_elements(selected_lines(GetDlgItem(dialog, IDC_WIZ_ELEMENTS)));
      w.remove();
      break;
    case IDC_WIZ_EDIT:
      w.select_elements(selected_lines(GetDlgItem(dialog, IDC_WIZ_ELEMENTS)));
      w.edit();
      break;
    case IDC_WIZ_RESET: w.reset(); break;
    case IDC_WIZ_NEXT: {
      // The last step's Next opens its dialog again, as entering it does.
      if (w.step() == kLastStep) {
        PostMessageA(dialog, kEnterStepMessage, 0, 0);
        return true;
      }
      const int step = w.step();
      w.next();
      if (w.step() != step) {
        PostMessageA(dialog, kEnterStepMessage, 0, 0);
        return true;
      }
      break;
    }
    case IDC_WIZ_PREVIOUS:
      if (w.step() == 0) return true;
      w.previous();
      PostMessageA(dialog, kEnterStepMessage, 0, 0);
      return true;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); return true;
    default: return false;
  }
  show_state(dialog, w);
  return true;
}

INT_PTR CALLBACK wizard_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* window = reinterpret_cast<WizardWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      auto* w = reinterpret_cast<WizardWindow*>(lparam);
      w->ui->set_owner(dialog);
      set_tab_stops(dialog);
      PostMessageA(dialog, kEnterStepMessage, 0, 0);
      return TRUE;
    }
    case kEnterStepMessage:
      if (window) enter_step(dialog, *window->wizard);
      return TRUE;
    case WM_COMMAND:
      return window && wizard_command(dialog, *window->wizard, LOWORD(wparam), HIWORD(wparam));
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
  }
  return FALSE;
}

// ------------------------------------------------------------ remaining axes

struct RemainingWindow {
  std::vector<RemainingAxis>* axes;
  const std::function<std::vector<std::string>(const RemainingAxis&)>* fetch;
};

void fill_combo(HWND combo, const std::vector<std::string>& items, const std::string& text) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const auto& item : items) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  const LRESULT at = SendMessageA(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()));
  if (at != CB_ERR) SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
  else SetWindowTextA(combo, text.c_str());
}

INT_PTR CALLBACK remaining_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* window = reinterpret_cast<RemainingWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      auto* w = reinterpret_cast<RemainingWindow*>(lparam);
      for (std::size_t k = 0; k < w->axes->size() && k < kMaxRemainingShown; ++k) {
        const RemainingAxis& a = (*w->axes)[k];
        HWND label = GetDlgItem(dialog, IDC_REM_LABEL + static_cast<int>(k));
        HWND combo = GetDlgItem(dialog, IDC_REM_COMBO + static_cast<int>(k));
        SetWindowTextA(label, a.name.c_str());
        fill_combo(combo, a.items, a.value);
        ShowWindow(label, SW_SHOW);
        ShowWindow(combo, SW_SHOW);
      }
      return TRUE;
    }
    case WM_COMMAND: {
      if (!window) return FALSE;
      const int id = LOWORD(wparam);
      const std::size_t k = static_cast<std::size_t>(id - IDC_REM_COMBO);
      if (HIWORD(wparam) == CBN_DROPDOWN && id >= IDC_REM_COMBO && k < window->axes->size()) {
        // An opened box shows its axis's list as the connector has it now.
        HWND combo = GetDlgItem(dialog, id);
        const std::string text = window_text(combo);
        fill_combo(combo, (*window->fetch)((*window->axes)[k]), text);
        return TRUE;
      }
      if (id == IDOK) {
        for (std::size_t j = 0; j < window->axes->size() && j < kMaxRemainingShown; ++j)
          (*window->axes)[j].value = item_text(dialog, IDC_REM_COMBO + static_cast<int>(j));
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
  }
  return FALSE;
}

// ------------------------------------------------- report creation, edit specifier

// A field of a form dialog: a text box (limited when limit is not 0) or a
// check box, and the member of the value it shows.
template <class Value>
struct FormField {
  int id;
  std::string Value::*text = nullptr;
  bool Value::*check = nullptr;
  std::size_t limit = 0;
};

template <class Value>
using FormFields = std::initializer_list<FormField<Value>>;

// A dialog that shows a value's fields and takes them back on OK; the value
// stays as it was on Cancel or closing.
template <class Value, const FormFields<Value>& Fields>
INT_PTR CALLBACK form_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* value = reinterpret_cast<Value*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      const auto* shown = reinterpret_cast<const Value*>(lparam);
      for (const FormField<Value>& f : Fields) {
        if (f.limit != 0) SendDlgItemMessageA(dialog, f.id, EM_LIMITTEXT, static_cast<WPARAM>(f.limit), 0);
        if (f.text) SetDlgItemTextA(dialog, f.id, (shown->*f.text).c_str());
        if (f.check) CheckDlgButton(dialog, f.id, shown->*f.check ? BST_CHECKED : BST_UNCHECKED);
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (!value) return FALSE;
      if (LOWORD(wparam) == IDOK) {
        for (const FormField<Value>& f : Fields) {
          if (f.text) value->*f.text = item_text(dialog, f.id);
          if (f.check) value->*f.check = IsDlgButtonChecked(dialog, f.id) == BST_CHECKED;
        }
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
  }
  return FALSE;
}

constexpr FormFields<ReportOptions> kCreationFields = {
    {IDC_CRE_TITLE, &ReportOptions::title, nullptr, kMaxTitle},
    {IDC_CRE_ZERO_SUPPRESS, nullptr, &ReportOptions::zero_suppress},
    {IDC_CRE_NGL, nullptr, &ReportOptions::ngl},
    {IDC_CRE_RUN_MACRO, nullptr, &ReportOptions::run_macro},
    {IDC_CRE_MACRO, &ReportOptions::formatting_macro, nullptr, kMaxMacro},
};

constexpr FormFields<WizardUi::Edited> kEditFields = {
    {IDC_EDIT_SPECIFIER, &WizardUi::Edited::specifier},
    {IDC_EDIT_DESCRIPTION, &WizardUi::Edited::description},
};

}  // namespace

// ------------------------------------------------------------ the user

void WizardWindowUi::tell(int message, std::string_view detail) {
  std::string text = addin_message(message);
  if (!detail.empty()) text += " - " + std::string(detail);
  xl::message_box(owner_, text, addin_message(kTitleMessage), MB_OK | MB_ICONEXCLAMATION);
}

bool WizardWindowUi::ask(int message) {
  const bool yes_no = message == kMsgMakeRange;
  const int answer = xl::message_box(owner_, addin_message(message), addin_message(kTitleMessage),
                                     (yes_no ? MB_YESNO : MB_OKCANCEL) | MB_ICONQUESTION);
  return answer == (yes_no ? IDYES : IDOK);
}

std::optional<WizardUi::Edited> WizardWindowUi::edit_specifier(const Edited& shown) {
  Edited edited = shown;
  if (DialogBoxParamA(module_, "EDIT_SPEC", owner_, form_procedure<WizardUi::Edited, kEditFields>,
                      reinterpret_cast<LPARAM>(&edited)) != IDOK)
    return std::nullopt;
  return edited;
}

bool WizardWindowUi::remaining_axes(std::vector<RemainingAxis>& axes,
                                    const std::function<std::vector<std::string>(const RemainingAxis&)>& fetch) {
  RemainingWindow window{&axes, &fetch};
  return DialogBoxParamA(module_, "STEP_4_DIALOG_1", owner_, remaining_procedure, reinterpret_cast<LPARAM>(&window)) ==
         IDOK;
}

bool WizardWindowUi::report_creation(ReportOptions& options) {
  ReportOptions shown = options;
  if (DialogBoxParamA(module_, "STEP_5_DIALOG", owner_, form_procedure<ReportOptions, kCreationFields>,
                      reinterpret_cast<LPARAM>(&shown)) != IDOK)
    return false;
  options = shown;
  return true;
}

bool run_report_wizard(HINSTANCE module, HWND owner, ReportWizard& wizard, WizardWindowUi& ui) {
  WizardWindow window{&wizard, &ui};
  const INT_PTR result =
      DialogBoxParamA(module, "REPORT_WIZARD", owner, wizard_procedure, reinterpret_cast<LPARAM>(&window));
  ui.set_owner(nullptr);
  return result == IDOK;
}

}  // namespace kovo::addin::tools
