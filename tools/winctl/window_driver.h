// Driving another program's dialogs with window messages, as a user would
// with clicks: finding a window by its title (and, where titles repeat, by
// a control it holds), choosing lines of list and combo boxes, typing into
// fields, pressing buttons, and waiting (bounded) for what a step shows.
// kovo-winctl offers these to scripts; the tests use them directly.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kovo::winctl {

// The first visible top-level window with this title that holds the
// control (any window when control is 0).
inline HWND find_window(const std::string& title, int control = 0) {
  struct Search {
    const std::string* title;
    int control;
    HWND found;
  } search{&title, control, nullptr};
  EnumWindows(
      [](HWND window, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        char text[512] = {};
        GetWindowTextA(window, text, sizeof text);
        if (IsWindowVisible(window) && *s->title == text && (s->control == 0 || GetDlgItem(window, s->control))) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Polls a condition every 20 ms until it holds or the time is up.
template <typename Condition>
bool wait_until(const Condition& condition, double seconds) {
  const DWORD until = GetTickCount() + static_cast<DWORD>(seconds * 1000);
  for (;;) {
    if (condition()) return true;
    if (static_cast<LONG>(GetTickCount() - until) > 0) return false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(20);
  }
}

inline HWND wait_window(const std::string& title, int control, double seconds) {
  HWND found = nullptr;
  wait_until([&] { return (found = find_window(title, control)) != nullptr; }, seconds);
  return found;
}

inline std::string class_of(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

inline bool is_list_box(HWND control) { return _stricmp(class_of(control).c_str(), "ListBox") == 0; }

inline std::string text_of(HWND window) {
  char text[1024] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

// The lines of a list or combo box. Asked in the wide form: across
// processes, the narrow form of these messages hands back wide text.
inline std::vector<std::string> lines_of(HWND control) {
  const bool list = is_list_box(control);
  const LRESULT count = SendMessageW(control, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0);
  std::vector<std::string> lines;
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(control, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(control, list ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide.data()));
    wide.resize(wcsnlen(wide.c_str(), wide.size()));
    std::string line(wide.size() * 2 + 1, '\0');
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), line.data(),
                                      static_cast<int>(line.size()), nullptr, nullptr);
    line.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    lines.push_back(line);
  }
  return lines;
}

// A line matches a text when it equals it, or begins with it followed by a tab.
inline int line_of(HWND control, const std::string& text) {
  const auto lines = lines_of(control);
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == text || lines[i].rfind(text + "\t", 0) == 0) return static_cast<int>(i);
  return -1;
}

// The selected lines of a list box.
inline std::vector<std::string> selected_of(HWND list) {
  std::vector<std::string> out;
  const auto lines = lines_of(list);
  // A list of one choice answers its selection through the current line.
  if ((GetWindowLongA(list, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) == 0) {
    const LRESULT at = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (at >= 0 && static_cast<std::size_t>(at) < lines.size()) out.push_back(lines[static_cast<std::size_t>(at)]);
    return out;
  }
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (SendMessageA(list, LB_GETSEL, i, 0) > 0) out.push_back(lines[i]);
  return out;
}

// Chooses lines of a list box (all others unselected) or sets a combo box,
// then tells the dialog, as a click does; returns once the dialog has
// handled it. False when a text is not there (or the control stays disabled).
inline bool choose(HWND dialog, int id, const std::vector<std::string>& texts) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return false;
  // A disabled list is still being filled: its lines are not yet the ones to choose from.
  if (!wait_until([&] { return IsWindowEnabled(control) != FALSE; }, 60)) return false;
  if (!is_list_box(control)) {
    const std::string text = texts.empty() ? std::string() : texts[0];
    const int at = line_of(control, text);
    if (at >= 0) SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    else SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
    return true;
  }
  const bool multiple = (GetWindowLongA(control, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
  if (multiple) SendMessageA(control, LB_SETSEL, FALSE, -1);
  for (const auto& text : texts) {
    const int at = line_of(control, text);
    if (at < 0) return false;
    if (multiple) SendMessageA(control, LB_SETSEL, TRUE, at);
    else SendMessageA(control, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
  }
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
  return true;
}

// Presses a button. Posted: what the press opens (a box, a dialog) must not
// hold the caller.
inline bool press(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control)) != 0;
}

inline bool type_text(HWND dialog, int id, const std::string& text) {
  HWND control = GetDlgItem(dialog, id);
  return control && SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

inline void set_check(HWND dialog, int id, bool on) {
  SendMessageA(GetDlgItem(dialog, id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace kovo::winctl
