// Helpers of the Windows-side tests: the folder of the built programs, and
// running one of them with its standard output captured.
#pragma once

#include <windows.h>

#include <string>

namespace kovo::testing {

// Folder of the test program itself, which is where every deliverable lands.
inline std::string bin_folder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

struct ProgramResult {
  DWORD exit_code = 0xFFFFFFFF;
  std::string output;  // standard output
  std::string errors;  // standard error
};

// Runs "command_line" (program and arguments, quoted as needed), feeding input
// to its standard input. Waits at most timeout_ms.
inline ProgramResult run_program(const std::string& command_line, const std::string& input = {},
                                 DWORD timeout_ms = 60000) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out_read, out_write, err_read, err_write, in_read, in_write;
  CreatePipe(&out_read, &out_write, &inherit, 0);
  CreatePipe(&err_read, &err_write, &inherit, 0);
  CreatePipe(&in_read, &in_write, &inherit, 0);
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION process{};
  std::string line = command_line;
  ProgramResult result;
  const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(out_write);
  CloseHandle(err_write);
  CloseHandle(in_read);
  if (!started) {
    const DWORD error = GetLastError();
    CloseHandle(out_read);
    CloseHandle(err_read);
    CloseHandle(in_write);
    result.errors = "could not start (error " + std::to_string(error) + "): " + command_line;
    return result;
  }
  DWORD written = 0;
  if (!input.empty()) WriteFile(in_write, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
  CloseHandle(in_write);
  // Drain stderr on a thread so neither pipe can fill up and block the child.
  struct Drain {
    HANDLE pipe;
    std::string text;
  } err_drain{err_read, {}};
  HANDLE drainer = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* d = static_cast<Drain*>(p);
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(d->pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) d->text.append(buffer, n);
        return 0;
      },
      &err_drain, 0, nullptr);
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(out_read, buffer, sizeof buffer, &n, nullptr) && n > 0) result.output.append(buffer, n);
  if (WaitForSingleObject(process.hProcess, timeout_ms) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
  WaitForSingleObject(drainer, 5000);
  CloseHandle(drainer);
  GetExitCodeProcess(process.hProcess, &result.exit_code);
  result.errors = err_drain.text;
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(out_read);
  CloseHandle(err_read);
  return result;
}

// A file of the source tree as Windows sees it (drive Z: is the machine's root).
inline std::string source_file(const std::string& relative) {
  std::string path = std::string("Z:") + KOVO_SOURCE_ROOT + "/" + relative;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// Runs kovo-cli.exe with the given arguments.
inline ProgramResult run_console(const std::string& arguments, const std::string& input = {}) {
  return run_program("\"" + bin_folder() + "kovo-cli.exe\" " + arguments, input);
}

}  // namespace kovo::testing
