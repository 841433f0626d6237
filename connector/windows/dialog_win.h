// The ground every connector window stands on.
//
// A window is a class derived from ConnectorDialog, made from its dialog
// template in the connector's resources. install_window<Window>(slot) puts
// it behind its slot: the connector's main window then creates it modeless,
// owned by the main window (shown when a user asked, hidden in automation),
// keeps its handle in the slot while it exists (ModelessFix and clean-up walk
// the slots), and the automation of a window command presses its buttons as
// commands. The window's class only moves values between its controls and
// the portable logic behind it.
//
// Buttons arrive in on_command, also when automation presses them. Quit
// (IDCANCEL: the button, Escape, the system close) arrives in on_quit, whose
// default closes the window; command 1199 closes it at once.
//
// Long work runs inside a Fill: between rows it shows progress, keeps the
// window responsive (only this window's own messages are dispatched, so no
// other request can run in between) and sees the user's stop. While a fill
// runs, a Quit stops it and is carried out once the fill has returned;
// other commands wait their turn (they are ignored). In automation a fill
// never looks at the message queue.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "entry/connector_win.h"
#include "windows/box_rules.h"
#include "windows/fill_pacer.h"

namespace kovo::windows {

class ConnectorDialog {
 public:
  virtual ~ConnectorDialog() = default;
  ConnectorDialog(const ConnectorDialog&) = delete;
  ConnectorDialog& operator=(const ConnectorDialog&) = delete;

  HWND handle() const { return window_; }
  bool filling() const { return fill_depth_ > 0; }

  // The dialog procedure of every window class (install_window sets it up).
  using Maker = ConnectorDialog* (*)();
  static INT_PTR route(HWND window, UINT message, WPARAM wparam, LPARAM lparam, Maker make, Slot slot);

 protected:
  ConnectorDialog() = default;

  // WM_INITDIALOG: fill the controls from the settings.
  virtual void on_open() {}
  virtual void on_command(int control, int notification) {}
  virtual void on_quit() { close(); }
  // Any other message; true when handled, with the dialog result in result.
  virtual bool on_message(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR& result) { return false; }

  // Destroys the window, or, while a fill runs, once it has returned.
  void close();
  // NoShow is set: the window runs without a user.
  static bool automation();

  HWND control(int id) const { return GetDlgItem(window_, id); }
  std::string text(int id) const;
  void set_text(int id, std::string_view text);
  bool checked(int id) const;
  void set_checked(int id, bool on);
  void enable(int id, bool on);
  void set_combo_items(int id, const std::vector<std::string>& items);

  // The connector's box, owned by this window.
  void error_box(int number, std::string_view detail = {});
  void information_box(int number);
  int question_box(BoxKind kind, int number, std::string_view detail = {},
                   int automation_answer = kNoAutomationAnswer);
  // The pending message (a failure of the logic behind the window) as an
  // error box; in automation it stays pending for the command's result.
  void show_pending_failure();

  // One long piece of work of the window; progress goes to a static control.
  class Fill {
   public:
    Fill(ConnectorDialog& window, int progress_control, std::string label);
    ~Fill();
    Fill(const Fill&) = delete;
    Fill& operator=(const Fill&) = delete;
    RowCheck check() { return pacer_.check(); }
    bool stopped() const { return pacer_.stopped(); }

   private:
    ConnectorDialog& window_;
    int progress_control_;
    std::string label_;
    FillPacer pacer_;
    FillPacer* previous_ = nullptr;
  };

 private:
  friend class Fill;

  INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  void quit_or_wait();
  // Once no message of the window is being handled any more: carries out a
  // Quit or close that waited for a fill, and deletes the object of a
  // window that is gone.
  static void settle(ConnectorDialog* self);
  void pump();
  void stop_fill();

  HWND window_ = nullptr;
  Slot slot_ = kSlotCount;
  int depth_ = 0;       // messages of the window being handled
  int fill_depth_ = 0;  // fills running
  FillPacer* active_pacer_ = nullptr;
  bool quit_waiting_ = false;
  bool close_waiting_ = false;
  bool destroyed_ = false;  // the window went while one of its messages was handled
};

// The slot whose window a procedure makes.
template <class Window>
inline Slot g_window_slot = kSlotCount;

template <class Window>
INT_PTR CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return ConnectorDialog::route(
      window, message, wparam, lparam, []() -> ConnectorDialog* { return new Window(); }, g_window_slot<Window>);
}

// Puts a window class behind its slot.
template <class Window>
void install_window(Slot slot) {
  g_window_slot<Window> = slot;
  register_dialog(slot, &window_procedure<Window>);
}

// The wait cursor while an object of this type lives.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

// Puts text on the clipboard as plain text, opened for the connector's main
// window and emptied first, in a movable block grown in steps of 16000
// bytes. False when it could not: a block that could not be handed over is
// freed; an allocation failure is shown as message 62.
bool put_clipboard_text(std::string_view text, HWND box_owner);

}  // namespace kovo::windows
