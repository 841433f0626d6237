// The drill-down's texts: the account as drilled, each segment row's
// specifier, the template and formulas that recompute a row in the sheet,
// the Drill By choices and the clipboard text's blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "windows/drill_clipboard.h"
#include "windows/drill_query.h"
#include "windows/drill_rows.h"

using namespace kovo::drill;

namespace {

TEST(DrillQuery, TheAccountAsDrilled) {
  EXPECT_EQ(drilled_account("", 3), "*-*-*") << "an empty field drills every account";
  EXPECT_EQ(drilled_account("  ", 2), "*-*");
  EXPECT_EQ(drilled_account("1000-10,XYZ(A)", 2), "1000-10(A)");
  EXPECT_EQ(drilled_account("4000-10,5000-10", 2), "4000-10") << "only the first item of a list";
  // A comma inside a group separates alternatives of one segment: the
  // figure drilled is the whole of it.
  EXPECT_EQ(drilled_account("(4000,5000)(10)", 2), "(4000,5000)(10)");
  EXPECT_EQ(drilled_account("4^00-^(1,2)(10)", 2), "4^00-^(1,2)(10)");
}

TEST(DrillQuery, EachSegmentRowReplacesTheDrilledSegment) {
  EXPECT_EQ(row_specifier("4000-*", 1, "10"), "4000-10");
  EXPECT_EQ(row_specifier("*-*-*", 0, "1000"), "1000-*-*");
  EXPECT_EQ(row_specifier("6000..6999-*", 0, "6100"), "6100-*");
  // A placeholder of the replaced segment goes with the group that filled it.
  EXPECT_EQ(row_specifier("4^00-^(1,2)(10)", 1, "20"), "4^00-20(1,2)");
  EXPECT_EQ(row_specifier("4^00-^(1,2)(10)", 0, "4100"), "4100-^(10)");
  // The per-segment form: each group is a segment.
  EXPECT_EQ(row_specifier("(4000,5000)(10)", 1, "20"), "(4000,5000)(20)");
  EXPECT_EQ(row_specifier("4000", 1, "10"), "4000-10") << "a missing segment is made";
}

TEST(DrillQuery, TemplatesAndTheirFormulas) {
  const SegmentTemplate plain = segment_template("4000-10", 1);
  EXPECT_EQ(plain.columns, (std::vector<std::string>{"4000-^"}));
  EXPECT_EQ(plain.carets_before, 0);
  EXPECT_EQ(plain.carets_total, 1);
  // Row 0 of a Send: the template one row up, the header's period, company
  // and year lines four, three and two rows up.
  EXPECT_EQ(excel_row_formula(0, 4, plain), "=GL(BSPEC(R[-1]C[-2],RC[-2]),R[-4]C[-2],R[-3]C[-2],R[-2]C[-2])");
  EXPECT_EQ(excel_row_formula(2, 6, plain), "=GL(BSPEC(R[-3]C[-2],RC[-2]),R[-6]C[-2],R[-5]C[-2],R[-4]C[-2])");

  const SegmentTemplate groups = segment_template("4^00-10(1,2)", 1);
  EXPECT_EQ(groups.columns, (std::vector<std::string>{"4^00-^", "1,2"}));
  EXPECT_EQ(groups.carets_before, 1);
  EXPECT_EQ(groups.carets_total, 2);
  EXPECT_EQ(excel_row_formula(0, 4, groups),
            "=GL(BSPEC(R[-1]C[-2],R[-1]C[-1],RC[-2]),R[-4]C[-2],R[-3]C[-2],R[-2]C[-2])");
  // Placeholders after the segment's take the columns further right.
  const SegmentTemplate after = segment_template("^-10-^(1)(2)", 1);
  EXPECT_EQ(after.columns, (std::vector<std::string>{"^-^-^", "1", "2"}));
  EXPECT_EQ(excel_row_formula(0, 4, after),
            "=GL(BSPEC(R[-1]C[-2],R[-1]C[-1],RC[-2],R[-1]C),R[-4]C[-2],R[-3]C[-2],R[-2]C[-2])");
  EXPECT_EQ(relative_reference(0, -1), "RC[1]");
  EXPECT_EQ(lotus_row_formula("4000-10", "Year to Date"), "@GL(\"4000-10\",\"Year to Date\")");
}

TEST(DrillQuery, DrillByChoicesFollowTheDataVersion) {
  const auto newer = drill_by_entries({"Account", "Dept"}, 8);
  ASSERT_EQ(newer.size(), 5u);
  EXPECT_EQ(newer[1].label, "Dept");
  EXPECT_EQ(newer[1].segment, 1);
  EXPECT_EQ(newer[2].kind, DrillKind::Transactions);
  EXPECT_EQ(newer[3].label, "JC Transactions");
  EXPECT_EQ(newer[4].label, "GT Transactions");
  const auto older = drill_by_entries({"", "", ""}, 7);
  ASSERT_EQ(older.size(), 4u) << "no job-cost or grant transactions on the older data";
  EXPECT_EQ(older[2].label, "Segment 3");
  EXPECT_EQ(older[3].label, "Transactions");
  EXPECT_EQ(valid_drill_by(5, older.size()), 0) << "a stored choice of n+2 falls back to the first";
  EXPECT_EQ(valid_drill_by(3, older.size()), 3);
  EXPECT_EQ(drill_by_entries({std::string(40, 'N')}, 7)[0].label.size(), 30u);
}

TEST(DrillClipboard, BlocksLinesAndGrowth) {
  ClipboardText text;
  EXPECT_TRUE(text.new_block_due());
  ASSERT_TRUE(text.allocate());
  EXPECT_EQ(text.capacity(), ClipboardText::kStep);
  text.begin_block();
  EXPECT_TRUE(text.line(std::vector<std::string>{"Start date:", "", "01May2008"}));
  EXPECT_TRUE(text.piece({}, true));
  EXPECT_EQ(text.text(), "Start date:\t\t01May2008\r\n\r\n");
  EXPECT_EQ(text.lines_in_block(), 2u);
  // The block is counted in steps, the terminator included.
  EXPECT_TRUE(text.piece(std::string(ClipboardText::kStep - text.text().size() - 2, 'x'), false));
  EXPECT_EQ(text.capacity(), ClipboardText::kStep);
  EXPECT_TRUE(text.piece("y", true));
  EXPECT_EQ(text.capacity(), 2 * ClipboardText::kStep);
  EXPECT_FALSE(text.new_block_due());
  const std::string taken = text.take();
  EXPECT_EQ(taken.substr(taken.size() - 3), "y\r\n");
  EXPECT_TRUE(text.new_block_due()) << "the next Send starts a block of its own";
  EXPECT_FALSE(text.allocated());

  ClipboardText small(2 * ClipboardText::kStep);
  ASSERT_TRUE(small.allocate());
  EXPECT_FALSE(small.piece(std::string(2 * ClipboardText::kStep, 'x'), true)) << "past the limit";
  EXPECT_EQ(small.text(), "") << "a refused piece is not written";
  EXPECT_EQ(squeezed_line("GJ  1   \tCash   at bank \t"), "GJ 1\tCash at bank\t");
}

TEST(DrillRows, TransactionsKeepTheirFieldsCompactly) {
  TransactionRows rows;
  kovo::layout::TransactionRecord t;
  t.date = {5, 3, 2008};
  t.amount = -1200.5;
  t.description = "Office rent";
  t.journal = "GJ";
  t.batch = 200803;
  t.grant = "G1";
  t.posted = true;
  t.status = 'A';
  rows.add("6100-30", t);
  t.description = std::string(600, 'd');
  rows.add("6100-20", t);
  ASSERT_EQ(rows.size(), 2u);
  const AmountText plain = [](double v) { return std::to_string(v); };
  EXPECT_EQ(rows.text(0, kAccount, plain), "6100-30");
  EXPECT_EQ(rows.text(0, kDate, plain), "05Mar2008");
  EXPECT_EQ(rows.text(0, kDescription, plain), "Office rent");
  EXPECT_EQ(rows.text(0, kPosted, plain), "Yes");
  EXPECT_EQ(rows.text(0, kStatus, plain), "A");
  EXPECT_EQ(rows.text(0, kType, plain), "") << "a blank character shows as nothing";
  EXPECT_EQ(rows.text(0, kGrant, plain), "G1");
  EXPECT_EQ(rows.text(1, kAccount, plain), "6100-20");
  EXPECT_EQ(rows.text(1, kDescription, plain).size(), 511u) << "a text is cut at its column's limit";
  EXPECT_EQ(rows.number(0, kDate), 20080305);
  EXPECT_EQ(rows.number(0, kBatch), 200803);
  EXPECT_EQ(rows.amount(0), -1200.5);
}

}  // namespace
