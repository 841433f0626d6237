// Damaged files and files written by other programs: a read that fails for
// any reason but running out of records stops the request with the record
// manager's text, and records of any length holding the fields read are read
// alike, while a record too short for them is an error -- never a figure.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "data/layouts.h"
#include "entry/dispatch.h"
#include "ledger_fixture.h"
#include "recman/file_spec.h"
#include "requests/install.h"
#include "windows/list_command.h"
#include "windows/list_text.h"

using namespace kovo;
using kovo::testing::description;
using kovo::testing::two_year_company;

namespace {

const std::string kCompany = two_year_company("A", R"(,
  "accounts":[{"code":"1000-10","description":"Cash","type":"100"},
              {"code":"4000-10","description":"Sales East","type":"400"}],
  "balances":[{"account":"1000-10","year":2008,"opening":1000,"actual":[100,200,300,400,500]},
              {"account":"4000-10","year":2008,"actual":[-10,-20,-30,-40,-50]},
              {"account":"4000-10","year":2007,"actual":[-5,-5,-5,-5,-5,-5,-5,-5,-5,-5,-5,-5]}],
  "transactions":[{"account":"4000-10","date":"2008-01-15","amount":-10,"history":true},
                  {"account":"4000-10","date":"2008-02-15","amount":-20}],
  "segments":[{"segment":1,"value":"4000","description":"Sales"}])");

class RecordFilesTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    requests::install_requests();
    lists::release_lists();
    rebuild();
    settings().company = "A";
  }
  void TearDown() override {
    lists::release_lists();
    LedgerTest::TearDown();
  }
  std::string ask(int code, const std::string& args) {
    std::string buffer(16000, '\0');
    connector_interface(code, args.c_str(), buffer.data(), buffer.size());
    std::string answer(buffer.c_str());
    if (answer.size() >= 2 && answer.compare(answer.size() - 2, 2, "\r\n") == 0) answer.resize(answer.size() - 2);
    return answer;
  }
  std::string list(const std::string& name) {
    clear_message();
    settings().list = name;
    settings().more_data = 0;
    return lists::list_result_text();
  }
  std::string file(const std::string& name) const { return system_dir() + "/A/" + name; }
  // Forget every open file and company, as a fresh connector would start.
  void reopen() {
    lists::release_lists();
    data::close_all_companies();
    std::uint32_t none = 0;
    recman::btrcall(recman::kStop, nullptr, nullptr, &none, nullptr, 0, 0);
  }

  void rebuild() {
    reopen();
    build(description(kCompany));
  }

  // Overwrites the pages holding the file's records and their indexes with
  // bytes no page can hold, leaving the file's description readable: the
  // file still opens, and every read of a record fails in the engine.
  void damage_records(const std::string& path) {
    reopen();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    std::vector<long long> pages;
    long long page_size = 0;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE tbl_name = 'records'", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) pages.push_back(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &st, nullptr);
    if (sqlite3_step(st) == SQLITE_ROW) page_size = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    ASSERT_FALSE(pages.empty());
    ASSERT_GT(page_size, 0);
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    const std::string junk(static_cast<std::size_t>(page_size), '\xA7');
    for (const long long page : pages) {
      out.seekp((page - 1) * page_size);
      out.write(junk.data(), page_size);
    }
    ASSERT_TRUE(out.good());
  }

  // Writes the file again with records of the given length: the builder's
  // records cut or padded with zero bytes.
  void rewrite_with_length(const std::string& path, recman::FileSpec spec, std::size_t length) {
    reopen();
    std::uint8_t block[recman::kPositionBlockSize] = {};
    std::vector<char> key(path.begin(), path.end());
    key.resize(255, 0);
    std::uint32_t size = 0;
    ASSERT_EQ(recman::btrcall(recman::kOpen, block, nullptr, &size, key.data(), 255, 0), 0);
    std::vector<std::vector<std::uint8_t>> records;
    std::vector<std::uint8_t> buffer(4096);
    std::vector<char> key_out(255);
    for (auto op = recman::kGetFirst;; op = recman::kGetNext) {
      size = static_cast<std::uint32_t>(buffer.size());
      if (recman::btrcall(op, block, buffer.data(), &size, key_out.data(), 255, 0) != 0) break;
      records.emplace_back(buffer.begin(), buffer.begin() + size);
    }
    ASSERT_EQ(recman::btrcall(recman::kClose, block, nullptr, &size, nullptr, 0, 0), 0);
    ASSERT_FALSE(records.empty());
    spec.record_length = static_cast<std::uint16_t>(length);
    auto spec_bytes = recman::encode_file_spec(spec, 0);
    size = static_cast<std::uint32_t>(spec_bytes.size());
    ASSERT_EQ(recman::btrcall(recman::kCreate, block, spec_bytes.data(), &size, key.data(), 255, 0), 0);
    ASSERT_EQ(recman::btrcall(recman::kOpen, block, nullptr, &size, key.data(), 255, 0), 0);
    for (auto& record : records) {
      record.resize(length, 0);
      size = static_cast<std::uint32_t>(record.size());
      ASSERT_EQ(recman::btrcall(recman::kInsert, block, record.data(), &size, key_out.data(), 255, 0), 0);
    }
    ASSERT_EQ(recman::btrcall(recman::kClose, block, nullptr, &size, nullptr, 0, 0), 0);
    reopen();
  }
};

::testing::AssertionResult is_read_error(const std::string& answer, const std::string& file_name) {
  if (answer.rfind("Kovo [CYMA] Btrieve error - ", 0) == 0 && answer.find(file_name) != std::string::npos &&
      answer.find("Btrieve Error 2 - I/O Error") != std::string::npos)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "answer: " << answer;
}

TEST_F(RecordFilesTest, TheAnswersBeforeAnyDamage) {
  EXPECT_EQ(ask(100, "1000-10;This Month;A"), "2500");
  EXPECT_EQ(ask(100, "4000-10;Year to Date;A"), "-150");
  EXPECT_EQ(ask(104, "4000-10;1Jan08;31Dec08;A"), "-30");
  EXPECT_EQ(ask(103, "4000-10;A"), "Sales East");
  EXPECT_EQ(ask(114, "4000-10;1;A"), "Sales");
  EXPECT_EQ(ask(115, "End12;A"), "31Dec2008");
}

TEST_F(RecordFilesTest, ADamagedAccountsFileStopsRequestsAndLists) {
  damage_records(file("glacct.dat"));
  // the balance walk reads each account's type from the accounts file
  EXPECT_TRUE(is_read_error(ask(100, "1000-10;This Month;A"), "glacct.dat"));
  EXPECT_TRUE(is_read_error(ask(103, "4000-10;A"), "glacct.dat"));
  EXPECT_TRUE(is_read_error(ask(116, "type;4000-10;A"), "glacct.dat"));
  EXPECT_TRUE(is_read_error(list("Accounts"), "glacct.dat"));
  EXPECT_TRUE(is_read_error(list("Natural"), "glacct.dat"));
}

TEST_F(RecordFilesTest, ADamagedBalanceFileStopsValueAndSegmentRequests) {
  damage_records(file("glperiod.dat"));
  EXPECT_TRUE(is_read_error(ask(100, "4000-10;Year to Date;A"), "glperiod.dat"));
  EXPECT_TRUE(is_read_error(ask(100, "4000-?0;Month;A"), "glperiod.dat"));
  EXPECT_TRUE(is_read_error(ask(102, "4000-10;Year to Date Last Year;A"), "glperiod.dat"));
  EXPECT_TRUE(is_read_error(ask(114, "(4000)(1?);1;A"), "glperiod.dat"));
}

TEST_F(RecordFilesTest, DamagedTransactionFilesStopTransactionTotals) {
  for (const char* name : {"gl_trxh.dat", "gl_trx.dat"}) {
    SCOPED_TRACE(name);
    damage_records(file(name));
    EXPECT_TRUE(is_read_error(ask(104, "4000-10;1Jan08;31Dec08;A"), name));
    EXPECT_TRUE(is_read_error(ask(104, "4000-?0;1Jan08;31Dec08;A"), name));
    rebuild();
  }
}

TEST_F(RecordFilesTest, DamagedCalendarAndSegmentFilesAreErrors) {
  damage_records(file("gl_seg.dat"));
  EXPECT_TRUE(is_read_error(ask(114, "4000-10;1;A"), "gl_seg.dat"));
  damage_records(file("smperiod.dat"));
  const std::string answer = ask(100, "4000-10;Month;A");
  EXPECT_TRUE(is_read_error(answer, "smperiod.dat"));
  EXPECT_EQ(ask(100, "4000-10;Month;A"), answer) << "the company's failure stays with it";
  EXPECT_TRUE(is_read_error(ask(115, "End12;A"), "smperiod.dat"));
}

// Other programs' records: shorter than the builder's (ending with the last
// field read) and longer; the answers are the same as for the builder's.
TEST_F(RecordFilesTest, ShorterAndLongerRecordsReadAlike) {
  const struct {
    const char* name;
    recman::FileSpec spec;
    std::size_t needed;
  } files[] = {
      {"glperiod.dat", layout::balance_spec(), layout::kBalanceNeededLength},
      {"glacct.dat", layout::account_spec(), layout::kAccountNeededLength},
      {"smperiod.dat", layout::calendar_spec(), layout::kCalendarNeededLength},
      {"gl_trx.dat", layout::transaction_spec(false), layout::transaction_needed_length(false)},
      {"gl_seg.dat", layout::segment_spec(), layout::kSegmentNeededLength},
  };
  for (const auto& f : files) {
    for (const std::size_t length : {f.needed, f.needed + 300}) {
      SCOPED_TRACE(std::string(f.name) + " of " + std::to_string(length) + " bytes");
      rewrite_with_length(file(f.name), f.spec, length);
      EXPECT_EQ(ask(100, "1000-10;This Month;A"), "2500");
      EXPECT_EQ(ask(100, "4000-10;Year to Date;A"), "-150");
      EXPECT_EQ(ask(100, "4000-10;Year to Date Last Year;A"), "-25");
      EXPECT_EQ(ask(104, "4000-10;1Jan08;31Dec08;A"), "-30");
      EXPECT_EQ(ask(103, "4000-10;A"), "Sales East");
      EXPECT_EQ(ask(114, "4000-10;1;A"), "Sales");
      EXPECT_EQ(ask(115, "End12;A"), "31Dec2008");
    }
    rebuild();
  }
}

TEST_F(RecordFilesTest, ARecordTooShortForTheFieldsReadIsAnError) {
  const struct {
    const char* name;
    recman::FileSpec spec;
    std::size_t needed;
    int code;
    const char* args;
  } files[] = {
      {"glperiod.dat", layout::balance_spec(), layout::kBalanceNeededLength, 100, "4000-10;Year to Date;A"},
      {"glacct.dat", layout::account_spec(), layout::kAccountNeededLength, 103, "4000-10;A"},
      {"smperiod.dat", layout::calendar_spec(), layout::kCalendarNeededLength, 100, "4000-10;Month;A"},
      {"gl_trx.dat", layout::transaction_spec(false), layout::transaction_needed_length(false), 104,
       "4000-10;1Jan08;31Dec08;A"},
      {"gl_seg.dat", layout::segment_spec(), layout::kSegmentNeededLength, 114, "4000-10;1;A"},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    rewrite_with_length(file(f.name), f.spec, f.needed - 1);
    const std::string answer = ask(f.code, f.args);
    EXPECT_EQ(answer.rfind("Kovo [CYMA] Record too short - ", 0), 0u) << answer;
    EXPECT_NE(answer.find(std::string(f.name) + " - " + std::to_string(f.needed - 1) + " bytes, " +
                          std::to_string(f.needed) + " needed"),
              std::string::npos)
        << answer;
    rebuild();
  }
}

}  // namespace
