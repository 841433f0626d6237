// Values read through the spreadsheet's automation interface, and what the
// add-in needs to ask for them: the cell value as the automation layer
// answers it (a number, a text, a logical, an error, nothing, or an array of
// these), turned into the type a coercion asks for; the workbook, sheet and
// address a reference names; the macro that tells whether the running
// application is the one that loaded the add-in.
//
// Portable: the Windows side (automation_win.cpp) turns a VARIANT into an
// AutoValue and an AutoValue into the C API's value.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::addin::automation {

// The C API's type bits, as coercion takes them (xltypeNum, xltypeStr, ...).
enum TypeBit : int {
  kTypeNumber = 0x0001,
  kTypeText = 0x0002,
  kTypeBoolean = 0x0004,
  kTypeError = 0x0010,
  kTypeArray = 0x0040,
  kTypeNil = 0x0100,
  kTypeInteger = 0x0800,
};

struct AutoValue {
  enum class Kind { Empty, Number, Integer, Text, Boolean, Error, Array, Unsupported };
  Kind kind = Kind::Empty;
  double number = 0;  // Number and Integer
  std::string text;
  bool boolean = false;
  int error = 0;  // the C API's error code: 0 #NULL!, 7 #DIV/0!, 15 #VALUE!, ...
  int rows = 0, columns = 0;
  std::vector<AutoValue> items;  // Array: row by row

  static AutoValue empty() { return {}; }
  static AutoValue of_number(double n);
  static AutoValue of_integer(int n);
  static AutoValue of_text(std::string t);
  static AutoValue of_boolean(bool b);
  static AutoValue of_error(int code);
  static AutoValue unsupported();
  // rows × columns items, row by row; a count that does not match the shape
  // makes an unsupported value.
  static AutoValue array(int rows, int columns, std::vector<AutoValue> items);
};

// An error value as automation carries it (the HRESULT-shaped code of the
// spreadsheet's error values, 0x800A07D0 + n for #NULL! and its kin) to the
// C API's error code; nothing for any other code.
std::optional<int> error_from_automation(long code);

// The value in the type a coercion asks for (0: as it is); nothing when it
// cannot be had in any of the types asked for. An array asked for as a
// single value gives its first item; a single value asked for as an array
// gives an array of one.
std::optional<AutoValue> coerce_to(const AutoValue& value, int type);

// A number as the general format writes it: 1000, 12.5, 1E+20.
std::string general_text(double number);

// "[Book1.xls]Sheet1" into its workbook and sheet; false when the text is
// not of that shape.
bool split_sheet_name(std::string_view full, std::string& book, std::string& sheet);

// An area (0-based, inclusive) in absolute A1 notation: "$B$3", "$A$1:$C$4".
std::string a1_address(int first_row, int first_column, int last_row, int last_column);

// The macro that makes the running application call the add-in's
// CheckInstance: CALL("path","CheckInstance","j"), quotes in the path doubled.
std::string check_instance_macro(std::string_view addin_path);

}  // namespace kovo::addin::automation
