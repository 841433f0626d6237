// What a window's controller may ask of the window around it. The dialog
// implements it with Windows; the controllers' tests with a recording fake,
// so that everything a window decides runs natively.
#pragma once

#include <any>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "windows/box_rules.h"
#include "windows/fill_pacer.h"
#include "windows/window_table.h"

namespace kovo::windows {

// One long piece of work of a window, for as long as the object lives: it
// shows progress, keeps the window responsive and sees a stop. The
// connector is busy meanwhile (no request runs in between).
class FillWork {
 public:
  virtual ~FillWork() = default;
  // Called after each row; false once the fill should stop.
  virtual RowCheck check() = 0;
  // For work that reports its count now and then: the count reached;
  // false once the fill should stop.
  virtual bool reached(std::size_t count) {
    (void)count;
    return check()();
  }
  virtual bool stopped() const = 0;
};

// The clipboard's plain text, or why there is none: message 49 (the
// clipboard could not be opened), 50 (it holds no text) or 51 (its text
// could not be locked).
struct ClipboardText {
  int failure = 0;
  std::string text;
};
inline constexpr int kClipboardNotOpened = 49;
inline constexpr int kClipboardEmpty = 50;
inline constexpr int kClipboardNotLocked = 51;

class WindowServices {
 public:
  virtual ~WindowServices() = default;

  // NoShow is set: nobody is there to see a box or press a button.
  virtual bool automation() const = 0;

  // The connector's box owned by the window, under the NoShow rule: returns
  // the answer (kAnswerOk and the like).
  virtual int box(BoxKind kind, int number, std::string_view detail = {},
                  int automation_answer = kNoAutomationAnswer) = 0;

  // Plain text on the clipboard (emptied first); false when it could not be
  // put there. empty_clipboard leaves it empty.
  virtual bool put_clipboard(std::string_view text) = 0;
  virtual void empty_clipboard() = 0;
  virtual ClipboardText clipboard_text() { return {kClipboardNotOpened, {}}; }

  // Writes the connector's settings to the settings store.
  virtual bool save_settings() = 0;

  // A text for the caller of an automated command (ignored for a user).
  virtual void hand_back(std::string text) = 0;

  // Other windows: open (or show again) a kind, handing it a start value;
  // close one as its Quit does.
  virtual void open_window(Slot kind, std::any start = {}) = 0;
  virtual void close_window(Slot kind) = 0;
  // A command to the open window of a kind (none: nothing happens), taken
  // even while that window fills; value travels with it.
  virtual void send_command(Slot kind, int command, std::intptr_t value = 0) = 0;

  // Closes this window (after a fill under way has stopped).
  virtual void close() = 0;

  // Opens the connector's help file at a topic (0: its first topic).
  virtual void open_help(int topic) = 0;

  // Starts a long piece of work; its progress shows with label. With a
  // stop question (a message number), a key or mouse button pressed in the
  // window asks it (Yes/No) for a user, and Yes stops the fill.
  virtual std::unique_ptr<FillWork> fill(std::string label, int stop_question = 0) = 0;
};

// The pending message (a failure of the logic behind the window) as an
// error box. In automation no box shows and the message stays pending, so
// that the command's result carries it.
void show_pending_failure(WindowServices& services);

}  // namespace kovo::windows
