// The drill-down window inside the test process, as the server's process
// holds it, on the demo ledger: the drill command without a user (the rows
// on the clipboard total the figure), and the window driven by its
// controls' messages: Drill, sorting, Send, a double click, the options
// window, Stop and the stop question, and the connector busy during a fill.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "connector_on_demo.h"
#include "demo_ledger.h"
#include "entry/command_codes.h"
#include "nested_call.h"
#include "resources/resource_ids.h"

using kovo::testing::clipboard_text;
using kovo::testing::DemoLedger;
using kovo::testing::InProcessBoxWatcher;
using kovo::testing::set_clipboard_text;
namespace codes = kovo::codes;

namespace {

constexpr char kCaption[] = "Drill [CYMA]";
constexpr int kAmountColumn = 3;
constexpr int kBalanceColumn = 2;

std::vector<std::string> split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (std::size_t next; (next = text.find(separator, at)) != std::string::npos; at = next + separator.size())
    parts.push_back(text.substr(at, next - at));
  parts.push_back(text.substr(at));
  return parts;
}

// An amount as the windows write it: 1,234.50 or (1,234.50).
double amount_of(std::string text) {
  const bool negative = !text.empty() && text.front() == '(';
  std::string digits;
  for (const char c : text)
    if ((c >= '0' && c <= '9') || c == '.') digits += c;
  const double value = std::strtod(digits.c_str(), nullptr);
  return negative ? -value : value;
}

// The total of one column of clipboard rows, the rows starting at a line.
double column_total(const std::vector<std::string>& lines, std::size_t first, std::size_t column) {
  double total = 0;
  for (std::size_t i = first; i < lines.size(); ++i) {
    const auto cells = split(lines[i], "\t");
    if (cells.size() > column) total += amount_of(cells[column]);
  }
  return total;
}

class DrillWindow : public kovo::testing::ConnectorOnDemoLedger {
 protected:
  std::string drill(const std::string& parameters, int* status = nullptr) {
    return call(codes::kDrillDown, (parameters + ",System=" + ledger_.system()).c_str(), status);
  }
  double figure(const std::string& request) { return std::strtod(call(codes::kGl, request.c_str()).c_str(), nullptr); }
  HWND open_window(const std::string& parameters) {
    drill(parameters);
    pump();
    HWND window = kovo::testing::find_own_window("#32770", kCaption);
    EXPECT_TRUE(window && IsWindowVisible(window));
    return window;
  }
  static void press(HWND window, int control) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), 0); }
  static std::string text(HWND window, int control) {
    char buffer[1024] = {};
    GetDlgItemTextA(window, control, buffer, sizeof buffer);
    return buffer;
  }
  static HWND list(HWND window) { return GetDlgItem(window, IDC_DRILL_LIST); }
  static int rows(HWND window) { return static_cast<int>(SendMessageA(list(window), LVM_GETITEMCOUNT, 0, 0)); }
  static std::string cell(HWND window, int row, int column) {
    char buffer[600] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    SendMessageA(list(window), LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  static void choose_drill_by(HWND window, int entry) {
    SendDlgItemMessageA(window, IDC_DRILL_BY, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_DRILL_BY, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_DRILL_BY)));
  }
  // A click on a column's header, as the user makes it.
  static void click_header(HWND window, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list(window), LVM_GETHEADER, 0, 0));
    RECT r{};
    SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(header, WM_LBUTTONUP, 0, at);
  }

};

TEST_F(DrillWindow, WithoutAUserTheRowsOnTheClipboardTotalTheFigure) {
  InProcessBoxWatcher boxes;
  set_clipboard_text("marker");
  int status = -1;
  EXPECT_EQ(drill("noshow=1,Drill Company=DEMO,Drill Account=6*-*,Drill Period=Year to Date,Drill Segment=1", &status),
            "");
  EXPECT_EQ(status, kovo::kStatusProcessed);
  auto lines = split(clipboard_text(), "\r\n");
  lines.pop_back();  // after the last line end
  ASSERT_EQ(lines.size(), 3u + 1u + 3u) << clipboard_text();
  EXPECT_EQ(lines[0], "Year to Date");
  EXPECT_EQ(lines[1], "DEMO");
  EXPECT_EQ(lines[2], "2008");
  EXPECT_EQ(lines[3], "6*-^");
  EXPECT_EQ(lines[4].substr(0, 14), "10\tProduction\t");
  EXPECT_NEAR(column_total(lines, 4, kBalanceColumn), figure("6*-*;Year to Date;DEMO"), 0.005);

  // Into transactions: the rows of the figure's dates.
  EXPECT_EQ(drill("NoShow=1,Drill Company=DEMO,Drill Account=6*-*,Drill Period=This Month,Drill Segment=2"), "");
  lines = split(clipboard_text(), "\r\n");
  lines.pop_back();
  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ(lines[0], "6*-*");
  EXPECT_EQ(lines[1], "Start date:\t\t01May2008");
  EXPECT_EQ(lines[2], "End date:\t\t31May2008");
  EXPECT_EQ(lines[4].rfind("Account\tDate\tDescription\tAmount\tStatus\t", 0), 0u) << lines[4];
  EXPECT_NEAR(column_total(lines, 5, kAmountColumn), figure("6*-*;This Month;DEMO"), 0.005);

  // A failure reaches the caller, the clipboard holds no earlier text, and
  // nothing is left on the screen.
  set_clipboard_text("marker");
  EXPECT_EQ(drill("NoShow=1,Drill Period=Bogus Month"), "Kovo [CYMA] The period requested is invalid.\r\n");
  EXPECT_EQ(clipboard_text(), "");
  EXPECT_EQ(kovo::testing::find_own_window("#32770", kCaption), nullptr);
  pump();
  EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(DrillWindow, TheUsersWindowDrivenByMessages) {
  HWND window = open_window("Drill Company=DEMO,Drill Account=4000-*,Drill Period=Year to Date,Drill Segment=1");
  ASSERT_TRUE(window);
  EXPECT_EQ(text(window, IDC_DRILL_ACCOUNT), "4000-*");
  EXPECT_EQ(SendDlgItemMessageA(window, IDC_DRILL_BY, CB_GETCOUNT, 0, 0), 5);
  EXPECT_EQ(SendDlgItemMessageA(window, IDC_DRILL_BY, CB_GETCURSEL, 0, 0), 1);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_DRILL_UNPOSTED)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_DRILL_GRANT)));
  EXPECT_EQ(text(window, IDC_DRILL_TOTAL), "0.00");

  press(window, IDC_DRILL_DRILL);
  ASSERT_EQ(rows(window), 3);
  EXPECT_EQ(text(window, IDC_DRILL_RECORD_COUNT), "3");
  EXPECT_EQ(cell(window, 0, 0), "4000-10");
  EXPECT_EQ(cell(window, 0, 1), "Production");
  double sum = 0;
  for (int r = 0; r < 3; ++r) sum += amount_of(cell(window, r, kBalanceColumn));
  EXPECT_NEAR(sum, figure("4000-*;Year to Date;DEMO"), 0.005);
  EXPECT_NEAR(amount_of(text(window, IDC_DRILL_TOTAL)), sum, 0.005);
  // Amounts sort by their size unless the options say otherwise: the
  // smallest department's sales first.
  click_header(window, kBalanceColumn);
  EXPECT_EQ(cell(window, 0, 0), "4000-30");
  click_header(window, kBalanceColumn);
  EXPECT_EQ(cell(window, 0, 0), "4000-20");

  // Into transactions: the options columns, the unposted check box.
  choose_drill_by(window, 2);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDC_DRILL_UNPOSTED)));
  SetDlgItemTextA(window, IDC_DRILL_PERIOD, "This Month");
  press(window, IDC_DRILL_DRILL);
  const int count = rows(window);
  ASSERT_GE(count, 3);
  EXPECT_EQ(text(window, IDC_DRILL_RECORD_COUNT), std::to_string(count));
  sum = 0;
  for (int r = 0; r < count; ++r) sum += amount_of(cell(window, r, kAmountColumn));
  EXPECT_NEAR(sum, figure("4000-*;This Month;DEMO"), 0.005);
  click_header(window, kAmountColumn);
  click_header(window, kAmountColumn);
  EXPECT_GE(std::fabs(amount_of(cell(window, 0, kAmountColumn))),
            std::fabs(amount_of(cell(window, count - 1, kAmountColumn))))
      << "a second click sorts descending";

  // A double click takes the row's account into the account field.
  ListView_SetItemState(list(window), 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  NMITEMACTIVATE activate{};
  activate.hdr = {list(window), IDC_DRILL_LIST, static_cast<UINT>(NM_DBLCLK)};
  activate.iItem = 0;
  SendMessageA(window, WM_NOTIFY, IDC_DRILL_LIST, reinterpret_cast<LPARAM>(&activate));
  EXPECT_EQ(text(window, IDC_DRILL_ACCOUNT), cell(window, 0, 0));

  // The options window hides the grant column of the list.
  press(window, IDC_DRILL_ADVANCED);
  HWND options = kovo::testing::find_own_window("#32770", "Kovo Drill Advanced Options [CYMA]");
  ASSERT_TRUE(options);
  EXPECT_EQ(GetWindow(options, GW_OWNER), window);
  EXPECT_GT(SendMessageA(list(window), LVM_GETCOLUMNWIDTH, 16, 0), 0);
  SendMessageA(GetDlgItem(options, IDC_TRX_GRANT), BM_CLICK, 0, 0);
  SendMessageA(GetDlgItem(options, IDOK), BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindow(options));
  EXPECT_EQ(SendMessageA(list(window), LVM_GETCOLUMNWIDTH, 16, 0), 0);

  // Send, and the text reaches the clipboard when the window lets go of
  // the activation.
  set_clipboard_text("marker");
  press(window, IDC_DRILL_DRILL);
  press(window, IDC_DRILL_SEND);
  EXPECT_EQ(clipboard_text(), "marker");
  SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
  const auto lines = split(clipboard_text(), "\r\n");
  ASSERT_GT(lines.size(), 5u);
  EXPECT_EQ(lines[0], text(window, IDC_DRILL_ACCOUNT));
  EXPECT_EQ(lines[4].find("Grant"), std::string::npos) << "hidden columns are not copied";

  press(window, IDCANCEL);
  EXPECT_FALSE(IsWindow(window)) << "Quit closes";
}

TEST_F(DrillWindow, StopAndTheStopQuestionEndAFillAtOnce) {
  HWND window = open_window("Drill Company=DEMO,Drill Account=*-*,Drill Period=Year to Date,Drill Segment=2");
  ASSERT_TRUE(window);
  // Stop waiting in the queue when the fill first looks: one row listed.
  PostMessageA(window, WM_COMMAND, IDM_STOP_FILL, 0);
  press(window, IDC_DRILL_DRILL);
  EXPECT_TRUE(IsWindow(window)) << "Stop ends the fill, not the window";
  EXPECT_EQ(rows(window), 1);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDM_STOP_FILL))) << "Stop only while a fill runs";
  {
    // A key pressed during the fill asks; No goes on to the end.
    InProcessBoxWatcher no(IDNO);
    PostMessageA(list(window), WM_KEYDOWN, 'A', 0);
    press(window, IDC_DRILL_DRILL);
    EXPECT_EQ(no.texts(), (std::vector<std::string>{"OK to stop Drill?"}));
  }
  const int all = rows(window);
  EXPECT_GT(all, 100);
  {
    InProcessBoxWatcher yes(IDYES);
    PostMessageA(list(window), WM_KEYDOWN, 'A', 0);
    press(window, IDC_DRILL_DRILL);
    EXPECT_EQ(yes.texts(), (std::vector<std::string>{"OK to stop Drill?"}));
  }
  EXPECT_EQ(rows(window), 1);

  // A request and the library's unload meanwhile: busy, and it stays.
  {
    kovo::testing::NestedCall nested(interface_, cleanup_);
    ASSERT_TRUE(nested.waiting());
    press(window, IDC_DRILL_DRILL);
    ASSERT_TRUE(nested.finish());
    EXPECT_EQ(nested.status(), kovo::kStatusBusy);
    EXPECT_EQ(nested.cleanup_status(), 1);
  }
  EXPECT_EQ(rows(window), all) << "the fill went on undisturbed";

  // Quit during a fill closes the window once the fill has stopped.
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  press(window, IDC_DRILL_DRILL);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(open_window("")) << "the slot was freed";
}

TEST_F(DrillWindow, AnAutomatedDrillClosesTheUsersWindowFirst) {
  HWND window = open_window("Drill Company=DEMO,Drill Account=4000-*");
  ASSERT_TRUE(window);
  EXPECT_EQ(drill("NoShow=1,Drill Company=DEMO,Drill Account=4000-10,Drill Period=This Month,Drill Segment=2"), "");
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(clipboard_text().substr(0, 9), "4000-10\r\n");
}

}  // namespace
