// The ground under the connector's windows, in the test process as the
// server's process holds them: window commands for windows this build does
// not have, a fill that takes Stop and the commands of other windows but not
// the user's other buttons, and the connector busy while a fill runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "box_watcher.h"
#include "connector_on_demo.h"
#include "demo_ledger.h"
#include "nested_call.h"
#include "entry/command_codes.h"
#include "resources/resource_ids.h"

using kovo::testing::clipboard_text;
using kovo::testing::DemoLedger;
using kovo::testing::InProcessBoxWatcher;
using kovo::testing::set_clipboard_text;
namespace codes = kovo::codes;

namespace {

class ConnectorWindows : public kovo::testing::ConnectorOnDemoLedger {
 protected:
  HWND open_lists(const std::string& parameters) {
    call(codes::kList, (parameters + system()).c_str());
    pump();
    return kovo::testing::find_own_window("#32770", "Lists [CYMA]");
  }
};

TEST_F(ConnectorWindows, AutomatedWindowsAndCommandsWithoutAWindowSucceed) {
  int status = -1;
  EXPECT_EQ(call(codes::kChart,
                 ("NoShow=1,Chart Company=DEMO,Chart Account=4*-*,Chart Period=Year to Date" + system()).c_str(),
                 &status),
            "");
  EXPECT_EQ(status, kovo::kStatusProcessed);
  EXPECT_EQ(call(codes::kInquire, ("NoShow=1" + system()).c_str(), &status), "");
  EXPECT_EQ(status, kovo::kStatusProcessed);
  EXPECT_EQ(call(codes::kPeriodWizard, "NoShow=1", &status), "");
  EXPECT_EQ(status, kovo::kStatusProcessed);
  EXPECT_EQ(call(codes::kSetup, ("NoShow=1" + system()).c_str(), &status), "");
  EXPECT_EQ(status, kovo::kStatusProcessed);
  // For a user the command shows the main window, as before.
  EXPECT_EQ(call(codes::kInquire, "", &status), "");
  EXPECT_EQ(status, kovo::kStatusProcessed);
  pump();
  EXPECT_TRUE(IsWindowVisible(main_window()));
}

// The main window's About shows what the library's version resource says:
// the same version the version request answers.
TEST_F(ConnectorWindows, AboutShowsTheLibrarysVersionEntriesAndOkClosesIt) {
  ASSERT_TRUE(main_window());
  PostMessageA(main_window(), WM_COMMAND, IDM_ABOUT, 0);
  pump();
  HWND about = kovo::testing::find_own_window("#32770", "About Kovo for Cyma IV");
  ASSERT_TRUE(about && IsWindowVisible(about));
  char text[256] = {};
  GetDlgItemTextA(about, IDC_DLL_ABOUT_PRODUCT, text, sizeof text);
  EXPECT_STREQ(text, "Kovo for Cyma IV");
  GetDlgItemTextA(about, IDC_DLL_ABOUT_VERSION, text, sizeof text);
  const std::string version = text;
  ASSERT_EQ(version.rfind("Version ", 0), 0u) << version;
  EXPECT_EQ(call(codes::kVersion, ""), "Kovo " + version + " for Cyma IV\r\n");
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(about, IDC_DLL_ABOUT_SPECIAL_BUILD))) << "a release has no special build";
  GetDlgItemTextA(about, IDC_DLL_ABOUT_LEGAL, text, sizeof text);
  EXPECT_EQ(std::string(text).rfind("Copyright", 0), 0u) << text;
  SendMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
  pump();
  EXPECT_FALSE(IsWindow(about));
}

TEST_F(ConnectorWindows, AFillTakesStopAndOtherWindowsCommandsButNotTheUsersButtons) {
  call(codes::kList, ("NoShow=1,NoClipboard=1,List=RESET" + system()).c_str());
  HWND window = open_lists("Company=DEMO,Selected List=0,List Segment Segment=Dept,List Segment Where=Account,"
                           "List Segment Is=1*");
  ASSERT_TRUE(window);
  InProcessBoxWatcher boxes;
  set_clipboard_text("marker");
  // Waiting in the queue when the fill first looks: a user's click on
  // another list (ignored), a command from elsewhere choosing Companies
  // (taken), and Stop.
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_LIST_ACCOUNTS, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_LIST_ACCOUNTS)));
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_LIST_COMPANIES, BN_CLICKED), 0);
  PostMessageA(window, WM_COMMAND, IDM_STOP_FILL, 0);
  SendMessageA(window, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(IsWindow(window)) << "Stop ends the fill, not the window";
  EXPECT_EQ(clipboard_text(), "marker") << "the stopped list is not sent";
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_LIST_WHERE))) << "Companies was chosen during the fill";
  // The user's click went nowhere: Send now lists the companies.
  SendMessageA(window, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(clipboard_text().substr(0, 6), "'DEMO\r");
  pump();
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"The list was sent to the Clipboard."}));
}

TEST_F(ConnectorWindows, ARequestDuringAFillIsAnsweredBusyAndTheLibraryStaysLoaded) {
  call(codes::kList, ("NoShow=1,NoClipboard=1,List=RESET" + system()).c_str());
  HWND window = open_lists("Company=DEMO,Selected List=0,List Segment Segment=Dept,List Segment Where=Account,"
                           "List Segment Is=1*");
  ASSERT_TRUE(window);
  // Another thread's message waits for this thread while the fill starts;
  // the fill's first look at its queue lets it in, as a box's loop lets a
  // DDE request in.
  kovo::testing::NestedCall nested(interface_, cleanup_);
  ASSERT_TRUE(nested.waiting()) << "the other thread's message is waiting";

  InProcessBoxWatcher boxes;
  SendMessageA(window, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(nested.finish());
  EXPECT_EQ(nested.status(), kovo::kStatusBusy);
  EXPECT_EQ(nested.answer(), "Kovo [CYMA] Busy with other work, please try again when it has finished\r\n");
  EXPECT_EQ(nested.cleanup_status(), 1) << "the library refuses to go while its fill is on the stack";
  EXPECT_EQ(clipboard_text(), "'10\tProduction\r\n") << "the fill went on undisturbed";
  // Free again once the fill is over.
  int status = -1;
  EXPECT_EQ(call(codes::kGl, "1000-10;This Month;DEMO", &status).rfind("Kovo [CYMA] Busy", 0), std::string::npos);
  EXPECT_EQ(status, kovo::kStatusProcessed);
  pump();
}

}  // namespace
