// The connector library's Windows shell: exported entry points, the hidden
// main window with its menu, window commands and clean-up. The windows
// themselves, their slots and their automation are the ground's
// (windows/ground_win.h).
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "data/btrieve.h"
#include "data/btrieve_win.h"
#include "data/companies.h"
#include "data/settings_store_win.h"
#include "entry/command_codes.h"
#include "entry/connector_win.h"
#include "entry/dispatch.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "entry/request_text.h"
#include "entry/settings.h"
#include "requests/install.h"
#include "resource_ids.h"
#include "windows/about_win.h"
#include "windows/budget_win.h"
#include "windows/chart_win.h"
#include "windows/dialog_win.h"
#include "windows/sheet_analysis.h"
#include "data/entities_file.h"
#include "windows/setup_win.h"
#include "windows/entities_win.h"
#include "windows/drill_win.h"
#include "windows/enquiry_win.h"
#include "windows/wizard_win.h"
#include "windows/ground_win.h"
#include "windows/list_command.h"
#include "windows/lists_win.h"
#include "windows/preload_win.h"

namespace kovo {
namespace {

constexpr char kClassName[] = "CYMAV5CLASS32";
constexpr char kMenuName[] = "KovoDLLMENU";
constexpr char kWindowTitle[] = "Kovo DLL for Cyma IV";
constexpr int kMainWindowHelpTopic = 1;

struct ConnectorState {
  HINSTANCE module = nullptr;
  HWND main_window = nullptr;
  bool closing = false;
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

int window_command(int code, std::string_view arguments, std::string& answer) {
  Settings& s = settings();
  s.no_show = 0;
  create_main_window(65, false);
  if (!arguments.empty()) apply_settings_text(s, arguments);
  int status = kStatusProcessed;
  if (s.no_show) {
    if (g.main_window) ShowWindow(g.main_window, SW_HIDE);
    status = windows::automate(code, answer);
  } else if (g.main_window) {
    ShowWindow(g.main_window, SW_SHOW);
    SetFocus(g.main_window);
    if (const int command = windows::menu_command_for(code))
      PostMessageA(g.main_window, WM_COMMAND, static_cast<WPARAM>(command), 0);
  }
  s.no_show = 0;
  return status;
}

// FINISH_CALC: the analysis of the recorded calculation replaces what the
// clipboard held; a calculation that read nothing leaves it empty.
void finish_calculation() {
  const std::string text = analysis::finish_analysis();
  if (!text.empty()) {
    windows::put_clipboard_text(text, connector_main_window());
    return;
  }
  if (OpenClipboard(connector_main_window())) {
    EmptyClipboard();
    CloseClipboard();
  }
}

void deferred_initialisation() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(g.module, path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    std::string folder(path, length);
    folder.resize(folder.find_last_of('\\') == std::string::npos ? 0 : folder.find_last_of('\\'));
    if (!folder.empty()) SetCurrentDirectoryA(folder.c_str());
    entities::set_connector_folder(folder);
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
  if (hooks.after_start) hooks.after_start();
}

LRESULT CALLBACK main_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      UpdateWindow(window);
      PostMessageA(window, WM_KOVO_DEFERRED_INIT, 0, 0);
      // Only this window's own messages: the deferred initialisation runs
      // now. Other windows' messages wait for the server's loop; among
      // them are requests of other clients, which would otherwise reach a
      // connector still loading and be answered busy.
      MSG queued;
      while (PeekMessageA(&queued, window, 0, 0, PM_REMOVE)) {
        TranslateMessage(&queued);
        DispatchMessageA(&queued);
      }
      return 0;
    }
    case WM_KOVO_DEFERRED_INIT:
      deferred_initialisation();
      return 0;
    case WM_KOVO_OPEN_HELP:
      windows::open_help(window, kMainWindowHelpTopic);
      return 0;
    case WM_CLOSE:
      if (!g.closing) {
        ShowWindow(window, SW_HIDE);
        return 0;
      }
      windows::forget_all();
      g.main_window = nullptr;
      DestroyWindow(window);
      return 0;
    case WM_COMMAND: {
      const int command = LOWORD(wparam);
      if (command == IDM_QUIT) {
        SendMessageA(window, WM_CLOSE, 0, 0);
      } else if (command == IDM_DLLHELP) {
        PostMessageA(window, WM_KOVO_OPEN_HELP, 0, 0);
      } else {
        windows::open_for_menu(command, window);
      }
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

std::string version_answer_text() { return version_answer(g.module); }

void stop_record_manager() {
  if (btrv::btrieve_loaded()) btrv::BtrvStop();
}

}  // namespace

HINSTANCE connector_module() { return g.module; }
HWND connector_main_window() { return g.main_window; }

}  // namespace kovo

using namespace kovo;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g.module = instance;
    set_string_source(load_resource_string);
    set_connector_host({window_command, version_answer_text, finish_calculation});
    install_settings_store();
    data::install_companies();
    requests::install_requests();
    lists::install_lists();
    entities::install_entities();
    windows::install_lists_window();
    windows::install_budget_window();
    windows::install_chart_window();
    windows::install_setup_window();
    windows::install_entities_windows();
    windows::install_preload_window();
    windows::install_drill_windows();
    windows::install_enquiry_window();
    windows::install_wizard_window();
    windows::install_about_window();
    windows::install_direct_automation(windows::kSlotSetup, save_settings_for_command);
    on_cleanup(CleanupStage::kRecordManager, stop_record_manager);
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
  {
    // Making the main window takes the queued messages: no request may
    // reach the connector half-initialised.
    const BusyScope initialising(Work::kCall);
    create_main_window(75, true);
  }
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
  // Work under way (a fill, a budget write, a preload, a call in progress)
  // holds the library's code on the stack: it must stay loaded.
  if (connector_busy()) return 1;
  windows::close_all_now();
  windows::close_help();
  run_cleanup();
  g.closing = true;
  if (g.main_window) SendMessageA(g.main_window, WM_CLOSE, 0, 0);
  return 0;
}

extern "C" __declspec(dllexport) int WINAPI ModelessFix(MSG* message) {
  return message && windows::offer_message(message) ? 1 : 0;
}
