// Formulas: the parsed form of a cell's formula text, the parser for A1 and
// R1C1 notation, and the printer back to either notation.
//
// References are kept as the cells they point at (absolute positions) with a
// flag per coordinate that says whether it was written relative; printing in
// R1C1 turns relative coordinates into offsets from the formula's cell, and
// copying a formula shifts only the relative ones.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sheethost/address.h"
#include "sheethost/value.h"

namespace kovo::sheet {

class Sheet;
struct Builtin;

enum class RefShape : std::uint8_t { Cells, Rows, Cols };

struct RefArea {
  Area area;
  bool abs_row1 = false, abs_col1 = false, abs_row2 = false, abs_col2 = false;
  RefShape shape = RefShape::Cells;
  // Puts the first row and column first, keeping each with its "$".
  void normalise();
};

enum class ExprKind : std::uint8_t {
  Number, Text, Bool, Error, Missing, Ref, Name, Unary, Binary, Percent, Paren, Call, Union
};
enum class Op : std::uint8_t { Add, Sub, Mul, Div, Pow, Concat, Eq, Ne, Lt, Gt, Le, Ge, Neg, Plus };

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
  ExprKind kind = ExprKind::Missing;
  Op op = Op::Add;
  bool boolean = false;
  bool ref_error = false;  // Ref: the reference no longer points into a sheet (#REF!)
  ErrorCode error = ErrorCode::Null;
  double number = 0;
  // Text literal; name of a Name or Call; for a Ref whose sheet prefix names
  // no open sheet, that prefix as written.
  std::string text;
  Sheet* sheet = nullptr;  // Ref: the sheet named by a prefix; nullptr = the formula's own sheet
  RefArea ref;
  const Builtin* builtin = nullptr;  // Call of a built-in function
  std::vector<ExprPtr> args;         // operands and arguments

  ExprPtr clone() const;
};

struct Formula {
  ExprPtr root;
  bool calls_external = false;  // calls a function that is not built in
  bool uses_names = false;
  std::unique_ptr<Formula> clone() const;
};

enum class RefStyle { A1, R1C1 };

struct ParseOptions {
  RefStyle style = RefStyle::A1;
  CellPos owner{};             // the formula's cell (for relative R1C1 references)
  char list_separator = ',';   // ',' always separates arguments; ';' too when this is ';'
  // Finds a sheet named by a prefix ("Sheet2!" or "[Book2]Sheet1!"); the book
  // is empty when none was written. Without it every prefix stays unresolved.
  std::function<Sheet*(std::string_view book, std::string_view sheet)> resolve_sheet;
};

struct ParseResult {
  std::unique_ptr<Formula> formula;  // null on failure
  std::string error;                 // what is wrong, on failure
  std::size_t position = 0;          // where (0-based character), on failure
};

// Longest formula text accepted.
constexpr std::size_t kMaxFormulaLength = 8192;

// Parses formula text beginning with "=" in the given notation.
ParseResult parse_formula(std::string_view text, const ParseOptions& options);
// Parses in A1 notation, or in R1C1 notation when A1 does not fit the text
// (the way a formula written through the C API is taken).
ParseResult parse_formula_any(std::string_view text, const ParseOptions& options);

struct PrintOptions {
  RefStyle style = RefStyle::A1;
  CellPos owner{};
  const Sheet* owner_sheet = nullptr;  // a prefix naming another workbook's sheet adds "[Book]"
  char list_separator = ',';
};

// The formula text with its leading "=".
std::string print_formula(const Formula& formula, const PrintOptions& options);

// Calls f(Expr&) for every Ref node of a formula (including those in calls).
void for_each_ref(Expr& expr, const std::function<void(Expr&)>& f);
void for_each_ref(const Expr& expr, const std::function<void(const Expr&)>& f);

// "Sheet 1" -> "'Sheet 1'"; plain names stay as they are.
std::string quote_sheet_name(std::string_view name);

}  // namespace kovo::sheet
