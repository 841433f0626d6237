// What the lists window decides, without a window: the services it asks of
// the window are recorded (boxes, clipboard, settings saved, texts handed
// back, closing), over a small ledger.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "entry/messages.h"
#include "entry/settings.h"
#include "ledger_fixture.h"
#include "recording_window.h"
#include "resources/resource_ids.h"
#include "windows/list_command.h"
#include "windows/lists_controller.h"

using namespace kovo;
using namespace kovo::windows;
using kovo::testing::description;
using kovo::testing::RecordingWindow;
using kovo::testing::two_year_company;

namespace {

const std::string kCompany = two_year_company("A", R"(,
  "accounts":[{"code":"1000-10","description":"Cash","type":"100"},
              {"code":"4000-10","description":"Sales East","type":"400"},
              {"code":"4000-20","description":"Sales West","type":"400"}],
  "segments":[{"segment":2,"value":"10","description":"East"},
              {"segment":2,"value":"20","description":"West"}])");

class ListsControllerTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    lists::release_lists();
    build(description(kCompany));
    settings().company = "A";
  }
  void TearDown() override {
    lists::release_lists();
    LedgerTest::TearDown();
  }
  std::vector<RecordingWindow::Box> info(std::initializer_list<const char*> texts) {
    std::vector<RecordingWindow::Box> out;
    for (const char* t : texts) out.push_back({BoxKind::Information, t});
    return out;
  }
  RecordingWindow window;
  lists::ListsController controller{settings(), window};
};

TEST_F(ListsControllerTest, OpensWithTheSettingsChoicesAndTheCompanysSegments) {
  settings().selected_list = 9;
  settings().list_transpose = 1;
  settings().list_segment_where = "Account";
  const lists::ListsView view = controller.open();
  EXPECT_EQ(view.checked_control, IDC_LIST_ACCOUNTS);
  EXPECT_FALSE(view.segment_fields) << "segment fields only for Segments";
  EXPECT_TRUE(view.transpose);
  EXPECT_EQ(view.segment_items, (std::vector<std::string>{"Account", "Dept"}));
  EXPECT_EQ(view.where_items, (std::vector<std::string>{"(None)", "Account", "Dept"}));
  EXPECT_EQ(view.where, "Account");
  EXPECT_TRUE(controller.choose(IDC_LIST_SEGMENTS));
  EXPECT_TRUE(controller.segment_fields_enabled());
  EXPECT_EQ(settings().selected_list, 0);
  EXPECT_FALSE(controller.choose(IDC_LIST_TRANSPOSE)) << "a check box is no list";

  settings().selected_list = 77;  // a stored value of no button
  EXPECT_EQ(controller.open().checked_control, IDC_LIST_SEGMENTS);
  settings().company = "ZZZ";
  const lists::ListsView failed = controller.open();
  EXPECT_TRUE(failed.company_failed);
  EXPECT_TRUE(failed.segment_items.empty());
  EXPECT_EQ(window.boxes, (std::vector<RecordingWindow::Box>{{BoxKind::Error, "No such company: - ZZZ"}}));
}

TEST_F(ListsControllerTest, WhereFillsIsWithThatSegmentsValues) {
  controller.open();
  EXPECT_EQ(controller.where_changed("dept"), (std::vector<std::string>{"10", "20"}));
  EXPECT_EQ(controller.where_changed("(None)"), std::vector<std::string>{});
  EXPECT_EQ(controller.where_changed("Region"), std::vector<std::string>{}) << "a name of no segment selects none";
  lists::release_lists();
  window.stop_after_rows = 0;
  EXPECT_EQ(controller.where_changed("Account"), std::nullopt) << "stopped: the choices stay as they were";
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(ListsControllerTest, SendPutsTheListOnTheClipboardAndSaysSo) {
  controller.open();
  controller.choose(IDC_LIST_SEGMENTS);
  controller.send({"Dept", "Account", "4*"});
  EXPECT_EQ(window.clipboard, "'10\tEast\r\n'20\tWest\r\n");
  EXPECT_EQ(settings().list_segment_where, "Account") << "the fields are kept with the settings";
  EXPECT_EQ(settings().list, "") << "each send composes its request again";
  controller.choose(IDC_LIST_BWB_HEADERS);
  controller.send({"Dept", "Account", "4*"});
  EXPECT_EQ(window.clipboard->substr(0, 24), "'ACCOUNT\t'DESCRIPTION\t'O");
  controller.choose(IDC_LIST_SEGMENTS);
  controller.send({"Region", "(None)", ""});
  window.clipboard_opens = false;
  controller.send({"Dept", "(None)", ""});
  EXPECT_EQ(window.boxes, info({"The list was sent to the Clipboard.", "The list was sent to the Clipboard.",
                                "Request failed.", "Request failed."}));
  window.boxes.clear();
  window.stop_after_rows = 0;
  window.clipboard_opens = true;
  window.clipboard = "marker";
  lists::release_lists();
  controller.send({"Dept", "(None)", ""});
  EXPECT_EQ(window.clipboard, "marker") << "a stopped list is not sent";
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(ListsControllerTest, WithoutAUserTheClipboardIsEmptiedFirst) {
  window.automated = settings().no_show = 1;
  controller.open();
  // The list goes back to the caller, and the clipboard holds nothing stale.
  settings().no_clipboard = 1;
  settings().list = "Dept";
  controller.send({});
  EXPECT_EQ(window.handed_back, (std::vector<std::string>{"'10\tEast\r\n'20\tWest\r\nKovoListDone"}));
  EXPECT_EQ(window.clipboard, std::nullopt);
  EXPECT_EQ(settings().list, "") << "each request names its list again";
  // A failure empties it too, and goes back to the caller.
  window.clipboard = "an earlier list";
  settings().company = "ZZZ";
  settings().list = "Dept";
  controller.send({});
  EXPECT_EQ(window.handed_back.back(), "Kovo [CYMA] No such company: - ZZZ");
  EXPECT_EQ(window.clipboard, std::nullopt);
  // Without NoClipboard the list goes to the clipboard, silently.
  clear_message();
  settings().company = "A";
  settings().no_clipboard = 0;
  settings().list = "Years";
  controller.send({});
  EXPECT_EQ(window.clipboard, "0\r\n2008\r\n2007\r\n");
  settings().company = "ZZZ";
  controller.send({});
  EXPECT_EQ(window.clipboard, std::nullopt) << "a failed list leaves no stale text behind";
  EXPECT_TRUE(message_pending()) << "the failure is left for the command's answer";
  EXPECT_TRUE(window.boxes.empty());
}

TEST_F(ListsControllerTest, QuitSavesTheChoicesAndSaysWhenItCannot) {
  controller.quit();
  EXPECT_EQ(window.saves, 1);
  EXPECT_TRUE(window.closed);
  EXPECT_TRUE(window.boxes.empty());
  window.settings_written = false;
  controller.quit();
  EXPECT_EQ(window.boxes, (std::vector<RecordingWindow::Box>{{BoxKind::Error, "The .INI file could not be written."}}));
}

}  // namespace
