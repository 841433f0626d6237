// A stand-in of the HTML Help library for the tests: placed beside a
// program (the folder a library is looked for first), it takes the
// program's HtmlHelp calls and writes each to hhctrl.log beside itself as
// "HtmlHelpA|file|command|data", so a test sees which help file opened at
// which topic.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

HINSTANCE g_module = nullptr;

void log_call(const char* function, const char* file, UINT command, DWORD_PTR data) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(g_module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  char* slash = std::strrchr(path, '\\');
  if (!slash || static_cast<std::size_t>(slash - path) + sizeof "\\hhctrl.log" > sizeof path) return;
  std::strcpy(slash, "\\hhctrl.log");
  if (FILE* f = std::fopen(path, "ab")) {
    std::fprintf(f, "%s|%s|%u|%lu\n", function, file ? file : "(none)", command, static_cast<unsigned long>(data));
    std::fclose(f);
  }
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

__declspec(dllexport) HWND WINAPI HtmlHelpA(HWND, LPCSTR file, UINT command, DWORD_PTR data) {
  log_call("HtmlHelpA", file, command, data);
  return nullptr;
}

}
