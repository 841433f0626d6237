// The shared DDE client side against the running server: long runs of
// requests without a single lost answer, and the console sending the same
// lines over DDE and in process.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ddeclient/dde_client_win.h"
#include "server_fixture.h"

namespace {

using kovo::dde::Client;
using namespace kovo::testing;

TEST(DdeClient, ThousandsOfRequestsInARowAreAllAnswered) {
  ServerFolder folder("thousands");
  folder.add_versioned_connector();
  ASSERT_TRUE(folder.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
  int wrong = 0;
  std::string first_wrong;
  for (int i = 0; i < 3000; ++i) {
    const bool version = i % 3 == 2;
    const std::string item = version ? "KovoVERSION" : "GL;" + std::to_string(i);
    const std::string expected = version ? "Fake Version 1.0\tKovo Server Version 4.2.0.2 May 2009"
                                         : "code 100 [" + std::to_string(i) + "]\r\n";
    const auto answer = client.request_text(item, 10000);
    if (!answer || *answer != expected) {
      if (wrong++ == 0) first_wrong = item + " -> " + (answer ? *answer : client.last_error_name());
    }
  }
  EXPECT_EQ(wrong, 0) << "first: " << first_wrong;
}

TEST(DdeClient, ErrorNamesAndWineDetection) {
  EXPECT_STREQ(kovo::dde::error_name(DMLERR_NOTPROCESSED), "DMLERR_NOTPROCESSED");
  EXPECT_STREQ(kovo::dde::error_name(0x4011), "DMLERR_UNFOUND_QUEUE_ID");
  EXPECT_EQ(kovo::dde::error_name(0x4012), nullptr);
  EXPECT_EQ(kovo::dde::error_name(0), nullptr);
  EXPECT_TRUE(kovo::dde::running_under_wine()) << "these tests run under Wine";
}

// A request waits on DDE messages alone; the conversation's watch on the
// server's process ends it when the server dies, long before its time-out.
TEST(DdeClient, ARequestToAServerThatDiesEndsAtOnce) {
  ServerFolder folder("dies");
  folder.add_versioned_connector();
  ASSERT_TRUE(folder.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
  EXPECT_EQ(client.request_text("GL;1", 10000), std::optional<std::string>("code 100 [1]\r\n"));
  EXPECT_FALSE(client.server_gone());
  const DWORD began = GetTickCount();
  EXPECT_FALSE(client.request_text("GL;FAKE-SERVER-EXIT", 120000).has_value());
  EXPECT_LT(GetTickCount() - began, 10000u) << "the request waited for its time-out";
  EXPECT_TRUE(folder.exited(5000));
  EXPECT_TRUE(client.server_gone());
  EXPECT_FALSE(client.request_text("GL;2", 120000).has_value()) << "nothing answers any more";
  EXPECT_LT(GetTickCount() - began, 20000u);
}

TEST(DdeClient, NothingToConnectToFailsCleanly) {
  Client client;
  ASSERT_TRUE(client.ready());
  EXPECT_FALSE(client.connect("Kovo", "Kovo"));
  EXPECT_FALSE(client.request_text("GL;1", 1000).has_value());
  EXPECT_FALSE(client.execute("[CLOSE]", 1000));
}

// The console starts the server itself, and prints over DDE what it prints
// with the library loaded in process.
TEST(ConsoleOverDde, SameLinesGiveTheSameOutputBothWays) {
  ServerFolder folder("console");
  folder.add_versioned_connector();
  folder.copy("kovo-cli.exe");
  const std::string console = "\"" + (folder.path() / "kovo-cli.exe").string() + "\" ";
  const std::string lines =
      "GL;1000;12;;;\ngl\nGTDESC;x\n[KovoLIST(NOSHOW=1,List=Nothing)]\n[CLIP_TO_DDE,(NOSHOW=1]\n"
      "WDESC;5;4000\n[NOSUCH]\n[SETUP(Company=DEMO)]\n";
  const auto in_process = run_program(console + "--library \"" + (folder.path() / "ECHO32.DLL").string() + "\"", lines);
  ASSERT_EQ(in_process.exit_code, 0u) << in_process.errors;
  const auto over_dde = run_program(console + "--dde", lines);
  ASSERT_EQ(over_dde.exit_code, 0u) << over_dde.errors;
  EXPECT_EQ(over_dde.output, in_process.output);
  EXPECT_EQ(over_dde.output,
            "0\tcode 100 [1000;12;;;]\\r\\n\n"
            "0\tcode 100 []\\r\\n\n"
            "1\tnot processed: GTDESC\n"
            "0\tKovoListDone\\r\\n\n"
            "0\tSupported\n"
            "1\tThe command sent is unknown to kovo - WDESC\\r\\n\n"
            "1\tThe command sent is unknown to kovo - [NOSUCH]\n"
            "0\t\n");
  const auto version = run_program(console + "--dde LEDRA5 --value KovoVERSION");
  EXPECT_EQ(version.output, "Fake Version 1.0\tKovo Server Version 4.2.0.2 May 2009\n");
  const auto generic = run_program(console + "--dde Kovo --value GL;1");
  EXPECT_EQ(generic.output, "The function is invalid or missing or the topic is not available - GL\n");
  // The server the console started is the one in the case's folder; it ends with the case.
  HWND server = FindWindowA("KovoMainServerClass", "Kovo Server (32 Bit)");
  ASSERT_NE(server, nullptr);
  DWORD pid = 0;
  GetWindowThreadProcessId(server, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  PostMessageA(server, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
  CloseHandle(process);
}

}  // namespace
