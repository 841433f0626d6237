// The sheet account analysis over a small ledger: a recorded calculation's
// accounts with their counts, the runs of the chart it never read, and
// what FINISH_CALC leaves when nothing was read.
#include <gtest/gtest.h>

#include <string>

#include "data/companies.h"
#include "entry/dispatch.h"
#include "entry/messages.h"
#include "ledger_fixture.h"
#include "requests/install.h"
#include "windows/sheet_analysis.h"

using namespace kovo;
using kovo::testing::description;
using kovo::testing::two_year_company;

namespace {

class SheetAnalysisTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    requests::install_requests();
    build(description(two_year_company("A", R"(,
      "accounts":[{"code":"1000-10","description":"Cash                ","type":"100"},
                  {"code":"1100-10","description":"Receivables","type":"110"},
                  {"code":"1200-10","description":"Inventory","type":"120"},
                  {"code":"1300-10","description":"Prepaid","type":"130"}],
      "balances":[{"account":"1000-10","year":2008,"actual":[1]},
                  {"account":"1200-10","year":2008,"actual":[2]}])") +
                      "," + two_year_company("B")));
  }
  std::string ask(int code, const std::string& args) {
    std::string buffer(16000, '\0');
    connector_interface(code, args.c_str(), buffer.data(), buffer.size());
    return buffer.c_str();
  }
};

TEST_F(SheetAnalysisTest, UsedAccountsWithCountsAndTheRunsNotUsed) {
  ask(11, "");
  for (int formula = 0; formula < 3; ++formula) ask(100, "1000-10;This Month,Last Month;A");
  ask(100, "12??-10;Month 1;A");
  ask(100, "1000-10;Month 1;B");  // B has no such account: nothing recorded for it
  ask(12, "");
  ask(100, "1300-10;Month 1;A");  // after the calculation: not recorded
  EXPECT_EQ(analysis::finish_analysis(),
            "Company A\t\r\n"
            "The current sheet does not use the following accounts:\r\n"
            "\r\nFrom\t'1100-10\tTo\t'1100-10\r\n"
            "\r\nFrom\t'1300-10\tTo\t'1300-10\r\n"
            "\r\nThe current sheet uses the following accounts:\r\n\r\n"
            "'1000-10\tCash\t3\r\n"
            "'1200-10\tInventory\t1\r\n");
  EXPECT_EQ(analysis::finish_analysis(), "") << "the lists are released";
  clear_message();
}

TEST_F(SheetAnalysisTest, AFinishWithoutAnyAccountIsEmpty) {
  ask(11, "");
  ask(12, "");
  EXPECT_EQ(analysis::finish_analysis(), "");
}

TEST(SheetAnalysisText, RunsAtTheEdgesAndAWholeChartUsed) {
  const std::vector<std::string> chart = {"1", "2", "3"};
  EXPECT_EQ(analysis::company_analysis("X", chart, chart, {"2"}, {{"2", "Two", 1}}),
            "X\t\r\nThe current sheet does not use the following accounts:\r\n\r\nFrom\t'1\tTo\t'1\r\n"
            "\r\nFrom\t'3\tTo\t'3\r\n\r\nThe current sheet uses the following accounts:\r\n\r\n'2\tTwo\t1\r\n");
  const std::string all = analysis::company_analysis("X", chart, chart, {"3", "1", "2"}, {});
  EXPECT_EQ(all.find("From"), std::string::npos);
}

}  // namespace
