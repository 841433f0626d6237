// The add-in's boundary to the spreadsheet: the only place that reads or
// builds the C API's value structures (XLOPER). Everything else works with
// Oper, a value that owns its storage, and with the portable CellValue and
// Argument of request_text.h.
//
// Results of calls into the spreadsheet are copied into an Oper and the
// spreadsheet's own storage is given back at once with xlFree. Values the
// add-in returns from its worksheet functions live in process-wide storage
// that stays valid until the next return (the spreadsheet calls the add-in
// on one thread and copies a result before calling again).
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "addin/core/request_text.h"
#include "sdk/excel/xlcall.h"

namespace kovo::addin::xl {

// One area of cells, 0-based and inclusive.
struct Area {
  int first_row = 0, last_row = 0, first_column = 0, last_column = 0;
};

class Oper {
 public:
  Oper() { x_.xltype = xltypeMissing; }
  Oper(const Oper& other);
  Oper& operator=(const Oper& other);
  Oper(Oper&& other) noexcept;
  Oper& operator=(Oper&& other) noexcept;
  ~Oper() = default;

  static Oper number(double n);
  static Oper text(std::string_view t);       // cut at 255 characters
  static Oper counted(const char* counted);   // a counted string as it stands
  static Oper boolean(bool b);
  static Oper integer(int i);
  static Oper error(int code);
  static Oper missing() { return Oper(); }
  static Oper nil();
  // A reference on the current sheet.
  static Oper reference(const Area& area);
  static Oper cell(int row, int column) { return reference({row, row, column, column}); }
  // A reference of several areas on a sheet (0: the current sheet).
  static Oper references(const std::vector<Area>& areas, IDSHEET sheet = 0);
  // A rows × columns array of values (numbers, texts, logicals, errors,
  // nil), row by row.
  static Oper array(int rows, int columns, const std::vector<Oper>& items);
  // A rows × columns array of texts, row by row.
  static Oper text_array(int rows, int columns, const std::vector<std::string>& texts);
  // A deep copy of a value the spreadsheet handed over (not freed here).
  static Oper copy_of(const XLOPER& x);

  int type() const { return x_.xltype & 0x0FFF; }
  bool is_number() const { return type() == xltypeNum; }
  bool is_text() const { return type() == xltypeStr; }
  bool is_bool() const { return type() == xltypeBool; }
  bool is_error() const { return type() == xltypeErr; }
  bool is_missing() const { return type() == xltypeMissing; }
  bool is_reference() const { return type() == xltypeSRef || type() == xltypeRef; }
  bool is_array() const { return type() == xltypeMulti; }
  std::string text() const;                   // empty unless a text
  double number() const;                      // numbers, integers, logicals
  bool boolean() const;
  int error_code() const { return is_error() ? x_.val.err : -1; }
  // The areas of a reference, and its sheet id (0 for the current sheet).
  std::vector<Area> areas() const;
  IDSHEET sheet() const { return type() == xltypeRef ? x_.val.mref.idSheet : 0; }
  // Elements of an array, row by row.
  int rows() const { return is_array() ? x_.val.array.rows : 0; }
  int columns() const { return is_array() ? x_.val.array.columns : 0; }
  Oper element(int row, int column) const;

  // The structure handed to the C API; valid while this Oper lives unchanged.
  XLOPER* get() { return &x_; }
  const XLOPER* get() const { return &x_; }

 private:
  void relink();

  XLOPER x_{};
  std::string str_;               // counted text
  std::vector<XLOPER> items_;     // array elements
  std::vector<std::string> item_strs_;
  std::vector<unsigned char> mref_;  // XLMREF of a multi-area reference
};

// What a call answered: the C API's return code and the value.
struct Answer {
  int code = xlretFailed;
  Oper value;
  bool ok() const { return code == xlretSuccess; }
  bool uncalculated() const { return code == xlretUncalced; }
};

// Calls the spreadsheet (Excel4v) with the arguments in order.
Answer call(int function, std::initializer_list<Oper> arguments = {});
Answer call(int function, const std::vector<Oper>& arguments);

// Coercion of a value or reference: to a basic type (xltypeStr, xltypeNum,
// ...) or, with type 0, to the value of the cell(s) as they are. A
// reference the spreadsheet fails to read directly is read through its
// automation interface instead (automation_win.h).
Answer coerce(const Oper& value, int type = 0);

// A worksheet function's argument as the request builder takes it.
CellValue cell_value(const Oper& value);
Argument argument(const XLOPER* x);
// The argument read as the Topic: its text (up to 32 characters), or
// nothing when it is not calculated yet.
bool topic_text(const XLOPER* x, std::string& topic);

// Results of worksheet functions, in process-wide storage.
LPXLOPER return_number(double n);
LPXLOPER return_text(std::string_view text);
LPXLOPER return_error(int code);

// The add-in's own file name (xlGetName), the spreadsheet's main window.
std::string addin_file_name();
HWND main_window();
// A box over the spreadsheet's window, or over one of the add-in's own.
int message_box(const std::string& text, const std::string& caption, UINT style);
int message_box(HWND owner, const std::string& text, const std::string& caption, UINT style);

// An entry written into a cell of the current sheet (FORMULA): a formula or
// a constant as typed. Texts past the 255 characters of the classic call
// go through the Excel 12 entry point when the spreadsheet offers one;
// false when the spreadsheet refused the entry or could not take its length.
bool enter(const std::string& entry, int row, int column);

// The entry point handed to SetExcel12EntryPt, or null.
PEXCEL12PROC excel12_entry();
void set_excel12_entry(void* entry);

}  // namespace kovo::addin::xl
