// A fixture that loads the connector library into the test process, as the
// server loads it, and cleans it up after each test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "program_runner.h"

namespace kovo::testing {

// The connector's stored settings (the registry of the test prefix) are
// shared by every test process: tests that load the connector, and so may
// read or write them, hold this lock from construction to destruction.
class SettingsLock {
 public:
  SettingsLock() : mutex_(CreateMutexA(nullptr, FALSE, "KovoTestConnectorSettings")) {
    if (mutex_) WaitForSingleObject(mutex_, 120000);
  }
  ~SettingsLock() {
    if (!mutex_) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }
  SettingsLock(const SettingsLock&) = delete;
  SettingsLock& operator=(const SettingsLock&) = delete;

 private:
  HANDLE mutex_;
};

// The registry key of the connector's settings.
inline constexpr char kSettingsKey[] = "SOFTWARE\\Talvik Systems Corporation\\Kovo\\4.0\\Kovo for LEDRA5";

// Stores the connector's settings afresh: the key emptied, then the values
// given (name, text). Whether the key could be written.
inline bool store_connector_settings(std::initializer_list<std::pair<const char*, std::string>> values) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  for (const auto& [name, value] : values)
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return true;
}

// Back to the connector's defaults.
inline void forget_connector_settings() { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey); }

// A top-level window of one process with that class and title (nullptr for
// either matches any). Tests run side by side in one Wine desktop, and
// several test processes load the connector: a search over the whole
// desktop can find another test's window instead.
inline HWND find_process_window(DWORD process_id, const char* class_name, const char* title) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, class_name, title)) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == process_id) return window;
  }
  return nullptr;
}

// The same among this process's windows.
inline HWND find_own_window(const char* class_name, const char* title) {
  return find_process_window(GetCurrentProcessId(), class_name, title);
}

// The library loaded into the test process, as the server loads it.
class ConnectorInProcess : public ::testing::Test {
 public:
  using InterfaceFn = int(WINAPI*)(int, const char*, char*);
  using VoidFn = int(WINAPI*)();
  using FixFn = int(WINAPI*)(MSG*);

 protected:
  SettingsLock settings_lock_;

  void SetUp() override {
    module_ = LoadLibraryA((kovo::testing::bin_folder() + "Ledra5.dll").c_str());
    ASSERT_NE(module_, nullptr);
    interface_ = reinterpret_cast<InterfaceFn>(reinterpret_cast<void*>(GetProcAddress(module_, "KovoDLLInterface")));
    init_ = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(module_, "KovoDoDLLInit")));
    cleanup_ = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(module_, "DLLCleanupFunc")));
    clip_ = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(module_, "KovoClipToDDE")));
    fix_ = reinterpret_cast<FixFn>(reinterpret_cast<void*>(GetProcAddress(module_, "ModelessFix")));
    ASSERT_TRUE(interface_ && init_ && cleanup_ && clip_ && fix_);
    ASSERT_EQ(init_(), 0);
    pump();
  }
  void TearDown() override {
    if (!module_) return;
    EXPECT_EQ(cleanup_(), 0);
    pump();
    EXPECT_EQ(find_own_window("CYMAV5CLASS32", nullptr), nullptr) << "clean-up destroys the main window";
    FreeLibrary(module_);
  }
  void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (fix_(&message)) continue;
      DispatchMessageA(&message);
    }
  }
  std::string call(int code, const char* arguments, int* status = nullptr) {
    std::string result(16000, '\0');
    const int s = interface_(code, arguments, result.data());
    if (status) *status = s;
    result.resize(result.find('\0'));
    return result;
  }
  HWND main_window() { return find_own_window("CYMAV5CLASS32", "Kovo DLL for Cyma IV"); }

  HMODULE module_ = nullptr;
  InterfaceFn interface_ = nullptr;
  VoidFn init_ = nullptr, cleanup_ = nullptr, clip_ = nullptr;
  FixFn fix_ = nullptr;
};


}  // namespace kovo::testing
