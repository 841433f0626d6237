// The bundled demo ledger built by the ledger tool for the tests that only
// read it. It is built once into a folder named after the description and
// the tool, and shared by every test process after that.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "program_runner.h"

namespace kovo::testing {

class DemoLedger {
 public:
  DemoLedger() {
    namespace fs = std::filesystem;
    const std::string description = source_file("examples/demo.json");
    const std::string tool = bin_folder() + "kovo-ledger.exe";
    std::error_code ec;
    const auto stamp = [&](const std::string& file) {
      return std::to_string(fs::last_write_time(file, ec).time_since_epoch().count() % 1000000007);
    };
    system_ = (fs::temp_directory_path() / ("kovo-demo-" + stamp(description) + "-" + stamp(tool))).string();
    const std::string marker = system_ + "\\built";
    HANDLE lock = CreateMutexA(nullptr, FALSE, "KovoTestDemoLedger");
    if (lock) WaitForSingleObject(lock, 180000);
    if (fs::exists(marker, ec)) {
      built_ = true;
    } else {
      fs::remove_all(system_, ec);
      const auto run = run_program("\"" + tool + "\" build \"" + description + "\" \"" + system_ + "\"", {}, 120000);
      built_ = run.exit_code == 0;
      errors_ = run.errors;
      if (built_) std::ofstream(marker) << "built\n";
    }
    if (lock) {
      ReleaseMutex(lock);
      CloseHandle(lock);
    }
  }
  DemoLedger(const DemoLedger&) = delete;
  DemoLedger& operator=(const DemoLedger&) = delete;

  const std::string& system() const { return system_; }
  bool built() const { return built_; }
  const std::string& errors() const { return errors_; }

 private:
  std::string system_;
  bool built_ = false;
  std::string errors_;
};

// The clipboard's plain text, and a way to put a marker there.
inline std::string clipboard_text() {
  std::string text;
  if (!OpenClipboard(nullptr)) return "<not open>";
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

inline void set_clipboard_text(const std::string& text) {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
  CloseClipboard();
}

}  // namespace kovo::testing
