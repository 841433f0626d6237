// The rows behind a window's list view: sorting by a column and back,
// ties, absolute amounts, rows arriving during a fill, highlighting, the
// clipboard text, and a large list asked only for the rows it shows.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "windows/list_model.h"

using namespace kovo::windows;

namespace {

std::vector<ListColumn> drill_columns() {
  return {{"Account", 95, Align::Left, SortKey::Text},
          {"Description", 170, Align::Left, SortKey::Text},
          {"Amount", 70, Align::Right, SortKey::Number}};
}

class ListModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    add("1000-10", "cash", 400);
    add("1000-20", "Bank", -500);
    add("2000-10", "payables", 400);
    add("0500-10", "Assets", 12.5);
    model.rows_changed();
  }
  void add(const std::string& account, const std::string& description, double amount) {
    rows.add({account, description, std::to_string(amount)}, {0, 0, amount});
  }
  std::vector<std::string> column(std::size_t c) const {
    std::vector<std::string> out;
    for (std::size_t place = 0; place < model.size(); ++place) out.push_back(model.text(place, c));
    return out;
  }
  TableRows rows;
  ListModel model{rows, drill_columns()};
};

TEST_F(ListModelTest, AClickSortsAscendingASecondDescendingAnotherColumnAscendingAgain) {
  EXPECT_EQ(column(0), (std::vector<std::string>{"1000-10", "1000-20", "2000-10", "0500-10"})) << "as they came";
  model.click_column(1);
  EXPECT_EQ(column(1), (std::vector<std::string>{"Assets", "Bank", "cash", "payables"})) << "text ignores case";
  model.click_column(1);
  EXPECT_EQ(column(1), (std::vector<std::string>{"payables", "cash", "Bank", "Assets"}));
  EXPECT_TRUE(model.descending());
  model.click_column(1);
  EXPECT_FALSE(model.descending()) << "further clicks alternate";
  model.click_column(0);
  EXPECT_EQ(column(0), (std::vector<std::string>{"0500-10", "1000-10", "1000-20", "2000-10"}));
  EXPECT_FALSE(model.descending()) << "another column starts ascending";
}

TEST_F(ListModelTest, AmountsByValueOrAbsoluteValueWithTiesByTheAccountInTheSameDirection) {
  model.set_tie_column(0);
  model.click_column(2);
  EXPECT_EQ(column(0), (std::vector<std::string>{"1000-20", "0500-10", "1000-10", "2000-10"}));
  model.click_column(2);
  EXPECT_EQ(column(0), (std::vector<std::string>{"2000-10", "1000-10", "0500-10", "1000-20"}))
      << "descending, the tied 400s by account descending too";
  model.set_sort_key(2, SortKey::AbsoluteNumber);
  model.click_column(0);
  model.click_column(2);
  EXPECT_EQ(column(0), (std::vector<std::string>{"0500-10", "1000-10", "2000-10", "1000-20"}))
      << "-500 sorts after 400";
}

TEST_F(ListModelTest, RowsArrivingDuringAFillAndANewFill) {
  model.click_column(0);
  add("0100-10", "Petty", 1);
  model.rows_changed();
  ASSERT_EQ(model.size(), 5u);
  EXPECT_EQ(model.text(4, 0), "0100-10") << "new rows follow until the next sort";
  model.click_column(0);
  EXPECT_TRUE(model.descending());
  EXPECT_EQ(model.text(4, 0), "0100-10") << "sorted with the rest now, descending";
  rows.clear();
  add("9000-10", "Other", 7);
  model.rows_changed();
  ASSERT_EQ(model.size(), 1u);
  EXPECT_EQ(model.text(0, 0), "9000-10");
  EXPECT_FALSE(model.sort_column().has_value()) << "new rows start unsorted";
  EXPECT_EQ(model.text(1, 0), "") << "past the end is empty, never out of bounds";
  EXPECT_EQ(model.text(0, 9), "");
}

TEST_F(ListModelTest, HighlightAndAlertFollowTheRowsThroughASort) {
  model.set_highlight([&](std::size_t row) { return std::fabs(rows.number(row, 2)) >= 400; });
  model.set_alert([&](std::size_t row, std::size_t c) { return c == 2 && rows.number(row, 2) < 0; });
  model.click_column(2);
  EXPECT_EQ(model.text(0, 0), "1000-20");
  EXPECT_TRUE(model.highlighted(0));
  EXPECT_TRUE(model.alert(0, 2));
  EXPECT_FALSE(model.alert(0, 0));
  EXPECT_FALSE(model.highlighted(1)) << "12.5 is below the threshold";
}

TEST_F(ListModelTest, TabSeparatedShownColumnsInListOrder) {
  model.show_column(1, false);
  model.click_column(0);
  EXPECT_EQ(model.tab_separated(true),
            "Account\tAmount\r\n0500-10\t12.500000\r\n1000-10\t400.000000\r\n1000-20\t-500.000000\r\n"
            "2000-10\t400.000000\r\n");
  EXPECT_EQ(model.tab_separated(false).substr(0, 18), "0500-10\t12.500000\r");
}

// Rows made on demand, counting what the list asks for.
class CountingRows : public ListRows {
 public:
  explicit CountingRows(std::size_t count) : count_(count) {}
  std::size_t row_count() const override { return count_; }
  std::string text(std::size_t row, std::size_t) const override {
    ++texts;
    return "row " + std::to_string(row);
  }
  double number(std::size_t row, std::size_t) const override { return static_cast<double>(row % 1000); }
  mutable std::size_t texts = 0;

 private:
  std::size_t count_;
};

TEST(ListModelLarge, AHundredThousandRowsCostOnlyTheRowsShown) {
  CountingRows rows(100000);
  ListModel model(rows, {{"Row", 80, Align::Left, SortKey::Text}, {"Key", 60, Align::Right, SortKey::Number}});
  EXPECT_EQ(model.size(), 100000u);
  EXPECT_EQ(rows.texts, 0u) << "nothing is read until shown";
  for (std::size_t place = 0; place < 30; ++place) model.text(place, 0);
  EXPECT_EQ(rows.texts, 30u);
  model.click_column(1);
  model.click_column(1);
  EXPECT_EQ(model.text(0, 0), "row 999") << "the first of the rows whose key is 999, in the order they came";
}

}  // namespace
