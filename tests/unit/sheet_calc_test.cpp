// Calculation: operators and built-in functions as the spreadsheet computes
// them, dependency order across sheets, circular references, what a
// recalculation recomputes (changed, dependent, volatile), functions that
// meet uncalculated cells, and references that follow inserted rows and
// moved cells.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "sheet_test_support.h"
#include "sheethost/calc.h"

using namespace kovo::sheet;
using kovo::sheet::testing::at;
using kovo::sheet::testing::SheetFixture;

namespace {

struct SheetCalcTest : SheetFixture {};

TEST_F(SheetCalcTest, OperatorsAndFunctionsGiveTheSpreadsheetsAnswers) {
  put("A1", "10");
  put("A2", "'7");  // a text that reads as a number
  put("A3", "abc");
  put("A4", "TRUE");
  const struct {
    const char* formula;
    const char* expected;
  } cases[] = {
      {"=A1+A2", "17"},            {"=A1&A2", "107"},          {"=A1+A3", "#VALUE!"},
      {"=A1/0", "#DIV/0!"},        {"=-2^2", "4"},             {"=2^3^2", "64"},
      {"=A5+1", "1"},              {"=A5&\"x\"", "x"},         {"=50%*A1", "5"},
      {"=SUM(A1:A5)", "10"},       {"=SUM(A1,A2,A4)", "10"},   {"=SUM(1,\"7\",TRUE)", "9"},   {"=SUM(A1,#N/A)", "#N/A"},
      {"=ROUND(1.005,2)", "1.01"}, {"=ROUND(-2.5,0)", "-3"},   {"=ROUND(1234.5,-2)", "1200"},
      {"=ABS(-A1)", "10"},         {"=IF(A1>5,\"big\")", "big"}, {"=IF(A1<5,\"big\")", "FALSE"},
      {"=IF(A4,1,1/0)", "1"},      {"=AND(A1,A4)", "TRUE"},     {"=AND(A3)", "#VALUE!"},
      {"=OR(A1:A3,FALSE)", "TRUE"}, {"=NOT(0)", "TRUE"},        {"=CONCATENATE(A1,\"-\",A4)", "10-TRUE"},
      {"=\"a\"<\"B\"", "TRUE"},    {"=1<\"1\"", "TRUE"},       {"=\"abc\"=\"ABC\"", "TRUE"},
      {"=A5=0", "TRUE"},           {"=A5=\"\"", "TRUE"},       {"=0^0", "#NUM!"},
      {"=(-8)^0.5", "#NUM!"},      {"=UNKNOWNFN(1)", "#NAME?"}, {"=nosuchname+1", "#NAME?"},
      {"=A1:A3", "#VALUE!"},
  };
  int row = 10;
  for (const auto& c : cases) {
    const std::string cell = "C" + std::to_string(row++);
    put(cell, c.formula);
    calc();
    EXPECT_EQ(text(cell), c.expected) << c.formula;
  }
  // A column range used as one value takes the formula's own row.
  put("B2", "=A1:A4");
  calc();
  EXPECT_EQ(text("B2"), "7");
}

TEST_F(SheetCalcTest, DependenciesAreCalculatedFirstAcrossSheetsAndInAnyOrder) {
  Sheet& second = book->add_sheet("Second");
  // A chain written bottom-up, through a second sheet.
  put("A1", "1");
  for (int r = 100; r >= 2; --r) put("A" + std::to_string(r), "=A" + std::to_string(r - 1) + "+1");
  put("A1", "=Second!B1*2", sheet);
  put("B1", "=Sheet1!C1+1", &second);
  put("C1", "20");
  calc();
  EXPECT_EQ(num("B1", &second), 21);
  EXPECT_EQ(num("A1"), 42);
  EXPECT_EQ(num("A100"), 141);
  // A change reaches every dependent; the second pass evaluates each once.
  put("C1", "0");
  calc();
  EXPECT_EQ(num("A100"), 101);
  EXPECT_EQ(app.calculator().last_evaluations(), 101u);
}

TEST_F(SheetCalcTest, CircularReferencesGiveRefErrorsAndNeverLoop) {
  put("A1", "=B1+1");
  put("B1", "=C1+1");
  put("C1", "=A1+1");
  put("D1", "=A1*2");
  put("E1", "=E1");
  put("F1", "5");
  put("G1", "=F1+1");
  calc();
  for (const char* cell : {"A1", "B1", "C1", "D1", "E1"}) EXPECT_EQ(text(cell), "#REF!") << cell;
  EXPECT_EQ(num("G1"), 6);
  // Breaking the circle heals it.
  put("C1", "1");
  calc();
  EXPECT_EQ(num("A1"), 3);
  EXPECT_EQ(num("D1"), 6);
}

// Functions of a pretend add-in, counted.
struct FakeFunctions : FunctionHost {
  std::map<std::string, FunctionInfo> infos;
  std::map<std::string, std::function<Value(std::vector<Arg>&)>> bodies;
  std::map<std::string, int> calls;
  std::uint64_t v = 1;
  std::uint64_t version() const override { return v; }
  FunctionInfo describe(std::string_view name) override {
    auto it = infos.find(std::string(name));
    return it == infos.end() ? FunctionInfo{} : it->second;
  }
  Value call(std::string_view name, std::vector<Arg>& args, Sheet&, CellPos) override {
    ++calls[std::string(name)];
    return bodies[std::string(name)](args);
  }
};

TEST_F(SheetCalcTest, RecalculationTakesChangedDependentAndVolatileFormulas) {
  FakeFunctions f;
  f.infos["STILL"] = {true, false, false};
  f.infos["LIVE"] = {true, true, false};
  f.bodies["STILL"] = [](std::vector<Arg>& a) { return a.empty() ? Value::num(1) : a[0].value; };
  f.bodies["LIVE"] = [](std::vector<Arg>&) { return Value::num(2); };
  app.calculator().set_function_host(&f);
  put("A1", "1");
  put("B1", "=STILL(A1*1)");
  put("C1", "=LIVE()+1");
  put("D1", "=C1*10");
  put("E1", "=A1*100");
  calc();
  EXPECT_EQ(f.calls["STILL"], 1);
  EXPECT_EQ(f.calls["LIVE"], 1);
  EXPECT_EQ(num("D1"), 30);
  EXPECT_FALSE(app.calculator().needs_recalculation());
  calc();  // nothing changed: only the volatile function and what reads it
  EXPECT_EQ(f.calls["STILL"], 1);
  EXPECT_EQ(f.calls["LIVE"], 2);
  put("A1", "5");
  calc();
  EXPECT_EQ(f.calls["STILL"], 2);
  EXPECT_EQ(num("B1"), 5);
  EXPECT_EQ(num("E1"), 500);
  app.calculator().recalculate_all();
  EXPECT_EQ(f.calls["STILL"], 3);
  // Only the active sheet: a change elsewhere waits.
  Sheet& other = book->add_sheet("Other");
  put("A1", "=Sheet1!A1+1", &other);
  put("A1", "6");
  app.calculator().recalculate(&other);
  EXPECT_EQ(num("A1", &other), 7);
  EXPECT_EQ(num("E1"), 500);
  calc();
  EXPECT_EQ(num("E1"), 600);
}

TEST_F(SheetCalcTest, FunctionsMeetingUncalculatedCellsAreCalledAgainAfterThem) {
  FakeFunctions f;
  Calculator& calculator = app.calculator();
  // A macro-sheet-equivalent function reads its reference itself, as an add-in
  // would with xlCoerce, and gives up when the cell is not calculated.
  f.infos["PEEK"] = {true, false, true};
  f.bodies["PEEK"] = [&](std::vector<Arg>& a) {
    const Area& area = a[0].ref.areas[0];
    const Value* v = calculator.read_for_function(*a[0].ref.sheet, area.row1, area.col1);
    return v ? Value::num(v->number * 2) : Value::err(ErrorCode::NA);
  };
  // An ordinary function with a reference argument: its cells come first.
  f.infos["TWICE"] = {true, false, false};
  f.bodies["TWICE"] = [&](std::vector<Arg>& a) {
    const Area& area = a[0].ref.areas[0];
    const Value* v = calculator.read_for_function(*a[0].ref.sheet, area.row1, area.col1);
    EXPECT_TRUE(v) << "TWICE was called before its argument was calculated";
    return v ? Value::num(v->number * 2) : Value::err(ErrorCode::NA);
  };
  calculator.set_function_host(&f);
  put("A1", "=PEEK(A2)");
  put("B1", "=TWICE(B2)");
  put("A2", "=A3+1");
  put("B2", "=A3+2");
  put("A3", "10");
  calc();
  EXPECT_EQ(num("A1"), 22);
  EXPECT_EQ(num("B1"), 24);
  EXPECT_EQ(f.calls["PEEK"], 2) << "called, told uncalculated, called again";
  EXPECT_EQ(f.calls["TWICE"], 1);
}

TEST_F(SheetCalcTest, EnteredFormulaIsCalculatedAtOnceDependentsWait) {
  put("A1", "2");
  put("B1", "=C1*2");
  put("C1", "=A1+1");
  app.calculator().calculate_cell(*sheet->find(0, 2));
  EXPECT_EQ(num("C1"), 3);
  EXPECT_TRUE(get("B1").is_empty());
  calc();
  EXPECT_EQ(num("B1"), 6);
}

TEST_F(SheetCalcTest, InsertedRowsAndColumnsMoveCellsAndTheReferencesToThem) {
  Sheet& other = book->add_sheet("Other");
  put("A1", "1");
  put("A2", "2");
  put("A3", "3");
  put("B1", "=SUM(A1:A3)");
  put("B2", "=$A$3*10");
  put("C5", "=A2");
  put("A1", "=Sheet1!A3", &other);
  calc();
  ASSERT_FALSE(insert_rows(*sheet, 1, 2));  // two rows before row 2
  EXPECT_EQ(formula("B1"), "=SUM(A1:A5)");
  EXPECT_EQ(formula("B4"), "=$A$5*10");
  EXPECT_EQ(formula("C7"), "=A4");
  EXPECT_EQ(cell_formula_text(other, 0, 0, RefStyle::A1), "=Sheet1!A5");
  put("A2", "100");
  calc();
  EXPECT_EQ(num("B1"), 106);
  ASSERT_FALSE(insert_cols(*sheet, 0, 1));
  EXPECT_EQ(formula("C1"), "=SUM(B1:B5)");
  EXPECT_EQ(num("C1"), 106);
  // Hidden rows travel with their rows.
  sheet->set_row_hidden(9, true);
  ASSERT_FALSE(insert_rows(*sheet, 0, 1));
  EXPECT_TRUE(sheet->row_hidden(10));
  EXPECT_FALSE(sheet->row_hidden(9));
  // Nothing may be pushed off the sheet.
  put("A65536", "x");
  EXPECT_TRUE(insert_rows(*sheet, 0, 1));
  EXPECT_EQ(text("A65536"), "x");
}

TEST_F(SheetCalcTest, MovedCellsTakeTheirReferencesAlongAndOverwrittenOnesBreak) {
  put("A1", "4");
  put("B1", "=A1*2");
  put("C1", "=D1");
  put("D1", "9");
  calc();
  ASSERT_FALSE(move_cells(*sheet, Area::cell(at("A1")), at("A5")));
  EXPECT_EQ(formula("B1"), "=A5*2");
  EXPECT_EQ(num("A5"), 4);
  ASSERT_FALSE(move_cells(*sheet, Area::cell(at("B1")), at("D1")));  // overwrites D1
  EXPECT_EQ(formula("C1"), "=#REF!");
  EXPECT_EQ(formula("D1"), "=A5*2");
  calc();
  EXPECT_EQ(text("C1"), "#REF!");
  EXPECT_EQ(num("D1"), 8);
}

TEST_F(SheetCalcTest, CopiedFormulasShiftOnlyRelativeReferences) {
  put("A1", "1");
  put("A2", "2");
  put("B1", "=A1+$A$1+A$1+$A1");
  ASSERT_FALSE(copy_cells(*sheet, Area::cell(at("B1")), *sheet, at("C2")));
  EXPECT_EQ(formula("C2"), "=B2+$A$1+B$1+$A2");
  // Off the sheet: #REF!.
  put("B2", "=A1");
  ASSERT_FALSE(copy_cells(*sheet, Area::cell(at("B2")), *sheet, at("A1")));
  EXPECT_EQ(formula("A1"), "=#REF!");
}

TEST_F(SheetCalcTest, DefinedNamesReadTheirCellsAndChangesRecalculate) {
  put("A1", "3");
  put("B1", "=Total*2");
  define_name(*book, "Total", nullptr, reference_formula(*sheet, {Area::cell(0, 0)}), false);
  calc();
  EXPECT_EQ(num("B1"), 6);
  put("A1", "4");
  calc();
  EXPECT_EQ(num("B1"), 8) << "a cell read through a name is a precedent";
  define_name(*book, "Total", sheet, reference_formula(*sheet, {Area::cell(0, 2)}), false);
  put("C1", "10");
  calc();
  EXPECT_EQ(num("B1"), 20) << "the sheet's own name comes first";
  EXPECT_FALSE(valid_defined_name("A1"));
  EXPECT_FALSE(valid_defined_name("R1C1"));
  EXPECT_FALSE(valid_defined_name("two words"));
  EXPECT_TRUE(valid_defined_name("FReportBody"));
}

}  // namespace
