// What the host's automation object needs besides COM itself: the macro
// texts ExecuteExcel4Macro runs, and the spreadsheet's error values as
// automation carries them. Portable; the object is automation_win.*.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sheethost/value.h"

namespace kovo::sheet {

// CALL("module","procedure","type text"): an exported procedure of an open
// add-in called by name, without registering it.
struct CallMacro {
  std::string module;
  std::string procedure;
  std::string type_text;
};

// Reads a CALL macro (blanks around the parts and around the whole
// allowed; quotes inside a text doubled); nothing for any other text.
std::optional<CallMacro> parse_call_macro(std::string_view text);

// An error value as automation carries it: 0x800A07D0 + n (n the C API's
// error number: #NULL! 0, #DIV/0! 7, #VALUE! 15, ...).
long automation_error_code(ErrorCode error);

}  // namespace kovo::sheet
