// Zero suppression's plan: which rows and columns of a report's areas hide,
// in batches of 30, and the whole sheet refused.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "addin/tools/zero_suppress.h"

namespace {

using namespace kovo::addin::tools;

// A sparse sheet of values; reads are counted.
struct Grid {
  std::map<std::pair<int, int>, CellValue> cells;
  mutable int reads = 0;
  void num(int r, int c, double v) { cells[{r, c}] = {CellKind::Number, v}; }
  void text(int r, int c) { cells[{r, c}] = {CellKind::Text, 0}; }
  void logical(int r, int c, bool v) { cells[{r, c}] = {CellKind::Logical, v ? 1.0 : 0.0}; }
  void error(int r, int c) { cells[{r, c}] = {CellKind::Error, 0}; }
  CellReader reader() const {
    return [this](int r, int c) {
      ++reads;
      auto it = cells.find({r, c});
      return it == cells.end() ? CellValue{} : it->second;
    };
  }
};

std::vector<int> hidden_lines(const ZeroPlan& plan, bool rows) {
  std::vector<int> lines;
  for (const auto& b : plan.batches)
    if (b.rows == rows)
      for (const auto& c : b.cells) lines.push_back(rows ? c.row1 : c.col1);
  return lines;
}

TEST(ZeroSuppress, FiguresDecideRowsAndColumns) {
  Grid g;
  // Row 0: labels only. Row 1: a label and two zeros. Row 2: 0, 0, 0.01.
  // Row 3: FALSE alone. Row 4: an error and a zero. Row 5: empty.
  g.text(0, 0), g.text(0, 1);
  g.text(1, 0), g.num(1, 1, 0), g.num(1, 2, 0);
  g.num(2, 0, 0), g.num(2, 1, 0), g.num(2, 2, 0.01);
  g.logical(3, 1, false);
  g.error(4, 0), g.num(4, 2, 0);
  const ZeroPlan plan = plan_zero_suppress({{0, 0, 5, 2}}, g.reader(), true);
  EXPECT_FALSE(plan.whole_sheet);
  EXPECT_EQ(hidden_lines(plan, true), (std::vector<int>{1, 3, 4}));
  // Columns 0 and 1 hold labels, zeros, FALSE and an error; column 2 has 0.01.
  EXPECT_EQ(hidden_lines(plan, false), (std::vector<int>{0, 1}));
  for (const auto& b : plan.batches)
    for (const auto& c : b.cells) EXPECT_EQ(b.rows ? c.col1 : c.row1, 0) << "each line named by its first cell";
  EXPECT_EQ(hidden_lines(plan_zero_suppress({{0, 0, 5, 2}}, g.reader(), false), false), std::vector<int>{});
}

TEST(ZeroSuppress, ReadingARowStopsAtItsFirstNonZeroFigure) {
  Grid g;
  g.num(0, 0, 5);
  for (int c = 1; c < 100; ++c) g.num(0, c, 0);
  g.reads = 0;
  const ZeroPlan plan = plan_zero_suppress({{0, 0, 0, 99}}, g.reader(), false);
  EXPECT_TRUE(plan.batches.empty());
  EXPECT_EQ(g.reads, 1);
}

TEST(ZeroSuppress, FortyZeroRowsOverTwoAreasInBatchesOfThirtyAndTen) {
  Grid g;
  for (int r = 0; r < 40; ++r) g.num(r < 25 ? r : r + 10, 3, 0);
  const ZeroPlan plan = plan_zero_suppress({{0, 3, 24, 3}, {35, 3, 49, 3}}, g.reader(), true);
  ASSERT_EQ(plan.batches.size(), 3u);
  EXPECT_TRUE(plan.batches[0].rows);
  EXPECT_EQ(plan.batches[0].cells.size(), 30u) << "a batch runs across areas";
  EXPECT_EQ(plan.batches[0].cells[29], (CellArea{39, 3, 39, 3}));
  EXPECT_EQ(plan.batches[1].cells.size(), 10u);
  EXPECT_FALSE(plan.batches[2].rows) << "the column of zeros, in each area";
  EXPECT_EQ(plan.batches[2].cells, (std::vector<CellArea>{{0, 3, 0, 3}, {35, 3, 35, 3}}));
}

TEST(ZeroSuppress, ExactlyThirtyMakeOneBatch) {
  Grid g;
  for (int r = 0; r < 30; ++r) g.num(r, 0, 0);
  EXPECT_EQ(plan_zero_suppress({{0, 0, 29, 0}}, g.reader(), false).batches.size(), 1u);
  g.num(30, 0, 0);
  EXPECT_EQ(plan_zero_suppress({{0, 0, 30, 0}}, g.reader(), false).batches.size(), 2u);
}

TEST(ZeroSuppress, AWholeSheetAreaRefusesEverythingUnread) {
  Grid g;
  g.num(0, 0, 0);
  g.reads = 0;
  const ZeroPlan plan =
      plan_zero_suppress({{0, 0, 0, 0}, {0, 0, kSheetRows - 1, kSheetColumns - 1}}, g.reader(), true);
  EXPECT_TRUE(plan.whole_sheet);
  EXPECT_TRUE(plan.batches.empty());
  EXPECT_EQ(g.reads, 0);
  EXPECT_FALSE(plan_zero_suppress({{0, 0, kSheetRows - 1, 0}}, g.reader(), false).whole_sheet) << "a whole column is fine";
}

TEST(ZeroSuppress, TheWholeSheetIsRecognisedAsTheSpreadsheetPresentsIt) {
  // 65536 x 256 through XLOPER in every version since 97; 16384 x 256 before.
  EXPECT_TRUE((CellArea{0, 0, 65535, 255}.whole_sheet()));
  EXPECT_TRUE((CellArea{0, 0, 16383, 255}.whole_sheet()));
  EXPECT_FALSE((CellArea{0, 0, 65535, 254}.whole_sheet()));
  EXPECT_FALSE((CellArea{1, 0, 65535, 255}.whole_sheet()));
  EXPECT_FALSE((CellArea{0, 0, 65534, 255}.whole_sheet()));
  EXPECT_FALSE((CellArea{0, 0, 16384, 255}.whole_sheet()));
}

}  // namespace
