// Evaluation of a parsed formula against the cells of the open workbooks.
// What a formula reads and which functions outside the host it calls come
// through an EvalHost, so the calculator decides what "not yet calculated"
// means and the add-in layer decides how an add-in function is called.
#pragma once

#include <string_view>
#include <vector>

#include "sheethost/address.h"
#include "sheethost/formula.h"
#include "sheethost/value.h"

namespace kovo::sheet {

class Sheet;

// A reference as an argument: areas of one sheet.
struct RefValue {
  Sheet* sheet = nullptr;
  std::vector<Area> areas;
};

// An argument handed to a function that is not built in.
struct Arg {
  enum class Kind { Value, Reference, Missing } kind = Kind::Missing;
  Value value;
  RefValue ref;
};

class EvalHost {
 public:
  virtual ~EvalHost() = default;
  // The value of a cell, or nullptr when the cell is a formula not yet
  // calculated in this pass (the host notes that the formula needs it).
  virtual const Value* cell(Sheet& sheet, int row, int col) = 0;
  // True once a read in this evaluation met an uncalculated cell: the result
  // will be thrown away, so nothing with side effects should run.
  virtual bool uncalculated() const = 0;
  // Calls a function that is not built in; #NAME? when none has that name.
  virtual Value call_external(std::string_view name, std::vector<Arg>& args, Sheet& sheet, CellPos owner) = 0;
};

// The formula's value (a reference result gives the referenced value, an
// empty cell gives 0).
Value evaluate(const Formula& formula, Sheet& sheet, CellPos owner, EvalHost& host);
// Evaluates an expression as a reference when it is one (a defined name's
// definition, a SELECT text); false when it is not.
bool evaluate_reference(const Expr& expr, Sheet& sheet, CellPos owner, EvalHost& host, RefValue& out, ErrorCode& error);

// Built-in functions on values, for the C API's calls of them.
Value round_number(double x, double digits);
// Decides a comparison between two values as the comparison operators do;
// returns -1, 0 or 1.
int compare_values(const Value& a, const Value& b);

}  // namespace kovo::sheet
