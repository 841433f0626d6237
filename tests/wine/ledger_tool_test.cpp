// The ledger tool as a program: it builds the bundled demo ledger through the
// record manager library, and dump shows every kind of file decoded.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "program_runner.h"

namespace fs = std::filesystem;
using kovo::testing::bin_folder;
using kovo::testing::run_program;
using kovo::testing::source_file;

namespace {

struct LedgerToolTest : ::testing::Test {
  void SetUp() override {
    system_dir = (fs::temp_directory_path() / ("kovo-tool-" + std::to_string(GetCurrentProcessId()))).string();
    fs::remove_all(system_dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(system_dir, ec);
  }
  kovo::testing::ProgramResult tool(const std::string& arguments) {
    return run_program("\"" + bin_folder() + "kovo-ledger.exe\" " + arguments, {}, 120000);
  }
  std::string system_dir;
};

TEST_F(LedgerToolTest, BuildsTheDemoAndDumpDecodesEveryFile) {
  const auto built = tool("build \"" + source_file("examples/demo.json") + "\" \"" + system_dir + "\"");
  ASSERT_EQ(built.exit_code, 0u) << built.errors;
  EXPECT_NE(built.output.find("built "), std::string::npos);
  const struct {
    const char* file;
    const char* expected;
  } files[] = {
      {"sm_cmpny.dat", "company DEMO \"Demo Manufacturing Inc.\" dir=.\\DEMO structure=XXXX-XX year=2008 period=5"},
      {"DEMO\\smperiod.dat", "year 2008 flag=1 periods=12"},
      {"DEMO\\glacct.dat", "account 400010 type=400 \"Product Sales - Production\""},
      {"DEMO\\glperiod.dat", "balance 100010 2008 opening="},
      {"DEMO\\gl_trx.dat", "transaction 100010 2008-01-"},
      {"DEMO\\gl_trxh.dat", "transaction 100010 2007-01-"},
      {"DEMO\\gl_seg.dat", "segment 2 10 \"Production\""},
      {"DEMO\\gl_cfg135.dat", "bytes 16"},
      {"MFG2\\gl_trx2.dat", "transaction 10001001 2008-01-"},
  };
  for (const auto& f : files) {
    const auto dumped = tool("dump \"" + system_dir + "\\" + f.file + "\"");
    EXPECT_EQ(dumped.exit_code, 0u) << f.file << dumped.errors;
    EXPECT_NE(dumped.output.find("record length"), std::string::npos) << f.file;
    EXPECT_NE(dumped.output.find(f.expected), std::string::npos) << f.file << "\n" << dumped.output.substr(0, 600);
  }
  EXPECT_FALSE(fs::exists(system_dir + "\\MFG2\\gl_cfg135.dat")) << "data version 7 has no probe file";
}

TEST_F(LedgerToolTest, RefusedDescriptionsAndUsage) {
  const std::string bad = system_dir + "-bad.json";
  std::ofstream(bad) << R"({"companyFile":"sm_cmpny.dat","companies":[{"id":"TOOLONG1"}]})";
  const auto refused = tool("build \"" + bad + "\" \"" + system_dir + "\"");
  fs::remove(bad);
  EXPECT_EQ(refused.exit_code, 1u);
  EXPECT_NE(refused.errors.find("companies[0]"), std::string::npos) << refused.errors;
  EXPECT_FALSE(fs::exists(system_dir));
  EXPECT_EQ(tool("frobnicate").exit_code, 2u);
  EXPECT_EQ(tool("dump \"" + system_dir + "\\nothing.dat\"").exit_code, 1u);
}

TEST_F(LedgerToolTest, AForeignTargetIsReplacedOnlyWhenAskedAndThenKeptAside) {
  const std::string json = system_dir + "-small.json";
  std::ofstream(json) << R"({"companyFile":"sm_cmpny.dat","companies":[{"id":"T1","name":"T","dataDirectory":".\\T1",
    "accountStructure":"XXXX","segmentNames":["Account"],"currentYear":2008,"currentPeriod":1,"mainSegment":1,
    "dataVersion":8,"transactionFiles":"gl_trx","calendar":[{"year":2008,"periods":1,"periodEnds":["2008-12-31"]}]}]})";
  fs::create_directories(system_dir);
  std::ofstream(system_dir + "\\notes.txt") << "mine";
  const auto refused = tool("build \"" + json + "\" \"" + system_dir + "\"");
  EXPECT_EQ(refused.exit_code, 1u);
  EXPECT_NE(refused.errors.find("--replace"), std::string::npos) << refused.errors;
  EXPECT_TRUE(fs::exists(system_dir + "\\notes.txt"));
  EXPECT_FALSE(fs::exists(system_dir + ".~building"));
  const auto replaced = tool("build --replace \"" + json + "\" \"" + system_dir + "\"");
  EXPECT_EQ(replaced.exit_code, 0u) << replaced.errors;
  EXPECT_NE(replaced.output.find(system_dir + ".~replaced"), std::string::npos) << replaced.output;
  EXPECT_TRUE(fs::exists(system_dir + ".~replaced\\notes.txt"));
  EXPECT_TRUE(fs::exists(system_dir + "\\T1\\glacct.dat"));
  const auto again = tool("build \"" + json + "\" \"" + system_dir + "\"");
  EXPECT_EQ(again.exit_code, 0u) << again.errors << " -- the tool's own ledger is replaced without asking";
  std::error_code ec;
  fs::remove_all(system_dir + ".~replaced", ec);
  fs::remove(json, ec);
}

TEST_F(LedgerToolTest, ALedgerInUseIsNotReplaced) {
  const std::string json = system_dir + "-small.json";
  std::ofstream(json) << R"({"companyFile":"sm_cmpny.dat","companies":[{"id":"T1","name":"T","dataDirectory":".\\T1",
    "accountStructure":"XXXX","segmentNames":["Account"],"currentYear":2008,"currentPeriod":1,"mainSegment":1,
    "dataVersion":8,"transactionFiles":"gl_trx","calendar":[{"year":2008,"periods":1,"periodEnds":["2008-12-31"]}]}]})";
  ASSERT_EQ(tool("build \"" + json + "\" \"" + system_dir + "\"").exit_code, 0u);
  // Held as a reader of the ledger holds it: shared for reading and writing.
  const std::string held = system_dir + "\\T1\\smperiod.dat";
  HANDLE reader = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  for (const char* option : {"", "--replace "}) {
    const auto refused = tool(std::string("build ") + option + "\"" + json + "\" \"" + system_dir + "\"");
    EXPECT_EQ(refused.exit_code, 1u) << option;
    EXPECT_NE(refused.errors.find("is in use: " + held + " is held open by another program"), std::string::npos)
        << refused.errors;
    EXPECT_FALSE(fs::exists(system_dir + ".~previous")) << "nothing moved aside";
    EXPECT_FALSE(fs::exists(system_dir + ".~building")) << "nothing left half-built";
  }
  CloseHandle(reader);
  const auto rebuilt = tool("build \"" + json + "\" \"" + system_dir + "\"");
  EXPECT_EQ(rebuilt.exit_code, 0u) << rebuilt.errors;
  fs::remove(json);
}

}  // namespace
