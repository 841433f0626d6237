// kovo-sheet as a program under Wine with the tests' own add-in: formulas
// calling its functions through every kind of argument, its commands and
// menu, its C API calls seen in the trace, the real clipboard, boxes in a
// batch run, and failures that end the run with a clear message.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstring>
#include <string>

#include "program_runner.h"

namespace fs = std::filesystem;
using kovo::testing::bin_folder;
using kovo::testing::ProgramResult;
using kovo::testing::run_program;

namespace {

struct SheetHostTest : ::testing::Test {
  fs::path dir;
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kovo-sheet-" + std::to_string(GetCurrentProcessId()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string xll() const { return bin_folder() + "KovoTest.xll"; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name, std::ios::binary) << text;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  ProgramResult sheet(const std::string& arguments) const {
    return run_program("\"" + bin_folder() + "kovo-sheet.exe\" " + arguments, {}, 60000);
  }
  std::string q(const std::string& p) const { return "\"" + p + "\""; }
};

TEST_F(SheetHostTest, AddinFunctionsInACsvComputeThroughImportCalcAndExport) {
  write("in.csv",
        "10,\"=TXADD(A1,2.5)\"\r\n"
        "=TXECHO(A1)*3,\"=TXECHO(\"\"text\"\")\"\r\n"
        "\"=TXCONCAT(\"\"ab\"\",A1)\",\"=TXUPPER(\"\"m\xC3\xBCnchen\"\")\"\r\n"
        "\"=TXMIXA(7,1.5,\"\"abc\"\",\"\"de\"\",4,2.5)\",\"=TXMIXB(1,2,3,4,5)\"\r\n"
        "=TXTEXT12(12.5),=TXDLLFREE()\r\n"
        "=TXXLFREE(),=TXCALLER()\r\n"
        "=TXPEEK(B7),=B8+1\r\n"
        "\"=TXSTILL(\"\"x\"\")\",=TXTRYFORMULA()\r\n"
        "=NOSUCHFN(1),=TXFREES()\r\n");
  const auto r = sheet("--addin " + q(xll()) + " --import " + q(path("in.csv")) + " --calc --export " + q(path("out.csv")));
  ASSERT_EQ(r.exit_code, 0u) << r.errors;
  EXPECT_EQ(read("out.csv"),
            "10,12.5\r\n"
            "30,text\r\n"
            "ab+10,M\xC3\xBCNCHEN\r\n"
            "701824.25,54321\r\n"
            "12.5 (12),freed by the add-in\r\n"
            "12.0,[in.csv]in!R6C2\r\n"
            "6,3\r\n"
            "#VALUE!,2\r\n"
            "#NAME?,4\r\n");
}

TEST_F(SheetHostTest, CommandsAndMenuWorkTheWorkbookAndTheTraceListsTheirCalls) {
  write("start.csv", "\r\n");
  const auto r = sheet("--trace --addin " + q(xll()) + " --import " + q(path("start.csv")) +
                       " --run \"Test/Write Cells\" --run \"test/edit cells\" --run TxReport --calc --save " +
                       q(path("book.json")) + " --print");
  ASSERT_EQ(r.exit_code, 0u) << r.errors;
  const std::string json = read("book.json");
  // TxWrite's cells after TxEdit inserted a row before row 2: formulas follow.
  for (const char* expected : {"\"B5\": {\n          \"formula\": \"=SUM(B3:B4)\"", "\"formula\": \"=B3*2\"",
                               "\"note\": \"checked by the add-in\"", "\"format\": \"#,##0.00\"",
                               "\"refersTo\": \"=start!$B$3:$B$5\"", "\"hiddenRows\": [\n        2,\n        12,\n        13\n      ]",
                               "\"A10\": \"Item\"", "\"formula\": \"=SUM(B12:B13)\"", "\"F3\": \"[start.csv]start\"",
                               "\"F4\": \"12.0\"", "\"F5\": 3601.5", "\"F6\": \"window\""})
    EXPECT_NE(json.find(expected), std::string::npos) << expected << "\n" << json;
  // The printed table leaves the hidden rows out and shows formatted values.
  EXPECT_NE(r.output.find(" 5  Total  3,601.50"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("\n 2 "), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("\n12 "), std::string::npos) << r.output;
  for (const char* line : {"trace: loaded ", "trace: call SetExcel12EntryPt of KovoTest.xll",
                           "trace: Excel4 xlGetName() = 0 \"", "trace: Excel4 REGISTER(\"", "trace: Excel4 GET.BAR(10, \"Test\", 0) = 0 #N/A",
                           "trace: Excel4 ADD.MENU(1, {4x5}, \"Help\") = 0 ", "trace: call xlAutoOpen of KovoTest.xll = 1",
                           "trace: run command TxWrite of KovoTest.xll", "trace: Excel4 FORMULA(\"=R[-1]C*2\", R3C2) = 0 TRUE",
                           "trace: Excel4 INSERT(3) = 0 TRUE", "trace: Excel4 COPY() = 0 TRUE", "trace: Excel4 xlFree",
                           "trace: Excel4 DELETE.MENU(1, \"Test\") = 0 TRUE", "trace: call xlAutoClose of KovoTest.xll = 1"})
    EXPECT_NE(r.errors.find(line), std::string::npos) << line << "\n" << r.errors;
}

TEST_F(SheetHostTest, VolatileFunctionsRecalculateEveryTimeOthersWhenTheirInputsChange) {
  write("v.csv", "=TXCOUNT(),=TXSTILL(1),=B1+0\r\n");
  const auto r = sheet("--addin " + q(xll()) + " --import " + q(path("v.csv")) +
                       " --run TxCalcNow --run TxCalcNow --export " + q(path("v.out.csv")));
  ASSERT_EQ(r.exit_code, 0u) << r.errors;
  EXPECT_EQ(read("v.out.csv"), "3,1001,1001\r\n");
}

TEST_F(SheetHostTest, PasteTakesTextThatAnotherProgramPutOnTheClipboard) {
  const std::wstring table = L"alpha\t2\r\n=B20*5\tbeta\r\n";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (table.size() + 1) * sizeof(wchar_t));
  std::memcpy(GlobalLock(block), table.c_str(), (table.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(block);
  ASSERT_TRUE(SetClipboardData(CF_UNICODETEXT, block));
  CloseClipboard();
  write("p.csv", "x\r\n");
  const auto r = sheet("--addin " + q(xll()) + " --import " + q(path("p.csv")) + " --run TxPaste --export " +
                       q(path("p.out.csv")));
  ASSERT_EQ(r.exit_code, 0u) << r.errors;
  const std::string out = read("p.out.csv");
  EXPECT_NE(out.find("\r\nalpha,2\r\n10,beta\r\n"), std::string::npos) << out;
}

TEST_F(SheetHostTest, BoxesOfABatchRunGoToStandardErrorAndTheAddinManagerEntriesRun) {
  write("a.csv", "1\r\n");
  const auto r = sheet("--trace --install-addin " + q(xll()) + " --import " + q(path("a.csv")) +
                       " --run TxAlert --export " + q(path("a.out.csv")) + " --remove-addin " + q(xll()));
  ASSERT_EQ(r.exit_code, 0u) << r.errors;
  for (const char* line : {"kovo-sheet: alert: Test add-in added", "kovo-sheet: alert: A question from the add-in",
                           "call xlAddInManagerInfo of KovoTest.xll = \"Kovo Test Add-in\"",
                           "kovo-sheet: alert: Test add-in removed", "call xlAutoClose of KovoTest.xll"})
    EXPECT_NE(r.errors.find(line), std::string::npos) << line << "\n" << r.errors;
  EXPECT_EQ(read("a.out.csv"), "1,,,,,,answered OK\r\n");
}

TEST_F(SheetHostTest, AnAddinsOwnBoxIsAnsweredByABatchRun) {
  write("b.csv", "1\r\n");
  const auto r = sheet("--addin " + q(xll()) + " --import " + q(path("b.csv")) + " --run TxBox --export " +
                       q(path("b.out.csv")));
  ASSERT_EQ(r.exit_code, 0u) << r.errors;
  std::string errors = r.errors;
  errors.erase(std::remove(errors.begin(), errors.end(), '\r'), errors.end());
  EXPECT_NE(errors.find("kovo-sheet: box \"Test Add-in\" (answered No): Keep the test going?\nSecond line\n"),
            std::string::npos)
      << errors;
  EXPECT_EQ(read("b.out.csv"), "1,,,,,,,,No\r\n") << "the box's default button";
}

TEST_F(SheetHostTest, SavingRefusesAReadOnlyFileAndLeavesIt) {
  write("s.csv", "1,2\r\n");
  write("book.json", "old");
  ASSERT_TRUE(SetFileAttributesA(path("book.json").c_str(), FILE_ATTRIBUTE_READONLY));
  const auto r = sheet("--import " + q(path("s.csv")) + " --save " + q(path("book.json")));
  SetFileAttributesA(path("book.json").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(r.exit_code, 1u);
  EXPECT_NE(r.errors.find("book.json: the file is read-only; it is left as it is"), std::string::npos) << r.errors;
  EXPECT_EQ(read("book.json"), "old");
  const auto copy = sheet("--import " + q(path("s.csv")) + " --save " + q(path("copy.json")) + " --save " +
                          q(path("copy.csv")));
  ASSERT_EQ(copy.exit_code, 0u) << copy.errors;
  EXPECT_NE(read("copy.json").find("\"kovoSheet\": 1"), std::string::npos);
  EXPECT_EQ(read("copy.csv"), "1,2\r\n");
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names.size(), 4u) << "no temporary file left beside the targets";
}

TEST_F(SheetHostTest, FailuresEndTheRunWithAClearMessage) {
  write("bad.json", "{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"B7\":{\"formula\":\"=1+\"}}}]}");
  write("huge.json", "{\"kovoSheet\":1,\"sheets\":[{\"name\":\"S\",\"cells\":{\"B7\":1e400}}]}");
  write("deep.json", std::string(12000, '[') + std::string(12000, ']'));
  write("book.txt", "{}");
  const struct {
    std::string args;
    unsigned status;
    std::string message;
  } cases[] = {
      {"--addin " + q(path("none.xll")), 1, "none.xll: no such add-in file"},
      {"--open " + q(path("bad.json")), 1, "cells.B7.formula: \"=1+\" does not parse"},
      {"--open " + q(path("huge.json")), 1, "huge.json: sheets[0] (\"S\").cells.B7: the number 1e400 is out of range"},
      {"--open " + q(path("deep.json")), 1, "deep.json: the file is not valid JSON (line 1, column 65: the values nest deeper than 64 levels)"},
      {"--open " + q(path("book.txt")), 1, "book.txt: a file of the type .txt is not one the sheet host knows"},
      {"--addin " + q(xll()) + " --run Nothing", 1, "no command macro \"Nothing\" (registered commands: TxWrite"},
      {"--frobnicate", 2, "unknown option \"--frobnicate\""},
      {"--print", 1, "no workbook is open"},
  };
  for (const auto& c : cases) {
    const auto r = sheet(c.args);
    EXPECT_EQ(r.exit_code, c.status) << c.args;
    EXPECT_NE(r.errors.find(c.message), std::string::npos) << c.args << "\n" << r.errors;
  }
  SetEnvironmentVariableA("KOVO_TEST_XLL_FAIL_OPEN", "1");
  const auto refused = sheet("--addin " + q(xll()) + " --print");
  SetEnvironmentVariableA("KOVO_TEST_XLL_FAIL_OPEN", nullptr);
  EXPECT_EQ(refused.exit_code, 1u);
  EXPECT_NE(refused.errors.find("xlAutoOpen answered 0"), std::string::npos) << refused.errors;
}

// A report calculated headless comes back as an Excel workbook, which opens
// again; a damaged one is refused.
TEST_F(SheetHostTest, ABatchRunSavesAnExcelWorkbook) {
  write("r.csv", "2,=A1*21\r\n");
  const auto r = sheet("--addin " + q(xll()) + " --open " + q(path("r.csv")) + " --calc --save " + q(path("r.xlsx")));
  ASSERT_EQ(r.exit_code, 0u) << r.errors;
  const std::string bytes = read("r.xlsx");
  ASSERT_GT(bytes.size(), 1000u);
  EXPECT_EQ(bytes.substr(0, 2), "PK") << "a zip package";
  EXPECT_NE(bytes.find("xl/worksheets/sheet1.xml"), std::string::npos);
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << "nothing left beside the target";
  // Opened back (the same way a file named alone opens in the window), the
  // figure is there before and after recalculating.
  const auto reopened = sheet("--open " + q(path("r.xlsx")) + " --print --addin " + q(xll()) + " --calc --print");
  ASSERT_EQ(reopened.exit_code, 0u) << reopened.errors;
  EXPECT_EQ(reopened.errors, "");
  const std::string table = reopened.output;
  const auto first = table.find("42");
  ASSERT_NE(first, std::string::npos) << table;
  EXPECT_NE(table.find("42", first + 2), std::string::npos) << table;
  write("broken.xlsx", bytes.substr(0, bytes.size() / 2));
  const auto broken = sheet("--open " + q(path("broken.xlsx")) + " --print");
  EXPECT_EQ(broken.exit_code, 1u);
  EXPECT_NE(broken.errors.find("broken.xlsx: the file is no Excel workbook"), std::string::npos) << broken.errors;
}

TEST_F(SheetHostTest, RegistrationThroughAutoRegisterAndTheMenuListing) {
  write("m.csv", "1\r\n");
  const auto r = sheet("--addin " + q(xll()) + " --menus --import " + q(path("m.csv")) + " --run TxLate");
  EXPECT_EQ(r.exit_code, 1u) << "TxLate is registered only when asked for";
  EXPECT_NE(r.output.find("Test\n  Write Cells  -> TxWrite\n  Edit Cells...  -> TxEdit\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Help"), std::string::npos);
  const auto late = sheet("--addin " + q(xll()) + " --import " + q(path("m.csv")) +
                          " --run TxRegisterLate --run TxLate --export " + q(path("m.out.csv")));
  ASSERT_EQ(late.exit_code, 0u) << late.errors;
  EXPECT_EQ(read("m.out.csv"), "1,,,,,,,late\r\n");
}

}  // namespace
