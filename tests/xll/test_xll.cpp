// The tests' own add-in: registers worksheet functions of several type texts
// (XLOPER and XLOPER12, numbers, texts, volatile, macro-sheet equivalent),
// command macros and a menu, and uses the C API as an add-in written for the
// spreadsheet does. Built against the import library of XLCALL32.DLL.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "sdk/excel/xlcall.h"

namespace {

PEXCEL12PROC g_excel12 = nullptr;
int g_frees = 0;
int g_volatile_calls = 0;
int g_still_calls = 0;

// ------------------------------------------------------------ value helpers

struct Str {
  char bytes[257];
  explicit Str(const char* text) {
    const std::size_t n = std::min<std::size_t>(std::strlen(text), 255);
    bytes[0] = static_cast<char>(n);
    std::memcpy(bytes + 1, text, n);
    bytes[n + 1] = 0;
  }
};

XLOPER text(Str& s) {
  XLOPER x{};
  x.xltype = xltypeStr;
  x.val.str = s.bytes;
  return x;
}

XLOPER number(double n) {
  XLOPER x{};
  x.xltype = xltypeNum;
  x.val.num = n;
  return x;
}

XLOPER integer(int n) {
  XLOPER x{};
  x.xltype = xltypeInt;
  x.val.w = static_cast<short>(n);
  return x;
}

XLOPER missing() {
  XLOPER x{};
  x.xltype = xltypeMissing;
  return x;
}

XLOPER cell(int row, int col) {
  XLOPER x{};
  x.xltype = xltypeSRef;
  x.val.sref.count = 1;
  x.val.sref.ref = {static_cast<WORD>(row), static_cast<WORD>(row), static_cast<BYTE>(col), static_cast<BYTE>(col)};
  return x;
}

std::string string_of(const XLOPER& x) {
  if ((x.xltype & 0x0FFF) != xltypeStr || !x.val.str) return {};
  return std::string(x.val.str + 1, static_cast<unsigned char>(x.val.str[0]));
}

int excel12(int xlfn, LPXLOPER12 result, int count, ...) {
  if (!g_excel12) return xlretFailed;
  LPXLOPER12 opers[32];
  va_list args;
  va_start(args, count);
  for (int i = 0; i < count && i < 32; ++i) opers[i] = va_arg(args, LPXLOPER12);
  va_end(args);
  return g_excel12(xlfn, count, opers, result);
}

// Writes text into a cell of the active sheet (row and column 0-based).
void put(int row, int col, const char* entry) {
  Str s(entry);
  XLOPER t = text(s), where = cell(row, col);
  Excel4(xlcFormula, nullptr, 2, &t, &where);
}

void put_number(int row, int col, double n) {
  XLOPER v = number(n), where = cell(row, col);
  Excel4(xlcFormula, nullptr, 2, &v, &where);
}

// ------------------------------------------------------------- registration

struct Row {
  const char* procedure;
  const char* type;
  const char* function;
  const char* arguments;
  const char* macro_type;
};

const Row kRows[] = {
    {"TxEcho", "RR", "TXECHO", "Value", "1"},
    {"TxSame", "BB", "TXSAME", "Value", "1"},
    {"TxAdd", "BBB", "TXADD", "A,B", "1"},
    {"TxMixA", "BJBCDIB", "TXMIXA", "J,B,C,D,I,B", "1"},
    {"TxMixB", "BBJBJB", "TXMIXB", "B,J,B,J,B", "1"},
    {"TxConcat", "CCC", "TXCONCAT", "A,B", "1"},
    {"TxUpper", "D%D%", "TXUPPER", "Text", "1"},
    {"TxCount", "J!", "TXCOUNT", "", "1"},
    {"TxStill", "JJ", "TXSTILL", "Input", "1"},
    {"TxPeek", "RR#", "TXPEEK", "Ref", "1"},
    {"TxCaller", "R#", "TXCALLER", "", "1"},
    {"TxText12", "QQ", "TXTEXT12", "Value", "1"},
    {"TxDllFree", "R", "TXDLLFREE", "", "1"},
    {"TxXLFree", "R#", "TXXLFREE", "", "1"},
    {"TxFrees", "J!", "TXFREES", "", "1"},
    {"TxTryFormula", "J", "TXTRYFORMULA", "", "1"},
    {"TxWrite", "A", "TxWrite", "", "2"},
    {"TxEdit", "A", "TxEdit", "", "2"},
    {"TxReport", "A", "TxReport", "", "2"},
    {"TxManual", "A", "TxManual", "", "2"},
    {"TxAutomatic", "A", "TxAutomatic", "", "2"},
    {"TxAlert", "AR", "TxAlert", "", "2"},
    {"TxCalcNow", "A", "TxCalcNow", "", "2"},
    {"TxPaste", "A", "TxPaste", "", "2"},
    {"TxRegisterLate", "A", "TxRegisterLate", "", "2"},
    {"TxBox", "A", "TxBox", "", "2"},
};

// Registered only when the host asks through xlAutoRegister.
const Row kLateRows[] = {
    {"TxLate", "A", "TxLate", "", "2"},
};

XLOPER g_module{};  // the add-in's own file name, from xlGetName

int register_row(const Row& row, LPXLOPER result) {
  Str procedure(row.procedure), type(row.type), function(row.function), arguments(row.arguments),
      macro_type(row.macro_type), category("Kovo Test"), empty("");
  XLOPER p = text(procedure), t = text(type), f = text(function), a = text(arguments), m = text(macro_type),
         c = text(category), e = text(empty);
  return Excel4(xlfRegister, result, 10, &g_module, &p, &t, &f, &a, &m, &c, &e, &e, &e);
}

bool same_no_case(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool menu_exists() {
  XLOPER bar = number(10), zero = number(0), result;
  Str name("Test");
  XLOPER menu = text(name);
  Excel4(xlfGetBar, &result, 3, &bar, &menu, &zero);
  return result.xltype != xltypeErr;
}

void add_menu() {
  static const char* const kTable[4][5] = {
      {"T&est", "", "", "The test add-in", ""},
      {"&Write Cells", "TxWrite", "", "Write cells through the C API", ""},
      {"&Edit Cells...", "TxEdit", "", "Insert, move, copy and hide", ""},
      {"&Report", "TxReport", "", "Read facts back", ""},
  };
  static Str texts[4][5] = {
      {Str(kTable[0][0]), Str(kTable[0][1]), Str(kTable[0][2]), Str(kTable[0][3]), Str(kTable[0][4])},
      {Str(kTable[1][0]), Str(kTable[1][1]), Str(kTable[1][2]), Str(kTable[1][3]), Str(kTable[1][4])},
      {Str(kTable[2][0]), Str(kTable[2][1]), Str(kTable[2][2]), Str(kTable[2][3]), Str(kTable[2][4])},
      {Str(kTable[3][0]), Str(kTable[3][1]), Str(kTable[3][2]), Str(kTable[3][3]), Str(kTable[3][4])},
  };
  XLOPER items[20];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 5; ++c) items[r * 5 + c] = text(texts[r][c]);
  XLOPER table{};
  table.xltype = xltypeMulti;
  table.val.array.lparray = items;
  table.val.array.rows = 4;
  table.val.array.columns = 5;
  XLOPER bar = number(1);
  Str help("Help");
  XLOPER before = text(help);
  Excel4(xlfAddMenu, nullptr, 3, &bar, &table, &before);
}

}  // namespace

extern "C" {

void SetExcel12EntryPt(void* entry) { g_excel12 = reinterpret_cast<PEXCEL12PROC>(entry); }

int xlAutoOpen(void) {
  if (std::getenv("KOVO_TEST_XLL_FAIL_OPEN")) return 0;
  Excel4(xlGetName, &g_module, 0);
  for (const Row& row : kRows) register_row(row, nullptr);
  if (!menu_exists()) add_menu();
  return 1;
}

int xlAutoClose(void) {
  for (const Row& row : kRows) {
    Str name(row.function);
    XLOPER n = text(name);
    Excel4(xlfSetName, nullptr, 1, &n);
  }
  if (menu_exists()) {
    XLOPER bar = number(1);
    Str name("Test");
    XLOPER menu = text(name);
    Excel4(xlfDeleteMenu, nullptr, 2, &bar, &menu);
  }
  Excel4(xlFree, nullptr, 1, &g_module);
  g_module = XLOPER{};
  return 1;
}

int xlAutoAdd(void) {
  Str message("Test add-in added");
  XLOPER m = text(message), type = number(2);
  Excel4(xlcAlert, nullptr, 2, &m, &type);
  return 1;
}

int xlAutoRemove(void) {
  Str message("Test add-in removed");
  XLOPER m = text(message), type = number(2);
  Excel4(xlcAlert, nullptr, 2, &m, &type);
  return 1;
}

LPXLOPER xlAutoRegister(LPXLOPER name) {
  static XLOPER result;
  const std::string wanted = string_of(*name);
  for (const Row& row : kRows)
    if (same_no_case(wanted, row.procedure)) {
      register_row(row, &result);
      return &result;
    }
  for (const Row& row : kLateRows)
    if (same_no_case(wanted, row.procedure)) {
      register_row(row, &result);
      return &result;
    }
  result = XLOPER{};
  result.xltype = xltypeErr;
  result.val.err = xlerrValue;
  return &result;
}

LPXLOPER xlAddInManagerInfo(LPXLOPER action) {
  static Str name("Kovo Test Add-in");
  static XLOPER result;
  XLOPER as_int, type = integer(xltypeInt);
  Excel4(xlCoerce, &as_int, 2, action, &type);
  if (as_int.xltype == xltypeInt && as_int.val.w == 1) {
    result = text(name);
  } else {
    result = XLOPER{};
    result.xltype = xltypeErr;
    result.val.err = xlerrValue;
  }
  return &result;
}

void xlAutoFree(LPXLOPER x) {
  ++g_frees;
  if ((x->xltype & 0x0FFF) == xltypeStr) delete[] x->val.str;
  delete x;
}

void xlAutoFree12(LPXLOPER12 x) {
  ++g_frees;
  if ((x->xltype & 0x0FFF) == xltypeStr) delete[] x->val.str;
  delete x;
}

// ------------------------------------------------------- worksheet functions

LPXLOPER TxEcho(LPXLOPER value) { return value; }

double TxSame(double value) { return value; }

double TxAdd(double a, double b) { return a + b; }

// Every kind of argument in one call: 32-bit int, doubles, C and counted
// strings, a short.
double TxMixA(int j, double b, const char* c, const unsigned char* d, short i, double b2) {
  return j * 100000.0 + b * 1000 + static_cast<double>(std::strlen(c)) * 100 + d[0] * 10 + i + b2 / 10;
}

// A double first, then ints and doubles alternating, two of them on the stack.
double TxMixB(double a, int b, double c, int d, double e) { return a + b * 10 + c * 100 + d * 1000 + e * 10000; }

const char* TxConcat(const char* a, const char* b) {
  static char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%s+%s", a, b);
  return buffer;
}

const wchar_t* TxUpper(const wchar_t* counted) {
  static wchar_t buffer[300];
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(counted[0]), 298);
  buffer[0] = static_cast<wchar_t>(n);
  for (std::size_t i = 1; i <= n; ++i) {
    const wchar_t c = counted[i];
    buffer[i] = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  }
  return buffer;
}

int TxCount(void) { return ++g_volatile_calls; }

int TxStill(int input) { return input * 1000 + ++g_still_calls; }

// Reads the referenced cell itself, as macro-sheet equivalents may, and
// doubles it; a cell not yet calculated answers nothing and the host calls again.
LPXLOPER TxPeek(LPXLOPER ref) {
  static XLOPER result;
  XLOPER value, type = integer(xltypeNum);
  const int code = Excel4(xlCoerce, &value, 2, ref, &type);
  if (code == xlretUncalced) {
    result = missing();
    return &result;
  }
  if (code == xlretSuccess) {
    result = number(value.val.num * 2);
  } else {
    result = XLOPER{};
    result.xltype = xltypeErr;
    result.val.err = xlerrValue;
  }
  return &result;
}

// "[Book]Sheet!RnCm" of the calling cell.
LPXLOPER TxCaller(void) {
  static char buffer[300];
  static XLOPER result;
  XLOPER caller, sheet;
  Excel4(xlfCaller, &caller, 0);
  Excel4(xlSheetNm, &sheet, 1, &caller);
  const std::string name = string_of(sheet);
  std::snprintf(buffer + 1, sizeof buffer - 1, "%s!R%dC%d", name.c_str(), caller.val.sref.ref.rwFirst + 1,
                caller.val.sref.ref.colFirst + 1);
  buffer[0] = static_cast<char>(std::strlen(buffer + 1));
  Excel4(xlFree, nullptr, 2, &caller, &sheet);
  result.xltype = xltypeStr;
  result.val.str = buffer;
  return &result;
}

// The value as text through the Excel 12 entry, returned in memory the
// add-in owns (freed by xlAutoFree12).
LPXLOPER12 TxText12(LPXLOPER12 value) {
  XLOPER12 as_text, type;
  type.xltype = xltypeInt;
  type.val.w = xltypeStr;
  auto* result = new XLOPER12{};
  if (excel12(xlCoerce, &as_text, 2, value, &type) == xlretSuccess) {
    const int n = as_text.val.str[0];
    const wchar_t suffix[] = L" (12)";
    const int total = n + 5;
    result->val.str = new XCHAR[static_cast<std::size_t>(total) + 1];
    result->val.str[0] = static_cast<XCHAR>(total);
    std::memcpy(result->val.str + 1, as_text.val.str + 1, static_cast<std::size_t>(n) * sizeof(XCHAR));
    std::memcpy(result->val.str + 1 + n, suffix, 5 * sizeof(XCHAR));
    result->xltype = xltypeStr | xlbitDLLFree;
    excel12(xlFree, nullptr, 1, &as_text);
  } else {
    result->xltype = xltypeErr | xlbitDLLFree;
    result->val.err = xlerrValue;
  }
  return result;
}

LPXLOPER TxDllFree(void) {
  static const char kText[] = "freed by the add-in";
  auto* result = new XLOPER{};
  result->val.str = new char[sizeof kText + 1];
  result->val.str[0] = static_cast<char>(sizeof kText - 1);
  std::memcpy(result->val.str + 1, kText, sizeof kText - 1);
  result->xltype = xltypeStr | xlbitDLLFree;
  return result;
}

// The host's own answer handed back for the host to free.
LPXLOPER TxXLFree(void) {
  static XLOPER result;
  XLOPER type = number(2);
  Excel4(xlfGetWorkspace, &result, 1, &type);
  result.xltype |= xlbitXLFree;
  return &result;
}

int TxFrees(void) { return g_frees; }

// A worksheet function may not run commands: the answer code shows it.
int TxTryFormula(void) {
  Str s("written by a function");
  XLOPER t = text(s), where = cell(0, 0);
  return Excel4(xlcFormula, nullptr, 2, &t, &where);
}

// ------------------------------------------------------------ command macros

// Values, formulas in both notations, a note, a number format and a name.
short TxWrite(void) {
  put(0, 0, "Item");
  put(0, 1, "Amount");
  put(1, 0, "North");
  put_number(1, 1, 1200.5);
  put(2, 0, "South");
  put(2, 1, "=R[-1]C*2");
  put(3, 0, "Total");
  put(3, 1, "=SUM(B2:B3)");
  put(3, 2, "=TXADD(B4,1)");
  Str note("checked by the add-in");
  XLOPER n = text(note), where = cell(3, 1);
  Excel4(xlfNote, nullptr, 2, &n, &where);
  XLOPER selection = cell(3, 1);
  Excel4(xlcSelect, nullptr, 1, &selection);
  Str format("#,##0.00");
  XLOPER f = text(format);
  Excel4(xlcFormatNumber, nullptr, 1, &f);
  XLOPER sheet;
  Excel4(xlSheetId, &sheet, 0);
  XLMREF area{1, {{1, 3, 1, 1}}};
  sheet.val.mref.lpmref = &area;
  Str name("Amounts");
  XLOPER nm = text(name);
  Excel4(xlcDefineName, nullptr, 2, &nm, &sheet);
  return 1;
}

// An entire row inserted, a cell moved, a block copied through the
// clipboard, rows hidden by a reference of two areas.
short TxEdit(void) {
  XLOPER a2 = cell(1, 0);
  Excel4(xlcSelect, nullptr, 1, &a2);
  XLOPER entire_row = number(3);
  Excel4(xlcInsert, nullptr, 1, &entire_row);
  XLOPER from = cell(4, 2), to = cell(6, 3);  // C5 to D7
  Excel4(xlcCut, nullptr, 2, &from, &to);
  XLOPER sheet;
  Excel4(xlSheetId, &sheet, 0);
  XLMREF block{1, {{0, 4, 0, 1}}};  // A1:B5
  sheet.val.mref.lpmref = &block;
  Excel4(xlcSelect, nullptr, 1, &sheet);
  Excel4(xlcCopy, nullptr, 0);
  XLOPER target = cell(9, 0);  // A10
  Excel4(xlcPaste, nullptr, 1, &target);
  XLOPER rows;
  Excel4(xlSheetId, &rows, 0);
  struct {
    WORD count;
    XLREF refs[2];
  } two{2, {{1, 1, 0, 0}, {11, 12, 0, 0}}};  // rows 2 and 12:13
  rows.val.mref.lpmref = reinterpret_cast<XLMREF*>(&two);
  XLOPER hide = number(1), none = missing();
  Excel4(xlcRowHeight, nullptr, 4, &none, &rows, &none, &hide);
  return 1;
}

// Facts read back and written into column F.
short TxReport(void) {
  XLOPER r, type;
  type = number(10);
  Excel4(xlfGetDocument, &r, 1, &type);
  put_number(0, 5, r.val.num);  // last used row
  XLOPER b4 = cell(4, 1);
  Excel4(xlfGetFormula, &r, 1, &b4);
  put(1, 5, ("'" + string_of(r)).c_str());
  Excel4(xlFree, nullptr, 1, &r);
  XLOPER sheet;
  Excel4(xlSheetId, &sheet, 0);
  Excel4(xlSheetNm, &r, 1, &sheet);
  put(2, 5, ("'" + string_of(r)).c_str());
  Excel4(xlFree, nullptr, 1, &r);
  type = number(2);
  Excel4(xlfGetWorkspace, &r, 1, &type);
  put(3, 5, ("'" + string_of(r)).c_str());
  Excel4(xlFree, nullptr, 1, &r);
  XLOPER b5 = cell(4, 1), as_num = integer(xltypeNum);
  Excel4(xlCoerce, &r, 2, &b5, &as_num);
  put_number(4, 5, r.xltype == xltypeNum ? r.val.num : -1);
  XLOPER window;
  Excel4(xlGetHwnd, &window, 0);
  put(5, 5, window.xltype == xltypeInt && window.val.w != 0 ? "window" : "no window");
  return 1;
}

short TxManual(void) {
  XLOPER manual = number(3), none = missing(), no = XLOPER{};
  no.xltype = xltypeBool;
  no.val.xbool = 0;
  Excel4(xlcCalculation, nullptr, 8, &manual, &none, &none, &none, &none, &none, &none, &no);
  return 1;
}

short TxAutomatic(void) {
  XLOPER automatic = number(1);
  Excel4(xlcCalculation, nullptr, 1, &automatic);
  return 1;
}

short TxCalcNow(void) {
  Excel4(xlcCalculateNow, nullptr, 0);
  return 1;
}

// Whatever the clipboard holds, pasted at A20.
short TxPaste(void) {
  XLOPER a20 = cell(19, 0);
  Excel4(xlcSelect, nullptr, 1, &a20);
  Excel4(xlcPaste, nullptr, 0);
  return 1;
}

// REGISTER with the module and a procedure alone: the host asks
// xlAutoRegister to register it.
short TxRegisterLate(void) {
  Str procedure("TxLate");
  XLOPER p = text(procedure);
  Excel4(xlfRegister, nullptr, 2, &g_module, &p);
  return 1;
}

// Commands registered later through xlAutoRegister.
short TxLate(void) {
  put(0, 7, "late");
  return 1;
}

short TxAlert(LPXLOPER) {
  Str message("A question from the add-in");
  XLOPER m = text(message), type = number(1), answer;
  Excel4(xlcAlert, &answer, 2, &m, &type);
  put(0, 6, answer.xltype == xltypeBool && answer.val.xbool ? "answered OK" : "answered Cancel");
  return 1;
}

// A message box of the add-in's own, whose default button is its second:
// the answer lands in I1.
short TxBox(void) {
  const int answer = MessageBoxA(nullptr, "Keep the test going?\r\nSecond line", "Test Add-in",
                                 MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION);
  put(0, 8, answer == IDYES ? "Yes" : answer == IDNO ? "No" : "other");
  return 1;
}

}  // extern "C"
