// The worksheet functions' request texts, without the spreadsheet: values as
// the host hands them over (already taken out of its value structures),
// their conversion to the fields of a request item, the answer's reading
// (first line, number test), argument packing for command lists and BSPEC,
// the bracketed command strings and the DDE error names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::addin {

// One value as the spreadsheet gives it.
struct CellValue {
  enum class Kind { Number, Text, Logical, Integer, Error, Flow, Nil, Missing, Other };
  Kind kind = Kind::Missing;
  double number = 0;
  std::string text;
  bool logical = false;
  int integer = 0;

  static CellValue num(double n) { return {Kind::Number, n, {}, false, 0}; }
  static CellValue str(std::string t) { return {Kind::Text, 0, std::move(t), false, 0}; }
  static CellValue boolean(bool b) { return {Kind::Logical, 0, {}, b, 0}; }
  static CellValue whole(int i) { return {Kind::Integer, 0, {}, false, i}; }
  static CellValue of(Kind k) { return {k, 0, {}, false, 0}; }
};

// One argument of a worksheet function or command: a value, or the values
// of the cells of a reference (one list per area, row by row), or a
// reference one of whose cells is not calculated yet.
struct Argument {
  enum class Kind { Value, Cells, Uncalculated };
  Kind kind = Kind::Value;
  CellValue value;
  std::vector<std::vector<CellValue>> areas;

  static Argument of(CellValue v) { return {Kind::Value, std::move(v), {}}; }
  static Argument cells(std::vector<std::vector<CellValue>> a) { return {Kind::Cells, {}, std::move(a)}; }
  static Argument uncalculated() { return {Kind::Uncalculated, {}, {}}; }
};

// Longest request text and longest result text.
inline constexpr std::size_t kMaxRequest = 255;
inline constexpr std::size_t kMaxResult = 255;

// The request item built from the item name and the arguments in order
// (a missing trailing argument adds an empty field), with every ";" at the
// end removed; or the refusal text that the cell shows instead. When
// value_first is set the first argument, a number, is written with 20
// significant digits (the value that WGL and WDESC write back).
struct BuiltRequest {
  bool ok = false;
  bool uncalculated = false;
  std::string text;  // the item, or the refusal
};
BuiltRequest build_request(std::string_view item, const std::vector<Argument>& arguments, bool value_first = false);

// The answer's first line: up to the first zero, carriage return or line feed.
std::string first_line(std::string_view answer);

// The number test: at least one digit and only "Ee0123456789.+- ".
bool is_number_answer(std::string_view text);
// The answer read as a decimal number (leading blanks skipped, reading stops
// where the number cannot continue).
double number_of(std::string_view text);

// A worksheet function's result: a number or a text of at most 255 characters.
struct Result {
  bool is_number = false;
  double number = 0;
  std::string text;
};
Result result_of_answer(std::string_view answer);

// Argument packing for command lists and BSPEC (at most 255 characters);
// nothing when a referenced cell is not calculated yet.
std::optional<std::string> pack_argument(const Argument& argument);

// BSPEC computed locally; nothing when an argument is not calculated yet.
std::optional<std::string> bspec(const Argument& spec, const std::vector<Argument>& lists);

// "[", the word, "(" packed ")" when the packed text is not empty, "]".
std::string command_string(std::string_view word, std::string_view packed = {});

// The continuation of a list command: upper-cased, MOREDATA=0 turned to 1.
std::string list_continuation(std::string_view command);

// The name of a DDEML error code, padded with blanks to 26 characters;
// "DDEMLL Uncatalogued Error" for a code outside the table.
std::string dde_error_name(unsigned code);
// The error a failed DDEML call leaves: its name, or nothing when DDEML
// reports none (a request without data then shows message 37).
std::optional<std::string> dde_error_text(unsigned code);

// The first character of the locale's list separator, or the fallback.
char list_separator(std::string_view locale_value, std::string_view fallback);

}  // namespace kovo::addin
