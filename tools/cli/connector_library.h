// A connector library loaded as the server loads it: by path, five exports
// bound by name, initialised once, cleaned up before it is freed.
#pragma once

#include <windows.h>

#include <string>

namespace kovo::cli {

class ConnectorLibrary {
 public:
  using InterfaceFn = int(WINAPI*)(int, const char*, char*);
  using InitFn = int(WINAPI*)();
  using CleanupFn = int(WINAPI*)();
  using ModelessFn = int(WINAPI*)(MSG*);
  using ClipFn = int(WINAPI*)();

  // Loads and initialises; on failure error() tells why.
  bool load(const std::string& path);
  // DLLCleanupFunc and, when it agrees, FreeLibrary. Returns the clean-up status.
  int unload();
  ~ConnectorLibrary() { unload(); }

  int call(int code, const char* arguments, char* result) const {
    return interface_(code, arguments, result);
  }
  bool has_clip_to_dde() const { return clip_to_dde_ != nullptr; }
  // Offers pending window messages to the connector first, as the server's loop does.
  void pump_messages() const;
  const std::string& error() const { return error_; }

 private:
  HMODULE module_ = nullptr;
  InterfaceFn interface_ = nullptr;
  InitFn init_ = nullptr;
  CleanupFn cleanup_ = nullptr;
  ModelessFn modeless_fix_ = nullptr;
  ClipFn clip_to_dde_ = nullptr;
  std::string error_;
};

}  // namespace kovo::cli
