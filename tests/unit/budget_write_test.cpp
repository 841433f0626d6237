// Budget writing: the copied block as read, the write-back run and WGL over a
// small ledger, and writers killed in the middle of a run.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "data/btrieve.h"
#include "data/budget_store.h"
#include "entry/dispatch.h"
#include "ledger_fixture.h"
#include "requests/install.h"
#include "requests/wgl_request.h"
#include "windows/budget_block.h"
#include "windows/budget_run.h"

using namespace kovo;
using namespace kovo::budget;
using kovo::testing::description;
using kovo::testing::two_year_company;

namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

HeadingMap headings_of(const std::vector<std::string>& cells) {
  auto read = read_headings(cells);
  EXPECT_TRUE(std::holds_alternative<HeadingMap>(read));
  return std::holds_alternative<HeadingMap>(read) ? std::get<HeadingMap>(read) : HeadingMap{};
}

Refusal refusal_of(const std::vector<std::string>& cells) {
  auto read = read_headings(cells);
  EXPECT_TRUE(std::holds_alternative<Refusal>(read));
  return std::holds_alternative<Refusal>(read) ? std::get<Refusal>(read) : Refusal{};
}

TEST(BudgetBlock, HeadingsInAnyOrderAndCase) {
  const HeadingMap map = headings_of({"3", "account", "Description", "1", "origin", "", ""});
  EXPECT_EQ(map.column[kAccountHeading], 1u);
  EXPECT_EQ(map.period(3), 0u);
  EXPECT_EQ(map.period(1), 3u);
  EXPECT_FALSE(map.period(2));
  EXPECT_FALSE(map.period(13));

  Refusal total = refusal_of({"ACCOUNT", "1", "Total"});
  EXPECT_EQ(total.number, kMessageHeadingsFailed);
  EXPECT_EQ(total.detail, "Total not recognized. Use 'Account', '1', '2' etc.");
  EXPECT_EQ(refusal_of({"1", "2"}).number, kMessageNoAccountHeading);
  EXPECT_EQ(refusal_of({"ACCOUNT", "1", "1"}).number, kMessageHeadingsFailed);   // which "1" is meant?
  EXPECT_EQ(refusal_of({"ACCOUNT", "", "2"}).number, kMessageHeadingsFailed);    // a gap inside the row
  EXPECT_EQ(refusal_of({"ACCOUNT", "14"}).number, kMessageHeadingsFailed);
}

TEST(BudgetBlock, AmountForms) {
  const AmountLocale us;
  const auto amount = [](std::string_view cell, const AmountLocale& locale) {
    const CellAmount read = read_amount(cell, locale);
    EXPECT_EQ(read.kind, AmountCell::Amount) << cell;
    return read.value;
  };
  EXPECT_EQ(amount("(250.00)", us), -250.0);
  EXPECT_EQ(amount(" (1,200.50) ", us), -1200.5);
  EXPECT_EQ(amount("$1,234,567.89", us), 1234567.89);
  EXPECT_EQ(amount("-75", us), -75.0);
  EXPECT_EQ(amount("75-", us), -75.0);
  EXPECT_EQ(amount("+3.5", us), 3.5);
  EXPECT_EQ(amount("-", us), 0.0);  // an accounting format's zero
  const AmountLocale german{",", ".", 3};
  EXPECT_EQ(amount("1.234,56", german), 1234.56);
  EXPECT_EQ(amount("(1.234,56)", german), -1234.56);
  const AmountLocale swiss{".", "'", 3};
  EXPECT_EQ(amount("12'000.25", swiss), 12000.25);

  EXPECT_EQ(read_amount("  ", us).kind, AmountCell::Empty);
  // Figures this machine would read as another figure are refused, not guessed.
  for (const char* cell : {"1,20", "1.234,56", "#N/A", "abc", "12abc", "(12", "12)", "--5", "1.2.3", "(5)-"})
    EXPECT_EQ(read_amount(cell, us).kind, AmountCell::Invalid) << cell;
}

TEST(BudgetBlock, RowsQuotedCellsAndBlankRows) {
  BlockRows rows("ACCOUNT\t1\r\n\t\r\n\"4000-10\"\t\"1,5\"\"\"\n'1000-10\t7\n");
  std::vector<std::string> cells;
  ASSERT_TRUE(rows.next(cells));
  EXPECT_EQ(cells, (std::vector<std::string>{"ACCOUNT", "1"}));
  ASSERT_TRUE(rows.next(cells));
  EXPECT_EQ(rows.row(), 3);  // the blank row still counts as a row of the sheet
  EXPECT_EQ(cells, (std::vector<std::string>{"4000-10", "1,5\""}));
  ASSERT_TRUE(rows.next(cells));
  EXPECT_EQ(plain_text(cells[0]), "1000-10");
  EXPECT_FALSE(rows.next(cells));
}

TEST(BudgetAmounts, RecordEditRecomputesToDateAndTotal) {
  layout::BalanceRecord before;
  before.code = "400010";
  before.year = 2008;
  for (int p = 0; p < 12; ++p) {
    before.budget[p] = {100, 100.0 * (p + 1)};
    before.revised[p] = {7, 7.0 * (p + 1)};
  }
  before.budget_total = 1200;
  before.revised_total = 84;
  layout::Bytes record = layout::encode_balance(before);
  data::PeriodAmounts amounts{};
  amounts[2] = 1500;
  amounts[12] = 0.1 + 0.2;  // two decimals, no binary noise
  ASSERT_EQ(data::apply_budget(record, data::BudgetKind::Original, amounts), data::BudgetEdit::Done);
  const auto after = layout::decode_balance(record);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->budget[2].first, 1500);
  EXPECT_EQ(after->budget[1].second, 200);
  EXPECT_EQ(after->budget[2].second, 1700);
  EXPECT_EQ(after->budget[11].second, 2600);
  EXPECT_EQ(after->budget[12].second, 2600.3);
  EXPECT_EQ(after->budget_total, 2600.3);
  EXPECT_EQ(after->revised[4].second, 35);  // the other budget stays as it was
  EXPECT_EQ(after->revised_total, 84);

  amounts = {};
  amounts[0] = layout::kMaxPackedAmount;
  amounts[1] = 1;
  const layout::Bytes unchanged = record;
  EXPECT_EQ(data::apply_budget(record, data::BudgetKind::Original, amounts), data::BudgetEdit::TooLarge);
  EXPECT_EQ(layout::decode_balance(record)->budget[0].first, layout::decode_balance(unchanged)->budget[0].first);
  layout::Bytes short_record(100, 0);
  EXPECT_EQ(data::apply_budget(short_record, data::BudgetKind::Original, amounts), data::BudgetEdit::TooShort);
}

TEST(BudgetAmounts, SheetFiguresBackToLedgerAmounts) {
  Settings s;
  EXPECT_EQ(data::ledger_amount(12.345, s), 12.35);
  EXPECT_EQ(data::ledger_amount(-12.345, s), -12.35);
  s.scaling = 3;  // the sheet shows thousands
  EXPECT_EQ(data::ledger_amount(1.5, s), 1500);
  s.scaling = 0;
  s.rounding = 3;  // whole units
  EXPECT_EQ(data::ledger_amount(99.5, s), 100);
  EXPECT_EQ(data::ledger_amount(-0.4, s), 0);
}

TEST(BudgetAmounts, ExactAccountsOnly) {
  specifier::AccountStructure structure;
  structure.segment_count = 2;
  structure.width = {4, 2};
  EXPECT_EQ(data::exact_account_code("4000-10", structure), "400010");
  EXPECT_EQ(data::exact_account_code(" '4000-10 ", structure), "400010");
  for (const char* refused : {"4000-?0", "4000-*", "4000-10.4000-20", "4000-10,4000-20", "4000-100"})
    EXPECT_FALSE(data::exact_account_code(refused, structure)) << refused;
}

// ---------------------------------------------------------------- over a ledger

const std::string kLedger = description(two_year_company("A", R"(,
  "accounts":[{"code":"1000-10","description":"Cash","type":"100"},
              {"code":"4000-10","description":"Sales East","type":"400"},
              {"code":"4000-20","description":"Sales West","type":"400"},
              {"code":"6000-10","description":"Rent","type":"600"}],
  "balances":[{"account":"1000-10","year":2008,"opening":1000,"actual":[100,200]},
              {"account":"4000-10","year":2008,"actual":[-10,-20],
               "budget":[100,100,100,100,100,100,100,100,100,100,100,100],
               "revisedBudget":[200,200,200,200,200,200,200,200,200,200,200,200]},
              {"account":"4000-20","year":2008,
               "budget":[50,50,50,50,50,50,50,50,50,50,50,50]},
              {"account":"4000-10","year":2007,"budget":[9,9,9,9,9,9,9,9,9,9,9,9]}])") +
                                   "," + two_year_company("L", R"(,
  "accounts":[{"code":"4000-10","description":"Sales","type":"400"}],
  "balances":[{"account":"4000-10","year":2008,"budget":[1,1,1,1,1,1,1,1,1,1,1,1]},
              {"account":"4000-10","year":2007,"budget":[1,1,1,1,1,1,1,1,1,1,1,1]}])"));

class BudgetLedgerTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    requests::install_requests();
    std::string ledger = kLedger;
    // Company L keeps its original budget of 2008 locked and its 2007 budgets as transactions.
    const std::string l_calendar = R"("flag":0}])";
    const auto l_at = ledger.rfind(l_calendar);
    ledger.replace(l_at, l_calendar.size(), R"("flag":0,"originalBudgetLocked":true}])");
    const std::string l_2007 = R"("flag":1},)";
    ledger.replace(ledger.rfind(l_2007), l_2007.size(), R"("flag":1,"budgetTransactions":true},)");
    build(ledger);
  }

  layout::BalanceRecord balance(const std::string& company_id, const std::string& code, int year) {
    data::CompanyContext* c = data::find_or_open_company(company_id);
    EXPECT_EQ(data::company_error_check(c), 0);
    EXPECT_EQ(data::open_company_file(*c, layout::FileKind::Periods), 0);
    unsigned char key[btrv::kKeyBufferSize] = {};
    const layout::Bytes wanted = layout::balance_year_code_key(year, code);
    std::memcpy(key, wanted.data(), wanted.size());
    unsigned char* data = nullptr;
    EXPECT_EQ(btrv::BtrvGetEqual(&c->slot(data::Slot::Periods).block, &data, key, layout::kBalanceYearCodeKey), 0);
    if (!data) return {};
    const auto decoded = layout::decode_balance({data, btrv::last_record_length()});
    EXPECT_TRUE(decoded);
    return decoded.value_or(layout::BalanceRecord{});
  }

  RunReport run(const std::string& block, data::BudgetKind kind = data::BudgetKind::Original, int year = 2008) {
    WriteBackRequest request;
    request.block = block;
    request.company = data::find_or_open_company("A");
    request.year = year;
    request.kind = kind;
    request.settings = &settings();
    return write_back(request);
  }

  std::string ask(int code, const std::string& args) {
    std::string buffer(16000, '\0');
    connector_interface(code, args.c_str(), buffer.data(), buffer.size());
    std::string answer(buffer.c_str());
    if (answer.size() >= 2 && answer.compare(answer.size() - 2, 2, "\r\n") == 0) answer.resize(answer.size() - 2);
    return answer;
  }

  static void expect_consistent(const std::array<layout::AmountPair, layout::kPeriods>& pairs, double total) {
    double to_date = 0;
    for (const auto& pair : pairs) {
      to_date += pair.first;
      EXPECT_NEAR(pair.second, to_date, 0.001);
    }
    EXPECT_NEAR(total, to_date, 0.001);
  }
};

TEST_F(BudgetLedgerTest, OnlyTheGivenPeriodsChangeAndTheTotalsFollow) {
  const RunReport report = run("account\t3\tDescription\t1\r\n4000-10\t(250.00)\tSales\t1,000.00\r\n\r\n");
  EXPECT_EQ(report.written, 1);
  EXPECT_FALSE(report.stop);
  const auto r = balance("A", "400010", 2008);
  EXPECT_EQ(r.budget[0].first, 1000);
  EXPECT_EQ(r.budget[1].first, 100);
  EXPECT_EQ(r.budget[2].first, -250);
  EXPECT_EQ(r.budget[3].first, 100);
  EXPECT_EQ(r.budget_total, 1750);
  expect_consistent(r.budget, r.budget_total);
  EXPECT_EQ(r.revised_total, 2400);
  EXPECT_EQ(r.actual[1].first, -20);  // actual figures are never touched
  EXPECT_EQ(balance("A", "400010", 2007).budget_total, 108);
  // A GL request after the run reads the new budget.
  EXPECT_EQ(ask(100, "4000-10;Month 3 Budget;A;2008;B"), "-250");
  EXPECT_EQ(run_messages(report).back().number, kMessageCompleted);
}

TEST_F(BudgetLedgerTest, RevisedBudgetLeavesTheOriginal) {
  EXPECT_EQ(run("ACCOUNT\t12\n4000-10\t-5\n", data::BudgetKind::Revised).written, 1);
  const auto r = balance("A", "400010", 2008);
  EXPECT_EQ(r.revised[11].first, -5);
  EXPECT_EQ(r.revised_total, 2195);
  expect_consistent(r.revised, r.revised_total);
  EXPECT_EQ(r.budget_total, 1200);
  expect_consistent(r.budget, r.budget_total);
}

TEST_F(BudgetLedgerTest, BadAccountStopsTheRunAndKeepsTheRowsBefore) {
  const RunReport report = run("ACCOUNT\t1\n4000-10\t11\n4000-?0\t22\n4000-20\t33\n");
  EXPECT_EQ(report.written, 1);
  ASSERT_TRUE(report.stop);
  EXPECT_EQ(report.stop->number, data::kMessageInvalidAccount);
  EXPECT_EQ(report.stop->row, 3);
  EXPECT_EQ(balance("A", "400010", 2008).budget[0].first, 11);
  EXPECT_EQ(balance("A", "400020", 2008).budget[0].first, 50);
  // The user is told what stopped it and what was written before; no success.
  const auto messages = run_messages(report);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].number, data::kMessageInvalidAccount);
  EXPECT_EQ(messages[1].number, kMessageStopped);
  EXPECT_PRED2(contains, messages[1].detail, "row 3 (4000-?0): 1 account written");

  const RunReport first_row = run("ACCOUNT\t1\n4000-*\t1\n");
  EXPECT_EQ(first_row.written, 0);
  EXPECT_EQ(run_messages(first_row).back().number, kMessageNothingWritten);
}

TEST_F(BudgetLedgerTest, RefusedHeadingsWriteNothingAndNeverReportSuccess) {
  const RunReport report = run("ACCOUNT\t1\tTotal\n4000-10\t1\t1\n");
  EXPECT_EQ(report.written, 0);
  EXPECT_TRUE(report.headings_refused);
  EXPECT_EQ(balance("A", "400010", 2008).budget[0].first, 100);
  const auto messages = run_messages(report);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].number, kMessageHeadingsFailed);
  EXPECT_EQ(messages[1].number, kMessageHeadingsMissing);
  for (const auto& m : messages) EXPECT_NE(m.number, kMessageCompleted);
}

TEST_F(BudgetLedgerTest, AccountsWithoutRecordsAreNamedAndBadAmountsStop) {
  RunReport report = run("ACCOUNT\t2\n6000-10\t5\n4000-20\t6\n");
  EXPECT_EQ(report.written, 1);
  EXPECT_EQ(report.without_record, std::vector<std::string>{"6000-10"});
  EXPECT_PRED2(contains, run_messages(report).back().detail, "no balance record for 2008: 6000-10");

  report = run("ACCOUNT\t2\n4000-20\t7\n4000-10\t1,20\n");
  EXPECT_EQ(report.written, 1);
  ASSERT_TRUE(report.stop);
  EXPECT_EQ(report.stop->number, kMessageInvalidAmount);
  EXPECT_EQ(balance("A", "400010", 2008).budget[1].first, 100);
}

TEST_F(BudgetLedgerTest, WglWritesOneFigureAndMovesTheTotals) {
  EXPECT_EQ(ask(126, "1500;4000-10;Month 3;A;2008;B"), "1500");
  const auto r = balance("A", "400010", 2008);
  EXPECT_EQ(r.budget[2].first, 1500);
  EXPECT_EQ(r.budget[1].second, 200);
  EXPECT_EQ(r.budget[2].second, 1700);  // moved by 1400 from period 3 on
  EXPECT_EQ(r.budget[11].second, 2600);
  EXPECT_EQ(r.budget_total, 2600);
  EXPECT_EQ(r.revised_total, 2400);
  EXPECT_EQ(ask(100, "4000-10;Month 3 Budget;A;2008;B"), "1500");

  // The revised budget, the current period (5 of 2008) and a month by name.
  EXPECT_EQ(ask(126, "-12.5;4000-20;This Month;A;2008;r"), "-12.5");
  EXPECT_EQ(balance("A", "400020", 2008).revised[4].first, -12.5);
  EXPECT_EQ(ask(126, "8;4000-20;February;A;2008;Budget"), "8");
  EXPECT_EQ(balance("A", "400020", 2008).budget[1].first, 8);
  EXPECT_EQ(ask(126, "9;4000-20;Last Month;A;;B"), "9");  // the year of the setup: the current one
  EXPECT_EQ(balance("A", "400020", 2008).budget[3].first, 9);
}

TEST_F(BudgetLedgerTest, WglRefusalsWriteNothing) {
  EXPECT_PRED2(contains, ask(126, "1;4000-10;Month 3;A;2008;Actual"), "Invalid or missing Type found");
  EXPECT_PRED2(contains, ask(126, "1;4000-10;Month 3;A;2008;"), "Invalid or missing Type found");
  EXPECT_PRED2(contains, ask(126, "1;4000-10;Month 3;A;0;B"), "0 is invalid Year for WGL function");
  EXPECT_PRED2(contains, ask(126, "1;4000-*;Month 3;A;2008;B"), "Invalid account code found:");
  EXPECT_PRED2(contains, ask(126, "abc;4000-10;Month 3;A;2008;B"), "Invalid amount found:");
  EXPECT_PRED2(contains, ask(126, "1;4000-10;Month 3;Q;2008;B"), "No such company");
  for (const char* period : {"Quarter 1", "Year to Date", "Month 3 Last Year", "This Year", "Last Quarter"})
    EXPECT_PRED2(contains, ask(126, std::string("1;4000-10;") + period + ";A;2008;B"),
                 "Only a single period can be written:")
        << period;
  // A list with one refused descriptor writes none of them.
  EXPECT_PRED2(contains, ask(126, "1;4000-10;Month 1,Quarter 2;A;2008;B"), "Only a single period");
  const auto r = balance("A", "400010", 2008);
  for (const auto& pair : r.budget) EXPECT_NE(pair.first, 1);
  EXPECT_EQ(r.budget_total, 1200);

  EXPECT_PRED2(contains, ask(126, "1;4000-10;Month 1;L;2008;B"), "Original budget locked");
  EXPECT_EQ(ask(126, "1;4000-10;Month 1;L;2008;R"), "1");
  EXPECT_PRED2(contains, ask(126, "1;4000-10;Month 1;L;2007;R"), "Using budget transactions");
}

#ifndef _WIN32
// A writer process killed again and again in the middle of its runs: every
// record it touched holds one run's figures whole, its amounts to date and
// total agree with its periods, and the records it did not touch are as built.
TEST_F(BudgetLedgerTest, KilledWriterLeavesEveryRecordOldOrNew) {
  data::close_all_companies();
  std::uint32_t none = 0;
  recman::btrcall(recman::kStop, nullptr, nullptr, &none, nullptr, 0, 0);
  std::mt19937 random(7);
  for (int round = 0; round < 6; ++round) {
    int runs[2];
    ASSERT_EQ(pipe(runs), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(runs[0]);
      // Each run writes the same figure into all 13 periods of both accounts
      // and says so through the pipe.
      for (int run_number = 1;; ++run_number) {
        const std::string v = std::to_string(round * 1000 + run_number);
        std::string block = "ACCOUNT";
        for (int p = 1; p <= 13; ++p) block += "\t" + std::to_string(p);
        for (const char* account : {"4000-10", "4000-20"}) {
          block += std::string("\n") + account;
          for (int p = 1; p <= 13; ++p) block += "\t" + v;
        }
        run(block);
        if (write(runs[1], "r", 1) != 1) _exit(4);
      }
    }
    close(runs[1]);
    // Once the writer has finished a run, it is killed at some point of a later one.
    char done = 0;
    ASSERT_EQ(read(runs[0], &done, 1), 1) << "round " << round;
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 25));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(runs[0]);
    ASSERT_TRUE(WIFSIGNALED(status));
    recman::btrcall(recman::kStop, nullptr, nullptr, &none, nullptr, 0, 0);
    for (const char* code : {"400010", "400020"}) {
      const auto r = balance("A", code, 2008);
      for (int p = 1; p < 12; ++p) EXPECT_EQ(r.budget[p].first, r.budget[0].first) << code << " round " << round;
      const bool as_built = r.budget[0].first == (code == std::string("400010") ? 100 : 50);
      EXPECT_EQ(r.budget[12].first, as_built ? 0 : r.budget[0].first) << code << " round " << round;
      expect_consistent(r.budget, r.budget_total);
    }
    EXPECT_EQ(balance("A", "400010", 2008).revised_total, 2400);
    EXPECT_EQ(balance("A", "400010", 2007).budget_total, 108);
    data::close_all_companies();
    recman::btrcall(recman::kStop, nullptr, nullptr, &none, nullptr, 0, 0);
    if (HasFailure()) return;
  }
  EXPECT_NE(balance("A", "400010", 2008).budget[0].first, 100) << "the writer made progress";
}

#endif

}  // namespace
