// The sheet host's main window and the services it gives the C API: the
// clipboard (plain text through the Windows clipboard), message boxes (only
// in an interactive run; a batch run writes them to standard error), the
// trace, and the window handle add-ins own their dialogs by.
#pragma once

#include <windows.h>

#include <iosfwd>

#include "sheethost/capi.h"
#include "sheethost/session.h"

namespace kovo::sheet {

class XllHost;

class HostWindow final : public HostServices {
 public:
  // The window is created hidden; "interactive" lets ALERT and reports
  // show boxes and makes show() offer the window to a person.
  HostWindow(bool interactive, std::ostream& err);
  ~HostWindow() override;
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  void attach(XllHost& host, CApi& api, Session& session);
  HWND handle() const { return hwnd_; }
  // Shows the window with the worksheet menu bar and the active sheet, and
  // runs its message loop until it is closed.
  void show();

  // HostServices
  std::optional<std::string> clipboard_text() override;
  bool set_clipboard_text(const std::string& text) override;
  std::uint64_t clipboard_sequence() override;
  bool alert(const std::string& text, int type) override;
  void report(const std::string& text) override;
  std::intptr_t main_window() override;
  std::intptr_t instance() override;
  void trace(const std::string& line) override;
  std::string resolve_module(const std::string& module) override;
  bool open_addin(const std::string& path, std::string& error) override;
  void* find_procedure(const std::string& module, const std::string& procedure) override;
  std::optional<Oper> auto_register(const std::string& module, const std::string& procedure) override;

 private:
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  bool open_clipboard();
  void rebuild_menu();
  void refresh();

  bool interactive_;
  std::ostream& err_;
  HWND hwnd_ = nullptr;
  HWND text_ = nullptr;
  HFONT font_ = nullptr;
  XllHost* host_ = nullptr;
  CApi* api_ = nullptr;
  Session* session_ = nullptr;
  std::vector<std::string> menu_paths_;  // command id - 1000 -> "Menu/Item"
};

}  // namespace kovo::sheet
