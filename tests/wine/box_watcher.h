// Answers the connector's message boxes of a test: a thread that looks for
// visible boxes titled "Kovo [CYMA]" on the test's window thread, records
// their texts and presses a button.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kovo::testing {

class InProcessBoxWatcher {
 public:
  explicit InProcessBoxWatcher(int answer = IDOK) : thread_id_(GetCurrentThreadId()), answer_(answer) {
    worker_ = std::thread([this] {
      while (!done_) {
        EnumThreadWindows(thread_id_, &InProcessBoxWatcher::visit, reinterpret_cast<LPARAM>(this));
        Sleep(20);
      }
    });
  }
  ~InProcessBoxWatcher() {
    done_ = true;
    worker_.join();
  }
  std::vector<std::string> texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  static BOOL CALLBACK visit(HWND window, LPARAM self_pointer) {
    auto* self = reinterpret_cast<InProcessBoxWatcher*>(self_pointer);
    char class_name[32] = {}, text[1024] = {};
    wchar_t caption[64] = {};
    // Neither call sends a message to the window, whose thread may be
    // waiting for this one.
    GetClassNameA(window, class_name, sizeof class_name);
    InternalGetWindowText(window, caption, 64);
    if (std::string(class_name) != "#32770" || std::wstring(caption) != L"Kovo [CYMA]" || !IsWindowVisible(window))
      return TRUE;
    if (self->answered_ == window) return TRUE;
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->texts_.push_back(text);
    }
    self->answered_ = window;
    PostMessageA(window, WM_COMMAND, self->answer_, 0);
    return TRUE;
  }

  DWORD thread_id_;
  int answer_;
  std::atomic<bool> done_{false};
  HWND answered_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> texts_;
  std::thread worker_;
};

}  // namespace kovo::testing
