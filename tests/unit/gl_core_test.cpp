#include <gtest/gtest.h>

#include "entry/settings.h"
#include "requests/gl_core.h"

using namespace kovo;
using namespace kovo::requests;

namespace {

TEST(GlArguments, YearAndTypeDefaults) {
  EXPECT_EQ(gl_year_text("", "2007"), "2007");
  EXPECT_EQ(gl_year_text("", ""), "");
  EXPECT_EQ(gl_year_text("09", "2007"), "2009");
  EXPECT_EQ(gl_year_text("0", "2007"), "0");
  EXPECT_EQ(gl_year_text("2009", "2007"), "2009");
  // Anything not written as a year would be read as some other year.
  for (const char* bogus : {"Bogus", "-1", "99999999999999999999", "2008x", "200712", "7", "209", " 2009", "2o09"})
    EXPECT_EQ(gl_year_text(bogus, "2007"), std::nullopt) << bogus;
  EXPECT_EQ(gl_year_text("", "Bogus"), std::nullopt) << "the setting that stands in for the field is held to the same";
  EXPECT_EQ(gl_type_name("", "Budget"), "Budget");
  EXPECT_EQ(gl_type_name("R", "Budget"), "Revised Budget");
  EXPECT_EQ(gl_type_name("1", "Budget"), "Revised Budget");
  EXPECT_EQ(gl_type_name("B", "Revised Budget"), "Budget");
  EXPECT_TRUE(is_revised_budget("Revised Budget"));
  EXPECT_FALSE(is_revised_budget("Budget"));
}

TEST(GlArguments, TypeCodesBelow300AreBalanceSheetAccounts) {
  EXPECT_EQ(account_kind_of_type("210"), specifier::AccountKind::Balance);
  EXPECT_EQ(account_kind_of_type("299"), specifier::AccountKind::Balance);
  EXPECT_EQ(account_kind_of_type("300"), specifier::AccountKind::Other);
  EXPECT_EQ(account_kind_of_type("450"), specifier::AccountKind::Other);
}

TEST(GlAmounts, BalanceAndIncomeRecordsFillTheirColumns) {
  BalanceFigures f;
  f.opening = 1000;
  for (int i = 0; i < kRecordPeriods; ++i) {
    f.actual_change[i] = 10.0 * (i + 1);
    f.actual_balance[i] = 1000 + 5.0 * (i + 1) * (i + 2);
    f.budget[i] = 7;
    f.revised[i] = 9;
  }
  specifier::AmountTable table;
  add_balance(table, f, specifier::AccountKind::Balance, 0, false);
  add_balance(table, f, specifier::AccountKind::Other, 1, true);
  EXPECT_DOUBLE_EQ(table.opening_balance, 1000);  // balance accounts of the requested year only
  EXPECT_DOUBLE_EQ(table.amount[0][0][4], f.actual_balance[4]);
  EXPECT_DOUBLE_EQ(table.amount[0][1][4], f.actual_change[4]);
  EXPECT_DOUBLE_EQ(table.amount[1][0][12], 7);
  EXPECT_DOUBLE_EQ(table.amount[1][1][12], 9);
  add_balance(table, f, specifier::AccountKind::Balance, 1, false);  // the year before adds no opening
  EXPECT_DOUBLE_EQ(table.opening_balance, 1000);
  EXPECT_DOUBLE_EQ(table.amount[0][1][4], f.actual_change[4] + f.actual_balance[4]);
}

}  // namespace

namespace {
TEST(GlAmounts, SumsComeBackToWholeCents) {
  double sum = 0;
  for (int i = 0; i < 1000; ++i) sum += 0.1;
  EXPECT_NE(sum, 100.0);
  EXPECT_EQ(kovo::requests::whole_cents(sum), 100.0);
  EXPECT_EQ(kovo::requests::whole_cents(-1293863.6400000001), -1293863.64);
  EXPECT_EQ(kovo::requests::whole_cents(1e300), 1e300);
}
}  // namespace
