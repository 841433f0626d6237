#include "sheethost/grid.h"

#include <algorithm>
#include <cmath>

#include "sheethost/edit.h"
#include "sheethost/number_format.h"

namespace kovo::sheet {

namespace {

// Rows past the last used one that the scroll bar still reaches.
constexpr int kScrollMarginRows = 50;
constexpr int kScrollMarginCols = 10;

int clamp_row(int row) { return std::clamp(row, 0, kMaxRows - 1); }
int clamp_col(int col) { return std::clamp(col, 0, kMaxCols - 1); }

// Drops the last UTF-8 character of a text.
void drop_last_character(std::string& text) {
  while (!text.empty()) {
    const unsigned char c = static_cast<unsigned char>(text.back());
    text.pop_back();
    if ((c & 0xC0) != 0x80) break;  // a lead byte or a single-byte character
  }
}

}  // namespace

int column_pixels(const Sheet& sheet, int col, const GridMetrics& metrics) {
  if (sheet.col_hidden(col)) return 0;
  const auto width = sheet.col_width(col);
  if (!width) return metrics.default_col_width;
  if (*width <= 0) return 0;
  // A character of the standard font is 7 pixels, with 5 pixels of padding.
  return std::clamp(static_cast<int>(std::lround(*width * 7 + 5)), 4, 2000);
}

int row_pixels(const Sheet& sheet, int row, const GridMetrics& metrics) {
  if (sheet.row_hidden(row)) return 0;
  const auto height = sheet.row_height(row);
  if (!height) return metrics.default_row_height;
  if (*height <= 0) return 0;
  return std::clamp(static_cast<int>(std::lround(*height * 4 / 3)), 4, 600);  // points at 96 dpi
}

ShownCell shown_cell(const Sheet& sheet, int row, int col) {
  ShownCell shown;
  const Cell* cell = sheet.find(row, col);
  if (!cell) return shown;
  shown.has_note = !cell->note.empty();
  shown.text = format_value(cell->value, cell->format);
  switch (cell->value.kind) {
    case ValueKind::Number: shown.align = Align::Right; break;
    case ValueKind::Bool:
    case ValueKind::Error: shown.align = Align::Center; break;
    default: shown.align = Align::Left; break;
  }
  return shown;
}

void GridState::show(Sheet* sheet) {
  sheet_ = sheet;
  editing_ = false;
  entry_.clear();
  top_row_ = left_col_ = 0;
  anchor_ = active_ = {};
  if (!sheet_) return;
  active_ = sheet_->active_cell;
  if (!valid_pos(active_.row, active_.col)) active_ = {};
  anchor_ = active_;
  if (!sheet_->selection.empty()) {
    const Area& a = sheet_->selection.front();
    // The anchor is the corner across from the active cell.
    if (a.valid() && a.contains(active_.row, active_.col))
      anchor_ = {active_.row == a.row1 ? a.row2 : a.row1, active_.col == a.col1 ? a.col2 : a.col1};
  }
  scroll_to(0, 0);
  ensure_visible(active_);
}

void GridState::set_size(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
}

// ------------------------------------------------------------------ view

std::vector<GridState::Line> GridState::visible_rows() const {
  std::vector<Line> rows;
  if (!sheet_) return rows;
  int y = metrics_.col_header_height;
  for (int row = top_row_; row < kMaxRows && y < height_; ++row) {
    const int size = row_pixels(*sheet_, row, metrics_);
    if (size == 0) continue;
    rows.push_back({row, y, size});
    y += size;
  }
  return rows;
}

std::vector<GridState::Line> GridState::visible_cols() const {
  std::vector<Line> cols;
  if (!sheet_) return cols;
  int x = metrics_.row_header_width;
  for (int col = left_col_; col < kMaxCols && x < width_; ++col) {
    const int size = column_pixels(*sheet_, col, metrics_);
    if (size == 0) continue;
    cols.push_back({col, x, size});
    x += size;
  }
  return cols;
}

void GridState::scroll_to(int top_row, int left_col) {
  if (!sheet_) return;
  top_row_ = clamp_row(top_row);
  left_col_ = clamp_col(left_col);
  // The first line shown is never a hidden one (unless all below are).
  if (sheet_->row_hidden(top_row_)) top_row_ = next_row(top_row_, 1);
  if (sheet_->col_hidden(left_col_)) left_col_ = next_col(left_col_, 1);
}

void GridState::scroll_by(int rows, int cols) {
  int top = top_row_, left = left_col_;
  for (int i = 0; i < std::abs(rows); ++i) top = next_row(top, rows > 0 ? 1 : -1);
  for (int i = 0; i < std::abs(cols); ++i) left = next_col(left, cols > 0 ? 1 : -1);
  scroll_to(top, left);
}

void GridState::ensure_visible(CellPos cell) {
  if (!sheet_) return;
  const int row = clamp_row(cell.row), col = clamp_col(cell.col);
  if (row < top_row_) top_row_ = row;
  if (col < left_col_) left_col_ = col;
  // Walks back from the cell while the rows still fit, so the cell is the
  // last one wholly shown.
  const int rows_room = height_ - metrics_.col_header_height;
  if (row > top_row_) {
    int used = row_pixels(*sheet_, row, metrics_);
    int top = row;
    while (top > top_row_) {
      const int above = row_pixels(*sheet_, top - 1, metrics_);
      if (used + above > rows_room) break;
      used += above;
      --top;
    }
    if (top > top_row_) top_row_ = top;
  }
  const int cols_room = width_ - metrics_.row_header_width;
  if (col > left_col_) {
    int used = column_pixels(*sheet_, col, metrics_);
    int left = col;
    while (left > left_col_) {
      const int before = column_pixels(*sheet_, left - 1, metrics_);
      if (used + before > cols_room) break;
      used += before;
      --left;
    }
    if (left > left_col_) left_col_ = left;
  }
  scroll_to(top_row_, left_col_);
}

int GridState::scroll_rows() const {
  int last = active_.row;
  if (sheet_)
    if (auto used = sheet_->used_range()) last = std::max(last, used->row2);
  return std::min(kMaxRows, last + kScrollMarginRows);
}

int GridState::scroll_cols() const {
  int last = active_.col;
  if (sheet_)
    if (auto used = sheet_->used_range()) last = std::max(last, used->col2);
  return std::min(kMaxCols, last + kScrollMarginCols);
}

GridState::Hit GridState::hit(int x, int y) const {
  Hit h;
  if (!sheet_ || x < 0 || y < 0 || x >= width_ || y >= height_) return h;
  const bool in_col_header = y < metrics_.col_header_height;
  const bool in_row_header = x < metrics_.row_header_width;
  if (in_col_header && in_row_header) {
    h.kind = Hit::Kind::Corner;
    return h;
  }
  std::optional<int> row, col;
  if (!in_col_header)
    for (const Line& r : visible_rows())
      if (y >= r.start && y < r.start + r.size) row = r.index;
  if (!in_row_header)
    for (const Line& c : visible_cols())
      if (x >= c.start && x < c.start + c.size) col = c.index;
  if (in_col_header && col) {
    h.kind = Hit::Kind::ColumnHeader;
    h.cell = {0, *col};
  } else if (in_row_header && row) {
    h.kind = Hit::Kind::RowHeader;
    h.cell = {*row, 0};
  } else if (row && col) {
    h.kind = Hit::Kind::Cell;
    h.cell = {*row, *col};
  }
  return h;
}

// ------------------------------------------------------------- selection

CellPos GridState::active() const { return active_; }

Area GridState::selection() const {
  return {std::min(anchor_.row, active_.row), std::min(anchor_.col, active_.col), std::max(anchor_.row, active_.row),
          std::max(anchor_.col, active_.col)};
}

void GridState::store_selection() {
  if (!sheet_) return;
  sheet_->active_cell = active_;
  sheet_->selection = {selection()};
}

void GridState::select(CellPos cell, bool extend) {
  if (!sheet_) return;
  active_ = {clamp_row(cell.row), clamp_col(cell.col)};
  if (!extend) anchor_ = active_;
  store_selection();
  ensure_visible(active_);
}

void GridState::select_area(const Area& area) {
  if (!sheet_ || !area.valid()) return;
  anchor_ = {area.row2, area.col2};
  active_ = {area.row1, area.col1};
  store_selection();
  ensure_visible(active_);
}

void GridState::click(int x, int y, bool shift) {
  const Hit h = hit(x, y);
  if (h.kind == Hit::Kind::None) return;
  if (editing_) commit(0, 0);
  switch (h.kind) {
    case Hit::Kind::Cell: select(h.cell, shift); break;
    case Hit::Kind::ColumnHeader: {
      const int from = shift ? std::min(anchor_.col, h.cell.col) : h.cell.col;
      const int to = shift ? std::max(anchor_.col, h.cell.col) : h.cell.col;
      anchor_ = {kMaxRows - 1, to};
      active_ = {0, from};
      store_selection();
      break;
    }
    case Hit::Kind::RowHeader: {
      const int from = shift ? std::min(anchor_.row, h.cell.row) : h.cell.row;
      const int to = shift ? std::max(anchor_.row, h.cell.row) : h.cell.row;
      anchor_ = {to, kMaxCols - 1};
      active_ = {from, 0};
      store_selection();
      break;
    }
    case Hit::Kind::Corner: select_area({0, 0, kMaxRows - 1, kMaxCols - 1}); break;
    case Hit::Kind::None: break;
  }
}

int GridState::next_row(int from, int step) const {
  for (int row = from + step; row >= 0 && row < kMaxRows; row += step)
    if (!sheet_->row_hidden(row) && row_pixels(*sheet_, row, metrics_) > 0) return row;
  return from;
}

int GridState::next_col(int from, int step) const {
  for (int col = from + step; col >= 0 && col < kMaxCols; col += step)
    if (!sheet_->col_hidden(col) && column_pixels(*sheet_, col, metrics_) > 0) return col;
  return from;
}

void GridState::move(int rows, int cols, bool extend) {
  if (!sheet_) return;
  CellPos to = active_;
  for (int i = 0; i < std::abs(rows); ++i) to.row = next_row(to.row, rows > 0 ? 1 : -1);
  for (int i = 0; i < std::abs(cols); ++i) to.col = next_col(to.col, cols > 0 ? 1 : -1);
  select(to, extend);
}

int GridState::page_rows() const {
  const auto rows = visible_rows();
  return std::max(1, static_cast<int>(rows.size()) - 1);
}

// -------------------------------------------------------------- keyboard

GridOutcome GridState::key(GridKey key, bool shift) {
  GridOutcome outcome;
  if (!sheet_) return outcome;
  if (editing_) {
    switch (key) {
      case GridKey::Enter: return commit(shift ? -1 : 1, 0);
      case GridKey::Tab: return commit(0, shift ? -1 : 1);
      case GridKey::Up: return commit(-1, 0);
      case GridKey::Down: return commit(1, 0);
      case GridKey::Left: return commit(0, -1);
      case GridKey::Right: return commit(0, 1);
      case GridKey::Escape: cancel_entry(); return outcome;
      case GridKey::Backspace: drop_last_character(entry_); return outcome;
      default: return outcome;
    }
  }
  switch (key) {
    case GridKey::Left: move(0, -1, shift); break;
    case GridKey::Right: move(0, 1, shift); break;
    case GridKey::Up: move(-1, 0, shift); break;
    case GridKey::Down: move(1, 0, shift); break;
    case GridKey::Tab: move(0, shift ? -1 : 1, false); break;
    case GridKey::Enter: move(shift ? -1 : 1, 0, false); break;
    case GridKey::Home: select({active_.row, sheet_->col_hidden(0) ? next_col(0, 1) : 0}, shift); break;
    case GridKey::PageDown: {
      const int page = page_rows();
      move(page, 0, shift);
      scroll_by(page, 0);
      ensure_visible(active_);
      break;
    }
    case GridKey::PageUp: {
      const int page = page_rows();
      move(-page, 0, shift);
      scroll_by(-page, 0);
      ensure_visible(active_);
      break;
    }
    case GridKey::Edit: begin_entry(cell_formula_text(*sheet_, active_.row, active_.col, RefStyle::A1)); break;
    case GridKey::Delete:
    case GridKey::Backspace:
      clear_contents(*sheet_, selection());
      outcome.cells_changed = true;
      break;
    case GridKey::Escape: break;
  }
  return outcome;
}

void GridState::type(std::string_view text) {
  if (!sheet_ || text.empty()) return;
  if (!editing_) begin_entry({});
  entry_ += text;
}

// --------------------------------------------------------------- editing

void GridState::begin_entry(std::string text) {
  if (!sheet_) return;
  editing_ = true;
  entry_ = std::move(text);
}

void GridState::set_entry(std::string text) {
  if (!sheet_) return;
  editing_ = true;
  entry_ = std::move(text);
}

GridOutcome GridState::commit(int rows, int cols) {
  GridOutcome outcome;
  if (!sheet_ || !editing_) return outcome;
  if (auto error = enter(*sheet_, active_.row, active_.col, entry_)) {
    outcome.error = std::move(error);
    return outcome;
  }
  editing_ = false;
  entry_.clear();
  outcome.cells_changed = true;
  move(rows, cols, false);
  return outcome;
}

void GridState::cancel_entry() {
  editing_ = false;
  entry_.clear();
}

std::string GridState::formula_bar_text() const {
  if (editing_) return entry_;
  if (!sheet_) return {};
  return cell_formula_text(*sheet_, active_.row, active_.col, RefStyle::A1);
}

}  // namespace kovo::sheet
