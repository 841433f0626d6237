#include "addin/tools/zero_suppress.h"

namespace kovo::addin::tools {

bool is_figure(const CellValue& v) {
  return v.kind == CellKind::Number || v.kind == CellKind::Integer || v.kind == CellKind::Logical;
}

bool is_zero_figure(const CellValue& v) { return is_figure(v) && v.number == 0; }

namespace {

class Batcher {
 public:
  Batcher(std::vector<HideBatch>& out, bool rows) : out_(out), rows_(rows) {}
  void add(int row, int col) {
    if (open_ < 0) {
      out_.push_back(HideBatch{rows_, {}});
      open_ = static_cast<int>(out_.size()) - 1;
    }
    auto& cells = out_[static_cast<std::size_t>(open_)].cells;
    cells.push_back(CellArea{row, col, row, col});
    if (cells.size() == kHideBatch) open_ = -1;
  }

 private:
  std::vector<HideBatch>& out_;
  bool rows_;
  int open_ = -1;
};

// True when the line holds a figure and every figure is zero; reading
// stops at the first figure that is not.
template <typename Cell>
bool only_zero_figures(int first, int last, const Cell& cell) {
  bool figure = false;
  for (int i = first; i <= last; ++i) {
    const CellValue v = cell(i);
    if (!is_figure(v)) continue;
    if (v.number != 0) return false;
    figure = true;
  }
  return figure;
}

}  // namespace

ZeroPlan plan_zero_suppress(const std::vector<CellArea>& areas, const CellReader& read, bool columns) {
  ZeroPlan plan;
  for (const auto& area : areas)
    if (area.whole_sheet()) {
      plan.whole_sheet = true;
      return plan;
    }
  Batcher rows(plan.batches, true);
  for (const auto& area : areas)
    for (int row = area.row1; row <= area.row2; ++row)
      if (only_zero_figures(area.col1, area.col2, [&](int col) { return read(row, col); })) rows.add(row, area.col1);
  if (!columns) return plan;
  Batcher cols(plan.batches, false);
  for (const auto& area : areas)
    for (int col = area.col1; col <= area.col2; ++col)
      if (only_zero_figures(area.row1, area.row2, [&](int row) { return read(row, col); })) cols.add(area.row1, col);
  return plan;
}

}  // namespace kovo::addin::tools
