// The budget window inside the test process, as the server's process holds
// it, over a copy of the demo ledger that it may write: the command in
// automation, the window driven by messages, and WGL.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "box_watcher.h"
#include "connector_fixture.h"
#include "demo_ledger.h"
#include "entry/command_codes.h"
#include "resources/resource_ids.h"

using kovo::testing::ConnectorInProcess;
using kovo::testing::DemoLedger;
using kovo::testing::InProcessBoxWatcher;
using kovo::testing::set_clipboard_text;

namespace {

namespace codes = kovo::codes;
namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class BudgetWindow : public ConnectorInProcess {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ledger_.built()) << ledger_.errors();
    copy_ = (fs::temp_directory_path() / ("kovo-budget-" + std::to_string(GetCurrentProcessId()))).string();
    std::error_code ec;
    fs::remove_all(copy_, ec);
    fs::copy(ledger_.system(), copy_, fs::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    RegDeleteKeyA(HKEY_CURRENT_USER, kovo::testing::kSettingsKey);
    ConnectorInProcess::SetUp();
  }
  void TearDown() override {
    ConnectorInProcess::TearDown();
    RegDeleteKeyA(HKEY_CURRENT_USER, kovo::testing::kSettingsKey);
    std::error_code ec;
    fs::remove_all(copy_, ec);
  }
  std::string budget(const std::string& parameters, int* status = nullptr) {
    return call(codes::kBudget, (parameters + ",System=" + copy_).c_str(), status);
  }
  std::string gl(const std::string& arguments) { return call(codes::kGl, arguments.c_str()); }
  void click(HWND window, int control) { SendMessageA(GetDlgItem(window, control), BM_CLICK, 0, 0); }
  std::string text_of(HWND window, int control) {
    char text[64] = {};
    GetDlgItemTextA(window, control, text, sizeof text);
    return text;
  }

  DemoLedger ledger_;
  std::string copy_;
};

TEST_F(BudgetWindow, AutomationWritesTheRevisedBudgetAndRequestsReadIt) {
  InProcessBoxWatcher boxes;
  set_clipboard_text("'ACCOUNT\t'DESCRIPTION\t'1\t'2\r\n4000-10\tProduct sales\t(1,000.00)\t-2,000.50\r\n"
                     "4000-20\tProduct sales\t-3000\t\r\n");
  int status = -1;
  const std::string answer =
      budget("NoShow=1,Budget Company=DEMO,Budget Year=2008,Budget Type=Revised Budget", &status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(contains(answer, "Kovo [CYMA] Budget write completed - 2 accounts written")) << answer;
  EXPECT_EQ(gl("4000-10;Month 1 Budget;DEMO;2008;R"), "-1000\r\n");
  EXPECT_EQ(gl("4000-10;Month 2 Budget;DEMO;2008;R"), "-2000.5\r\n");
  EXPECT_EQ(gl("4000-20;Month 2 Budget;DEMO;2008;R"), "-225894.48\r\n") << "a period left empty keeps its amount";
  EXPECT_EQ(gl("4000-10;Month 1 Budget;DEMO;2008;B"), "-61539.36\r\n") << "the original budget is untouched";

  EXPECT_EQ(call(codes::kWgl, "1500;4000-10;Month 3;DEMO;2008;B"), "1500\r\n");
  EXPECT_EQ(gl("4000-10;Month 3 Budget;DEMO;2008;B"), "1500\r\n");
  EXPECT_TRUE(contains(call(codes::kWgl, "1;4000-10;Quarter 1;DEMO;2008;B"), "Only a single period can be written:"));

  // A refused heading row: no box, no success, the messages in the result.
  set_clipboard_text("ACCOUNT\t1\tTotal\r\n4000-10\t5\t5\r\n");
  const std::string refused = budget("NoShow=2,Budget Company=DEMO,Budget Year=2008");
  EXPECT_TRUE(contains(refused, "Budget Write-back failed. - Total not recognized.")) << refused;
  EXPECT_TRUE(contains(refused, "Could not find required Budget headings")) << refused;
  EXPECT_FALSE(contains(refused, "completed")) << refused;
  EXPECT_EQ(gl("4000-10;Month 1 Budget;DEMO;2008;B"), "-61539.36\r\n");
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_EQ(kovo::testing::find_own_window("#32770", "Kovo Budget Write [CYMA]"), nullptr);
}

TEST_F(BudgetWindow, TheUsersWindowDrivenByMessages) {
  budget("Budget Company=,Budget Year=0,Budget Type=Budget");
  pump();
  HWND window = kovo::testing::find_own_window("#32770", "Kovo Budget Write [CYMA]");
  ASSERT_TRUE(window && IsWindowVisible(window));
  EXPECT_EQ(text_of(window, IDC_BUDGET_COMPANY), "DEMO") << "an empty budget company takes the company";
  EXPECT_EQ(text_of(window, IDC_BUDGET_YEAR), "2008");
  EXPECT_TRUE(IsDlgButtonChecked(window, IDC_BUDGET_ORIGINAL));
  EXPECT_EQ(SendDlgItemMessageA(window, IDC_BUDGET_YEAR, CB_GETCOUNT, 0, 0), 2);

  InProcessBoxWatcher boxes;
  set_clipboard_text("Account\t12\r\n5000-10\t1,234.56\r\n5000-1?\t1\r\n");
  click(window, IDOK);
  EXPECT_EQ(text_of(window, IDC_BUDGET_COUNT), "1");
  const auto texts = boxes.texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Invalid account code found: - 5000-1?");
  EXPECT_TRUE(contains(texts[1], "Budget write stopped - at row 3 (5000-1?): 1 account written")) << texts[1];
  EXPECT_EQ(gl("5000-10;Month 12 Budget;DEMO;2008;B"), "1234.56\r\n");

  click(window, IDC_BUDGET_REVISED);
  click(window, IDCANCEL);
  EXPECT_FALSE(IsWindow(window)) << "Quit closes";
  budget("");
  pump();
  HWND reopened = kovo::testing::find_own_window("#32770", "Kovo Budget Write [CYMA]");
  ASSERT_TRUE(reopened);
  EXPECT_TRUE(IsDlgButtonChecked(reopened, IDC_BUDGET_REVISED)) << "the budget chosen is kept with the settings";
  click(reopened, IDCANCEL);
}

}  // namespace
