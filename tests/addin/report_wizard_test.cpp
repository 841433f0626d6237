// The report wizard in the sheet host under Wine, on the demo ledger with
// Kovo.exe and the real connector: its windows driven by window messages
// through every step, the report built and recalculated with the figures
// the connector console gives for the same accounts and periods, and a
// second run that starts from the names the first one wrote.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "addin/resources/wizard_dialog_ids.h"
#include "demo_ledger.h"
#include "program_runner.h"
#include "server_fixture.h"
#include "sheet_files.h"
#include "sheet_runner.h"
#include "tools/winctl/window_driver.h"

namespace {

namespace fs = std::filesystem;
using kovo::testing::bin_folder;
using kovo::testing::read_text;
using kovo::testing::csv_cells;
using kovo::testing::ProgramResult;
using kovo::testing::ServerFolder;
using kovo::testing::settings_file;
using kovo::testing::wait_for;
namespace drive = kovo::winctl;

constexpr char kWizard[] = "Kovo Report Wizard";
constexpr char kRemaining[] = "Step 4: Set the Remaining Axes";
constexpr char kCreation[] = "Step 5: Report Creation";
constexpr double kStepSeconds = 60;

// Where a text first stands in the exported cells.
struct Place {
  int row = -1, col = -1;
};
Place find_cell(const std::vector<std::vector<std::string>>& cells, const std::string& text) {
  for (std::size_t r = 0; r < cells.size(); ++r)
    for (std::size_t c = 0; c < cells[r].size(); ++c)
      if (cells[r][c] == text) return {static_cast<int>(r), static_cast<int>(c)};
  return {};
}

std::string cell_at(const std::vector<std::vector<std::string>>& cells, int row, int col) {
  if (row < 0 || col < 0 || static_cast<std::size_t>(row) >= cells.size()) return "<none>";
  const auto& line = cells[static_cast<std::size_t>(row)];
  return static_cast<std::size_t>(col) < line.size() ? line[static_cast<std::size_t>(col)] : std::string();
}

// The wizard's window as a user sees it, driven by window messages. Each
// action waits (bounded) for what the window shows next, never for a time.
class WizardDriver {
 public:
  bool open() { return (wizard_ = drive::wait_window(kWizard, IDC_WIZ_CHOICES, kStepSeconds)) != nullptr; }
  bool shows(int id, const std::string& line) {
    return drive::wait_until([&] { return drive::line_of(GetDlgItem(wizard_, id), line) >= 0; }, kStepSeconds);
  }
  std::vector<std::string> lines(int id) { return drive::lines_of(GetDlgItem(wizard_, id)); }
  std::vector<std::string> chosen(int id) { return drive::selected_of(GetDlgItem(wizard_, id)); }
  bool choose(int id, const std::vector<std::string>& texts) {
    for (const auto& t : texts)
      if (!shows(id, t)) return false;
    return drive::choose(wizard_, id, texts);
  }
  // Add the chosen values or layout items and wait until the last shows.
  bool add(const std::string& last) {
    drive::press(wizard_, IDC_WIZ_ADD);
    return shows(IDC_WIZ_ELEMENTS, last);
  }
  // Next, and wait until the step's text changed (the wizard posts itself
  // the new step's set-up, which fills the lists before the text settles).
  bool next() {
    const std::string before = step_text();
    drive::press(wizard_, IDC_WIZ_NEXT);
    return drive::wait_until([&] { return step_text() != before || !IsWindow(wizard_); }, kStepSeconds);
  }
  std::string step_text() { return drive::text_of(GetDlgItem(wizard_, IDC_WIZ_STEP_TEXT)); }
  HWND window() const { return wizard_; }

 private:
  HWND wizard_ = nullptr;
};

// Runs the driving on a thread of its own while the sheet host runs; a
// failed step closes whatever is open so that the run ends.
class DrivenRun {
 public:
  explicit DrivenRun(std::function<void(std::vector<std::string>& problems)> steps)
      : thread_([this, steps = std::move(steps)] {
          steps(problems_);
          if (!problems_.empty()) close_all();
        }) {}
  ~DrivenRun() {
    if (thread_.joinable()) thread_.join();
  }
  std::vector<std::string> finish() {
    thread_.join();
    return problems_;
  }

 private:
  static void close_all() {
    for (const char* title : {kCreation, kRemaining, "Edit Specifier", kWizard})
      if (HWND w = drive::find_window(title)) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
  }
  std::vector<std::string> problems_;
  std::thread thread_;
};

#define STEP(condition)                               \
  if (!(condition)) {                                 \
    problems.push_back("failed: " #condition);        \
    return;                                           \
  }

class ReportWizardOnDemoLedger : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ledger_.built()) << ledger_.errors();
    folder_ = std::make_unique<ServerFolder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
    WritePrivateProfileStringA("Kovo Server", "Path", (folder_->path().string() + "\\").c_str(), settings_file().c_str());
    WritePrivateProfileStringA("Kovo Excel", "BuildToolBar", "N", settings_file().c_str());
    for (const char* f : {"Ledra5.dll", "WBTRV32.DLL"}) folder_->copy(f);
    ASSERT_TRUE(kovo::testing::store_connector_settings({{"System", ledger_.system()}, {"Company", "DEMO"}}));
  }
  void TearDown() override {
    EXPECT_TRUE(wait_for([] { return FindWindowA("KovoMainServerClass", nullptr) == nullptr; }, 20000));
    folder_.reset();
    kovo::testing::forget_connector_settings();
  }
  fs::path file(const std::string& name) const { return folder_->path() / name; }
  std::string quoted(const std::string& name) const { return "\"" + file(name).string() + "\""; }
  ProgramResult sheet(const std::string& arguments) const {
    return kovo::testing::run_sheet_host("\"" + bin_folder() + "kovo-sheet.exe\" --addin \"" + bin_folder() +
                                         "Kovo.XLL\" " + arguments);
  }
  // The console's figure for a request, as a number.
  double console_figure(const std::string& request) const {
    const auto console = kovo::testing::run_console(
        "--library \"" + (folder_->path() / "Ledra5.dll").string() + "\" --value", request + "\n");
    EXPECT_EQ(console.exit_code, 0u) << console.errors;
    return std::strtod(console.output.c_str(), nullptr);
  }

  kovo::testing::DemoLedger ledger_;
  std::unique_ptr<ServerFolder> folder_;
};

TEST_F(ReportWizardOnDemoLedger, BuildsAReportOfTheConsolesFiguresAndASecondRunStartsFromIt) {
  std::ofstream(file("empty.csv"), std::ios::binary) << "\r\n";
  // Accounts 4000 and 5000 and their total down, two periods across.
  DrivenRun first([](std::vector<std::string>& problems) {
    WizardDriver w;
    STEP(w.open());
    STEP(w.choose(IDC_WIZ_CHOICES, {"DEMO"}));
    STEP(w.next());
    STEP(w.choose(IDC_WIZ_CHOICES, {"Account"}));
    STEP(w.choose(IDC_WIZ_VALUES, {"4000", "5000"}));
    STEP(w.add("5000"));
    STEP(w.choose(IDC_WIZ_ELEMENTS, {"5000"}));
    STEP(w.choose(IDC_WIZ_LAYOUT, {"Total"}));
    STEP(w.add("Total"));
    STEP(w.next());
    STEP(w.choose(IDC_WIZ_CHOICES, {"Periods"}));
    STEP(w.choose(IDC_WIZ_VALUES, {"This Month", "Year to Date"}));
    STEP(w.add("Year to Date"));
    drive::press(w.window(), IDC_WIZ_NEXT);
    HWND remaining = drive::wait_window(kRemaining, IDC_REM_COMBO, kStepSeconds);
    STEP(remaining != nullptr);
    drive::press(remaining, IDOK);
    // The remaining axes set, Next goes on to the report's creation.
    STEP(drive::wait_until([] { return drive::find_window(kRemaining) == nullptr; }, kStepSeconds));
    STEP(w.next());
    HWND creation = drive::wait_window(kCreation, IDC_CRE_TITLE, kStepSeconds);
    STEP(creation != nullptr);
    STEP(drive::type_text(creation, IDC_CRE_TITLE, "Sales and costs"));
    drive::set_check(creation, IDC_CRE_NGL, false);
    drive::press(creation, IDOK);
  });
  const ProgramResult built = sheet("--open " + quoted("empty.csv") + " --select B2 --run ReportW --export " +
                                    quoted("report.csv") + " --save " + quoted("report.json"));
  const auto problems = first.finish();
  EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems) << built.errors;
  ASSERT_EQ(built.exit_code, 0u) << built.errors;

  const auto cells = csv_cells(read_text(file("report.csv")));
  const std::string json = read_text(file("report.json"));
  EXPECT_NE(find_cell(cells, "Sales and costs").row, -1) << "the title";
  const Place month = find_cell(cells, "This Month"), year = find_cell(cells, "Year to Date");
  const Place sales = find_cell(cells, "4000"), costs = find_cell(cells, "5000"), total = find_cell(cells, "Total");
  ASSERT_NE(month.col, -1) << read_text(file("report.csv"));
  ASSERT_NE(year.col, -1);
  ASSERT_NE(sales.row, -1);
  ASSERT_NE(costs.row, -1);
  ASSERT_NE(total.row, -1);
  EXPECT_NE(json.find("=GL(BSPEC("), std::string::npos) << "GL formulas: NGL was cleared";
  EXPECT_NE(json.find("SUM("), std::string::npos) << "the total is a sum";
  for (const char* name : {"FVerticalAxis", "FHorizontalAxis", "FModelCompany", "FOtherAxes", "FReportTitle"})
    EXPECT_NE(json.find(name), std::string::npos) << name;
  for (const Place& period : {month, year}) {
    const std::string name = cell_at(cells, period.row, period.col);
    double sum = 0;
    for (const auto& [account, row] : {std::pair<std::string, int>{"4000", sales.row}, {"5000", costs.row}}) {
      const double expected = console_figure("GL;" + account + "-*;" + name + ";DEMO;0;Budget");
      const std::string cell = cell_at(cells, row, period.col);
      EXPECT_NEAR(std::strtod(cell.c_str(), nullptr), expected, 0.005) << account << " " << name << ": " << cell;
      sum += expected;
    }
    EXPECT_NEAR(std::strtod(cell_at(cells, total.row, period.col).c_str(), nullptr), sum, 0.005) << name;
  }

  // The second run starts where the first one left: the company chosen,
  // both axes with their elements, the title; Cancel at the end leaves the
  // report as it was.
  std::vector<std::string> seen_accounts, seen_periods;
  std::string seen_title;
  DrivenRun second([&](std::vector<std::string>& problems) {
    WizardDriver w;
    STEP(w.open());
    STEP(w.shows(IDC_WIZ_CHOICES, "DEMO"));
    STEP(drive::wait_until([&] { return !w.chosen(IDC_WIZ_CHOICES).empty(); }, kStepSeconds));
    STEP(w.next());
    STEP(w.shows(IDC_WIZ_ELEMENTS, "Total"));
    seen_accounts = w.lines(IDC_WIZ_ELEMENTS);
    STEP(w.next());
    STEP(w.shows(IDC_WIZ_ELEMENTS, "Year to Date"));
    seen_periods = w.lines(IDC_WIZ_ELEMENTS);
    drive::press(w.window(), IDC_WIZ_NEXT);
    HWND remaining = drive::wait_window(kRemaining, IDC_REM_COMBO, kStepSeconds);
    STEP(remaining != nullptr);
    drive::press(remaining, IDOK);
    // The remaining axes set, Next goes on to the report's creation.
    STEP(drive::wait_until([] { return drive::find_window(kRemaining) == nullptr; }, kStepSeconds));
    STEP(w.next());
    HWND creation = drive::wait_window(kCreation, IDC_CRE_TITLE, kStepSeconds);
    STEP(creation != nullptr);
    seen_title = drive::text_of(GetDlgItem(creation, IDC_CRE_TITLE));
    drive::press(creation, IDCANCEL);
    STEP(drive::wait_until([] { return drive::find_window(kCreation) == nullptr; }, kStepSeconds));
    drive::press(w.window(), IDCANCEL);
  });
  const ProgramResult again = sheet("--open " + quoted("report.json") + " --select B2 --run ReportW --save " +
                                    quoted("again.json"));
  const auto second_problems = second.finish();
  EXPECT_TRUE(second_problems.empty()) << ::testing::PrintToString(second_problems) << again.errors;
  ASSERT_EQ(again.exit_code, 0u) << again.errors;
  ASSERT_EQ(seen_accounts.size(), 3u) << ::testing::PrintToString(seen_accounts);
  EXPECT_EQ(seen_accounts[0].substr(0, 4), "4000");
  EXPECT_EQ(seen_accounts[1].substr(0, 4), "5000");
  EXPECT_EQ(seen_accounts[2].substr(0, 5), "Total");
  ASSERT_EQ(seen_periods.size(), 2u) << ::testing::PrintToString(seen_periods);
  EXPECT_EQ(seen_periods[0], "This Month");
  EXPECT_EQ(seen_title, "Sales and costs");
  EXPECT_EQ(read_text(file("again.json")).find("=NGL("), std::string::npos) << "Cancel builds nothing";
}

}  // namespace
