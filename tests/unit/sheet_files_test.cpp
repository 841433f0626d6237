// Workbook files: the JSON format kept whole through a save and a load,
// refusals that name the place and load nothing, CSV import with formulas and
// export of values, the printed table, and number formats.
#include <gtest/gtest.h>

#include <random>

#include "sheet_test_support.h"
#include "sheethost/files.h"
#include "sheethost/number_format.h"

using namespace kovo::sheet;
using kovo::sheet::testing::SheetFixture;

namespace {

struct SheetFilesTest : SheetFixture {};

TEST_F(SheetFilesTest, JsonKeepsEverythingThroughSaveAndLoad) {
  Sheet& second = book->add_sheet("Data 2");
  put("A1", "Revenue");
  put("B1", "1234.5");
  put("C1", "=B1*2");
  put("D1", "=Total+'Data 2'!A1");
  put("E1", "TRUE");
  put("F1", "#N/A");
  put("A1", "7", &second);
  set_number_format(*sheet, Area::cell(0, 1), "#,##0.00");
  set_note(*sheet, 0, 2, "twice the revenue");
  sheet->set_row_hidden(4, true);
  sheet->set_col_hidden(7, true);
  sheet->set_row_height(2, 20.5);
  sheet->selection = {Area{1, 1, 3, 2}, Area::cell(9, 9)};
  sheet->active_cell = {2, 1};
  define_name(*book, "Total", nullptr, reference_formula(*sheet, {Area::cell(0, 1)}), false);
  define_name(*book, "Local", &second, reference_formula(second, {Area{0, 0, 1, 1}}), true);
  book->activate(second);
  calc();
  const std::string json = workbook_to_json(*book);

  Application other;
  auto loaded = workbook_from_json(other, json, "Copy.json");
  ASSERT_TRUE(loaded.book) << loaded.error;
  Workbook& copy = other.open(std::move(loaded.book));
  EXPECT_EQ(workbook_to_json(copy), json);
  EXPECT_EQ(copy.active_sheet().name(), "Data 2");
  Sheet& first = *copy.sheets()[0];
  EXPECT_EQ(cell_formula_text(first, 0, 3, RefStyle::A1), "=Total+'Data 2'!A1");
  EXPECT_EQ(first.find(0, 3)->value.number, 1241.5);
  EXPECT_TRUE(first.find(0, 5)->value.is_error());
  EXPECT_TRUE(first.row_hidden(4));
  EXPECT_EQ(first.selection.size(), 2u);
  // The loaded formulas calculate.
  set_value(first, 0, 1, Value::num(1));
  other.calculator().recalculate();
  EXPECT_EQ(first.find(0, 2)->value.number, 2);
  EXPECT_EQ(first.find(0, 3)->value.number, 8);
}

TEST_F(SheetFilesTest, JsonRefusalsNameThePlace) {
  const struct {
    const char* json;
    const char* place;
  } cases[] = {
      {"[1,2]", "a JSON object"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\"}", "not valid JSON"},
      {"{\"kovoSheet\":2,\"sheets\":[{\"name\":\"S\"}]}", "kovoSheet"},
      {"{\"kovoSheet\":1,\"sheets\":[]}", "sheets: a list"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"colour\":1}]}", "sheets[0] (\"S\"): unknown key \"colour\""},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\"},{\"name\":\"s\"}]}", "sheets[1].name: a second sheet"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"a:b\"}]}", "sheets[0].name"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"B7\":{\"formula\":\"=1+\"}}}]}",
       "sheets[0] (\"S\").cells.B7.formula: \"=1+\" does not parse"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"ZZZ1\":1}}]}", "cells.ZZZ1: \"ZZZ1\" is not a cell"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"A1\":{\"error\":\"#OOPS\"}}}]}", "cells.A1.error"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"A1\":[1]}}]}", "cells.A1: a number, text"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"hiddenRows\":[0]}]}", "hiddenRows[0]"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"hiddenColumns\":[\"IW\"]}]}", "hiddenColumns[0]"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\"}],\"activeSheet\":\"T\"}", "activeSheet: no sheet"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\"}],\"names\":[{\"name\":\"A1\",\"refersTo\":\"=S!A1\"}]}",
       "names[0].name"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"selection\":[\"A1:\"]}]}", "selection[0]"},
  };
  const std::size_t books_before = app.books().size();
  for (const auto& c : cases) {
    auto loaded = workbook_from_json(app, c.json, "Bad.json");
    EXPECT_FALSE(loaded.book) << c.json;
    EXPECT_NE(loaded.error.find(c.place), std::string::npos) << c.json << "\n" << loaded.error;
  }
  EXPECT_EQ(app.books().size(), books_before);
  EXPECT_EQ(app.calculator().formula_count(), 0u) << "nothing of a refused file is left behind";
}

TEST_F(SheetFilesTest, MutatedJsonIsRefusedOrLoadedNeverHalfLoaded) {
  put("A1", "1");
  put("B1", "=SUM(A1:A3)*2");
  set_note(*sheet, 0, 0, "n");
  const std::string json = workbook_to_json(*book);
  std::mt19937 random(7);
  for (int round = 0; round < 1500; ++round) {
    std::string text = json;
    for (int e = 0; e < 3; ++e) {
      const std::size_t pos = random() % text.size();
      text[pos] = "{}[]\":,0aA=#!"[random() % 13];
    }
    auto loaded = workbook_from_json(app, text, "Fuzz.json");
    if (!loaded.book) {
      EXPECT_FALSE(loaded.error.empty());
    }
  }
}

TEST_F(SheetFilesTest, CsvImportEntersFormulasAndExportWritesValues) {
  const std::string csv =
      "Item,Amount,Double\r\n"
      "\"Widgets, large\",10,=B2*2\r\n"
      "\"Quote \"\"x\"\"\",2.5,=B3*2\n"
      "Total,=SUM(B2:B3),=SUM(C2:C3)\n";
  auto loaded = workbook_from_csv(app, csv, "report.csv");
  ASSERT_TRUE(loaded.book) << loaded.error;
  Workbook& imported = app.open(std::move(loaded.book));
  app.calculator().recalculate();
  Sheet& s = imported.active_sheet();
  EXPECT_EQ(s.name(), "report");
  EXPECT_EQ(s.find(3, 2)->value.number, 25);
  EXPECT_EQ(sheet_to_csv(s),
            "Item,Amount,Double\r\n\"Widgets, large\",10,20\r\n\"Quote \"\"x\"\"\",2.5,5\r\nTotal,12.5,25\r\n");
  auto bad = workbook_from_csv(app, "1,2\n3,=SUM(A1\n", "bad.csv");
  EXPECT_FALSE(bad.book);
  EXPECT_NE(bad.error.find("row 2, column B (B2)"), std::string::npos) << bad.error;
  auto unclosed = workbook_from_csv(app, "a\n\"open,\n", "bad.csv");
  EXPECT_NE(unclosed.error.find("row 2: a quoted field is not closed"), std::string::npos) << unclosed.error;
}

TEST_F(SheetFilesTest, PrintedTableAlignsFormattedValuesAndLeavesHiddenLinesOut) {
  put("A1", "Account");
  put("B1", "Amount");
  put("A2", "Sales");
  put("B2", "1234.5");
  put("A3", "Hidden");
  put("B3", "0");
  put("A4", "Costs");
  put("B4", "-12");
  put("C4", "#N/A");
  set_number_format(*sheet, Area{1, 1, 3, 1}, "#,##0.00");
  sheet->set_row_hidden(2, true);
  EXPECT_EQ(print_sheet(*sheet),
            "   A        B         C\n"
            "1  Account  Amount\n"
            "2  Sales    1,234.50\n"
            "4  Costs      -12.00  #N/A\n");
}

TEST(SheetNumberFormat, FormatsShowValuesAsTheSpreadsheetDoes) {
  const struct {
    double value;
    const char* format;
    const char* shown;
  } cases[] = {
      {1234.567, "", "1234.567"},          {1234.567, "General", "1234.567"}, {1234.567, "0", "1235"},
      {1234.567, "0.00", "1234.57"},       {1234.567, "#,##0.00", "1,234.57"}, {-1234.567, "#,##0", "-1,235"},
      {0.1234, "0.00%", "12.34%"},         {0.5, "0%", "50%"},                {-5, "0;(0)", "(5)"},
      {0, "0;(0);\"-\"", "-"},             {1234567, "#,##0,", "1,235"},      {0.005, "0.00", "0.01"},
      {1.5, "$#,##0.00", "$1.50"},         {12345.678, "0.00E+00", "1.23E+04"}, {3, "0.0#", "3.0"},
      {3.14159, "0.0#", "3.14"},           {-0.001, "0.00", "0.00"},          {39448, "yyyy-mm-dd", "2008-01-01"},
      {39448.75, "d mmm yyyy hh:mm", "1 Jan 2008 18:00"}, {60, "d-mmm-yy", "29-Feb-00"},
      {42, "[Red]0.0", "42.0"},            {1e20, "", "1E+20"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_value(Value::num(c.value), c.format), c.shown) << c.format;
  EXPECT_EQ(format_value(Value::str("abc"), "0.00"), "abc");
  EXPECT_EQ(format_value(Value::str("abc"), "0;0;0;\"[\"@\"]\""), "[abc]");
  EXPECT_EQ(format_value(Value::logical(true), "0.00"), "TRUE");
}

}  // namespace
