// Zero suppression: which rows, then which columns, of a report's areas
// show only zero figures, gathered into batches of single-line references
// that Excel hides with one command each. Reads cells through a callback
// and decides; the Excel side unhides, hides and shows the message.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

namespace kovo::addin::tools {

// A sheet as the spreadsheet presents it through XLOPER has 256 columns and
// 65536 rows (16384 in the oldest versions); an area from A1 over all the
// columns down to either last row is the whole sheet.
inline constexpr int kSheetColumns = 256;
inline constexpr int kSheetRows = 65536;
inline constexpr int kOldSheetRows = 16384;
// References gathered before Excel is asked to hide them.
inline constexpr std::size_t kHideBatch = 30;

// A rectangle of cells, 0-based and inclusive.
struct CellArea {
  int row1 = 0, col1 = 0, row2 = 0, col2 = 0;
  bool whole_sheet() const {
    return row1 == 0 && col1 == 0 && col2 == kSheetColumns - 1 && (row2 == kSheetRows - 1 || row2 == kOldSheetRows - 1);
  }
  friend bool operator==(const CellArea&, const CellArea&) = default;
};

// A cell's value as Excel gives it in its basic type.
enum class CellKind { Empty, Number, Integer, Logical, Text, Error };
struct CellValue {
  CellKind kind = CellKind::Empty;
  double number = 0;  // Number and Integer; Logical: 1 true, 0 false
};

// Numbers, integers and logicals are figures; a figure is zero when it is 0 (or false).
bool is_figure(const CellValue& v);
bool is_zero_figure(const CellValue& v);

// One hide command: the first cell of each line to hide (rows: the line's
// cell in its area's first column; columns: in its area's first row).
struct HideBatch {
  bool rows = true;
  std::vector<CellArea> cells;  // single cells, at most kHideBatch
};

struct ZeroPlan {
  bool whole_sheet = false;  // message 8: nothing is hidden
  std::vector<HideBatch> batches;  // in order: every row batch, then every column batch
};

using CellReader = std::function<CellValue(int row, int col)>;

// The plan for the areas: rows of every area first, then (when wanted)
// columns; a line is hidden when it holds at least one figure and no
// figure that is not zero. Any whole-sheet area refuses the lot before
// anything is read or hidden.
ZeroPlan plan_zero_suppress(const std::vector<CellArea>& areas, const CellReader& read, bool columns);

}  // namespace kovo::addin::tools
