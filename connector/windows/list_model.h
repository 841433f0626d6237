// The rows of a window's list view, on demand: columns with their widths,
// alignment and sort keys; the rows' texts asked for only when shown (a
// list of 100,000 rows costs the rows on screen); sorting by a column, a
// second click on it descending; highlighted rows; and the rows as
// tab-separated text for the clipboard. The list view control itself is
// list_view_win.h.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kovo::windows {

enum class Align { Left, Right, Center };

// How a column sorts: by its text without regard to case, or by a number
// the rows give for it (amounts, day numbers, counts).
enum class SortKey { Text, Number, AbsoluteNumber };

struct ListColumn {
  std::string title;
  int width = 80;  // pixels; a hidden column keeps its place with width 0
  Align align = Align::Left;
  SortKey key = SortKey::Text;
  bool shown = true;
};

// Where the rows come from: the window's own records, asked one cell at a
// time.
class ListRows {
 public:
  virtual ~ListRows() = default;
  virtual std::size_t row_count() const = 0;
  virtual std::string text(std::size_t row, std::size_t column) const = 0;
  // The sort key of a Number column.
  virtual double number(std::size_t row, std::size_t column) const { return 0.0; }
};

// Rows kept as texts (and numbers where a column sorts by one), for windows
// whose rows are few or made up front.
class TableRows final : public ListRows {
 public:
  void clear() { rows_.clear(); }
  void add(std::vector<std::string> texts, std::vector<double> numbers = {});
  std::size_t row_count() const override { return rows_.size(); }
  std::string text(std::size_t row, std::size_t column) const override;
  double number(std::size_t row, std::size_t column) const override;

 private:
  struct Row {
    std::vector<std::string> texts;
    std::vector<double> numbers;
  };
  std::vector<Row> rows_;
};

class ListModel {
 public:
  explicit ListModel(const ListRows& rows, std::vector<ListColumn> columns = {});

  const std::vector<ListColumn>& columns() const { return columns_; }
  void set_columns(std::vector<ListColumn> columns);
  void show_column(std::size_t column, bool shown);
  void set_sort_key(std::size_t column, SortKey key);
  // Rows that sort equal keep the order of this column (in the same
  // direction); without one they keep the order they came in.
  void set_tie_column(std::optional<std::size_t> column) { tie_column_ = column; }

  // The rows changed: rows beyond the known ones are shown after them in
  // the order they came; replaced rows (fewer than before) reset the order.
  void rows_changed();
  // Every row is new: they show in the order they come, unsorted.
  void rows_replaced();
  std::size_t size() const { return order_.size(); }
  // The source row shown at a place of the list.
  std::size_t row_at(std::size_t place) const { return order_.at(place); }
  std::string text(std::size_t place, std::size_t column) const;

  // A click on a column's header: ascending, or, on the column sorted last,
  // the other way round.
  void click_column(std::size_t column);
  std::optional<std::size_t> sort_column() const { return sort_column_; }
  bool descending() const { return descending_; }

  // Rows drawn highlighted (the threshold of an amount, say), and cells drawn
  // in the alert colour (a negative amount). A selected row is drawn in the
  // selection's colours; where emphasised says so, its text takes the
  // highlight colour instead.
  void set_highlight(std::function<bool(std::size_t row)> highlighted) { highlighted_ = std::move(highlighted); }
  void set_selected_emphasis(std::function<bool(std::size_t row)> emphasised) { emphasised_ = std::move(emphasised); }
  void set_alert(std::function<bool(std::size_t row, std::size_t column)> alert) { alert_ = std::move(alert); }
  bool highlighted(std::size_t place) const { return highlighted_ && highlighted_(row_at(place)); }
  bool emphasised_when_selected(std::size_t place) const { return emphasised_ && emphasised_(row_at(place)); }
  bool alert(std::size_t place, std::size_t column) const { return alert_ && alert_(row_at(place), column); }

  // The shown columns of every row in list order, cells separated by tabs and
  // rows ended by CR LF; with the header, the column titles first.
  std::string tab_separated(bool header) const;

 private:
  void sort();

  const ListRows& rows_;
  std::vector<ListColumn> columns_;
  std::vector<std::size_t> order_;
  std::optional<std::size_t> sort_column_;
  std::optional<std::size_t> tie_column_;
  bool descending_ = false;
  std::function<bool(std::size_t)> highlighted_;
  std::function<bool(std::size_t)> emphasised_;
  std::function<bool(std::size_t, std::size_t)> alert_;
};

}  // namespace kovo::windows
