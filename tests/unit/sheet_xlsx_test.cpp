// Excel workbooks written by the sheet host, read back by another program
// (Debian's python3-openpyxl): formulas as Excel stores them with their last
// values, number formats, notes, hidden rows and columns, names and the
// active sheet; and a save that cannot be made leaves the target alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sheethost/files.h"
#include "sheet_test_support.h"

namespace kovo::sheet {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPython = "/usr/bin/python3";

// What openpyxl reports of a workbook, one fact a line.
std::string openpyxl_report(const fs::path& file) {
  const fs::path script = fs::path(file).replace_extension(".py");
  std::ofstream(script) << R"(import sys, openpyxl
path = sys.argv[1]
formulas = openpyxl.load_workbook(path)
values = openpyxl.load_workbook(path, data_only=True)
print("active", formulas.active.title)
print("sheets", ",".join(formulas.sheetnames))
for ws in formulas.worksheets:
    cached = values[ws.title]
    for row in ws.iter_rows():
        for c in row:
            if c.value is None and c.comment is None:
                continue
            line = [ws.title, c.coordinate, repr(c.value), repr(cached[c.coordinate].value), c.number_format]
            if c.comment is not None:
                line.append("note=" + c.comment.text)
            print(" ".join(line))
    for r, d in sorted(ws.row_dimensions.items()):
        if d.hidden:
            print(ws.title, "hidden row", r)
    for k, d in sorted(ws.column_dimensions.items()):
        if d.hidden:
            print(ws.title, "hidden column", k)
    print(ws.title, "selection", ws.sheet_view.selection[0].sqref)
for name in formulas.defined_names.definedName:
    print("name", name.name, name.attr_text, name.localSheetId)
)";
  const std::string command = std::string(kPython) + " " + script.string() + " " + file.string() + " 2>&1";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

struct XlsxTest : testing::SheetFixture {
  fs::path dir;
  void SetUp() override {
    SheetFixture::SetUp();
    dir = fs::temp_directory_path() /
          ("kovo-xlsx-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

TEST_F(XlsxTest, OpenpyxlReadsEverythingTheModelHolds) {
#ifdef _WIN32
  GTEST_SKIP() << "the Python reader runs beside the native build only";
#endif
  ASSERT_TRUE(fs::exists(kPython)) << "python3-openpyxl is installed by scripts/setup";
  put("A1", "Sales");
  put("B1", "1234.5");
  put("B2", "=B1*2");
  put("B3", "=IF(B2>0,\"up\",\"down\")");
  put("C1", "TRUE");
  put("C2", "#N/A");
  set_number_format(*sheet, Area::cell(0, 1), "#,##0.00");
  set_note(*sheet, 0, 0, "checked");
  sheet->set_row_hidden(3, true);
  sheet->set_col_hidden(3, true);
  sheet->selection = {Area{1, 1, 2, 1}};
  sheet->active_cell = {1, 1};
  Sheet& second = book->add_sheet("Second");
  put("A1", "=SUM(Sheet1!B1:B2)", &second);
  calc();
  define_name(*book, "Total", nullptr, reference_formula(second, {Area::cell(0, 0)}), false);
  define_name(*book, "Local", sheet, reference_formula(*sheet, {Area{0, 1, 1, 1}}), false);
  book->activate(second);

  const fs::path file = dir / "report.xlsx";
  ASSERT_FALSE(save_document(*book, file.string()));
  const std::string report = openpyxl_report(file);
  for (const char* fact : {
           "active Second\n", "sheets Sheet1,Second\n",
           "Sheet1 A1 'Sales' 'Sales' General note=checked\n",
           "Sheet1 B1 1234.5 1234.5 #,##0.00\n",
           "Sheet1 B2 '=B1*2' 2469 General\n",
           "Sheet1 B3 '=IF(B2>0,\"up\",\"down\")' 'up' General\n",
           "Sheet1 C1 True True General\n",
           "Sheet1 hidden row 4\n", "Sheet1 hidden column D\n", "Sheet1 selection B2:B3\n",
           "Second A1 '=SUM(Sheet1!B1:B2)' 3703.5 General\n",
           "name Total Second!$A$1 None\n", "name Local Sheet1!$B$1:$B$2 0\n"})
    EXPECT_NE(report.find(fact), std::string::npos) << fact << "\n" << report;
  EXPECT_NE(report.find("Sheet1 C2 '=#N/A'"), std::string::npos) << report;
}

TEST_F(XlsxTest, ASaveThatCannotBeMadeLeavesTheTargetAlone) {
  put("A1", "1");
  const fs::path target = dir / "kept.xlsx";
  std::ofstream(target) << "before";
  fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const auto error = save_document(*book, target.string());
  ASSERT_TRUE(error);
  EXPECT_NE(error->find("read-only"), std::string::npos) << *error;
  std::ifstream in(target);
  std::string text;
  in >> text;
  EXPECT_EQ(text, "before");
  fs::permissions(target, fs::perms::owner_all);
  EXPECT_TRUE(save_document(*book, (dir / "missing" / "x.xlsx").string()));
  const LoadResult opened = load_document(app, target.string());
  EXPECT_FALSE(opened.book);
  EXPECT_NE(opened.error.find("not yet opened"), std::string::npos) << opened.error;
}

}  // namespace
}  // namespace kovo::sheet
