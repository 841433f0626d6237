#include <windows.h>

#include <string>

#include "data/btrieve.h"
#include "data/btrieve_win.h"
#include "entry/connector_win.h"
#include "entry/messages.h"
#include "entry/settings.h"

namespace kovo::btrv {
namespace {

using LibraryCallFn = short(WINAPI*)(WORD, void*, void*, DWORD*, void*, BYTE, char);
using LibraryCallIdFn = short(WINAPI*)(WORD, void*, void*, DWORD*, void*, BYTE, char, void*);
using InitFn = int(WINAPI*)(char*);
using StopFn = int(WINAPI*)();

struct Library {
  HMODULE handle = nullptr;
  InitFn init = nullptr;
  LibraryCallFn call = nullptr;
  StopFn stop = nullptr;
  InitFn requester_init = nullptr;
  LibraryCallIdFn call_id = nullptr;
  bool loaded = false;
};
Library g_library;

template <typename Fn>
bool bind(const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(g_library.handle, name)));
  return out != nullptr;
}

// The library's call in the portable shape (DWORD is 32 bits on Windows).
short library_call(std::uint16_t operation, void* block, void* data, std::uint32_t* length,
                   void* key, std::uint8_t key_length, std::int8_t key_number) {
  if (!g_library.call) return kStatusInactive;
  DWORD wide = length ? *length : 0;
  const short status = g_library.call(operation, block, data, &wide, key, key_length,
                                      static_cast<char>(key_number));
  if (length) *length = wide;
  return status;
}

std::string connector_folder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(connector_module(), path, MAX_PATH);
  std::string folder(path, length < MAX_PATH ? length : 0);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

HMODULE load_from_connector_folder() {
  const std::string folder = connector_folder();
  if (folder.empty() || GetFileAttributesA((folder + "WBTRV32.DLL").c_str()) == INVALID_FILE_ATTRIBUTES)
    return nullptr;
  char saved[MAX_PATH];
  const DWORD saved_length = GetCurrentDirectoryA(MAX_PATH, saved);
  std::string current = folder;
  if (current.size() > 3 && current.back() == '\\') current.pop_back();
  SetCurrentDirectoryA(current.c_str());
  HMODULE handle = LoadLibraryA("WBTRV32.DLL");
  if (saved_length > 0 && saved_length < MAX_PATH) SetCurrentDirectoryA(saved);
  return handle;
}

// The 8.3 form of a path; a file that does not exist yet gets a placeholder
// for the moment of the question.
std::string short_form_of(const std::string& path) {
  bool placeholder = false;
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, "kovo temp file", 14, &written, nullptr);
      CloseHandle(file);
      placeholder = true;
    }
  }
  char shorter[261];
  const DWORD length = GetShortPathNameA(path.c_str(), shorter, sizeof shorter);
  if (placeholder) DeleteFileA(path.c_str());
  if (length == 0 || length >= sizeof shorter) return {};
  return std::string(shorter, length);
}

struct InstallHooks {
  InstallHooks() {
    set_library_loader(&LoadBtrieve);
    set_short_form(&short_form_of);
  }
} g_install_hooks;

}  // namespace

int LoadBtrieve() {
  g_library.handle = LoadLibraryA("W3BTRV7.DLL");
  if (!g_library.handle) g_library.handle = LoadLibraryA("WBTRV32.DLL");
  if (!g_library.handle) g_library.handle = load_from_connector_folder();
  if (!g_library.handle) return kStatusInactive;
  if (!bind("WBTRVINIT", g_library.init) || !bind("BTRCALL", g_library.call) ||
      !bind("WBTRVSTOP", g_library.stop) || !bind("WBRQSHELLINIT", g_library.requester_init) ||
      !bind("BTRCALLID", g_library.call_id)) {
    UnloadBtrieve();
    return kStatusUnrecoverable;
  }
  g_library.loaded = true;
  set_record_manager_call(&library_call);
  return 0;
}

int UnloadBtrieve() {
  if (record_manager_call() == &library_call) set_record_manager_call(nullptr);
  if (g_library.stop) g_library.stop();
  if (g_library.handle) FreeLibrary(g_library.handle);
  g_library = Library{};
  return 0;
}

bool btrieve_loaded() { return g_library.loaded; }

void show_btrieve_error_box(void* owner_window) {
  if (!owner_window || settings().no_show) return;
  const std::string text = last_status_text();
  MessageBoxA(static_cast<HWND>(owner_window), text.c_str(), "Kovo", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace kovo::btrv
