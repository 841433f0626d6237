// The lists window inside the test process, as the server's process holds
// it: the list command in automation, and the window driven by messages.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "box_watcher.h"
#include "connector_on_demo.h"
#include "demo_ledger.h"
#include "entry/command_codes.h"
#include "resources/resource_ids.h"

using kovo::testing::InProcessBoxWatcher;
using kovo::testing::clipboard_text;
using kovo::testing::ConnectorInProcess;
using kovo::testing::DemoLedger;
using kovo::testing::set_clipboard_text;

namespace {

namespace codes = kovo::codes;
constexpr int kSegments = IDC_LIST_SEGMENTS, kCompanies = IDC_LIST_COMPANIES, kBwbHeaders = IDC_LIST_BWB_HEADERS;
constexpr int kAccounts = IDC_LIST_ACCOUNTS, kSegmentBox = IDC_LIST_SEGMENT, kWhere = IDC_LIST_WHERE;
constexpr int kIs = IDC_LIST_IS, kTranspose = IDC_LIST_TRANSPOSE;

class ListsWindow : public kovo::testing::ConnectorOnDemoLedger {
 protected:
  std::string list(const std::string& parameters) {
    return call(codes::kList, (parameters + ",System=" + ledger_.system()).c_str());
  }
  HWND open_window(const std::string& parameters) {
    list(parameters);
    pump();
    HWND window = kovo::testing::find_own_window("#32770", "Lists [CYMA]");
    EXPECT_TRUE(window && IsWindowVisible(window));
    return window;
  }
  void click(HWND window, int control) { SendMessageA(GetDlgItem(window, control), BM_CLICK, 0, 0); }
  // Types into a combo box's edit field as a user would.
  void type(HWND window, int control, const std::string& text) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(GetDlgItem(window, control), &info));
    SetFocus(info.hwndItem);
    SendMessageA(info.hwndItem, EM_SETSEL, 0, -1);
    for (const char c : text) SendMessageA(info.hwndItem, WM_CHAR, static_cast<WPARAM>(c), 0);
  }
  void press_key(WPARAM key) {
    PostMessageA(GetFocus(), WM_KEYDOWN, key, 0);
    PostMessageA(GetFocus(), WM_KEYUP, key, 0);
    pump();
  }

};

TEST_F(ListsWindow, AutomationAnswersTheListAndLeavesNoWindowOrBox) {
  InProcessBoxWatcher boxes;
  int status = -1;
  const std::string natural = call(codes::kList, ("noshow=1,NoClipboard=1, MOREDATA=0, List=natural,System=" + ledger_.system()).c_str(), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(natural.rfind("'1000\tCash - Operating\r\n'1010\tPetty Cash\r\n", 0), 0u) << natural;
  const std::string end = "'7100\tBank Charges\r\nKovoListDone\r\n";
  EXPECT_EQ(natural.substr(natural.size() - end.size()), end);
  EXPECT_EQ(list("NoShow=1,NoClipboard=1,MoreData=0,List=2"),
            "'10\tProduction\r\n'20\tSales\r\n'30\tAdministration\r\nKovoListDone\r\n");
  EXPECT_EQ(list("NoShow=1,NoClipboard=1,List=Dept;Account;#Cash#+10*"), "'Cash\r\n'10\tProduction\r\nKovoListDone\r\n");
  // The setting List was emptied, so the window composes the request: the
  // fields name no segment, then the radio button names the accounts.
  EXPECT_EQ(list("NoShow=1,NoClipboard=1"), "KovoListDone\r\n");
  EXPECT_EQ(list("NoShow=1,NoClipboard=1,Selected List=9").substr(0, 10), "'1000-10\tC");
  EXPECT_EQ(kovo::testing::find_own_window("#32770", "Lists [CYMA]"), nullptr) << "the hidden window is closed before the command returns";
  EXPECT_FALSE(IsWindowVisible(main_window()));
  pump();
  EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(ListsWindow, NoShowShowsNoBoxButTheFailureReachesTheResult) {
  InProcessBoxWatcher boxes;
  EXPECT_EQ(list("NoShow=1,NoClipboard=1,List=Dept,Company=ZZZ"), "Kovo [CYMA] No such company: - ZZZ\r\n");
  EXPECT_EQ(list("NoShow=2,NoClipboard=1,MoreData=1,Company=ZZZ"), "KovoListDone\r\n");
  // Without NoClipboard the list goes to the clipboard, silently.
  set_clipboard_text("marker");
  EXPECT_EQ(list("NoShow=1,NoClipboard=0,List=BWB Headers,Company=DEMO"), "\r\n");
  EXPECT_EQ(clipboard_text(),
            "'ACCOUNT\t'DESCRIPTION\t'ORIGIN\t'1\t'2\t'3\t'4\t'5\t'6\t'7\t'8\t'9\t'10\t'11\t'12\t'13\r\n");
  // The caller reads the clipboard afterwards: a run without a user empties
  // it first, so that it never finds an earlier text there.
  set_clipboard_text("marker");
  EXPECT_EQ(list("NoShow=1,NoClipboard=1,MoreData=0,List=Years,Company=DEMO"), "'0\r\n'2008\r\n'2007\r\nKovoListDone\r\n");
  EXPECT_EQ(clipboard_text(), "");
  set_clipboard_text("marker");
  EXPECT_EQ(list("NoShow=1,NoClipboard=0,List=Dept,Company=ZZZ"), "Kovo [CYMA] No such company: - ZZZ\r\n")
      << "the failure reaches the caller";
  EXPECT_EQ(clipboard_text(), "");
  pump();
  EXPECT_TRUE(boxes.texts().empty());
  // The same failure with a user: the window opens and says so.
  HWND window = open_window("Company=ZZZ");
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"No such company: - ZZZ"}));
  EXPECT_EQ(SendDlgItemMessageA(window, kSegmentBox, CB_GETCOUNT, 0, 0), 0) << "the window stays empty";
}

TEST_F(ListsWindow, AnAutomatedCommandClosesTheUsersWindowFirst) {
  HWND window = open_window("");
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(list("NoShow=1,NoClipboard=1,List=Years"), "'0\r\n'2008\r\n'2007\r\nKovoListDone\r\n");
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(kovo::testing::find_own_window("#32770", "Lists [CYMA]"), nullptr);
}

TEST_F(ListsWindow, TheUsersWindowDrivenByMessages) {
  HWND window = open_window("Selected List=0,List Segment Segment=Dept,List Segment Where=(None),List Segment Is=");
  ASSERT_TRUE(window);
  EXPECT_TRUE(IsDlgButtonChecked(window, kSegments));
  EXPECT_EQ(SendDlgItemMessageA(window, kWhere, CB_GETCOUNT, 0, 0), 3) << "(None), Account, Dept";
  click(window, kAccounts);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kWhere))) << "segment fields only for Segments";
  click(window, kSegments);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kWhere)));

  type(window, kWhere, "Account");
  SetFocus(GetDlgItem(window, kTranspose));  // Where loses focus after a change
  EXPECT_EQ(SendDlgItemMessageA(window, kIs, CB_GETCOUNT, 0, 0), 41) << "Is: holds the values of Account";
  SetDlgItemTextA(window, kIs, "1*");

  InProcessBoxWatcher boxes;
  set_clipboard_text("marker");
  click(window, IDOK);
  EXPECT_EQ(clipboard_text(), "'10\tProduction\r\n");
  click(window, kTranspose);
  click(window, IDOK);
  EXPECT_EQ(clipboard_text(), "'10\r\nProduction\r\n");
  click(window, kBwbHeaders);
  click(window, IDOK);
  EXPECT_EQ(clipboard_text().substr(0, 24), "'ACCOUNT\t'DESCRIPTION\t'O");
  SetDlgItemTextA(window, kSegmentBox, "Region");
  click(window, kSegments);
  click(window, IDOK);
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"The list was sent to the Clipboard.", "The list was sent to the Clipboard.",
                                                     "The list was sent to the Clipboard.", "Request failed."}));

  click(window, IDCANCEL);
  EXPECT_FALSE(IsWindow(window)) << "Quit closes";
  // ... after writing the window's choices with the settings.
  HWND reopened = open_window("");
  char text[64] = {};
  GetDlgItemTextA(reopened, kWhere, text, sizeof text);
  EXPECT_STREQ(text, "Account");
  EXPECT_TRUE(IsDlgButtonChecked(reopened, kSegments));
  EXPECT_TRUE(IsDlgButtonChecked(reopened, kTranspose));
}

TEST_F(ListsWindow, QuitDuringAFillClosesSafelyAfterIt) {
  HWND window = open_window("Selected List=0,List Segment Segment=Dept,List Segment Where=Account,List Segment Is=1*");
  ASSERT_TRUE(window);
  InProcessBoxWatcher boxes;
  set_clipboard_text("marker");
  PostMessageA(window, WM_COMMAND, IDCANCEL, 0);  // waiting in the queue when the fill looks
  SendMessageA(window, WM_COMMAND, IDOK, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(clipboard_text(), "marker") << "the stopped list is not sent";
  pump();
  EXPECT_TRUE(boxes.texts().empty());
  HWND again = open_window("");
  EXPECT_TRUE(IsWindow(again)) << "the slot was freed";
}

TEST_F(ListsWindow, KeyboardNavigationThroughTheServersLoop) {
  HWND window = open_window("Selected List=0");
  ASSERT_TRUE(window);
  SetFocus(GetDlgItem(window, kSegments));
  press_key(VK_DOWN);
  EXPECT_TRUE(IsDlgButtonChecked(window, kCompanies)) << "arrows move through the radio buttons";
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kSegmentBox)));
  press_key(VK_TAB);
  EXPECT_EQ(GetFocus(), GetDlgItem(window, kTranspose)) << "Tab skips the disabled fields";
  press_key(VK_ESCAPE);
  EXPECT_FALSE(IsWindow(window)) << "Escape quits";
}

}  // namespace

namespace {

// The list command through the console, as the server passes it: the
// command as an execute (result buffer for the list command only) and as a
// request item (the add-in's list requests).
TEST(ListsConsole, ListRequestsWithContinuation) {
  kovo::testing::SettingsLock lock;
  DemoLedger ledger;
  ASSERT_TRUE(ledger.built()) << ledger.errors();
  const std::string system = ",System=" + ledger.system();
  const std::string input = "[KovoLIST(NOSHOW=1,NoClipboard=1, MOREDATA=0, List=Dept" + system + ")]\n" +
                            "[KOVOLIST(NOSHOW=1,NOCLIPBOARD=1, MOREDATA=1, LIST=DEPT)]\n" +
                            "[KovoLIST(NOSHOW=1,NoClipboard=1, MOREDATA=0, List=BWB Headers)]\n" +
                            "[KovoLIST(NOSHOW=1,NoClipboard=1, MOREDATA=0, List=reset)]\n" +
                            "[KovoLIST(NOSHOW=1,NoClipboard=1, MOREDATA=0, List=Natural;Dept;#Sales#+20)]\n";
  const auto run = kovo::testing::run_console("", input);
  RegDeleteKeyA(HKEY_CURRENT_USER, kovo::testing::kSettingsKey);
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_EQ(run.output,
            "0\t'10\\tProduction\\r\\n'20\\tSales\\r\\n'30\\tAdministration\\r\\nKovoListDone\\r\\n\n"
            "0\tKovoListDone\\r\\n\n"
            "0\t'ACCOUNT\\r\\n'DESCRIPTION\\r\\n'ORIGIN\\r\\n'1\\r\\n'2\\r\\n'3\\r\\n'4\\r\\n'5\\r\\n'6\\r\\n'7\\r\\n'8\\r\\n'9\\r\\n"
            "'10\\r\\n'11\\r\\n'12\\r\\n'13\\r\\nKovoListDone\\r\\n\n"
            "0\tKovoListDone\\r\\n\n"
            "0\t'Sales\\r\\n'4000\\tProduct Sales\\r\\n'4100\\tService Revenue\\r\\n'4900\\tSales Discounts\\r\\n"
            "'5000\\tMaterials\\r\\n'5100\\tDirect Labor\\r\\n'5200\\tManufacturing Overhead\\r\\n'6000\\tSalaries\\r\\n"
            "'6100\\tRent\\r\\n'6200\\tUtilities\\r\\n'6300\\tOffice Supplies\\r\\n'6400\\tTravel\\r\\n'6500\\tAdvertising\\r\\n"
            "'6600\\tInsurance\\r\\n'6700\\tDepreciation\\r\\n'6800\\tRepairs and Maintenance\\r\\n'6900\\tInterest Expense\\r\\n"
            "'7000\\tOther Income\\r\\n'7100\\tBank Charges\\r\\nKovoListDone\\r\\n\n");
}

}  // namespace
