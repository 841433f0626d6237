// Kovo.exe: start-up as a single instance, the message loop that offers
// every message to the connectors' modeless windows first, and exit.
#include <windows.h>

#include "server/messages.h"
#include "server/server_win.h"

namespace kovo::server {

ServerApp& app() {
  static ServerApp instance;
  return instance;
}

namespace {

bool find_start_directory() {
  ServerApp& a = app();
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  a.executable_path.assign(path, length);
  a.start_directory = start_directory(a.executable_path);
  return !a.start_directory.empty();
}

// Everything between the single-instance check and the message loop: the
// window, the folders, the settings file, the DDE service and the connectors
// found beside the program. A box has told why when this fails.
bool initialise() {
  ServerApp& a = app();
  if (!register_main_window_class() || !create_main_window()) return false;
  if (!find_start_directory()) {
    show_server_message(kMsgNoStartDirectory);
    return false;
  }
  if (!prepare_settings_file()) {
    show_server_message(kMsgNoSettingsPath);
    return false;
  }
  write_setting("Path", a.start_directory);
  restore_placement();
  if (!start_dde_service()) return false;
  return discover_installed_connectors();
}

int show_command(ShowMode mode) {
  switch (mode) {
    case ShowMode::kHidden: return SW_HIDE;
    case ShowMode::kNormal: return SW_SHOWNORMAL;
    case ShowMode::kMinimised: return SW_SHOWMINIMIZED;
    case ShowMode::kMinimisedNoActivate: break;
  }
  return SW_SHOWMINNOACTIVE;
}

WPARAM run_message_loop() {
  ServerApp& a = app();
  MSG message{};
  bool first = true;
  for (;;) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) break;
    if (got == -1) {
      MessageBoxA(nullptr, "WinMain() - GetMessage returned -1", "Kovo Server", MB_OK | MB_ICONWARNING);
      break;
    }
    if (first) {
      first = false;
      if (a.open_addin && a.main_window) PostMessageA(a.main_window, kOpenAddinMessage, 0, 0);
    }
    if (offer_to_connectors(&message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return message.wParam;
}

}  // namespace
}  // namespace kovo::server

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  using namespace kovo::server;
  HANDLE mutex = CreateMutexA(nullptr, TRUE, kMutexName);
  if (!mutex) return 0;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return 0;
  }
  ServerApp& a = app();
  a.instance = instance;
  if (!initialise()) {
    show_server_message(kMsgStartFailed);
    end_dde_service();
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
  }
  const std::string line = command_line ? command_line : "";
  const StartOptions options = parse_command_line(line);
  a.hidden = options.hidden;
  a.open_addin = options.open_addin;
  if (a.open_addin) a.addin_path = addin_path(a.executable_path);
  ShowWindow(a.main_window, show_command(options.show));
  UpdateWindow(a.main_window);

  const WPARAM exit_code = run_message_loop();
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return static_cast<int>(exit_code);
}
