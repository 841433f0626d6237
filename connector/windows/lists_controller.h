// What the lists window decides: the choices it opens with, what a radio
// button, the Where field and the check boxes change, and what Send to
// Clipboard, Quit and Help do, for a user and without one. The dialog only
// moves values between its controls and this.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entry/settings.h"
#include "windows/window_services.h"

namespace kovo::lists {

// The window's controls as the controller fills them.
struct ListsView {
  int checked_control = 0;  // the radio button of the chosen list
  bool segment_fields = true;  // "List Segment:", "Where:" and "Is:" enabled
  bool transpose = false;
  bool descriptions = false;
  std::vector<std::string> segment_items;  // "List Segment:" choices
  std::vector<std::string> where_items;    // "Where:" choices, "(None)" first
  std::string segment, where, is;
  bool company_failed = false;  // the company could not be used; the lists stay empty
};

// The three segment fields as the user left them.
struct SegmentFields {
  std::string segment, where, is;
};

class ListsController {
 public:
  ListsController(Settings& settings, windows::WindowServices& services) : settings_(settings), services_(services) {}

  // The window as it opens, from the settings; a company that cannot be used
  // is said in a box.
  ListsView open();

  // A radio button was clicked: false when control is none of them.
  bool choose(int control);
  bool segment_fields_enabled() const;

  // "Where:" lost the focus after a change: the "Is:" choices for that
  // segment, or nothing when they could not be read (the reason was said)
  // or the user stopped the reading.
  std::optional<std::vector<std::string>> where_changed(std::string_view where);

  // The check boxes changed.
  void options_changed(bool transpose, bool descriptions);

  // "Send to Clipboard": for a user, the list on the clipboard and a box
  // that says whether it went there. Without a user the clipboard is
  // emptied first; with NoClipboard the list is handed back to the
  // command's caller instead of going to the clipboard.
  void send(const SegmentFields& fields);

  // "Quit": the choices are saved with the settings and the window closes.
  void quit();

 private:
  void compose(const SegmentFields& fields);
  void send_for_user();

  Settings& settings_;
  windows::WindowServices& services_;
  std::vector<std::string> names_;  // the company's segment names
};

}  // namespace kovo::lists
