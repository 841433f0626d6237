// The calculator: which formulas need calculating (changed cells, their
// dependents, volatile functions) and the order in which they are calculated.
//
// A pass takes the formulas to calculate in the order of the previous pass
// and evaluates each; a formula that reads a cell not yet calculated in the
// pass is put aside, that cell is calculated first, and the formula is
// evaluated again (an add-in function that asked for the cell got
// xlretUncalced and is called again). A formula that comes back to itself
// through such waits is circular: every formula in the circle gets #REF!.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sheethost/evaluator.h"
#include "sheethost/workbook.h"

namespace kovo::sheet {

// Functions that are not built in (the add-ins' registered functions).
struct FunctionInfo {
  bool found = false;
  bool is_volatile = false;
  bool macro_equivalent = false;  // may read cells not yet calculated, and gets no help ordering them
};

class FunctionHost {
 public:
  virtual ~FunctionHost() = default;
  // Changes whenever functions are registered or removed.
  virtual std::uint64_t version() const = 0;
  virtual FunctionInfo describe(std::string_view name) = 0;
  virtual Value call(std::string_view name, std::vector<Arg>& args, Sheet& sheet, CellPos owner) = 0;
};

struct Precedent {
  Sheet* sheet = nullptr;
  Area area;
};

// The formulas that read each cell, for finding what a change affects.
class DependencyIndex {
 public:
  void add(Cell& cell, const std::vector<Precedent>& precedents);
  void remove(const Cell& cell);
  void clear();
  // Calls f(Cell*) for every formula whose precedents contain the cell
  // (a formula may come more than once).
  template <typename F>
  void dependents(const Sheet& sheet, int row, int col, F&& f) const;

 private:
  struct Entry {
    Cell* cell;
    Area area;
  };
  struct Large {
    Cell* cell;
    const Sheet* sheet;
    Area area;
  };
  static std::uint64_t key(const Sheet& sheet, int col, int row_block);
  std::unordered_map<std::uint64_t, std::vector<Entry>> blocks_;
  std::vector<Large> large_;
  std::unordered_map<const Cell*, std::vector<std::uint64_t>> registered_;
};

class Calculator : public EvalHost {
 public:
  explicit Calculator(Application& app);
  ~Calculator() override;

  void set_function_host(FunctionHost* host) { functions_ = host; }
  FunctionHost* function_host() const { return functions_; }

  // -------- bookkeeping, called by the editing functions
  void formula_set(Cell& cell);      // the cell has a new formula: it needs calculating
  void formula_removed(Cell& cell);  // before a formula goes (or its cell is destroyed)
  void cell_changed(Sheet& sheet, const Area& area);  // values there changed
  void adopt(Workbook& book);        // an opened workbook: its formulas, as saved
  void structure_changed();          // cells moved: positions are new
  void names_changed();              // defined names changed: formulas using names need calculating
  void functions_changed();          // functions registered or removed: formulas calling them need calculating

  // -------- calculation
  void recalculate(const Sheet* only = nullptr);  // what needs it (changed, volatile and their dependents)
  void recalculate_all();                        // every formula of every open workbook
  // Calculates one formula now, as entering it does even under manual
  // calculation; what depends on it waits for the next recalculation.
  void calculate_cell(Cell& cell);
  bool calculating() const { return calculating_; }
  // Whether anything changed since the last recalculation of everything.
  bool needs_recalculation() const { return stale_ || !changed_.empty(); }
  // A cell's value for a function being called during calculation, or
  // nullptr when that cell is not yet calculated in this pass.
  const Value* read_for_function(Sheet& sheet, int row, int col);
  // The formula cell being calculated (for the caller of a function), if any.
  const Cell* current() const { return current_; }
  std::size_t formula_count() const;
  // Evaluations in the last pass (a formula evaluated again after waiting counts again).
  std::size_t last_evaluations() const { return evaluations_; }

  // -------- EvalHost
  const Value* cell(Sheet& sheet, int row, int col) override;
  bool uncalculated() const override { return !needs_.empty(); }
  Value call_external(std::string_view name, std::vector<Arg>& args, Sheet& sheet, CellPos owner) override;

 private:
  std::vector<Precedent> precedents(const Cell& cell) const;
  void index_add(Cell& cell);
  void rebuild_index();
  bool is_volatile(Cell& cell);
  void mark_pending(Cell& cell, std::vector<Cell*>& queue);
  void collect(const Sheet* only, bool all, std::vector<Cell*>& pending);
  void run_pass(std::vector<Cell*>& pending);
  void mark_cycle(Cell* from, Cell* to);
  void reorder_chain();

  Application& app_;
  FunctionHost* functions_ = nullptr;
  DependencyIndex index_;
  std::vector<Cell*> formulas_;  // the calculation chain; holes are nullptr
  std::vector<std::pair<Sheet*, Area>> changed_;
  std::unordered_map<const Cell*, std::pair<std::uint64_t, bool>> volatile_cache_;
  std::uint32_t pass_ = 0;
  bool calculating_ = false;
  bool stale_ = false;
  Cell* current_ = nullptr;
  std::vector<Cell*> needs_;
  std::vector<Cell*> stack_;
  std::vector<Cell*> completed_;
  std::size_t evaluations_ = 0;
};

template <typename F>
void DependencyIndex::dependents(const Sheet& sheet, int row, int col, F&& f) const {
  auto it = blocks_.find(key(sheet, col, row / 64));
  if (it != blocks_.end())
    for (const Entry& e : it->second)
      if (e.area.contains(row, col)) f(e.cell);
  for (const Large& l : large_)
    if (l.sheet == &sheet && l.area.contains(row, col)) f(l.cell);
}

}  // namespace kovo::sheet
