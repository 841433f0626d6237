// Kovo.exe as a separate process under Wine, with pretend connectors of the
// tests' own: requests and commands as clients send them, conversations,
// connector discovery and loading, start-up, closing and shutdown.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ddeclient/dde_client_win.h"
#include "server_fixture.h"

namespace {

using kovo::dde::Client;
using namespace kovo::testing;

constexpr DWORD kTimeout = 10000;
constexpr char kServerVersion[] = "Kovo Server Version 4.2.0.2 May 2009";

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ask(Client& client, const std::string& item) {
  const auto answer = client.request_text(item, kTimeout);
  return answer ? *answer : "<no data: " + client.last_error_name() + ">";
}

// A server with the versioned pretend connector stored under another file
// name, and a log of every connector call.
class EchoServer : public ::testing::Test {
 protected:
  EchoServer() : folder_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
  void SetUp() override {
    folder_.add_versioned_connector();
    log_ = folder_.path() / "calls.log";
    log_env_ = std::make_unique<ScopedEnv>("FAKE_CONNECTOR_LOG", log_.string());
  }
  std::vector<std::string> calls() { return lines_of(read_text(log_)); }

  ServerFolder folder_;
  fs::path log_;
  std::unique_ptr<ScopedEnv> log_env_;
};

TEST_F(EchoServer, RequestItemsReachTheConnectorAsWritten) {
  ASSERT_TRUE(folder_.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5")) << "found by its version resource under ECHO32.DLL";
  EXPECT_EQ(ask(client, "GL;1000;12;;;"), "code 100 [1000;12;;;]\r\n") << "trailing empty fields pass as they stand";
  EXPECT_EQ(ask(client, "gl"), "code 100 []\r\n") << "an item without \";\" has no arguments";
  EXPECT_EQ(ask(client, "GTDESC;x"), "not processed: GTDESC") << "a refusal gets the item name";
  EXPECT_EQ(ask(client, "KovoVERSION"), std::string("Fake Version 1.0\t") + kServerVersion);
  EXPECT_EQ(ask(client, "[KovoLIST(NOSHOW=1,List=Nothing)]"), "KovoListDone\r\n");
  EXPECT_EQ(ask(client, "[INQUIRE2(NOSHOW=1)]"), "KovoListDone\r\n");
  EXPECT_EQ(ask(client, "[CLIP_TO_DDE,(NOSHOW=1]"), "Supported");
  EXPECT_EQ(ask(client, "[SER_VERSION(NOSHOW=1)]"), "NotSupported");
  EXPECT_TRUE(client.execute("[SETUP(Company=DEMO)]", kTimeout));
  EXPECT_EQ(calls(), (std::vector<std::string>{
                         "ECHO32.DLL:100|1000;12;;;|buffer",
                         "ECHO32.DLL:100||buffer",
                         "ECHO32.DLL:107|x|buffer",
                         "ECHO32.DLL:125||buffer",
                         "ECHO32.DLL:19|NOSHOW=1,List=Nothing|buffer",
                         "ECHO32.DLL:22|NOSHOW=1|buffer",
                         "ECHO32.DLL:3|Company=DEMO|null",
                     }));
  EXPECT_TRUE(folder_.watcher().boxes().empty());
}

TEST_F(EchoServer, RequestsNeverWaitOnABox) {
  ASSERT_TRUE(folder_.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
  // An item the server does not know runs as a command and matches none.
  EXPECT_EQ(ask(client, "WDESC;5;4000-10;DEMO"), "The command sent is unknown to kovo - WDESC\r\n");
  EXPECT_EQ(ask(client, "[REPORT(x)]"), "The command, request was not processed - x\r\n");
  EXPECT_EQ(ask(client, "[SETTOPIC]"), "KovoListDone\r\n");
  // The generic topic has no connector until one is chosen; asking is for commands.
  Client generic;
  ASSERT_TRUE(generic.connect("Kovo", "Kovo"));
  EXPECT_EQ(ask(generic, "GL;1"), "The function is invalid or missing or the topic is not available - GL\r\n");
  EXPECT_TRUE(folder_.watcher().boxes().empty());
}

TEST_F(EchoServer, NoShowQuietsOnlyTheCommandThatCarriesIt) {
  ASSERT_TRUE(folder_.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
  EXPECT_FALSE(client.execute("[REPORT(NOSHOW=0)]", kTimeout));
  EXPECT_FALSE(client.execute("[REPORT(NoShow=1)]", kTimeout));
  EXPECT_FALSE(client.execute("[REPORT(y)]", kTimeout));
  EXPECT_FALSE(client.execute("[NOSUCH(NOSHOW=1)]", kTimeout));
  ASSERT_TRUE(wait_for([&] { return folder_.watcher().boxes().size() >= 3; }));
  const auto boxes = folder_.watcher().boxes();
  ASSERT_EQ(boxes.size(), 3u);
  for (const auto& box : boxes) EXPECT_EQ(box.caption, "Kovo Server");
  EXPECT_EQ(boxes[0].text, "The command, request was not processed - NOSHOW=0");
  EXPECT_EQ(boxes[1].text, "The command, request was not processed - y");
  EXPECT_EQ(boxes[2].text, "The command sent is unknown to kovo - [NOSUCH(NOSHOW=1)]") << "shown despite NOSHOW";
}

TEST_F(EchoServer, ConversationTableHoldsTwoHundred) {
  ASSERT_TRUE(folder_.start());
  // One client instance a conversation, as 200 spreadsheets would hold them.
  std::vector<std::unique_ptr<Client>> open;
  for (int i = 0; i < 200; ++i) {
    open.push_back(std::make_unique<Client>());
    ASSERT_TRUE(open.back()->connect("Kovo", "LEDRA5")) << "conversation " << i + 1;
  }
  Client refused;
  EXPECT_FALSE(refused.connect("Kovo", "LEDRA5")) << "the 201st is refused";
  open.back()->disconnect();
  EXPECT_TRUE(wait_for([&] { return refused.connect("Kovo", "LEDRA5"); })) << "a freed slot takes a new one";
  EXPECT_EQ(ask(refused, "gl"), "code 100 []\r\n");
}

TEST_F(EchoServer, CloseCommandWaitsForTheLastConversation) {
  ASSERT_TRUE(folder_.start());
  Client first, second;
  ASSERT_TRUE(first.connect("Kovo", "Kovo"));
  ASSERT_TRUE(second.connect("Kovo", "LEDRA5"));
  EXPECT_TRUE(first.execute("[CLOSE]", kTimeout));
  first.disconnect();
  EXPECT_EQ(ask(second, "GL;1"), "code 100 [1]\r\n") << "still serving the other client";
  EXPECT_FALSE(folder_.exited());
  second.disconnect();
  EXPECT_TRUE(folder_.exited(kTimeout)) << "the last conversation gone, the server quits";
  EXPECT_EQ(folder_.exit_code(), 0u);
  EXPECT_TRUE(folder_.watcher().boxes().empty());
}

TEST_F(EchoServer, ClosingWithConversationsOpenAsksForQuitServer) {
  ASSERT_TRUE(folder_.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
  PostMessageA(folder_.window(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(wait_for([&] { return !folder_.watcher().boxes().empty(); }));
  EXPECT_EQ(folder_.watcher().boxes()[0].text.rfind("There are still active conversations.", 0), 0u);
  EXPECT_EQ(ask(client, "gl"), "code 100 []\r\n") << "still running";
  // Quit Server: Yes to the first question keeps it running; No to both closes it.
  folder_.watcher().queue_answers({IDYES});
  PostMessageA(folder_.window(), WM_COMMAND, 103, 0);
  ASSERT_TRUE(wait_for([&] { return folder_.watcher().boxes().size() == 2; }));
  EXPECT_FALSE(folder_.exited());
  folder_.watcher().queue_answers({IDNO, IDNO});
  PostMessageA(folder_.window(), WM_COMMAND, 103, 0);
  EXPECT_TRUE(folder_.exited(kTimeout));
  const auto boxes = folder_.watcher().boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[2].text.rfind("Kovo is still talking to your sheet.", 0), 0u);
  EXPECT_EQ(boxes[3].text.rfind("Kovo is still connected to a DDE client.", 0), 0u);
}

TEST_F(EchoServer, HiddenServerClosesWithConversationsOpen) {
  ASSERT_TRUE(folder_.start("HIDE"));
  EXPECT_FALSE(IsWindowVisible(folder_.window()));
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
  EXPECT_EQ(ask(client, "gl"), "code 100 []\r\n");
  EXPECT_TRUE(folder_.close());
  EXPECT_TRUE(folder_.watcher().boxes().empty());
}

TEST_F(EchoServer, ASecondStartExitsSilently) {
  ASSERT_TRUE(folder_.start());
  ServerFolder second("second", false);
  second.add_plain_connector();
  ASSERT_TRUE(second.start({}, false));
  EXPECT_TRUE(second.exited(kTimeout));
  EXPECT_EQ(second.exit_code(), 0u);
  EXPECT_TRUE(second.watcher().boxes().empty());
  Client client;
  EXPECT_TRUE(client.connect("Kovo", "LEDRA5")) << "the first server still serves";
  EXPECT_FALSE(client.connect("Kovo", "KESTA1")) << "and the second never did";
}

TEST_F(EchoServer, PlacementIsValidatedAndSaved) {
  // left 100, right 9000, top 100, bottom 300: wider than any desktop here
  WritePrivateProfileStringA("Kovo Server", "Kovo ServerCoords", "0100900001000300", settings_file().c_str());
  ASSERT_TRUE(folder_.start("MAXI"));
  RECT desktop, window;
  GetWindowRect(GetDesktopWindow(), &desktop);
  GetWindowRect(folder_.window(), &window);
  EXPECT_EQ(window.right - window.left, 425);
  EXPECT_EQ(window.bottom - window.top, 142);
  EXPECT_EQ(window.left, (desktop.right - 425) / 2);
  EXPECT_EQ(window.top, (desktop.bottom - 142) / 2);
  EXPECT_EQ(read_server_setting("Path"), folder_.path().string() + "\\");
  MoveWindow(folder_.window(), 40, 30, 425, 142, FALSE);
  ASSERT_TRUE(folder_.close());
  EXPECT_EQ(read_server_setting("Kovo ServerCoords"), "0040046500300172");
}

TEST(ServerDiscovery, AFolderWithoutConnectorsEndsWithTwoBoxes) {
  ServerFolder folder("empty");
  folder.copy("WBTRV32.DLL");  // a library beside the server that is no connector
  ASSERT_TRUE(folder.start({}, false));
  ASSERT_TRUE(folder.exited(kTimeout));
  EXPECT_EQ(folder.exit_code(), 0u);
  const auto boxes = folder.watcher().boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "Server failed to find any Kovo file access libraries.\nTerminating Program.");
  EXPECT_EQ(boxes[1].text, "Server failed to initiate.\nTerminating Program.");
  EXPECT_EQ(boxes[1].caption, "Kovo Server");
}

TEST(ServerDiscovery, ConnectorWithoutVersionResourceIsFoundByItsName) {
  ServerFolder folder("plain");
  folder.add_plain_connector();
  folder.write("KESTA2.DLL", "not a library at all");
  ASSERT_TRUE(folder.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "KESTA1"));
  EXPECT_EQ(ask(client, "[CLIP_TO_DDE,(NOSHOW=1]"), "NotSupported") << "this one has no KovoClipToDDE";
  EXPECT_FALSE(client.connect("Kovo", "LEDRA5")) << "no such connector here";
  // A file that carries a connector's name but does not load: the answer says why.
  ASSERT_TRUE(client.connect("Kovo", "KESTA2"));
  const std::string answer = ask(client, "GL;1");
  EXPECT_EQ(answer.rfind("The GL DLL file was not found or failed to load - \r\nDLL file: " +
                             folder.path().string() + "\\KESTA2.DLL\r\nLibrary load error code: 193\n",
                         0),
            0u)
      << answer;
}

TEST(ServerLoading, FailedInitialisationAnswersWithThePathEveryTime) {
  ServerFolder folder("init");
  folder.add_versioned_connector();
  const ScopedEnv init("FAKE_CONNECTOR_INIT", "2");
  ASSERT_TRUE(folder.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
  const std::string expected =
      "The GL DLL file did not initialize - \r\nDLL file: " + folder.path().string() + "\\ECHO32.DLL\r\n\r\n";
  EXPECT_EQ(ask(client, "GL;1"), expected);
  EXPECT_EQ(ask(client, "GL;1"), expected) << "the next use tries again";
}

TEST(ServerChoice, TwoConnectorsAskWhichOnCommandsNotOnRequests) {
  ServerFolder folder("choice");
  folder.add_versioned_connector();
  folder.add_plain_connector();
  const fs::path log = folder.path() / "calls.log";
  const ScopedEnv log_env("FAKE_CONNECTOR_LOG", log.string());
  ASSERT_TRUE(folder.start());
  Client generic;
  ASSERT_TRUE(generic.connect("Kovo", "Kovo"));
  EXPECT_EQ(ask(generic, "GL;1").rfind("The function is invalid", 0), 0u) << "a request never asks";
  EXPECT_EQ(folder.watcher().list_dialogs(), 0u);
  folder.watcher().pick_line = 1;  // LEDRA5 "Kovo for Testing", then KESTA1
  EXPECT_TRUE(generic.execute("[SETTOPIC]", kTimeout));
  EXPECT_GE(folder.watcher().list_dialogs(), 1u);
  EXPECT_EQ(ask(generic, "GL;2"), "code 100 [2]\r\n");
  EXPECT_EQ(read_server_setting("Default GL"), "KESTA1");
  // The Default Topic menu: the first line makes LEDRA5 the default for every conversation.
  folder.watcher().pick_line = 0;
  PostMessageA(folder.window(), WM_COMMAND, 102, 0);
  ASSERT_TRUE(wait_for([&] { return read_server_setting("Default GL") == "LEDRA5"; }));
  Client other;
  ASSERT_TRUE(other.connect("Kovo", "Kovo"));
  EXPECT_EQ(ask(other, "GL;3"), "code 100 [3]\r\n");
  EXPECT_EQ(lines_of(read_text(log)), (std::vector<std::string>{"KESTA1.DLL:100|2|buffer", "ECHO32.DLL:100|3|buffer"}));
}

TEST(ServerShutdown, AConnectorThatRefusesKeepsTheServerUntilForced) {
  ServerFolder folder("refuse");
  folder.add_versioned_connector();
  const ScopedEnv refuse("FAKE_CONNECTOR_CLEANUP", "1");
  ASSERT_TRUE(folder.start());
  {
    Client client;
    ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
    EXPECT_EQ(ask(client, "gl"), "code 100 []\r\n");
  }
  PostMessageA(folder.window(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(wait_for([&] { return folder.watcher().boxes().size() == 1; }));
  EXPECT_EQ(folder.watcher().boxes()[0].text, "Server failed to close a DLL.\nYou will have to close open DLLs manually.");
  EXPECT_FALSE(folder.exited());
  PostMessageA(folder.window(), WM_COMMAND, 103, 0);  // Quit Server forces it
  EXPECT_TRUE(folder.exited(kTimeout));
  EXPECT_EQ(folder.watcher().boxes().size(), 2u);
}

TEST(ServerWithLedra5, VersionOfConnectorAndServer) {
  ServerFolder folder("ledra5");
  folder.copy("Ledra5.dll");
  ASSERT_TRUE(folder.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
  EXPECT_EQ(ask(client, "KovoVERSION"), std::string("Kovo Version 4.2.20.0 for Cyma IV\t") + kServerVersion);
  EXPECT_EQ(ask(client, "[CLIP_TO_DDE,(NOSHOW=1]"), "Supported");
}

}  // namespace
