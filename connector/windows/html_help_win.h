// HTML Help, loaded when first needed rather than linked, so that a program
// runs where the help library is missing and starts without loading it.
// The connector's windows and the server open their help files through it.
#pragma once

#include <windows.h>

#include <string>

namespace kovo::help {

// The HtmlHelp commands in use (the values of the HTML Help API).
inline constexpr UINT kDisplayTopic = 0x0000;
inline constexpr UINT kHelpContext = 0x000F;
inline constexpr UINT kCloseAll = 0x0012;

using HtmlHelpFunction = HWND(WINAPI*)(HWND caller, LPCSTR file, UINT command, DWORD_PTR data);

class HtmlHelpLibrary {
 public:
  // The library's entry point, loaded on first use; nullptr when absent.
  HtmlHelpFunction entry() {
    if (!tried_) {
      tried_ = true;
      library_ = LoadLibraryA("hhctrl.ocx");
      if (library_)
        entry_ = reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(GetProcAddress(library_, "HtmlHelpA")));
    }
    return entry_;
  }
  // Opens file at a context (kHelpContext) or its default topic
  // (kDisplayTopic). False when the library could not be loaded.
  bool open(HWND caller, const std::string& file, UINT command, DWORD_PTR data) {
    const HtmlHelpFunction call = entry();
    if (!call) return false;
    call(caller, file.c_str(), command, data);
    used_ = true;
    return true;
  }
  // Closes every help window this module opened. The library stays loaded
  // for the life of the process: its windows may still be going away.
  void close_all() {
    if (entry_ && used_) entry_(nullptr, nullptr, kCloseAll, 0);
    used_ = false;
  }
  bool used() const { return used_; }

 private:
  HMODULE library_ = nullptr;
  HtmlHelpFunction entry_ = nullptr;
  bool tried_ = false;
  bool used_ = false;
};

}  // namespace kovo::help
