// A record manager library that only pretends, for the connector's loading
// and retry tests. FAKE_BTRIEVE_LOG names a file that gets one line per call
// ("operation path"); FAKE_BTRIEVE_STATUS is the status every open answers.
// Built twice: with all five entries, and without BTRCALLID.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

void log_call(WORD operation, const void* key) {
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA("FAKE_BTRIEVE_LOG", path, MAX_PATH)) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%u %s\n", operation, operation == 0 && key ? static_cast<const char*>(key) : "");
    std::fclose(f);
  }
}

short open_status() {
  char text[16];
  return GetEnvironmentVariableA("FAKE_BTRIEVE_STATUS", text, sizeof text) ? static_cast<short>(std::atoi(text)) : 12;
}

}  // namespace

extern "C" {

__declspec(dllexport) short WINAPI BTRCALL(WORD operation, void*, void*, DWORD*, void* key, BYTE, char) {
  log_call(operation, key);
  if (operation == 0) return open_status();
  if (operation == 25) return 0;
  return 3;  // file not open
}
#ifndef FAKE_WITHOUT_CALL_ID
__declspec(dllexport) short WINAPI BTRCALLID(WORD operation, void* block, void* data, DWORD* length, void* key,
                                             BYTE key_length, char key_number, void*) {
  return BTRCALL(operation, block, data, length, key, key_length, key_number);
}
#endif
__declspec(dllexport) int WINAPI WBTRVINIT(char*) { return 0; }
__declspec(dllexport) int WINAPI WBTRVSTOP() { return 0; }
__declspec(dllexport) int WINAPI WBRQSHELLINIT(char*) { return 0; }
}
