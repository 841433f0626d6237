// Excel workbooks written by the sheet host, read back by another program
// (Debian's python3-openpyxl) and by the host itself: formulas as Excel
// stores them with their last values, number formats, notes, hidden rows
// and columns, names and the active sheet; workbooks written by openpyxl
// opened here; a save that cannot be made leaves the target alone; damaged
// and hostile files are refused with a message naming what is wrong.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sheethost/calc.h"
#include "sheethost/edit.h"
#include "sheethost/files.h"
#include "sheet_test_support.h"
#include "xlsx_package_support.h"

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
  EXPECT_NE(opened.error.find("no Excel workbook"), std::string::npos) << opened.error;
}

// ------------------------------------------------------------------ reading

using kovo::testing::make_package;
using kovo::testing::workbook_parts;

struct XlsxReadTest : XlsxTest {
  LoadResult opened;
  Workbook* read(const std::string& bytes, const XlsxLimits& limits = {}) {
    opened = workbook_from_xlsx(app, bytes, "Read.xlsx", limits);
    return opened.book ? &app.open(std::move(opened.book)) : nullptr;
  }
  static std::string formula_of(const Workbook& b, const std::string& sheet_name, const std::string& cell) {
    const Sheet* s = b.find_sheet(sheet_name);
    const auto p = parse_cell_address(cell);
    return s && p ? cell_formula_text(*s, p->row, p->col, RefStyle::A1) : "(no such cell)";
  }
  static Value value_of(const Workbook& b, const std::string& sheet_name, const std::string& cell) {
    const Sheet* s = b.find_sheet(sheet_name);
    const auto p = parse_cell_address(cell);
    const Cell* c = s && p ? s->find(p->row, p->col) : nullptr;
    return c ? c->value : Value{};
  }
};

// JSON -> xlsx -> JSON loses nothing: the examples, and a book with every
// kind of thing the model holds.
TEST_F(XlsxReadTest, WorkbooksRoundTripThroughExcelFiles) {
  std::vector<std::pair<std::string, std::string>> books;
#if defined(KOVO_SOURCE_ROOT) && !defined(_WIN32)  // the source tree's path is the build machine's
  for (const char* example : {"examples/reports/balance_sheet.json",
                              "examples/reports/departments.json", "examples/reports/profit_and_loss.json"}) {
    std::string text;
    ASSERT_FALSE(read_text_file(std::string(KOVO_SOURCE_ROOT) + "/" + example, text)) << example;
    books.emplace_back(example, text);
  }
#endif
  put("A1", "Sales");
  put("B1", "1234.5");
  put("B2", "=B1*2");
  put("B3", "=B1>0");
  put("B4", "=1/0");
  put("C1", "TRUE");
  put("C2", "#N/A");
  put("C3", "=IF(B1>0,\"up\",\"down\")");
  set_number_format(*sheet, Area::cell(0, 1), "#,##0.00;-#,##0.00");
  set_number_format(*sheet, Area::cell(9, 9), "0.00%");
  set_note(*sheet, 0, 0, "checked");
  set_note(*sheet, 7, 2, "a note alone");
  sheet->set_row_hidden(5, true);
  sheet->set_col_hidden(4, true);
  sheet->set_row_height(2, 30);
  // Excel keeps widths in whole pixels of its default font: these are some.
  sheet->set_col_width(1, 18);
  sheet->set_col_width(6, 0.5);
  sheet->selection = {Area{1, 1, 2, 1}};
  sheet->active_cell = {1, 1};
  sheet->protected_contents = true;
  Sheet& second = book->add_sheet("Profit and Loss");
  put("A1", "=SUM(Sheet1!B1:B2)+'Profit and Loss'!B1", &second);
  put("B1", "7", &second);
  put("A2", "=GL(\"4000-??\",\"Year to Date\",Sheet1!A1)", &second);
  calc();
  // Excel files keep names in alphabetical order.
  define_name(*book, "Local", sheet, reference_formula(*sheet, {Area{0, 1, 1, 1}}), false);
  define_name(*book, "Total", nullptr, reference_formula(second, {Area::cell(0, 0)}), false);
  book->activate(second);
  books.emplace_back("a book of everything", workbook_to_json(*book));

  for (const auto& [label, text] : books) {
    Application reader;
    const LoadResult from_json = workbook_from_json(reader, text, "Book.json");
    ASSERT_TRUE(from_json.book) << label << ": " << from_json.error;
    const std::string before = workbook_to_json(*from_json.book);
    const fs::path file = dir / "round.xlsx";
    ASSERT_FALSE(save_xlsx_file(*from_json.book, file.string())) << label;
    const LoadResult from_xlsx = load_document(reader, file.string());
    ASSERT_TRUE(from_xlsx.book) << label << ": " << from_xlsx.error;
    EXPECT_EQ(from_xlsx.warning, "") << label;
    EXPECT_FALSE(from_xlsx.calculate) << label << ": the file carries every formula's last value";
    EXPECT_EQ(workbook_to_json(*from_xlsx.book), before) << label;
  }
}

// A workbook written by another program (openpyxl stores formulas without
// their values): it opens with everything, and its formulas calculate.
TEST_F(XlsxReadTest, AWorkbookWrittenByOpenpyxlOpens) {
#ifdef _WIN32
  GTEST_SKIP() << "the Python writer runs beside the native build only";
#endif
  ASSERT_TRUE(fs::exists(kPython)) << "python3-openpyxl is installed by scripts/setup";
  const fs::path file = dir / "written.xlsx";
  const fs::path script = dir / "write.py";
  std::ofstream(script) << R"PY(import sys, openpyxl
from openpyxl.comments import Comment
from openpyxl.workbook.defined_name import DefinedName
from openpyxl.chart import BarChart, Reference
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Figures"
ws["A1"] = "Rent"
ws["B1"] = 1200.5
ws["B2"] = 300
ws["B3"] = "=SUM(B1:B2)"
ws["B3"].number_format = "#,##0.00"
ws["B4"] = "=IF(B3>1000,_xlfn.CONCATENATE(\"big \",A1),\"small\")"
ws["C1"] = True
ws["A1"].comment = Comment("from the ledger", "Kovo")
ws.row_dimensions[6].hidden = True
ws.column_dimensions["D"].hidden = True
ws.column_dimensions["A"].width = 20
ws["B2"].number_format = "0.00%"
other = wb.create_sheet("Second Page")
other["A1"] = "='Figures'!B3*2"
other["A2"] = "=Total+1"
total = DefinedName("Total", attr_text="Figures!$B$3")
if hasattr(wb.defined_names, "append"):
    wb.defined_names.append(total)
else:
    wb.defined_names[total.name] = total
chart = BarChart()
chart.add_data(Reference(ws, min_col=2, min_row=1, max_row=2))
ws.add_chart(chart, "F2")
wb.active = 1
wb.save(sys.argv[1])
)PY";
  const std::string command = std::string(kPython) + " " + script.string() + " " + file.string() + " 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  LoadResult loaded = load_document(app, file.string());
  ASSERT_TRUE(loaded.book) << loaded.error;
  EXPECT_TRUE(loaded.calculate);
  EXPECT_NE(loaded.warning.find("charts: 1"), std::string::npos) << loaded.warning;
  Workbook& b = app.open(std::move(loaded.book));
  calc();
  EXPECT_EQ(b.active_sheet().name(), "Second Page");
  EXPECT_EQ(formula_of(b, "Figures", "B3"), "=SUM(B1:B2)");
  EXPECT_EQ(value_of(b, "Figures", "B3"), Value::num(1500.5));
  EXPECT_EQ(value_of(b, "Figures", "B4"), Value::str("big Rent"));
  EXPECT_EQ(formula_of(b, "Second Page", "A1"), "=Figures!B3*2");
  EXPECT_EQ(value_of(b, "Second Page", "A1"), Value::num(3001));
  EXPECT_EQ(value_of(b, "Second Page", "A2"), Value::num(1501.5));
  EXPECT_EQ(value_of(b, "Figures", "C1"), Value::logical(true));
  const Sheet& figures = *b.find_sheet("Figures");
  EXPECT_EQ(figures.find(2, 1)->format, "#,##0.00");
  EXPECT_EQ(figures.find(1, 1)->format, "0.00%");
  EXPECT_EQ(figures.find(0, 0)->note.find("from the ledger") != std::string::npos, true) << figures.find(0, 0)->note;
  EXPECT_TRUE(figures.row_hidden(5));
  EXPECT_TRUE(figures.col_hidden(3));
  EXPECT_TRUE(figures.col_width(0).has_value());
  ASSERT_TRUE(b.find_name("Total", nullptr));
}

// Formulas as Excel stores them come into the model's language: prefixes of
// later and add-in functions dropped, shared formulas spread as Excel
// defines them; what the model cannot take keeps its value and is listed.
TEST_F(XlsxReadTest, FormulasComeIntoTheModelsLanguage) {
  const std::string data =
      "<sheetData>"
      "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><v>2</v></c>"
      "<c r=\"C1\"><f t=\"shared\" ref=\"C1:C3\" si=\"0\">A1+$B$1*B1</f><v>5</v></c></row>"
      "<row r=\"2\"><c r=\"A2\"><v>3</v></c><c r=\"B2\"><v>4</v></c><c r=\"C2\"><f t=\"shared\" si=\"0\"/><v>11</v></c></row>"
      "<row r=\"3\"><c r=\"C3\"><f t=\"shared\" si=\"0\"/><v>0</v></c>"
      "<c r=\"D3\" t=\"str\"><f>_xll.GL(\"4000\",\"This Month\",'Other Sheet'!A1)</f><v>x</v></c>"
      "<c r=\"E3\"><f>_xlfn._xlws.SORT(A1:A2)</f><v>1</v></c></row>"
      "<row r=\"4\"><c r=\"A4\"><f t=\"array\" ref=\"A4\">SUM(A1:A2*B1:B2)</f><v>14</v></c>"
      "<c r=\"B4\"><f>Sales[Amount]</f><v>99</v></c>"
      "<c r=\"C4\" t=\"e\"><f>#DIV/0!</f><v>#DIV/0!</v></c>"
      "<c r=\"D4\"><f>\"_xll.kept\"&amp;A1</f><v>0</v></c></row>"
      "</sheetData>";
  Workbook* b = read(make_package(workbook_parts({{"Data", data}, {"Other Sheet", "<sheetData/>"}})));
  ASSERT_TRUE(b) << opened.error;
  EXPECT_EQ(formula_of(*b, "Data", "C1"), "=A1+$B$1*B1");
  EXPECT_EQ(formula_of(*b, "Data", "C2"), "=A2+$B$1*B2");
  EXPECT_EQ(formula_of(*b, "Data", "C3"), "=A3+$B$1*B3");
  EXPECT_EQ(value_of(*b, "Data", "C2"), Value::num(11));
  EXPECT_EQ(formula_of(*b, "Data", "D3"), "=GL(\"4000\",\"This Month\",'Other Sheet'!A1)");
  EXPECT_EQ(formula_of(*b, "Data", "E3"), "=SORT(A1:A2)");
  EXPECT_EQ(formula_of(*b, "Data", "D4"), "=\"_xll.kept\"&A1");
  // An error constant stays the constant it was.
  EXPECT_EQ(formula_of(*b, "Data", "C4"), "#DIV/0!");
  EXPECT_EQ(value_of(*b, "Data", "C4"), Value::err(ErrorCode::Div0));
  // An array formula and one the model cannot parse keep their values.
  EXPECT_EQ(formula_of(*b, "Data", "A4"), "14");
  EXPECT_EQ(formula_of(*b, "Data", "B4"), "99");
  EXPECT_NE(opened.warning.find("formulas kept as their last values: Data!A4 (an array formula), Data!B4"),
            std::string::npos)
      << opened.warning;
}

// Content the model has no place for is left out, all of it named in one
// warning; the sheets open.
TEST_F(XlsxReadTest, UnsupportedContentIsListedInOneWarning) {
  auto parts = workbook_parts({{"Data", "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>"
                                        "<mergeCells count=\"2\"><mergeCell ref=\"A1:B1\"/><mergeCell ref=\"A2:B2\"/>"
                                        "</mergeCells><drawing r:id=\"rId1\"/>"}},
                              "<definedNames><definedName name=\"_xlnm.Print_Area\" localSheetId=\"1\">"
                              "Data!$A$1:$C$9</definedName><definedName name=\"Broken\">SUM(</definedName>"
                              "</definedNames>");
  for (auto& [name, text] : parts)
    if (name == "book/_rels/main.xml.rels")
      text = kovo::testing::relationships_xml({{"worksheet", "pages/page1.xml"},
                                               {"vbaProject", "vbaProject.bin"},
                                               {"externalLink", "links/link1.xml"},
                                               {"pivotCacheDefinition", "pivot/cache1.xml"},
                                               {"chartsheet", "charts/sheet1.xml"}});
    else if (name == "book/main.xml")  // a chart sheet first: Excel counts it in the sheets' places
      text.replace(text.find("<sheet "), 0, "<sheet name=\"Chart1\" sheetId=\"5\" r:id=\"rId5\"/>");
  parts.emplace_back("book/pages/_rels/page1.xml.rels",
                     kovo::testing::relationships_xml({{"drawing", "../art/drawing1.xml"},
                                                       {"pivotTable", "../pivot/table1.xml"}}));
  parts.emplace_back("book/art/_rels/drawing1.xml.rels",
                     kovo::testing::relationships_xml({{"chart", "chart1.xml"}, {"chart", "chart2.xml"},
                                                       {"image", "picture.png"}}));
  parts.emplace_back("book/vbaProject.bin", "macros");
  Workbook* b = read(make_package(parts));
  ASSERT_TRUE(b) << opened.error;
  EXPECT_EQ(value_of(*b, "Data", "A1"), Value::num(1));
  for (const char* part : {"charts: 2", "pictures: 1", "pivot tables: 1", "pivot caches: 1", "external links: 1",
                           "macro projects (vbaProject): 1", "merged cells: 2", "names left out: Broken"})
    EXPECT_NE(opened.warning.find(part), std::string::npos) << part << "\n" << opened.warning;
  EXPECT_NE(opened.warning.find("chart sheets: 1"), std::string::npos) << opened.warning;
  ASSERT_EQ(b->sheets().size(), 1u);
  ASSERT_TRUE(b->find_name("Print_Area", b->sheets().front().get()));
}

// Damaged and hostile files are refused cleanly, each with a message that
// says what is wrong; nothing is half-opened.
TEST_F(XlsxReadTest, DamagedAndHostileFilesAreRefused) {
  put("A1", "1");
  put("A2", "=A1*2");
  const fs::path good = dir / "good.xlsx";
  ASSERT_FALSE(save_xlsx_file(*book, good.string()));
  std::string bytes;
  ASSERT_FALSE(read_text_file(good.string(), bytes));
  const std::string sheet_xml = "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>";

  std::string deep = "<sheetData>";
  for (int i = 0; i < 200; ++i) deep += "<x>";
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>"
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
      "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&b;</t></is></c></row></sheetData></worksheet>";
  auto with_laughs = workbook_parts({{"Data", sheet_xml}});
  for (auto& [name, text] : with_laughs)
    if (name == "book/pages/page1.xml") text = laughs;
  auto bomb = workbook_parts({{"Data", sheet_xml}});
  for (auto& [name, text] : bomb)
    if (name == "book/pages/page1.xml") text.insert(text.size() - 12, std::string(20u << 20, ' '));
  auto escaping = workbook_parts({{"Data", sheet_xml}});
  for (auto& [name, text] : escaping)
    if (name == "book/_rels/main.xml.rels") text = kovo::testing::relationships_xml({{"worksheet", "../../../etc/passwd"}});
  std::string many_cells = "<sheetData><row r=\"1\">";
  for (int c = 0; c < 30; ++c) many_cells += "<c><v>1</v></c>";
  many_cells += "</row></sheetData>";
  XlsxLimits small;
  small.max_cells = 20;
  small.max_shared_strings = 3;

  const struct {
    const char* label;
    std::string bytes;
    const char* expected;
    XlsxLimits limits;
  } cases[] = {
      {"not a zip file", "just some text that is no workbook", "no Excel workbook", {}},
      {"truncated", bytes.substr(0, bytes.size() / 2), "no Excel workbook", {}},
      {"cut short of its directory", bytes.substr(0, bytes.size() - 30), "", {}},
      {"a part with a wrong byte", [&] {
         std::string damaged = bytes;
         const auto at = damaged.find("worksheets/sheet1.xml");
         damaged[at + 60] = static_cast<char>(damaged[at + 60] ^ 0x55);
         return damaged;
       }(), "damaged", {}},
      {"no sheet part", make_package({{"_rels/.rels", kovo::testing::relationships_xml({{"officeDocument", "x.xml"}})}}),
       "the part x.xml is missing", {}},
      {"no workbook at all", make_package({{"readme.txt", "hello"}}), "names no workbook part", {}},
      {"a zip bomb", make_package(bomb), "zip bomb", {}},
      {"deep XML", make_package(workbook_parts({{"Data", deep}})), "nested deeper than 64", {}},
      {"an entity expansion", make_package(with_laughs), "document type declaration", {}},
      {"a target outside the package", make_package(escaping), "leads out of the package", {}},
      {"too many cells", make_package(workbook_parts({{"Data", many_cells}})), "more than 20 cells", small},
      {"too many shared strings", make_package(workbook_parts({{"Data", sheet_xml}}, "", {"a", "b", "c", "d"})),
       "more than 3 shared strings", small},
      {"malformed XML", make_package(workbook_parts({{"Data", "<sheetData><row></sheetData>"}})), "malformed", {}},
  };
  for (const auto& c : cases) {
    const std::size_t books_before = app.books().size();
    const LoadResult r = workbook_from_xlsx(app, c.bytes, "Bad.xlsx", c.limits);
    EXPECT_FALSE(r.book) << c.label;
    EXPECT_FALSE(r.error.empty()) << c.label;
    EXPECT_NE(r.error.find(c.expected), std::string::npos) << c.label << ": " << r.error;
    EXPECT_EQ(app.books().size(), books_before) << c.label;
  }
  // The good file itself opens, and a file's path names it in a refusal.
  EXPECT_TRUE(workbook_from_xlsx(app, bytes, "Good.xlsx").book);
  std::ofstream(dir / "bad.xlsx") << "not a workbook";
  const LoadResult bad = load_document(app, (dir / "bad.xlsx").string());
  EXPECT_EQ(bad.error.rfind((dir / "bad.xlsx").string() + ": ", 0), 0u) << bad.error;
}

}  // namespace
}  // namespace kovo::sheet
