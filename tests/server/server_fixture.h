// Helpers of the server's tests: a folder of its own holding Kovo.exe and the
// libraries a case needs, the server started from it as a separate process,
// and a watcher that reads and answers the boxes and dialogs it raises.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "connector_fixture.h"
#include "program_runner.h"
#include "ddeclient/dde_client_win.h"
#include "server/resources/server_ids.h"

namespace kovo::testing {

namespace fs = std::filesystem;

// Waits for a condition with a bounded poll.
inline bool wait_for(const std::function<bool()>& condition, int timeout_ms = 10000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(20);
  }
  return true;
}

// The running server's process (it runs once per desktop); 0 when none runs.
inline DWORD server_process_id() {
  DWORD process = 0;
  if (HWND server = FindWindowA("KovoMainServerClass", nullptr)) GetWindowThreadProcessId(server, &process);
  return process;
}

inline std::string settings_file() {
  char folder[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE);
  return std::string(folder) + "\\Kovo.ini";
}

// The server's log, beside the settings file.
inline std::string server_log_file() {
  char folder[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE);
  return std::string(folder) + "\\KovoServer.log";
}

inline std::string read_server_setting(const char* key) {
  char text[512] = {};
  GetPrivateProfileStringA("Kovo Server", key, "<missing>", text, sizeof text, settings_file().c_str());
  return text;
}

// A box or dialog seen in the server process.
struct SeenBox {
  std::string caption;
  std::string text;
};

// Every 20 ms looks for visible dialogs of one process: message boxes are
// recorded and answered (OK, or the next of the queued answers); the
// connector list dialog gets the line chosen by pick_line.
class BoxWatcher {
 public:
  explicit BoxWatcher(DWORD process_id) : process_id_(process_id), thread_([this] { run(); }) {}
  ~BoxWatcher() {
    stop_ = true;
    thread_.join();
  }
  std::vector<SeenBox> boxes() {
    std::lock_guard lock(mutex_);
    return seen_;
  }
  std::size_t list_dialogs() const { return list_dialogs_; }
  // The most boxes and dialogs of the process seen up at the same moment.
  std::size_t most_at_once() const { return most_at_once_; }
  void queue_answers(std::initializer_list<int> answers) {
    std::lock_guard lock(mutex_);
    answers_.insert(answers_.end(), answers);
  }
  // Line of the connector list to choose; -1 cancels the dialog.
  std::atomic<int> pick_line{0};
  // A window of this title (a connector's window in the server) is neither
  // recorded nor answered: the case drives it itself.
  void leave_alone(const std::string& title) {
    std::lock_guard lock(mutex_);
    left_alone_.push_back(title);
  }

 private:
  void run() {
    while (!stop_) {
      std::size_t up = 0;
      EnumWindows(
          [](HWND window, LPARAM self) -> BOOL {
            auto* watcher = reinterpret_cast<BoxWatcher*>(self);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char class_name[64] = {};
            GetClassNameA(window, class_name, sizeof class_name);
            if (owner == watcher->process_id_ && IsWindowVisible(window) && std::string(class_name) == "#32770")
              ++watcher->counted_;
            return TRUE;
          },
          reinterpret_cast<LPARAM>(this));
      up = counted_.exchange(0);
      if (up > most_at_once_) most_at_once_ = up;
      EnumWindows(
          [](HWND window, LPARAM self) -> BOOL {
            reinterpret_cast<BoxWatcher*>(self)->look_at(window);
            return TRUE;
          },
          reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }
  void look_at(HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != process_id_ || !IsWindowVisible(window)) return;
    char class_name[64] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    if (std::string(class_name) != "#32770") return;
    if (HWND list = GetDlgItem(window, IDC_CONNECTOR_LIST)) {  // the connector list dialog
      ++list_dialogs_;
      const int line = pick_line;
      if (line < 0) {
        PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
      } else {
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(301, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        PostMessageA(window, WM_COMMAND, IDOK, 0);
      }
      Sleep(100);
      return;
    }
    SeenBox box;
    char text[2048] = {};
    GetWindowTextA(window, text, sizeof text);
    box.caption = text;
    {
      std::lock_guard lock(mutex_);
      for (const auto& title : left_alone_)
        if (box.caption == title) return;
    }
    text[0] = '\0';
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
    box.text = text;
    int answer = IDOK;
    {
      std::lock_guard lock(mutex_);
      if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
      }
      seen_.push_back(box);
    }
    PostMessageA(window, WM_COMMAND, static_cast<WPARAM>(answer), 0);
    Sleep(100);  // let the box go before looking again
  }

  DWORD process_id_;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> list_dialogs_{0};
  std::atomic<std::size_t> counted_{0};
  std::atomic<std::size_t> most_at_once_{0};
  std::mutex mutex_;
  std::vector<SeenBox> seen_;
  std::deque<int> answers_;
  std::vector<std::string> left_alone_;
  std::thread thread_;
};

// Ends every server left running, by an earlier case that failed half-way:
// its mutex and service would stand in the way of the next.
inline void end_stray_servers() {
  while (HWND window = FindWindowA("KovoMainServerClass", nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) return;
    TerminateProcess(process, 98);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }
}

// A folder with Kovo.exe and chosen libraries; the server started from it.
// It holds the connector settings lock while it lives: a server loads the
// connector, which reads and writes the shared settings, and a connector
// loaded in another test process would have its main window owned by this
// server's window (and hidden while that one is minimised).
class ServerFolder {
  SettingsLock settings_lock_;

 public:
  explicit ServerFolder(const std::string& name, bool first = true) {
    if (first) end_stray_servers();
    path_ = fs::temp_directory_path() / ("kovo-server-" + name + "-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(path_);
    fs::create_directories(path_);
    copy("Kovo.exe");
    DeleteFileA(settings_file().c_str());
  }
  ~ServerFolder() {
    stop();
    std::error_code ec;
    fs::remove_all(path_, ec);
    DeleteFileA(settings_file().c_str());
  }
  // Copies a built file (relative to the bin folder) under a name of its own.
  void copy(const std::string& built, const std::string& as = {}) {
    const fs::path source = bin_folder() + built;
    fs::copy_file(source, path_ / (as.empty() ? source.filename().string() : as),
                  fs::copy_options::overwrite_existing);
  }
  void write(const std::string& name, const std::string& text) {
    FILE* f = std::fopen((path_ / name).string().c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  // The pretend connector with a version resource, under a file name of the case's choosing.
  void add_versioned_connector(const std::string& as = "ECHO32.DLL") {
    copy("fakes\\connector_versioned\\ECHO32.DLL", as);
  }
  void add_plain_connector(const std::string& as = "KESTA1.DLL") { copy("fakes\\connector_plain\\KESTA1.DLL", as); }

  // Starts Kovo.exe with a command line and waits until it serves the
  // generic topic (or, with wait_for_service off, only until it started).
  bool start(const std::string& arguments = {}, bool wait_for_service = true) {
    std::string line = "\"" + (path_ / "Kovo.exe").string() + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, path_.string().c_str(), &startup,
                        &process_))
      return false;
    watcher_ = std::make_unique<BoxWatcher>(process_.dwProcessId);
    if (!wait_for_service) return true;
    // Serving, and this server: its own window is up.
    return wait_for([&] {
      dde::Client probe;
      return (window() && probe.connect("Kovo", "Kovo")) || exited();
    }) && !exited();
  }
  bool exited(int timeout_ms = 0) const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout_ms)) == WAIT_OBJECT_0;
  }
  DWORD exit_code() const {
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }
  DWORD process_id() const { return process_.dwProcessId; }
  HWND window() const {
    struct Search {
      DWORD pid;
      HWND found;
    } search{process_.dwProcessId, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          auto* s = reinterpret_cast<Search*>(p);
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          char class_name[64] = {};
          GetClassNameA(w, class_name, sizeof class_name);
          if (owner == s->pid && std::string(class_name) == "KovoMainServerClass") {
            s->found = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  BoxWatcher& watcher() { return *watcher_; }
  // What the main window's status shows: open conversations, or (requests
  // true) requests served; -1 when the window does not answer.
  long long status_count(bool requests = false) const {
    DWORD_PTR answer = 0;
    HWND w = window();
    if (!w || !SendMessageTimeoutA(w, WM_USER + 103, requests ? 1 : 0, 0, SMTO_ABORTIFHUNG, 5000, &answer)) return -1;
    return static_cast<long long>(answer);
  }
  // Asks the server to close as its window's close box does, and waits.
  bool close(int timeout_ms = 10000) {
    if (HWND w = window()) PostMessageA(w, WM_CLOSE, 0, 0);
    return exited(timeout_ms);
  }
  void stop() {
    if (!process_.hProcess) return;
    if (!exited() && !close(5000)) TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
    watcher_.reset();
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
  PROCESS_INFORMATION process_{};
  std::unique_ptr<BoxWatcher> watcher_;
};

// Sets an environment variable for the servers started while it lives.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) { SetEnvironmentVariableA(name, value.c_str()); }
  ~ScopedEnv() { SetEnvironmentVariableA(name_, nullptr); }

 private:
  const char* name_;
};

}  // namespace kovo::testing
