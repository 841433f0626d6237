// The list command's lists over small ledgers, through the result text that
// the NoShow run with NoClipboard answers; every expected list is worked out
// by hand from the descriptions below.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "entry/messages.h"
#include "entry/settings.h"
#include "ledger_fixture.h"
#include "windows/list_command.h"
#include "windows/list_text.h"

using namespace kovo;
using kovo::testing::description;
using kovo::testing::two_year_company;

namespace {

const std::string kCompanyA = two_year_company("A", R"(,
  "accounts":[{"code":"1000-10","description":"Cash","type":"100"},
              {"code":"4000-10","description":"Sales East","type":"400"},
              {"code":"4000-20","description":"Sales West","type":"400"},
              {"code":"4100-30","description":"Service","type":"400"},
              {"code":"5000-10","description":"Wages","type":"500"}],
  "segments":[{"segment":1,"value":"1000","description":"Cash"},
              {"segment":1,"value":"4000","description":"Sales"},
              {"segment":2,"value":"10","description":"East"},
              {"segment":2,"value":"20","description":"West"}])");

const std::string kCompanyB = two_year_company("B", R"(,
  "accounts":[{"code":"4000-77","description":"Sales","type":"400"}])");

// Many accounts: the list of accounts runs to about 36,000 characters.
std::string many_accounts() {
  std::string accounts;
  for (int i = 0; i < 1200; ++i)
    accounts += std::string(i ? "," : "") + R"({"code":")" + std::to_string(1000 + i) +
                R"(-10","description":"Account number )" + std::to_string(1000 + i) + R"(","type":"100"})";
  return two_year_company("BIG", R"(,"accounts":[)" + accounts + "]");
}

class ListsLedgerTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    lists::release_lists();
    build(description(kCompanyA + "," + kCompanyB));
    settings().company = "A";
  }
  void TearDown() override {
    lists::release_lists();
    btrv::set_record_manager_call(&recman::btrcall);
    LedgerTest::TearDown();
  }
  // One NoShow list request with NoClipboard, as the add-in sends it.
  std::string list(const std::string& name, int more_data = 0) {
    clear_message();
    settings().list = name;
    settings().more_data = more_data;
    return lists::list_result_text();
  }
  void add_account(const std::string& company, const std::string& code) {
    std::uint8_t block[recman::kPositionBlockSize] = {};
    std::string path = system_dir() + "/" + company + "/glacct.dat";
    std::vector<char> key(path.begin(), path.end());
    key.resize(255, 0);
    std::uint32_t length = 0;
    ASSERT_EQ(recman::btrcall(recman::kOpen, block, nullptr, &length, key.data(), 255, 0), 0);
    auto record = layout::encode_account({code, "Added", "400"});
    length = static_cast<std::uint32_t>(record.size());
    ASSERT_EQ(recman::btrcall(recman::kInsert, block, record.data(), &length, key.data(), 255, 0), 0);
    ASSERT_EQ(recman::btrcall(recman::kClose, block, nullptr, &length, nullptr, 0, 0), 0);
  }
};

TEST_F(ListsLedgerTest, SegmentValuesWithAndWithoutDescriptions) {
  EXPECT_EQ(list("natural"), "'1000\tCash\r\n'4000\tSales\r\n'4100\t\r\n'5000\t\r\nKovoListDone")
      << "natural in lower case lists the natural account segment";
  EXPECT_EQ(list("2"), "'10\tEast\r\n'20\tWest\r\n'30\t\r\nKovoListDone") << "a list parameter of 2";
  settings().list_generate_descriptions = 0;
  EXPECT_EQ(list("DEPT"), "'10\r\n'20\r\n'30\r\nKovoListDone");
  settings().natural_account_segment = 2;
  EXPECT_EQ(list("Natural"), "'10\r\n'20\r\n'30\r\nKovoListDone");
  EXPECT_EQ(list("Region"), "KovoListDone") << "a name matching nothing gives no list";
  EXPECT_EQ(list("Region", 1), "KovoListDone");
}

TEST_F(ListsLedgerTest, WhereCriteriaHeadingsAndGroups) {
  settings().list_generate_descriptions = 0;
  EXPECT_EQ(list("Dept;Account;#Sales#+4*+1000"),
            "'Sales\r\n'10\r\n'20\r\n'30\r\n'10\r\nKovoListDone");
  EXPECT_EQ(list("Natural;Dept;10+20"), "'1000\r\n'4000\r\n'5000\r\n'4000\r\nKovoListDone");
  EXPECT_EQ(list("Natural;Dept;(10+20)"), "'1000\r\n'4000\r\n'5000\r\nKovoListDone") << "one group of two";
  EXPECT_EQ(list("Natural;2;15..30"), "'4000\r\n'4100\r\nKovoListDone");
  EXPECT_EQ(list("Natural;Dept;99"), "KovoListDone");
  EXPECT_EQ(list("Natural;(None);99"), "'1000\r\n'4000\r\n'4100\r\n'5000\r\nKovoListDone");
  settings().list_generate_descriptions = 1;
  EXPECT_EQ(list("Dept;Account;#Cash#+1*"), "'Cash\r\n'10\tEast\r\nKovoListDone") << "headings have no description";
}

TEST_F(ListsLedgerTest, CataloguesYearsAccountsAndTheRest) {
  EXPECT_EQ(list("Lists"), "'Companies\r\n'Periods\r\n'Budgets\r\n'Years\r\n'Account\r\n'Dept\r\nKovoListDone");
  EXPECT_EQ(list("AxisData"), "'3\r\n'2\r\n'5\r\n'4\r\n'-1\r\n'-2\r\nKovoListDone");
  EXPECT_EQ(list("Years"), "'0\r\n'2008\r\n'2007\r\nKovoListDone");
  EXPECT_EQ(list("SegDefs"), "0,Account,!Company,A,;0,Account,!Company,A;1,Dept,!Company,A\r\nKovoListDone");
  EXPECT_EQ(list("Budgets"), "'Budget\r\n'Revised Budget\r\nKovoListDone");
  EXPECT_EQ(list("Grants"), "KovoListDone");
  EXPECT_EQ(list("Companies"), "'A\r\n'B\r\nKovoListDone");
  EXPECT_EQ(list("Accounts"),
            "'1000-10\tCash\r\n'4000-10\tSales East\r\n'4000-20\tSales West\r\n'4100-30\tService\r\n"
            "'5000-10\tWages\r\nKovoListDone");
  settings().system = system_dir() + "/nowhere";
  EXPECT_EQ(list("Companies"), "'A\r\nKovoListDone") << "without a company file: the current company alone";
}

TEST_F(ListsLedgerTest, ResetForcesTheSegmentValuesToBeReadAgain) {
  EXPECT_EQ(list("Dept"), "'10\tEast\r\n'20\tWest\r\n'30\t\r\nKovoListDone");
  add_account("A", "600040");  // as stored: the segments run together
  EXPECT_EQ(list("Dept"), "'10\tEast\r\n'20\tWest\r\n'30\t\r\nKovoListDone") << "the values are kept";
  EXPECT_EQ(list("RESET"), "KovoListDone");
  EXPECT_EQ(list("Dept"), "'10\tEast\r\n'20\tWest\r\n'30\t\r\n'40\t\r\nKovoListDone");
  settings().company = "b";
  EXPECT_EQ(list("Dept"), "'77\t\r\nKovoListDone") << "another company has values of its own";
}

TEST_F(ListsLedgerTest, ALongListArrivesInChunksUntilExactlyDone) {
  build(description(kCompanyA + "," + many_accounts()));
  settings().company = "BIG";
  std::vector<std::string> chunks{list("Accounts")};
  while (chunks.back().rfind("KovoListDone", 0) != 0 && chunks.size() < 10) chunks.push_back(list("ACCOUNTS", 1));
  ASSERT_EQ(chunks.size(), 4u) << "three chunks of about 15,500 characters and the final reply";
  EXPECT_EQ(chunks.back(), "KovoListDone");
  std::vector<std::string> read;
  for (const auto& chunk : chunks) {
    EXPECT_LT(chunk.size(), lists::kChunkCapacity - 3);
    std::size_t start = 0;
    while (start < chunk.size()) {
      const std::size_t end = chunk.find("\r\n", start);
      const std::string line = chunk.substr(start, end - start);
      if (line != "KovoListDone" && (read.empty() || read.back() != line)) read.push_back(line);
      if (end == std::string::npos) break;
      start = end + 2;
    }
  }
  ASSERT_EQ(read.size(), 1200u);
  EXPECT_EQ(read.front(), "'1000-10\tAccount number 1000");
  EXPECT_EQ(read.back(), "'2199-10\tAccount number 2199");
  // A new request starts afresh even in the middle of a transfer.
  list("Accounts");
  EXPECT_EQ(list("Years").substr(0, 4), "'0\r\n");
  EXPECT_EQ(list("Years", 1), "KovoListDone");
}

TEST_F(ListsLedgerTest, FailuresAnswerTheirMessageNotAnEmptyList) {
  settings().company = "ZZZ";
  EXPECT_EQ(list("Dept"), "Kovo [CYMA] No such company: - ZZZ");
  EXPECT_EQ(list("Dept", 1), "KovoListDone");
  EXPECT_EQ(list("Periods").substr(0, 10), "'January\r\n") << "lists of no company need none";

  settings().company = "B";
  std::filesystem::remove(std::filesystem::path(system_dir()) / "B" / "glacct.dat");
  const std::string missing = list("Accounts");
  EXPECT_EQ(missing.rfind("Kovo [CYMA] Btrieve error - ", 0), 0u) << missing;
  EXPECT_NE(missing.find("Btrieve Error 12"), std::string::npos) << missing;
  EXPECT_EQ(list("Dept").rfind("Kovo [CYMA] Btrieve error - ", 0), 0u);
}

// The stand-in's call, failing the third get-next with an I/O error.
int g_reads = 0;
short failing_call(std::uint16_t op, void* block, void* data, std::uint32_t* length, void* key,
                   std::uint8_t key_length, std::int8_t key_number) {
  if (op == recman::kGetNext && ++g_reads == 3) return recman::kIoError;
  return recman::btrcall(op, block, data, length, key, key_length, key_number);
}

TEST_F(ListsLedgerTest, AReadFailureMidWalkIsAnErrorAndLeavesNothingCached) {
  g_reads = 0;
  btrv::set_record_manager_call(&failing_call);
  const std::string accounts = list("Accounts");
  EXPECT_EQ(accounts, "Kovo [CYMA] Btrieve error - " + data::find_or_open_company("A")->data_directory +
                          "glacct.dat - Btrieve Error 2 - I/O Error");
  g_reads = 0;
  EXPECT_EQ(list("Dept").rfind("Kovo [CYMA] Btrieve error", 0), 0u);
  EXPECT_FALSE(lists::value_cache().ready());
  btrv::set_record_manager_call(&recman::btrcall);
  EXPECT_EQ(list("Dept"), "'10\tEast\r\n'20\tWest\r\n'30\t\r\nKovoListDone");
}

TEST_F(ListsLedgerTest, AStoppedFillLeavesTheCacheEmpty) {
  data::CompanyContext* company = lists::list_company();
  ASSERT_NE(company, nullptr);
  int rows = 0;
  auto& cache = lists::value_cache();
  EXPECT_EQ(cache.prepare(*company, {}, [&] { return ++rows < 3; }), lists::kStopped);
  EXPECT_FALSE(cache.ready());
  EXPECT_TRUE(cache.values(1).empty());
  EXPECT_FALSE(message_pending()) << "a stop is no failure";
  EXPECT_EQ(cache.prepare(*company, {}, {}), 0);
  EXPECT_EQ(cache.values(1), (std::vector<std::string>{"10", "20", "30"}));
}

}  // namespace
