#include <gtest/gtest.h>

#include <ctime>

#include "data/companies.h"
#include "data/company_stack.h"
#include "ledger_fixture.h"

using namespace kovo;
using namespace kovo::data;
using kovo::testing::description;
using kovo::testing::two_year_company;

namespace {

using CompaniesTest = kovo::testing::LedgerTest;

TEST_F(CompaniesTest, OpensACompanyWithItsStructureCalendarAndFolder) {
  build(description(two_year_company("CO1", "", "XXXX.XXX/XX")));
  CompanyContext* c = find_or_open_company("CO1");
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(c->status, 0) << pending_message();
  EXPECT_EQ(c->name, "Company CO1");
  EXPECT_EQ(c->data_directory, settings().system + "\\CO1\\");
  EXPECT_EQ(c->structure.segment_count, 3);
  EXPECT_EQ(c->structure.width[0], 4);
  EXPECT_EQ(c->structure.width[1], 3);
  EXPECT_EQ(c->structure.width[2], 2);
  EXPECT_EQ(c->account_structure, "XXXX-XXX-XX");
  EXPECT_EQ(c->segment_names[2], "Region");
  EXPECT_EQ(c->current_year, "2008");
  EXPECT_EQ(c->earliest_year, 2007);
  EXPECT_EQ(c->latest_year, 2008);
  EXPECT_EQ(settings().current_period, 5);  // the first company opened supplies it
  const YearEntry* y = c->year_entry(2008);
  ASSERT_NE(y, nullptr);
  EXPECT_EQ(y->kind, 0);
  EXPECT_EQ(c->year_entry(2007)->kind, 1);
  EXPECT_EQ(y->start[0].number(), 20080101);  // the day after the year before's last period
  EXPECT_EQ(y->start[2].number(), 20080301);
  EXPECT_EQ(y->end[1].number(), 20080229);
  EXPECT_EQ(data_version(), 8);
  EXPECT_EQ(find_or_open_company("co1"), c);  // found again by a lower-case id, not opened twice
  EXPECT_EQ(company_count(), 1u);
}

TEST_F(CompaniesTest, YearZeroTakesTheClockAndAMissingCurrentYearTheLatest) {
  build(description(two_year_company("Z", "", "XXXX-XX", 0, 0) + "," + two_year_company("L", "", "XXXX-XX", 2009)));
  CompanyContext* z = find_or_open_company("Z");
  std::time_t now = std::time(nullptr);
  const int year = std::localtime(&now)->tm_year + 1900;
  // the clock's year has a calendar record only in 2007 and 2008; otherwise the latest year replaces it
  EXPECT_EQ(z->current_year, year == 2007 ? "2007" : "2008");
  EXPECT_EQ(z->company_current_period, 1);
  CompanyContext* l = find_or_open_company("L");
  EXPECT_EQ(l->current_year, "2008");
  EXPECT_EQ(l->year_entry(2008)->kind, 0);
}

TEST_F(CompaniesTest, FailuresAreKeptUntilPurged) {
  build(description(two_year_company("DEMO")));
  CompanyContext* missing = find_or_open_company("NOPE");
  EXPECT_EQ(missing->status, kNoSuchCompany);
  EXPECT_NE(pending_message().find("NOPE"), std::string_view::npos);
  clear_message();
  EXPECT_EQ(company_error_check(missing), kNoSuchCompany);
  EXPECT_EQ(pending_message(), "Kovo [CYMA] No such company: - NOPE");
  purge_failed_companies();
  EXPECT_EQ(company_count(), 0u);

  settings().system = system_dir() + "-elsewhere";
  close_all_companies();
  clear_message();
  EXPECT_EQ(find_or_open_company("DEMO")->status, kCompanyFileMissing);
  EXPECT_NE(pending_message().find("Btrieve error"), std::string_view::npos);
}

TEST_F(CompaniesTest, SecondLayoutMainSegmentAndCalendarInTheSystemFolder) {
  build(description(two_year_company("B2", R"(,"calendarIn":"system")"), "sm_cmpy2.dat"));
  CompanyContext* c = find_or_open_company("B2");
  ASSERT_EQ(c->status, 0) << pending_message();
  EXPECT_EQ(c->main_segment, 1);  // stored 0-based
  EXPECT_EQ(c->data_directory, settings().system + "\\B2\\");
}

TEST_F(CompaniesTest, TransactionFileChoiceAndCompanyFields) {
  build(description(two_year_company("T3", R"(,"transactionFiles":"gl_trx3")")));
  CompanyContext* c = find_or_open_company("T3");
  ASSERT_EQ(c->status, 0);
  EXPECT_EQ(open_company_file(*c, layout::FileKind::Transactions), 0);
  EXPECT_TRUE(c->transactions_v3);
  EXPECT_EQ(open_company_file(*c, layout::FileKind::Accounts), 0);
  EXPECT_EQ(open_company_file(*c, layout::FileKind::Periods), 0);
  EXPECT_NE(open_company_file(*c, layout::FileKind::VersionProbe), 0);

  std::string answer;
  EXPECT_EQ(company_data_field("T3", 104, answer), 0);
  EXPECT_EQ(answer, "^-^");
  EXPECT_EQ(company_data_field("T3", 2002, answer), 0);
  EXPECT_EQ(answer, "1Mar2008");
  EXPECT_EQ(company_data_field("T3", 2013 + 11, answer), 0);
  EXPECT_EQ(answer, "31Dec2008");
  EXPECT_EQ(company_data_field("T3", 2012, answer), 0);  // no thirteenth period
  EXPECT_EQ(answer, "The Period Number is Incorrect");
  EXPECT_EQ(company_data_field("T3", 8, answer), 0);
  EXPECT_EQ(answer, "12");
  EXPECT_EQ(company_data_field("T3", 999, answer), kFunctionNotSupported);
  EXPECT_EQ(cyma_company_list(), (std::vector<std::string>{"T3\tCompany T3"}));
}

TEST(CompanyStackTest, SeparatorsLimitsAndOrder) {
  clear_message();
  auto stack = BuildCompanyStack("A,B,C");
  ASSERT_TRUE(stack);
  std::string order;
  for (; !stack->empty(); stack->pop()) order += stack->top();
  EXPECT_EQ(order, "CBA");
  EXPECT_EQ(BuildCompanyStack("A,,  B")->size(), 2u);
  EXPECT_EQ(BuildCompanyStack("DEMO DEMO")->size(), 2u);
  EXPECT_FALSE(BuildCompanyStack("A,ABCDEFG"));
  EXPECT_EQ(pending_message(), "Kovo [CYMA] Invalid - company specifier too long");
  clear_message();
  EXPECT_FALSE(BuildCompanyStack(" , "));
  EXPECT_EQ(pending_message(), "Kovo [CYMA] Special Error - NULL company specifier.");
  clear_message();
}

TEST_F(CompaniesTest, BuilderRefusesBadDescriptionsAndLeavesNothingBehind) {
  const struct {
    std::string json;
    const char* expected;
  } cases[] = {
      {description(two_year_company("DEMO", R"(,"accounts":[{"code":"100-10","type":"100"}])")), "accounts[0]"},
      {description(two_year_company("DEMO", R"(,"accounts":[{"code":"1000-10","type":"100"}],"balances":[{"account":"2000-10","year":2008}])")), "balances[0]"},
      {description(two_year_company("DEMO", R"(,"accounts":[{"code":"1000-10","type":"100"}],"transactions":[{"account":"1000-10","date":"2008-02-30","amount":1}])")), "\"date\""},
      {description(two_year_company("DEMO", R"(,"colour":"red")")), "unknown member \"colour\""},
      {description(two_year_company("DEMO") + "," + two_year_company("demo")), "given twice"},
      {"{not json", "not valid JSON"},
  };
  for (const auto& c : cases) {
    const auto result = ledger::build_ledger(c.json, system_dir(), &recman::btrcall);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find(c.expected), std::string::npos) << result.error;
    EXPECT_FALSE(std::filesystem::exists(system_dir()));
    EXPECT_FALSE(std::filesystem::exists(system_dir() + ".~building"));
  }
}

}  // namespace
