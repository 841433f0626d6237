// The ground every connector window stands on.
//
// A window is a portable controller (the decisions: fields in; boxes,
// clipboard texts, settings changes and other windows out, through
// WindowServices) and a thin dialog class derived from ConnectorDialog that
// moves values between the controls and the controller. The dialog is made
// from its template in the connector's resources; install_window<Window>(slot)
// puts it behind its slot of the window table, and the ground then opens it
// for the user, runs its automation presses, keeps its handle in the slot
// while it exists, and closes it at clean-up.
//
// Buttons arrive in on_command, also when automation or another window
// presses them. Quit (IDCANCEL: the button, Escape, the system close)
// arrives in on_quit, whose default closes the window; Help (control 3)
// opens the kind's help topic; command 1199 closes at once.
//
// Long work runs inside a fill (WindowServices::fill): between rows it shows
// progress, keeps the window responsive and sees a stop; the connector is
// busy meanwhile, so that no request reads in between. While a fill runs,
// Quit and Stop (1198) stop it at once, a Quit is carried out once the fill
// has returned, and commands from other windows (and from the program) are
// taken; the user's other buttons wait until the fill is over (they are
// ignored). A fill's stop question is asked for other key and mouse
// presses; the Quit and Stop buttons act without it. In automation a fill
// never looks at the message queue.
#pragma once

#include <windows.h>

#include <any>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "windows/box_rules.h"
#include "windows/fill_pacer.h"
#include "windows/ground_win.h"
#include "windows/window_services.h"

namespace kovo::windows {

class ListView;

class ConnectorDialog : public WindowServices {
 public:
  ~ConnectorDialog() override = default;
  ConnectorDialog(const ConnectorDialog&) = delete;
  ConnectorDialog& operator=(const ConnectorDialog&) = delete;

  HWND handle() const { return window_; }
  Slot slot() const { return slot_; }
  bool filling() const { return fill_depth_ > 0; }

  // The dialog procedure of every window class (install_window sets it up).
  using Maker = ConnectorDialog* (*)();
  static INT_PTR route(HWND window, UINT message, WPARAM wparam, LPARAM lparam, Maker make, Slot slot);

  // WindowServices, for the window's controller.
  bool automation() const override;
  int box(BoxKind kind, int number, std::string_view detail = {},
          int automation_answer = kNoAutomationAnswer) override;
  bool put_clipboard(std::string_view text) override;
  void empty_clipboard() override;
  ClipboardText clipboard_text() override;
  bool save_settings() override;
  void hand_back(std::string text) override;
  void open_window(Slot kind, std::any start = {}) override;
  void close_window(Slot kind) override;
  void send_command(Slot kind, int command, std::intptr_t value = 0) override;
  void close() override;
  void open_help(int topic) override;
  std::unique_ptr<FillWork> fill(std::string label, int stop_question = 0) override;

 protected:
  ConnectorDialog() = default;

  // WM_INITDIALOG: fill the controls; start is what the opener handed over.
  virtual void on_open() {}
  virtual void on_command(int control, int notification) {}
  virtual void on_quit() { close(); }
  virtual void on_help() { open_help(kind_of(slot_).help_topic); }
  // Any other message; true when handled, with the dialog result in result.
  virtual bool on_message(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR& result) { return false; }
  // The static control where fills show their progress; 0 for none.
  virtual int progress_control() const { return 0; }
  // A fill's progress, shown now and then while it runs (rows so far, and
  // 0 once it is over): by default the label and the rows in the
  // progress control, emptied at the end.
  virtual void show_fill_progress(const std::string& label, std::size_t rows);

  const std::any& start() const { return start_; }
  // The value that came with the command being handled (its LPARAM).
  LPARAM command_value() const { return command_value_; }

  HWND control(int id) const { return GetDlgItem(window_, id); }
  std::string text(int id) const;
  void set_text(int id, std::string_view text);
  bool checked(int id) const;
  void set_checked(int id, bool on);
  void enable(int id, bool on);
  void set_combo_items(int id, const std::vector<std::string>& items);

  // A list view control of the window, driven by view: its notifications
  // reach it from here on.
  void attach_list(int id, ListView& view);

 private:
  class Fill;
  friend class Fill;

  INT_PTR handle_message(UINT message, WPARAM wparam, LPARAM lparam);
  void take_command(int id, int notification, HWND from);
  void quit_or_wait();
  // Once no message of the window is being handled any more: carries out a
  // Quit or close that waited for a fill, and deletes the object of a
  // window that is gone.
  static void settle(ConnectorDialog* self);
  void stop_fill();

  HWND window_ = nullptr;
  Slot slot_ = kSlotCount;
  std::any start_;
  int depth_ = 0;       // messages of the window being handled
  int fill_depth_ = 0;  // fills running
  FillPacer* active_pacer_ = nullptr;
  LPARAM command_value_ = 0;
  bool quit_waiting_ = false;
  bool close_waiting_ = false;
  bool destroyed_ = false;  // the window went while one of its messages was handled
  std::vector<std::pair<int, ListView*>> lists_;
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
