// kovo-winctl: small window chores for scripts (the screenshot script first
// of all), done with window messages rather than clicks.
//
//   kovo-winctl wait TITLE [SECONDS]      waits for a visible top-level window
//                                         with that title; prints "x y width height"
//   kovo-winctl post TITLE MESSAGE [WPARAM [LPARAM]]
//                                         posts a message to that window
//   kovo-winctl send TITLE MESSAGE [WPARAM [LPARAM]]
//                                         sends it and waits until it is handled
//   kovo-winctl sort TITLE LIST-ID COLUMN  clicks a column's header of a list view
//   kovo-winctl clipboard                 prints the clipboard's text
//
// Exit status 0 on success, 1 when no such window appeared in time.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HWND find_visible(const std::string& title) {
  struct Search {
    const std::string* title;
    HWND found;
  } search{&title, nullptr};
  EnumWindows(
      [](HWND window, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        char text[512] = {};
        GetWindowTextA(window, text, sizeof text);
        if (IsWindowVisible(window) && *s->title == text) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND wait_for(const std::string& title, double seconds) {
  const DWORD until = GetTickCount() + static_cast<DWORD>(seconds * 1000);
  for (;;) {
    if (HWND window = find_visible(title)) return window;
    if (static_cast<LONG>(GetTickCount() - until) > 0) return nullptr;
    Sleep(50);
  }
}

int usage() {
  std::fputs("usage: kovo-winctl wait TITLE [SECONDS] | post|send TITLE MESSAGE [WPARAM [LPARAM]]"
             " | sort TITLE LIST-ID COLUMN | clipboard\n",
             stderr);
  return 2;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "clipboard") return print_clipboard();
  if (argc < 3) return usage();
  const std::string verb = argv[1];
  const std::string title = argv[2];
  if (verb == "wait") {
    HWND window = wait_for(title, argc > 3 ? std::atof(argv[3]) : 10.0);
    if (!window) return std::fprintf(stderr, "kovo-winctl: no window \"%s\"\n", title.c_str()), 1;
    RECT r{};
    GetWindowRect(window, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (verb == "post" && argc >= 4) {
    HWND window = wait_for(title, 10.0);
    if (!window) return std::fprintf(stderr, "kovo-winctl: no window \"%s\"\n", title.c_str()), 1;
    const UINT message = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
    const WPARAM wparam = argc > 4 ? static_cast<WPARAM>(std::strtoul(argv[4], nullptr, 0)) : 0;
    const LPARAM lparam = argc > 5 ? static_cast<LPARAM>(std::strtol(argv[5], nullptr, 0)) : 0;
    return PostMessageA(window, message, wparam, lparam) ? 0 : 1;
  }
  if (verb == "send" && argc >= 4) {
    HWND window = wait_for(title, 10.0);
    if (!window) return std::fprintf(stderr, "kovo-winctl: no window \"%s\"\n", title.c_str()), 1;
    const UINT message = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
    const WPARAM wparam = argc > 4 ? static_cast<WPARAM>(std::strtoul(argv[4], nullptr, 0)) : 0;
    const LPARAM lparam = argc > 5 ? static_cast<LPARAM>(std::strtol(argv[5], nullptr, 0)) : 0;
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, message, wparam, lparam, SMTO_BLOCK, 120000, &answer) ? 0 : 1;
  }
  if (verb == "sort" && argc >= 5) {
    HWND window = wait_for(title, 10.0);
    if (!window) return std::fprintf(stderr, "kovo-winctl: no window \"%s\"\n", title.c_str()), 1;
    return click_header(window, std::atoi(argv[3]), std::atoi(argv[4]));
  }
  return usage();
}
