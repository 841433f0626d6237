// The connector's windows and help inside the server's process: which help
// file opens at which topic (through a stand-in of the HTML Help library
// placed beside Kovo.exe), and what a client gets while a connector is busy.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "demo_ledger.h"
#include "resources/resource_ids.h"
#include "ddeclient/dde_client_win.h"
#include "server_fixture.h"

namespace {

using kovo::dde::Client;
using namespace kovo::testing;

constexpr DWORD kTimeout = 10000;

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A visible dialog of the server's process with this caption.
HWND server_dialog(const ServerFolder& folder, const char* caption) {
  HWND window = find_process_window(folder.process_id(), "#32770", caption);
  return window && IsWindowVisible(window) ? window : nullptr;
}

class ConnectorWindowsInServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ledger_.built()) << ledger_.errors();
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    for (const char* file : {"Ledra5.dll", "WBTRV32.DLL"}) folder_.copy(file);
    folder_.copy("fakes\\help\\hhctrl.ocx");
  }
  void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey); }
  // The help calls so far, file names in lower case.
  std::string help_calls() { return lower(read_text(folder_.path() / "hhctrl.log")); }
  bool help_called(const std::string& tail) {
    return wait_for([&] { return help_calls().find(lower(tail) + "\n") != std::string::npos; });
  }

  // Windows takes a library from the program's folder first; Wine prefers
  // its own HTML Help unless told, for this program, to take the one found
  // there (elsewhere that is Wine's own again).
  class NativeHelpForServer {
   public:
    NativeHelpForServer() {
      HKEY key = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != 0) return;
      static constexpr char kOrder[] = "native,builtin";
      RegSetValueExA(key, "hhctrl.ocx", 0, REG_SZ, reinterpret_cast<const BYTE*>(kOrder), sizeof kOrder);
      RegCloseKey(key);
    }
    ~NativeHelpForServer() {
      RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
      RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Kovo.exe");
    }

   private:
    static constexpr char kKey[] = "Software\\Wine\\AppDefaults\\Kovo.exe\\DllOverrides";
  };

  DemoLedger ledger_;
  NativeHelpForServer native_help_;
  ServerFolder folder_{"help"};
};

TEST_F(ConnectorWindowsInServer, HelpOpensAsHtmlHelpAtEachWindowsTopic) {
  folder_.write("LEDRA5.CHM", "the connector's help, as far as the server knows");
  ASSERT_TRUE(folder_.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5")) << client.last_error_name();

  // The server's help: the connector's compiled help file, at its first topic.
  ASSERT_TRUE(client.execute("[SERVERHELP]", kTimeout));
  EXPECT_TRUE(help_called("\\ledra5.chm|0|0")) << help_calls();
  // The connector's own help beside the library, at context 1, with and
  // without a user.
  ASSERT_TRUE(client.execute("[DLLHELP(NoShow=1)]", kTimeout));
  EXPECT_TRUE(help_called("\\ledra5.chm|15|1")) << help_calls();
  // The lists window's Help: its topic, 15.
  folder_.watcher().leave_alone("Lists [CYMA]");
  ASSERT_TRUE(client.execute("[KovoLIST(Company=DEMO,System=" + ledger_.system() + ")]", kTimeout));
  ASSERT_TRUE(wait_for([&] { return server_dialog(folder_, "Lists [CYMA]") != nullptr; }));
  PostMessageA(server_dialog(folder_, "Lists [CYMA]"), WM_COMMAND, MAKEWPARAM(IDC_HELP_BUTTON, BN_CLICKED), 0);
  EXPECT_TRUE(help_called("\\ledra5.chm|15|15")) << help_calls();
  EXPECT_EQ(help_calls().find("|0|0\n", help_calls().find("|0|0\n") + 1), std::string::npos)
      << "nothing else opened help";
  EXPECT_TRUE(folder_.watcher().boxes().empty());
}

// A request that arrives while a connector call is still running (here the
// pretend connector holds a box open inside its call) gets a clear answer
// at once, never a DDE error, and the connector is not entered again.
TEST(ServerBusy, ARequestDuringAConnectorCallIsAnsweredBusy) {
  ServerFolder folder("busy");
  folder.add_versioned_connector();
  ASSERT_TRUE(folder.start());
  folder.watcher().leave_alone("Fake Connector Box");
  // Both clients are connected before the box: a conversation that opens
  // while a callback of the server's DDE library is still running brings
  // Wine's library down once that callback returns.
  Client other;
  ASSERT_TRUE(other.connect("Kovo", "LEDRA5")) << other.last_error_name();

  std::atomic<bool> connected{false}, answered{false};
  std::string first;
  std::thread asking([&] {
    Client client;
    connected = client.connect("Kovo", "LEDRA5");
    if (connected) first = client.request_text("GL;FAKE-BOX", 60000).value_or("<no answer>");
    answered = true;
  });
  struct Joiner {
    std::thread& thread;
    ~Joiner() {
      if (thread.joinable()) thread.join();
    }
  } joiner{asking};
  ASSERT_TRUE(wait_for([&] { return server_dialog(folder, "Fake Connector Box") != nullptr; }, 30000));
  ASSERT_TRUE(connected);

  EXPECT_EQ(other.request_text("GL;1", kTimeout).value_or("<no data: " + other.last_error_name() + ">"),
            "The connector is busy with other work, please try again when it has finished\r\n");
  EXPECT_FALSE(other.execute("[SETUP(x)]", kTimeout)) << "an execute is refused as busy";

  PostMessageA(server_dialog(folder, "Fake Connector Box"), WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(wait_for([&] { return answered.load(); }, 30000));
  asking.join();
  EXPECT_EQ(first, "code 100 [FAKE-BOX]\r\n");
  EXPECT_EQ(other.request_text("GL;2", kTimeout).value_or("<no answer>"), "code 100 [2]\r\n") << "free again";
  EXPECT_TRUE(folder.watcher().boxes().empty());
}

}  // namespace

// The first request loads the connector, and making its main window takes
// the messages already queued. Requests other clients sent meanwhile must
// wait for the load and get their figures, never the busy answer: only the
// connector's own window is served while it starts.
TEST_F(ConnectorWindowsInServer, RequestsSentWhileTheConnectorLoadsGetTheirFigures) {
  const SettingsLock lock;
  ASSERT_TRUE(store_connector_settings({{"System", ledger_.system()}}));
  ASSERT_TRUE(folder_.start());
  constexpr int kClients = 4;
  constexpr char kRequest[] = "GL;6100-30;Quarter 1;DEMO";
  // A connect asks every top-level window and waits for its answer, so a
  // client waiting for the others keeps taking its messages.
  std::atomic<int> connected{0}, done{0};
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // released at once for all
  std::vector<std::string> answers(kClients);
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i)
    clients.emplace_back([&, i] {
      Client client;
      const bool ok = client.connect("Kovo", "LEDRA5");
      ++connected;
      while (MsgWaitForMultipleObjects(1, &go, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      }
      answers[i] = !ok ? "<no conversation: " + client.last_error_name() + ">"
                       : client.request_text(kRequest, 60000).value_or("<no answer: " + client.last_error_name() + ">");
      ++done;
    });
  EXPECT_TRUE(wait_for([&] { return connected == kClients; }, 60000));
  SetEvent(go);  // every client sends at once, before the connector is loaded
  EXPECT_TRUE(wait_for([&] { return done == kClients; }, 90000));
  for (auto& thread : clients) thread.join();
  CloseHandle(go);
  for (int i = 0; i < kClients; ++i) EXPECT_EQ(answers[i], "12790.43\r\n") << "client " << i;
  EXPECT_TRUE(folder_.watcher().boxes().empty());
}
