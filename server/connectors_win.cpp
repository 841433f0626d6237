// Connector libraries: finding them beside the server, loading and binding
// them, calling them, offering them the server's messages, releasing them.
#include <windows.h>

#include <vector>

#include "server/discovery.h"
#include "server/messages.h"
#include "server/server_win.h"

namespace kovo::server {
namespace {

constexpr std::size_t kVersionTextSize = 256;

template <typename Fn>
void bind(HMODULE module, const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::optional<std::vector<char>> version_block(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::nullopt;
  return block;
}

std::string block_string(std::vector<char>& block, const char* name,
                         std::initializer_list<const char*> translations) {
  for (const char* translation : translations) {
    const std::string query = std::string("\\StringFileInfo\\") + translation + "\\" + name;
    char* value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value &&
        length > 0)
      return std::string(value, strnlen(value, std::min<std::size_t>(length, kVersionTextSize - 1)));
  }
  return {};
}

std::vector<LibraryFile> libraries_in(const std::string& folder) {
  std::vector<LibraryFile> files;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*.DLL").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (found.cFileName[0] == '.') continue;
    LibraryFile file{found.cFileName, std::nullopt};
    if (auto block = version_block(folder + file.name)) {
      LibraryVersion version;
      const auto keys = {"100904b0", "040904b0"};
      version.company = block_string(*block, "CompanyName", keys);
      version.product = block_string(*block, "ProductName", keys);
      version.internal_name = block_string(*block, "InternalName", keys);
      file.version = std::move(version);
    }
    files.push_back(std::move(file));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return files;
}

std::string system_error_text(DWORD error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message(text ? text : "", length);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' '))
    message.pop_back();
  return message;
}

// Keeps the start directory current while a library loads.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& folder) {
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, previous_);
    saved_ = length > 0 && length < MAX_PATH;
    if (!folder.empty()) SetCurrentDirectoryA(folder.c_str());
  }
  ~CurrentDirectory() {
    if (saved_) SetCurrentDirectoryA(previous_);
  }

 private:
  char previous_[MAX_PATH] = {};
  bool saved_ = false;
};

// Counts a connector call in progress, so that no transaction re-enters it.
class ConnectorCall {
 public:
  ConnectorCall() { ++app().connector_depth; }
  ~ConnectorCall() { --app().connector_depth; }
  ConnectorCall(const ConnectorCall&) = delete;
  ConnectorCall& operator=(const ConnectorCall&) = delete;
};

}  // namespace

std::string version_string(const std::string& path, const char* name,
                           std::initializer_list<const char*> translations) {
  auto block = version_block(path);
  return block ? block_string(*block, name, translations) : std::string();
}

bool discover_installed_connectors() {
  ServerApp& a = app();
  const std::size_t found = discover_connectors(a.service, a.start_directory, libraries_in(a.start_directory));
  a.modules.fill(ConnectorModule{});
  if (found == 0) {
    show_server_message(kMsgNoConnectors);
    return false;
  }
  return true;
}

bool WindowsHost::load_connector(std::size_t topic) {
  ServerApp& a = app();
  ConnectorModule& m = a.modules[topic];
  if (m.module) return true;
  const ConnectorEntry& entry = a.service.entry(topic);
  const CurrentDirectory in_start_directory(a.start_directory);
  const ConnectorCall in_connector;
  HMODULE module = entry.path.empty() ? nullptr : LoadLibraryA(entry.path.c_str());
  if (!module) {
    const DWORD error = entry.path.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
    a.service.set_last_error(load_failure_text(entry.path, error, system_error_text(error)));
    m = ConnectorModule{};
    return false;
  }
  m.module = module;
  bind(module, "KovoClipToDDE", m.clip_to_dde);
  bind(module, "KovoDLLInterface", m.interface_fn);
  bind(module, "DLLCleanupFunc", m.cleanup);
  bind(module, "ModelessFix", m.modeless_fix);
  bind(module, "KovoDoDLLInit", m.init);
  if (m.init && m.init() != 0) {
    if (m.cleanup) m.cleanup();
    FreeLibrary(module);
    m = ConnectorModule{};
    a.service.set_last_error(init_failure_text(entry.path));
    return false;
  }
  return true;
}

bool WindowsHost::has_interface(std::size_t topic) const { return app().modules[topic].interface_fn != nullptr; }

bool WindowsHost::has_clip_to_dde(std::size_t topic) const { return app().modules[topic].clip_to_dde != nullptr; }

int WindowsHost::call_connector(std::size_t topic, int code, const char* arguments, char* result) {
  const ConnectorModule& m = app().modules[topic];
  if (!m.interface_fn) return 1;
  const ConnectorCall in_connector;
  return m.interface_fn(code, arguments, result);
}

bool unload_all_connectors() {
  ServerApp& a = app();
  std::array<bool, kTopicCount> refused{};
  bool any_refused = false;
  for (std::size_t topic = 0; topic < kTopicCount; ++topic) {
    ConnectorModule& m = a.modules[topic];
    if (!m.module) continue;
    const ConnectorCall in_connector;
    if (m.cleanup && m.cleanup() == 1) {
      refused[topic] = any_refused = true;
      continue;
    }
    FreeLibrary(m.module);
  }
  for (std::size_t topic = 1; topic < kTopicCount; ++topic) {
    if (refused[topic]) continue;
    a.modules[topic] = ConnectorModule{};
    a.service.uninstall(topic);
  }
  return !any_refused;
}

bool offer_to_connectors(MSG* message) {
  ServerApp& a = app();
  for (std::size_t topic = 1; topic < kTopicCount; ++topic) {
    const ConnectorModule& m = a.modules[topic];
    if (m.modeless_fix && a.service.entry(topic).installed && m.modeless_fix(message)) return true;
  }
  return false;
}

}  // namespace kovo::server
