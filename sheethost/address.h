// Cell positions and rectangular areas of a sheet, with their A1 and R1C1
// spellings. Rows and columns are 0-based inside the host.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovo::sheet {

// A sheet holds 65536 rows and 256 columns (A1 to IV65536), the grid that an
// add-in sees through the C API's XLOPER in Excel: every area fits an XLREF
// (WORD rows, BYTE columns), and a selection of the whole sheet is exactly
// 65536 x 256 cells.
constexpr int kMaxRows = 65536;
constexpr int kMaxCols = 256;

struct CellPos {
  int row = 0;
  int col = 0;
  bool operator==(const CellPos&) const = default;
};

struct Area {
  int row1 = 0, col1 = 0, row2 = 0, col2 = 0;  // inclusive, row1 <= row2, col1 <= col2

  static Area cell(CellPos p) { return {p.row, p.col, p.row, p.col}; }
  static Area cell(int row, int col) { return {row, col, row, col}; }
  int rows() const { return row2 - row1 + 1; }
  int cols() const { return col2 - col1 + 1; }
  long long cell_count() const { return static_cast<long long>(rows()) * cols(); }
  bool single_cell() const { return row1 == row2 && col1 == col2; }
  bool contains(int row, int col) const { return row >= row1 && row <= row2 && col >= col1 && col <= col2; }
  bool contains(const Area& a) const {
    return a.row1 >= row1 && a.row2 <= row2 && a.col1 >= col1 && a.col2 <= col2;
  }
  bool intersects(const Area& a) const {
    return a.row1 <= row2 && a.row2 >= row1 && a.col1 <= col2 && a.col2 >= col1;
  }
  bool whole_rows() const { return col1 == 0 && col2 == kMaxCols - 1; }
  bool whole_cols() const { return row1 == 0 && row2 == kMaxRows - 1; }
  bool valid() const {
    return row1 >= 0 && col1 >= 0 && row1 <= row2 && col1 <= col2 && row2 < kMaxRows && col2 < kMaxCols;
  }
  CellPos top_left() const { return {row1, col1}; }
  bool operator==(const Area&) const = default;
};

bool valid_pos(int row, int col);

// 0 -> "A", 255 -> "IV".
std::string column_name(int col);
// "A" -> 0 (case-insensitive); nothing for anything else or beyond the sheet.
std::optional<int> parse_column_name(std::string_view letters);

// "B7" (letters in either case, then the row number; no "$"): the cell's
// position, or nothing when the text is no cell of the sheet.
std::optional<CellPos> parse_cell_address(std::string_view text);

// "$A$1", "$A$1:$B$3" (absolute) or "A1", "A1:B3"; whole rows and columns as
// "$1:$3" and "$A:$C".
std::string area_a1(const Area& a, bool absolute = true);
// "R1C1", "R1C1:R3C2", "R1:R3", "C1:C3" (absolute R1C1).
std::string area_r1c1(const Area& a);

}  // namespace kovo::sheet
