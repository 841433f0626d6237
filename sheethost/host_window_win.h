// The sheet host's main window (class "XLMAIN", as add-ins look for it): the
// menu bar with the host's File, Edit and Tools items and every menu an
// add-in added, a formula bar (the active cell's name and formula), the
// grid of the active sheet, the sheet tabs and the status bar. A batch run
// keeps it hidden: it is still the window that owns the clipboard and the
// add-ins' dialogs. The services the C API uses (clipboard, boxes, status)
// are apart from it, in host_services_win.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "sheethost/capi.h"
#include "sheethost/grid.h"
#include "sheethost/session.h"

namespace kovo::sheet {

class GridWindow;

class HostWindow {
 public:
  // Control ids of the children, for the tests that drive the window.
  static constexpr int kNameBoxId = 100;
  static constexpr int kFormulaBarId = 101;
  static constexpr int kTabsId = 103;
  static constexpr int kStatusId = 104;

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
  // Shows the active sheet, its tabs and the status bar again (after a change).
  void refresh();

 private:
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK formula_bar_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  void create_children();
  void layout();
  void run_menu_command(std::size_t index);
  void run_host_command(int command);
  void rebuild_menu();
  void rebuild_tabs();
  void show_formula_bar();
  void show_status();
  // After input in the grid or the formula bar.
  void grid_changed(const GridOutcome& outcome);
  // The sheet the grid shows, still open; else the active sheet.
  void follow_active_sheet();
  void open_file(bool import);
  void save(bool ask);
  void export_csv();
  // A file name from the common dialog ("" when cancelled).
  std::string ask_file_name(bool saving, const wchar_t* filter, const wchar_t* extension);
  void report(const std::string& text);

  HWND hwnd_ = nullptr;
  HWND name_box_ = nullptr;
  HWND formula_bar_ = nullptr;
  HWND tabs_ = nullptr;
  HWND status_ = nullptr;
  HFONT font_ = nullptr;
  WNDPROC formula_bar_default_ = nullptr;
  GridState grid_;
  std::unique_ptr<GridWindow> grid_window_;
  std::uint64_t shown_sheet_ = 0;  // id of the sheet the grid shows
  bool setting_formula_bar_ = false;
  std::vector<std::string> tab_names_;
  CApi* api_ = nullptr;
  Session* session_ = nullptr;
  std::vector<std::string> menu_paths_;  // command id - 1000 -> "Menu/Item"
};

}  // namespace kovo::sheet
