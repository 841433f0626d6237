// kovo-winctl: small window chores for scripts (the screenshot script first
// of all), done with window messages rather than clicks.
//
//   kovo-winctl wait TITLE [SECONDS]      waits for a visible top-level window
//                                         with that title; prints "x y width height"
//   kovo-winctl post TITLE MESSAGE [WPARAM [LPARAM]]
//                                         posts a message to that window
//
// Exit status 0 on success, 1 when no such window appeared in time.
#include <windows.h>

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
  std::fputs("usage: kovo-winctl wait TITLE [SECONDS] | post TITLE MESSAGE [WPARAM [LPARAM]]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
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
  return usage();
}
