// The account enquiry window and the period wizard inside the test process,
// as the server's process holds them, on the demo ledger: the enquiry
// without a user (its table on the clipboard), the wizard opened from the
// enquiry's Period button and driven by its controls' messages, its OK
// putting the specifier into the enquiry's period field.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "box_watcher.h"
#include "connector_on_demo.h"
#include "demo_ledger.h"
#include "entry/command_codes.h"
#include "resources/resource_ids.h"

using kovo::testing::clipboard_text;
using kovo::testing::DemoLedger;
using kovo::testing::InProcessBoxWatcher;
using kovo::testing::set_clipboard_text;
namespace codes = kovo::codes;

namespace {

constexpr char kEnquiry[] = "Accounts [CYMA]";
constexpr char kWizard[] = "Period Wizard";

class EnquiryWindow : public kovo::testing::ConnectorOnDemoLedger {
 protected:
  std::string command(int code, const std::string& parameters, int* status = nullptr) {
    return call(code, (parameters + ",System=" + ledger_.system()).c_str(), status);
  }
  static void press(HWND window, int control) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(control, BN_CLICKED), 0); }
  static void choose(HWND window, int radio) {
    SendDlgItemMessageA(window, radio, BM_SETCHECK, BST_CHECKED, 0);
    press(window, radio);
  }
  static std::string text(HWND window, int control) {
    char buffer[1024] = {};
    GetDlgItemTextA(window, control, buffer, sizeof buffer);
    return buffer;
  }

};

TEST_F(EnquiryWindow, WithoutAUserTheTableIsOnTheClipboard) {
  InProcessBoxWatcher boxes;
  set_clipboard_text("marker");
  int status = -1;
  EXPECT_EQ(command(codes::kInquire, "NoShow=1,Company=DEMO,Drill Account=4000-10,Drill Period=Quarter 2,Drill Year=2008",
                    &status),
            "");
  EXPECT_EQ(status, kovo::kStatusProcessed);
  EXPECT_EQ(clipboard_text(),
            "1\r\n2\r\n2\r\nAccount\t4000\r\nDept\t10\r\nPeriod\tQuarter 2\r\nCompany\tDEMO\r\nYear\t2008\r\nType\tBudget\r\n");
  EXPECT_FALSE(kovo::testing::find_own_window("#32770", kEnquiry)) << "the hidden window is gone";

  // A period that does not parse leaves no table, and the command says why.
  set_clipboard_text("marker");
  const std::string answer = command(codes::kInquire, "NoShow=1,Company=DEMO,Drill Period=Whenever");
  EXPECT_NE(answer.find("The period requested is invalid."), std::string::npos) << answer;
  EXPECT_EQ(clipboard_text(), "");
  EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(EnquiryWindow, ThePeriodWizardAnswersTheEnquiry) {
  InProcessBoxWatcher boxes;
  command(codes::kInquire, "Company=DEMO,Drill Account=4000-10,Drill Period=Month 3");
  pump();
  HWND enquiry = kovo::testing::find_own_window("#32770", kEnquiry);
  ASSERT_TRUE(enquiry && IsWindowVisible(enquiry));
  EXPECT_EQ(text(enquiry, IDC_INQ_SEGMENT_BASE), "4000");
  EXPECT_EQ(text(enquiry, IDC_INQ_PERIOD), "Month 3");

  press(enquiry, IDC_INQ_PERIOD_BUTTON);
  pump();
  HWND wizard = kovo::testing::find_own_window("#32770", kWizard);
  ASSERT_TRUE(wizard && IsWindowVisible(wizard));
  EXPECT_EQ(text(wizard, IDC_PW_SPECIFIER), "Month 3");
  EXPECT_EQ(SendDlgItemMessageA(wizard, IDC_PW_PERIOD_BASE + 2, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(text(wizard, IDC_PW_FROM), "01Mar2008");
  EXPECT_EQ(text(wizard, IDC_PW_TO), "31Mar2008");

  SendDlgItemMessageA(wizard, IDC_PW_MONTH, BM_SETCHECK, BST_UNCHECKED, 0);
  choose(wizard, IDC_PW_QUARTER);
  EXPECT_EQ(text(wizard, IDC_PW_SPECIFIER), "Quarter 3");
  EXPECT_EQ(text(wizard, IDC_PW_FROM), "01Jul2008");
  EXPECT_EQ(text(wizard, IDC_PW_TO), "30Sep2008");

  press(wizard, IDC_PW_TO_CLIPBOARD);
  EXPECT_EQ(clipboard_text(), "Quarter 3\r\n");

  press(wizard, IDOK);
  pump();
  EXPECT_FALSE(IsWindow(wizard));
  EXPECT_EQ(text(enquiry, IDC_INQ_PERIOD), "Quarter 3");

  press(enquiry, IDC_INQ_GET_BALANCE);
  EXPECT_FALSE(text(enquiry, IDC_INQ_BALANCE).empty());
  EXPECT_TRUE(boxes.texts().empty());
  press(enquiry, IDCANCEL);
  pump();
  EXPECT_FALSE(IsWindow(enquiry));
  EXPECT_NE(clipboard_text().find("Period\tQuarter 3\r\n"), std::string::npos) << clipboard_text();
}

}  // namespace
