// Kovo.exe under what real use throws at it: clients that die holding
// conversations, floods of refused commands, and a ledger replaced under the
// running server.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "../unit/ledger_fixture.h"
#include "connector_fixture.h"
#include "program_runner.h"
#include "ddeclient/dde_client_win.h"
#include "server_fixture.h"

namespace {

using kovo::dde::Client;
using namespace kovo::testing;

constexpr DWORD kTimeout = 10000;

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The server's log with the part moved aside when it grew past its bound.
std::string server_log() { return read_text(server_log_file() + ".old") + read_text(server_log_file()); }

void remove_server_log() {
  DeleteFileA(server_log_file().c_str());
  DeleteFileA((server_log_file() + ".old").c_str());
}

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// A client process of the tests' own (tests/helpers/dde_test_client_win.cpp).
// This thread takes its messages while it waits for it: a connect asks every
// window of the desktop, this process's too, and waits for each answer.
class ClientProcess {
 public:
  explicit ClientProcess(const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE write_end = nullptr;
    CreatePipe(&output_, &write_end, &inherit, 0);
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    std::string line = "\"" + bin_folder() + "dde_test_client.exe\" " + arguments;
    CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process_);
    CloseHandle(write_end);
  }
  ~ClientProcess() {
    kill();
    CloseHandle(output_);
  }
  // Its output once a line ends in it (or it ended).
  std::string wait_for_line(int timeout_ms = 60000) {
    wait_for([&] { return take_output(), text_.find('\n') != std::string::npos || exited(); }, timeout_ms);
    return text_;
  }
  // Its output once it ended by itself.
  std::string wait_for_exit(int timeout_ms = 60000) {
    wait_for([&] { return take_output(), exited(); }, timeout_ms);
    take_output();
    return text_;
  }
  bool exited() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
  // Dies as a crashing program does: no conversation is ended.
  void kill() {
    if (!process_.hProcess) return;
    TerminateProcess(process_.hProcess, 9);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};
  }

 private:
  void take_output() {
    DWORD available = 0;
    while (PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      std::string chunk(available, '\0');
      DWORD read = 0;
      if (!ReadFile(output_, chunk.data(), available, &read, nullptr) || read == 0) return;
      text_.append(chunk.data(), read);
    }
  }
  HANDLE output_ = nullptr;
  PROCESS_INFORMATION process_{};
  std::string text_;
};

class ServerUnderStress : public ::testing::Test {
 protected:
  ServerUnderStress() : folder_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}
  void SetUp() override {
    folder_.add_versioned_connector();
    remove_server_log();
  }
  void TearDown() override {
    folder_.stop();
    remove_server_log();
  }
  ServerFolder folder_;
};

TEST_F(ServerUnderStress, ConversationsOfAClientThatDiedAreGivenBack) {
  ASSERT_TRUE(folder_.start());
  {
    ClientProcess crashing("hold LEDRA5 200");
    ASSERT_EQ(crashing.wait_for_line(), "held 200\r\n");
    EXPECT_EQ(folder_.status_count(), 200);
    crashing.kill();
  }
  // The table is full of conversations whose client is gone: a new client is
  // still served, and the count comes back to what is really open.
  Client next;
  ASSERT_TRUE(next.connect("Kovo", "LEDRA5")) << next.last_error_name();
  EXPECT_EQ(next.request_text("gl", kTimeout).value_or("<none>"), "code 100 []\r\n");
  EXPECT_TRUE(wait_for([&] { return folder_.status_count() == 1; })) << folder_.status_count();
  EXPECT_EQ(count_of(server_log(), "its client is gone"), 200u);
  next.disconnect();
  EXPECT_TRUE(wait_for([&] { return folder_.status_count() == 0; }));
  EXPECT_TRUE(folder_.watcher().boxes().empty());
}

TEST_F(ServerUnderStress, TheCountComesBackWithoutWaitingForANewClient) {
  ASSERT_TRUE(folder_.start());
  Client alive;
  ASSERT_TRUE(alive.connect("Kovo", "LEDRA5"));
  ClientProcess crashing("hold Kovo 3");
  ASSERT_EQ(crashing.wait_for_line(), "held 3\r\n");
  EXPECT_EQ(folder_.status_count(), 4);
  crashing.kill();
  EXPECT_TRUE(wait_for([&] { return folder_.status_count() == 1; })) << folder_.status_count();
  EXPECT_EQ(alive.request_text("gl", kTimeout).value_or("<none>"), "code 100 []\r\n") << "the living keep theirs";
}

TEST_F(ServerUnderStress, AFloodOfRefusedCommandsNeverNestsBoxes) {
  ASSERT_TRUE(folder_.start());
  constexpr int kCommands = 10000;
  ClientProcess flood("flood LEDRA5 " + std::to_string(kCommands) + " \"[NOSUCH%d]\"");
  ASSERT_EQ(flood.wait_for_exit(), "sent 10000 failed 0\r\n");
  ASSERT_FALSE(folder_.exited()) << "the server survived";
  // Answered at once, while the boxes that waited their turn still go by.
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
  const auto asked = GetTickCount();
  EXPECT_EQ(client.request_text("gl", 2000).value_or("<none>"), "code 100 []\r\n");
  EXPECT_LT(GetTickCount() - asked, 2000u);
  // Every command was either shown in its turn or dropped with a log line
  // (each command is its own text: a box seen twice by the watcher counts once).
  const auto shown = [&] {
    std::set<std::string> texts;
    for (const auto& box : folder_.watcher().boxes())
      if (!box.text.empty()) texts.insert(box.text);  // empty: caught on its way down
    return texts.size();
  };
  const auto accounted = [&] {
    return shown() + count_of(server_log(), "box not shown, one is up already") ==
           static_cast<std::size_t>(kCommands);
  };
  EXPECT_TRUE(wait_for(accounted, 30000))
      << shown() << " shown, " << count_of(server_log(), "box not shown, one is up already")
      << " dropped";
  EXPECT_EQ(folder_.watcher().most_at_once(), 1u) << "never a box inside another";
  for (const auto& box : folder_.watcher().boxes()) {
    if (box.text.empty()) continue;
    EXPECT_EQ(box.text.rfind("The command sent is unknown to kovo - [NOSUCH", 0), 0u) << box.text;
  }
}

// The private memory of a process (under Wine its anonymous resident and
// swapped memory).
SIZE_T memory_of(DWORD process_id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id);
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  const BOOL read = process && GetProcessMemoryInfo(process, &counters, sizeof counters);
  if (process) CloseHandle(process);
  return read ? counters.PagefileUsage : 0;
}

// The handle the next moveable memory block of this process will get.
HGLOBAL next_moveable_handle() {
  HGLOBAL probe = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, 1);
  GlobalFree(probe);
  return probe;
}

TEST_F(ServerUnderStress, AnswersLeaveNoMemoryBehindOnEitherSide) {
  ASSERT_TRUE(folder_.start());
  Client client;
  ASSERT_TRUE(client.connect("Kovo", "LEDRA5"));
  // Answers of some 250 bytes (an item is at most 255 characters), so that
  // what each one left behind would show.
  const std::string arguments(240, 'x');
  const auto ask_many = [&](int count) {
    int answered = 0;
    for (int i = 0; i < count; ++i)
      answered += client.request_text("GL;" + arguments, kTimeout) == "code 100 [" + arguments + "]\r\n";
    return answered;
  };
  ASSERT_EQ(ask_many(500), 500);
  const SIZE_T server_before = memory_of(folder_.process_id());
  const HGLOBAL client_before = next_moveable_handle();
  ASSERT_EQ(ask_many(5000), 5000);
  EXPECT_EQ(next_moveable_handle(), client_before) << "every block an answer arrived in was given back";
  const SIZE_T server_after = memory_of(folder_.process_id());
  ASSERT_GT(server_before, 0u);
  EXPECT_LT(server_after, server_before + 1024 * 1024)
      << "the server kept what it answered: " << server_before << " -> " << server_after << " bytes";
}

// A ledger of one company "CO" whose account 4000-10 shows this_month in
// period 5 of 2008.
std::string small_ledger(const std::string& name, int this_month) {
  std::string c = two_year_company("CO", R"(,
    "accounts":[{"code":"4000-10","description":"Sales","type":"400"}],
    "balances":[{"account":"4000-10","year":2008,"actual":[0,0,0,0,)" + std::to_string(this_month) + R"(]}])");
  return description(c.replace(c.find("Company CO"), 10, name));
}

class LedgerUnderServer : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::make_unique<ServerFolder>("ledger");  // holds the settings lock
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    for (const char* file : {"Ledra5.dll", "WBTRV32.DLL"}) folder_->copy(file);
    system_ = (folder_->path() / "Cyma4").string();
  }
  void TearDown() override {
    client_.disconnect();
    if (folder_) folder_->stop();
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    folder_.reset();
  }
  ProgramResult build(const std::string& json, const std::string& target) {
    const std::string description_file = target + ".json";
    std::ofstream(description_file, std::ios::binary) << json;
    return run_program("\"" + bin_folder() + "kovo-ledger.exe\" build \"" + description_file + "\" \"" + target + "\"",
                       {}, 120000);
  }
  std::string ask(const std::string& item) { return client_.request_text(item, 30000).value_or("<no answer>"); }
  void serve() {
    ASSERT_TRUE(folder_->start());
    ASSERT_TRUE(client_.connect("Kovo", "LEDRA5")) << client_.last_error_name();
    ASSERT_TRUE(client_.execute("[SETUP(NoShow=1,Company=CO,System=" + system_ + ")]", 30000));
  }

  std::unique_ptr<ServerFolder> folder_;
  std::string system_;
  Client client_;
};

TEST_F(LedgerUnderServer, ARestoredLedgerIsReadInsteadOfTheFilesMovedAside) {
  ASSERT_EQ(build(small_ledger("Before", -10), system_).exit_code, 0u);
  const std::string backup = system_ + "-backup";
  ASSERT_EQ(build(small_ledger("Restored", -25), backup).exit_code, 0u);
  serve();
  EXPECT_EQ(ask("GL;4000-10;This Month;CO"), "-10\r\n");
  EXPECT_EQ(ask("CODATA;NAME;CO"), "Before\r\n");
  // The backup takes the ledger's place while the server holds its files
  // open (Wine lets a held file move, as a restore program would move it).
  ASSERT_TRUE(MoveFileA(system_.c_str(), (system_ + ".old").c_str()));
  ASSERT_TRUE(MoveFileA(backup.c_str(), system_.c_str()));
  std::string answer;
  EXPECT_TRUE(wait_for([&] { return (answer = ask("GL;4000-10;This Month;CO")) != "-10\r\n"; }, 5000))
      << "still the figure of the files moved aside";
  EXPECT_EQ(answer, "-25\r\n");
  EXPECT_EQ(ask("CODATA;NAME;CO"), "Restored\r\n");
}

TEST_F(LedgerUnderServer, TheToolRefusesToReplaceALedgerInUse) {
  ASSERT_EQ(build(small_ledger("Before", -10), system_).exit_code, 0u);
  serve();
  EXPECT_EQ(ask("GL;4000-10;This Month;CO"), "-10\r\n");
  const auto refused = build(small_ledger("After", -25), system_);
  EXPECT_EQ(refused.exit_code, 1u);
  EXPECT_NE(refused.errors.find("is in use"), std::string::npos) << refused.errors;
  EXPECT_NE(refused.errors.find("held open by another program"), std::string::npos) << refused.errors;
  EXPECT_EQ(ask("GL;4000-10;This Month;CO"), "-10\r\n") << "the ledger in use is left as it is";
  EXPECT_FALSE(fs::exists(system_ + ".~previous"));
  EXPECT_FALSE(fs::exists(system_ + ".~building"));
  // Once the server is gone, the same build goes through.
  client_.disconnect();
  folder_->stop();
  const auto built = build(small_ledger("After", -25), system_);
  EXPECT_EQ(built.exit_code, 0u) << built.errors;
}

}  // namespace
