// The chart window inside the test process, as the server's process holds
// it, over the demo ledger: the CHART command without a user, the window
// driven by messages, and the drill-down's To Chart handing its query over.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "box_watcher.h"
#include "connector_on_demo.h"
#include "demo_ledger.h"
#include "entry/command_codes.h"
#include "resources/resource_ids.h"

using kovo::testing::clipboard_text;
using kovo::testing::ConnectorInProcess;
using kovo::testing::DemoLedger;
using kovo::testing::InProcessBoxWatcher;
using kovo::testing::set_clipboard_text;

namespace {

namespace codes = kovo::codes;

constexpr char kCaption[] = "Kovo Chart [CYMA]";

class ChartWindow : public kovo::testing::ConnectorOnDemoLedger {
 protected:
  void click(HWND window, int control) { SendMessageA(GetDlgItem(window, control), BM_CLICK, 0, 0); }
  std::string text_of(HWND window, int control) {
    char text[700] = {};
    GetDlgItemTextA(window, control, text, sizeof text);
    return text;
  }

};

TEST_F(ChartWindow, TheCommandWithoutAUserCopiesTwoPeriodColumns) {
  InProcessBoxWatcher boxes;
  set_clipboard_text("marker");
  int status = -1;
  const std::string answer = call(codes::kChart,
                                  ("NoShow=1,Chart Company=DEMO,Chart Year=2008,Chart Account=4000-*,"
                                   "Chart Period=\"January,February\",Formulas=0,Chart Show Origin=1" + system())
                                      .c_str(),
                                  &status);
  EXPECT_EQ(answer, "");
  EXPECT_EQ(status, kovo::kStatusProcessed);
  EXPECT_EQ(clipboard_text(), "DEMO\t2008\t\r\nAccount\tDescription\tOrigin\tJanuary\tFebruary\r\n"
                              "'4000-10\tProduct Sales - Production\tP/L\t(61,957.85)\t(67,687.46)\r\n"
                              "'4000-20\tProduct Sales - Sales\tP/L\t(225,378.99)\t(232,373.88)\r\n"
                              "'4000-30\tProduct Sales - Administration\tP/L\t(29,969.40)\t(33,567.85)\r\n");
  EXPECT_EQ(kovo::testing::find_own_window("#32770", kCaption), nullptr) << "the hidden window is gone";

  // A failure reaches the caller instead of a box.
  const std::string refused =
      call(codes::kChart, ("NoShow=1,Chart Account=9*-*,Chart Period=January" + system()).c_str(), &status);
  EXPECT_EQ(refused.rfind("Kovo [CYMA] No matching accounts found. - 9*-*", 0), 0u) << refused;
  EXPECT_EQ(clipboard_text(), "") << "no earlier text is left for the caller";
  pump();
  EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(ChartWindow, DrillDownsToChartOpensTheWindowOnItsQuery) {
  call(codes::kDrillDown, ("Drill Company=DEMO,Drill Year=2008,Drill Account=41??-*,Drill Period=Month 2,"
                           "Drill Type=Revised Budget" + system())
                              .c_str());
  pump();
  HWND drill = kovo::testing::find_own_window("#32770", "Drill [CYMA]");
  ASSERT_TRUE(drill);
  click(drill, IDC_DRILL_TO_CHART);
  pump();
  HWND chart = kovo::testing::find_own_window("#32770", kCaption);
  ASSERT_TRUE(chart && IsWindowVisible(chart));
  EXPECT_EQ(text_of(chart, IDC_CHART_ACCOUNT), "41??-*");
  EXPECT_EQ(text_of(chart, IDC_CHART_PERIODS), "Month 2");
  EXPECT_EQ(text_of(chart, IDC_CHART_COMPANY), "DEMO");
  EXPECT_EQ(text_of(chart, IDC_CHART_YEAR), "2008");
  EXPECT_TRUE(IsDlgButtonChecked(chart, IDC_CHART_REVISED));
  EXPECT_NE(text_of(chart, IDC_CHART_NOTE).find("obsolete"), std::string::npos);

  // The dependent check boxes.
  CheckDlgButton(chart, IDC_CHART_SHOW_ACCOUNT, BST_UNCHECKED);
  click(chart, IDC_CHART_SEGMENT_COLUMNS);
  EXPECT_TRUE(IsDlgButtonChecked(chart, IDC_CHART_SHOW_ACCOUNT)) << "segment columns need the code";
  click(chart, IDC_CHART_SHOW_ACCOUNT);
  EXPECT_FALSE(IsDlgButtonChecked(chart, IDC_CHART_SEGMENT_COLUMNS));
  click(chart, IDC_CHART_SHOW_ACCOUNT);
  click(chart, IDC_CHART_SEGMENT_COLUMNS);

  InProcessBoxWatcher boxes;
  click(chart, IDOK);
  EXPECT_EQ(text_of(chart, IDC_CHART_MATCH_COUNT), "3");
  const std::string copied = clipboard_text();
  EXPECT_EQ(copied.substr(0, copied.find("\r\n", copied.find("\r\n") + 2) + 2),
            "DEMO\t2008\t\r\nAccount\tDept\tDescription\tMonth 2\r\n");
  EXPECT_NE(copied.find("'4100\t'10\tService Revenue - Production\t(10,932.03)\r\n"), std::string::npos) << copied;
  pump();
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"3 account keys were copied to the clipboard."}));

  click(chart, IDCANCEL);
  EXPECT_FALSE(IsWindow(chart));
  click(drill, IDCANCEL);
}

// The analysis of a recorded calculation (the add-in's Analyze brackets a
// recalculation with these commands) replaces the clipboard's text.
TEST_F(ChartWindow, TheAnalysisOfARecordedCalculationGoesToTheClipboard) {
  call(codes::kSetup, ("NoShow=1" + system()).c_str());
  set_clipboard_text("marker");
  call(codes::kStartCalc, "NOSHOW=1");
  call(codes::kFinishCalc, "NOSHOW=1");
  EXPECT_EQ(clipboard_text(), "") << "nothing read: an empty clipboard";

  call(codes::kStartCalc, "NOSHOW=1");
  for (int formula = 0; formula < 3; ++formula) call(codes::kGl, "4000-10;This Month;DEMO");
  call(codes::kGl, "4000-3?;This Month;DEMO");
  call(codes::kFinishCalc, "NOSHOW=1");
  const std::string analysis = clipboard_text();
  EXPECT_EQ(analysis.rfind("Demo Manufacturing Inc.\t\r\nThe current sheet does not use the following accounts:\r\n"
                           "\r\nFrom\t'1000-10\tTo\t'2900-10\r\n\r\nFrom\t'4000-20\tTo\t'4000-20\r\n",
                           0),
            0u)
      << analysis;
  EXPECT_NE(analysis.find("The current sheet uses the following accounts:\r\n\r\n"
                          "'4000-10\tProduct Sales - Production\t3\r\n"
                          "'4000-30\tProduct Sales - Administration\t1\r\n"),
            std::string::npos)
      << analysis;
}

}  // namespace
