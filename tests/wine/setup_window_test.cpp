// The setup window inside the test process over the demo ledger: its list
// choices act on requests at once and are kept by OK, dropped by Cancel;
// the company profile; and the entities maintenance window it leads to.
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

namespace {

namespace codes = kovo::codes;

constexpr char kCaption[] = "Kovo Setup [CYMA]";

class SetupWindow : public kovo::testing::ConnectorOnDemoLedger {
 protected:
  HWND open_setup() {
    call(codes::kSetup, ("Company=DEMO,System=" + ledger_.system()).c_str());
    pump();
    return kovo::testing::find_own_window("#32770", kCaption);
  }
  void choose(HWND window, int combo, int index) {
    SendDlgItemMessageA(window, combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, combo)));
  }
  int chosen(HWND window, int combo) {
    return static_cast<int>(SendDlgItemMessageA(window, combo, CB_GETCURSEL, 0, 0));
  }
  void click(HWND window, int control) { SendMessageA(GetDlgItem(window, control), BM_CLICK, 0, 0); }
  std::string text_of(HWND window, int control) {
    char text[300] = {};
    GetDlgItemTextA(window, control, text, sizeof text);
    return text;
  }

};

TEST_F(SetupWindow, ChoicesActAtOnceOkKeepsThemCancelDropsThem) {
  HWND window = open_setup();
  ASSERT_TRUE(window && IsWindowVisible(window));
  EXPECT_EQ(text_of(window, IDC_SETUP_COMPANY), "DEMO");
  EXPECT_EQ(text_of(window, IDC_SETUP_SYSTEM), ledger_.system());
  EXPECT_EQ(SendDlgItemMessageA(window, IDC_SETUP_PERIOD, CB_GETCOUNT, 0, 0), 14);
  EXPECT_EQ(chosen(window, IDC_SETUP_PERIOD), 13) << "Off";
  EXPECT_EQ(SendDlgItemMessageA(window, IDC_SETUP_YEAR, CB_GETCOUNT, 0, 0), 2);

  choose(window, IDC_SETUP_SCALING, 3);   // 1,000
  choose(window, IDC_SETUP_ROUNDING, 1);  // .01
  EXPECT_EQ(call(codes::kGl, "4000-10;Month 1;DEMO;2008"), "-61.95785\r\n") << "in effect at once";
  click(window, IDOK);
  EXPECT_FALSE(IsWindow(window));

  window = open_setup();
  ASSERT_TRUE(window);
  EXPECT_EQ(chosen(window, IDC_SETUP_SCALING), 3) << "kept by OK";
  choose(window, IDC_SETUP_SCALING, 0);
  choose(window, IDC_SETUP_PERIOD, 12);  // 13
  click(window, IDCANCEL);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(call(codes::kGl, "4000-10;Month 1;DEMO;2008"), "-61.95785\r\n") << "Cancel read the saved settings back";

  window = open_setup();
  ASSERT_TRUE(window);
  EXPECT_EQ(chosen(window, IDC_SETUP_PERIOD), 13);
  InProcessBoxWatcher boxes;
  click(window, IDC_SETUP_PROFILE);
  pump();
  const std::string profile = clipboard_text();
  EXPECT_EQ(profile.rfind("Data Directory: ", 0), 0u) << profile;
  EXPECT_NE(profile.find("\r\nName: Demo Manufacturing Inc.\r\n"), std::string::npos) << profile;
  EXPECT_NE(profile.find("Account Code Structure: XXXX-XX"), std::string::npos) << profile;
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0].substr(0, 16), "Data Directory: ");
  choose(window, IDC_SETUP_SCALING, 0);
  click(window, IDOK);
}

}  // namespace
