// A connector library that only pretends, for the server's tests. Every call
// of KovoDLLInterface is written to the file FAKE_CONNECTOR_LOG as
// "FILE.DLL:code|arguments|buffer" (or "|null" without a result buffer); the
// answer names the code and the arguments. FAKE_CONNECTOR_INIT and FAKE_CONNECTOR_CLEANUP are what
// KovoDoDLLInit and DLLCleanupFunc return (0 when unset). Arguments holding
// FAKE-SERVER-EXIT end the server's process at once; arguments holding
// FAKE-BOX show a box titled "Fake Connector Box" inside the call (its
// message loop lets the server's next transaction in while the connector is
// busy) and answer once it is closed. Built with a version resource and
// KovoClipToDDE, and without either (FAKE_PLAIN).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "connector/entry/command_codes.h"

HINSTANCE g_module = nullptr;

namespace {

int env_number(const char* name) {
  char text[16];
  return GetEnvironmentVariableA(name, text, sizeof text) ? std::atoi(text) : 0;
}

void log_call(int code, const char* arguments, const char* result) {
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA("FAKE_CONNECTOR_LOG", path, MAX_PATH)) return;
  char module[MAX_PATH] = {};
  GetModuleFileNameA(g_module, module, MAX_PATH);
  const char* file = std::strrchr(module, '\\') ? std::strrchr(module, '\\') + 1 : module;
  if (FILE* f = std::fopen(path, "ab")) {
    std::fprintf(f, "%s:%d|%s|%s\n", file, code, arguments ? arguments : "(none)", result ? "buffer" : "null");
    std::fclose(f);
  }
}

void answer(char* result, const char* text) {
  if (result) std::snprintf(result, 16000, "%s", text);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

__declspec(dllexport) int WINAPI KovoDoDLLInit() { return env_number("FAKE_CONNECTOR_INIT"); }

__declspec(dllexport) int WINAPI KovoDLLInterface(int code, const char* arguments, char* result) {
  log_call(code, arguments, result);
  // A server that goes away in the middle of a request, for its clients' tests.
  if (arguments && std::strstr(arguments, "FAKE-SERVER-EXIT")) ExitProcess(3);
  if (arguments && std::strstr(arguments, "FAKE-BOX")) MessageBoxA(nullptr, "Working", "Fake Connector Box", MB_OK);
  char text[1024];
  switch (code) {
    case kovo::codes::kReport:  // refuses, as a connector does for a command it does not know
      return kovo::kStatusNotProcessed;
    case kovo::codes::kList:  // the list command: nothing to list
      return kovo::kStatusProcessed;
    case kovo::codes::kGtDesc:  // not processed, without a line end
      answer(result, "not processed: ");
      return kovo::kStatusNotProcessed;
    case kovo::codes::kVersion:
      answer(result, "Fake Version 1.0\r\n");
      return kovo::kStatusProcessed;
    default:
      // Value requests answer; window commands, like the real connector's
      // windows, have nothing to hand back.
      if (code < kovo::codes::kGl) return kovo::kStatusProcessed;
      std::snprintf(text, sizeof text, "code %d [%s]\r\n", code, arguments ? arguments : "");
      answer(result, text);
      return kovo::kStatusProcessed;
  }
}

__declspec(dllexport) int WINAPI DLLCleanupFunc() { return env_number("FAKE_CONNECTOR_CLEANUP"); }

__declspec(dllexport) int WINAPI ModelessFix(MSG*) { return 0; }

#ifndef FAKE_PLAIN
__declspec(dllexport) int WINAPI KovoClipToDDE() { return 0; }
#endif
}
