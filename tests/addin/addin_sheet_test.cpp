// Kovo.XLL in the sheet host under Wine, talking to Kovo.exe over DDE: the
// requests its worksheet functions send (seen by a pretend connector that
// logs them), the ledger's own figures through the real connector, the
// server started by the add-in, a server that goes away, and the add-in's
// opening and closing as the sheet host's trace shows them.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "demo_ledger.h"
#include "program_runner.h"
#include "server_fixture.h"
#include "sheet_files.h"
#include "sheet_runner.h"

namespace {

namespace fs = std::filesystem;
using kovo::testing::bin_folder;
using kovo::testing::read_text;
using kovo::testing::csv_line;
using kovo::testing::csv_cells;
using kovo::testing::ProgramResult;
using kovo::testing::ScopedEnv;
using kovo::testing::ServerFolder;
using kovo::testing::settings_file;
using kovo::testing::wait_for;

void write_setting(const char* section, const char* key, const std::string& value) {
  WritePrivateProfileStringA(section, key, value.c_str(), settings_file().c_str());
}

// Read from the file itself: this process's profile functions keep a copy
// of the file that a change by another process within the same second of
// modification time does not renew.
std::string read_setting(const char* section, const char* key) {
  std::istringstream in(read_text(settings_file()));
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inside = line == std::string("[") + section + "]";
      continue;
    }
    const std::size_t equals = line.find('=');
    if (inside && equals != std::string::npos && line.substr(0, equals) == key) return line.substr(equals + 1);
  }
  return "<missing>";
}

bool server_running() { return FindWindowA("KovoMainServerClass", nullptr) != nullptr; }

class AddinInSheet : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::make_unique<ServerFolder>(::testing::UnitTest::GetInstance()->current_test_info()->name());
    // The add-in's settings: the server's folder, and no toolbar file.
    write_setting("Kovo Server", "Path", folder_->path().string() + "\\");
    write_setting("Kovo Excel", "BuildToolBar", "N");
  }
  void TearDown() override {
    // A server the add-in started quits once the add-in closed its conversations.
    EXPECT_TRUE(wait_for([] { return !server_running(); }, 20000));
    folder_.reset();
  }
  fs::path file(const std::string& name) const { return folder_->path() / name; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(file(name), std::ios::binary) << text;
  }
  ProgramResult sheet(const std::string& arguments) const {
    return kovo::testing::run_sheet_host("\"" + bin_folder() + "kovo-sheet.exe\" --addin \"" + bin_folder() +
                                         "Kovo.XLL\" " + arguments);
  }
  // Imports the rows, recalculates and answers the exported values.
  // (Importing calculates the workbook once; --calc recalculates it.)
  std::vector<std::vector<std::string>> calculate(const std::string& csv, ProgramResult* run = nullptr,
                                                  const std::string& more = {}, bool recalculate = true) {
    write("in.csv", csv);
    const ProgramResult r = sheet("--import \"" + file("in.csv").string() + "\" " +
                                  (recalculate ? "--calc " : "") + more + " --export \"" +
                                  file("out.csv").string() + "\"");
    if (run) *run = r;
    EXPECT_EQ(r.exit_code, 0u) << r.errors;
    return csv_cells(read_text(file("out.csv")));
  }

  std::unique_ptr<ServerFolder> folder_;
};

// The pretend connector, found as LEDRA5, answers "code N [arguments]" and
// logs every call.
class AddinWithEcho : public AddinInSheet {
 protected:
  void SetUp() override {
    AddinInSheet::SetUp();
    folder_->add_versioned_connector();
    log_ = file("calls.log");
    log_env_ = std::make_unique<ScopedEnv>("FAKE_CONNECTOR_LOG", log_.string());
  }
  void TearDown() override {
    AddinInSheet::TearDown();
    log_env_.reset();
  }
  std::vector<std::string> calls() const {
    std::vector<std::string> lines;
    std::istringstream in(read_text(log_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  bool called(const std::string& line) const {
    const auto all = calls();
    return std::find(all.begin(), all.end(), line) != all.end();
  }
  fs::path log_;
  std::unique_ptr<ScopedEnv> log_env_;
};

TEST_F(AddinWithEcho, FunctionsSendTheirArgumentsAsTheRequestItem) {
  ASSERT_TRUE(folder_->start());
  const auto cells = calculate(
      csv_line({"=\"1000\"", "=GL(A1,12.7)"}) +
      csv_line({"", "=GL(\"a\",,\"DEMO\")"}) +
      csv_line({"", "=GL(\"'0100\")"}) +
      csv_line({"a", "=\"\"", "c"}) +
      csv_line({"", "=GL(A4:C4)", "=BSPEC(\"1000-2000\",A4:C4)", "=BSPEC(\"1000^2000\")"}) +
      csv_line({"", "=GL(\"x\",\"y\",D6)"}) +
      csv_line({"", "=GL(\"x\",,,,,,\"NOPE\")"}) +
      csv_line({"", "=WGL(1234.5,\"1000-10\",\"Month 1\",\"DEMO\",,,,\"LEDRA5\")", "=DESC(\"4000-10\",\"DEMO\",,,,\"ledra5\")"}) +
      csv_line({"", "=CODATA(\"NAME\",\"DEMO\")", "=OD(\"x\",2.9,TRUE)"}));
  ASSERT_GE(cells.size(), 9u);
  EXPECT_EQ(cells[0][1], "code 100 [1000;12]") << "a referenced text, a period truncated";
  EXPECT_EQ(cells[1][1], "code 100 [a;;DEMO]") << "a missing argument leaves its field empty";
  EXPECT_EQ(cells[2][1], "code 100 [0100]");
  EXPECT_EQ(cells[4][1], "code 100 [a,c]") << "the empty text of the range is left out";
  EXPECT_EQ(cells[4][2], "(1000-2000)(a,c)");
  EXPECT_EQ(cells[4][3], "1000^2000");
  EXPECT_EQ(cells[5][1], "Parameter 3not a string.");
  EXPECT_EQ(cells[6][1], "No conversation for ledger: NOPE");
  EXPECT_NE(cells[7][1].find("[1234.5;1000-10;Month 1;DEMO]"), std::string::npos) << cells[7][1];
  EXPECT_NE(cells[7][2].find("[4000-10;DEMO]"), std::string::npos) << cells[7][2];
  EXPECT_NE(cells[8][1].find("[NAME;DEMO]"), std::string::npos) << cells[8][1];
  EXPECT_NE(cells[8][2].find("[x;2;1"), std::string::npos) << cells[8][2];
  EXPECT_TRUE(called("ECHO32.DLL:100|1000;12|buffer"));
  EXPECT_TRUE(called("ECHO32.DLL:100|a;;DEMO|buffer"));
  EXPECT_FALSE(called("ECHO32.DLL:100|x;y|buffer")) << "a refused argument sends nothing";
  EXPECT_TRUE(folder_->watcher().boxes().empty());
}

TEST_F(AddinWithEcho, AServerThatGoesAwayLeavesErrorTextsInTheCells) {
  write_setting("Kovo Excel", "DDE Time Out", "5");
  ASSERT_TRUE(folder_->start());
  // Each cell refers to the one before it, so that they are asked in order.
  const auto cells = calculate(csv_line({"=GL(\"before\")"}) +
                               csv_line({"=GL(CONCATENATE(B2,A1))", "FAKE-SERVER-EXIT"}) +
                               csv_line({"=GL(CONCATENATE(\"after\",A2))"}),
                               nullptr, {}, false);
  ASSERT_GE(cells.size(), 3u);
  EXPECT_EQ(cells[0][0], "code 100 [before]");
  EXPECT_TRUE(folder_->exited(10000));
  // The request in flight and the one after it fail with the DDE error's
  // name or the server's silence, never a figure or a hang.
  for (int row : {1, 2}) {
    const std::string text = cells[row][0];
    EXPECT_TRUE(text.rfind("DMLERR_", 0) == 0 || text == "The Kovo Server is not responding.") << row << ": " << text;
  }
}

// With the default time-out of five minutes: the conversation with a dead
// server ends at once, the cells after it say so without waiting, and the
// next calculation starts the server again from "Path".
TEST_F(AddinWithEcho, AServerThatDiesEndsItsConversationsAtOnce) {
  ASSERT_TRUE(folder_->start());
  const auto began = GetTickCount();
  std::string rows = csv_line({"=GL(\"before\")"}) + csv_line({"=GL(CONCATENATE(B2,A1))", "FAKE-SERVER-EXIT"});
  for (int row = 3; row <= 8; ++row)
    rows += csv_line({"=GL(CONCATENATE(\"after\",A" + std::to_string(row - 1) + "))"});
  const auto cells = calculate(rows, nullptr, {}, false);
  const auto seconds = (GetTickCount() - began) / 1000.0;
  EXPECT_LT(seconds, 30.0) << "a dead server is noticed at once, not after the time-out";
  ASSERT_GE(cells.size(), 8u);
  EXPECT_EQ(cells[0][0], "code 100 [before]");
  EXPECT_TRUE(folder_->exited(10000));
  for (std::size_t row = 1; row < 8; ++row)
    EXPECT_EQ(cells[row][0], "The Kovo Server is not responding.") << row;
  EXPECT_FALSE(server_running()) << "no server is started again within the same calculation";

  const auto again = calculate(csv_line({"=GL(\"again\")"}));
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0][0], "code 100 [again]") << "the next calculation starts the server again";
}

// Once the server is known to run, a topic it does not offer is refused at
// once: the tries that wait for a starting server are not spent on it.
TEST_F(AddinWithEcho, ATopicTheRunningServerDoesNotOfferFailsAtOnce) {
  ASSERT_TRUE(folder_->start());
  const auto began = GetTickCount();
  const auto cells = calculate(csv_line({"=GL(\"x\",,,,,,\"KESTA1\")"}) + csv_line({"=GL(\"y\",,,,,,\"kesta1\")"}) +
                               csv_line({"=GL(\"z\")"}));
  EXPECT_LT((GetTickCount() - began) / 1000.0, 15.0) << "each asking would wait ten seconds";
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[0][0], "No conversation for ledger: KESTA1");
  EXPECT_EQ(cells[1][0], "No conversation for ledger: kesta1");
  EXPECT_EQ(cells[2][0], "code 100 [z]");
}

TEST_F(AddinWithEcho, OpeningRegistersWritesEverySettingAndClosingUndoesIt) {
  write_setting("Kovo Excel", "Functions Dirty", "N");
  write_setting("Kovo Excel", "List Separator", "|");
  ASSERT_TRUE(folder_->start());
  ProgramResult run;
  calculate(csv_line({"=NGL(\"1\")"}), &run, "--menus --trace --run ExitKovo --menus");
  const std::string& trace = run.errors;
  // Non-volatile functions when "Functions Dirty" begins with N.
  EXPECT_NE(trace.find("\"GL\", \"RRRRRRRR\", \"GL\""), std::string::npos) << trace;
  EXPECT_NE(trace.find("\"WGL\", \"RRRRRRRRR\", \"WGL\""), std::string::npos);
  EXPECT_EQ(trace.find("RRRR!\""), std::string::npos);
  // Every key of the settings file, written back at opening.
  for (const char* key : {"Functions Dirty", "Column Wise Zero Suppress", "Row Symbol", "Column Symbol",
                          "Sum Function Text", "Help Menu Text", "List Separator", "BuildToolBar", "Save ToolBar",
                          "DDE Time Out", "Create NGL Functions", "Create New Workbook", "Auto-Attaching"})
    EXPECT_NE(read_setting("Kovo Excel", key), "<missing>") << key;
  EXPECT_EQ(read_setting("Kovo Excel", "Functions Dirty"), "N");
  EXPECT_EQ(read_setting("Kovo Excel", "Row Symbol"), "R");
  EXPECT_EQ(read_setting("Kovo Excel", "DDE Time Out"), "300");
  EXPECT_NE(read_setting("Kovo Excel", "List Separator"), "|") << "the locale's separator wins";
  EXPECT_EQ(read_setting("Kovo Server", "Viewer"), "0");
  // ExitKovo: all 41 procedures unregistered by the ids REGISTER.ID finds,
  // nothing registered again on the way, the menu gone.
  auto count = [&](const std::string& what, std::size_t from) {
    std::size_t n = 0;
    for (std::size_t at = trace.find(what, from); at != std::string::npos; at = trace.find(what, at + 1)) ++n;
    return n;
  };
  const std::size_t exit = trace.find("run command ExitKovo");
  ASSERT_NE(exit, std::string::npos) << trace;
  EXPECT_EQ(count("UNREGISTER(", exit), 41u);
  EXPECT_EQ(count("Excel4 REGISTER.ID(", exit), 41u);
  EXPECT_EQ(count("Excel4 REGISTER(", exit), 0u) << "REGISTER would register each procedure again";
  EXPECT_EQ(count("call xlAutoRegister", exit), 0u);
  EXPECT_NE(trace.find("DELETE.MENU(1, \"Kovo\")"), std::string::npos);
  EXPECT_TRUE(called("ECHO32.DLL:102|1|buffer")) << read_text(log_);
}

TEST_F(AddinWithEcho, ASecondOpeningAddsNoSecondMenu) {
  ASSERT_TRUE(folder_->start());
  write("start.csv", "\r\n");
  const auto r = sheet("--addin \"" + bin_folder() + "Kovo.XLL\" --import \"" + file("start.csv").string() + "\" --menus");
  ASSERT_EQ(r.exit_code, 0u) << r.errors;
  std::size_t menus = 0;
  std::istringstream lines(r.output);
  for (std::string line; std::getline(lines, line);) menus += line == "Kovo" || line == "Kovo\r";
  EXPECT_EQ(menus, 1u) << r.output;
}

TEST_F(AddinWithEcho, TheAddInManagerRecordsAttachingAndRemoving) {
  ASSERT_TRUE(folder_->start());
  const std::string xll = "\"" + bin_folder() + "Kovo.XLL\"";
  const auto added = kovo::testing::run_sheet_host("\"" + bin_folder() + "kovo-sheet.exe\" --trace --install-addin " + xll);
  ASSERT_EQ(added.exit_code, 0u) << added.errors;
  EXPECT_NE(added.errors.find("Thank you for adding Kovo.XLL!"), std::string::npos) << added.errors;
  EXPECT_NE(added.errors.find("xlAddInManagerInfo of Kovo.XLL = \"Kovo - The Ledger Companion\""), std::string::npos)
      << added.errors;
  EXPECT_EQ(read_setting("Kovo Excel", "Auto-Attaching"), "1");
  const auto removed = kovo::testing::run_sheet_host("\"" + bin_folder() + "kovo-sheet.exe\" --addin " + xll + " --remove-addin " + xll);
  ASSERT_EQ(removed.exit_code, 0u) << removed.errors;
  EXPECT_NE(removed.errors.find("Kovo.XLL has been removed!"), std::string::npos) << removed.errors;
  EXPECT_EQ(read_setting("Kovo Excel", "Auto-Attaching"), "0");
}

// The real connector on the demo ledger, the server started by the add-in.
class AddinOnDemoLedger : public AddinInSheet {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ledger_.built()) << ledger_.errors();
    AddinInSheet::SetUp();
    for (const char* f : {"Ledra5.dll", "WBTRV32.DLL"}) folder_->copy(f);
    ASSERT_TRUE(kovo::testing::store_connector_settings({{"System", ledger_.system()}, {"Company", "DEMO"}}));
  }
  void TearDown() override {
    AddinInSheet::TearDown();
    kovo::testing::forget_connector_settings();
  }
  kovo::testing::DemoLedger ledger_;
};

// Arguments that would be read as another request than the one written
// are refused, by the connector (a year) or where the request is built (a
// field separator, a NUL), never answered with another figure.
TEST_F(AddinOnDemoLedger, ArgumentsThatWouldAskSomethingElseAreRefused) {
  const auto cells = calculate(csv_line({"=GL(\"4000-*\",\"Year to Date\",\"DEMO\",\"Bogus\")"}) +
                               csv_line({"=GL(\"4000-*\",\"Year to Date\",\"DEMO\",\"2008x\")"}) +
                               csv_line({"=GL(\"4000-*\",\"Year to Date\",\"DEMO\",-1)"}) +
                               csv_line({"=GL(\"4000-*\",\"Year to Date\",\"DEMO;MFG2\")"}) +
                               csv_line({"=GL(B5,\"Year to Date\",\"DEMO\")", std::string("4000-*\0junk", 11)}) +
                               csv_line({"=GL(\"4000-*\",\"Year to Date\",\"DEMO\",\"08\")"}));
  ASSERT_EQ(cells.size(), 6u);
  EXPECT_EQ(cells[0][0], "Kovo [CYMA] Invalid year - Bogus");
  EXPECT_EQ(cells[1][0], "Kovo [CYMA] Invalid year - 2008x");
  EXPECT_EQ(cells[2][0], "Kovo [CYMA] Invalid year - -1");
  EXPECT_EQ(cells[3][0], "Semicolon in parameter not allowed");
  EXPECT_EQ(cells[4][0], "Null character in parameter not allowed");
  EXPECT_NEAR(std::strtod(cells[5][0].c_str(), nullptr), -1806903.14, 0.005) << "a year written as one still answers";
}

TEST_F(AddinOnDemoLedger, TheServerIsStartedFromPathAndCellsShowTheConsolesAnswers) {
  ASSERT_FALSE(server_running());
  const std::vector<std::string> requests = {"GL;4000-*;Year to Date;DEMO", "NGL;4000-*;This Month;DEMO",
                                             "GL;1000..1099-*;This Month;DEMO", "DESC;4000-20;DEMO",
                                             "CODATA;NAME;DEMO", "GL;4000-*;Bogus Month;DEMO"};
  const auto cells = calculate(csv_line({"=GL(\"4000-*\",\"Year to Date\",\"DEMO\")"}) +
                               csv_line({"=NGL(\"4000-*\",\"This Month\",\"DEMO\")"}) +
                               csv_line({"=GL(\"1000..1099-*\",\"This Month\",\"DEMO\",,,,\"LEDRA5\")"}) +
                               csv_line({"=DESC(\"4000-20\",\"DEMO\")"}) + csv_line({"=CODATA(\"NAME\",\"DEMO\")"}) +
                               csv_line({"=GL(\"4000-*\",\"Bogus Month\",\"DEMO\")"}));
  ASSERT_EQ(cells.size(), requests.size());
  std::string input;
  for (const auto& r : requests) input += r + "\n";
  const auto console = kovo::testing::run_console("--library \"" + (folder_->path() / "Ledra5.dll").string() + "\" --value", input);
  ASSERT_EQ(console.exit_code, 0u) << console.errors;
  std::istringstream answers(console.output);
  for (std::size_t i = 0; i < requests.size(); ++i) {
    std::string answer;
    std::getline(answers, answer);
    answer = answer.substr(0, answer.find("\\r\\n"));
    const std::string cell = cells[i][0];
    char* end = nullptr;
    const double expected = std::strtod(answer.c_str(), &end);
    if (!answer.empty() && *end == '\0')
      EXPECT_NEAR(std::strtod(cell.c_str(), nullptr), expected, 0.005) << requests[i] << ": " << cell;
    else
      EXPECT_EQ(cell, answer) << requests[i];
  }
}

}  // namespace

