// The C API's semantics over the workbook model, with pretend host services:
// cells written and read back (formula notation, coercion, uncalculated
// cells), selection and insertion, the clipboard, names, hidden rows, menus,
// toolbars, what worksheet functions may call, and the XLOPER layouts.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>

#include "sheet_test_support.h"
#include "sheethost/capi.h"
#include "sheethost/xloper_codec.h"

using namespace kovo::sheet;
using kovo::sheet::testing::at;
using kovo::sheet::testing::SheetFixture;

namespace {

struct FakeServices : HostServices, AddinServices {
  std::optional<std::string> clipboard;
  std::uint64_t sequence = 0;
  std::vector<std::pair<std::string, int>> alerts;
  std::vector<std::string> reports, traces;
  bool answer = true;
  std::optional<std::string> clipboard_text() override { return clipboard; }
  bool set_clipboard_text(const std::string& text) override {
    clipboard = text;
    ++sequence;
    return true;
  }
  std::uint64_t clipboard_sequence() override { return sequence; }
  bool alert(const std::string& text, int type) override {
    alerts.emplace_back(text, type);
    return answer;
  }
  void report(const std::string& text) override { reports.push_back(text); }
  std::vector<std::string> statuses;
  void status_text(const std::string& text) override { statuses.push_back(text); }
  std::intptr_t main_window() override { return 0x12345678; }
  std::intptr_t instance() override { return 0x400000; }
  void trace(const std::string& line) override { traces.push_back(line); }
  std::string resolve_module(const std::string& module) override {
    return module == "C:\\addin.xll" || module == "addin.xll" ? "C:\\addin.xll" : "";
  }
  bool open_addin(const std::string& path, std::string& error) override {
    error = "cannot open " + path;
    return false;
  }
  void* find_procedure(const std::string&, const std::string& procedure) override {
    static int dummy;
    return procedure == "missing" ? nullptr : &dummy;
  }
  int auto_registered = 0;
  std::optional<Oper> auto_register(const std::string&, const std::string&) override {
    ++auto_registered;
    return Oper::number(99);
  }
};

Oper str(const std::string& s) { return Oper::text(s); }
Oper numeral(double n) { return Oper::number(n); }

struct SheetApiTest : SheetFixture {
  FakeServices services;
  std::unique_ptr<CApi> api;
  void SetUp() override {
    SheetFixture::SetUp();
    api = std::make_unique<CApi>(app, services);
    api->set_addins(services);
  }
  Oper ref(const std::string& a1, Sheet* on = nullptr) {
    Sheet* s = on ? on : sheet;
    Sheet* target = nullptr;
    std::vector<Area> areas;
    EXPECT_TRUE(parse_reference_text(*s, a1, target, areas)) << a1;
    return Oper::reference(s->id(), areas);
  }
  Oper call(int fn, std::vector<Oper> args, int expected = xlretSuccess) {
    Oper result;
    EXPECT_EQ(api->call(fn, args, result), expected) << CApi::function_name(fn);
    return result;
  }
};

TEST_F(SheetApiTest, FormulaAndGetFormulaInEitherNotation) {
  call(xlcFormula, {str("5"), ref("A1")});
  call(xlcFormula, {str("=R[-1]C*2"), ref("A2")});
  call(xlcFormula, {str("=A2+1"), ref("A3")});
  call(xlcFormula, {str("'0100"), ref("A4")});
  call(xlcFormula, {numeral(1.5), ref("A5")});
  EXPECT_EQ(call(xlfGetFormula, {ref("A2")}).str, "=R[-1]C*2");
  EXPECT_EQ(call(xlfGetFormula, {ref("A3")}).str, "=R[-1]C+1");
  EXPECT_EQ(call(xlfGetFormula, {ref("A1")}).str, "5");
  EXPECT_EQ(call(xlfGetFormula, {ref("B9")}).str, "");
  EXPECT_EQ(text("A4"), "0100");
  EXPECT_EQ(num("A3"), 11) << "automatic calculation after the change";
  EXPECT_EQ(call(xlfGetCell, {numeral(6), ref("A3")}).str, "=A2+1");
  EXPECT_TRUE(call(xlfGetCell, {numeral(48), ref("A3")}).boolean);
  // A formula that does not parse fails and changes nothing.
  call(xlcFormula, {str("=1+"), ref("A1")}, xlretFailed);
  EXPECT_EQ(num("A1"), 5);
  // Under manual calculation the entered cell is calculated, its dependents wait.
  call(xlcCalculation, {numeral(3)});
  call(xlcFormula, {str("=7"), ref("A1")});
  EXPECT_EQ(num("A1"), 7);
  EXPECT_EQ(num("A2"), 10);
  call(xlcCalculateNow, {});
  EXPECT_EQ(num("A3"), 15);
}

TEST_F(SheetApiTest, CoercionGivesValuesInTheTypesAsked) {
  put("A1", "12.7");
  put("A2", "'34");
  put("A3", "abc");
  put("B1", "1");
  put("B2", "2");
  EXPECT_EQ(call(xlCoerce, {ref("A1")}).num, 12.7);
  EXPECT_EQ(call(xlCoerce, {ref("A4")}).type, OperType::Nil);
  EXPECT_EQ(call(xlCoerce, {ref("A2"), Oper::integer(xltypeNum)}).num, 34);
  EXPECT_EQ(call(xlCoerce, {ref("A1"), Oper::integer(xltypeStr)}).str, "12.7");
  EXPECT_EQ(call(xlCoerce, {ref("A1"), Oper::integer(xltypeInt)}).w, 12);
  call(xlCoerce, {ref("A3"), Oper::integer(xltypeNum)}, xlretFailed);
  const Oper block = call(xlCoerce, {ref("A1:B2")});
  ASSERT_EQ(block.type, OperType::Multi);
  EXPECT_EQ(block.rows, 2);
  EXPECT_EQ(block.items[3].num, 2);
  // One cell asked for as an array is an array of one item.
  const Oper one = call(xlCoerce, {ref("A3"), Oper::integer(xltypeMulti)});
  ASSERT_EQ(one.type, OperType::Multi);
  EXPECT_EQ(one.rows * one.cols, 1);
  EXPECT_EQ(one.items.at(0).str, "abc");
  EXPECT_EQ(call(xlCoerce, {numeral(3), Oper::integer(xltypeStr)}).str, "3");
  EXPECT_TRUE(call(xlCoerce, {str("true"), Oper::integer(xltypeBool)}).boolean);
}

// A workbook whose direct reading is refused fails add-ins' xlCoerce of
// its references only; values, and the host's own reading, are unchanged.
TEST_F(SheetApiTest, RefusedDirectReadingFailsOnlyReferenceCoercion) {
  put("A1", "12.7");
  std::string name = sheet->book().name();
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  api->refuse_direct_read(name);
  call(xlCoerce, {ref("A1")}, xlretFailed);
  call(xlCoerce, {ref("A1:B2"), Oper::integer(xltypeMulti)}, xlretFailed);
  EXPECT_EQ(call(xlCoerce, {numeral(3), Oper::integer(xltypeStr)}).str, "3");
  Oper value;
  bool uncalculated = true;
  ASSERT_TRUE(api->read_value(ref("A1"), value, uncalculated));
  EXPECT_FALSE(uncalculated);
  EXPECT_EQ(value.num, 12.7);
}

TEST_F(SheetApiTest, SheetIdsNamesAndSelection) {
  Sheet& second = book->add_sheet("Second");
  const Oper id = call(xlSheetId, {});
  EXPECT_EQ(id.sheet_id, sheet->id());
  EXPECT_TRUE(id.areas.empty());
  EXPECT_EQ(call(xlSheetId, {str("[Book1]Second")}).sheet_id, second.id());
  call(xlSheetId, {str("Nowhere")}, xlretFailed);
  EXPECT_EQ(call(xlSheetNm, {Oper::reference(second.id(), {})}).str, "[Book1]Second");
  call(xlcSelect, {str("B2:C4,E5"), str("C3")});
  const Oper selection = call(xlfSelection, {});
  ASSERT_EQ(selection.areas.size(), 2u);
  EXPECT_EQ(selection.areas[1], Area::cell(at("E5")));
  EXPECT_EQ(call(xlfActiveCell, {}).areas[0], Area::cell(at("C3")));
  call(xlcSelect, {str("A1"), str("C3")}, xlretFailed);  // active cell outside the selection
  call(xlcSelect, {ref("A1", &second)}, xlretFailed);    // not the active sheet
  call(xlcWorkbookActivate, {str("Second")});
  EXPECT_EQ(app.active_sheet(), &second);
  call(xlcActivate, {str("[Book1]Sheet1")});
  EXPECT_EQ(app.active_sheet(), sheet);
  EXPECT_EQ(call(xlfGetWorkbook, {numeral(1)}).items[1].str, "[Book1]Second");
  EXPECT_EQ(call(xlfGetDocument, {numeral(88)}).str, "Book1");
}

TEST_F(SheetApiTest, InsertAndCutMoveCellsWithTheirReferences) {
  put("A1", "1");
  put("A2", "2");
  put("B3", "=SUM(A1:A2)");
  call(xlcSelect, {str("A2")});
  call(xlcInsert, {numeral(3)});  // an entire row before row 2
  EXPECT_EQ(formula("B4"), "=SUM(A1:A3)");
  call(xlcSelect, {str("A1")});
  call(xlcInsert, {numeral(4)});
  EXPECT_EQ(formula("C4"), "=SUM(B1:B3)");
  call(xlcCut, {ref("B3"), ref("E10")});
  EXPECT_EQ(formula("C4"), "=SUM(B1:B3)") << "a range that merely contained the cell stays";
  EXPECT_EQ(num("E10"), 2);
  call(xlcCut, {ref("C4"), ref("F1")});
  EXPECT_EQ(formula("F1"), "=SUM(B1:B3)");
  // Cells shift down under a partial selection.
  put("H1", "top");
  put("H2", "below");
  call(xlcSelect, {str("H1")});
  call(xlcInsert, {numeral(2)});
  EXPECT_EQ(text("H2"), "top");
  EXPECT_EQ(text("H3"), "below");
  sheet->protected_contents = true;
  call(xlcInsert, {numeral(3)}, xlretFailed);
}

TEST_F(SheetApiTest, CopyAndPasteThroughTheClipboard) {
  put("A1", "1");
  put("B1", "=A1*10");
  set_number_format(*sheet, Area::cell(0, 1), "0.00");
  calc();
  call(xlcSelect, {str("A1:B1")});
  call(xlcCopy, {});
  EXPECT_EQ(services.clipboard, "1\t10.00\r\n");
  // Pasted from our own copy: formulas with relative references shifted.
  call(xlcPaste, {ref("A3")});
  EXPECT_EQ(formula("B3"), "=A3*10");
  // Another program's text: typed entries, formulas included.
  services.set_clipboard_text("x\t2\r\n=B5*3\tTRUE\r\n");
  call(xlcPaste, {ref("A5")});
  EXPECT_EQ(text("A5"), "x");
  EXPECT_EQ(num("B5"), 2);
  EXPECT_EQ(num("A6"), 6);
  EXPECT_TRUE(get("B6").boolean);
  // Cut and paste moves.
  call(xlcCut, {ref("A5:B6")});
  call(xlcPaste, {ref("D5")});
  EXPECT_TRUE(get("A5").is_empty());
  EXPECT_EQ(formula("D6"), "=E5*3");
  services.clipboard.reset();
  ++services.sequence;
  call(xlcPaste, {ref("A9")}, xlretFailed);
}

TEST_F(SheetApiTest, RowsAndColumnsHideAndUnhideByReference) {
  Oper rows = ref("A2");
  rows.areas.push_back(Area{4, 0, 5, 0});  // rows 5 and 6
  call(xlcRowHeight, {Oper::missing(), rows, Oper::missing(), numeral(1)});
  EXPECT_TRUE(sheet->row_hidden(1));
  EXPECT_TRUE(sheet->row_hidden(5));
  EXPECT_FALSE(sheet->row_hidden(2));
  call(xlcColumnWidth, {Oper::missing(), ref("C1:D1"), Oper::missing(), numeral(1)});
  EXPECT_TRUE(sheet->col_hidden(3));
  EXPECT_EQ(call(xlfGetCell, {numeral(17), ref("A2")}).num, 0);
  call(xlcRowHeight, {Oper::missing(), ref("A1:A65536"), Oper::missing(), numeral(2)});
  call(xlcColumnWidth, {numeral(0), ref("E1")});
  EXPECT_TRUE(sheet->hidden_rows().empty());
  EXPECT_TRUE(sheet->col_hidden(4));
}

TEST_F(SheetApiTest, NamesNotesFormatsAndDocumentFacts) {
  put("B2", "5");
  put("D7", "x");
  call(xlcDefineName, {str("Amount"), ref("B2")});
  call(xlcDefineName, {str("Rate"), str("=0.5")});
  call(xlcDefineName, {str("Local"), ref("B2"), Oper::missing(), Oper::missing(), Oper::missing(), Oper::missing(),
                       Oper::logical(true)});
  call(xlcDefineName, {str("A1"), ref("B2")}, xlretFailed);
  call(xlcFormula, {str("=Amount*Rate+Local"), ref("C1")});
  EXPECT_EQ(num("C1"), 7.5);
  EXPECT_EQ(call(xlfGetName, {str("Amount")}).str, "=Sheet1!R2C2");
  const Oper evaluated = call(xlfEvaluate, {str("Amount")});
  EXPECT_EQ(evaluated.type, OperType::Ref);
  EXPECT_EQ(call(xlfEvaluate, {str("=Amount+1")}).num, 6);
  call(xlfNote, {str("first"), ref("B2")});
  call(xlfNote, {str("FIRST"), ref("B2"), numeral(1), numeral(5)});
  EXPECT_EQ(call(xlfGetNote, {ref("B2")}).str, "FIRST");
  call(xlcSelect, {str("B2")});
  call(xlcFormatNumber, {str("0.00%")});
  EXPECT_EQ(call(xlfGetCell, {numeral(53), ref("B2")}).str, "500.00%");
  EXPECT_EQ(call(xlfGetDocument, {numeral(10)}).num, 7);
  EXPECT_EQ(call(xlfGetDocument, {numeral(12)}).num, 4);
  EXPECT_FALSE(call(xlfGetDocument, {numeral(7)}).boolean);
  EXPECT_EQ(call(xlfGetWorkspace, {numeral(2)}).str, "12.0");
  call(xlcOptionsCalculation, {numeral(3)});
  EXPECT_EQ(call(xlfGetDocument, {numeral(14)}).num, 3);
}

TEST_F(SheetApiTest, MenusAreAddedOnceListedFoundAndDeleted) {
  EXPECT_EQ(call(xlfGetBar, {numeral(10), str("Kovo"), numeral(0)}).type, OperType::Err);
  Oper table;
  table.type = OperType::Multi;
  table.rows = 3;
  table.cols = 5;
  for (const char* t : {"Kov&o", "", "", "The add-in", "", "&Zero Suppress", "ZeroSuppress", "", "Hide rows", "",
                        "To Viewer/EMail", "ToViewer", "", "", ""})
    table.items.push_back(str(t));
  const Oper position = call(xlfAddMenu, {numeral(1), table, str("Help")});
  EXPECT_EQ(position.num, 9) << "before the Help menu";
  EXPECT_EQ(call(xlfGetBar, {numeral(10), str("kovo"), numeral(0)}).num, 9);
  EXPECT_EQ(call(xlfGetBar, {numeral(1), numeral(9), numeral(0)}).str, "Kov&o");
  EXPECT_EQ(call(xlfGetBar, {numeral(1), str("Kovo"), str("zero suppress")}).num, 1);
  auto found = api->menus().find_command("Kovo/Zero Suppress");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->macro, "ZeroSuppress");
  EXPECT_TRUE(api->menus().find_command("kovo/to viewer/email"));
  EXPECT_NE(api->menus().listing().find("  Zero Suppress  -> ZeroSuppress"), std::string::npos);
  EXPECT_TRUE(call(xlfDeleteMenu, {numeral(1), str("Kovo")}).boolean);
  EXPECT_EQ(call(xlfDeleteMenu, {numeral(1), str("Kovo")}).type, OperType::Err);
}

TEST_F(SheetApiTest, ToolbarsComeFromAFileAndGo) {
  EXPECT_FALSE(api->toolbars().load(R"({"kovoToolbars":1,"toolbars":[{"name":" Kovo Tools","buttons":[{"macro":"GLPaste","tip":"Paste"}]}]})"));
  EXPECT_TRUE(call(xlfGetToolbar, {numeral(7), str(" Kovo Tools")}).boolean);
  EXPECT_EQ(call(xlfGetToolbar, {numeral(7), str("Nothing")}).type, OperType::Err);
  EXPECT_EQ(call(xlfGetToolbar, {numeral(9)}).cols, 3);
  EXPECT_TRUE(call(xlfDeleteToolbar, {str(" Kovo Tools")}).boolean);
  EXPECT_EQ(call(xlfDeleteToolbar, {str("Standard")}).type, OperType::Err) << "built-in toolbars stay";
  EXPECT_TRUE(api->toolbars().load("not json"));
  call(xlcOpen, {str("Z:\\no\\such\\Toolbar_v40.xlb")}, xlretFailed);
  ASSERT_EQ(services.reports.size(), 1u);
}

TEST_F(SheetApiTest, RegistrationRefusesWhatCannotBeCalled) {
  const Oper id = call(xlfRegister, {str("C:\\addin.xll"), str("Echo"), str("RR!"), str("ECHO")});
  ASSERT_EQ(id.type, OperType::Num);
  const Registration* r = api->registry().find_name("echo", false);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->type.is_volatile);
  EXPECT_EQ(call(xlfRegister, {str("addin.xll"), str("Echo"), str("BB"), str("ECHO")}).num, id.num)
      << "registering the same procedure again keeps its id";
  EXPECT_EQ(call(xlfRegister, {str("C:\\addin.xll"), str("Odd"), str("RK"), str("ODD")}).type, OperType::Err);
  EXPECT_EQ(call(xlfRegister, {str("C:\\addin.xll"), str("missing"), str("RR"), str("MISSING")}).type, OperType::Err);
  EXPECT_EQ(call(xlfRegister, {str("C:\\other.xll"), str("X"), str("RR")}).type, OperType::Err);
  EXPECT_EQ(call(xlfRegister, {str("C:\\addin.xll"), str("Auto")}).num, 99) << "xlAutoRegister answers";
  EXPECT_TRUE(call(xlfSetName, {str("ECHO")}).boolean);
  EXPECT_FALSE(api->registry().find_name("ECHO", false));
  EXPECT_TRUE(call(xlfUnregister, {id}).boolean);
  EXPECT_FALSE(api->registry().find_id(id.num));
}

TEST_F(SheetApiTest, RegisterIdFindsARegistrationWithoutRegisteringAgain) {
  const Oper id = call(xlfRegister, {str("C:\\addin.xll"), str("Echo"), str("RR"), str("ECHO")});
  const int asked = services.auto_registered;
  EXPECT_EQ(call(xlfRegisterId, {str("addin.xll"), str("Echo")}).num, id.num);
  EXPECT_EQ(services.auto_registered, asked) << "the add-in is not asked to register anything";
  EXPECT_EQ(call(xlfRegisterId, {str("C:\\addin.xll"), str("Other")}).type, OperType::Err)
      << "unknown, and no type text to register it with";
  const Oper added = call(xlfRegisterId, {str("C:\\addin.xll"), str("Other"), str("BB")});
  ASSERT_EQ(added.type, OperType::Num);
  EXPECT_NE(added.num, id.num);
  EXPECT_EQ(call(xlfRegisterId, {str("C:\\addin.xll"), str("Other"), str("BB")}).num, added.num);
  EXPECT_EQ(api->registry().all().size(), 2u);
  call(xlfRegisterId, {str("C:\\addin.xll")}, xlretFailed);
}

TEST_F(SheetApiTest, AProtectedSheetRefusesEveryChangeAndKeepsItsRows) {
  put("A1", "0");
  put("A2", "5");
  call(xlfNote, {str("kept"), ref("A2")});
  sheet->set_row_hidden(3, true);
  sheet->protected_contents = true;
  call(xlcRowHeight, {Oper::missing(), ref("A1"), Oper::missing(), numeral(1)}, xlretFailed);
  call(xlcRowHeight, {Oper::missing(), ref("A1:A10"), Oper::missing(), numeral(2)}, xlretFailed);
  call(xlcColumnWidth, {Oper::missing(), ref("A1"), Oper::missing(), numeral(1)}, xlretFailed);
  call(xlcColumnWidth, {numeral(20), ref("A1")}, xlretFailed);
  call(xlcFormula, {str("1"), ref("A1")}, xlretFailed);
  call(xlSet, {ref("A1"), numeral(1)}, xlretFailed);
  call(xlfNote, {str("changed"), ref("A2")}, xlretFailed);
  call(xlcSelect, {str("A1")});
  call(xlcFormatNumber, {str("0.00")}, xlretFailed);
  call(xlcInsert, {numeral(3)}, xlretFailed);
  call(xlcPaste, {ref("A5")}, xlretFailed);
  EXPECT_FALSE(sheet->row_hidden(0));
  EXPECT_TRUE(sheet->row_hidden(3));
  EXPECT_TRUE(sheet->hidden_cols().empty());
  EXPECT_TRUE(sheet->col_widths().empty());
  EXPECT_EQ(text("A1"), "0");
  EXPECT_EQ(sheet->find(1, 0)->note, "kept");
  EXPECT_TRUE(sheet->find(0, 0)->format.empty());
  // Reading is allowed, and so is the copy of a protected sheet's cells.
  EXPECT_EQ(call(xlCoerce, {ref("A2")}).num, 5);
  call(xlcCopy, {ref("A1:A2")});
  EXPECT_EQ(services.clipboard, "0\r\n5\r\n");
}

TEST_F(SheetApiTest, DocumentsOpenByTheirExtensionAndTheStatusBarIsTold) {
  call(xlcMessage, {Oper::logical(true), str(" Working...")});
  call(xlcMessage, {Oper::logical(false)});
  EXPECT_EQ(services.statuses, (std::vector<std::string>{" Working...", ""}));
  const auto addin = api->open_document("C:\\other.xll");
  ASSERT_TRUE(addin);
  EXPECT_EQ(*addin, "cannot open C:\\other.xll") << "add-ins go to the add-ins' side";
  const auto unknown = api->open_document("C:\\report.xls");
  ASSERT_TRUE(unknown);
  EXPECT_NE(unknown->find("a file of the type .xls is not one the sheet host knows"), std::string::npos) << *unknown;
  call(xlcOpen, {str("C:\\report.xls")}, xlretFailed);
  EXPECT_EQ(services.reports.back(), *unknown);
}

TEST_F(SheetApiTest, WorksheetFunctionsMayCallOnlyWhatExcelAllowsThem) {
  CallerInfo function;
  function.kind = CallerKind::Function;
  function.sheet = sheet;
  function.cell = at("C3");
  {
    CallerScope scope(*api, function);
    call(xlcFormula, {str("1"), ref("A1")}, xlretInvXlfn);
    call(xlSet, {ref("A1"), numeral(1)}, xlretInvXlfn);
    call(xlfGetCell, {numeral(5), ref("A1")}, xlretInvXlfn);
    const Oper caller = call(xlfCaller, {});
    EXPECT_EQ(caller.type, OperType::SRef);
    EXPECT_EQ(caller.areas[0], Area::cell(at("C3")));
    EXPECT_EQ(call(xlfSum, {numeral(1), numeral(2)}).num, 3);
    EXPECT_EQ(call(xlSheetNm, {caller}).str, "[Book1]Sheet1");
  }
  function.kind = CallerKind::MacroFunction;
  {
    CallerScope scope(*api, function);
    call(xlfGetCell, {numeral(5), ref("A1")});
    call(xlcFormula, {str("1"), ref("A1")}, xlretInvXlfn);
  }
  call(xlSet, {ref("A1:B2"), numeral(4)});
  EXPECT_EQ(num("B2"), 4);
  call(12345, {}, xlretInvXlfn);
  api->set_tracing(true);
  call(0x4000 | 99, {}, xlretInvXlfn);
  ASSERT_FALSE(services.traces.empty());
  EXPECT_NE(services.traces.back().find("not offered"), std::string::npos);
  call(xlcAlert, {str("Thank you"), numeral(2)});
  EXPECT_EQ(services.alerts.back().first, "Thank you");
  EXPECT_NE(services.traces.back().find("ALERT(\"Thank you\", 2) = 0 TRUE"), std::string::npos) << services.traces.back();
}

TEST(SheetXloper, ValuesCrossBothLayoutsAndComeBackFree) {
  HostMemory memory;
  Oper multi;
  multi.type = OperType::Multi;
  multi.rows = 1;
  multi.cols = 3;
  multi.items = {Oper::text("caf\xC3\xA9 \xE2\x82\xAC"), Oper::number(2.5), Oper::error(xlerrNA)};
  for (const Oper& o : {Oper::text(std::string(300, 'x')), multi, Oper::reference(7, {Area{1, 2, 3, 4}, Area::cell(9, 9)}),
                        Oper::single_reference(Area{0, 0, 16383, 255}), Oper::logical(true), Oper::integer(-3)}) {
    XLOPER x;
    to_xloper(o, x, memory);
    auto back = from_xloper(x);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->type, o.type);
    XLOPER12 y;
    to_xloper12(o, y, memory);
    auto back12 = from_xloper12(y);
    ASSERT_TRUE(back12);
    if (o.type == OperType::Str) {
      EXPECT_EQ(back->str.size(), 255u) << "XLOPER texts stop at 255 bytes";
      EXPECT_EQ(back12->str, o.str);
    }
    if (o.type == OperType::Multi) {
      EXPECT_EQ(back->items[0].str, o.items[0].str) << "code page 1252 keeps the euro sign";
      EXPECT_EQ(back12->items[2].err, xlerrNA);
    }
    if (o.type == OperType::Ref) {
      EXPECT_EQ(back->areas, o.areas);
      EXPECT_EQ(back12->sheet_id, 7u);
    }
    EXPECT_TRUE(memory.free_xloper(x));
    EXPECT_TRUE(memory.free_xloper12(y));
  }
  EXPECT_EQ(memory.outstanding(), 0u);
  // What is not the host's is not freed, and malformed values are refused.
  char foreign[] = "\003abc";
  XLOPER s{};
  s.xltype = xltypeStr;
  s.val.str = foreign;
  EXPECT_FALSE(memory.free_xloper(s));
  s.val.str = nullptr;
  EXPECT_FALSE(from_xloper(s));
  XLOPER bad_ref{};
  bad_ref.xltype = xltypeSRef;
  bad_ref.val.sref.ref = {5, 2, 0, 0};
  EXPECT_FALSE(from_xloper(bad_ref));
  XLOPER12 bad_array{};
  bad_array.xltype = xltypeMulti;
  bad_array.val.array.rows = -1;
  bad_array.val.array.columns = 2;
  EXPECT_FALSE(from_xloper12(bad_array));
}

}  // namespace
