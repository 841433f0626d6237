// Workbook files: the JSON format kept whole through a save and a load,
// refusals that name the place and load nothing, CSV import with formulas and
// export of values, the printed table, number formats, the choice of format
// by extension, and files replaced safely.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "sheet_test_support.h"
#include "sheethost/files.h"
#include "sheethost/menus.h"
#include "sheethost/number_format.h"

using namespace kovo::sheet;
using kovo::sheet::testing::SheetFixture;
namespace fs = std::filesystem;

namespace {

struct SheetFilesTest : SheetFixture {};

// A folder of the test's own for files on disk.
struct SheetDiskTest : SheetFixture {
  fs::path dir;
  void SetUp() override {
    SheetFixture::SetUp();
    dir = fs::temp_directory_path() /
          ("kovo-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir / "book.json", fs::perms::owner_all, ec);
    fs::remove_all(dir, ec);
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
  void write(const std::string& name, const std::string& text) const { std::ofstream(dir / name, std::ios::binary) << text; }
  std::string read(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

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
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"A1\":1e400}}]}",
       "sheets[0] (\"S\").cells.A1: the number 1e400 is out of range"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"B2\":{\"value\":-2e308}}}]}",
       "cells.B2.value: the number -2e308 is out of range"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"rowHeights\":{\"3\":1e999}}]}", "rowHeights.3: the number"},
      {"{\"kovoSheet\":1e400,\"sheets\":[]}", "kovoSheet: only version 1"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"hiddenRows\":[65537]}]}", "a row number from 1 to 65536"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"hiddenRows\":[2.5]}]}", "hiddenRows[0]"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"A65537\":1}}]}", "cells.A65537: \"A65537\" is not a cell"},
      {"{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"name\":\"T\"}]}", "the key \"name\" is given twice"},
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

TEST_F(SheetFilesTest, DeeplyNestedFilesAreRefusedWithAMessage) {
  // 12,000 levels in 24 KB, as a workbook and as a toolbar file.
  const std::string deep = std::string(12000, '[') + std::string(12000, ']');
  auto loaded = workbook_from_json(app, deep, "Deep.json");
  EXPECT_FALSE(loaded.book);
  EXPECT_EQ(loaded.error, "the file is not valid JSON (line 1, column 65: the values nest deeper than 64 levels)");
  const std::string members = "{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"A1\":" +
                              std::string(12000, '[') + std::string(12000, ']') + "}}]}";
  EXPECT_NE(workbook_from_json(app, members, "Deep.json").error.find("nest deeper"), std::string::npos);
  Toolbars toolbars;
  const auto refused = toolbars.load("{\"kovoToolbars\":1,\"toolbars\":" + deep + "}");
  ASSERT_TRUE(refused);
  EXPECT_NE(refused->find("nest deeper than 64 levels"), std::string::npos) << *refused;
}

TEST_F(SheetFilesTest, NamesUsingNamesManyTimesAreWorkedOutOnce) {
  // Step1 = Step2+Step2+...+Step2 (30 times), ..., Step16 = A1: a 3 KB
  // file whose names, expanded at every use, would take 30^15 steps.
  std::string names;
  for (int i = 1; i <= 15; ++i) {
    std::string sum;
    for (int k = 0; k < 30; ++k) sum += (k ? "+Step" : "=Step") + std::to_string(i + 1);
    names += "{\"name\":\"Step" + std::to_string(i) + "\",\"refersTo\":\"" + sum + "\"},";
  }
  names += "{\"name\":\"Step16\",\"refersTo\":\"=S!$A$1\"},{\"name\":\"Loop\",\"refersTo\":\"=Loop+1\"}";
  const std::string text = "{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"A1\":1,"
                           "\"B1\":{\"formula\":\"=Step1\"},\"C1\":{\"formula\":\"=Step8*2\"},"
                           "\"D1\":{\"formula\":\"=Loop\"}}}],\"names\":[" + names + "]}";
  auto loaded = workbook_from_json(app, text, "Names.json");
  ASSERT_TRUE(loaded.book) << loaded.error;
  Workbook& opened = app.open(std::move(loaded.book));
  app.calculator().recalculate_all();
  Sheet& s = opened.active_sheet();
  EXPECT_DOUBLE_EQ(s.find(0, 1)->value.number, std::pow(30.0, 15));
  EXPECT_DOUBLE_EQ(s.find(0, 2)->value.number, 2 * std::pow(30.0, 8));
  EXPECT_EQ(s.find(0, 3)->value, Value::err(ErrorCode::Ref)) << "a name defined through itself";
  // A change of the cell at the bottom of the chain reaches the formulas.
  set_value(s, 0, 0, Value::num(2));
  app.calculator().recalculate();
  EXPECT_DOUBLE_EQ(s.find(0, 1)->value.number, 2 * std::pow(30.0, 15));
}

TEST_F(SheetFilesTest, LargeWorkbooksGoThroughSaveAndOpenWhole) {
  // 250,000 cells: every kind of cell, saved and opened again. Work that
  // grows with the square of the cells would not finish in the test's time.
  constexpr int kRows = 1000, kCols = 250;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      if (c == 0) set_value(*sheet, r, c, Value::str("Line " + std::to_string(r)));
      else if (c == kCols - 1) ASSERT_FALSE(enter(*sheet, r, c, "=B" + std::to_string(r + 1) + "*2"));
      else set_value(*sheet, r, c, Value::num(r * 0.5 + c));
    }
  calc();
  const std::string json = workbook_to_json(*book);
  Application other;
  auto loaded = workbook_from_json(other, json, "Large.json");
  ASSERT_TRUE(loaded.book) << loaded.error;
  Workbook& copy = other.open(std::move(loaded.book));
  const Sheet& s = copy.active_sheet();
  std::size_t cells = 0;
  s.for_each_cell([&](const Cell&) { ++cells; });
  EXPECT_EQ(cells, static_cast<std::size_t>(kRows) * kCols);
  EXPECT_EQ(s.find(999, 0)->value.text, "Line 999");
  EXPECT_EQ(s.find(500, 7)->value.number, 257);
  EXPECT_EQ(s.find(500, kCols - 1)->value.number, 2 * (500 * 0.5 + 1));
  EXPECT_EQ(other.calculator().formula_count(), static_cast<std::size_t>(kRows));
  EXPECT_EQ(workbook_to_json(copy), json);
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

TEST_F(SheetDiskTest, TheExtensionChoosesTheFormat) {
  put("A1", "Item");
  put("B1", "2.5");
  put("C1", "=B1*2");
  calc();
  ASSERT_FALSE(save_document(*book, path("Book.JSON")));
  EXPECT_EQ(book->path(), path("Book.JSON"));
  ASSERT_FALSE(save_document(*book, path("values.csv")));
  EXPECT_EQ(read("values.csv"), "Item,2.5,5\r\n");
  EXPECT_EQ(book->path(), path("Book.JSON")) << "a CSV copy leaves the workbook where it was";
  const auto unknown = save_document(*book, path("book.txt"));
  ASSERT_TRUE(unknown);
  EXPECT_NE(unknown->find("book.txt: a file of the type .txt is not one the sheet host knows (workbooks (.json), "),
            std::string::npos)
      << *unknown;
  EXPECT_NE(save_document(*book, path("noext"))->find("a file without an extension"), std::string::npos);

  auto json = load_document(app, path("Book.JSON"));
  ASSERT_TRUE(json.book) << json.error;
  EXPECT_EQ(json.book->path(), path("Book.JSON"));
  EXPECT_EQ(json.book->name(), "Book.JSON");
  auto csv = load_document(app, path("values.csv"));
  ASSERT_TRUE(csv.book) << csv.error;
  EXPECT_EQ(csv.book->active_sheet().name(), "values");
  write("toolbars.xlb", "{}");
  EXPECT_NE(load_document(app, path("toolbars.xlb")).error.find("not one the sheet host knows"), std::string::npos)
      << "toolbar files and add-ins are the C API's to open, not workbooks";
  EXPECT_EQ(file_kind("C:\\dir.csv\\book"), FileKind::Unknown);
  EXPECT_EQ(file_kind("a.XLL"), FileKind::Addin);
}

TEST_F(SheetDiskTest, ReplacingAFileLeavesNothingBesideItAndNeverWritesThroughALink) {
  put("A1", "new");
  write("book.json", "old");
  write("victim.txt", "precious");
  std::error_code ec;
  // A link planted under the name a careless writer would use for its
  // temporary file, and the target itself a link: neither is written through.
  fs::create_symlink(dir / "victim.txt", dir / "book.json.kovo-tmp", ec);
  if (ec) GTEST_SKIP() << "links cannot be made here: " << ec.message();
  fs::create_symlink(dir / "victim.txt", dir / "linked.json", ec);
  ASSERT_FALSE(save_document(*book, path("book.json")));
  ASSERT_FALSE(save_document(*book, path("linked.json")));
  EXPECT_EQ(read("victim.txt"), "precious");
  EXPECT_TRUE(fs::is_symlink(dir / "book.json.kovo-tmp"));
  EXPECT_FALSE(fs::is_symlink(dir / "linked.json")) << "the link itself is replaced by the new file";
  EXPECT_NE(read("book.json").find("\"A1\": \"new\""), std::string::npos);
  EXPECT_EQ(read("linked.json"), read("book.json"));
  EXPECT_EQ(files(), (std::vector<std::string>{"book.json", "book.json.kovo-tmp", "linked.json", "victim.txt"}));
}

TEST_F(SheetDiskTest, AReadOnlyFileOrAFolderIsRefusedAndLeftAsItWas) {
  put("A1", "new");
  write("book.json", "old");
  fs::permissions(dir / "book.json", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const auto refused = save_document(*book, path("book.json"));
  ASSERT_TRUE(refused);
  EXPECT_EQ(*refused, path("book.json") + ": the file is read-only; it is left as it is");
  EXPECT_EQ(read("book.json"), "old");
  EXPECT_EQ(book->path(), "") << "the workbook is not taken to live there";
  fs::create_directory(dir / "folder.json");
  EXPECT_EQ(*save_document(*book, path("folder.json")), path("folder.json") + ": a folder has that name");
  const auto missing = save_document(*book, path("no/such/folder/book.json"));
  ASSERT_TRUE(missing);
  EXPECT_NE(missing->find("cannot be written beside its target"), std::string::npos) << *missing;
  EXPECT_EQ(files(), (std::vector<std::string>{"book.json", "folder.json"})) << "no temporary file left behind";
}

TEST_F(SheetDiskTest, OversizedOrMissingFilesAreRefusedBeforeReading) {
  std::string text;
  const auto missing = read_text_file(path("none.json"), text);
  ASSERT_TRUE(missing);
  EXPECT_EQ(*missing, path("none.json") + ": the file cannot be opened");
  write("big.json", std::string(1001, ' '));
  const auto big = read_text_file(path("big.json"), text, 1000);
  ASSERT_TRUE(big);
  EXPECT_EQ(*big, path("big.json") + ": the file is larger than 1000 bytes");
  EXPECT_FALSE(read_text_file(path("big.json"), text, 1001));
  EXPECT_EQ(text.size(), 1001u);
  EXPECT_EQ(kMaxFileBytes, std::size_t{1} << 30) << "1 GB for a workbook of every cell of a sheet";
}

}  // namespace
