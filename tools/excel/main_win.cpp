// kovo-excel: makes Excel open the add-in Kovo.XLL at start for the current
// user, or stops it, in every Excel version found in the registry. The setup
// program runs it; IT staff can run it for each user of a machine.
//   kovo-excel attach [XLL]    the next free OPEN value of each version's options
//   kovo-excel detach [XLL]    every OPEN value naming the add-in removed, the rest closed up
//   kovo-excel list            the versions found and the add-ins each opens
// XLL defaults to Kovo.XLL beside this program. Exit status: 0 done, 1 a
// registry or file failure, 2 a command line that does not parse, 3 no Excel
// found (attach).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tools/excel/registration/open_values.h"

namespace {

using kovo::excel::NamedValue;
using kovo::excel::ValueChange;

constexpr char kOffice[] = "Software\\Microsoft\\Office";
constexpr int kNoExcel = 3;

// An open registry key, closed when it goes.
class Key {
 public:
  Key() = default;
  Key(HKEY root, const std::string& path, REGSAM access, bool create = false) {
    const LONG status = create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                                 nullptr, &key_, nullptr)
                               : RegOpenKeyExA(root, path.c_str(), 0, access, &key_);
    if (status != ERROR_SUCCESS) key_ = nullptr;
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  explicit operator bool() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

  std::vector<std::string> subkeys() const {
    std::vector<std::string> names;
    for (DWORD i = 0; key_; ++i) {
      char name[256];
      DWORD size = sizeof name;
      if (RegEnumKeyExA(key_, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      names.emplace_back(name, size);
    }
    return names;
  }
  // The text values (REG_SZ and REG_EXPAND_SZ), as stored.
  std::vector<NamedValue> text_values() const {
    std::vector<NamedValue> values;
    for (DWORD i = 0; key_; ++i) {
      char name[16384];
      DWORD name_size = sizeof name, type = 0, data_size = 0;
      LONG status = RegEnumValueA(key_, i, name, &name_size, nullptr, &type, nullptr, &data_size);
      if (status != ERROR_SUCCESS) break;
      if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
      std::string data(data_size, '\0');
      name_size = sizeof name;
      status = RegEnumValueA(key_, i, name, &name_size, nullptr, &type,
                             reinterpret_cast<BYTE*>(data.data()), &data_size);
      if (status != ERROR_SUCCESS) continue;
      data.resize(std::min<std::size_t>(data_size, data.size()));
      while (!data.empty() && data.back() == '\0') data.pop_back();
      values.push_back({std::string(name, name_size), data});
    }
    return values;
  }
  bool apply(const ValueChange& change) const {
    if (change.kind == ValueChange::Kind::kDelete)
      return RegDeleteValueA(key_, change.name.c_str()) == ERROR_SUCCESS;
    return RegSetValueExA(key_, change.name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(change.data.c_str()),
                          static_cast<DWORD>(change.data.size() + 1)) == ERROR_SUCCESS;
  }

 private:
  HKEY key_ = nullptr;
};

std::string excel_key(const std::string& version) { return std::string(kOffice) + "\\" + version + "\\Excel"; }

// Excel versions this user has run (their Excel key exists) and versions
// installed on the machine (an InstallRoot under either registry view).
std::vector<std::string> excel_versions() {
  std::set<std::string> found;
  for (const auto& version : Key(HKEY_CURRENT_USER, kOffice, KEY_READ).subkeys())
    if (kovo::excel::is_office_version(version) && Key(HKEY_CURRENT_USER, excel_key(version), KEY_READ))
      found.insert(version);
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
    for (const auto& version : Key(HKEY_LOCAL_MACHINE, kOffice, KEY_READ | view).subkeys())
      if (kovo::excel::is_office_version(version) &&
          Key(HKEY_LOCAL_MACHINE, excel_key(version) + "\\InstallRoot", KEY_READ | view))
        found.insert(version);
  return {found.begin(), found.end()};
}

std::string full_path(const std::string& path) {
  char full[MAX_PATH];
  const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH ? std::string(full, n) : path;
}

std::string add_in_beside_program() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string program(path, n < MAX_PATH ? n : 0);
  return program.substr(0, program.find_last_of('\\') + 1) + "Kovo.XLL";
}

void print_change(const std::string& version, const ValueChange& change) {
  if (change.kind == ValueChange::Kind::kSet)
    std::printf("Excel %s: %s = %s\n", version.c_str(), change.name.c_str(), change.data.c_str());
  else
    std::printf("Excel %s: %s removed\n", version.c_str(), change.name.c_str());
}

bool apply_all(const Key& key, const std::string& version, const std::vector<ValueChange>& changes) {
  bool ok = true;
  for (const auto& change : changes) {
    if (key.apply(change)) {
      print_change(version, change);
    } else {
      std::fprintf(stderr, "kovo-excel: Excel %s: %s could not be changed\n", version.c_str(), change.name.c_str());
      ok = false;
    }
  }
  return ok;
}

int attach(const std::string& add_in) {
  if (GetFileAttributesA(add_in.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "kovo-excel: %s does not exist\n", add_in.c_str());
    return 1;
  }
  const auto versions = excel_versions();
  if (versions.empty()) {
    std::printf("No Excel was found for this user.\n");
    return kNoExcel;
  }
  bool ok = true;
  for (const auto& version : versions) {
    const Key options(HKEY_CURRENT_USER, excel_key(version) + "\\Options", KEY_READ | KEY_WRITE, true);
    if (!options) {
      std::fprintf(stderr, "kovo-excel: Excel %s: its options cannot be written\n", version.c_str());
      ok = false;
      continue;
    }
    const auto changes = kovo::excel::plan_attach(options.text_values(), add_in);
    if (changes.empty()) std::printf("Excel %s: already opens %s\n", version.c_str(), add_in.c_str());
    ok = apply_all(options, version, changes) && ok;
  }
  return ok ? 0 : 1;
}

int detach(const std::string& add_in) {
  bool ok = true;
  for (const auto& version : Key(HKEY_CURRENT_USER, kOffice, KEY_READ).subkeys()) {
    if (!kovo::excel::is_office_version(version)) continue;
    if (const Key options(HKEY_CURRENT_USER, excel_key(version) + "\\Options", KEY_READ | KEY_WRITE); options)
      ok = apply_all(options, version, kovo::excel::plan_detach(options.text_values(), add_in)) && ok;
    // The add-in manager lists add-ins the user unticked under their paths.
    if (const Key manager(HKEY_CURRENT_USER, excel_key(version) + "\\Add-in Manager", KEY_READ | KEY_WRITE);
        manager) {
      for (const auto& value : manager.text_values())
        if (kovo::excel::same_file(value.name, add_in))
          ok = apply_all(manager, version, {{ValueChange::Kind::kDelete, value.name, {}}}) && ok;
    }
  }
  return ok ? 0 : 1;
}

int list() {
  const auto versions = excel_versions();
  if (versions.empty()) std::printf("No Excel was found for this user.\n");
  for (const auto& version : versions) {
    std::printf("Excel %s\n", version.c_str());
    const Key options(HKEY_CURRENT_USER, excel_key(version) + "\\Options", KEY_READ);
    for (const auto& value : options.text_values())
      if (kovo::excel::open_value_index(value.name)) std::printf("  %s = %s\n", value.name.c_str(), value.data.c_str());
  }
  return 0;
}

int usage() {
  std::fprintf(stderr,
               "usage: kovo-excel attach [XLL]\n"
               "       kovo-excel detach [XLL]\n"
               "       kovo-excel list\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return usage();
  const std::string command = argv[1];
  if (command == "list") return argc == 2 ? list() : usage();
  const std::string add_in = argc == 3 ? full_path(argv[2]) : add_in_beside_program();
  if (command == "attach") return attach(add_in);
  if (command == "detach") return detach(add_in);
  return usage();
}
