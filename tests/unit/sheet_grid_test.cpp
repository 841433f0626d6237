// The sheet window's grid as state: the view skips hidden lines and follows
// the active cell, keys move and extend the selection, entries land in the
// model (or are refused and kept), and cells show formatted values.
#include <gtest/gtest.h>

#include "sheethost/grid.h"
#include "sheet_test_support.h"

namespace kovo::sheet {
namespace {

using testing::at;

struct GridTest : testing::SheetFixture {
  GridState grid;
  void SetUp() override {
    SheetFixture::SetUp();
    grid.set_size(46 + 72 * 5, 20 + 20 * 10);  // five columns, ten rows
    grid.show(sheet);
  }
};

TEST_F(GridTest, ViewLeavesHiddenLinesOutAndPlacesTheRest) {
  sheet->set_row_hidden(1, true);
  sheet->set_col_hidden(0, true);
  sheet->set_col_width(2, 20);  // 20 characters: 145 pixels
  grid.show(sheet);
  const auto rows = grid.visible_rows();
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[0].index, 0);
  EXPECT_EQ(rows[1].index, 2);
  EXPECT_EQ(rows[1].start, 40);
  const auto cols = grid.visible_cols();
  ASSERT_GE(cols.size(), 3u);
  EXPECT_EQ(grid.left_col(), 1) << "a hidden first column is never the first shown";
  EXPECT_EQ(cols[0].index, 1);
  EXPECT_EQ(cols[1].index, 2);
  EXPECT_EQ(cols[1].size, 145);
  EXPECT_EQ(cols[2].start, 46 + 72 + 145);

  const auto h = grid.hit(46 + 72 + 10, 20 + 20 + 5);
  EXPECT_EQ(h.kind, GridState::Hit::Kind::Cell);
  EXPECT_EQ(h.cell, (CellPos{2, 2}));
  EXPECT_EQ(grid.hit(10, 5).kind, GridState::Hit::Kind::Corner);
  EXPECT_EQ(grid.hit(60, 5).kind, GridState::Hit::Kind::ColumnHeader);
  EXPECT_EQ(grid.hit(5, 30).kind, GridState::Hit::Kind::RowHeader);
  EXPECT_EQ(grid.hit(5000, 30).kind, GridState::Hit::Kind::None);
}

TEST_F(GridTest, KeysMoveSkippingHiddenLinesAndShiftExtendsFromTheAnchor) {
  sheet->set_row_hidden(2, true);
  grid.key(GridKey::Down, false);
  grid.key(GridKey::Down, false);
  EXPECT_EQ(grid.active(), (CellPos{3, 0})) << "row 3 is hidden and skipped";
  grid.key(GridKey::Right, true);
  grid.key(GridKey::Right, true);
  grid.key(GridKey::Up, true);
  EXPECT_EQ(grid.selection(), (Area{1, 0, 3, 2}));
  EXPECT_EQ(sheet->active_cell, (CellPos{1, 2})) << "the model hears of the selection";
  ASSERT_EQ(sheet->selection.size(), 1u);
  EXPECT_EQ(sheet->selection[0], (Area{1, 0, 3, 2}));
  grid.key(GridKey::Left, false);
  EXPECT_EQ(grid.selection(), Area::cell(1, 1)) << "a move without shift starts a new selection";
  grid.key(GridKey::Home, false);
  grid.key(GridKey::Up, false);
  grid.key(GridKey::Up, false);
  grid.key(GridKey::Left, false);
  EXPECT_EQ(grid.active(), (CellPos{0, 0})) << "the sheet's edge stops the move";
}

TEST_F(GridTest, TheViewFollowsTheActiveCellBothWays) {
  for (int i = 0; i < 30; ++i) grid.key(GridKey::Down, false);
  EXPECT_EQ(grid.active().row, 30);
  const auto rows = grid.visible_rows();
  EXPECT_EQ(rows.back().index, 30) << "the active cell is the last row wholly shown";
  EXPECT_LE(rows.back().start + rows.back().size, grid.height());
  grid.select({5, 0}, false);
  EXPECT_EQ(grid.top_row(), 5);
  grid.key(GridKey::PageDown, false);
  EXPECT_GT(grid.active().row, 5);
  EXPECT_LE(grid.top_row(), grid.active().row);
  grid.select({kMaxRows - 1, kMaxCols - 1}, false);
  EXPECT_EQ(grid.visible_rows().back().index, kMaxRows - 1);
  EXPECT_EQ(grid.visible_cols().back().index, kMaxCols - 1);
  grid.scroll_to(-5, 100000);
  EXPECT_EQ(grid.top_row(), 0);
  EXPECT_EQ(grid.left_col(), kMaxCols - 1);
}

TEST_F(GridTest, TypingEntersAFormulaAndEnterMovesDown) {
  put("A1", "4");
  grid.key(GridKey::Down, false);
  grid.type("=");
  grid.type("A1*2");
  EXPECT_TRUE(grid.editing());
  EXPECT_EQ(grid.formula_bar_text(), "=A1*2");
  const auto outcome = grid.key(GridKey::Enter, false);
  EXPECT_TRUE(outcome.cells_changed);
  EXPECT_FALSE(grid.editing());
  EXPECT_EQ(grid.active(), (CellPos{2, 0}));
  calc();
  EXPECT_EQ(num("A2"), 8);
  grid.select({1, 0}, false);
  EXPECT_EQ(grid.formula_bar_text(), "=A1*2");
  grid.key(GridKey::Edit, false);
  grid.key(GridKey::Backspace, false);
  grid.type("3");
  grid.key(GridKey::Tab, false);
  calc();
  EXPECT_EQ(num("A2"), 12);
  EXPECT_EQ(grid.active(), (CellPos{1, 1}));
}

TEST_F(GridTest, ARefusedFormulaKeepsTheEntryAndEscapeLeavesTheCellAlone) {
  put("B2", "7");
  grid.select({1, 1}, false);
  grid.type("=SUM(1,");
  const auto refused = grid.key(GridKey::Enter, false);
  ASSERT_TRUE(refused.error);
  EXPECT_FALSE(refused.cells_changed);
  EXPECT_TRUE(grid.editing());
  EXPECT_EQ(grid.active(), (CellPos{1, 1}));
  grid.key(GridKey::Escape, false);
  EXPECT_FALSE(grid.editing());
  EXPECT_EQ(num("B2"), 7);
  EXPECT_EQ(grid.formula_bar_text(), "7");
}

TEST_F(GridTest, BackspaceDropsWholeCharactersAndDeleteClearsTheSelection) {
  grid.type("M\xC3\xBC");
  grid.key(GridKey::Backspace, false);
  EXPECT_EQ(grid.entry(), "M");
  grid.key(GridKey::Escape, false);
  put("A1", "1");
  put("B1", "2");
  put("C1", "3");
  set_note(*sheet, 0, 1, "kept");
  grid.select({0, 0}, false);
  grid.select({0, 1}, true);
  EXPECT_TRUE(grid.key(GridKey::Delete, false).cells_changed);
  EXPECT_TRUE(get("A1").is_empty());
  EXPECT_TRUE(get("B1").is_empty());
  EXPECT_EQ(num("C1"), 3);
  EXPECT_TRUE(shown_cell(*sheet, 0, 1).has_note) << "clearing contents keeps the note";
}

TEST_F(GridTest, ClicksSelectCellsColumnsRowsAndCommitAnOpenEntry) {
  grid.type("5");
  grid.click(46 + 72 * 2 + 3, 20 + 20 * 3 + 3, false);  // C4
  EXPECT_EQ(num("A1"), 5) << "clicking elsewhere enters what was typed";
  EXPECT_EQ(grid.active(), (CellPos{3, 2}));
  grid.click(46 + 72 * 4 + 3, 20 + 20 * 5 + 3, true);  // to E6
  EXPECT_EQ(grid.selection(), (Area{3, 2, 5, 4}));
  grid.click(46 + 72 + 3, 5, false);  // column B
  EXPECT_EQ(grid.selection(), (Area{0, 1, kMaxRows - 1, 1}));
  grid.click(5, 20 + 20 * 2 + 3, false);  // row 3
  EXPECT_EQ(grid.selection(), (Area{2, 0, 2, kMaxCols - 1}));
  grid.click(3, 3, false);
  EXPECT_EQ(grid.selection(), (Area{0, 0, kMaxRows - 1, kMaxCols - 1}));
}

TEST_F(GridTest, CellsShowTheirValueInTheirFormatAlignedByKind) {
  put("A1", "1234.5");
  set_number_format(*sheet, Area::cell(0, 0), "#,##0.00");
  put("A2", "Sales");
  put("A3", "=1/0");
  put("A4", "TRUE");
  calc();
  const ShownCell number = shown_cell(*sheet, 0, 0);
  EXPECT_EQ(number.text, "1,234.50");
  EXPECT_EQ(number.align, Align::Right);
  EXPECT_EQ(shown_cell(*sheet, 1, 0).align, Align::Left);
  EXPECT_EQ(shown_cell(*sheet, 2, 0).text, "#DIV/0!");
  EXPECT_EQ(shown_cell(*sheet, 2, 0).align, Align::Center);
  EXPECT_EQ(shown_cell(*sheet, 3, 0).text, "TRUE");
  EXPECT_TRUE(shown_cell(*sheet, 9, 9).text.empty());
}

TEST_F(GridTest, TheSelectionOfASavedSheetComesBackWithItsAnchor) {
  sheet->selection = {Area{2, 1, 6, 3}};
  sheet->active_cell = {6, 3};
  grid.show(sheet);
  EXPECT_EQ(grid.active(), (CellPos{6, 3}));
  grid.key(GridKey::Up, true);
  EXPECT_EQ(grid.selection(), (Area{2, 1, 5, 3})) << "extending keeps the far corner";
  GridState none;
  none.show(nullptr);
  EXPECT_FALSE(none.key(GridKey::Delete, false).cells_changed);
  none.type("x");
  EXPECT_FALSE(none.editing());
}

TEST_F(GridTest, ALargeSheetScrollsWithoutWalkingItsCells) {
  for (int row = 0; row < 10000; ++row)
    for (int col = 0; col < 10; ++col) set_value(*sheet, row, col, Value::num(row * 10 + col));
  grid.show(sheet);
  EXPECT_GE(grid.scroll_rows(), 10000);
  grid.scroll_to(9995, 0);
  const auto rows = grid.visible_rows();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0].index, 9995);
  EXPECT_EQ(shown_cell(*sheet, 9995, 3).text, "99953");
}

}  // namespace
}  // namespace kovo::sheet
