// The enquiry paste's reading of the enquiry table and its layout on the
// sheet, without a spreadsheet.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/tools/enquiry_paste.h"

using namespace kovo::addin::tools;

namespace {

std::string table(const std::string& by, const std::vector<std::string>& segments) {
  std::string t = "1\r\n" + by + "\r\n" + std::to_string(segments.size()) + "\r\n";
  for (const auto& s : segments) t += s + "\r\n";
  return t + "Period\tThis Month\r\nCompany\tDEMO\r\nYear\t2008\r\nType\tBudget\r\n";
}

// The cell written at (row, column), or "" when none is.
std::string at(const PastePlan& plan, int row, int column) {
  for (const auto& c : plan.cells)
    if (c.row == row && c.column == column) return c.entry;
  return {};
}

}  // namespace

TEST(EnquiryPasteTest, ReadsTheTableAndRefusesWhatItCannotUse) {
  const EnquiryReading good = read_enquiry_table("'1\r\n-2\r\n2\r\nAccount\t1000\r\n'Dept\t10\r\nPeriod\tMonth\r\n");
  ASSERT_EQ(good.failure, 0);
  EXPECT_EQ(good.table.column_axis, -2);
  EXPECT_EQ(good.table.segments, 2);
  ASSERT_EQ(good.table.items.size(), 3u);
  EXPECT_EQ(good.table.items[1].label, "Dept") << "a leading apostrophe is dropped";
  EXPECT_EQ(good.table.items[2].value, "Month");

  EXPECT_EQ(read_enquiry_table("").failure, kMsgNoClipboardData);
  EXPECT_EQ(read_enquiry_table("1\r\n2\r\n").failure, kMsgNoClipboardData) << "fewer than three header lines";
  EXPECT_EQ(read_enquiry_table("Cash\t100\r\nSales\t200\r\nx\r\n").failure, kMsgNoClipboardData)
      << "another table is nothing readable";
  for (const char* by : {"0", "4", "-10"})
    EXPECT_EQ(read_enquiry_table(table(by, {"Account\t1000"})).failure, kMsgNoValidClipboardData) << by;
  EXPECT_EQ(read_enquiry_table("11\r\n2\r\n1\r\nAccount\t1000\r\n").failure, kMsgNoValidClipboardData);
  EXPECT_EQ(read_enquiry_table("1\r\n2\r\n16\r\nAccount\t1000\r\n").failure, kMsgNoValidClipboardData);
  EXPECT_EQ(read_enquiry_table("1\r\n2\r\n3\r\nAccount\t1000\r\n").failure, kMsgNoValidClipboardData)
      << "three segments announced, one given: BSPEC would never close";
  EXPECT_EQ(read_enquiry_table("1\r\n2\r\n1\r\n1000\r\n").table.items[0].value, "1000") << "no tab: the whole line";
}

TEST(EnquiryPasteTest, ThreeSegmentsAcrossTheSecondSegment) {
  const EnquiryReading r = read_enquiry_table(table("-2", {"Account\t1000", "Dept\t10", "Region\t01"}));
  ASSERT_EQ(r.failure, 0);
  const PastePlan plan = plan_enquiry_paste(r.table, 0, 0, {});
  // Seven items: the formula goes into row 9 (n + 2) of column E.
  EXPECT_EQ(plan.target_row, 8);
  EXPECT_EQ(plan.target_column, 4);
  EXPECT_EQ(plan.formula, "=NGL(BSPEC(RC1,R5C,R3C2),R4C2,R5C2,R6C2,R7C2)");
  EXPECT_EQ(at(plan, 8, 0), "'1000") << "the row item beside the target";
  EXPECT_EQ(at(plan, 4, 4), "'10") << "the column item above the target, in row k+n-s";
  EXPECT_EQ(at(plan, 2, 0), "'Region");
  EXPECT_EQ(at(plan, 2, 1), "'01") << "a value stays text";
  EXPECT_EQ(at(plan, 3, 0), "'Period");
  EXPECT_EQ(at(plan, 6, 1), "'Budget");
  EXPECT_EQ(at(plan, 0, 0), "") << "the row item has no label cell";
  EXPECT_EQ(at(plan, 1, 0), "") << "nor has the column item";
  EXPECT_EQ(plan.cells.size(), 2u + 5u * 2u);
}

TEST(EnquiryPasteTest, PeriodAndCompanyAxesAndTheFormulasStyle) {
  const EnquiryTable t = read_enquiry_table(table("2", {"Account\t1000", "Dept\t10"})).table;
  const PastePlan by_period = plan_enquiry_paste(t, 0, 0, {false, ';'});
  EXPECT_EQ(by_period.formula, "=GL(BSPEC(RC1;R2C2);R6C;R4C2;R5C2;R6C2)");
  EXPECT_EQ(by_period.target_row, 7);
  EXPECT_EQ(at(by_period, 5, 4), "'This Month") << "the period above the target, in row n";

  const EnquiryTable c = read_enquiry_table(table("3", {"Account\t1000", "Dept\t10"})).table;
  const PastePlan by_company = plan_enquiry_paste(c, 0, 0, {});
  EXPECT_EQ(by_company.formula, "=NGL(BSPEC(RC1,R2C2),R3C2,R7C,R5C2,R6C2)");
  EXPECT_EQ(at(by_company, 6, 4), "'DEMO");

  // An active cell below and right of the parameters keeps its place,
  // moved by the inserted row and columns.
  const PastePlan later = plan_enquiry_paste(t, 20, 6, {});
  EXPECT_EQ(later.target_row, 21);
  EXPECT_EQ(later.target_column, 8);
  EXPECT_EQ(at(later, 21, 0), "'1000");
}
