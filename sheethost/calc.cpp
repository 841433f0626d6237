#include "sheethost/calc.h"

#include <algorithm>

#include "sheethost/formula.h"

namespace kovo::sheet {

namespace {

constexpr int kRowsPerBlock = 64;
constexpr long long kMaxBlocksPerArea = 64;
constexpr std::uint64_t kLargeMarker = ~std::uint64_t{0};

const Value kEmptyValue;

// A formula's precedents, names followed into their definitions. Each name
// is followed once per formula: names that use other names many times would
// otherwise be expanded again at every use, without end in effect.
class PrecedentWalk {
 public:
  PrecedentWalk(const Sheet& owner, std::vector<Precedent>& out) : owner_(owner), out_(out) {}

  void expr(const Expr& e) {
    if (e.kind == ExprKind::Ref) {
      if (e.ref_error || (!e.sheet && !e.text.empty())) return;
      out_.push_back({e.sheet ? e.sheet : const_cast<Sheet*>(&owner_), e.ref.area});
      return;
    }
    if (e.kind == ExprKind::Name) {
      name(e);
      return;
    }
    for (const auto& a : e.args) expr(*a);
  }

 private:
  void name(const Expr& e) {
    if (depth_ >= kMaxNameDepth) return;
    const DefinedName* name = owner_.book().find_name(e.text, &owner_);
    if (!name || !name->refers_to || !name->refers_to->root) return;
    if (std::find(followed_.begin(), followed_.end(), name) != followed_.end()) return;
    followed_.push_back(name);
    ++depth_;
    expr(*name->refers_to->root);
    --depth_;
  }

  const Sheet& owner_;
  std::vector<Precedent>& out_;
  std::vector<const DefinedName*> followed_;
  int depth_ = 0;
};

}  // namespace

// ----------------------------------------------------------- DependencyIndex

std::uint64_t DependencyIndex::key(const Sheet& sheet, int col, int row_block) {
  // Sheet id, column (8 bits) and block of rows (10 bits), each in a field of its own.
  return (sheet.id() << 32) | (static_cast<std::uint64_t>(col) << 16) | static_cast<std::uint64_t>(row_block);
}

void DependencyIndex::add(Cell& cell, const std::vector<Precedent>& precedents) {
  auto& keys = registered_[&cell];
  for (const Precedent& p : precedents) {
    const Area& a = p.area;
    const long long blocks =
        static_cast<long long>(a.cols()) * (a.row2 / kRowsPerBlock - a.row1 / kRowsPerBlock + 1);
    if (blocks > kMaxBlocksPerArea) {
      large_.push_back({&cell, p.sheet, a});
      if (std::find(keys.begin(), keys.end(), kLargeMarker) == keys.end()) keys.push_back(kLargeMarker);
      continue;
    }
    for (int c = a.col1; c <= a.col2; ++c)
      for (int b = a.row1 / kRowsPerBlock; b <= a.row2 / kRowsPerBlock; ++b) {
        const auto k = key(*p.sheet, c, b);
        blocks_[k].push_back({&cell, a});
        keys.push_back(k);
      }
  }
}

void DependencyIndex::remove(const Cell& cell) {
  auto it = registered_.find(&cell);
  if (it == registered_.end()) return;
  for (const auto k : it->second) {
    if (k == kLargeMarker) {
      large_.erase(std::remove_if(large_.begin(), large_.end(), [&](const Large& l) { return l.cell == &cell; }),
                   large_.end());
      continue;
    }
    auto block = blocks_.find(k);
    if (block == blocks_.end()) continue;
    auto& entries = block->second;
    entries.erase(std::remove_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.cell == &cell; }),
                  entries.end());
    if (entries.empty()) blocks_.erase(block);
  }
  registered_.erase(it);
}

void DependencyIndex::clear() {
  blocks_.clear();
  large_.clear();
  registered_.clear();
}

// ----------------------------------------------------------------- Calculator

Calculator::Calculator(Application& app) : app_(app) {}
Calculator::~Calculator() = default;

std::vector<Precedent> Calculator::precedents(const Cell& cell) const {
  std::vector<Precedent> out;
  if (cell.formula && cell.formula->root && cell.sheet) PrecedentWalk(*cell.sheet, out).expr(*cell.formula->root);
  return out;
}

void Calculator::index_add(Cell& cell) { index_.add(cell, precedents(cell)); }

void Calculator::formula_set(Cell& cell) {
  index_.remove(cell);
  volatile_cache_.erase(&cell);
  if (cell.slot < 0) {
    cell.slot = static_cast<int>(formulas_.size());
    formulas_.push_back(&cell);
  }
  index_add(cell);
  cell.dirty = true;
  stale_ = true;
  changed_.push_back({cell.sheet, Area::cell(cell.row, cell.col)});
}

void Calculator::formula_removed(Cell& cell) {
  index_.remove(cell);
  volatile_cache_.erase(&cell);
  if (cell.slot >= 0 && static_cast<std::size_t>(cell.slot) < formulas_.size() && formulas_[cell.slot] == &cell)
    formulas_[static_cast<std::size_t>(cell.slot)] = nullptr;
  cell.slot = -1;
  cell.dirty = false;
  // Forget the cell wherever the current pass might still meet it.
  std::replace(stack_.begin(), stack_.end(), &cell, static_cast<Cell*>(nullptr));
  std::replace(completed_.begin(), completed_.end(), &cell, static_cast<Cell*>(nullptr));
  if (current_ == &cell) current_ = nullptr;
}

void Calculator::cell_changed(Sheet& sheet, const Area& area) { changed_.push_back({&sheet, area}); }

void Calculator::adopt(Workbook& book) {
  for (const auto& sheet : book.sheets())
    sheet->for_each_cell([&](Cell& cell) {
      if (!cell.formula) return;
      cell.slot = static_cast<int>(formulas_.size());
      formulas_.push_back(&cell);
      index_add(cell);
    });
}

void Calculator::rebuild_index() {
  index_.clear();
  for (Cell* cell : formulas_)
    if (cell) index_add(*cell);
}

void Calculator::structure_changed() {
  rebuild_index();
  stale_ = true;
}

void Calculator::names_changed() {
  rebuild_index();
  stale_ = true;
  for (Cell* cell : formulas_)
    if (cell && cell->formula->uses_names) cell->dirty = true;
}

void Calculator::functions_changed() {
  stale_ = true;
  for (Cell* cell : formulas_)
    if (cell && cell->formula->calls_external) cell->dirty = true;
}

std::size_t Calculator::formula_count() const {
  return static_cast<std::size_t>(std::count_if(formulas_.begin(), formulas_.end(), [](Cell* c) { return c; }));
}

bool Calculator::is_volatile(Cell& cell) {
  if (!cell.formula->calls_external || !functions_) return false;
  const auto version = functions_->version();
  auto it = volatile_cache_.find(&cell);
  if (it != volatile_cache_.end() && it->second.first == version) return it->second.second;
  bool found_volatile = false;
  std::vector<const Expr*> todo{cell.formula->root.get()};
  while (!todo.empty() && !found_volatile) {
    const Expr* e = todo.back();
    todo.pop_back();
    if (e->kind == ExprKind::Call && !e->builtin && functions_->describe(e->text).is_volatile) found_volatile = true;
    for (const auto& a : e->args) todo.push_back(a.get());
  }
  volatile_cache_[&cell] = {version, found_volatile};
  return found_volatile;
}

void Calculator::mark_pending(Cell& cell, std::vector<Cell*>& queue) {
  if (cell.pass == pass_ && cell.state == CalcState::Pending) return;
  cell.pass = pass_;
  cell.state = CalcState::Pending;
  cell.waiter = nullptr;
  queue.push_back(&cell);
}

void Calculator::collect(const Sheet* only, bool all, std::vector<Cell*>& pending) {
  auto in_scope = [&](const Cell& c) { return !only || c.sheet == only; };
  std::vector<Cell*> queue;
  for (Cell* cell : formulas_) {
    if (!cell || !in_scope(*cell)) continue;
    if (all || cell->dirty || is_volatile(*cell)) mark_pending(*cell, queue);
  }
  if (all) {
    // Everything is calculated: nothing to spread.
    pending = std::move(queue);
    changed_.clear();
    return;
  }
  // Everything that reads a changed cell or a formula about to change.
  auto spread = [&](Sheet& sheet, int row, int col) {
    index_.dependents(sheet, row, col, [&](Cell* d) {
      if (in_scope(*d)) mark_pending(*d, queue);
    });
  };
  for (const auto& [sheet, area] : changed_) {
    if (area.cell_count() > 4096) {
      // A large change: test each formula's precedents instead of each cell.
      for (Cell* cell : formulas_) {
        if (!cell || !in_scope(*cell)) continue;
        for (const Precedent& p : precedents(*cell))
          if (p.sheet == sheet && p.area.intersects(area)) {
            mark_pending(*cell, queue);
            break;
          }
      }
      continue;
    }
    for (int c = area.col1; c <= area.col2; ++c)
      for (int r = area.row1; r <= area.row2; ++r) spread(*sheet, r, c);
  }
  for (std::size_t i = 0; i < queue.size(); ++i) {
    Cell* cell = queue[i];
    pending.push_back(cell);
    spread(*cell->sheet, cell->row, cell->col);
  }
  if (!only) changed_.clear();
  else
    changed_.erase(std::remove_if(changed_.begin(), changed_.end(),
                                  [&](const std::pair<Sheet*, Area>& c) { return c.first == only; }),
                   changed_.end());
}

void Calculator::recalculate(const Sheet* only) {
  if (calculating_) return;
  ++pass_;
  std::vector<Cell*> pending;
  collect(only, false, pending);
  run_pass(pending);
  if (!only) stale_ = false;
}

void Calculator::recalculate_all() {
  if (calculating_) return;
  ++pass_;
  std::vector<Cell*> pending;
  collect(nullptr, true, pending);
  run_pass(pending);
  stale_ = false;
}

void Calculator::calculate_cell(Cell& cell) {
  if (calculating_ || !cell.formula) return;
  ++pass_;
  std::vector<Cell*> pending;
  mark_pending(cell, pending);
  run_pass(pending);
}

void Calculator::mark_cycle(Cell* from, Cell* to) {
  // from waits (through waiters) on nothing but cells up to "to": all of them
  // are in the circle.
  for (Cell* c = from; c; c = c->waiter) {
    c->value = Value::err(ErrorCode::Ref);
    c->state = CalcState::Done;
    c->dirty = false;
    completed_.push_back(c);
    if (c == to) break;
  }
}

void Calculator::run_pass(std::vector<Cell*>& pending) {
  if (pending.empty()) return;
  calculating_ = true;
  evaluations_ = 0;
  completed_.clear();
  // Chain order: the order of the previous pass.
  auto by_slot = [](const Cell* a, const Cell* b) { return a->slot < b->slot; };
  if (!std::is_sorted(pending.begin(), pending.end(), by_slot)) std::sort(pending.begin(), pending.end(), by_slot);
  const std::size_t limit = pending.size() * 64 + 1024;
  std::size_t steps = 0;
  for (Cell* start : pending) {
    if (!start || start->pass != pass_ || start->state != CalcState::Pending) continue;
    start->state = CalcState::Active;
    start->waiter = nullptr;
    stack_.push_back(start);
    while (!stack_.empty()) {
      Cell* c = stack_.back();
      if (!c || c->state == CalcState::Done || !c->formula) {
        stack_.pop_back();
        continue;
      }
      if (++steps > limit) {
        // Cannot happen with a sound order; never loop for ever.
        for (Cell* s : stack_)
          if (s && s->state != CalcState::Done) mark_cycle(s, s);
        stack_.clear();
        break;
      }
      needs_.clear();
      current_ = c;
      ++evaluations_;
      Value v = evaluate(*c->formula, *c->sheet, {c->row, c->col}, *this);
      current_ = nullptr;
      if (stack_.empty() || stack_.back() != c) continue;  // removed while it was calculated
      if (needs_.empty()) {
        c->value = std::move(v);
        c->state = CalcState::Done;
        c->dirty = false;
        completed_.push_back(c);
        stack_.pop_back();
        continue;
      }
      for (Cell* n : needs_) {
        if (n->state == CalcState::Pending) {
          n->state = CalcState::Active;
          n->waiter = c;
          stack_.push_back(n);
          continue;
        }
        if (n->state != CalcState::Active) continue;
        bool circular = false;
        for (Cell* w = c; w; w = w->waiter)
          if (w == n) {
            circular = true;
            break;
          }
        if (circular) {
          mark_cycle(c, n);
          break;
        }
        n->waiter = c;
        stack_.push_back(n);
      }
    }
  }
  needs_.clear();
  reorder_chain();
  calculating_ = false;
}

void Calculator::reorder_chain() {
  std::vector<Cell*> chain;
  chain.reserve(formulas_.size());
  for (Cell* c : completed_)
    if (c && c->slot >= 0) {
      chain.push_back(c);
      c->slot = -2;  // placed
    }
  for (Cell* c : formulas_)
    if (c && c->slot >= 0) chain.push_back(c);
  for (std::size_t i = 0; i < chain.size(); ++i) chain[i]->slot = static_cast<int>(i);
  formulas_ = std::move(chain);
  completed_.clear();
}

const Value* Calculator::cell(Sheet& sheet, int row, int col) {
  Cell* c = sheet.find(row, col);
  if (!c) return &kEmptyValue;
  if (c->formula && c->pass == pass_ && calculating_ &&
      (c->state == CalcState::Pending || c->state == CalcState::Active)) {
    needs_.push_back(c);
    return nullptr;
  }
  return &c->value;
}

const Value* Calculator::read_for_function(Sheet& sheet, int row, int col) { return cell(sheet, row, col); }

Value Calculator::call_external(std::string_view name, std::vector<Arg>& args, Sheet& sheet, CellPos owner) {
  if (!functions_) return Value::err(ErrorCode::Name);
  const FunctionInfo info = functions_->describe(name);
  if (!info.found) return Value::err(ErrorCode::Name);
  if (!info.macro_equivalent) {
    // Cells passed by reference are calculated before the function is called.
    for (const Arg& a : args) {
      if (a.kind != Arg::Kind::Reference) continue;
      for (const Area& area : a.ref.areas)
        for (int c = area.col1; c <= area.col2; ++c)
          for (int r = area.row1; r <= area.row2; ++r)
            if (Cell* cell = a.ref.sheet->find(r, c); cell && cell->formula) (void)this->cell(*a.ref.sheet, r, c);
    }
    if (!needs_.empty()) return Value::err(ErrorCode::NA);
  }
  return functions_->call(name, args, sheet, owner);
}

}  // namespace kovo::sheet
