#include <gtest/gtest.h>

#include <string>

#include "entry/messages.h"
#include "requests/field_names.h"
#include "requests/tran_args.h"

using namespace kovo;
using namespace kovo::requests;

namespace {

struct Fresh : ::testing::Test {
  void SetUp() override { clear_message(); }
  void TearDown() override { clear_message(); }
};
using TranDateTest = Fresh;
using FieldNameTest = Fresh;

TEST_F(TranDateTest, SerialDaysFollowTheSpreadsheetCalendar) {
  const struct {
    long serial;
    int day, month, year;
  } cases[] = {
      {1, 1, 1, 1900},    {59, 28, 2, 1900},   {60, 29, 2, 1900},   {61, 1, 3, 1900},
      {366, 31, 12, 1900}, {367, 1, 1, 1901},  {1461, 31, 12, 1903}, {1462, 1, 1, 1904},
      {39083, 1, 1, 2007}, {39447, 31, 12, 2007}, {39507, 29, 2, 2008},
  };
  for (const auto& c : cases) {
    const CalendarDate d = date_from_serial(c.serial);
    EXPECT_EQ(d.day, c.day) << c.serial;
    EXPECT_EQ(d.month, c.month) << c.serial;
    EXPECT_EQ(d.year, c.year) << c.serial;
  }
  EXPECT_TRUE(date_from_serial(0).empty());
}

TEST_F(TranDateTest, WrittenDatesAndTheirRefusals) {
  const struct {
    const char* text;
    int status;
    std::int32_t number;
  } cases[] = {
      {"1Jan07", 0, 20070101},     {"31dec2007", 0, 20071231}, {"5MAR99", 0, 19990305},
      {"5Mar5", 0, 20050305},      {"5Mar60", 0, 19600305},    {"12Jun1850", 352, 0},
      {"39083", 0, 20070101},      {"Jan07", 350, 0},          {"1Foo07", 351, 0},
      {"1Ja", 351, 0},             {"1Jan", 352, 0},           {"1Jan3000", 352, 0},
      {"1Jan07x", 352, 0},         {"0Jan07", 353, 0},         {"32Jan07", 353, 0},
      {"99999999", 352, 0},        {"", 350, 0},
  };
  for (const auto& c : cases) {
    clear_message();
    CalendarDate d;
    EXPECT_EQ(parse_request_date(c.text, d), c.status) << c.text;
    if (c.status == 0) {
      EXPECT_EQ(d.number(), c.number) << c.text;
      EXPECT_FALSE(message_pending()) << c.text;
    } else {
      EXPECT_EQ(last_error_number(), c.status) << c.text;
    }
  }
}

TEST_F(TranDateTest, ReversedRangeIsRefused) {
  CalendarDate from, to;
  EXPECT_EQ(parse_date_range("1Jan07", "31Dec07", from, to), 0);
  EXPECT_EQ(parse_date_range("31Dec07", "1Jan07", from, to), kInvalidDateRange);
  EXPECT_EQ(last_error_number(), kInvalidDateRange);
}

TEST_F(TranDateTest, FilterListsAndCurrencyParts) {
  EXPECT_TRUE(value_list("").empty());
  EXPECT_TRUE(value_list("   ").empty());
  EXPECT_EQ(value_list(" G1 , G 2,,G3"), (std::vector<std::string>{"G1", "G2", "", "G3"}));
  std::string many;
  for (int i = 0; i < 25; ++i) many += std::to_string(i) + ",";
  EXPECT_EQ(value_list(many).size(), kMaxListValues);

  CurrencyParts parts;
  EXPECT_EQ(currency_parts("(J100)(5)", parts), 0);
  EXPECT_EQ(parts.first, "J100");
  EXPECT_EQ(parts.second, "5");
  EXPECT_EQ(currency_parts("J100,5,6", parts), 0);
  EXPECT_EQ(parts.first, "J100");
  EXPECT_EQ(parts.second, "5,6");
  EXPECT_EQ(currency_parts("(J100", parts), kInvalidArgument);
  EXPECT_EQ(currency_parts("J100)", parts), kInvalidArgument);
}

TEST_F(FieldNameTest, AccountFieldsMatchTheirLeadingCharacters) {
  EXPECT_EQ(account_field_code("desc"), kAccountDescription);
  EXPECT_EQ(account_field_code("Description"), kAccountDescription);
  EXPECT_EQ(account_field_code("typical"), kAccountTypicalBalance);
  EXPECT_EQ(account_field_code("TYPE"), kAccountType);
  EXPECT_EQ(account_field_code("orig"), kAccountOrigin);
  EXPECT_EQ(account_field_code("memo2"), kAccountMemo2);
  EXPECT_FALSE(account_field_code("de"));
  EXPECT_FALSE(account_field_code("memo"));
  EXPECT_FALSE(account_field_code("colour"));
}

TEST_F(FieldNameTest, CompanyFieldsAndPeriodDates) {
  EXPECT_EQ(company_field_code("name"), 100);
  EXPECT_EQ(company_field_code("KOVOPERIOD"), 102);
  EXPECT_EQ(company_field_code("segments"), 106);
  EXPECT_EQ(company_field_code("start3"), 2002);
  EXPECT_EQ(company_field_code("Start13"), 2012);
  EXPECT_EQ(company_field_code("END1"), 2013);
  EXPECT_FALSE(company_field_code("Start14"));
  EXPECT_FALSE(company_field_code("Start0"));
  EXPECT_FALSE(company_field_code("Start"));
  EXPECT_FALSE(company_field_code("NAMES"));
}

}  // namespace
