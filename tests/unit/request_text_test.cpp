#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "entry/messages.h"
#include "entry/request_text.h"

using namespace kovo;

namespace {

struct Fresh : ::testing::Test {
  void SetUp() override { clear_message(); }
  void TearDown() override { clear_message(); }
};

using SplitTest = Fresh;
using MessageTest = Fresh;
using NumberTest = Fresh;

TEST_F(SplitTest, FieldsCountsAndEmptyFields) {
  RequestFields f;
  ASSERT_EQ(split_arguments("1000;;DEMO", 1, 6, f), kOk);
  EXPECT_EQ(f.count, 3u);
  EXPECT_EQ(f[0], "1000");
  EXPECT_EQ(f[1], "");
  EXPECT_EQ(f[2], "DEMO");
  for (std::size_t i = 3; i < 6; ++i) EXPECT_EQ(f[i], "");

  ASSERT_EQ(split_arguments("1000;12;", 1, 6, f), kOk);
  EXPECT_EQ(f.count, 2u) << "a trailing separator starts no field";
  ASSERT_EQ(split_arguments(" a ; b", 1, 6, f), kOk);
  EXPECT_EQ(f[0], " a ");
  EXPECT_EQ(f[1], " b");
  ASSERT_EQ(split_arguments("a;b;c;d;e;f;g;h", 1, 4, f), kOk);
  EXPECT_EQ(f.count, 4u);
  EXPECT_EQ(f[3], "d");
  EXPECT_EQ(f[4], "");
}

TEST_F(SplitTest, TooFewArgumentsReportsMessage121) {
  RequestFields f;
  EXPECT_EQ(split_arguments("", 1, 6, f), kTooFewArguments);
  char text[256];
  ASSERT_TRUE(take_message(text, sizeof text));
  EXPECT_STREQ(text, "Kovo [CYMA] Too Few Arguments");
}

TEST_F(SplitTest, OverlongFieldsAreRefusedNotCut) {
  RequestFields f;
  std::string account(2047, 'A');
  EXPECT_EQ(split_arguments(account + ";x", 1, 6, f), kOk);
  EXPECT_EQ(split_arguments(account + "A;x", 1, 6, f), kArgumentTooLong);
  clear_message();
  std::string period(511, 'p');
  EXPECT_EQ(split_arguments("1000;" + period, 1, 6, f), kOk);
  EXPECT_EQ(split_arguments("1000;" + period + "p", 1, 6, f), kArgumentTooLong);
  EXPECT_TRUE(message_pending());
}

TEST_F(MessageTest, FirstReportWinsAndNumberIsRecorded) {
  report(17, "Yeer");
  report(18, "other");
  EXPECT_EQ(last_error_number(), 18);
  char text[256];
  ASSERT_TRUE(take_message(text, sizeof text));
  EXPECT_EQ(std::string(text).rfind("Kovo [CYMA] ", 0), 0u);
  EXPECT_NE(std::string(text).find(" - Yeer"), std::string::npos);
  EXPECT_FALSE(take_message(text, sizeof text));
}

TEST_F(MessageTest, NumbersOfOneOrLessCarryOnlyPrefixAndDetail) {
  EXPECT_EQ(format_message(1, "x"), "Kovo [CYMA] - x");
  EXPECT_EQ(format_message(-1, ""), "Kovo [CYMA]");
  EXPECT_EQ(format_message(31, ""), "Kovo [CYMA] The command/request was not processed");
}

TEST_F(MessageTest, LongDetailIsCutToTheBuffer) {
  report(15, std::string(1000, 'd'));
  const std::string text(pending_message());
  EXPECT_EQ(text.size(), kMessageBufferSize - 1);
  EXPECT_EQ(text.rfind("Kovo [CYMA] No matching accounts found - ddd", 0), 0u);
}

TEST_F(NumberTest, RoundingBeforeScalingWithNegatives) {
  Settings s;
  std::string out;
  struct Case {
    int rounding, scaling;
    double value;
    const char* expected;
  } cases[] = {
      {3, 3, 1499.5, "1.5"},   {3, 3, -1499.5, "-1.5"},     {1, 0, 1234.565, "1234.57"},
      {1, 0, -0.004, "0"},     {0, 0, 1234.56, "1234.56"},  {0, 2, 150, "1.5"},
      {4, 0, 15, "20"},        {4, 0, -14.9, "-10"},        {9, 0, 1500000, "2000000"},
      {0, 7, 12345678, "1.2345678"}, {10, 8, 2.5, "2.5"},
  };
  for (const auto& c : cases) {
    s.rounding = c.rounding;
    s.scaling = c.scaling;
    write_number(c.value, s, out);
    EXPECT_EQ(out, c.expected) << c.value << " r" << c.rounding << " s" << c.scaling;
  }
}

TEST_F(NumberTest, ZeroLabel) {
  Settings s;
  std::string out;
  write_number(0.0, s, out);
  EXPECT_EQ(out, "0.0");
  s.zero_label = "-";
  write_number(0.0, s, out);
  EXPECT_EQ(out, "-");
  s.zero_label = "";
  write_number(0.0, s, out);
  EXPECT_EQ(out, "");
}

TEST_F(NumberTest, GeneralNotationReadsBackExactly) {
  for (double v : {0.1, 1234.56, -98765.4321, 1e-9, 3.0e21, 123456789012345678.0, 1.0 / 3}) {
    const std::string text = general_number(v);
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), v) << text;
    EXPECT_NE(text.front(), ' ');
  }
  EXPECT_EQ(general_number(1500), "1500");
}

TEST_F(NumberTest, NoAccountsAndResultFromStatus) {
  Settings s;
  std::string out;
  s.na_label = 1;
  write_no_accounts(s, out);
  EXPECT_EQ(out, "0.0");
  s.na_label = 0;
  write_no_accounts(s, out);
  EXPECT_EQ(out, "NA");
  report(15, "9999");
  write_no_accounts(s, out);
  EXPECT_EQ(out, "Kovo [CYMA] No matching accounts found - 9999");
  write_request_result(11, 0, s, out);
  EXPECT_EQ(out, "ERR");
}

TEST_F(NumberTest, WindowAmountText) {
  Settings s;
  AmountLocale locale;
  EXPECT_EQ(window_amount_text(1000000.5, s, locale), "1,000,000.50");
  EXPECT_EQ(window_amount_text(-1200, s, locale), "(1,200.00)");
  EXPECT_EQ(window_amount_text(0.000001, s, locale), "0.00");
  EXPECT_EQ(window_amount_text(999.999, s, locale), "1,000.00");
  EXPECT_EQ(window_amount_text(12.3, s, locale), "12.30");
  s.rounding = 1;
  EXPECT_EQ(window_amount_text(12.3, s, locale), "12.300000");
  AmountLocale european{",", ".", 3};
  s.rounding = 0;
  EXPECT_EQ(window_amount_text(-1234567.891, s, european), "(1.234.567,89)");
}

}  // namespace
