// Which add-ins Excel opens at start: for each Excel version, the values
// OPEN, OPEN1, OPEN2, ... under the user's Excel options key, each holding
// the add-in's path (quoted, optionally after switches such as /R). Excel
// reads them in order and stops at the first name missing, so a removal must
// close the gap it leaves. This is the portable part: the registry itself is
// read and written by the program around it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::excel {

// One value of an options key as read from the registry.
struct NamedValue {
  std::string name;
  std::string data;
};

// One change to an options key: set a value, or delete it.
struct ValueChange {
  enum class Kind { kSet, kDelete };
  Kind kind;
  std::string name;
  std::string data;  // for kSet
  bool operator==(const ValueChange&) const = default;
};

// "OPEN" for 0, "OPEN1" for 1, ...
std::string open_value_name(int index);

// The index of an OPEN value's name (any case: "open2" is 2); nothing for
// other names, "OPEN0", "OPEN01" or numbers out of range.
std::optional<int> open_value_index(std::string_view name);

// True for an Office version's key name, such as "16.0" or "12.0".
bool is_office_version(std::string_view key_name);

// The add-in path an OPEN value names: leading switches (/R, /A, ...) and
// the quotes around the path removed.
std::string opened_path(std::string_view data);

// True when two Windows paths name the same file: without regard to case,
// "/" taken as "\", and a doubled "\" taken as one.
bool same_file(std::string_view a, std::string_view b);

// The path as Excel writes it into an OPEN value: in double quotes.
std::string quoted(std::string_view path);

// The changes that make Excel open the add-in: none when an OPEN value
// already names it, else the first free OPEN name set to the quoted path.
std::vector<ValueChange> plan_attach(const std::vector<NamedValue>& values, std::string_view add_in);

// The changes that stop Excel opening the add-in: every OPEN value naming it
// goes, and the OPEN values after it move down into the freed names, in
// their order, so that no other add-in is lost behind a gap. Values before
// the first removed one keep their names.
std::vector<ValueChange> plan_detach(const std::vector<NamedValue>& values, std::string_view add_in);

}  // namespace kovo::excel
