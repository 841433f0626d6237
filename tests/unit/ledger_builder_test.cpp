// The ledger builder over the stand-in's engine: what it writes reads back
// through the record manager call, and refused descriptions name the company,
// the record and the member and leave nothing behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/layouts.h"
#include "ledger_fixture.h"

namespace kovo::testing {
namespace {

namespace fs = std::filesystem;

// Every record of a file in the order of one key, read through the call.
std::vector<layout::Bytes> read_all(const std::string& path, int key_number) {
  std::vector<layout::Bytes> out;
  unsigned char block[recman::kPositionBlockSize] = {};
  char name[256] = {};
  path.copy(name, sizeof name - 1);
  std::uint32_t length = 0;
  if (recman::btrcall(recman::kOpen, block, nullptr, &length, name, 255, 0) != 0) return out;
  std::uint16_t op = recman::kGetFirst;
  for (;;) {
    layout::Bytes data(4096);
    unsigned char key[256] = {};
    length = static_cast<std::uint32_t>(data.size());
    if (recman::btrcall(op, block, data.data(), &length, key, 255, static_cast<std::int8_t>(key_number)) != 0) break;
    data.resize(length);
    out.push_back(std::move(data));
    op = recman::kGetNext;
  }
  recman::btrcall(recman::kClose, block, nullptr, &(length = 0), nullptr, 0, 0);
  return out;
}

const std::string kAccounts = R"(,"accounts":[{"code":"1000-10","description":"Cash","type":"100"},
  {"code":"4000-20","description":"Sales","type":"400"}])";

class LedgerBuilderTest : public LedgerTest {
 protected:
  std::string data_file(const std::string& id, const std::string& name) const {
    return (fs::path(system_dir()) / id / name).string();
  }
  bool nothing_left() const {
    return !fs::exists(system_dir()) && !fs::exists(system_dir() + ".~building");
  }
};

TEST_F(LedgerBuilderTest, BalancesCarryTheirPairsAndTotals) {
  build(description(two_year_company("DEMO", kAccounts + R"(,"balances":[
    {"account":"1000-10","year":2008,"opening":100.0,"actual":[10.0,-2.5,7.25],
     "budget":[1.0,2.0],"revisedBudget":[3.0]}])")));
  const auto records = read_all(data_file("DEMO", "glperiod.dat"), layout::kBalanceCodeYearKey);
  ASSERT_EQ(records.size(), 1u);
  const auto b = layout::decode_balance(records[0]);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->code, "100010");
  EXPECT_EQ(b->year, 2008);
  EXPECT_DOUBLE_EQ(b->opening, 100.0);
  const double balances[] = {110.0, 107.5, 114.75, 114.75};
  for (int p = 0; p < 4; ++p) EXPECT_DOUBLE_EQ(b->actual[p].second, balances[p]) << "period " << p + 1;
  EXPECT_DOUBLE_EQ(b->actual[1].first, -2.5);
  EXPECT_DOUBLE_EQ(b->actual[12].second, 114.75);
  EXPECT_DOUBLE_EQ(b->budget[1].second, 3.0);
  EXPECT_DOUBLE_EQ(b->budget_total, 3.0);
  EXPECT_DOUBLE_EQ(b->revised_total, 3.0);
  EXPECT_DOUBLE_EQ(b->revised[12].second, 3.0);
}

TEST_F(LedgerBuilderTest, TransactionsGoToCurrentOrHistoryAndReadByAccountAndDate) {
  build(description(two_year_company("DEMO", kAccounts + R"(,"transactions":[
    {"account":"4000-20","date":"2008-03-09","amount":-5.0},
    {"account":"1000-10","date":"2008-03-09","amount":5.0,"document":"INV-2"},
    {"account":"4000-20","date":"2008-01-15","amount":-7.0},
    {"account":"1000-10","date":"2007-12-31","amount":1.0,"history":true}])")));
  const auto current = read_all(data_file("DEMO", "gl_trx.dat"), layout::kTransactionAccountDateKey);
  ASSERT_EQ(current.size(), 3u);
  std::vector<std::pair<std::string, std::int32_t>> order;
  for (const auto& r : current) order.emplace_back(layout::transaction_account(r), layout::transaction_date(r).number());
  const std::vector<std::pair<std::string, std::int32_t>> expected = {
      {"100010", 20080309}, {"400020", 20080115}, {"400020", 20080309}};
  EXPECT_EQ(order, expected);
  const auto tx = layout::decode_transaction(current[0], false);
  ASSERT_TRUE(tx);
  EXPECT_EQ(tx->document, "INV-2");
  EXPECT_DOUBLE_EQ(tx->amount, 5.0);
  const auto history = read_all(data_file("DEMO", "gl_trxh.dat"), layout::kTransactionAccountDateKey);
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(layout::transaction_date(history[0]).number(), 20071231);
}

TEST_F(LedgerBuilderTest, VersionProbeOnlyForDataVersionEight) {
  std::string seven = two_year_company("OLD", kAccounts);
  seven.replace(seven.find("\"dataVersion\":8"), 15, "\"dataVersion\":7");
  build(description(two_year_company("NEW", kAccounts) + "," + seven, "sm_cmpy2.dat"));
  EXPECT_TRUE(fs::exists(data_file("NEW", "gl_cfg135.dat")));
  EXPECT_FALSE(fs::exists(data_file("OLD", "gl_cfg135.dat")));
  const auto masters = read_all((fs::path(system_dir()) / "sm_cmpy2.dat").string(), 0);
  ASSERT_EQ(masters.size(), 2u);
  const auto second = layout::decode_company(masters[1], layout::CompanyLayout::Second);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->id, "OLD");
  EXPECT_EQ(second->main_segment, 0);  // 1-based in the description, 0-based on file
}

struct Refused {
  const char* name;
  std::string extra;      // spliced into company DEMO
  std::vector<std::string> named;  // each must appear in the message
};

TEST_F(LedgerBuilderTest, RefusalsNameCompanyRecordAndMemberAndLeaveNothing) {
  const std::vector<Refused> cases = {
      {"bad date", kAccounts + R"(,"transactions":[{"account":"1000-10","date":"2008-02-30","amount":1}])",
       {"company DEMO", "transactions[0]", "\"date\""}},
      {"account outside the structure", R"(,"accounts":[{"code":"1000-10","type":"100"},{"code":"100-10","type":"100"}])",
       {"company DEMO", "accounts[1]", "\"code\""}},
      {"balance of an unknown account", kAccounts + R"(,"balances":[{"account":"2000-10","year":2008,"opening":0,"actual":[]}])",
       {"company DEMO", "balances[0]", "\"account\""}},
      {"duplicate account", R"(,"accounts":[{"code":"1000-10","type":"100"},{"code":"1000-10","type":"100"}])",
       {"company DEMO", "accounts[1]", "1000-10"}},
      {"unknown member", kAccounts + R"(,"segments":[{"segment":1,"value":"1000","colour":"red"}])",
       {"company DEMO", "segments[0]", "\"colour\""}},
      {"too many amounts", kAccounts + R"(,"balances":[{"account":"1000-10","year":2008,"opening":0,
        "actual":[1,2,3,4,5,6,7,8,9,10,11,12,13,14]}])",
       {"company DEMO", "balances[0]", "\"actual\""}},
      {"amount not a number", kAccounts + R"(,"transactions":[{"account":"1000-10","date":"2008-02-03","amount":"x"}])",
       {"company DEMO", "transactions[0]", "\"amount\""}},
  };
  for (const auto& c : cases) {
    const auto result = ledger::build_ledger(description(two_year_company("DEMO", c.extra)), system_dir(), &recman::btrcall);
    EXPECT_FALSE(result.ok) << c.name;
    for (const auto& part : c.named) EXPECT_NE(result.error.find(part), std::string::npos) << c.name << ": " << result.error;
    EXPECT_TRUE(nothing_left()) << c.name;
  }
}

TEST_F(LedgerBuilderTest, MalformedDescriptionsAreRefusedWholesale) {
  const char* cases[] = {"", "{", "[]", R"({"companyFile":"sm_cmpny.dat"})",
                         R"({"companyFile":"other.dat","companies":[]})",
                         R"({"companyFile":"sm_cmpny.dat","companies":[],"extra":1})"};
  for (const char* json : cases) {
    const auto result = ledger::build_ledger(json, system_dir(), &recman::btrcall);
    EXPECT_FALSE(result.ok) << json;
    EXPECT_FALSE(result.error.empty()) << json;
    EXPECT_TRUE(nothing_left()) << json;
  }
}

TEST_F(LedgerBuilderTest, RefusedRebuildKeepsThePreviousLedger) {
  build(description(two_year_company("DEMO", kAccounts)));
  const auto result = ledger::build_ledger(description(two_year_company("DEMO", R"(,"accounts":[{"code":"x"}])")),
                                           system_dir(), &recman::btrcall);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(read_all(data_file("DEMO", "glacct.dat"), layout::kAccountCodeKey).size(), 2u);
  EXPECT_FALSE(fs::exists(system_dir() + ".~building"));
}

TEST_F(LedgerBuilderTest, DuplicateCompanyIdsIgnoreCase) {
  const auto result = ledger::build_ledger(
      description(two_year_company("DEMO") + "," + two_year_company("demo")), system_dir(), &recman::btrcall);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("company demo"), std::string::npos) << result.error;
  EXPECT_TRUE(nothing_left());
}

}  // namespace
}  // namespace kovo::testing
