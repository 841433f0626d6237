// The server's log: what it did without a box to show it (boxes it did not
// show, conversations it ended for clients that are gone, commands it
// refused while busy). One file beside the settings file, "KovoServer.log",
// kept open while the server runs; past kMaxLogBytes it is moved to
// "KovoServer.log.old" and begun anew, so it never grows without bound.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "server/server_win.h"

namespace kovo::server {
namespace {

constexpr LONGLONG kMaxLogBytes = 1 << 20;

struct Log {
  std::string path;
  HANDLE file = INVALID_HANDLE_VALUE;
  bool unusable = false;  // no folder, or the name is taken by a link
  ~Log() {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
};

Log& the_log() {
  static Log log;
  return log;
}

bool is_link(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Opens (or creates) the log for appending; never through a link.
bool open_log(Log& log) {
  if (log.path.empty()) {
    char folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE)) return false;
    log.path = std::string(folder) + "\\KovoServer.log";
  }
  if (is_link(log.path)) return false;
  log.file = CreateFileA(log.path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  return log.file != INVALID_HANDLE_VALUE;
}

void rotate_when_full(Log& log) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(log.file, &size) || size.QuadPart < kMaxLogBytes) return;
  CloseHandle(log.file);
  log.file = INVALID_HANDLE_VALUE;
  const std::string old = log.path + ".old";
  if (!is_link(old)) MoveFileExA(log.path.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (!open_log(log)) log.unusable = true;
}

std::string timestamp() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

}  // namespace

void log_line(std::string_view line) {
  Log& log = the_log();
  if (log.unusable) return;
  if (log.file == INVALID_HANDLE_VALUE && !open_log(log)) {
    log.unusable = true;
    return;
  }
  rotate_when_full(log);
  if (log.file == INVALID_HANDLE_VALUE) return;
  std::string text = timestamp();
  for (const char c : line) text += (c == '\r' || c == '\n') ? ' ' : c;  // one line per entry
  text += "\r\n";
  DWORD written = 0;
  WriteFile(log.file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace kovo::server
