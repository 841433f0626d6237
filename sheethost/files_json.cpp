#include <algorithm>
#include <cmath>

#include "sheethost/edit.h"
#include "sheethost/files.h"
#include "sheethost/formula.h"
#include "sheethost/json.h"

namespace kovo::sheet {

namespace {

using Node = json::Value;

constexpr int kFormatVersion = 1;
constexpr std::size_t kMaxSheetName = 31;

struct Refusal {
  std::string message;
};

[[noreturn]] void refuse(const std::string& where, const std::string& what) { throw Refusal{where + ": " + what}; }

void only_keys(const Node& object, const std::string& where, std::initializer_list<const char*> allowed) {
  object.for_each_member([&](const std::string& key, const Node&) {
    if (std::none_of(allowed.begin(), allowed.end(), [&](const char* k) { return key == k; }))
      refuse(where, "unknown key \"" + key + "\"");
  });
}

Node member(const Node& object, const char* key, const std::string& where) {
  auto found = object.find(key);
  if (!found) refuse(where, std::string("\"") + key + "\" is missing");
  return *found;
}

std::string text_of(const Node& j, const std::string& where) {
  if (!j.is_string()) refuse(where, "a text is expected");
  return j.string();
}

bool bool_of(const Node& j, const std::string& where) {
  if (!j.is_bool()) refuse(where, "true or false is expected");
  return j.boolean();
}

double number_of(const Node& j, const std::string& where) {
  if (!j.is_number()) refuse(where, "a number is expected");
  const auto n = j.number();
  if (!n) refuse(where, "the number " + std::string(j.literal()) + " is out of range");
  return *n;
}

// "B7" (no "$"): the cell's position.
CellPos cell_address(const std::string& text, const std::string& where) {
  auto p = parse_cell_address(text);
  if (!p) refuse(where, "\"" + text + "\" is not a cell address such as B7");
  return *p;
}

Area area_address(const std::string& text, const std::string& where) {
  ParseOptions o;
  auto parsed = parse_formula("=" + text, o);
  if (!parsed.formula || parsed.formula->root->kind != ExprKind::Ref)
    refuse(where, "\"" + text + "\" is not a range such as A1:B3");
  return parsed.formula->root->ref.area;
}

bool valid_sheet_name(const std::string& name) {
  if (name.empty() || name.size() > kMaxSheetName) return false;
  if (name.front() == '\'' || name.back() == '\'') return false;
  return name.find_first_of("[]:*?/\\") == std::string::npos;
}

Value scalar_value(const Node& j, const std::string& where) {
  if (j.is_number()) return Value::num(number_of(j, where));
  if (j.is_string()) return Value::str(j.string());
  if (j.is_bool()) return Value::logical(j.boolean());
  refuse(where, "a number, text or true/false is expected");
}

int row_number(const Node& j, const std::string& where) {
  const auto n = j.is_number() ? j.integer() : std::nullopt;
  if (!n || *n < 1 || *n > kMaxRows) refuse(where, "a row number from 1 to " + std::to_string(kMaxRows) + " is expected");
  return static_cast<int>(*n) - 1;
}

int row_key(const std::string& key, const std::string& where) {
  const auto p = parse_cell_address("A" + key);
  if (!p || std::to_string(p->row + 1) != key) refuse(where, "\"" + key + "\" is not a row number");
  return p->row;
}

int column_letters(const std::string& letters, const std::string& where) {
  auto col = parse_column_name(letters);
  if (!col) refuse(where, "\"" + letters + "\" is no column from A to " + column_name(kMaxCols - 1));
  return *col;
}

int column_of(const Node& j, const std::string& where) {
  if (!j.is_string()) refuse(where, "column letters such as \"C\" are expected");
  return column_letters(j.string(), where);
}

double size_of(const Node& j, const std::string& where) {
  const double n = number_of(j, where);
  if (n < 0 || n > 409) refuse(where, "a size from 0 to 409 is expected");
  return n;
}

class Loader {
 public:
  Loader(Application& app, Workbook& book) : app_(app), book_(book) {}

  void load(const Node& root) {
    if (!root.is_object()) refuse("the file", "a JSON object is expected");
    only_keys(root, "the file", {"kovoSheet", "activeSheet", "sheets", "names"});
    const Node version = member(root, "kovoSheet", "the file");
    if (!version.is_number() || version.integer() != kFormatVersion)
      refuse("kovoSheet", "only version 1 of the workbook format is known");
    const Node sheets = member(root, "sheets", "the file");
    if (!sheets.is_array() || sheets.size() == 0) refuse("sheets", "a list of at least one sheet is expected");
    const std::vector<Node> items = sheets.items();
    // Sheets first, so that formulas can refer to any of them.
    for (std::size_t i = 0; i < items.size(); ++i) {
      const std::string where = "sheets[" + std::to_string(i) + "]";
      if (!items[i].is_object()) refuse(where, "an object is expected");
      const std::string name = text_of(member(items[i], "name", where), where + ".name");
      if (!valid_sheet_name(name)) refuse(where + ".name", "\"" + name + "\" is not a valid sheet name");
      if (book_.find_sheet(name)) refuse(where + ".name", "a second sheet is named \"" + name + "\"");
      book_.add_sheet(name);
    }
    for (std::size_t i = 0; i < items.size(); ++i)
      load_sheet(items[i], *book_.sheets()[i], "sheets[" + std::to_string(i) + "] (\"" + book_.sheets()[i]->name() + "\")");
    if (auto active_name = root.find("activeSheet")) {
      const std::string name = text_of(*active_name, "activeSheet");
      Sheet* active = book_.find_sheet(name);
      if (!active) refuse("activeSheet", "no sheet is named \"" + name + "\"");
      book_.activate(*active);
    }
    if (auto names = root.find("names")) load_names(*names);
  }

 private:
  ParseOptions options(CellPos owner) const {
    ParseOptions o;
    o.owner = owner;
    o.list_separator = app_.list_separator;
    const Workbook* book = &book_;
    const Application* app = &app_;
    o.resolve_sheet = [book, app](std::string_view book_name, std::string_view sheet_name) -> Sheet* {
      if (book_name.empty() || same_text_no_case(book_name, book->name())) return book->find_sheet(sheet_name);
      return app->resolve_sheet(book_name, sheet_name);
    };
    return o;
  }

  void load_sheet(const Node& j, Sheet& sheet, const std::string& where) {
    only_keys(j, where, {"name", "protected", "selection", "activeCell", "hiddenRows", "hiddenColumns",
                         "rowHeights", "columnWidths", "cells"});
    if (auto p = j.find("protected")) sheet.protected_contents = bool_of(*p, where + ".protected");
    if (auto cells = j.find("cells")) {
      if (!cells->is_object()) refuse(where + ".cells", "an object of cells by address is expected");
      const std::string prefix = where + ".cells.";
      cells->for_each_member([&](const std::string& address, const Node& cell) { load_cell(cell, sheet, address, prefix); });
    }
    if (auto selection = j.find("selection")) {
      if (!selection->is_array() || selection->size() == 0) refuse(where + ".selection", "a list of ranges is expected");
      sheet.selection.clear();
      const auto areas = selection->items();
      for (std::size_t i = 0; i < areas.size(); ++i) {
        const std::string w = where + ".selection[" + std::to_string(i) + "]";
        sheet.selection.push_back(area_address(text_of(areas[i], w), w));
      }
      sheet.active_cell = sheet.selection.front().top_left();
    }
    if (auto active = j.find("activeCell"))
      sheet.active_cell = cell_address(text_of(*active, where + ".activeCell"), where + ".activeCell");
    if (auto rows = j.find("hiddenRows")) {
      if (!rows->is_array()) refuse(where + ".hiddenRows", "a list of row numbers is expected");
      const auto items = rows->items();
      for (std::size_t i = 0; i < items.size(); ++i)
        sheet.set_row_hidden(row_number(items[i], where + ".hiddenRows[" + std::to_string(i) + "]"), true);
    }
    if (auto cols = j.find("hiddenColumns")) {
      if (!cols->is_array()) refuse(where + ".hiddenColumns", "a list of column letters is expected");
      const auto items = cols->items();
      for (std::size_t i = 0; i < items.size(); ++i)
        sheet.set_col_hidden(column_of(items[i], where + ".hiddenColumns[" + std::to_string(i) + "]"), true);
    }
    if (auto heights = j.find("rowHeights")) {
      if (!heights->is_object()) refuse(where + ".rowHeights", "an object of heights by row number is expected");
      heights->for_each_member([&](const std::string& key, const Node& size) {
        const std::string w = where + ".rowHeights." + key;
        sheet.set_row_height(row_key(key, w), size_of(size, w));
      });
    }
    if (auto widths = j.find("columnWidths")) {
      if (!widths->is_object()) refuse(where + ".columnWidths", "an object of widths by column letters is expected");
      widths->for_each_member([&](const std::string& key, const Node& size) {
        const std::string w = where + ".columnWidths." + key;
        sheet.set_col_width(column_letters(key, w), size_of(size, w));
      });
    }
  }

  // One cell; "prefix" is the place of the sheet's cells, so that a refusal
  // names the cell ("sheets[0] (\"S\").cells.B7"). Plain values, most of a
  // workbook, are taken without building that place.
  void load_cell(const Node& j, Sheet& sheet, const std::string& address, const std::string& prefix) {
    const auto p = parse_cell_address(address);
    if (!p) refuse(prefix + address, "\"" + address + "\" is not a cell address such as B7");
    if (sheet.find(p->row, p->col)) refuse(prefix + address, "the cell is given twice");
    if (!j.is_object()) {
      Value value;
      if (j.is_number()) {
        const auto n = j.number();
        if (!n) refuse(prefix + address, "the number " + std::string(j.literal()) + " is out of range");
        value = Value::num(*n);
      } else if (j.is_string()) {
        value = Value::str(j.string());
      } else if (j.is_bool()) {
        value = Value::logical(j.boolean());
      } else {
        refuse(prefix + address, "a number, text or true/false is expected");
      }
      sheet.ensure(p->row, p->col).value = std::move(value);
      return;
    }
    const std::string where = prefix + address;
    Cell& cell = sheet.ensure(p->row, p->col);
    only_keys(j, where, {"value", "error", "formula", "format", "note"});
    const auto value = j.find("value"), error = j.find("error");
    if (value && error) refuse(where, "a cell holds a value or an error, not both");
    if (value) cell.value = scalar_value(*value, where + ".value");
    if (error) {
      const std::string text = text_of(*error, where + ".error");
      auto code = parse_error_text(text);
      if (!code) refuse(where + ".error", "\"" + text + "\" is no error value such as #N/A");
      cell.value = Value::err(*code);
    }
    if (auto formula = j.find("formula")) {
      const std::string text = text_of(*formula, where + ".formula");
      auto parsed = parse_formula_any(text, options(*p));
      if (!parsed.formula)
        refuse(where + ".formula", "\"" + text + "\" does not parse: " + parsed.error + " (at character " +
                                       std::to_string(parsed.position + 1) + ")");
      cell.formula = std::move(parsed.formula);
    }
    if (auto format = j.find("format")) cell.format = text_of(*format, where + ".format");
    if (auto note = j.find("note")) cell.note = text_of(*note, where + ".note");
    if (!cell.has_content()) sheet.take(p->row, p->col);
  }

  void load_names(const Node& names) {
    if (!names.is_array()) refuse("names", "a list of names is expected");
    const auto items = names.items();
    for (std::size_t i = 0; i < items.size(); ++i) {
      const std::string where = "names[" + std::to_string(i) + "]";
      const Node& j = items[i];
      if (!j.is_object()) refuse(where, "an object is expected");
      only_keys(j, where, {"name", "refersTo", "sheet", "hidden"});
      DefinedName n;
      n.name = text_of(member(j, "name", where), where + ".name");
      if (!valid_defined_name(n.name)) refuse(where + ".name", "\"" + n.name + "\" is not a valid name");
      if (auto scope = j.find("sheet")) {
        const std::string sheet = text_of(*scope, where + ".sheet");
        n.scope = book_.find_sheet(sheet);
        if (!n.scope) refuse(where + ".sheet", "no sheet is named \"" + sheet + "\"");
      }
      for (const auto& other : book_.names())
        if (other.scope == n.scope && same_text_no_case(other.name, n.name))
          refuse(where + ".name", "\"" + n.name + "\" is defined twice");
      if (auto hidden = j.find("hidden")) n.hidden = bool_of(*hidden, where + ".hidden");
      const std::string text = text_of(member(j, "refersTo", where), where + ".refersTo");
      auto parsed = parse_formula_any(text, options({}));
      if (!parsed.formula) refuse(where + ".refersTo", "\"" + text + "\" does not parse: " + parsed.error);
      n.refers_to = std::move(parsed.formula);
      book_.names().push_back(std::move(n));
    }
  }

  Application& app_;
  Workbook& book_;
};

// ------------------------------------------------------------------ writing

void write_plain_value(json::Writer& w, const Value& v) {
  if (v.is_number()) w.number(v.number);
  else if (v.is_bool()) w.boolean(v.boolean);
  else w.string(v.text);
}

void write_cell(json::Writer& w, const Sheet& sheet, const Cell& cell) {
  const bool plain = !cell.formula && cell.format.empty() && cell.note.empty() && !cell.value.is_error() &&
                     !cell.value.is_empty();
  if (plain) return write_plain_value(w, cell.value);
  w.begin_object();
  if (cell.formula) {
    w.key("formula");
    w.string(print_formula(*cell.formula, print_options_for(sheet, {cell.row, cell.col})));
  }
  if (cell.value.is_error()) {
    w.key("error");
    w.string(error_text(cell.value.error));
  } else if (!cell.value.is_empty()) {
    w.key("value");
    write_plain_value(w, cell.value);
  }
  if (!cell.format.empty()) {
    w.key("format");
    w.string(cell.format);
  }
  if (!cell.note.empty()) {
    w.key("note");
    w.string(cell.note);
  }
  w.end_object();
}

void write_sheet(json::Writer& w, const Sheet& sheet) {
  w.begin_object();
  w.key("name");
  w.string(sheet.name());
  if (sheet.protected_contents) {
    w.key("protected");
    w.boolean(true);
  }
  w.key("selection");
  w.begin_array();
  for (const Area& a : sheet.selection) w.string(area_a1(a, false));
  w.end_array();
  w.key("activeCell");
  w.string(area_a1(Area::cell(sheet.active_cell), false));
  if (!sheet.hidden_rows().empty()) {
    w.key("hiddenRows");
    w.begin_array();
    for (int r : sheet.hidden_rows()) w.integer(r + 1);
    w.end_array();
  }
  if (!sheet.hidden_cols().empty()) {
    w.key("hiddenColumns");
    w.begin_array();
    for (int c : sheet.hidden_cols()) w.string(column_name(c));
    w.end_array();
  }
  if (!sheet.row_heights().empty()) {
    w.key("rowHeights");
    w.begin_object();
    for (const auto& [r, h] : sheet.row_heights()) {
      w.key(std::to_string(r + 1));
      w.number(h);
    }
    w.end_object();
  }
  if (!sheet.col_widths().empty()) {
    w.key("columnWidths");
    w.begin_object();
    for (const auto& [c, width] : sheet.col_widths()) {
      w.key(column_name(c));
      w.number(width);
    }
    w.end_object();
  }
  // Row by row, as a person reads the sheet.
  std::vector<const Cell*> cells;
  sheet.for_each_cell([&](const Cell& c) {
    if (c.has_content()) cells.push_back(&c);
  });
  std::sort(cells.begin(), cells.end(),
            [](const Cell* a, const Cell* b) { return a->row != b->row ? a->row < b->row : a->col < b->col; });
  w.key("cells");
  w.begin_object();
  for (const Cell* c : cells) {
    w.key(area_a1(Area::cell(c->row, c->col), false));
    write_cell(w, sheet, *c);
  }
  w.end_object();
  w.end_object();
}

}  // namespace

LoadResult workbook_from_json(Application& app, const std::string& text, const std::string& name) {
  LoadResult result;
  std::string error;
  const auto doc = json::Document::parse(text, error);
  if (!doc) {
    result.error = "the file is not valid JSON (" + error + ")";
    return result;
  }
  auto book = app.make_workbook(name);
  try {
    Loader(app, *book).load(doc->root());
  } catch (const Refusal& r) {
    result.error = r.message;
    return result;
  }
  book->changed = false;
  result.book = std::move(book);
  return result;
}

std::string workbook_to_json(const Workbook& book) {
  json::Writer w;
  w.begin_object();
  w.key("kovoSheet");
  w.integer(kFormatVersion);
  w.key("activeSheet");
  w.string(book.active_sheet().name());
  w.key("sheets");
  w.begin_array();
  for (const auto& s : book.sheets()) write_sheet(w, *s);
  w.end_array();
  if (!book.names().empty()) {
    w.key("names");
    w.begin_array();
    for (const auto& n : book.names()) {
      w.begin_object();
      w.key("name");
      w.string(n.name);
      if (n.scope) {
        w.key("sheet");
        w.string(n.scope->name());
      }
      const Sheet& owner = n.scope ? *n.scope : *book.sheets().front();
      w.key("refersTo");
      w.string(n.refers_to ? print_formula(*n.refers_to, print_options_for(owner, {})) : "=#REF!");
      if (n.hidden) {
        w.key("hidden");
        w.boolean(true);
      }
      w.end_object();
    }
    w.end_array();
  }
  w.end_object();
  w.text() += '\n';
  return std::move(w.text());
}

}  // namespace kovo::sheet
