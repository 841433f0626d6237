// kovo-winctl: small window chores for scripts (the screenshot script, the
// demo's report wizard), done with window messages rather than clicks.
//
//   kovo-winctl wait TITLE [SECONDS]      waits for a visible top-level window
//                                         with that title; prints "x y width height"
//   kovo-winctl post TITLE MESSAGE [WPARAM [LPARAM]] [MESSAGE WPARAM LPARAM]...
//                                         posts the messages to that window, in order
//   kovo-winctl gone TITLE [SECONDS]      waits until no visible window has that title
//   kovo-winctl send TITLE MESSAGE [WPARAM [LPARAM]]
//                                         sends it and waits until it is handled
//   kovo-winctl sort TITLE LIST-ID COLUMN  clicks a column's header of a list view
//   kovo-winctl clipboard                 prints the clipboard's text
//   kovo-winctl hold                      uses the desktop until it is killed (by
//                                         `wineserver -k`), so that Wine's desktop
//                                         process lives for the whole session
//
// The verbs below act on a dialog with that title that holds the control
// (a number), waiting for it up to 30 seconds:
//
//   kovo-winctl choose TITLE CONTROL TEXT...   chooses the lines of a list box
//                                              (or sets a combo box) and tells the dialog
//   kovo-winctl press TITLE CONTROL            presses a button
//   kovo-winctl type TITLE CONTROL TEXT        puts a text into a field
//   kovo-winctl check TITLE CONTROL 0|1        ticks or clears a check box
//   kovo-winctl show TITLE CONTROL             prints the control's text, or its lines
//                                              one a line (a chosen line marked "*")
//   kovo-winctl has TITLE CONTROL TEXT [SECONDS]
//                                              waits until the control shows the
//                                              text (a list's line, a field's start)
//
// Exit status 0 on success, 1 when no such window (or text) appeared in time.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/winctl/window_driver.h"

namespace {

using namespace kovo::winctl;

int usage() {
  std::fputs(
      "usage: kovo-winctl wait TITLE [SECONDS] | gone TITLE [SECONDS] | post|send TITLE MESSAGE [WPARAM [LPARAM]]\n"
      "       | sort TITLE LIST-ID COLUMN | clipboard | hold\n"
      "       | choose TITLE CONTROL TEXT... | press TITLE CONTROL | type TITLE CONTROL TEXT\n"
      "       | check TITLE CONTROL 0|1 | show TITLE CONTROL | has TITLE CONTROL TEXT [SECONDS]\n",
      stderr);
  return 2;
}

int missing(const std::string& what) {
  std::fprintf(stderr, "kovo-winctl: no %s\n", what.c_str());
  return 1;
}

int control_id_of(const char* text) { return std::atoi(text); }

bool shows(HWND dialog, int id, const std::string& text) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return false;
  const std::string name = class_of(control);
  if (is_list_box(control) || _stricmp(name.c_str(), "ComboBox") == 0) {
    if (line_of(control, text) >= 0) return true;
  }
  return text_of(control).rfind(text, 0) == 0;
}

int print_clipboard() {
  if (!OpenClipboard(nullptr)) return std::fputs("kovo-winctl: the clipboard does not open\n", stderr), 1;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* text = static_cast<const char*>(GlobalLock(data))) {
      std::fputs(text, stdout);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return 0;
}

// A click in the middle of a column's header, as a user makes it: the
// header's items lie side by side with the columns' widths.
int click_header(HWND window, int list_id, int column) {
  HWND list = GetDlgItem(window, list_id);
  HWND header = list ? reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0)) : nullptr;
  if (!header) return std::fputs("kovo-winctl: no list view header\n", stderr), 1;
  int left = 0;
  for (int c = 0; c < column; ++c) left += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0));
  const int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
  RECT r{};
  GetClientRect(header, &r);
  const LPARAM at = MAKELPARAM(left + width / 2, (r.bottom - r.top) / 2);
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(header, WM_LBUTTONDOWN, MK_LBUTTON, at, SMTO_BLOCK, 10000, &answer);
  SendMessageTimeoutA(header, WM_LBUTTONUP, 0, at, SMTO_BLOCK, 10000, &answer);
  return 0;
}

// Wine starts its desktop process for the first program that needs the
// desktop and ends it shortly after the last such program ends. The desktop
// process keeps the output streams of the program that started it, so a
// test runner reading that program's output waits on them for as long as
// the desktop lives, well after the program itself ended. Holding the
// desktop from a program started with no streams makes the desktop process
// start here, streamless, and live until the Wine server is stopped.
int hold_desktop() {
  if (!GetDesktopWindow()) return std::fputs("kovo-winctl: no desktop\n", stderr), 1;
  for (;;) Sleep(INFINITE);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "clipboard") return print_clipboard();
  if (argc == 2 && std::string(argv[1]) == "hold") return hold_desktop();
  if (argc < 3) return usage();
  const std::string verb = argv[1];
  const std::string title = argv[2];
  if (verb == "wait") {
    HWND window = wait_window(title, 0, argc > 3 ? std::atof(argv[3]) : 10.0);
    if (!window) return missing("window \"" + title + "\"");
    RECT r{};
    GetWindowRect(window, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (verb == "gone") {
    const double seconds = argc > 3 ? std::atof(argv[3]) : 30.0;
    return wait_until([&] { return find_window(title) == nullptr; }, seconds) ? 0 : missing("end of \"" + title + "\"");
  }
  if (verb == "post" && argc >= 4) {
    HWND window = wait_window(title, 0, 10.0);
    if (!window) return missing("window \"" + title + "\"");
    // MESSAGE [WPARAM [LPARAM]], or several full triples, posted in order at
    // once (so that the second waits in the queue while the first is handled)
    for (int at = 3; at < argc; at += 3) {
      const UINT message = static_cast<UINT>(std::strtoul(argv[at], nullptr, 0));
      const WPARAM wparam = argc > at + 1 ? static_cast<WPARAM>(std::strtoul(argv[at + 1], nullptr, 0)) : 0;
      const LPARAM lparam = argc > at + 2 ? static_cast<LPARAM>(std::strtol(argv[at + 2], nullptr, 0)) : 0;
      if (!PostMessageA(window, message, wparam, lparam)) return 1;
    }
    return 0;
  }
  if (verb == "send" && argc >= 4) {
    HWND window = wait_window(title, 0, 10.0);
    if (!window) return missing("window \"" + title + "\"");
    const UINT message = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
    const WPARAM wparam = argc > 4 ? static_cast<WPARAM>(std::strtoul(argv[4], nullptr, 0)) : 0;
    const LPARAM lparam = argc > 5 ? static_cast<LPARAM>(std::strtol(argv[5], nullptr, 0)) : 0;
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, message, wparam, lparam, SMTO_BLOCK, 120000, &answer) ? 0 : 1;
  }
  if (verb == "sort" && argc >= 5) {
    HWND window = wait_window(title, 0, 10.0);
    if (!window) return missing("window \"" + title + "\"");
    return click_header(window, std::atoi(argv[3]), std::atoi(argv[4]));
  }
  if (argc < 4) return usage();
  const int control = std::atoi(argv[3]);
  const double seconds = verb == "has" && argc > 5 ? std::atof(argv[5]) : 30.0;
  HWND dialog = wait_window(title, control, seconds);
  if (!dialog) return missing("window \"" + title + "\" with control " + argv[3]);
  if (verb == "choose") return choose(dialog, control, std::vector<std::string>(argv + 4, argv + argc)) ? 0 : 1;
  if (verb == "press") return press(dialog, control) ? 0 : 1;
  if (verb == "type" && argc == 5) return type_text(dialog, control, argv[4]) ? 0 : 1;
  if (verb == "check" && argc == 5) return set_check(dialog, control, std::atoi(argv[4]) != 0), 0;
  if (verb == "show") {
    HWND control = GetDlgItem(dialog, control_id_of(argv[3]));
    if (!is_list_box(control) && _stricmp(class_of(control).c_str(), "ComboBox") != 0) {
      std::printf("%s\n", text_of(control).c_str());
      return 0;
    }
    const auto chosen = is_list_box(control) ? selected_of(control) : std::vector<std::string>{text_of(control)};
    for (const auto& line : lines_of(control)) {
      bool marked = false;
      for (const auto& c : chosen) marked = marked || c == line;
      std::printf("%s%s\n", marked ? "* " : "  ", line.c_str());
    }
    return 0;
  }
  if (verb == "has" && argc >= 5)
    return wait_until([&] { return shows(dialog, control, argv[4]); }, seconds) ? 0 : missing(std::string("\"") + argv[4] + "\"");
  return usage();
}
