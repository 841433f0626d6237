// The server's section of "Kovo.ini" in the user's application-data folder,
// the file the add-in shares.
#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "server/server_win.h"

namespace kovo::server {
namespace {

constexpr std::size_t kMaxSettingsPath = 262;

}  // namespace

bool prepare_settings_file() {
  char folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE)) return false;
  std::string path = std::string(folder) + "\\Kovo.ini";
  if (path.size() >= kMaxSettingsPath) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  app().settings_path = std::move(path);
  return true;
}

std::string read_setting(const char* key, std::size_t capacity) {
  std::vector<char> text(capacity + 1, '\0');
  const DWORD length = GetPrivateProfileStringA(kSettingsSection, key, "", text.data(),
                                                static_cast<DWORD>(text.size()), app().settings_path.c_str());
  return std::string(text.data(), length);
}

bool write_setting(const char* key, std::string_view value) {
  const std::string text(value);
  return WritePrivateProfileStringA(kSettingsSection, key, text.c_str(), app().settings_path.c_str()) != FALSE;
}

}  // namespace kovo::server
