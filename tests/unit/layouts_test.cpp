#include <gtest/gtest.h>

#include <cmath>

#include "data/layouts.h"
#include "recman/file_spec.h"

using namespace kovo::layout;

namespace {

TEST(Layouts, PackedDecimalsRoundTripWithTheirSign) {
  for (const double v : {0.0, 0.01, -0.01, 1234.56, -1234.56, 9999999999999.99, -250.0, 0.005}) {
    std::uint8_t field[8];
    encode_packed(v, field);
    EXPECT_DOUBLE_EQ(decode_packed(field), std::round(v * 100) / 100) << v;
  }
  const std::uint8_t minus_12_34[8] = {0, 0, 0, 0, 0, 0x01, 0x23, 0x4D};  // 1234 cents, negative
  EXPECT_DOUBLE_EQ(decode_packed(minus_12_34), -12.34);
  const std::uint8_t plus_f[8] = {0, 0, 0, 0, 0, 0x01, 0x23, 0x4F};
  EXPECT_DOUBLE_EQ(decode_packed(plus_f), 12.34);
  EXPECT_DOUBLE_EQ(decode_packed(std::span<const std::uint8_t>(plus_f, 4)), 0.0);
}

TEST(Layouts, EveryRecordRoundTripsAndShortRecordsAreRefused) {
  CompanyRecord c;
  c.sequence = 3;
  c.id = "DEMO";
  c.data_directory = ".\\DEMO";
  c.name = "Demo Manufacturing Inc.";
  c.segment_names[0] = "Account";
  c.segment_names[1] = "Dept";
  c.account_structure = "XXXX-XX";
  c.current_year = 2008;
  c.current_period = 5;
  c.main_segment = 0;
  for (const auto l : {CompanyLayout::Original, CompanyLayout::Second}) {
    const Bytes b = encode_company(c, l);
    const auto d = decode_company(b, l);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->id, "DEMO");
    EXPECT_EQ(d->data_directory, ".\\DEMO");
    EXPECT_EQ(d->segment_names[1], "Dept");
    EXPECT_EQ(d->current_period, 5);
    // a record holding the fields read is enough; one byte less is refused
    EXPECT_TRUE(decode_company(std::span(b).first(company_needed_length(l)), l));
    EXPECT_FALSE(decode_company(std::span(b).first(company_needed_length(l) - 1), l));
  }
  EXPECT_EQ(encode_company(c, CompanyLayout::Original)[4], 'D');
  EXPECT_EQ(encode_company(c, CompanyLayout::Second)[472], 'D');

  CalendarRecord cal;
  cal.year = 2008;
  cal.flag = 1;
  cal.periods = 12;
  cal.period_end[0] = {31, 1, 2008};
  cal.budget_transactions = true;
  const auto dc = decode_calendar(encode_calendar(cal));
  ASSERT_TRUE(dc);
  EXPECT_EQ(dc->period_end[0].number(), 20080131);
  EXPECT_TRUE(dc->budget_transactions);
  EXPECT_FALSE(dc->original_budget_locked);

  BalanceRecord bal;
  bal.code = "400010";
  bal.year = 2008;
  bal.opening = -15.25;
  bal.actual[12] = {1.5, -2.5};
  bal.revised[0] = {7, 7};
  bal.budget_total = 99;
  const Bytes bb = encode_balance(bal);
  const auto db = decode_balance(bb);
  ASSERT_TRUE(db);
  EXPECT_EQ(db->code, "400010");
  EXPECT_EQ(balance_code(bb), "400010");
  EXPECT_EQ(balance_year(bb), 2008);
  EXPECT_DOUBLE_EQ(db->actual[12].second, -2.5);
  EXPECT_DOUBLE_EQ(db->revised[0].first, 7);
  EXPECT_DOUBLE_EQ(db->budget_total, 99);

  TransactionRecord t;
  t.account = "100010";
  t.date = {3, 5, 2008};
  t.amount = -250;
  t.posted = true;
  t.grant = "G1";
  t.cost_type = 4;
  for (const bool v3 : {false, true}) {
    const Bytes tb = encode_transaction(t, v3);
    EXPECT_DOUBLE_EQ(transaction_amount(tb, v3), -250);
    EXPECT_EQ(transaction_date(tb).number(), 20080503);
    const auto dt = decode_transaction(tb, v3);
    ASSERT_TRUE(dt);
    EXPECT_EQ(dt->grant, "G1");
    EXPECT_EQ(dt->cost_type, 4);
    EXPECT_TRUE(dt->posted);
  }
  EXPECT_EQ(encode_transaction(t, true).size(), encode_transaction(t, false).size() + 50);

  const auto ds = decode_segment(encode_segment({1, "10", "Sales"}));
  ASSERT_TRUE(ds);
  EXPECT_EQ(ds->value, "10");
  EXPECT_EQ(ds->description, "Sales");
}

TEST(Layouts, FixedFieldsDropZeroBytesAndSpecsAreValid) {
  const std::uint8_t job[6] = {'J', 0, '1', '0', ' ', 0};
  EXPECT_EQ(decode_fixed(job), "J10");
  EXPECT_EQ(decode_text(job), "J");
  for (const auto& file : {company_spec(CompanyLayout::Original), company_spec(CompanyLayout::Second),
                           calendar_spec(), account_spec(), balance_spec(), transaction_spec(false),
                           transaction_spec(true), segment_spec(), version_probe_spec()}) {
    const auto bytes = recman::encode_file_spec(file, 0);
    EXPECT_EQ(recman::parse_file_spec(bytes).status, recman::kOk);
  }
  EXPECT_TRUE(is_version3_transaction_file("C:\\X\\GL_TRX3H.DAT"));
  EXPECT_FALSE(is_version3_transaction_file("gl_trx2.dat"));
  EXPECT_EQ(company_layout_of("sm_cmpy6.dat"), CompanyLayout::Second);
}

}  // namespace
