// The sheet host's main window (class "XLMAIN", as add-ins look for it): a
// frame with the worksheet menu bar, which holds the add-ins' menus, and a
// view of the active sheet. A batch run keeps it hidden: it is still the
// window that owns the clipboard and the add-ins' dialogs. The services the
// C API uses (clipboard, boxes, status) are apart from it, in
// host_services_win.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "sheethost/capi.h"
#include "sheethost/session.h"

namespace kovo::sheet {

class HostWindow {
 public:
  // Created hidden.
  HostWindow();
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  void attach(CApi& api, Session& session);
  HWND handle() const { return hwnd_; }
  // Shows the window with the worksheet menu bar and the active sheet, and
  // runs its message loop until it is closed.
  void show();
  // Shows the active sheet and the status bar again (after a change).
  void refresh();

 private:
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  void run_menu_command(std::size_t index);
  void rebuild_menu();

  HWND hwnd_ = nullptr;
  HWND text_ = nullptr;
  HFONT font_ = nullptr;
  CApi* api_ = nullptr;
  Session* session_ = nullptr;
  std::vector<std::string> menu_paths_;  // command id - 1000 -> "Menu/Item"
};

}  // namespace kovo::sheet
