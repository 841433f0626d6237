// The grid of the sheet window as state: which rows and columns are in view
// and where, the selection with its anchor, the entry being typed, and the
// text each cell shows. The window draws what this says and hands it the
// keys and clicks; nothing here knows of Windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheethost/address.h"
#include "sheethost/workbook.h"

namespace kovo::sheet {

// Sizes in pixels. Column widths kept on the sheet are in characters of
// the standard font and row heights in points, as workbooks store them.
struct GridMetrics {
  int row_header_width = 46;
  int col_header_height = 20;
  int default_row_height = 20;
  int default_col_width = 72;
};

int column_pixels(const Sheet& sheet, int col, const GridMetrics& metrics);  // 0 when hidden
int row_pixels(const Sheet& sheet, int row, const GridMetrics& metrics);     // 0 when hidden

enum class Align { Left, Center, Right };

// What a cell shows: its value in its number format, aligned as its kind is
// (numbers right, logicals and errors centred, text left), and whether it
// carries a note.
struct ShownCell {
  std::string text;
  Align align = Align::Left;
  bool has_note = false;
};
ShownCell shown_cell(const Sheet& sheet, int row, int col);

enum class GridKey { Left, Right, Up, Down, Tab, Enter, Home, PageUp, PageDown, Escape, Edit, Delete, Backspace };

// What an input did: whether cells changed (the caller recalculates and
// redraws) and the message of an entry that was refused.
struct GridOutcome {
  bool cells_changed = false;
  std::optional<std::string> error;
};

class GridState {
 public:
  explicit GridState(GridMetrics metrics = {}) : metrics_(metrics) {}

  // The sheet shown (null: none); the view moves to its active cell and any
  // entry being typed is dropped.
  void show(Sheet* sheet);
  Sheet* sheet() const { return sheet_; }
  const GridMetrics& metrics() const { return metrics_; }

  // The grid's client size in pixels, headers included.
  void set_size(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }

  // ---------------------------------------------------------------- view
  struct Line {
    int index;  // row or column
    int start;  // pixel where it starts (headers included)
    int size;   // pixels
  };
  // Rows and columns in view from the top-left one, hidden ones left out;
  // the last may be cut off by the edge.
  std::vector<Line> visible_rows() const;
  std::vector<Line> visible_cols() const;
  int top_row() const { return top_row_; }
  int left_col() const { return left_col_; }
  // Scrolls so that row and column are the first shown (clamped, moved
  // past hidden ones).
  void scroll_to(int top_row, int left_col);
  void scroll_by(int rows, int cols);
  // Scrolls as little as needed to bring the cell fully into view.
  void ensure_visible(CellPos cell);
  // How far the scroll bars reach: the used range or the active cell, and a
  // page beyond.
  int scroll_rows() const;
  int scroll_cols() const;

  struct Hit {
    enum class Kind { None, Cell, ColumnHeader, RowHeader, Corner } kind = Kind::None;
    CellPos cell{};
  };
  Hit hit(int x, int y) const;

  // ----------------------------------------------------------- selection
  CellPos active() const;
  Area selection() const;  // the one area from the anchor to the active cell
  // Makes the cell active; "extend" stretches the selection from its
  // anchor instead of starting a new one there.
  void select(CellPos cell, bool extend);
  void select_area(const Area& area);  // whole rows or columns from the headers
  // A click: a cell, a column or a row, extending with shift.
  void click(int x, int y, bool shift);

  // ------------------------------------------------------------ keyboard
  GridOutcome key(GridKey key, bool shift);
  // Typed characters (UTF-8): starts an entry or goes on with it.
  void type(std::string_view text);

  // ------------------------------------------------------------- editing
  bool editing() const { return editing_; }
  const std::string& entry() const { return entry_; }
  // Starts an entry with the given text (F2 or the formula bar: the cell's
  // formula; typing: the first character).
  void begin_entry(std::string text);
  void set_entry(std::string text);  // the formula bar's text as typed there
  // Enters the text into the active cell and moves by (rows, cols). A
  // formula that does not parse is refused: the entry stays open.
  GridOutcome commit(int rows = 1, int cols = 0);
  void cancel_entry();
  // What the formula bar shows: the entry being typed, or the active cell's
  // formula or constant.
  std::string formula_bar_text() const;

 private:
  // The next shown row/column from "from" by "step" (+1/-1), or "from" when none.
  int next_row(int from, int step) const;
  int next_col(int from, int step) const;
  void move(int rows, int cols, bool extend);
  int page_rows() const;
  void store_selection();

  GridMetrics metrics_;
  Sheet* sheet_ = nullptr;
  int width_ = 0, height_ = 0;
  int top_row_ = 0, left_col_ = 0;
  CellPos anchor_{}, active_{};
  bool editing_ = false;
  std::string entry_;
};

}  // namespace kovo::sheet
