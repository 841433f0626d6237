// Programs a benchmark starts and waits for, and the servers it waits on.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

namespace kovo::bench {

// The connector's registry key, whose settings some benchmarks set for their run.
inline constexpr char kConnectorKey[] = "SOFTWARE\\Talvik Systems Corporation\\Kovo\\4.0\\Kovo for LEDRA5";

// Starts a program: its process handle, which the caller closes, or null.
inline HANDLE start_process(const std::string& command_line, DWORD flags = 0) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = command_line;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

// Starts a program that runs on its own (a server the benchmark stops by a command).
inline bool start_detached(const std::string& program) {
  HANDLE process = start_process("\"" + program + "\"");
  if (!process) return false;
  CloseHandle(process);
  return true;
}

// Whether the process ended with exit code 0; closes its handle.
inline bool ended_well(HANDLE process) {
  DWORD code = 1;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code == 0;
}

// Runs a program to its end, at most timeout_ms: whether it ended with 0.
inline bool run_and_wait(const std::string& command_line, DWORD timeout_ms) {
  HANDLE process = start_process(command_line);
  if (!process) return false;
  WaitForSingleObject(process, timeout_ms);
  return ended_well(process);
}

// Connects a DDE client to a server that is starting: ten seconds at the most.
template <class Client>
bool connect_with_patience(Client& client, const char* service, const char* topic) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (client.connect(service, topic)) return true;
    Sleep(100);
  }
  return false;
}

// The best of the rounds measured; a failed round (negative) does not count.
struct Best {
  double value = 1e300;
  void take(double v) {
    if (v >= 0) value = std::min(value, v);
  }
};

}  // namespace kovo::bench
