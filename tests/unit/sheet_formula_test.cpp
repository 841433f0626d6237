// Formula notation: A1 and R1C1 read and written back, which notation a
// formula written through the C API is taken in, operator precedence, sheet
// prefixes and the refusals with their places.
#include <gtest/gtest.h>

#include "sheet_test_support.h"
#include "sheethost/formula.h"

using namespace kovo::sheet;
using kovo::sheet::testing::SheetFixture;

namespace {

std::string reprint(const std::string& text, RefStyle in, RefStyle out, CellPos owner = {4, 3}) {
  ParseOptions p;
  p.style = in;
  p.owner = owner;
  auto parsed = parse_formula(text, p);
  if (!parsed.formula) return "error: " + parsed.error;
  PrintOptions o;
  o.style = out;
  o.owner = owner;
  return print_formula(*parsed.formula, o);
}

TEST(SheetFormula, A1AndR1C1DescribeTheSameCells) {
  // Owner D5 (row 4, column 3).
  const struct {
    const char* a1;
    const char* r1c1;
  } cases[] = {
      {"=A1", "=R[-4]C[-3]"},
      {"=$A$1", "=R1C1"},
      {"=D5", "=RC"},
      {"=SUM(B2:C3)", "=SUM(R[-3]C[-2]:R[-2]C[-1])"},
      {"=SUM($A:$A)", "=SUM(C1)"},
      {"=SUM(3:4)", "=SUM(R[-2]:R[-1])"},
      {"=IV65536", "=R[65531]C[252]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(reprint(c.a1, RefStyle::A1, RefStyle::R1C1), c.r1c1) << c.a1;
    EXPECT_EQ(reprint(c.r1c1, RefStyle::R1C1, RefStyle::A1), c.a1) << c.r1c1;
  }
  EXPECT_EQ(reprint("=$A5+D$1", RefStyle::A1, RefStyle::R1C1), "=RC1+R1C");
  EXPECT_EQ(reprint("=RC1+R1C", RefStyle::R1C1, RefStyle::A1), "=$A5+D$1");
}

TEST(SheetFormula, OperatorsKeepTheirPrecedenceAndParentheses) {
  for (const char* text : {"=1+2*3", "=(1+2)*3", "=-2^2", "=2^-1", "=A1&\"x\"\"y\"", "=1<>2", "=A1<=B1",
                           "=50%", "=-(-A1)", "=IF(A1>0,\"pos\",)", "=CONCATENATE(A1,,B1)", "=TRUE", "=#N/A",
                           "=SUM((A1:B2,D4),1)", "=1E+20", "=0.5"}) {
    EXPECT_EQ(reprint(text, RefStyle::A1, RefStyle::A1), text);
  }
  EXPECT_EQ(reprint("= 1 + 2 ", RefStyle::A1, RefStyle::A1), "=1+2");
  EXPECT_EQ(reprint("=sum(a1:A2)", RefStyle::A1, RefStyle::A1), "=SUM(A1:A2)");
}

TEST(SheetFormula, EitherNotationIsAcceptedWhenAFormulaIsWritten) {
  ParseOptions o;
  o.owner = {9, 4};  // E10
  struct {
    const char* text;
    const char* a1;
  } cases[] = {
      {"=A1+B2", "=A1+B2"},                 // A1 fits
      {"=R[-2]C+RC[-1]", "=E8+D10"},       // only R1C1 fits
      {"=SUM(R12C:R15C)", "=SUM(E$12:E$15)"},
      {"=SUM(RC3:RC7)", "=SUM($C10:$G10)"},  // RC3 is no A1 cell: column RC lies beyond IV
      {"=R1", "=R1"},                       // a lone R1 is the A1 cell
      {"=RC", "=E10"},
      {"=(RC[-2]-RC[-1])", "=(C10-D10)"},
  };
  for (const auto& c : cases) {
    auto parsed = parse_formula_any(c.text, o);
    ASSERT_TRUE(parsed.formula) << c.text << ": " << parsed.error;
    PrintOptions p;
    p.owner = o.owner;
    EXPECT_EQ(print_formula(*parsed.formula, p), c.a1) << c.text;
  }
}

TEST(SheetFormula, RefusalsSayWhatAndWhere) {
  ParseOptions o;
  const struct {
    const char* text;
    const char* message;
    std::size_t position;
  } cases[] = {
      {"A1", "begins with", 0},
      {"=1+", "ends where a value", 3},
      {"=SUM(1,2", "not closed", 1},
      {"=\"abc", "not closed", 1},
      {"=ROUND(1)", "ROUND takes 2 arguments", 1},
      {"=NOT(1,2)", "NOT takes 1 argument", 1},
      {"=1 2", "unexpected", 3},
      {"=#BOGUS", "unknown error", 1},
      {"=(1,2)", "must list references", 1},
      {"=A1:", "unexpected", 3},
      {"='Sheet1", "not closed", 1},
  };
  for (const auto& c : cases) {
    auto parsed = parse_formula(c.text, o);
    ASSERT_FALSE(parsed.formula) << c.text;
    EXPECT_NE(parsed.error.find(c.message), std::string::npos) << c.text << ": " << parsed.error;
    EXPECT_EQ(parsed.position, c.position) << c.text;
  }
  EXPECT_FALSE(parse_formula("=" + std::string(300, '('), o).formula);
  EXPECT_FALSE(parse_formula("=" + std::string(9000, '1'), o).formula);
  EXPECT_FALSE(parse_formula("=A65537", o).formula && parse_formula("=A65537", o).formula->root->kind == ExprKind::Ref);
  EXPECT_EQ(parse_formula("=A65536", o).formula->root->kind, ExprKind::Ref) << "the last row of the sheet";
}

TEST(SheetFormula, SemicolonSeparatesArgumentsOnlyWhenItIsTheListSeparator) {
  ParseOptions comma;
  EXPECT_FALSE(parse_formula("=SUM(1;2)", comma).formula);
  ParseOptions semicolon;
  semicolon.list_separator = ';';
  auto parsed = parse_formula("=SUM(1;2,3)", semicolon);
  ASSERT_TRUE(parsed.formula);
  EXPECT_EQ(parsed.formula->root->args.size(), 3u);
  PrintOptions p;
  p.list_separator = ';';
  EXPECT_EQ(print_formula(*parsed.formula, p), "=SUM(1;2;3)");
}

struct SheetPrefixTest : SheetFixture {};

TEST_F(SheetPrefixTest, PrefixesResolveAndPrintBack) {
  Sheet& other = book->add_sheet("My Data");
  Workbook& second = app.new_workbook();
  app.activate(*book);
  const struct {
    const char* text;
    const char* printed;
  } cases[] = {
      {"='My Data'!A1*2", "='My Data'!A1*2"},
      {"=SUM(Sheet1!$B$2:C3)", "=SUM(Sheet1!$B$2:C3)"},
      {"=[Book2]Sheet1!A1", "=[Book2]Sheet1!A1"},
      {"='[Book2]Sheet1'!A1", "=[Book2]Sheet1!A1"},
      {"=Nowhere!A1", "=Nowhere!A1"},
  };
  for (const auto& c : cases) {
    auto parsed = parse_formula_any(c.text, parse_options_for(*sheet, {}));
    ASSERT_TRUE(parsed.formula) << c.text << parsed.error;
    EXPECT_EQ(print_formula(*parsed.formula, print_options_for(*sheet, {})), c.printed);
  }
  put("A1", "5", &other);
  put("B1", "='my data'!A1+[Book2]Sheet1!A1");
  put("B2", "=Nowhere!A1");
  set_value(second.active_sheet(), 0, 0, Value::num(7));
  calc();
  EXPECT_EQ(num("B1"), 12);
  EXPECT_EQ(text("B2"), "#REF!");
}

}  // namespace
