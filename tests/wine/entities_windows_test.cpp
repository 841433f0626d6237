// The financial entities windows inside the test process over the demo
// ledger: the file's folder chosen in the entities setup window (reached from
// the setup window), the file built there from the ledger, then an entity
// made in the maintenance window (reached from the main window's menu) that
// a request reads as the values it stands for, until it is deleted.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "connector_on_demo.h"
#include "entry/command_codes.h"
#include "resources/resource_ids.h"

using kovo::testing::InProcessBoxWatcher;

namespace {

namespace codes = kovo::codes;
namespace fs = std::filesystem;

class EntitiesWindows : public kovo::testing::ConnectorOnDemoLedger {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("kovo-entities-" + std::to_string(GetCurrentProcessId()));
    std::error_code ec;
    fs::remove_all(folder_, ec);
    fs::create_directories(folder_);
    ConnectorOnDemoLedger::SetUp();
  }
  void TearDown() override {
    ConnectorOnDemoLedger::TearDown();
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }

  HWND dialog(const char* caption) {
    pump();
    HWND window = kovo::testing::find_own_window("#32770", caption);
    return window && IsWindowVisible(window) ? window : nullptr;
  }
  void click(HWND window, int control) { SendMessageA(GetDlgItem(window, control), BM_CLICK, 0, 0); }
  std::string text_of(HWND window, int control) {
    char text[300] = {};
    GetDlgItemTextA(window, control, text, sizeof text);
    return text;
  }
  std::vector<std::string> combo_items(HWND window, int combo) {
    std::vector<std::string> items;
    const auto count = SendDlgItemMessageA(window, combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      char text[300] = {};
      if (SendDlgItemMessageA(window, combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < LRESULT{sizeof text})
        SendDlgItemMessageA(window, combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      items.emplace_back(text);
    }
    return items;
  }
  void choose(HWND window, int combo, int index) {
    SendDlgItemMessageA(window, combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, combo)));
  }

  fs::path folder_;
};

TEST_F(EntitiesWindows, TheFileIsMadeWhereChosenAndAnEntityStandsForItsValuesInRequests) {
  InProcessBoxWatcher boxes;  // answers every box with OK

  // Setup, then its entities setup: the file goes to a folder of our own.
  call(codes::kSetup, ("Company=DEMO" + system()).c_str());
  HWND setup = dialog("Kovo Setup [CYMA]");
  ASSERT_TRUE(setup);
  click(setup, IDC_SETUP_ENTITIES);
  HWND fe = dialog("Kovo Financial Entities Setup");
  ASSERT_TRUE(fe);
  SetDlgItemTextA(fe, IDC_FE_PATH, folder_.string().c_str());
  click(fe, IDC_FE_OTHER);
  click(fe, IDC_FE_CREATE);  // confirmed with OK: built from the ledger's values
  const fs::path file = folder_ / "DEMO.sad";
  EXPECT_TRUE(fs::exists(file)) << "made in the chosen folder";
  click(fe, IDOK);
  EXPECT_FALSE(IsWindow(fe));
  click(setup, IDOK);
  EXPECT_FALSE(IsWindow(setup));
  const auto seen = boxes.texts();
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0].substr(0, 38), "The Financial Entities file must be in") << "the note on the file's folder";
  EXPECT_NE(seen[1].find("Building  new FE file using segment  values  for: \r\r   DEMO\r"), std::string::npos) << seen[1];
  EXPECT_EQ(seen[2], "Financial Entities File updated.");

  // The maintenance window from the main window's menu: the file is there,
  // so no box says it is missing; the departments are listed.
  PostMessageA(main_window(), WM_COMMAND, IDM_FE_FILE, 0);
  HWND sad = dialog("Kovo Maintain Financial Entities File");
  ASSERT_TRUE(sad);
  EXPECT_EQ(boxes.texts().size(), seen.size()) << "no box at opening";
  const auto segments = combo_items(sad, IDC_SAD_SEGMENT);
  ASSERT_EQ(segments.size(), 2u);
  choose(sad, IDC_SAD_SEGMENT, 1);
  const auto departments = combo_items(sad, IDC_SAD_ITEM);
  ASSERT_GE(departments.size(), 2u);
  const std::string first = departments[0].substr(0, departments[0].find(';'));
  const std::string second = departments[1].substr(0, departments[1].find(';'));

  // An entity for two departments: a request naming it adds up both.
  click(sad, IDC_SAD_ENTITY_MODE);
  EXPECT_EQ(text_of(sad, IDC_SAD_ITEM_LABEL), "Financial Entity:");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sad, IDC_SAD_REBUILD)));
  SetDlgItemTextA(sad, IDC_SAD_ITEM, "WEST");
  SetDlgItemTextA(sad, IDC_SAD_TEXT, (first + "," + second).c_str());
  click(sad, IDC_SAD_ADD_UPDATE);
  EXPECT_EQ(combo_items(sad, IDC_SAD_ITEM), std::vector<std::string>{"WEST"});
  const std::string both = call(codes::kGl, ("4000-" + first + ",4000-" + second + ";Year to Date;DEMO;2008").c_str());
  EXPECT_EQ(call(codes::kGl, "4000-WEST;Year to Date;DEMO;2008"), both);
  EXPECT_NE(both, call(codes::kGl, ("4000-" + first + ";Year to Date;DEMO;2008").c_str())) << "a figure of its own";

  // Chosen again it shows its specifier; deleted, the request no longer
  // knows the name.
  choose(sad, IDC_SAD_ITEM, 0);
  EXPECT_EQ(text_of(sad, IDC_SAD_TEXT), first + "," + second);
  click(sad, IDC_SAD_DELETE);
  EXPECT_TRUE(combo_items(sad, IDC_SAD_ITEM).empty());
  EXPECT_NE(call(codes::kGl, "4000-WEST;Year to Date;DEMO;2008"), both);
  click(sad, IDCANCEL);
  EXPECT_FALSE(IsWindow(sad));
  EXPECT_EQ(boxes.texts().size(), seen.size()) << "nothing went wrong on the way";
}

}  // namespace
