// The sheet host's services to the C API on Windows: the clipboard (plain
// text through the Windows clipboard, owned by the main window), boxes and
// the status bar, the trace, and the handles add-ins ask for. They need the
// main window's handle but nothing of how the window shows a sheet, so the
// window can change (a grid) without them.
//
// A batch run never waits on a person: ALERT and the host's own reports go
// to standard error with the answer a box would have had by default, and so
// do the message boxes that add-ins raise themselves (answered with their
// default button). Dialogs of an add-in stay real windows.
#pragma once

#include <windows.h>

#include <functional>
#include <iosfwd>
#include <memory>

#include "sheethost/capi.h"

namespace kovo::sheet {

class WindowsServices final : public HostServices {
 public:
  // "interactive": a person is there (--window): boxes are shown.
  WindowsServices(bool interactive, std::ostream& err);
  ~WindowsServices() override;
  WindowsServices(const WindowsServices&) = delete;
  WindowsServices& operator=(const WindowsServices&) = delete;

  // The main window: owner of the clipboard and of boxes, xlGetHwnd's answer.
  void set_main_window(HWND window) { window_ = window; }
  // Told whenever the status bar's text changes.
  void on_status(std::function<void(const std::string&)> listener) { status_listener_ = std::move(listener); }

  bool interactive() const { return interactive_; }

  // HostServices
  std::optional<std::string> clipboard_text() override;
  bool set_clipboard_text(const std::string& text) override;
  std::uint64_t clipboard_sequence() override;
  bool alert(const std::string& text, int type) override;
  void report(const std::string& text) override;
  void status_text(const std::string& text) override;
  std::intptr_t main_window() override;
  std::intptr_t instance() override;
  void trace(const std::string& line) override;

 private:
  class BoxAnswerer;
  bool open_clipboard();
  // The host's one box: shown to a person, or in a batch run written to
  // standard error as "kovo-sheet: PREFIX TEXT" and answered with "batch".
  int box(const std::string& prefix, const std::string& text, UINT style, int batch);

  bool interactive_;
  std::ostream& err_;
  HWND window_ = nullptr;
  std::function<void(const std::string&)> status_listener_;
  std::unique_ptr<BoxAnswerer> answerer_;
};

}  // namespace kovo::sheet
