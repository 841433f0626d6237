// Answers the connector's message boxes of a test: a thread that looks for
// visible boxes titled "Kovo [CYMA]" on the test's window thread, records
// their texts and presses a button. One at a time on a thread: two would
// race for the same box, and either could record and answer it.
#pragma once

#include <gtest/gtest.h>
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
    if (watching_++ > 0) ADD_FAILURE() << "a second box watcher on this thread";
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
    --watching_;
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

  static inline thread_local int watching_ = 0;  // watchers alive on this thread
  DWORD thread_id_;
  int answer_;
  std::atomic<bool> done_{false};
  HWND answered_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> texts_;
  std::thread worker_;
};

}  // namespace kovo::testing
