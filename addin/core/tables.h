// The add-in's built-in tables: the 41 procedures it registers with the
// spreadsheet (nine counted texts each), its menu, and the request item of
// each worksheet function.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::addin {

inline constexpr int kRegistrationRows = 41;
inline constexpr int kRegistrationColumns = 9;
inline constexpr int kMenuRows = 19;
inline constexpr int kMenuColumns = 5;

enum RegistrationColumn {
  kProcedure = 0,
  kTypeText,
  kFunctionText,
  kArgumentText,
  kMacroType,
  kCategory,
  kShortcut,
  kHelpTopic,
  kFunctionHelp
};

// A counted string: byte 0 holds the length, the characters follow, and a
// zero ends them as well.
struct CountedText {
  std::array<char, 258> bytes{};
  void set(std::string_view text);
  // Sets the length byte from the characters up to the terminating zero.
  void recount();
  const char* counted() const { return bytes.data(); }
  std::string_view text() const {
    return {bytes.data() + 1, static_cast<std::size_t>(static_cast<unsigned char>(bytes[0]))};
  }
};

// The registration table, built in memory from the add-in's own texts.
class RegistrationTable {
 public:
  RegistrationTable();
  // Recomputes every length byte. With volatile_functions off the type
  // texts end before their "!" (the functions become non-volatile).
  void recompute_lengths(bool volatile_functions = true);
  const CountedText& cell(int row, int column) const { return cells_[row][column]; }
  std::string_view text(int row, int column) const { return cells_[row][column].text(); }
  bool is_command(int row) const { return text(row, kMacroType) == "2"; }
  // The row whose procedure is the name, compared without regard to case.
  std::optional<int> find_procedure(std::string_view name) const;

 private:
  std::array<std::array<CountedText, kRegistrationColumns>, kRegistrationRows> cells_;
};

// The function texts (the names the spreadsheet shows) of the worksheet
// functions of the registration table, in table order.
std::vector<std::string_view> worksheet_function_names();

// The menu table: menu text, command, shortcut, status-bar text, help.
struct MenuRow {
  const char* text;
  const char* command;
  const char* shortcut;
  const char* status;
  const char* help;
};
const std::array<MenuRow, kMenuRows>& menu_table();

// A worksheet function's request: the item sent, how many of its arguments
// go into the item, the position (from 1) of its Topic argument (0: always
// the generic topic), and whether its first argument is a value written back.
struct FunctionItem {
  const char* procedure;
  const char* item;
  int fields;
  int topic;
  bool value_first;
};
const FunctionItem* function_item(std::string_view procedure);

}  // namespace kovo::addin
