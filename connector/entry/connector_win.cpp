// The connector library's Windows shell: exported entry points, the hidden
// main window with its menu, window commands and clean-up.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <array>
#include <string>

#include "data/btrieve.h"
#include "data/btrieve_win.h"
#include "data/companies.h"
#include "requests/install.h"
#include "data/settings_store_win.h"
#include "entry/connector_win.h"
#include "entry/dispatch.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "entry/request_text.h"
#include "entry/settings.h"
#include "resource_ids.h"
#include "windows/boxes_win.h"
#include "windows/list_command.h"
#include "windows/lists_win.h"

namespace kovo {
namespace {

constexpr char kClassName[] = "CYMAV5CLASS32";
constexpr char kMenuName[] = "KovoDLLMENU";
constexpr char kWindowTitle[] = "Kovo DLL for Cyma IV";

struct DialogKind {
  const char* template_name;
  DLGPROC procedure = nullptr;  // installed by the window's own module
};

struct ConnectorState {
  HINSTANCE module = nullptr;
  HWND main_window = nullptr;
  std::array<HWND, kSlotCount> slots{};
  std::array<DialogKind, kSlotCount> kinds{{
      {"SETUP"}, {"FESETUP"}, {"ABOUT"}, {"CHARTCOPY"}, {"DRILL_LV"}, {"BUDGET"},
      {"PWIZ"}, {"SAD"}, {"ACCOUNT_INQUIRE"}, {"COMPANY"}, {nullptr}, {"TRXFIELDS"},
      {"TURBO"}, {"DLIST_DIALOG"},
  }};
  bool closing = false;
  bool help_used = false;
  int system_char_width = 8;
};
ConnectorState g;

std::string load_resource_string(int number) {
  char text[1024];
  const int length = LoadStringA(g.module, static_cast<UINT>(number), text, sizeof text);
  return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

HWND server_window() { return FindWindowA("KovoMainServerClass", "Kovo Server (32 Bit)"); }

struct SystemFontMetrics {
  int average_width;
  int line_height;
};

SystemFontMetrics system_font_metrics() {
  SystemFontMetrics metrics{8, 16};
  if (HDC dc = GetDC(nullptr)) {
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRICA tm{};
    if (GetTextMetricsA(dc, &tm)) {
      metrics.average_width = tm.tmAveCharWidth;
      metrics.line_height = tm.tmHeight + tm.tmExternalLeading;
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
  return metrics;
}

void create_main_window(int width_in_chars, bool place_by_server) {
  if (g.main_window) return;
  const SystemFontMetrics metrics = system_font_metrics();
  int x = 25, y = 65;
  const HWND owner = server_window();
  if (place_by_server && owner) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (GetWindowPlacement(owner, &placement)) {
      const RECT& r = placement.rcNormalPosition;
      x = (r.right - r.left) / 8 + r.left;
      y = (r.bottom - r.top) / 2 + r.top + metrics.line_height;
    }
  }
  g.main_window = CreateWindowA(kClassName, kWindowTitle, WS_POPUP | WS_CAPTION | WS_SYSMENU, x, y,
                                width_in_chars * metrics.average_width, 5 * metrics.line_height,
                                owner, nullptr, g.module, nullptr);
}

// Creates the modeless window of a slot from its template, hidden; the
// window's procedure keeps the slot while the window exists.
HWND create_slot_window(Slot slot, HWND owner) {
  const DialogKind& kind = g.kinds[slot];
  if (!kind.template_name || !kind.procedure) return nullptr;  // window not part of this build
  HWND window = CreateDialogParamA(g.module, kind.template_name, owner, kind.procedure, 0);
  g.slots[slot] = window && IsWindow(window) ? window : nullptr;
  return g.slots[slot];
}

// Opens (or shows again) the modeless window of a slot for the user.
void open_slot(Slot slot, HWND owner) {
  HWND window = g.slots[slot];
  if (!window) window = create_slot_window(slot, owner);
  if (window) ShowWindow(window, SW_SHOWNORMAL);
}

void press(HWND dialog, int command) {
  if (dialog && IsWindow(dialog)) SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
}

// Closes an open window of the slot as its Quit button does.
void quit_slot(Slot slot) {
  press(g.slots[slot], IDCANCEL);
  if (HWND window = g.slots[slot]) {
    if (IsWindow(window)) DestroyWindow(window);
    g.slots[slot] = nullptr;
  }
}

int menu_command_for(int code) {
  switch (code) {
    case 2: return IDM_PASSWORD;
    case 3: return IDM_SETUP;
    case 4: return IDM_CHART;
    case 5: return IDM_DRILLDOWN;
    case 9: return IDM_DLLHELP;
    case 13: return IDM_BUDGETS;
    case 14: return IDM_PERIOD_WIZARD;
    case 19: return IDM_LISTS;
    case 20: return IDM_PRELOAD;
    case 22: return IDM_ENQUIRY;
    default: return 0;
  }
}

// The dialog that a NoShow run of a code drives, if any.
bool automated_slot(int code, Slot& slot) {
  switch (code) {
    case 4: slot = kSlotChartCopy; return true;
    case 5: slot = kSlotDrill; return true;
    case 13: slot = kSlotBudget; return true;
    case 19: slot = kSlotList; return true;
    case 22: slot = kSlotEnquiry; return true;
    default: return false;
  }
}

void run_without_interaction(int code, std::string& list_answer) {
  Settings& s = settings();
  const LifecycleHooks& hooks = lifecycle_hooks();
  Slot slot{};
  if (code == 3) {
    if (hooks.save_settings && !hooks.save_settings()) report(60);
    return;
  }
  if (code == 9) return open_help();
  if (code == 20) {
    if (hooks.run_data_preload) hooks.run_data_preload();
    return;
  }
  if (!automated_slot(code, slot)) return;
  quit_slot(slot);
  HWND dialog = create_slot_window(slot, g.main_window);
  if (code == 5) {
    press(dialog, 1061);
    press(dialog, s.alternate_drill ? 1073 : 1072);
  } else {
    press(dialog, IDOK);
  }
  if (code == 19 && s.no_clipboard) {
    if (hooks.take_list_text) list_answer = hooks.take_list_text();
    s.list.clear();
  }
  press(g.slots[slot], IDCANCEL);
}

void window_command(int code, std::string_view arguments, std::string& list_answer) {
  Settings& s = settings();
  s.no_show = 0;
  create_main_window(65, false);
  if (!arguments.empty()) apply_settings_text(s, arguments);
  if (s.no_show) {
    if (g.main_window) ShowWindow(g.main_window, SW_HIDE);
    run_without_interaction(code, list_answer);
  } else if (g.main_window) {
    ShowWindow(g.main_window, SW_SHOW);
    SetFocus(g.main_window);
    if (const int command = menu_command_for(code))
      PostMessageA(g.main_window, WM_COMMAND, static_cast<WPARAM>(command), 0);
  }
  s.no_show = 0;
}

void deferred_initialisation() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(g.module, path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    std::string folder(path, length);
    folder.resize(folder.find_last_of('\\') == std::string::npos ? 0 : folder.find_last_of('\\'));
    if (!folder.empty()) SetCurrentDirectoryA(folder.c_str());
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  const LifecycleHooks& hooks = lifecycle_hooks();
  if (hooks.read_settings) hooks.read_settings();
  Settings& s = settings();
  s.drill_account.clear();
  s.drill_period = "Month";
  s.drill_year.clear();
  s.drill_company = s.company;
  s.drill_segment = 0;
  if (hooks.build_company_list) hooks.build_company_list();
  g.system_char_width = system_font_metrics().average_width;
}

void open_menu_window(HWND window, int command) {
  switch (command) {
    case IDM_SETUP: return open_slot(kSlotSetup, g.main_window);
    case IDM_CHART: return open_slot(kSlotChartCopy, g.main_window);
    case IDM_DRILLDOWN: return open_slot(kSlotDrill, g.main_window);
    case IDM_BUDGETS: return open_slot(kSlotBudget, g.main_window);
    case IDM_LISTS: return open_slot(kSlotList, g.main_window);
    case IDM_PRELOAD: return open_slot(kSlotTurbo, window);
    case IDM_COMPANY: return open_slot(kSlotCompany, g.main_window);
    case IDM_FE_FILE: return open_slot(kSlotSad, g.main_window);
    case IDM_ENQUIRY: return open_slot(kSlotEnquiry, g.main_window);
    case IDM_PERIOD_WIZARD: return open_slot(kSlotPeriodWizard, window);
    default: return;
  }
}

LRESULT CALLBACK main_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      g.help_used = false;
      UpdateWindow(window);
      PostMessageA(window, WM_KOVO_DEFERRED_INIT, 0, 0);
      MSG queued;
      while (PeekMessageA(&queued, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&queued);
        DispatchMessageA(&queued);
      }
      return 0;
    }
    case WM_KOVO_DEFERRED_INIT:
      deferred_initialisation();
      return 0;
    case WM_KOVO_OPEN_HELP:
      open_help();
      return 0;
    case WM_CLOSE:
      if (!g.closing) {
        ShowWindow(window, SW_HIDE);
        return 0;
      }
      g.slots.fill(nullptr);
      g.main_window = nullptr;
      DestroyWindow(window);
      return 0;
    case WM_COMMAND: {
      const int command = LOWORD(wparam);
      if (command == IDM_QUIT) {
        SendMessageA(window, WM_CLOSE, 0, 0);
      } else if (command == IDM_ABOUT) {
        const DialogKind& about = g.kinds[kSlotAbout];
        if (about.procedure)
          g.slots[kSlotAbout] =
              CreateDialogParamA(g.module, about.template_name, g.main_window, about.procedure, 0);
      } else if (command == IDM_DLLHELP) {
        PostMessageA(window, WM_KOVO_OPEN_HELP, 0, 0);
      } else {
        open_menu_window(window, command);
      }
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

std::string version_answer_text() { return version_answer(g.module); }

}  // namespace

HINSTANCE connector_module() { return g.module; }
HWND connector_main_window() { return g.main_window; }
HWND slot_window(Slot slot) { return g.slots[slot]; }
void set_slot_window(Slot slot, HWND window) { g.slots[slot] = window; }
void register_dialog(Slot slot, DLGPROC procedure) { g.kinds[slot].procedure = procedure; }

void open_help() {
  const std::string help = help_file_path(g.module);
  // HTML Help is opened through the shell so that no help library is linked.
  ShellExecuteA(nullptr, "open", help.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  g.help_used = true;
}

int show_message_box(HWND owner, int number, std::string_view detail) {
  return windows::connector_box(owner, windows::BoxKind::Error, number, detail);
}

}  // namespace kovo

using namespace kovo;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g.module = instance;
    set_string_source(load_resource_string);
    set_connector_host({window_command, version_answer_text, nullptr});
    install_settings_store();
    data::install_companies();
    requests::install_requests();
    lists::install_lists();
    windows::install_lists_window();
    lifecycle_hooks().stop_record_manager = [] {
      if (btrv::btrieve_loaded()) btrv::BtrvStop();
    };
  } else if (reason == DLL_PROCESS_DETACH) {
    UnregisterClassA(kClassName, instance);
  }
  return TRUE;
}

extern "C" __declspec(dllexport) int WINAPI KovoDoDLLInit() {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = main_window_procedure;
  window_class.hInstance = g.module;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  window_class.lpszMenuName = kMenuName;
  window_class.lpszClassName = kClassName;
  if (!RegisterClassA(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return 2;
  g.closing = false;
  create_main_window(75, true);
  if (HWND server = server_window()) {
    HWND parent = GetParent(server);
    SetActiveWindow(parent ? parent : server);
  }
  return 0;
}

extern "C" __declspec(dllexport) int WINAPI KovoDLLInterface(int code, const char* arguments,
                                                             char* result) {
  return connector_interface(code, arguments, result, kResultCapacity);
}

extern "C" __declspec(dllexport) int WINAPI KovoClipToDDE() { return 0; }

extern "C" __declspec(dllexport) int WINAPI DLLCleanupFunc() {
  const BusyFlags& busy = busy_flags();
  if (busy.chart_fill || busy.budget_write) return 1;
  for (HWND window : g.slots)
    if (window && IsWindow(window)) SendMessageA(window, WM_COMMAND, IDM_CLOSE_NOW, 0);
  const LifecycleHooks& hooks = lifecycle_hooks();
  if (hooks.close_held_files) hooks.close_held_files();
  if (hooks.free_all) hooks.free_all();
  if (hooks.stop_record_manager) hooks.stop_record_manager();
  g.closing = true;
  if (g.main_window) SendMessageA(g.main_window, WM_CLOSE, 0, 0);
  return 0;
}

extern "C" __declspec(dllexport) int WINAPI ModelessFix(MSG* message) {
  if (!message) return 0;
  for (HWND window : g.slots)
    if (window && IsDialogMessageA(window, message)) return 1;
  return 0;
}
