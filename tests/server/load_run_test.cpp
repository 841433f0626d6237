// The load run in short: clients at once, one killed mid-request every few
// seconds, every answer checked against the connector in process, and the
// server's conversations and memory looked at in the end.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "connector_fixture.h"
#include "program_runner.h"
#include "server_fixture.h"

namespace {

using namespace kovo::testing;

TEST(LoadRun, EveryAnswerRightAndTheKilledClientsConversationsGivenBack) {
  const SettingsLock lock;  // the run points the connector's stored settings at its ledger
  end_stray_servers();
  DeleteFileA(settings_file().c_str());
  auto run =
      run_program("\"" + bin_folder() + "load_bench_win.exe\" --seconds 20 --clients 3 --kill-every 3", {}, 110000);
  DeleteFileA(settings_file().c_str());
  std::erase(run.output, '\r');
  EXPECT_EQ(run.exit_code, 0u) << run.output << run.errors;
  for (const char* line : {"wrong or mixed answers:      0\n", "requests without an answer:  0\n",
                           "refused connections:         0\n", "conversations open at the end\n", "load run passed\n"})
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
  EXPECT_NE(run.output.find(", 0 conversations open at the end"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find(" 0 killed"), std::string::npos) << "clients were killed: " << run.output;
}

}  // namespace
