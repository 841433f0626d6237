#include "sheethost/edit.h"

#include <cctype>
#include <functional>

#include "sheethost/calc.h"
#include "sheethost/evaluator.h"

namespace kovo::sheet {

namespace {

Calculator& calc_of(const Sheet& sheet) { return sheet.book().app().calculator(); }

// Calls f(ref, owner sheet) for every reference of every formula and defined
// name of the open workbooks; f answers whether it changed what the
// reference reads. Formulas so changed need calculating.
void visit_all_refs(Application& app, const std::function<bool(Expr&, Sheet&)>& f) {
  bool names_changed = false;
  for (const auto& book : app.books()) {
    for (const auto& sheet : book->sheets())
      sheet->for_each_cell([&](Cell& cell) {
        if (cell.formula && cell.formula->root)
          for_each_ref(*cell.formula->root, [&](Expr& e) {
            if (f(e, *sheet)) cell.dirty = true;
          });
      });
    for (auto& name : book->names()) {
      if (!name.refers_to || !name.refers_to->root || book->sheets().empty()) continue;
      Sheet& owner = name.scope ? *name.scope : *book->sheets().front();
      for_each_ref(*name.refers_to->root, [&](Expr& e) { names_changed = f(e, owner) || names_changed; });
    }
  }
  if (names_changed) app.calculator().names_changed();
}

Sheet* target_of(const Expr& e, Sheet& owner) {
  if (e.ref_error) return nullptr;
  if (e.sheet) return e.sheet;
  return e.text.empty() ? &owner : nullptr;
}

void drop_cell(Sheet& sheet, int row, int col) {
  Cell* cell = sheet.find(row, col);
  if (!cell) return;
  if (cell->formula) calc_of(sheet).formula_removed(*cell);
  sheet.take(row, col);
}

// Removes the cell object when nothing is left in it.
void tidy(Sheet& sheet, int row, int col) {
  Cell* cell = sheet.find(row, col);
  if (cell && !cell->has_content()) sheet.take(row, col);
}

// Shifts one coordinate pair of a reference for an insert before "at".
bool shift_span(int& first, int& last, int at, int count, int limit) {
  if (first >= at) first += count;
  if (last >= at) last += count;
  if (first >= limit) return false;
  if (last >= limit) last = limit - 1;
  return true;
}

std::optional<std::string> insert_lines(Sheet& sheet, int at, int count, bool rows) {
  const int limit = rows ? kMaxRows : kMaxCols;
  if (at < 0 || at >= limit || count < 1 || count > limit - at) return std::string("the insertion does not fit the sheet");
  bool pushed_off = false;
  sheet.for_each_cell([&](const Cell& c) {
    if (c.has_content() && (rows ? c.row : c.col) >= limit - count) pushed_off = true;
  });
  if (pushed_off) return std::string("cells would be pushed off the end of the sheet");
  Application& app = sheet.book().app();
  visit_all_refs(app, [&](Expr& e, Sheet& owner) {
    if (target_of(e, owner) != &sheet) return false;
    RefArea& r = e.ref;
    const Area before = r.area;
    if (rows && r.shape != RefShape::Cols) {
      if (!shift_span(r.area.row1, r.area.row2, at, count, kMaxRows)) e.ref_error = true;
    } else if (!rows && r.shape != RefShape::Rows) {
      if (!shift_span(r.area.col1, r.area.col2, at, count, kMaxCols)) e.ref_error = true;
    }
    // A range that grew or broke reads other cells now.
    return e.ref_error || r.area.rows() != before.rows() || r.area.cols() != before.cols();
  });
  auto dropped = rows ? sheet.shift_rows(at, count) : sheet.shift_cols(at, count);
  dropped.clear();
  Calculator& calc = calc_of(sheet);
  calc.structure_changed();
  calc.cell_changed(sheet, rows ? Area{at, 0, at + count - 1, kMaxCols - 1} : Area{0, at, kMaxRows - 1, at + count - 1});
  sheet.book().changed = true;
  return std::nullopt;
}

void shift_relative(Expr& e, int dr, int dc) {
  RefArea& r = e.ref;
  if (e.ref_error) return;
  if (r.shape != RefShape::Cols) {
    if (!r.abs_row1) r.area.row1 += dr;
    if (!r.abs_row2) r.area.row2 += dr;
  }
  if (r.shape != RefShape::Rows) {
    if (!r.abs_col1) r.area.col1 += dc;
    if (!r.abs_col2) r.area.col2 += dc;
  }
  r.normalise();
  if (!r.area.valid()) {
    e.ref_error = true;
    r.area = Area{};
  }
}

}  // namespace

ParseOptions parse_options_for(const Sheet& sheet, CellPos owner, RefStyle style) {
  ParseOptions o;
  o.style = style;
  o.owner = owner;
  o.list_separator = sheet.book().app().list_separator;
  const Workbook* home = &sheet.book();
  const Application* app = &sheet.book().app();
  o.resolve_sheet = [app, home](std::string_view book, std::string_view name) {
    return app->resolve_sheet(book, name, home);
  };
  return o;
}

PrintOptions print_options_for(const Sheet& sheet, CellPos owner, RefStyle style) {
  PrintOptions o;
  o.style = style;
  o.owner = owner;
  o.owner_sheet = &sheet;
  o.list_separator = sheet.book().app().list_separator;
  return o;
}

std::string cell_formula_text(const Sheet& sheet, int row, int col, RefStyle style) {
  const Cell* cell = sheet.find(row, col);
  if (!cell) return {};
  if (cell->formula) return print_formula(*cell->formula, print_options_for(sheet, {row, col}, style));
  return value_to_text(cell->value);
}

void set_value(Sheet& sheet, int row, int col, Value value) {
  if (!valid_pos(row, col)) return;
  Cell* existing = sheet.find(row, col);
  if (!existing && value.is_empty()) return;
  Cell& cell = sheet.ensure(row, col);
  if (cell.formula) {
    calc_of(sheet).formula_removed(cell);
    cell.formula.reset();
  }
  cell.value = std::move(value);
  calc_of(sheet).cell_changed(sheet, Area::cell(row, col));
  sheet.book().changed = true;
  tidy(sheet, row, col);
}

void set_formula(Sheet& sheet, int row, int col, std::unique_ptr<Formula> formula) {
  if (!valid_pos(row, col) || !formula) return;
  Cell& cell = sheet.ensure(row, col);
  if (cell.formula) calc_of(sheet).formula_removed(cell);
  cell.formula = std::move(formula);
  calc_of(sheet).formula_set(cell);
  sheet.book().changed = true;
}

std::optional<std::string> enter(Sheet& sheet, int row, int col, std::string_view text) {
  if (!valid_pos(row, col)) return std::string("the cell is outside the sheet");
  if (!text.empty() && text.front() == '=') {
    auto parsed = parse_formula_any(text, parse_options_for(sheet, {row, col}));
    if (!parsed.formula) return parsed.error + " (at character " + std::to_string(parsed.position + 1) + ")";
    set_formula(sheet, row, col, std::move(parsed.formula));
    return std::nullopt;
  }
  set_value(sheet, row, col, entry_to_value(text));
  return std::nullopt;
}

void clear_contents(Sheet& sheet, const Area& area) {
  std::vector<CellPos> cells;
  sheet.for_each_cell([&](const Cell& c) {
    if (area.contains(c.row, c.col)) cells.push_back({c.row, c.col});
  });
  for (const CellPos& p : cells) {
    Cell* cell = sheet.find(p.row, p.col);
    if (cell->formula) {
      calc_of(sheet).formula_removed(*cell);
      cell->formula.reset();
    }
    cell->value = Value{};
    tidy(sheet, p.row, p.col);
  }
  calc_of(sheet).cell_changed(sheet, area);
  sheet.book().changed = true;
}

void set_number_format(Sheet& sheet, const Area& area, const std::string& format) {
  if (area.cell_count() > 1'000'000) return;
  for (int c = area.col1; c <= area.col2; ++c)
    for (int r = area.row1; r <= area.row2; ++r) {
      if (format.empty() && !sheet.find(r, c)) continue;
      sheet.ensure(r, c).format = format;
      tidy(sheet, r, c);
    }
  sheet.book().changed = true;
}

void set_note(Sheet& sheet, int row, int col, std::string note) {
  if (!valid_pos(row, col)) return;
  if (note.empty() && !sheet.find(row, col)) return;
  sheet.ensure(row, col).note = std::move(note);
  tidy(sheet, row, col);
  sheet.book().changed = true;
}

std::optional<std::string> insert_rows(Sheet& sheet, int at, int count) { return insert_lines(sheet, at, count, true); }
std::optional<std::string> insert_cols(Sheet& sheet, int at, int count) { return insert_lines(sheet, at, count, false); }

std::optional<std::string> move_cells(Sheet& sheet, const Area& from, CellPos to) {
  const Area dest{to.row, to.col, to.row + from.rows() - 1, to.col + from.cols() - 1};
  if (!from.valid() || !dest.valid()) return std::string("the cells would not fit the sheet");
  if (from == dest) return std::nullopt;
  const int dr = dest.row1 - from.row1, dc = dest.col1 - from.col1;
  visit_all_refs(sheet.book().app(), [&](Expr& e, Sheet& owner) {
    if (target_of(e, owner) != &sheet) return false;
    Area& a = e.ref.area;
    if (from.contains(a)) {
      a.row1 += dr, a.row2 += dr, a.col1 += dc, a.col2 += dc;
      return false;
    }
    if (dest.contains(a)) {
      e.ref_error = true;
      return true;
    }
    return false;
  });
  struct Moving {
    int row, col;
    std::unique_ptr<Cell> cell;
  };
  std::vector<Moving> moving;
  std::vector<CellPos> sources;
  sheet.for_each_cell([&](const Cell& c) {
    if (from.contains(c.row, c.col)) sources.push_back({c.row, c.col});
  });
  for (const CellPos& p : sources) moving.push_back({p.row + dr, p.col + dc, sheet.take(p.row, p.col)});
  std::vector<CellPos> overwritten;
  sheet.for_each_cell([&](const Cell& c) {
    if (dest.contains(c.row, c.col)) overwritten.push_back({c.row, c.col});
  });
  for (const CellPos& p : overwritten) drop_cell(sheet, p.row, p.col);
  for (auto& m : moving) sheet.put(m.row, m.col, std::move(m.cell));
  Calculator& calc = calc_of(sheet);
  calc.structure_changed();
  calc.cell_changed(sheet, from);
  calc.cell_changed(sheet, dest);
  sheet.book().changed = true;
  return std::nullopt;
}

std::optional<std::string> copy_cells(const Sheet& from_sheet, const Area& from, Sheet& to_sheet, CellPos to) {
  const Area dest{to.row, to.col, to.row + from.rows() - 1, to.col + from.cols() - 1};
  if (!from.valid() || !dest.valid()) return std::string("the cells would not fit the sheet");
  const int dr = dest.row1 - from.row1, dc = dest.col1 - from.col1;
  struct Copy {
    int row, col;
    Value value;
    std::unique_ptr<Formula> formula;
    std::string format, note;
  };
  std::vector<Copy> copies;
  from_sheet.for_each_cell([&](const Cell& c) {
    if (!from.contains(c.row, c.col) || !c.has_content()) return;
    Copy copy{c.row + dr, c.col + dc, c.value, nullptr, c.format, c.note};
    if (c.formula) {
      copy.formula = c.formula->clone();
      for_each_ref(*copy.formula->root, [&](Expr& e) { shift_relative(e, dr, dc); });
    }
    copies.push_back(std::move(copy));
  });
  std::vector<CellPos> overwritten;
  to_sheet.for_each_cell([&](const Cell& c) {
    if (dest.contains(c.row, c.col)) overwritten.push_back({c.row, c.col});
  });
  for (const CellPos& p : overwritten) drop_cell(to_sheet, p.row, p.col);
  Calculator& calc = calc_of(to_sheet);
  for (auto& copy : copies) {
    Cell& cell = to_sheet.ensure(copy.row, copy.col);
    cell.value = std::move(copy.value);
    cell.format = std::move(copy.format);
    cell.note = std::move(copy.note);
    if (copy.formula) {
      cell.formula = std::move(copy.formula);
      calc.formula_set(cell);
    }
  }
  calc.cell_changed(to_sheet, dest);
  to_sheet.book().changed = true;
  return std::nullopt;
}

void define_name(Workbook& book, std::string name, Sheet* scope, std::unique_ptr<Formula> refers_to, bool hidden) {
  for (auto& n : book.names())
    if (n.scope == scope && same_text_no_case(n.name, name)) {
      n.refers_to = std::move(refers_to);
      n.hidden = hidden;
      book.changed = true;
      book.app().calculator().names_changed();
      return;
    }
  DefinedName n;
  n.name = std::move(name);
  n.scope = scope;
  n.refers_to = std::move(refers_to);
  n.hidden = hidden;
  book.names().push_back(std::move(n));
  book.changed = true;
  book.app().calculator().names_changed();
}

bool delete_name(Workbook& book, std::string_view name, Sheet* scope) {
  auto& names = book.names();
  for (auto it = names.begin(); it != names.end(); ++it)
    if (it->scope == scope && same_text_no_case(it->name, name)) {
      names.erase(it);
      book.changed = true;
      book.app().calculator().names_changed();
      return true;
    }
  return false;
}

bool valid_defined_name(std::string_view name) {
  if (name.empty() || name.size() > 255) return false;
  const auto first = static_cast<unsigned char>(name[0]);
  if (!(std::isalpha(first) || first == '_' || first == '\\')) return false;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (!(std::isalnum(c) || c == '_' || c == '.' || c == '\\')) return false;
  }
  for (RefStyle style : {RefStyle::A1, RefStyle::R1C1}) {
    ParseOptions o;
    o.style = style;
    auto parsed = parse_formula("=" + std::string(name), o);
    if (!parsed.formula || parsed.formula->root->kind != ExprKind::Name) return false;
  }
  return true;
}

bool parse_reference_text(Sheet& base, const std::string& text, Sheet*& sheet, std::vector<Area>& areas) {
  std::string formula = text;
  if (formula.empty()) return false;
  if (formula[0] != '=') formula = "=" + formula;
  // Several areas written "A1:B2,C3" read as a union.
  if (formula.find(',') != std::string::npos && formula.find('(') == std::string::npos)
    formula = "=(" + formula.substr(1) + ")";
  auto parsed = parse_formula_any(formula, parse_options_for(base, base.active_cell));
  if (!parsed.formula) return false;
  RefValue ref;
  ErrorCode error = ErrorCode::Null;
  if (!evaluate_reference(*parsed.formula->root, base, base.active_cell, base.book().app().calculator(), ref, error) ||
      error != ErrorCode::Null || ref.areas.empty())
    return false;
  sheet = ref.sheet;
  areas = ref.areas;
  return true;
}

std::unique_ptr<Formula> reference_formula(Sheet& sheet, const std::vector<Area>& areas) {
  auto make_ref = [&](const Area& a) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Ref;
    e->sheet = &sheet;
    e->ref.area = a;
    e->ref.abs_row1 = e->ref.abs_row2 = e->ref.abs_col1 = e->ref.abs_col2 = true;
    if (a.whole_cols() && !a.whole_rows()) e->ref.shape = RefShape::Cols;
    else if (a.whole_rows() && !a.whole_cols()) e->ref.shape = RefShape::Rows;
    return e;
  };
  auto f = std::make_unique<Formula>();
  if (areas.size() == 1) {
    f->root = make_ref(areas[0]);
  } else {
    f->root = std::make_unique<Expr>();
    f->root->kind = ExprKind::Union;
    for (const Area& a : areas) f->root->args.push_back(make_ref(a));
  }
  return f;
}

}  // namespace kovo::sheet
