// The command line: options read in order with their refusals, and a run
// that carries them out against pretend add-ins, stopping at the first
// failure with a message that says what failed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sheethost/capi.h"
#include "sheethost/files.h"
#include "sdk/excel/xlcall.h"
#include "sheethost/session.h"

using namespace kovo::sheet;
namespace fs = std::filesystem;

namespace {

TEST(SheetCommandLine, OptionsAreReadInOrder) {
  CommandLine line;
  ASSERT_FALSE(parse_command_line({"--addin", "a.xll", "--import", "x.csv", "--trace", "--run", "Kovo/Zero Suppress",
                                   "--calc", "--export", "out.csv", "--print"},
                                  line));
  ASSERT_EQ(line.actions.size(), 6u);
  EXPECT_TRUE(line.trace);
  EXPECT_EQ(line.actions[2].kind, Action::Kind::Run);
  EXPECT_EQ(line.actions[2].argument, "Kovo/Zero Suppress");
  EXPECT_EQ(line.actions[5].kind, Action::Kind::Print);
  EXPECT_EQ(*parse_command_line({"--open"}, line), "--open needs an argument");
  EXPECT_EQ(*parse_command_line({"--save", ""}, line), "--save needs an argument");
  EXPECT_EQ(*parse_command_line({"--frobnicate"}, line), "unknown option \"--frobnicate\"");
}

// A run opens the window unless it does batch work; a file named alone opens.
TEST(SheetCommandLine, TheWindowOpensUnlessTheRunIsABatch) {
  CommandLine line;
  ASSERT_FALSE(parse_command_line({}, line));
  EXPECT_TRUE(shows_window(line));
  ASSERT_FALSE(parse_command_line({"--addin", "a.xll", "Report.json", "--run", "Kovo/Refresh"}, line));
  ASSERT_EQ(line.actions.size(), 3u);
  EXPECT_EQ(line.actions[1].kind, Action::Kind::Open);
  EXPECT_EQ(line.actions[1].argument, "Report.json");
  EXPECT_FALSE(shows_window(line)) << "a command run from the command line is a batch run";
  for (const char* batch : {"--calc", "--print", "--menus"}) {
    ASSERT_FALSE(parse_command_line({"Report.json", batch}, line));
    EXPECT_FALSE(shows_window(line)) << batch;
  }
  ASSERT_FALSE(parse_command_line({"Report.json", "--save", "Out.json", "--window"}, line));
  EXPECT_TRUE(shows_window(line)) << "--window asks for it whatever else is done";
  EXPECT_EQ(*parse_command_line({"-x"}, line), "unknown option \"-x\"");
}

struct NoServices : HostServices, AddinServices {
  std::optional<std::string> clipboard_text() override { return std::nullopt; }
  bool set_clipboard_text(const std::string&) override { return false; }
  std::uint64_t clipboard_sequence() override { return 0; }
  bool alert(const std::string&, int) override { return true; }
  void report(const std::string&) override {}
  void status_text(const std::string&) override {}
  std::intptr_t main_window() override { return 0; }
  std::intptr_t instance() override { return 0; }
  void trace(const std::string&) override {}
  std::string resolve_module(const std::string& m) override { return m; }
  bool open_addin(const std::string&, std::string&) override { return false; }
  void* find_procedure(const std::string&, const std::string&) override { return this; }
  std::optional<Oper> auto_register(const std::string&, const std::string&) override { return std::nullopt; }
};

// Add-ins that register one command and a menu for it when opened.
struct FakeAddins : AddinLoader {
  CApi* api = nullptr;
  std::vector<std::string> ran;
  bool open_addin(const std::string& path, bool, std::string& error) override {
    if (path != "good.xll") {
      error = path + ": the file cannot be loaded";
      return false;
    }
    Oper result;
    api->call(xlfRegister, {Oper::text("good.xll"), Oper::text("DoIt"), Oper::text("A"), Oper::text("DoIt"),
                            Oper::text(""), Oper::number(2)},
              result);
    Oper table;
    table.type = OperType::Multi;
    table.rows = 2;
    table.cols = 2;
    table.items = {Oper::text("&Tools 2"), Oper::text(""), Oper::text("&Do It..."), Oper::text("DoIt")};
    api->call(xlfAddMenu, {Oper::number(1), table}, result);
    return true;
  }
  bool remove_addin(const std::string&, std::string&) override { return true; }
  bool run_command(const Registration& command, const CallerInfo& caller, std::vector<Arg> args, std::string&) override {
    std::string given;
    for (const auto& a : args)
      given += a.kind == Arg::Kind::Reference ? "ref:" + std::to_string(a.ref.areas.size())
                                               : a.value.is_text() ? "text:" + a.value.text : "number";
    ran.push_back(command.procedure + "@" + std::to_string(caller.menu) + (given.empty() ? "" : "(" + given + ")"));
    return true;
  }
  void close_all() override {}
};

struct SheetSessionTest : ::testing::Test {
  Application app;
  NoServices services;
  CApi api{app, services};
  FakeAddins addins;
  std::ostringstream out, err;
  Session session{api, addins, out, err};
  fs::path dir;
  void SetUp() override {
    addins.api = &api;
    api.set_addins(services);
    dir = fs::temp_directory_path() / ("kovo-session-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  int run(const std::vector<std::string>& args) {
    CommandLine line;
    auto error = parse_command_line(args, line);
    EXPECT_FALSE(error);
    return session.run(line);
  }
  std::string file(const std::string& name) { return (dir / name).string(); }
};

TEST_F(SheetSessionTest, ActionsRunInOrderAndFilesComeOut) {
  std::ofstream(file("in.csv")) << "a,1\nb,2\nTotal,=SUM(B1:B2)\n";
  ASSERT_EQ(run({"--addin", "good.xll", "--import", file("in.csv"), "--select", "A2:B3", "--run", "tools 2/do it",
                 "--run", "DoIt", "--run", "DoIt(A1:B2)", "--run", "DoIt(NoShow=1)", "--run", "DoIt(\"a\"\"b\")",
                 "--calc", "--save", file("out.json"), "--export", file("out.csv"), "--print"}),
            0)
      << err.str();
  EXPECT_EQ(addins.ran, (std::vector<std::string>{"DoIt@10", "DoIt@0", "DoIt@0(ref:1)", "DoIt@0(text:NoShow=1)",
                                                  "DoIt@0(text:a\"b)"}));
  std::string csv;
  ASSERT_FALSE(read_text_file(file("out.csv"), csv));
  EXPECT_EQ(csv, "a,1\r\nb,2\r\nTotal,3\r\n");
  std::string json;
  ASSERT_FALSE(read_text_file(file("out.json"), json));
  EXPECT_NE(json.find("\"selection\": [\n        \"A2:B3\""), std::string::npos) << json;
  EXPECT_NE(out.str().find("3  Total  3"), std::string::npos) << out.str();
}

TEST_F(SheetSessionTest, TheFirstFailureStopsTheRunWithItsReason) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--print"}, "no workbook is open"},
      {{"--addin", "bad.xll", "--print"}, "bad.xll: the file cannot be loaded"},
      {{"--open", "/no/such/book.json"}, "/no/such/book.json: the file cannot be opened"},
      {{"--addin", "good.xll", "--run", "Nothing"}, "no command macro \"Nothing\" (registered commands: DoIt)"},
      {{"--run", "Tools 2/Undo"}, "no menu command \"Tools 2/Undo\""},
  };
  for (const auto& c : cases) {
    err.str("");
    EXPECT_EQ(run(c.args), 1);
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
  }
  std::ofstream(file("t.csv")) << "1\n";
  err.str("");
  EXPECT_EQ(run({"--import", file("t.csv"), "--sheet", "Other", "--print"}), 1);
  EXPECT_NE(err.str().find("has no sheet \"Other\" (its sheets: t)"), std::string::npos) << err.str();
  err.str("");
  EXPECT_EQ(run({"--select", "A1:"}), 1);
  EXPECT_NE(err.str().find("not a range"), std::string::npos) << err.str();
}

}  // namespace
