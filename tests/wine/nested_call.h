// A message from another thread that waits for the test's thread: the first
// nested message loop of the connector that looks at the queue (a fill's
// look between rows, a box) takes it, and it then asks the connector for a
// figure and to clean up, as a client's request and the server's unload
// would arrive at that moment.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "connector_fixture.h"
#include "entry/command_codes.h"

namespace kovo::testing {

class NestedCall {
 public:
  NestedCall(ConnectorInProcess::InterfaceFn call, ConnectorInProcess::VoidFn cleanup) {
    interface_ = call;
    cleanup_ = cleanup;
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "KovoTestNestedCaller";
    RegisterClassA(&window_class);
    caller_ = CreateWindowA("KovoTestNestedCaller", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    other_ = std::thread([this] {
      DWORD_PTR result = 0;
      delivered_ = SendMessageTimeoutA(caller_, WM_APP, 0, 0, SMTO_BLOCK, 60000, &result) != 0;
    });
    const DWORD until = GetTickCount() + 20000;
    while (!waiting() && GetTickCount() < until) Sleep(1);
  }
  ~NestedCall() {
    finish();
    if (caller_) DestroyWindow(caller_);
  }
  NestedCall(const NestedCall&) = delete;
  NestedCall& operator=(const NestedCall&) = delete;

  // The other thread's message waits for this thread.
  static bool waiting() { return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; }
  // Waits for the other thread; true when its message was taken.
  bool finish() {
    if (other_.joinable()) other_.join();
    return delivered_;
  }
  static int status() { return status_; }
  static int cleanup_status() { return cleanup_status_; }
  static const std::string& answer() { return answer_; }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_APP) return DefWindowProcA(window, message, wparam, lparam);
    std::string result(16000, '\0');
    status_ = interface_(kovo::codes::kGl, "1000-10;This Month;DEMO", result.data());
    answer_ = result.c_str();
    cleanup_status_ = cleanup_();
    return 1;
  }

  static inline ConnectorInProcess::InterfaceFn interface_ = nullptr;
  static inline ConnectorInProcess::VoidFn cleanup_ = nullptr;
  static inline std::string answer_;
  static inline int status_ = -1;
  static inline int cleanup_status_ = -1;
  HWND caller_ = nullptr;
  std::atomic<bool> delivered_{false};
  std::thread other_;
};

}  // namespace kovo::testing
