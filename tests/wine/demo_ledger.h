// The bundled demo ledger built by the ledger tool into a fresh system
// folder for one test, and removed afterwards.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "program_runner.h"

namespace kovo::testing {

class DemoLedger {
 public:
  DemoLedger() {
    namespace fs = std::filesystem;
    system_ = (fs::temp_directory_path() / ("kovo-demo-" + std::to_string(GetCurrentProcessId()))).string();
    fs::remove_all(system_);
    const auto run = run_program("\"" + bin_folder() + "kovo-ledger.exe\" build \"" +
                                     source_file("examples/demo.json") + "\" \"" + system_ + "\"",
                                 {}, 120000);
    built_ = run.exit_code == 0;
    errors_ = run.errors;
  }
  ~DemoLedger() {
    std::error_code ignored;
    std::filesystem::remove_all(system_, ignored);
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
