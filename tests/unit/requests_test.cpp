// Requests through the connector's interface against small ledgers; every
// expected answer is worked out by hand from the description below.
#include <gtest/gtest.h>

#include <string>

#include "data/btrieve_ops.h"
#include "entry/dispatch.h"
#include "recman/btrcall.h"
#include "ledger_fixture.h"
#include "requests/gl_request.h"
#include "requests/install.h"

using namespace kovo;
using kovo::testing::description;
using kovo::testing::two_year_company;

namespace {

const std::string kCompanyA = two_year_company("A", R"(,
  "accounts":[{"code":"1000-10","description":"Cash","type":"100"},
              {"code":"4000-10","description":"Sales East","type":"400"},
              {"code":"4000-20","description":"Sales West","type":"400"},
              {"code":"5000-10","description":"Wages","type":"300"}],
  "balances":[{"account":"1000-10","year":2008,"opening":1000,"actual":[100,200,300,400,500]},
              {"account":"4000-10","year":2008,"actual":[-10,-20,-30,-40,-50,-60],
               "budget":[-15,-15,-15,-15,-15,-15,-15,-15,-15,-15,-15,-15],
               "revisedBudget":[-16,-16,-16,-16,-16,-16,-16,-16,-16,-16,-16,-16]},
              {"account":"4000-20","year":2008,"actual":[-1,-2,-3,-4,-5]},
              {"account":"4000-10","year":2007,"actual":[-5,-5,-5,-5,-5,-5,-5,-5,-5,-5,-5,-5]}],
  "transactions":[{"account":"4000-10","date":"2008-01-15","amount":-10,"history":true},
                  {"account":"4000-10","date":"2008-02-15","amount":-20},
                  {"account":"4000-10","date":"2008-02-20","amount":5},
                  {"account":"4000-10","date":"2008-05-03","amount":-50,"posted":false},
                  {"account":"4000-20","date":"2008-05-04","amount":-5},
                  {"account":"4000-10","date":"2007-12-31","amount":-7,"history":true}],
  "segments":[{"segment":1,"value":"4000","description":"Sales"},
              {"segment":2,"value":"10","description":"East"}])");

const std::string kCompanyB = [] {
  std::string b = two_year_company("B", R"(,
  "accounts":[{"code":"4000-10","description":"Sales","type":"400"}],
  "balances":[{"account":"4000-10","year":2008,"actual":[-100,-100,-100,-100,-100]}])");
  const std::string v8 = R"("dataVersion":8)";
  return b.replace(b.find(v8), v8.size(), R"("dataVersion":7)");
}();

class RequestsTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    requests::install_requests();
    build(description(kCompanyA + "," + kCompanyB));
  }
  std::string ask(int code, const std::string& args, int* status = nullptr) {
    std::string buffer(16000, '\0');
    const int s = connector_interface(code, args.c_str(), buffer.data(), buffer.size());
    if (status) *status = s;
    std::string answer(buffer.c_str());
    if (answer.size() >= 2 && answer.compare(answer.size() - 2, 2, "\r\n") == 0) answer.resize(answer.size() - 2);
    return answer;
  }
  std::string gl(const std::string& args) { return ask(100, args); }
};

TEST_F(RequestsTest, GlValuesOfOneCompany) {
  EXPECT_EQ(gl("4000-10;This Month;A"), "-50");
  EXPECT_EQ(ask(102, "4000-10;This Month;A"), "50");
  EXPECT_EQ(gl("4000-10;Month,Month;A"), "-100");
  EXPECT_EQ(gl("4000-?0;Year to Date;A"), "-165");
  EXPECT_EQ(gl("1000-10;This Month;A"), "2500");
  EXPECT_EQ(gl("1000-10;Month 1;A"), "1100");
  EXPECT_EQ(gl("4000-10;This Month Last Year;A"), "-5");
  EXPECT_EQ(gl("4000-10;Year to Date Last Year;A"), "-25");
  EXPECT_EQ(gl("4000-10;This Quarter;A"), "-90");  // periods 4 and 5: stopped at the current period
  // a specifier mixing balance and income accounts takes the kind of the last account read
  EXPECT_EQ(gl("1000-10,4000-10;This Month;A"), "2450");
}

TEST_F(RequestsTest, BudgetsYearsAndDefaults) {
  EXPECT_EQ(gl("4000-10;This Month Budget;A;;B"), "-15");
  EXPECT_EQ(gl("4000-10;This Month Budget;A;;R"), "-16");
  EXPECT_EQ(gl("4000-10;This Month Budget;A;;1"), "-16");
  EXPECT_EQ(gl("4000-10;Year to Date Budget;A;;B"), "-75");
  EXPECT_EQ(gl("4000-10;This Month;A;;R"), "-50");  // no budget word: the type changes nothing
  EXPECT_EQ(gl("4000-10;This Month;A;0"), "-50");
  EXPECT_EQ(gl("4000-10;This Month;A;07"), "-5");
  EXPECT_EQ(settings().drill_year, "2007");
  gl("4000-10;This Month;A;09");
  EXPECT_EQ(settings().drill_year, "2009");
  settings().company = "A";
  EXPECT_EQ(gl("4000-10"), "-50");  // period "month", the setting's company
  // A year not written as one is refused, never answered as another year's figure.
  EXPECT_EQ(gl("4000-10;This Month;A;Bogus"), "Kovo [CYMA] Invalid year - Bogus");
  EXPECT_EQ(gl("4000-10;This Month;A;2008x"), "Kovo [CYMA] Invalid year - 2008x");
  EXPECT_EQ(gl("4000-10;This Month;A;-1"), "Kovo [CYMA] Invalid year - -1");
  EXPECT_EQ(ask(102, "4000-10;Bogus Month;A;99999999999999999999"),
            "Kovo [CYMA] Invalid year - 99999999999999999999") << "the year is read first";
  EXPECT_EQ(gl("4000-10;This Month;A;2008"), "-50") << "and a good one after it is read again";
}

TEST_F(RequestsTest, CompanyStacksAndTheNaLabel) {
  EXPECT_EQ(gl("4000-10;This Month;A,B"), "-150");
  EXPECT_EQ(settings().drill_company, "B");  // the last named is evaluated first
  EXPECT_EQ(gl("1000-10;This Month;A,B"), "2500");  // B lacks the account: it adds 0
  settings().na_label = 0;
  EXPECT_EQ(gl("1000-10;This Month;A,B"), "Kovo [CYMA] No matching accounts found - 1000-10");
  EXPECT_EQ(gl("4000-10,4000-30;This Month;A"), "Kovo [CYMA] No matching accounts found - 4000-30");
  settings().na_label = 1;
  // the opening request names the record manager error, later ones the company's status
  EXPECT_EQ(gl("4000-10;This Month;A,NOPE"), "Kovo [CYMA] Btrieve error - NOPE");
  EXPECT_EQ(gl("4000-10;This Month;A,NOPE"), "Kovo [CYMA] No such company: - NOPE");
  EXPECT_EQ(gl("4000-10;This Month;ABCDEFG"), "Kovo [CYMA] Invalid - company specifier too long");
  EXPECT_EQ(gl("4000-10;Bogus;A"), "Kovo [CYMA] Invalid period specifier - Bogus");
  EXPECT_EQ(gl("4000;This Month;A"), "Kovo [CYMA] Invalid length for account specifier - 4000");
  EXPECT_EQ(gl("4000-10;This Quarter Last Year Budget;A"),
            "Kovo [CYMA] No data for period requested - 4000-10");
  EXPECT_EQ(gl(""), "Kovo [CYMA] Too Few Arguments");
}

TEST_F(RequestsTest, AccountAndCompanyData) {
  int status = -1;
  EXPECT_EQ(ask(116, "desc;4000-10;A", &status), "Sales East");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ask(116, "origin;4000-10;A"), "P/L");
  EXPECT_EQ(ask(116, "origin;1000-10;A"), "Balance Sheet");
  EXPECT_EQ(ask(116, "type;5000-10;A"), "300");
  EXPECT_EQ(ask(116, "typical;4000-10;A", &status), "Kovo [CYMA] Function not supported");
  EXPECT_EQ(status, 32);
  EXPECT_EQ(ask(116, "colour;4000-10;A", &status), "Kovo [CYMA] Function not supported - colour");
  EXPECT_EQ(ask(103, "4000-2?;A"), "Sales West");
  EXPECT_EQ(ask(103, "9000-10;A"), "Kovo [CYMA] No matching accounts found - 9000-10");
  EXPECT_EQ(ask(115, "start3;A", &status), "1Mar2008");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ask(115, "End12;A"), "31Dec2008");
  EXPECT_EQ(ask(115, "Start14;A", &status), "Kovo [CYMA] Function not supported - Start14");
  EXPECT_EQ(status, 32);
  EXPECT_EQ(ask(115, "TSO;A"), "^-^");
  EXPECT_EQ(ask(115, "name;A,B"), "Company A");
  EXPECT_EQ(ask(115, "YEAR;A"), "2008");
  EXPECT_EQ(ask(114, "4000-10;0;A"), "Sales");  // segment 0 reads as 1
  EXPECT_EQ(ask(114, "4000-10;2;A"), "East");
  EXPECT_EQ(ask(114, "(4000)(1?);2;A"), "East");
  EXPECT_EQ(ask(114, ";2;A"), "Dept");
  EXPECT_EQ(ask(114, "4000-10;3;A"), "NA");
  EXPECT_EQ(ask(114, "4000-20;2;A", &status).substr(0, 25), "Kovo [CYMA] Btrieve error");
}

TEST_F(RequestsTest, TransactionTotals) {
  EXPECT_EQ(ask(104, "4000-10;1Jan08;31Dec08;A"), "-75");  // history then current, unposted included
  EXPECT_EQ(ask(104, "4000-10;1Jan07;31Dec07;A"), "-7");
  EXPECT_EQ(ask(104, "4000-?0;1Feb08;31May08;A"), "-70");
  EXPECT_EQ(ask(104, "4000-10;1Jan08;31Dec08;A;debit"), "5");
  EXPECT_EQ(ask(104, "4000-10;1Jan08;31Dec08;A;C"), "-80");
  EXPECT_EQ(ask(104, "4000-10;31Dec08;1Jan08;A"), "Kovo [CYMA] Invalid From and To date range");
  EXPECT_EQ(ask(104, "4000-10;1Foo08;1Jan08;A"), "Kovo [CYMA] Invalid month in date - 1Foo08");
  EXPECT_EQ(ask(104, "4000-10;39448;39813;A"), "-75");  // serial days of 1 Jan and 31 Dec 2008
  settings().include_unposted = 0;
  EXPECT_EQ(ask(104, "4000-10;1Jan08;31Dec08;A"), "-25");
  EXPECT_EQ(ask(105, "4000-10;1Jan08;31Dec08;B"), "Kovo [CYMA] Function not supported in this version of CYMA IV");
  EXPECT_EQ(ask(106, "4000-10;1Jan08;31Dec08;A;;J1"), "0.0");
}

// The hooks that later windows and the balance cache plug in.
std::vector<std::string> g_collected;
TEST_F(RequestsTest, OutOfRangeSegmentsBlankPeriodsAndSurplusGroups) {
  // a segment number beyond the segments answers NA however large it is
  for (const char* number : {"3", "2147483647", "2147483648", "4294967297", "99999999999999999999", "-2147483649"})
    EXPECT_EQ(ask(114, std::string("4000-10;") + number + ";A"), "NA") << number;
  EXPECT_EQ(ask(114, ";2147483649;A"), "NA");
  EXPECT_EQ(ask(114, "4000-10;-1;A"), "Sales");
  // a period of blanks or tabs is an empty period: "month"
  EXPECT_EQ(gl("4000-10;;A"), "-50");
  EXPECT_EQ(gl("4000-10; ;A"), "-50");
  EXPECT_EQ(gl("4000-10;\t \t;A"), "-50");
  // more groups than the company's two segments
  EXPECT_EQ(gl("(4000)(10)(99);Month;A"), "Kovo [CYMA] - (4000)(10)(99)");
  EXPECT_EQ(gl("(4000)(10);Month;A"), "-50");
}

// Counts the record manager's reads.
int g_reads = 0;
short counting_call(std::uint16_t op, void* block, void* data, std::uint32_t* length, void* key,
                    std::uint8_t key_length, std::int8_t key_number) {
  if (op >= recman::kGetEqual && op <= recman::kGetLast) ++g_reads;
  return recman::btrcall(op, block, data, length, key, key_length, key_number);
}

std::string repeated(const std::string& item, int times, const char* separator = ",") {
  std::string out;
  for (int i = 0; i < times; ++i) out += (i ? separator : "") + item;
  return out;
}

TEST_F(RequestsTest, PeriodDescriptorsShareTheirReadsAndLargeRequestsAreRefused) {
  btrv::set_record_manager_call(&counting_call);
  EXPECT_EQ(gl("4000-?0;Month;A"), "-55");
  g_reads = 0;
  EXPECT_EQ(gl("4000-?0;Month;A"), "-55");
  const int one = g_reads;
  g_reads = 0;
  EXPECT_EQ(gl("4000-?0;" + repeated("Month", 36) + ";A"), "-1980");
  EXPECT_LE(g_reads, one + 2) << "36 descriptors of one year read its records once";
  // descriptors of both years and of budgets add up as they do one by one
  EXPECT_EQ(gl("4000-?0;Month,Year to Date,Year to Date Last Year,Month Budget,This Month Last Year,Month;A"),
            "-320");  // -55 - 165 - 25 - 15 - 5 - 55
  btrv::set_record_manager_call(&recman::btrcall);

  // 100 x 50 simple specifiers, 36 descriptors, two companies: above the bound
  std::string first, second;
  for (int i = 0; i < 100; ++i) first += (i ? "," : "") + std::to_string(4000 + i);
  for (int i = 0; i < 50; ++i) second += (i ? "," : "") + std::to_string(10 + i);
  const std::string accounts = "(" + first + ")(" + second + ")";
  EXPECT_EQ(requests::request_work(5000, 2, 36), 360000u);
  EXPECT_EQ(gl(accounts + ";" + repeated("Month", 36) + ";A,A"),
            "Kovo [CYMA] Request too large - 5000 accounts x 2 companies x 36 periods is more than 250000");
  EXPECT_EQ(ask(104, accounts + ";1Jan08;31Dec08;" + repeated("A", 60, " ")),
            "Kovo [CYMA] Request too large - 5000 accounts x 60 companies x 1 periods is more than 250000");
  // within the bound the request runs: 5000 x 1 x 36
  EXPECT_EQ(gl(accounts + ";" + repeated("Month", 36) + ";A"), "-1980");
}

TEST_F(RequestsTest, HooksOfTheEvaluation) {
  ask(11, "");  // start of a sheet calculation: the first period's accounts are noted
  EXPECT_EQ(gl("4000-?0;This Month,Last Month;A"), "-99");  // (-50 - 5) + (-40 - 4)
  ask(12, "");
  auto* a = data::find_or_open_company("A");
  ASSERT_EQ(a->used_accounts.size(), 2u);
  EXPECT_EQ(a->used_accounts[0].code, "400010");
  EXPECT_EQ(a->used_accounts[1].code, "400020");
  EXPECT_EQ(a->used_accounts[0].count, 1) << "one request, however many periods";
  gl("1000-10;This Month;A");  // no calculation running: nothing more is noted
  EXPECT_EQ(a->used_accounts.size(), 2u);

  auto& hooks = requests::gl_hooks();
  hooks.collecting = true;
  hooks.collect_segments = [](const data::CompanyContext&, std::string_view code) { g_collected.emplace_back(code); };
  gl("4000-*;Year to Date;A");
  hooks.collecting = false;
  hooks.collect_segments = nullptr;
  EXPECT_EQ(g_collected, (std::vector<std::string>{"400010", "400020"}));

  hooks.balance_cache = [](data::CompanyContext&, const requests::GlRequest&, const specifier::PeriodDescriptor&,
                           specifier::AmountTable& table, specifier::AccountKind& kind) {
    table.amount[0][0][4] = 1234.5;  // period 5 of the requested year
    kind = specifier::AccountKind::Other;
    return true;
  };
  EXPECT_EQ(gl("4000-10;This Month,Month 5;A"), "2469");  // every descriptor from the cache's table
  hooks.balance_cache = nullptr;
  EXPECT_EQ(gl("4000-10;This Month;A"), "-50");
}

}  // namespace
