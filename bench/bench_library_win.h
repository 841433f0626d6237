// The libraries an in-process benchmark loads from its own folder: the
// record manager, called as the ledger builder calls it, and the connector.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace kovo::bench {

using RecordManagerFn = short(WINAPI*)(WORD, void*, void*, DWORD*, void*, BYTE, char);

inline RecordManagerFn& record_manager_entry() {
  static RecordManagerFn entry = nullptr;
  return entry;
}

// Loads WBTRV32.DLL from the folder: whether its BTRCALL was found.
inline bool load_record_manager(const std::string& folder) {
  HMODULE library = LoadLibraryA((folder + "WBTRV32.DLL").c_str());
  if (!library) return false;
  record_manager_entry() = reinterpret_cast<RecordManagerFn>(reinterpret_cast<void*>(GetProcAddress(library, "BTRCALL")));
  return record_manager_entry() != nullptr;
}

// BTRCALL with the ledger builder's argument types.
inline short record_manager_call(std::uint16_t op, void* block, void* data, std::uint32_t* length, void* key,
                                 std::uint8_t key_length, std::int8_t key_number) {
  DWORD wide = length ? *length : 0;
  const short status = record_manager_entry()(op, block, data, &wide, key, key_length, static_cast<char>(key_number));
  if (length) *length = wide;
  return status;
}

// The short form of a folder's path, which the record manager's paths fit.
inline std::string short_folder(const std::string& folder) {
  char shorter[MAX_PATH];
  const DWORD n = GetShortPathNameA(folder.c_str(), shorter, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(shorter, n) : folder;
}

// The connector's entry points, bound by name.
struct ConnectorLibrary {
  using InterfaceFn = int(WINAPI*)(int, const char*, char*);
  using VoidFn = int(WINAPI*)();
  VoidFn init = nullptr;
  InterfaceFn request = nullptr;
  VoidFn cleanup = nullptr;

  // Loads Ledra5.dll from the folder: whether every entry point was found.
  bool load(const std::string& folder) {
    HMODULE library = LoadLibraryA((folder + "Ledra5.dll").c_str());
    if (!library) return false;
    init = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(library, "KovoDoDLLInit")));
    request = reinterpret_cast<InterfaceFn>(reinterpret_cast<void*>(GetProcAddress(library, "KovoDLLInterface")));
    cleanup = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(library, "DLLCleanupFunc")));
    return init && request && cleanup;
  }
};

}  // namespace kovo::bench
