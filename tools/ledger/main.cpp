// kovo-ledger: builds a CYMA system directory from a JSON description, and
// dumps any record manager file. Every file is reached through the record
// manager library's BTRCALL only.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/layouts.h"
#include "recman/btrcall.h"
#include "recman/file_spec.h"
#include "recman/le.h"
#include "tools/ledger/builder/ledger_builder.h"

namespace {

using LibraryCall = short(WINAPI*)(WORD, void*, void*, DWORD*, void*, BYTE, char);
LibraryCall g_call = nullptr;

short call(std::uint16_t op, void* block, void* data, std::uint32_t* length, void* key, std::uint8_t key_length,
           std::int8_t key_number) {
  DWORD wide = length ? *length : 0;
  const short status = g_call(op, block, data, &wide, key, key_length, static_cast<char>(key_number));
  if (length) *length = wide;
  return status;
}

bool load_record_manager() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n < MAX_PATH ? n : 0);
  folder = folder.substr(0, folder.find_last_of('\\') + 1);
  HMODULE library = LoadLibraryA((folder + "WBTRV32.DLL").c_str());
  if (!library) library = LoadLibraryA("WBTRV32.DLL");
  if (!library) return false;
  g_call = reinterpret_cast<LibraryCall>(reinterpret_cast<void*>(GetProcAddress(library, "BTRCALL")));
  return g_call != nullptr;
}

std::string short_folder(const std::string& folder) {
  char shorter[MAX_PATH];
  const DWORD n = GetShortPathNameA(folder.c_str(), shorter, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(shorter, n) : folder;
}

// A link of any kind: a symbolic link, a junction or another reparse point.
bool is_link(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Whether another program holds the file open: it cannot be opened without
// sharing it then. (A rename would not tell: under Wine a file held open can
// be moved all the same, and its reader goes on reading it where it went.)
bool held_open(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
  CloseHandle(file);
  return false;
}

int usage() {
  std::fprintf(stderr,
               "usage: kovo-ledger build [--replace] DESCRIPTION.json SYSTEM-DIR\n"
               "       kovo-ledger dump FILE\n");
  return 2;
}

int build(const char* description_path, const char* system_dir, bool replace) {
  std::ifstream in(description_path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "kovo-ledger: cannot read %s\n", description_path);
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  kovo::ledger::BuildOptions options;
  options.replace = replace;
  options.is_link = &is_link;
  options.in_use = &held_open;
  const auto result = kovo::ledger::build_ledger(text.str(), system_dir, &call, &short_folder, options);
  if (!result.ok) {
    std::fprintf(stderr, "kovo-ledger: %s\n", result.error.c_str());
    return 1;
  }
  std::printf("built %s: %d files, %ld records\n", system_dir, result.files, result.records);
  if (!result.note.empty()) std::printf("%s\n", result.note.c_str());
  return 0;
}

const char* type_name(recman::KeyType t) {
  switch (t) {
    case recman::KeyType::kString: return "string";
    case recman::KeyType::kInteger: return "integer";
    case recman::KeyType::kDate: return "date";
    case recman::KeyType::kZstring: return "zstring";
    case recman::KeyType::kLstring: return "lstring";
    case recman::KeyType::kUnsignedBinary: return "unsigned binary";
    case recman::KeyType::kAutoincrement: return "autoincrement";
    default: return "other";
  }
}

int dump(const char* file) {
  unsigned char block[recman::kPositionBlockSize] = {};
  char key[256] = {};
  std::snprintf(key, sizeof key, "%s", file);
  std::uint32_t length = 0;
  if (const short st = call(recman::kOpen, block, nullptr, &length, key, 255, -2); st != 0) {
    std::fprintf(stderr, "kovo-ledger: cannot open %s (record manager status %d)\n", file, st);
    return 1;
  }
  std::vector<std::uint8_t> stat(4096);
  length = static_cast<std::uint32_t>(stat.size());
  char stat_key[256] = {};
  if (const short st = call(recman::kStat, block, stat.data(), &length, stat_key, 255, 0); st != 0) {
    std::fprintf(stderr, "kovo-ledger: stat failed (status %d)\n", st);
    return 1;
  }
  stat.resize(length);
  const auto parsed = recman::parse_file_spec(stat);
  const std::uint32_t count = stat.size() >= 10 ? recman::get_le32(stat, 6) : 0;
  std::printf("file %s\nrecord length %u, page size %u, %zu keys, %u records\n", file, parsed.spec.record_length,
              parsed.spec.page_size, parsed.spec.keys.size(), count);
  for (std::size_t k = 0; k < parsed.spec.keys.size(); ++k) {
    const auto& definition = parsed.spec.keys[k];
    std::printf("key %zu%s%s:", k, definition.duplicates() ? " duplicates" : "", definition.modifiable() ? " modifiable" : "");
    for (const auto& s : definition.segments)
      std::printf(" [position %u length %u %s%s]", s.position, s.length, type_name(s.type),
                  s.case_insensitive() ? " no case" : "");
    std::printf("\n");
  }
  std::vector<std::uint8_t> record(8192);
  std::uint16_t op = recman::kStepFirst;
  for (long n = 1;; ++n, op = recman::kStepNext) {
    length = static_cast<std::uint32_t>(record.size());
    if (call(op, block, record.data(), &length, key, 255, 0) != 0) break;
    std::printf("%ld: %s\n", n, kovo::layout::describe_record(file, {record.data(), length}).c_str());
  }
  call(recman::kClose, block, nullptr, &(length = 0), nullptr, 0, 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string command = argv[1];
  const bool replace = command == "build" && argc == 5 && std::string(argv[2]) == "--replace";
  if ((command == "build" && argc != (replace ? 5 : 4)) || (command == "dump" && argc != 3)) return usage();
  if (command != "build" && command != "dump") return usage();
  if (!load_record_manager()) {
    std::fprintf(stderr, "kovo-ledger: the record manager library WBTRV32.DLL could not be loaded\n");
    return 1;
  }
  const int status = command == "build" ? build(argv[replace ? 3 : 2], argv[replace ? 4 : 3], replace) : dump(argv[2]);
  std::uint32_t none = 0;
  call(recman::kStop, nullptr, nullptr, &none, nullptr, 0, 0);
  return status;
}
