// The add-in's menu commands in the sheet host under Wine, with Kovo.exe and
// a connector: command strings reaching the connector, the Options dialog
// answered by window messages, the add-in's boxes answered by the batch run
// (or, with a window, by a person's window messages), zero suppression,
// viewer copies and the migration of the older generation's formulas.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "addin/resources/tool_dialog_ids.h"
#include "program_runner.h"
#include "server_fixture.h"
#include "sheet_runner.h"

namespace {

namespace fs = std::filesystem;
using kovo::testing::bin_folder;
using kovo::testing::ProgramResult;
using kovo::testing::ScopedEnv;
using kovo::testing::ServerFolder;
using kovo::testing::settings_file;
using kovo::testing::wait_for;

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void set_setting(const char* section, const char* key, const std::string& value) {
  WritePrivateProfileStringA(section, key, value.c_str(), settings_file().c_str());
}

std::string setting(const char* section, const char* key) {
  char text[512] = {};
  GetPrivateProfileStringA(section, key, "<missing>", text, sizeof text, settings_file().c_str());
  return text;
}

// Numbers listed in a saved workbook's "hiddenRows" (or the letters of
// "hiddenColumns"), as written.
std::vector<std::string> hidden(const std::string& json, const std::string& key) {
  std::vector<std::string> items;
  const auto at = json.find("\"" + key + "\"");
  if (at == std::string::npos) return items;
  const auto open = json.find('[', at), close = json.find(']', at);
  std::string item;
  for (auto i = open + 1; i < close; ++i) {
    const char c = json[i];
    if (c == ',') items.push_back(item), item.clear();
    else if (c != ' ' && c != '\n' && c != '"' && c != '\r') item += c;
  }
  if (!item.empty()) items.push_back(item);
  return items;
}

// Looks for the sheet host's dialogs and boxes (captions of the add-in) in
// every process and hands each one, once, to the case's handler.
class DialogWatcher {
 public:
  using Handler = std::function<void(HWND window, const std::string& caption, const std::string& text)>;
  explicit DialogWatcher(Handler handler) : handler_(std::move(handler)), thread_([this] { run(); }) {}
  ~DialogWatcher() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::string> seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }

 private:
  void run() {
    while (!stop_) {
      EnumWindows(
          [](HWND window, LPARAM self) -> BOOL {
            reinterpret_cast<DialogWatcher*>(self)->look_at(window);
            return TRUE;
          },
          reinterpret_cast<LPARAM>(this));
      Sleep(20);
    }
  }
  void look_at(HWND window) {
    if (!IsWindowVisible(window) || window == last_) return;
    char class_name[64] = {}, caption[256] = {}, text[2048] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    if (std::string(class_name) != "#32770") return;
    GetWindowTextA(window, caption, sizeof caption);
    const std::string c = caption;
    if (c != "Kovo for Excel" && c != "Add-in Settings" && c != "Analyze Your Spreadsheet") return;
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
    {
      std::lock_guard lock(mutex_);
      seen_.push_back(c + ": " + text);
    }
    last_ = window;
    handler_(window, c, text);
    Sleep(100);
  }

  Handler handler_;
  std::atomic<bool> stop_{false};
  HWND last_ = nullptr;
  std::mutex mutex_;
  std::vector<std::string> seen_;
  std::thread thread_;
};

// Presses OK on whatever comes up.
void press_ok(HWND window, const std::string&, const std::string&) { PostMessageA(window, WM_COMMAND, IDOK, 0); }

// Closes the sheet host's main window (class "XLMAIN") of an interactive run
// once it is shown, which ends that run.
class MainWindowCloser {
 public:
  MainWindowCloser() : thread_([this] {
    while (!stop_) {
      EnumWindows(
          [](HWND window, LPARAM) -> BOOL {
            char class_name[32] = {};
            GetClassNameA(window, class_name, sizeof class_name);
            if (std::string(class_name) == "XLMAIN" && IsWindowVisible(window)) PostMessageA(window, WM_CLOSE, 0, 0);
            return TRUE;
          },
          0);
      Sleep(20);
    }
  }) {}
  ~MainWindowCloser() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The add-in in the sheet host with Kovo.exe and the pretend connector
// (found as LEDRA5), which logs every call it gets.
class AddinCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::make_unique<ServerFolder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
    set_setting("Kovo Server", "Path", folder_->path().string() + "\\");
    set_setting("Kovo Excel", "BuildToolBar", "N");
    folder_->add_versioned_connector();
    log_ = folder_->path() / "calls.log";
    log_env_ = std::make_unique<ScopedEnv>("FAKE_CONNECTOR_LOG", log_.string());
    ASSERT_TRUE(folder_->start());
  }
  void TearDown() override {
    EXPECT_TRUE(wait_for([] { return FindWindowA("KovoMainServerClass", nullptr) == nullptr; }, 20000));
    folder_.reset();
    log_env_.reset();
  }
  fs::path file(const std::string& name) const { return folder_->path() / name; }
  std::string quoted(const std::string& name) const { return "\"" + file(name).string() + "\""; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name), std::ios::binary) << text;
  }
  ProgramResult sheet(const std::string& arguments) const {
    // Run beside a message loop: the server probe left DDE windows on this
    // thread, and the add-in's connect waits for every window to answer.
    const ProgramResult r = kovo::testing::run_sheet_host(
        "\"" + bin_folder() + "kovo-sheet.exe\" --addin \"" + bin_folder() + "Kovo.XLL\" " + arguments);
    EXPECT_EQ(r.exit_code, 0u) << r.errors;
    return r;
  }
  // The connector's calls, "code|arguments|buffer" (a command without
  // parentheses reaches the connector whole as its arguments).
  std::vector<std::string> calls() const {
    std::vector<std::string> lines;
    std::istringstream in(slurp(log_));
    for (std::string line; std::getline(in, line);)
      if (line.rfind("ECHO32.DLL:", 0) == 0) lines.push_back(line.substr(11));
    return lines;
  }
  // Position of a call in the log, or -1.
  int position(const std::string& call, int after = -1) const {
    const auto all = calls();
    for (int i = after + 1; i < static_cast<int>(all.size()); ++i)
      if (all[static_cast<std::size_t>(i)] == call) return i;
    return -1;
  }

  std::unique_ptr<ServerFolder> folder_;
  fs::path log_;
  std::unique_ptr<ScopedEnv> log_env_;
};

TEST_F(AddinCommands, CommandStringsReachTheConnector) {
  write("in.csv", "\"=GL(\"\"1000\"\",\"\"This Month\"\")\",a,b,c\r\n");
  sheet("--import " + quoted("in.csv") +
        " --select A1 --run DrillDown --run DrillDown(NoShow=1) --run KovoList(B1:D1) --run KovoReset(B1)"
        " --run Setup --run Inquire");
  // DrillDown enters the active cell's formula again first: its request
  // reaches the connector before the command, with and without NoShow.
  const int first = position("100|1000;This Month|buffer");
  const int drill = position("5|[DRILLDOWN]|null", first);
  ASSERT_GE(first, 0) << slurp(log_);
  EXPECT_GT(drill, first) << slurp(log_);
  const int again = position("100|1000;This Month|buffer", drill);
  EXPECT_GT(again, drill);
  EXPECT_GT(position("5|NoShow=1|buffer", again), again) << slurp(log_);
  EXPECT_GE(position("19|a,b,c|buffer"), 0) << "KovoList packs its range";
  EXPECT_GE(position("21|[KovoReset]|null"), 0) << "KovoReset never carries arguments";
  EXPECT_GE(position("3|[SETUP]|null"), 0);
  EXPECT_GE(position("22|[INQUIRE]|null"), 0);
}

TEST_F(AddinCommands, VersionBoxHasThreeLines) {
  // A batch run answers the add-in's box itself and writes it down: nobody
  // here presses a button (the run would wait for ever otherwise).
  write("in.csv", "x\r\n");
  const ProgramResult r = sheet("--import " + quoted("in.csv") + " --run VersionKovo");
  std::string errors = r.errors;
  errors.erase(std::remove(errors.begin(), errors.end(), '\r'), errors.end());
  EXPECT_NE(errors.find("kovo-sheet: box \"Kovo for Excel\" (answered OK): Excel Kovo Client Version 4.2.0.5\n"
                          "Fake Version 1.0\nKovo Server Version 4.2.0.2 May 2009\n"),
            std::string::npos)
      << errors;
}

TEST_F(AddinCommands, OptionsWriteTheSettingsButLeaveTheRegistrations) {
  set_setting("Kovo Excel", "Functions Dirty", "N");
  set_setting("Kovo Excel", "DDE Time Out", "45");
  DialogWatcher watcher([](HWND window, const std::string& caption, const std::string&) {
    if (caption != "Add-in Settings") return PostMessageA(window, WM_COMMAND, IDOK, 0), void();
    SendMessageA(GetDlgItem(window, IDC_OPT_ALWAYS_CALCULATE), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(window, IDC_OPT_COLUMN_WISE), BM_CLICK, 0, 0);
    SetDlgItemTextA(window, IDC_OPT_TIMEOUT, "60");
    PostMessageA(window, WM_COMMAND, IDOK, 0);
  });
  write("in.csv", "0,text\r\n");
  const ProgramResult r = sheet("--import " + quoted("in.csv") + " --trace --run XLLInitKovo --select A1:B1 --run ZeroSuppress");
  EXPECT_EQ(watcher.seen().size(), 1u);
  EXPECT_EQ(setting("Kovo Excel", "Functions Dirty"), "Y");
  EXPECT_EQ(setting("Kovo Excel", "Column Wise Zero Suppress"), "0");
  EXPECT_EQ(setting("Kovo Excel", "DDE Time Out"), "60");
  // The functions stay registered as they were (non-volatile) until the
  // next opening; no registration follows the dialog.
  const std::string& trace = r.errors;
  const auto command = trace.find("run command XLLInitKovo");
  ASSERT_NE(command, std::string::npos) << trace;
  EXPECT_NE(trace.find("\"GL\", \"RRRRRRRR\", \"GL\""), std::string::npos);
  EXPECT_EQ(trace.find("REGISTER(", command), std::string::npos);
  // The column choice took effect at once: columns are only shown again.
  std::size_t widths = 0;
  for (auto at = trace.find("COLUMN.WIDTH(", trace.find("run command ZeroSuppress")); at != std::string::npos;
       at = trace.find("COLUMN.WIDTH(", at + 1))
    ++widths;
  EXPECT_EQ(widths, 1u) << trace;
}

// The toolbar choice made in the Options dialog is the one closing follows:
// unticked, the toolbar loaded at opening is deleted, not saved.
TEST_F(AddinCommands, TheToolbarChoiceOfTheOptionsHoldsAtClosing) {
  folder_->copy("Toolbar_v40.xlb");
  set_setting("Kovo Excel", "BuildToolBar", "Y");
  set_setting("Kovo Excel", "Save ToolBar", "1");
  DialogWatcher watcher([](HWND window, const std::string& caption, const std::string&) {
    if (caption != "Add-in Settings") return PostMessageA(window, WM_COMMAND, IDOK, 0), void();
    SendMessageA(GetDlgItem(window, IDC_OPT_TOOLBAR), BM_CLICK, 0, 0);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
  });
  write("in.csv", "x\r\n");
  const ProgramResult r = sheet("--import " + quoted("in.csv") + " --trace --run XLLInitKovo");
  EXPECT_EQ(watcher.seen().size(), 1u);
  EXPECT_EQ(setting("Kovo Excel", "BuildToolBar"), "N");
  const std::string& trace = r.errors;
  const auto command = trace.find("run command XLLInitKovo");
  ASSERT_NE(command, std::string::npos) << trace;
  EXPECT_NE(trace.find("DELETE.TOOLBAR(", command), std::string::npos) << trace.substr(command);
  EXPECT_EQ(trace.find("SAVE.TOOLBAR(", command), std::string::npos) << trace.substr(command);
}

TEST_F(AddinCommands, ZeroSuppressHidesRowsAndColumnsOfZeroFigures) {
  write("in.csv",
        "Label,Other,Text\r\n"         // 1: labels only: stays
        "Label,0,0\r\n"                // 2: hidden
        "x,0,0.01\r\n"                 // 3: stays
        "y,=FALSE,\r\n"                // 4: hidden
        "z,0,\r\n");                   // 5: hidden
  DialogWatcher watcher(press_ok);
  for (int round = 0; round < 2; ++round) {
    sheet("--import " + quoted("in.csv") + " --select A1:C5 --run ZeroSuppress --run ZeroSuppress --save " + quoted("out.json"));
    const std::string json = slurp(file("out.json"));
    EXPECT_EQ(hidden(json, "hiddenRows"), (std::vector<std::string>{"2", "4", "5"})) << json;
    EXPECT_EQ(hidden(json, "hiddenColumns"), (std::vector<std::string>{"B"})) << "labels, zeros and FALSE";
  }
  EXPECT_TRUE(watcher.seen().empty());
}

TEST_F(AddinCommands, FortyZeroRowsAreHiddenInBatchesOfThirtyAndTen) {
  std::string csv;
  for (int i = 0; i < 40; ++i) csv += "0\r\n";
  write("in.csv", csv + "5\r\n");
  const ProgramResult r = sheet("--import " + quoted("in.csv") + " --select A1:A41 --trace --run ZeroSuppress --save " + quoted("out.json"));
  EXPECT_EQ(hidden(slurp(file("out.json")), "hiddenRows").size(), 40u);
  std::vector<std::size_t> batches;
  const std::regex cell("R[0-9]+C[0-9]+");
  for (auto at = r.errors.find("ROW.HEIGHT("); at != std::string::npos; at = r.errors.find("ROW.HEIGHT(", at + 1)) {
    const auto end = r.errors.find('\n', at);
    const std::string line = r.errors.substr(at, end - at);
    if (line.find(", FALSE, 1)") == std::string::npos) continue;  // the unhide
    batches.push_back(static_cast<std::size_t>(
        std::distance(std::sregex_iterator(line.begin(), line.end(), cell), std::sregex_iterator())));
  }
  EXPECT_EQ(batches, (std::vector<std::size_t>{30, 10})) << r.errors;
}

TEST_F(AddinCommands, ZeroSuppressOfTheWholeSheetOnlyWarnsAndChangesNothing) {
  // The whole sheet as the host presents it (65536 x 256), in a batch run
  // that nobody watches: the warning is answered by the run, and the rows
  // hidden before stay hidden.
  write("in.json", R"json({"kovoSheet": 1, "sheets": [{"name": "S", "hiddenRows": [2], "hiddenColumns": ["C"],
    "cells": {"A1": 0, "A2": 5, "A3": 0}}]})json");
  const ProgramResult r =
      sheet("--open " + quoted("in.json") + " --select A1:IV65536 --run ZeroSuppress --save " + quoted("out.json"));
  EXPECT_NE(r.errors.find("kovo-sheet: box \"Kovo for Excel\" (answered OK): Why would you try to do zero-suppress "
                          "on over 4 million cells?"),
            std::string::npos)
      << r.errors;
  const std::string json = slurp(file("out.json"));
  EXPECT_EQ(hidden(json, "hiddenRows"), (std::vector<std::string>{"2"})) << json;
  EXPECT_EQ(hidden(json, "hiddenColumns"), (std::vector<std::string>{"C"})) << json;
}

TEST_F(AddinCommands, ZeroSuppressOnAProtectedSheetHidesNothingAndSaysWhy) {
  write("in.json", R"json({"kovoSheet": 1, "sheets": [{"name": "S", "protected": true, "hiddenRows": [5],
    "cells": {"A1": 0, "A2": 5, "A3": 0}}]})json");
  const ProgramResult r =
      sheet("--open " + quoted("in.json") + " --select A1:A5 --trace --run ZeroSuppress --save " + quoted("out.json"));
  EXPECT_NE(r.errors.find("kovo-sheet: box \"Kovo for Excel\" (answered OK): The sheet is protected: its rows and "
                          "columns cannot be hidden or shown. Unprotect it and try again."),
            std::string::npos)
      << r.errors;
  EXPECT_NE(r.errors.find("the sheet [in.json]S is protected"), std::string::npos) << r.errors;
  EXPECT_EQ(hidden(slurp(file("out.json")), "hiddenRows"), (std::vector<std::string>{"5"}));
}

TEST_F(AddinCommands, ViewerCopyKeepsFiguresAndRequestsAsNotes) {
  write("in.csv", "1,2,=SUM(A1:B1),\"=GL(\"\"1000\"\",\"\"Year to Date\"\")\",\"=MOD(7,4)\","
                  "\"=KovoData(\"\"2000\"\",\"\"Month 1\"\")\",\"=BSPEC(\"\"1000\"\")\"\r\n");
  const ProgramResult r = sheet("--import " + quoted("in.csv") + " --select A1:G1 --run ToViewer --save " + quoted("out.json"));
  const std::string json = slurp(file("out.json"));
  EXPECT_NE(json.find("=SUM(A1:B1)"), std::string::npos) << json;
  EXPECT_NE(json.find("=MOD(7,4)"), std::string::npos) << "not a product formula";
  EXPECT_EQ(json.find("=GL("), std::string::npos) << json;
  // Whichever of the product's functions a formula calls, the copy keeps its value only.
  EXPECT_EQ(json.find("=KovoData("), std::string::npos) << json;
  EXPECT_EQ(json.find("=BSPEC("), std::string::npos) << json;
  EXPECT_NE(json.find("code 100 [2000;Month 1]"), std::string::npos) << json;
  EXPECT_NE(json.find("GL;2000;Month 1"), std::string::npos) << "KovoData's request as its note";
  EXPECT_NE(json.find("code 100 [1000;Year to Date]"), std::string::npos) << "the value kept";
  EXPECT_NE(json.find("GL;1000;Year to Date"), std::string::npos) << "the request as the note";
  EXPECT_NE(r.errors.find("kovo-sheet: box \"Kovo for Excel\" (answered OK): This operation will remove all Kovo "
                          "functions from the selected area."),
            std::string::npos)
      << "the question, answered with its default button";
  const auto all = calls();
  const int requests = static_cast<int>(std::count(all.begin(), all.end(), "100|1000;Year to Date|buffer"));
  EXPECT_EQ(requests, 1) << "the import's calculation only; the capture sends nothing";
}

TEST_F(AddinCommands, ViewerCopyWithNoShowAsksNothingAndCancelChangesNothing) {
  write("in.csv", "\"=GL(\"\"1000\"\")\"\r\n");
  {
    // With a window a person answers: Cancel.
    DialogWatcher watcher([](HWND w, const std::string&, const std::string&) { PostMessageA(w, WM_COMMAND, IDCANCEL, 0); });
    MainWindowCloser closer;
    sheet("--window --import " + quoted("in.csv") + " --select A1 --run ToViewer --save " + quoted("out.json"));
    EXPECT_EQ(watcher.seen().size(), 1u);
    EXPECT_NE(slurp(file("out.json")).find("=GL("), std::string::npos);
  }
  DialogWatcher watcher(press_ok);
  const ProgramResult r =
      sheet("--import " + quoted("in.csv") + " --select A1 --run ToViewer(NoShow=1) --save " + quoted("out.json"));
  EXPECT_TRUE(watcher.seen().empty());
  EXPECT_EQ(r.errors.find("kovo-sheet: box"), std::string::npos) << r.errors;
  EXPECT_EQ(slurp(file("out.json")).find("=GL("), std::string::npos);
}

TEST_F(AddinCommands, MigrateRewritesEverySheetAndLeavesTheRestAsFound) {
  write("book.json", R"json({"kovoSheet": 1, "sheets": [
    {"name": "One", "hiddenRows": [2], "cells": {
      "A1": {"formula": "=KovoV5.CONNECT.GL(B1)+KovoV5.CONNECT.GL(B2)"}, "B1": "1000", "B2": "2000",
      "A3": {"formula": "=SUM(1,2)"}}},
    {"name": "Locked", "protected": true, "cells": {"A1": {"formula": "=KovoV5.CONNECT.DESC(\"4000\")"}}},
    {"name": "Two", "cells": {"C4": {"formula": "=kovov5.connect.NGL(\"4000\")"}}}
  ]})json");
  const ProgramResult r = sheet("--addin \"" + bin_folder() + "KovoTest.xll\" --open " + quoted("book.json") +
                                " --run TxAutomatic --trace --run Migrate --save " + quoted("out.json"));
  const std::string json = slurp(file("out.json"));
  EXPECT_NE(json.find("=GL(B1)+GL(B2)"), std::string::npos) << json;
  EXPECT_NE(json.find("=NGL(\\\"4000\\\")"), std::string::npos) << json;
  EXPECT_NE(json.find("=KovoV5.CONNECT.DESC"), std::string::npos) << "a protected sheet is skipped";
  EXPECT_NE(json.find("Kovo formula migrated. Please Recalculate."), std::string::npos);
  EXPECT_NE(json.find("=SUM(1,2)"), std::string::npos) << "other formulas untouched";
  EXPECT_TRUE(hidden(json, "hiddenRows").empty()) << "rows hidden in the used range are shown again";
  // Manual calculation while migrating, then the mode found before.
  const std::string& trace = r.errors;
  const auto last = trace.rfind("CALCULATION(");
  ASSERT_NE(last, std::string::npos) << trace;
  EXPECT_EQ(trace.compare(last, 14, "CALCULATION(1)"), 0) << trace.substr(last, 40);
  EXPECT_NE(trace.find("CALCULATION(3)", trace.find("run command Migrate")), std::string::npos);
  EXPECT_NE(trace.find("status bar: \" Migrating Kovo formulas done.\""), std::string::npos);
}

}  // namespace
