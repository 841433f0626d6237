// The ledger builder over the stand-in's engine: what it writes reads back
// through the record manager call, and refused descriptions name the company,
// the record and the member and leave nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
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

TEST_F(LedgerBuilderTest, ATargetInANewPlaceGetsTheFoldersAboveIt) {
  const std::string deep = (root_ / "new" / "deeper" / "Cyma4").string();
  const auto result = ledger::build_ledger(description(two_year_company("DEMO", kAccounts)), deep, &recman::btrcall);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_TRUE(fs::exists(fs::path(deep) / ledger::kLedgerMarker));
  EXPECT_FALSE(fs::exists(deep + ".~building"));
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

// Whatever lies beside the system directory: the staging and moved-aside folders.
std::vector<std::string> siblings(const fs::path& root) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(root)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void write_text(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(LedgerBuilderTest, ReplacesOnlyWhatItBuiltUnlessAskedAndThenMovesAside) {
  const std::string json = description(two_year_company("DEMO", kAccounts));
  const fs::path target = system_dir();
  // a folder of other files, and a file, are refused and left as they are
  write_text(target / "notes.txt", "mine");
  auto result = ledger::build_ledger(json, system_dir(), &recman::btrcall);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("replace"), std::string::npos) << result.error;
  EXPECT_EQ(read_text(target / "notes.txt"), "mine");
  EXPECT_EQ(siblings(root_), std::vector<std::string>{"Cyma4"});
  fs::remove_all(target);
  write_text(target, "a file");
  EXPECT_FALSE(ledger::build_ledger(json, system_dir(), &recman::btrcall).ok);
  EXPECT_EQ(read_text(target), "a file");
  fs::remove(target);

  // an empty folder and the builder's own ledger are replaced
  fs::create_directories(target);
  build(json);
  EXPECT_EQ(read_all(data_file("DEMO", "glacct.dat"), layout::kAccountCodeKey).size(), 2u);
  build(description(two_year_company("DEMO")));
  EXPECT_TRUE(read_all(data_file("DEMO", "glacct.dat"), layout::kAccountCodeKey).empty());
  EXPECT_EQ(siblings(root_), std::vector<std::string>{"Cyma4"});

  // a file added to the builder's ledger is kept aside, not deleted
  write_text(target / "DEMO" / "report.xls", "figures");
  result = ledger::build_ledger(json, system_dir(), &recman::btrcall);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(read_text(root_ / "Cyma4.~previous" / "DEMO" / "report.xls"), "figures");
  EXPECT_FALSE(fs::exists(root_ / "Cyma4.~previous" / "DEMO" / "glacct.dat"));
  EXPECT_NE(result.note.find("Cyma4.~previous"), std::string::npos) << result.note;
  fs::remove_all(root_ / "Cyma4.~previous");

  // with the replace option a foreign target is moved aside whole
  fs::remove_all(target);
  write_text(target / "notes.txt", "mine");
  ledger::BuildOptions replace;
  replace.replace = true;
  result = ledger::build_ledger(json, system_dir(), &recman::btrcall, nullptr, replace);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(read_text(root_ / "Cyma4.~replaced" / "notes.txt"), "mine");
  EXPECT_NE(result.note.find("Cyma4.~replaced"), std::string::npos) << result.note;
  EXPECT_EQ(read_all(data_file("DEMO", "glacct.dat"), layout::kAccountCodeKey).size(), 2u);
}

// The files another program holds open, for the builder's in-use test.
std::vector<std::string> g_held;
bool held(const std::string& path) {
  return std::any_of(g_held.begin(), g_held.end(), [&](const std::string& h) {
    return path.size() >= h.size() && path.compare(path.size() - h.size(), h.size(), h) == 0;
  });
}

TEST_F(LedgerBuilderTest, ALedgerInUseIsLeftWholeAndSaysWhichFileIsHeld) {
  const std::string json = description(two_year_company("DEMO", kAccounts));
  build(json);
  ledger::BuildOptions options;
  options.in_use = &held;
  g_held = {"glacct.dat"};
  auto result = ledger::build_ledger(description(two_year_company("DEMO")), system_dir(), &recman::btrcall, nullptr,
                                     options);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("is in use: "), std::string::npos) << result.error;
  EXPECT_NE(result.error.find("glacct.dat is held open by another program"), std::string::npos) << result.error;
  EXPECT_EQ(siblings(root_), std::vector<std::string>{"Cyma4"}) << "nothing moved aside, no staging left";
  EXPECT_EQ(read_all(data_file("DEMO", "glacct.dat"), layout::kAccountCodeKey).size(), 2u);
  // A foreign folder is looked at file by file, even with the replace option.
  fs::remove_all(system_dir());
  write_text(fs::path(system_dir()) / "sub" / "open.txt", "in use");
  g_held = {"open.txt"};
  options.replace = true;
  result = ledger::build_ledger(json, system_dir(), &recman::btrcall, nullptr, options);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("open.txt is held open"), std::string::npos) << result.error;
  EXPECT_EQ(read_text(fs::path(system_dir()) / "sub" / "open.txt"), "in use");
  g_held.clear();
  EXPECT_TRUE(ledger::build_ledger(json, system_dir(), &recman::btrcall, nullptr, options).ok);
}

#ifndef _WIN32
TEST_F(LedgerBuilderTest, NothingIsDeletedThroughALink) {
  const std::string json = description(two_year_company("DEMO", kAccounts));
  const fs::path target = system_dir();
  const fs::path elsewhere = root_ / "elsewhere";
  write_text(elsewhere / "glacct.dat", "precious");
  // a target holding a link to another folder
  fs::create_directories(target);
  fs::create_directory_symlink(elsewhere, target / "s");
  EXPECT_FALSE(ledger::build_ledger(json, system_dir(), &recman::btrcall).ok);
  ledger::BuildOptions replace;
  replace.replace = true;
  ASSERT_TRUE(ledger::build_ledger(json, system_dir(), &recman::btrcall, nullptr, replace).ok);
  EXPECT_EQ(read_text(elsewhere / "glacct.dat"), "precious");
  // the builder's own ledger whose company folder became a link
  build(json);
  fs::rename(target / "DEMO", root_ / "old-demo");
  fs::create_directory_symlink(elsewhere, target / "DEMO");
  build(json);
  EXPECT_EQ(read_text(elsewhere / "glacct.dat"), "precious");
  // a target that is itself a link
  fs::remove_all(target);
  fs::create_directory_symlink(elsewhere, target);
  EXPECT_FALSE(ledger::build_ledger(json, system_dir(), &recman::btrcall).ok);
  EXPECT_TRUE(fs::is_symlink(target));
  EXPECT_EQ(read_text(elsewhere / "glacct.dat"), "precious");
}
#endif

TEST_F(LedgerBuilderTest, AFailedWriteKeepsThePreviousLedgerAndLeavesNoStaging) {
  build(description(two_year_company("DEMO", kAccounts)));
  static int inserts;
  inserts = 0;
  const recman::BtrCallFn failing = [](std::uint16_t op, void* block, void* data, std::uint32_t* length, void* key,
                                       std::uint8_t key_length, std::int8_t key_number) -> short {
    if (op == recman::kInsert && ++inserts == 3) return recman::kDiskFull;
    return recman::btrcall(op, block, data, length, key, key_length, key_number);
  };
  const auto result = ledger::build_ledger(description(two_year_company("DEMO", kAccounts)), system_dir(), failing);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("status 18"), std::string::npos) << result.error;
  EXPECT_EQ(read_all(data_file("DEMO", "glacct.dat"), layout::kAccountCodeKey).size(), 2u);
  EXPECT_EQ(siblings(root_), std::vector<std::string>{"Cyma4"});
}

TEST_F(LedgerBuilderTest, IdsDirectoriesAndTextsAreCheckedAgainstWhatTheFilesHold) {
  const auto with_id = [](const std::string& id) {
    std::string c = two_year_company("DEMO");
    c.replace(c.find("\"DEMO\""), 6, "\"" + id + "\"");
    return c;
  };
  const auto with_member = [](const std::string& member, const std::string& value) {
    std::string c = two_year_company("DEMO");
    const std::string key = "\"" + member + "\":";
    const std::size_t at = c.find(key) + key.size();
    const std::size_t end = c.find_first_of(",}", c[at] == '"' ? c.find('"', at + 1) : at);
    return c.replace(at, end - at, value);
  };
  const struct {
    std::string company;
    std::vector<std::string> named;
  } cases[] = {
      {with_id(".."), {"companies[0]", "\"id\""}},
      {with_id("..\\\\.."), {"companies[0]", "\"id\""}},
      {with_id("C:"), {"companies[0]", "\"id\""}},
      {with_id("\\\\"), {"companies[0]", "\"id\""}},
      {with_id("/"), {"companies[0]", "\"id\""}},
      {with_id("A;B"), {"companies[0]", "\"id\""}},
      {with_id("DE\\u0000MO"), {"companies[0]", "\"id\"", "NUL"}},
      {with_member("dataDirectory", R"("./../../kt_escape")"), {"company DEMO", "\"dataDirectory\""}},
      {with_member("dataDirectory", R"(".\\..\\..\\kt_escape")"), {"company DEMO", "\"dataDirectory\""}},
      {with_member("dataDirectory", R"("")"), {"company DEMO", "\"dataDirectory\" is empty"}},
      {with_member("dataDirectory", R"(".")"), {"company DEMO", "\"dataDirectory\""}},
      {with_member("dataDirectory", R"("C:\\elsewhere")"), {"company DEMO", "\"dataDirectory\""}},
      {with_member("dataDirectory", R"(".\\A:B")"), {"company DEMO", "\"dataDirectory\""}},
      {with_member("mainSegment", "3"), {"company DEMO", "\"mainSegment\"", "from 1 to 2"}},
      {with_member("name", R"("Tab\there")"), {"company DEMO", "\"name\"", "control character 9"}},
      {two_year_company("DEMO", R"(,"accounts":[{"code":"1000-10","description":"Ca\u0000sh","type":"100"}])"),
       {"company DEMO", "accounts[0]", "\"description\"", "NUL"}},
      {two_year_company("DEMO", R"(,"accounts":[{"code":"10;0-10","type":"100"}])"),
       {"company DEMO", "accounts[0]", "\"code\""}},
      {two_year_company("DEMO", R"(,"segments":[{"segment":2,"value":"1,"}])"),
       {"company DEMO", "segments[0]", "\"value\""}},
  };
  for (const auto& c : cases) {
    const auto result = ledger::build_ledger(description(c.company), system_dir(), &recman::btrcall);
    EXPECT_FALSE(result.ok) << c.company;
    for (const auto& part : c.named) EXPECT_NE(result.error.find(part), std::string::npos) << part << ": " << result.error;
    EXPECT_TRUE(fs::is_empty(root_)) << c.company << " left something behind: " << siblings(root_).front();
  }
}

}  // namespace
}  // namespace kovo::testing
