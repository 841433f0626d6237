// kovo-sheet's window as a person uses it, driven by window messages from
// this process: keys and characters into the grid, text into the formula
// bar, menu commands by their ids, F9; the workbook saved from the menu is
// the model checked afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "program_runner.h"
#include "sheethost/grid_window_win.h"
#include "sheethost/host_window_win.h"

namespace fs = std::filesystem;
using kovo::sheet::GridWindow;
using kovo::sheet::HostWindow;
using kovo::testing::bin_folder;
using kovo::testing::run_program;

namespace {

// The window numbers the add-ins' menu commands from 1000 in menu order.
// (A menu handle of another process cannot be read under Wine, so the test
// goes by these ids.)
constexpr WPARAM kFirstAddinCommand = 1000;

struct SheetWindowTest : ::testing::Test {
  fs::path dir;
  PROCESS_INFORMATION process{};
  HWND main = nullptr, grid = nullptr, formula_bar = nullptr, name_box = nullptr;

  void SetUp() override {
    dir = fs::temp_directory_path() / ("kovo-sheetwin-" + std::to_string(GetCurrentProcessId()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    if (process.hProcess) {
      if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
      CloseHandle(process.hProcess);
      CloseHandle(process.hThread);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
  static std::string q(const std::string& p) { return "\"" + p + "\""; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name, std::ios::binary) << text;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(dir / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string sheet_exe() const { return q(bin_folder() + "kovo-sheet.exe"); }

  // Starts the program and waits until its main window is shown (or the
  // program ends, which fails the test).
  void start(const std::string& arguments) {
    std::string line = sheet_exe() + " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    struct Search {
      DWORD pid;
      HWND found;
    } search{process.dwProcessId, nullptr};
    auto find_main = [](HWND hwnd, LPARAM lparam) -> BOOL {
      auto* s = reinterpret_cast<Search*>(lparam);
      DWORD pid = 0;
      GetWindowThreadProcessId(hwnd, &pid);
      char cls[32] = {};
      GetClassNameA(hwnd, cls, sizeof cls);
      if (pid == s->pid && std::string(cls) == "XLMAIN" && IsWindowVisible(hwnd)) {
        s->found = hwnd;
        return FALSE;
      }
      return TRUE;
    };
    const DWORD deadline = GetTickCount() + 60000;
    while (!search.found && GetTickCount() < deadline) {
      EnumWindows(find_main, reinterpret_cast<LPARAM>(&search));
      // Waiting on the process: an early end shows at once.
      if (!search.found && WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) break;
    }
    ASSERT_TRUE(search.found) << "no main window";
    main = search.found;
    grid = GetDlgItem(main, GridWindow::kControlId);
    formula_bar = GetDlgItem(main, HostWindow::kFormulaBarId);
    name_box = GetDlgItem(main, HostWindow::kNameBoxId);
    ASSERT_TRUE(grid && formula_bar && name_box);
  }
  // Each message is handled before SendMessage returns: no waiting needed.
  void key(WPARAM vk) { SendMessageW(grid, WM_KEYDOWN, vk, 0); }
  void type(const std::string& text) {
    for (char c : text) SendMessageW(grid, WM_CHAR, static_cast<unsigned char>(c), 0);
  }
  void command(WPARAM id) { SendMessageW(main, WM_COMMAND, id, 0); }
  static std::string text_of(HWND window) {
    char buffer[1024] = {};
    SendMessageA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    return buffer;
  }
  // The workbook saved from the window, its values as CSV.
  std::string values_of(const std::string& book) {
    const auto r = run_program(sheet_exe() + " --open " + q(path(book)) + " --export " + q(path("values.csv")));
    EXPECT_EQ(r.exit_code, 0u) << r.errors;
    return read("values.csv");
  }
  void close_and_expect_success() {
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(code, 0u);
  }
};

TEST_F(SheetWindowTest, TypingFormulasTheFormulaBarAndF9ChangeTheModel) {
  write("start.csv", "4,5\r\n");
  ASSERT_EQ(run_program(sheet_exe() + " --open " + q(path("start.csv")) + " --save " + q(path("book.json"))).exit_code,
            0u);
  ASSERT_NO_FATAL_FAILURE(start(q(path("book.json"))));
  EXPECT_EQ(text_of(formula_bar), "4") << "A1 is active";

  key(VK_DOWN);
  type("=A1*3");
  EXPECT_EQ(text_of(formula_bar), "=A1*3") << "the entry shows in the formula bar while typed";
  key(VK_RETURN);
  EXPECT_EQ(text_of(name_box), "A3");
  key(VK_UP);
  EXPECT_EQ(text_of(formula_bar), "=A1*3");

  // Manual calculation: a new entry leaves the formulas as they were until F9.
  command(kovo::sheet::kCmdManual);
  key(VK_UP);
  type("10");
  key(VK_RETURN);
  command(kovo::sheet::kCmdSave);
  EXPECT_EQ(values_of("book.json"), "10,5\r\n12,\r\n") << "A2 keeps its last value";

  // The formula bar enters its text into the active cell on Enter.
  key(VK_UP);
  key(VK_RIGHT);
  EXPECT_EQ(text_of(name_box), "B1");
  SendMessageW(formula_bar, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"=A2+1"));
  SendMessageW(formula_bar, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(text_of(name_box), "B2");
  key(VK_F9);
  command(kovo::sheet::kCmdSave);
  EXPECT_EQ(values_of("book.json"), "10,31\r\n30,\r\n");
  const std::string json = read("book.json");
  EXPECT_NE(json.find("\"formula\": \"=A2+1\""), std::string::npos) << json;

  // Back to automatic: the next entry recalculates at once.
  command(kovo::sheet::kCmdAutomatic);
  key(VK_UP);
  key(VK_LEFT);
  type("1");
  key(VK_RETURN);
  command(kovo::sheet::kCmdSave);
  EXPECT_EQ(values_of("book.json"), "1,4\r\n3,\r\n");
  close_and_expect_success();
}

// An Excel workbook opens in the window with its formulas, and File > Save
// writes it back as an Excel workbook where it came from.
TEST_F(SheetWindowTest, AnExcelWorkbookOpensInTheWindowAndSavesBack) {
  write("start.csv", "4,=A1*2\r\n");
  ASSERT_EQ(run_program(sheet_exe() + " --open " + q(path("start.csv")) + " --save " + q(path("book.xlsx"))).exit_code,
            0u);
  ASSERT_NO_FATAL_FAILURE(start(q(path("book.xlsx"))));
  EXPECT_EQ(text_of(formula_bar), "4") << "A1 is active";
  key(VK_RIGHT);
  EXPECT_EQ(text_of(formula_bar), "=A1*2");
  key(VK_LEFT);
  type("21");
  key(VK_RETURN);
  command(kovo::sheet::kCmdSave);
  EXPECT_EQ(values_of("book.xlsx"), "21,42\r\n");
  EXPECT_EQ(read("book.xlsx").substr(0, 2), "PK") << "still an Excel workbook";
  close_and_expect_success();
}

TEST_F(SheetWindowTest, ShiftSelectionDeleteAndEscapeWorkOnTheSheet) {
  write("start.csv", "1,2,3\r\n4,5,6\r\n");
  ASSERT_EQ(run_program(sheet_exe() + " --open " + q(path("start.csv")) + " --save " + q(path("book.json"))).exit_code,
            0u);
  ASSERT_NO_FATAL_FAILURE(start(q(path("book.json"))));
  // Shift cannot be held from another process; the Clear Contents command
  // works on the selection made by clicks instead: B1 then shift-click C2.
  const LPARAM b1 = MAKELPARAM(46 + 72 + 10, 20 + 10);
  const LPARAM c2 = MAKELPARAM(46 + 72 * 2 + 10, 20 + 20 + 10);
  SendMessageW(grid, WM_LBUTTONDOWN, 0, b1);
  SendMessageW(grid, WM_LBUTTONUP, 0, b1);
  SendMessageW(grid, WM_LBUTTONDOWN, MK_SHIFT, c2);
  SendMessageW(grid, WM_LBUTTONUP, MK_SHIFT, c2);
  EXPECT_EQ(text_of(name_box), "2R x 2C");
  command(kovo::sheet::kCmdClear);
  // Escape drops an entry: A1 keeps its value.
  SendMessageW(grid, WM_LBUTTONDOWN, 0, MAKELPARAM(50, 30));
  SendMessageW(grid, WM_LBUTTONUP, 0, MAKELPARAM(50, 30));
  type("99");
  key(VK_ESCAPE);
  command(kovo::sheet::kCmdSave);
  EXPECT_EQ(values_of("book.json"), "1\r\n4\r\n");
  close_and_expect_success();
}

// The add-in's menu runs its command from the menu bar; the grid shows what
// the command wrote and the sheet it made active.
TEST_F(SheetWindowTest, AnAddinMenuCommandRunsFromTheMenuBar) {
  write("w.csv", "1\r\n");
  const std::string xll = bin_folder() + "KovoTest.xll";
  ASSERT_NO_FATAL_FAILURE(start("--addin " + q(xll) + " --open " + q(path("w.csv"))));
  command(kFirstAddinCommand);  // Test/Write Cells
  // The command writes "Item" and "Amount" in A1:B1.
  SendMessageW(grid, WM_LBUTTONDOWN, 0, MAKELPARAM(46 + 72 + 10, 20 + 10));
  SendMessageW(grid, WM_LBUTTONUP, 0, MAKELPARAM(46 + 72 + 10, 20 + 10));
  EXPECT_EQ(text_of(formula_bar), "Amount");
  close_and_expect_success();
}

}  // namespace
