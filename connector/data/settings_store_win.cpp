// Reading and writing the connector settings: registry first, profile file
// as the fallback; writes go to the registry only.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "data/settings_store.h"
#include "data/settings_store_win.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"

namespace kovo {
namespace {

constexpr DWORD kProfileBufferSize = 260;

std::string key_name(const SettingKey& key) {
  std::string name = message_string(key.string_id);
  return name.empty() ? std::string(key.name) : name;
}

std::string profile_text(const std::string& name, const std::string& fallback) {
  char text[kProfileBufferSize];
  GetPrivateProfileStringA(kSettingsSection, name.c_str(), fallback.c_str(), text, sizeof text,
                           kSettingsProfile);
  return text;
}

bool registry_value(const std::string& name, DWORD& type, std::string& data, DWORD size) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsRegistryKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  data.assign(size, '\0');
  DWORD length = size;
  const LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(data.data()), &length);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return false;
  data.resize(length);
  return true;
}

}  // namespace

std::string read_text_setting(const std::string& name, const std::string& fallback,
                              std::size_t size) {
  std::string text = profile_text(name, fallback);
  DWORD type = 0;
  std::string value;
  if (registry_value(name, type, value, static_cast<DWORD>(size)) && type == REG_SZ) {
    value.resize(strnlen(value.c_str(), value.size()));
    return value;
  }
  if (text.size() > size - 1) text.resize(size - 1);
  return text;
}

int read_number_setting(const std::string& name, int fallback) {
  int number = static_cast<int>(GetPrivateProfileIntA(kSettingsSection, name.c_str(), fallback,
                                                      kSettingsProfile));
  DWORD type = 0;
  std::string value;
  if (!registry_value(name, type, value, 64)) return number;
  if (type == REG_SZ) return std::atoi(value.c_str());
  if (type == REG_DWORD && value.size() >= sizeof(DWORD)) {
    DWORD dword;
    std::memcpy(&dword, value.data(), sizeof dword);
    return static_cast<int>(dword);
  }
  return 0;
}

bool write_setting(const std::string& name, const std::string& text) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG status = RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

std::string current_time_text() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return settings_time_text(now.wHour, now.wMinute, now.wSecond, now.wDayOfWeek, now.wMonth,
                            now.wDay, now.wYear);
}

void read_all_settings() {
  Settings& s = settings();
  write_setting("LastRead", current_time_text());
  std::size_t count = 0;
  const SettingKey* keys = setting_keys(&count);
  for (std::size_t i = 0; i < count; ++i) {
    const SettingKey& key = keys[i];
    if (!(key.flags & kStored)) continue;
    const std::string name = key_name(key);
    if (key.kind == SettingKey::Kind::Number) {
      s.*(key.number) = read_number_setting(name, key.number_default);
    } else {
      std::string fallback(key.text_default);
      if (key.text == &Settings::dpl_company) fallback = s.company;
      s.*(key.text) = read_text_setting(name, fallback, key.limit + 1);
    }
  }
  normalize_read_settings(s);
}

bool write_all_settings() {
  const Settings& s = settings();
  bool ok = write_setting("LastUpdate", current_time_text());
  std::size_t count = 0;
  const SettingKey* keys = setting_keys(&count);
  for (std::size_t i = 0; i < count; ++i) {
    const SettingKey& key = keys[i];
    if (!(key.flags & kStored)) continue;
    std::string text;
    if (key.kind == SettingKey::Kind::Number) text = std::to_string(s.*(key.number));
    else if (key.text == &Settings::highlight_threshold) text = threshold_text(s.highlight_amount);
    else text = s.*(key.text);
    ok = write_setting(key_name(key), text) && ok;
  }
  return ok;
}

std::string help_file_path(HINSTANCE module) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  std::string help(path, length < MAX_PATH ? length : 0);
  if (const auto dot = help.find_last_of('.'); dot != std::string::npos) help.resize(dot + 1);
  return help + "chm";
}

bool save_settings_for_command() {
  constexpr int kSettingsNotWritten = 60;
  if (write_all_settings()) return true;
  report(kSettingsNotWritten);
  return false;
}

void install_settings_store() {
  LifecycleHooks& hooks = lifecycle_hooks();
  hooks.read_settings = read_all_settings;
  hooks.save_settings = write_all_settings;
}

}  // namespace kovo
