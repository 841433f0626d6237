// The data preload inside the test process, as the server's process holds
// it: "[KovoDPL" without a user, the TURBO window driven by messages with its
// progress, Cancel, Clear and the automatic-preload button, and the
// automatic preload when the connector starts.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "box_watcher.h"
#include "connector_on_demo.h"
#include "demo_ledger.h"
#include "entry/command_codes.h"
#include "resources/resource_ids.h"

using kovo::testing::ConnectorInProcess;
using kovo::testing::DemoLedger;
using kovo::testing::InProcessBoxWatcher;

namespace {

namespace codes = kovo::codes;
constexpr char kTitle[] = "Data PreLoad [CYMA]";

// Every text the window's progress line is given while a hook is in place.
struct ProgressTexts {
  static inline HWND line = nullptr;
  static inline std::vector<std::string> texts;
  static LRESULT CALLBACK hook(int code, WPARAM wparam, LPARAM lparam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && message->hwnd == line && message->message == WM_SETTEXT && message->lParam)
      texts.emplace_back(reinterpret_cast<const char*>(message->lParam));
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }
};

void write_setting(const std::string& name, const std::string& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kovo::testing::kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

std::string read_setting(const std::string& name) {
  char value[512] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, kovo::testing::kSettingsKey, name.c_str(), RRF_RT_REG_SZ, nullptr, value,
                   &size) != ERROR_SUCCESS)
    return "<none>";
  return value;
}

class PreloadWindow : public kovo::testing::ConnectorOnDemoLedger {
 protected:
  void SetUp() override {
    ConnectorOnDemoLedger::SetUp();
    // requests carry no "System": the ledger is the setting's
    call(codes::kSetup, ("NoShow=1" + system()).c_str());
  }
  std::string gl(const std::string& args) { return call(codes::kGl, args.c_str()); }
  HWND open_window(const std::string& parameters) {
    call(codes::kDataPreload, (parameters + system()).c_str());
    pump();
    HWND window = kovo::testing::find_own_window("#32770", kTitle);
    EXPECT_TRUE(window && IsWindowVisible(window));
    return window;
  }
  std::string text(HWND window, int control) {
    char value[512] = {};
    GetDlgItemTextA(window, control, value, sizeof value);
    return value;
  }
  void click(HWND window, int control) { SendMessageA(GetDlgItem(window, control), BM_CLICK, 0, 0); }

};

TEST_F(PreloadWindow, TheCommandWithoutAUserPreloadsAndAnswersTheSameFigures) {
  const std::string wide = "4000-*;Year to Date;DEMO";
  const std::string before = gl(wide);
  const std::string last_year = gl("4000-*;Year to Date Last Year;DEMO");
  {
    // one watcher at a time: two would race for the same box
    InProcessBoxWatcher boxes;
    int status = -1;
    EXPECT_EQ(call(codes::kDataPreload, ("NoShow=1,DPL Company=DEMO,DPL Include Last Year=1" + system()).c_str(), &status), "");
    EXPECT_EQ(status, kovo::kStatusProcessed);
    EXPECT_EQ(gl(wide), before);
    EXPECT_EQ(gl("4000-*;Year to Date Last Year;DEMO"), last_year);

    // nothing found: the failure is the command's answer, and no box shows
    const std::string nothing =
        call(codes::kDataPreload, ("NoShow=1,DPL Company=DEMO,DPL Account=7999-99" + system()).c_str(), &status);
    EXPECT_EQ(status, kovo::kStatusNotProcessed);
    EXPECT_NE(nothing.find("DataPreLoad did not find any records for the current key."), std::string::npos) << nothing;
    pump();
    EXPECT_TRUE(boxes.texts().empty());
    EXPECT_EQ(kovo::testing::find_own_window("#32770", kTitle), nullptr);
  }

  // the preload held the company: the window asks before caching it again
  HWND window = open_window("DPL Company=DEMO,DPL Account=4*-*");
  ASSERT_TRUE(window);
  InProcessBoxWatcher no(IDNO);
  SendMessageA(window, WM_COMMAND, IDOK, 0);
  pump();
  EXPECT_EQ(no.texts(), std::vector<std::string>{"This company is already cached. Cache again?"});
}

TEST_F(PreloadWindow, ShowsProgressCancelsClearsAndSwitchesTheAutomaticPreload) {
  HWND window = open_window("DPL Company=DEMO,DPL Account=4*-*,DPL Include Budget=1");
  ASSERT_TRUE(window);
  EXPECT_EQ(text(window, IDC_TURBO_COMPANY), "DEMO");
  EXPECT_EQ(text(window, IDC_TURBO_ACCOUNT), "4*-*");
  EXPECT_EQ(text(window, IDC_TURBO_BUDGET_TYPE), "Budget");
  EXPECT_EQ(IsDlgButtonChecked(window, IDC_TURBO_THIS_YEAR), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(window, IDC_TURBO_LAST_YEAR), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(window, IDC_TURBO_BUDGET), BST_CHECKED);
  EXPECT_EQ(text(window, IDC_TURBO_ADPL), "ADPL Off");

  InProcessBoxWatcher boxes;
  ProgressTexts::line = GetDlgItem(window, IDC_TURBO_PROGRESS);
  ProgressTexts::texts.clear();
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, ProgressTexts::hook, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(hook);
  SendMessageA(window, WM_COMMAND, IDOK, 0);
  const std::vector<std::string> shown = ProgressTexts::texts;
  const auto any_starts = [&](const std::string& prefix) {
    for (const auto& t : shown)
      if (t.rfind(prefix, 0) == 0) return true;
    return false;
  };
  EXPECT_TRUE(any_starts("Reading balances ")) << ::testing::PrintToString(shown);
  EXPECT_TRUE(any_starts("Sorting accounts ")) << ::testing::PrintToString(shown);
  const std::string done = text(window, IDC_TURBO_PROGRESS);
  EXPECT_EQ(done.rfind("DEMO: ", 0), 0u) << done;
  EXPECT_NE(done, "DEMO: 0 accounts cached");

  // Clear, then Cancel waiting when the preload first looks at its
  // messages: nothing is cached afterwards, so OK asks no question
  click(window, IDC_TURBO_CLEAR);
  EXPECT_EQ(text(window, IDC_TURBO_PROGRESS), "DEMO: 0 accounts cached");
  ProgressTexts::texts.clear();
  PostMessageA(window, WM_COMMAND, IDM_STOP_FILL, 0);
  SendMessageA(window, WM_COMMAND, IDOK, 0);
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(ProgressTexts::texts.size() >= 1, true);
  EXPECT_EQ(text(window, IDC_TURBO_PROGRESS), "DEMO: 0 accounts cached") << "the cancelled set is gone";
  pump();
  EXPECT_TRUE(boxes.texts().empty()) << ::testing::PrintToString(boxes.texts());

  click(window, IDC_TURBO_ADPL);
  EXPECT_EQ(text(window, IDC_TURBO_ADPL), "ADPL On");
  EXPECT_EQ(read_setting("ADPL Company On DEMO"), "1");
  EXPECT_EQ(read_setting("ADPL Enabled"), "1");
  click(window, IDC_TURBO_ADPL);
  EXPECT_EQ(text(window, IDC_TURBO_ADPL), "ADPL Off");
  EXPECT_EQ(read_setting("ADPL Company On DEMO"), "0");
  EXPECT_EQ(read_setting("ADPL Account DEMO"), "4*-*");

  SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
  pump();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(read_setting("DPL Account"), "4*-*");
}

TEST_F(PreloadWindow, CompaniesMarkedForAutomaticPreloadArePreloadedAtStart) {
  ASSERT_EQ(cleanup_(), 0);
  pump();
  write_setting("System", ledger_.system());
  write_setting("ADPL Enabled", "1");
  write_setting("ADPL Company On DEMO", "1");
  write_setting("ADPL Account DEMO", "4*-*");
  write_setting("ADPL Budget On DEMO", "0");
  ASSERT_EQ(init_(), 0);
  pump();
  HWND window = open_window("DPL Company=DEMO");
  ASSERT_TRUE(window);
  InProcessBoxWatcher no(IDNO);
  SendMessageA(window, WM_COMMAND, IDOK, 0);
  pump();
  EXPECT_EQ(no.texts(), std::vector<std::string>{"This company is already cached. Cache again?"});
}

}  // namespace
