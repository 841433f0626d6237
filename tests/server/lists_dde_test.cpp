// The list command end to end: the add-in's list requests with continuation
// over DDE through Kovo.exe and the connector, the console in DDE mode, and
// the lists window inside the server's process.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "../unit/ledger_fixture.h"
#include "connector_fixture.h"
#include "program_runner.h"
#include "server_fixture.h"

namespace {

using kovo::testing::ServerFolder;
using kovo::testing::wait_for;

// A company whose list of accounts runs to about 22,000 characters.
std::string big_ledger() {
  std::string accounts;
  for (int i = 1000; i < 1500; ++i)
    accounts += std::string(i > 1000 ? "," : "") + R"({"code":")" + std::to_string(i) +
                R"(-10","description":"Account number )" + std::to_string(i) + R"( of the ledger","type":"100"})";
  return kovo::testing::description(kovo::testing::two_year_company("BIG", R"(,"accounts":[)" + accounts + "]"));
}

// The lines of a reply, as the add-in reads them; a chunk that does not end
// the list ends in its own line end and the command's, an empty line.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty()) lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

class ListsOverDde : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kovo::testing::kSettingsKey);
    folder_ = std::make_unique<ServerFolder>("lists");
    for (const char* file : {"Ledra5.dll", "WBTRV32.DLL"}) folder_->copy(file);
    folder_->write("big.json", big_ledger());
    system_ = (folder_->path() / "Cyma4").string();
    const auto built = kovo::testing::run_program("\"" + kovo::testing::bin_folder() + "kovo-ledger.exe\" build \"" +
                                                      (folder_->path() / "big.json").string() + "\" \"" + system_ + "\"",
                                                  {}, 120000);
    ASSERT_EQ(built.exit_code, 0u) << built.errors;
    ASSERT_TRUE(folder_->start());
    ASSERT_TRUE(client_.connect("Kovo", "LEDRA5")) << client_.last_error_name();
  }
  void TearDown() override {
    client_.disconnect();
    folder_.reset();
    RegDeleteKeyA(HKEY_CURRENT_USER, kovo::testing::kSettingsKey);
  }
  std::string ask(const std::string& item) { return client_.request_text(item, 30000).value_or("<no answer>"); }
  HWND lists_window() const {
    return kovo::testing::find_process_window(folder_->process_id(), "#32770", "Lists [CYMA]");
  }

  kovo::testing::SettingsLock lock_;
  std::unique_ptr<ServerFolder> folder_;
  std::string system_;
  kovo::dde::Client client_;
};

TEST_F(ListsOverDde, TheAddInsListRequestsWithContinuation) {
  ASSERT_TRUE(client_.execute("[SETUP(NoShow=1,Company=BIG,System=" + system_ + ")]", 30000));
  // The add-in's request, and its continuation upper-cased with MOREDATA=1
  // until a reply begins with KovoListDone.
  std::string command = "[KovoLIST(NOSHOW=1,NoClipboard=1, MOREDATA=0, List=Accounts)]";
  std::vector<std::string> replies{ask(command)};
  for (auto& c : command) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  command.replace(command.find("MOREDATA=0"), 10, "MOREDATA=1");
  while (replies.back().rfind("KovoListDone", 0) != 0 && replies.size() < 10) replies.push_back(ask(command));
  ASSERT_EQ(replies.size(), 3u);
  EXPECT_EQ(replies[2], "KovoListDone\r\n") << "the further continuation answers exactly KovoListDone";
  const auto first = lines_of(replies[0]);
  const auto second = lines_of(replies[1]);
  EXPECT_GT(replies[0].size(), 15500u);
  EXPECT_EQ(second.front(), first.back()) << "the boundary item stands in both chunks";
  EXPECT_EQ(second.back(), "KovoListDone");
  std::vector<std::string> accounts;
  for (const auto* chunk : {&first, &second})
    for (const auto& line : *chunk)
      if (line != "KovoListDone" && (accounts.empty() || accounts.back() != line)) accounts.push_back(line);
  ASSERT_EQ(accounts.size(), 500u);
  EXPECT_EQ(accounts.front(), "'1000-10\tAccount number 1000 of the ledger");
  EXPECT_EQ(accounts.back(), "'1499-10\tAccount number 1499 of the ledger");

  // The console in DDE mode shows the same list.
  // This thread keeps taking its messages meanwhile: the console's connect
  // is announced to every window, this process's DDE windows included.
  kovo::testing::ProgramResult run;
  std::atomic<bool> done{false};
  std::thread console([&] {
    run = kovo::testing::run_console("--dde LEDRA5",
                                     "[KovoLIST(NOSHOW=1,NoClipboard=1, MOREDATA=0, List=2)]\n"
                                     "[KOVOLIST(NOSHOW=1,NOCLIPBOARD=1, MOREDATA=1, LIST=2)]\n");
    done = true;
  });
  EXPECT_TRUE(wait_for([&] { return done.load(); }, 90000));
  console.join();
  EXPECT_EQ(run.output, "0\t'10\\t\\r\\nKovoListDone\\r\\n\n0\tKovoListDone\\r\\n\n") << run.errors;
}

TEST_F(ListsOverDde, TheListsWindowLivesInTheServer) {
  folder_->watcher().leave_alone("Lists [CYMA]");
  ASSERT_TRUE(client_.execute("[KovoLIST(Company=BIG,System=" + system_ +
                                  ",Selected List=0,List Segment Segment=Dept,List Segment Where=Account)]",
                              30000));
  ASSERT_TRUE(wait_for([&] { return lists_window() && IsWindowVisible(lists_window()); }));
  // A list request without a user closes the user's window first.
  EXPECT_EQ(ask("[KovoLIST(NOSHOW=1,NoClipboard=1,MOREDATA=0,List=Years)]"), "'0\r\n'2008\r\n'2007\r\nKovoListDone\r\n");
  EXPECT_EQ(lists_window(), nullptr);
  EXPECT_TRUE(folder_->watcher().boxes().empty());
}

}  // namespace
