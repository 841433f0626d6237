#include <windows.h>

#include <cstring>
#include <string>

#include "data/btrieve.h"
#include "data/btrieve_win.h"
#include "entry/connector_win.h"
#include "entry/messages.h"
#include "entry/settings.h"

namespace kovo::btrv {
namespace {

using BtrCallFn = short(WINAPI*)(WORD, void*, void*, DWORD*, void*, BYTE, char);
using BtrCallIdFn = short(WINAPI*)(WORD, void*, void*, DWORD*, void*, BYTE, char, void*);
using InitFn = int(WINAPI*)(char*);
using StopFn = int(WINAPI*)();

struct Library {
  HMODULE handle = nullptr;
  InitFn init = nullptr;
  BtrCallFn call = nullptr;
  StopFn stop = nullptr;
  InitFn requester_init = nullptr;
  BtrCallIdFn call_id = nullptr;
  bool loaded = false;
};
Library g_library;

unsigned char g_record[kRecordBufferSize];
unsigned char g_key[kKeyBufferSize];
std::uint16_t g_record_length = 0;
FreeOneFileHandleFn g_free_one = nullptr;

template <typename Fn>
bool bind(const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(g_library.handle, name)));
  return out != nullptr;
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
  if (length == 0 || length == sizeof shorter || length > sizeof shorter) return {};
  return std::string(shorter, length);
}

int read(std::uint16_t operation, PositionBlock* block, void* key, int key_number) {
  g_record_length = kRecordBufferSize;
  const int status = BtrvCall(operation, block, g_record, &g_record_length, key,
                              static_cast<std::int8_t>(key_number));
  return status;
}

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
  return 0;
}

int UnloadBtrieve() {
  if (g_library.stop) g_library.stop();
  if (g_library.handle) FreeLibrary(g_library.handle);
  g_library = Library{};
  return 0;
}

bool btrieve_loaded() { return g_library.loaded; }

int BtrvCall(std::uint16_t operation, PositionBlock* block, void* data, std::uint16_t* length,
             void* key, std::int8_t key_number) {
  if (!g_library.call) return kStatusInactive;
  DWORD wide = length ? *length : 0;
  const short status = g_library.call(operation, block, data, &wide, key, 255,
                                      static_cast<char>(key_number));
  if (length) *length = static_cast<std::uint16_t>(wide);
  return status;
}

int BtrvCheckStatus(int status, const char* name) { return check_status(status, name); }

int BtrvOpenFile(const char* path, PositionBlock* block, const char* owner, int mode,
                 const void* spare_company) {
  if (!g_library.loaded) {
    if (const int status = LoadBtrieve(); status != 0) return BtrvCheckStatus(status, path);
  }
  bool retried = false;
  int status = 0;
  for (;;) {
    const std::size_t owner_length = owner ? std::min<std::size_t>(std::strlen(owner), kRecordBufferSize - 1) : 0;
    std::memcpy(g_record, owner ? owner : "", owner_length);
    g_record[owner_length] = '\0';
    std::uint16_t length = static_cast<std::uint16_t>(owner_length);
    std::string safe(path ? path : "");
    if (safe.size() > 260) safe.resize(260);
    safe = make_btrieve_path(safe, short_form_of);
    char key[kKeyBufferSize] = {};
    std::memcpy(key, safe.c_str(), std::min(safe.size(), sizeof key - 1));
    status = BtrvCall(0, block, g_record, &length, key, static_cast<std::int8_t>(mode));
    if ((status == 86 || status == 87) && !retried) {
      retried = true;
      if (g_free_one) g_free_one(spare_company);
      continue;
    }
    break;
  }
  return BtrvCheckStatus(status, nullptr);
}

int BtrvCloseFile(PositionBlock* block) {
  const int status = BtrvCall(1, block, nullptr, nullptr, nullptr, 0);
  if (status != 0) {
    BtrvCheckStatus(status, nullptr);
    report(kBtrieveError, "Closing File");
  }
  return status;
}

int BtrvInsert(PositionBlock* block, void* data, std::uint16_t* length, void* key, int key_number) {
  const int status = BtrvCall(2, block, data, length, key, static_cast<std::int8_t>(key_number));
  return BtrvCheckStatus(status, status ? static_cast<const char*>(key) : nullptr);
}

int BtrvUpdate(PositionBlock* block, void* data, void* key, int key_number) {
  std::uint16_t length = kRecordBufferSize;
  const int status = BtrvCall(3, block, data, &length, key, static_cast<std::int8_t>(key_number));
  return BtrvCheckStatus(status, status ? static_cast<const char*>(key) : nullptr);
}

int BtrvDelete(PositionBlock* block) {
  const int status = BtrvCall(4, block, nullptr, nullptr, nullptr, 0);
  if (status != 0) {
    BtrvCheckStatus(status, nullptr);
    report(kBtrieveError, "Deleting Record");
  }
  return status;
}

int BtrvGetEqual(PositionBlock* block, unsigned char** record, void* key, int key_number) {
  const int status = read(5, block, key, key_number);
  if (record) *record = g_record;
  return BtrvCheckStatus(status, status ? static_cast<const char*>(key) : nullptr);
}

int BtrvGetNext(PositionBlock* block, unsigned char** record, unsigned char** key, int key_number) {
  const int status = read(6, block, g_key, key_number);
  if (record) *record = g_record;
  if (key) *key = g_key;
  return BtrvCheckStatus(status, nullptr);
}

int BtrvGetGreaterOrEqual(PositionBlock* block, unsigned char** record, void* key, int key_number) {
  const int status = read(9, block, key, key_number);
  if (record) *record = g_record;
  return BtrvCheckStatus(status, nullptr);
}

int BtrvGetFirst(PositionBlock* block, unsigned char** record, unsigned char** key, int key_number) {
  const int status = read(12, block, g_key, key_number);
  if (record) *record = g_record;
  if (key) *key = g_key;
  return BtrvCheckStatus(status, nullptr);
}

int BtrvStop() { return BtrvCall(25, nullptr, nullptr, nullptr, nullptr, 0); }

std::uint16_t last_record_length() { return g_record_length; }
void set_free_one_file_handle(FreeOneFileHandleFn fn) { g_free_one = fn; }

void show_btrieve_error_box(void* owner_window) {
  if (!owner_window || settings().no_show) return;
  const std::string text = last_status_text();
  MessageBoxA(static_cast<HWND>(owner_window), text.c_str(), "Kovo", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace kovo::btrv
