// Values the sheet host will not hand over through the C API, read by the
// add-in through the running application's automation object instead: the
// figure comes out right when the running application is this sheet host,
// and when another sheet host answers for the running application the user
// is told once, the add-in looks once more and the cells show the argument
// as unreadable. The sheet host refuses direct reading of a workbook's
// cells when asked to (--refuse-direct-read).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "program_runner.h"
#include "server_fixture.h"
#include "sheet_files.h"
#include "sheet_runner.h"

namespace {

namespace fs = std::filesystem;
using kovo::testing::bin_folder;
using kovo::testing::read_text;
using kovo::testing::csv_line;
using kovo::testing::csv_cells;
using kovo::testing::ProgramResult;
using kovo::testing::ScopedEnv;
using kovo::testing::ServerFolder;
using kovo::testing::settings_file;
using kovo::testing::wait_for;

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

bool server_running() { return FindWindowA("KovoMainServerClass", nullptr) != nullptr; }

// Another sheet host, without the add-in, shown in its window so that it
// takes automation calls until it is closed.
class OtherSheetHost {
 public:
  OtherSheetHost() {
    runner_ = std::thread([this] {
      result_ = kovo::testing::run_program("\"" + bin_folder() + "kovo-sheet.exe\" --window --trace", {}, 150000);
      done_ = true;
    });
    // Its window shows once its application object is in the running-object table.
    wait_for([this] {
      window_ = find_window();
      return window_ != nullptr || done_.load();
    }, 60000);
  }
  ~OtherSheetHost() { close(); }
  bool running() const { return window_ != nullptr && !done_.load(); }
  // Closes its window and answers what it wrote.
  const ProgramResult& close() {
    if (runner_.joinable()) {
      if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
      wait_for([this] { return done_.load(); }, 60000);
      runner_.join();
    }
    return result_;
  }

 private:
  static HWND find_window() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          char name[32] = {};
          GetClassNameA(w, name, sizeof name);
          if (std::string(name) == "XLMAIN" && IsWindowVisible(w)) {
            *reinterpret_cast<HWND*>(p) = w;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }

  std::thread runner_;
  std::atomic<bool> done_{false};
  HWND window_ = nullptr;
  ProgramResult result_;
};

class CrossInstance : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::make_unique<ServerFolder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
    WritePrivateProfileStringA("Kovo Server", "Path", (folder_->path().string() + "\\").c_str(), settings_file().c_str());
    WritePrivateProfileStringA("Kovo Excel", "BuildToolBar", "N", settings_file().c_str());
    folder_->add_versioned_connector();
    ASSERT_TRUE(folder_->start());
  }
  void TearDown() override {
    EXPECT_TRUE(wait_for([] { return !server_running(); }, 20000));
    folder_.reset();
  }
  fs::path file(const std::string& name) const { return folder_->path() / name; }

  // The rows imported with direct reading of their own workbook refused
  // (importing calculates them once) and exported.
  std::vector<std::vector<std::string>> calculate(const std::string& csv, ProgramResult& run) {
    std::ofstream(file("in.csv"), std::ios::binary) << csv;
    run = kovo::testing::run_sheet_host("\"" + bin_folder() + "kovo-sheet.exe\" --trace --addin \"" + bin_folder() +
                                        "Kovo.XLL\" --refuse-direct-read in.csv --import \"" + file("in.csv").string() +
                                        "\" --export \"" + file("out.csv").string() + "\"");
    EXPECT_EQ(run.exit_code, 0u) << run.errors;
    return csv_cells(read_text(file("out.csv")));
  }

  std::unique_ptr<ServerFolder> folder_;
};

constexpr char kOtherInstances[] =
    "kovo-sheet: box \"Error\" (answered OK): Unable to complete calculation with other instances of Excel Opened";

TEST_F(CrossInstance, ValuesTheHostWillNotHandOverAreReadThroughAutomation) {
  ProgramResult run;
  const auto cells = calculate(csv_line({"4000-10", "=GL(A1)", "=12.7", "=GL(A1,C1)"}) +
                                   csv_line({"a", "=\"\"", "c", "=GL(A2:C2)"}) +
                                   csv_line({"LEDRA5", "=GL(\"x\",,,,,,A3)", "=BSPEC(\"1000\",A2:C2)", "=GL(C3)"}),
                               run);
  ASSERT_EQ(cells.size(), 3u) << run.errors;
  EXPECT_EQ(cells[0][1], "code 100 [4000-10]");
  EXPECT_EQ(cells[0][3], "code 100 [4000-10;12]") << "a number read through automation is still a number";
  EXPECT_EQ(cells[1][3], "code 100 [a,c]") << "a range read as one array";
  EXPECT_EQ(cells[2][1], "code 100 [x]") << "the Topic read as text through automation";
  EXPECT_EQ(cells[2][2], "(1000)(a,c)");
  EXPECT_EQ(cells[2][3], "code 100 [(1000)(a,c)]") << "a formula's value read through automation";
  // The direct reading failed, and automation was used on this very host.
  EXPECT_NE(run.errors.find("trace: xlCoerce: direct reading of [in.csv]in is refused"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("trace: automation Application.ExecuteExcel4Macro(\"CALL(\""), std::string::npos);
  EXPECT_NE(run.errors.find("trace: call CheckInstance of Kovo.XLL = 1"), std::string::npos);
  EXPECT_NE(run.errors.find("trace: automation Workbooks.Item(\"in.csv\") = Workbook"), std::string::npos);
  EXPECT_NE(run.errors.find("trace: automation Worksheets.Item(\"in\") = Worksheet"), std::string::npos);
  EXPECT_NE(run.errors.find("trace: automation Range.Value = \"4000-10\""), std::string::npos) << run.errors;
  EXPECT_EQ(run.errors.find("kovo-sheet: box"), std::string::npos) << "no box when this host answers";
}

TEST_F(CrossInstance, AnotherInstanceInTheWayIsToldOnceAndTheArgumentsAreUnreadable) {
  OtherSheetHost other;
  ASSERT_TRUE(other.running());
  ProgramResult run;
  const auto cells =
      calculate(csv_line({"4000-10", "=GL(A1)", "=GL(CONCATENATE(B1,A1))"}) + csv_line({"20", "=GL(\"y\",A2)"}), run);
  const ProgramResult& seen = other.close();
  ASSERT_EQ(cells.size(), 2u) << run.errors;
  EXPECT_EQ(cells[0][1], "Parameter 1not a string.");
  EXPECT_EQ(cells[1][1], "Parameter 2not a string.");
  EXPECT_NE(cells[0][2].find("code 100 ["), std::string::npos) << "a value the formula computes needs no reading";
  EXPECT_EQ(count_of(run.errors, kOtherInstances), 1u) << "told once while the add-in is loaded\n" << run.errors;
  // The other host was asked to call CheckInstance twice for each of the two readings.
  EXPECT_EQ(count_of(seen.errors, "trace: automation Application.ExecuteExcel4Macro(\"CALL("), 4u) << seen.errors;
  EXPECT_NE(seen.errors.find("is not an open add-in"), std::string::npos);
  EXPECT_EQ(seen.errors.find("trace: automation Workbooks"), std::string::npos) << "nothing is read from it";
  EXPECT_EQ(run.errors.find("trace: call CheckInstance"), std::string::npos);
}

}  // namespace
