// Registered procedures of add-ins: the REGISTER type text read into
// argument and result types, and the table of registrations by id and name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kovo::sheet {

// One letter (or letter and "%") of a type text.
enum class ArgType : std::uint8_t {
  Bool,       // A  short (0 or 1)
  Double,     // B  double
  CString,    // C  char*, zero-terminated
  PString,    // D  byte-counted char*
  DoublePtr,  // E  double*
  UShort,     // H  unsigned short
  Short,      // I  short
  Long,       // J  32-bit int
  BoolPtr,    // L  short* (0 or 1)
  ShortPtr,   // M  short*
  LongPtr,    // N  32-bit int*
  Oper,       // P  XLOPER, references turned into values
  Oper12,     // Q  XLOPER12, references turned into values
  Xloper,     // R  XLOPER, references passed as references
  Xloper12,   // U  XLOPER12, references passed as references
  WCString,   // C% wchar_t*, zero-terminated
  WPString,   // D% word-counted wchar_t*
};

struct TypeText {
  ArgType result = ArgType::Xloper;
  std::vector<ArgType> args;
  bool is_volatile = false;       // !
  bool macro_equivalent = false;  // #
  bool thread_safe = false;       // $
  bool cluster_safe = false;      // &
};

// Reads a type text; the message names what is not offered.
std::optional<TypeText> parse_type_text(std::string_view text, std::string& error);
// True for the pointer-sized kinds (everything but double, short and int).
bool passed_as_pointer(ArgType t);
std::string_view type_letters(ArgType t);

constexpr std::size_t kMaxRegisteredArgs = 30;

struct Registration {
  double id = 0;
  std::string module;     // full path of the add-in file
  std::string procedure;  // exported name
  std::string type_text;
  TypeText type;
  std::string function_text;  // the name used in formulas and for commands
  std::string argument_text;
  int macro_type = 1;  // 0 hidden, 1 function, 2 command
  std::string category, shortcut, help_topic, function_help;
  std::vector<std::string> argument_help;
  bool name_defined = true;  // false once SET.NAME removed the name
  void* address = nullptr;   // the procedure, found by the add-in layer
};

class Registry {
 public:
  // Adds or, for the same module and procedure, replaces (keeping the id).
  Registration& add(Registration r);
  bool remove(double id);
  // Removes every registration of a module; the count removed.
  int remove_module(std::string_view module);
  Registration* find_id(double id);
  // A callable function or command by its name (case-insensitive).
  Registration* find_name(std::string_view name, bool command);
  Registration* find_procedure(std::string_view module, std::string_view procedure);
  // SET.NAME without a value: the functions of that name are no longer
  // callable by name. False when none had it.
  bool hide_name(std::string_view name);
  const std::vector<Registration>& all() const { return items_; }
  std::uint64_t version() const { return version_; }
  void touch() { ++version_; }

 private:
  std::vector<Registration> items_;
  double next_id_ = 1;
  std::uint64_t version_ = 1;
  // Callable names (upper case) to their place, rebuilt when the version changes.
  std::uint64_t names_version_ = 0;
  std::unordered_map<std::string, std::size_t> functions_, commands_;
};

}  // namespace kovo::sheet
