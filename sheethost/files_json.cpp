#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "sheethost/edit.h"
#include "sheethost/files.h"
#include "sheethost/formula.h"

namespace kovo::sheet {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kFormatVersion = 1;
constexpr std::size_t kMaxSheetName = 31;

struct Refusal {
  std::string message;
};

[[noreturn]] void refuse(const std::string& where, const std::string& what) { throw Refusal{where + ": " + what}; }

void only_keys(const Json& object, const std::string& where, std::initializer_list<const char*> allowed) {
  for (const auto& item : object.items()) {
    if (std::none_of(allowed.begin(), allowed.end(), [&](const char* k) { return item.key() == k; }))
      refuse(where, "unknown key \"" + item.key() + "\"");
  }
}

const Json& member(const Json& object, const char* key, const std::string& where) {
  auto it = object.find(key);
  if (it == object.end()) refuse(where, std::string("\"") + key + "\" is missing");
  return *it;
}

std::string text_of(const Json& j, const std::string& where) {
  if (!j.is_string()) refuse(where, "a text is expected");
  return j.get<std::string>();
}

bool bool_of(const Json& j, const std::string& where) {
  if (!j.is_boolean()) refuse(where, "true or false is expected");
  return j.get<bool>();
}

double number_of(const Json& j, const std::string& where) {
  if (!j.is_number()) refuse(where, "a number is expected");
  const double n = j.get<double>();
  if (!std::isfinite(n)) refuse(where, "the number is out of range");
  return n;
}

// "B7" (no "$"): the cell's position.
CellPos cell_address(const std::string& text, const std::string& where) {
  ParseOptions o;
  auto parsed = parse_formula("=" + text, o);
  if (text.find('$') != std::string::npos || !parsed.formula || parsed.formula->root->kind != ExprKind::Ref ||
      parsed.formula->root->ref.shape != RefShape::Cells || !parsed.formula->root->ref.area.single_cell())
    refuse(where, "\"" + text + "\" is not a cell address such as B7");
  return parsed.formula->root->ref.area.top_left();
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

Value scalar_value(const Json& j, const std::string& where) {
  if (j.is_number()) return Value::num(number_of(j, where));
  if (j.is_string()) return Value::str(j.get<std::string>());
  if (j.is_boolean()) return Value::logical(j.get<bool>());
  refuse(where, "a number, text or true/false is expected");
}

class Loader {
 public:
  Loader(Application& app, Workbook& book) : app_(app), book_(book) {}

  void load(const Json& root) {
    if (!root.is_object()) refuse("the file", "a JSON object is expected");
    only_keys(root, "the file", {"kovoSheet", "activeSheet", "sheets", "names"});
    const Json& version = member(root, "kovoSheet", "the file");
    if (!version.is_number_integer() || version.get<int>() != kFormatVersion)
      refuse("kovoSheet", "only version 1 of the workbook format is known");
    const Json& sheets = member(root, "sheets", "the file");
    if (!sheets.is_array() || sheets.empty()) refuse("sheets", "a list of at least one sheet is expected");
    // Sheets first, so that formulas can refer to any of them.
    for (std::size_t i = 0; i < sheets.size(); ++i) {
      const std::string where = "sheets[" + std::to_string(i) + "]";
      if (!sheets[i].is_object()) refuse(where, "an object is expected");
      const std::string name = text_of(member(sheets[i], "name", where), where + ".name");
      if (!valid_sheet_name(name)) refuse(where + ".name", "\"" + name + "\" is not a valid sheet name");
      if (book_.find_sheet(name)) refuse(where + ".name", "a second sheet is named \"" + name + "\"");
      book_.add_sheet(name);
    }
    for (std::size_t i = 0; i < sheets.size(); ++i)
      load_sheet(sheets[i], *book_.sheets()[i], "sheets[" + std::to_string(i) + "] (\"" + book_.sheets()[i]->name() + "\")");
    if (auto it = root.find("activeSheet"); it != root.end()) {
      const std::string name = text_of(*it, "activeSheet");
      Sheet* active = book_.find_sheet(name);
      if (!active) refuse("activeSheet", "no sheet is named \"" + name + "\"");
      book_.activate(*active);
    }
    if (auto it = root.find("names"); it != root.end()) load_names(*it);
  }

 private:
  ParseOptions options(const Sheet& sheet, CellPos owner) const {
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

  void load_sheet(const Json& j, Sheet& sheet, const std::string& where) {
    only_keys(j, where, {"name", "protected", "selection", "activeCell", "hiddenRows", "hiddenColumns",
                         "rowHeights", "columnWidths", "cells"});
    if (auto it = j.find("protected"); it != j.end()) sheet.protected_contents = bool_of(*it, where + ".protected");
    if (auto it = j.find("cells"); it != j.end()) {
      if (!it->is_object()) refuse(where + ".cells", "an object of cells by address is expected");
      for (const auto& item : it->items()) load_cell(item.value(), sheet, item.key(), where + ".cells." + item.key());
    }
    if (auto it = j.find("selection"); it != j.end()) {
      if (!it->is_array() || it->empty()) refuse(where + ".selection", "a list of ranges is expected");
      sheet.selection.clear();
      for (std::size_t i = 0; i < it->size(); ++i) {
        const std::string w = where + ".selection[" + std::to_string(i) + "]";
        sheet.selection.push_back(area_address(text_of((*it)[i], w), w));
      }
      sheet.active_cell = sheet.selection.front().top_left();
    }
    if (auto it = j.find("activeCell"); it != j.end()) {
      const CellPos p = cell_address(text_of(*it, where + ".activeCell"), where + ".activeCell");
      sheet.active_cell = p;
    }
    if (auto it = j.find("hiddenRows"); it != j.end()) {
      if (!it->is_array()) refuse(where + ".hiddenRows", "a list of row numbers is expected");
      for (std::size_t i = 0; i < it->size(); ++i) sheet.set_row_hidden(row_number((*it)[i], where + ".hiddenRows[" + std::to_string(i) + "]"), true);
    }
    if (auto it = j.find("hiddenColumns"); it != j.end()) {
      if (!it->is_array()) refuse(where + ".hiddenColumns", "a list of column letters is expected");
      for (std::size_t i = 0; i < it->size(); ++i)
        sheet.set_col_hidden(column_letters((*it)[i], where + ".hiddenColumns[" + std::to_string(i) + "]"), true);
    }
    if (auto it = j.find("rowHeights"); it != j.end()) {
      if (!it->is_object()) refuse(where + ".rowHeights", "an object of heights by row number is expected");
      for (const auto& item : it->items()) {
        const std::string w = where + ".rowHeights." + item.key();
        const int row = row_number(Json(std::atoi(item.key().c_str())), w);
        if (std::to_string(row + 1) != item.key()) refuse(w, "\"" + item.key() + "\" is not a row number");
        sheet.set_row_height(row, size_of(item.value(), w));
      }
    }
    if (auto it = j.find("columnWidths"); it != j.end()) {
      if (!it->is_object()) refuse(where + ".columnWidths", "an object of widths by column letters is expected");
      for (const auto& item : it->items()) {
        const std::string w = where + ".columnWidths." + item.key();
        sheet.set_col_width(column_letters(Json(item.key()), w), size_of(item.value(), w));
      }
    }
  }

  static double size_of(const Json& j, const std::string& where) {
    const double n = number_of(j, where);
    if (n < 0 || n > 409) refuse(where, "a size from 0 to 409 is expected");
    return n;
  }

  static int row_number(const Json& j, const std::string& where) {
    if (!j.is_number_integer() || j.get<long long>() < 1 || j.get<long long>() > kMaxRows)
      refuse(where, "a row number from 1 to 16384 is expected");
    return static_cast<int>(j.get<long long>()) - 1;
  }

  static int column_letters(const Json& j, const std::string& where) {
    if (!j.is_string()) refuse(where, "column letters such as \"C\" are expected");
    auto col = parse_column_name(j.get<std::string>());
    if (!col) refuse(where, "\"" + j.get<std::string>() + "\" is no column from A to IV");
    return *col;
  }

  void load_cell(const Json& j, Sheet& sheet, const std::string& address, const std::string& where) {
    const CellPos p = cell_address(address, where);
    if (sheet.find(p.row, p.col)) refuse(where, "the cell is given twice");
    Cell& cell = sheet.ensure(p.row, p.col);
    if (!j.is_object()) {
      cell.value = scalar_value(j, where);
      return;
    }
    only_keys(j, where, {"value", "error", "formula", "format", "note"});
    const bool has_value = j.contains("value"), has_error = j.contains("error");
    if (has_value && has_error) refuse(where, "a cell holds a value or an error, not both");
    if (has_value) cell.value = scalar_value(j.at("value"), where + ".value");
    if (has_error) {
      const std::string text = text_of(j.at("error"), where + ".error");
      auto code = parse_error_text(text);
      if (!code) refuse(where + ".error", "\"" + text + "\" is no error value such as #N/A");
      cell.value = Value::err(*code);
    }
    if (auto it = j.find("formula"); it != j.end()) {
      const std::string text = text_of(*it, where + ".formula");
      auto parsed = parse_formula_any(text, options(sheet, p));
      if (!parsed.formula)
        refuse(where + ".formula", "\"" + text + "\" does not parse: " + parsed.error + " (at character " +
                                       std::to_string(parsed.position + 1) + ")");
      cell.formula = std::move(parsed.formula);
    }
    if (auto it = j.find("format"); it != j.end()) cell.format = text_of(*it, where + ".format");
    if (auto it = j.find("note"); it != j.end()) cell.note = text_of(*it, where + ".note");
    if (!cell.has_content()) sheet.take(p.row, p.col);
  }

  void load_names(const Json& names) {
    if (!names.is_array()) refuse("names", "a list of names is expected");
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string where = "names[" + std::to_string(i) + "]";
      const Json& j = names[i];
      if (!j.is_object()) refuse(where, "an object is expected");
      only_keys(j, where, {"name", "refersTo", "sheet", "hidden"});
      DefinedName n;
      n.name = text_of(member(j, "name", where), where + ".name");
      if (!valid_defined_name(n.name)) refuse(where + ".name", "\"" + n.name + "\" is not a valid name");
      if (auto it = j.find("sheet"); it != j.end()) {
        const std::string sheet = text_of(*it, where + ".sheet");
        n.scope = book_.find_sheet(sheet);
        if (!n.scope) refuse(where + ".sheet", "no sheet is named \"" + sheet + "\"");
      }
      for (const auto& other : book_.names())
        if (other.scope == n.scope && same_text_no_case(other.name, n.name))
          refuse(where + ".name", "\"" + n.name + "\" is defined twice");
      if (auto it = j.find("hidden"); it != j.end()) n.hidden = bool_of(*it, where + ".hidden");
      const std::string text = text_of(member(j, "refersTo", where), where + ".refersTo");
      const Sheet& owner = n.scope ? *n.scope : *book_.sheets().front();
      auto parsed = parse_formula_any(text, options(owner, {}));
      if (!parsed.formula)
        refuse(where + ".refersTo", "\"" + text + "\" does not parse: " + parsed.error);
      n.refers_to = std::move(parsed.formula);
      book_.names().push_back(std::move(n));
    }
  }

  Application& app_;
  Workbook& book_;
};

Json cell_json(const Sheet& sheet, const Cell& cell) {
  const bool plain = !cell.formula && cell.format.empty() && cell.note.empty() && !cell.value.is_error() &&
                     !cell.value.is_empty();
  auto value_json = [](const Value& v) -> Json {
    if (v.is_number()) return v.number;
    if (v.is_bool()) return v.boolean;
    return v.text;
  };
  if (plain) return value_json(cell.value);
  Json j = Json::object();
  if (cell.formula) j["formula"] = print_formula(*cell.formula, print_options_for(sheet, {cell.row, cell.col}));
  if (cell.value.is_error()) j["error"] = std::string(error_text(cell.value.error));
  else if (!cell.value.is_empty()) j["value"] = value_json(cell.value);
  if (!cell.format.empty()) j["format"] = cell.format;
  if (!cell.note.empty()) j["note"] = cell.note;
  return j;
}

Json sheet_json(const Sheet& sheet) {
  Json j = Json::object();
  j["name"] = sheet.name();
  if (sheet.protected_contents) j["protected"] = true;
  Json selection = Json::array();
  for (const Area& a : sheet.selection) selection.push_back(area_a1(a, false));
  j["selection"] = selection;
  j["activeCell"] = area_a1(Area::cell(sheet.active_cell), false);
  if (!sheet.hidden_rows().empty()) {
    Json rows = Json::array();
    for (int r : sheet.hidden_rows()) rows.push_back(r + 1);
    j["hiddenRows"] = rows;
  }
  if (!sheet.hidden_cols().empty()) {
    Json cols = Json::array();
    for (int c : sheet.hidden_cols()) cols.push_back(column_name(c));
    j["hiddenColumns"] = cols;
  }
  if (!sheet.row_heights().empty()) {
    Json heights = Json::object();
    for (const auto& [r, h] : sheet.row_heights()) heights[std::to_string(r + 1)] = h;
    j["rowHeights"] = heights;
  }
  if (!sheet.col_widths().empty()) {
    Json widths = Json::object();
    for (const auto& [c, w] : sheet.col_widths()) widths[column_name(c)] = w;
    j["columnWidths"] = widths;
  }
  std::vector<const Cell*> cells;
  sheet.for_each_cell([&](const Cell& c) {
    if (c.has_content()) cells.push_back(&c);
  });
  std::sort(cells.begin(), cells.end(),
            [](const Cell* a, const Cell* b) { return a->row != b->row ? a->row < b->row : a->col < b->col; });
  Json cell_map = Json::object();
  for (const Cell* c : cells) cell_map[area_a1(Area::cell(c->row, c->col), false)] = cell_json(sheet, *c);
  j["cells"] = cell_map;
  return j;
}

}  // namespace

LoadResult workbook_from_json(Application& app, const std::string& text, const std::string& name) {
  LoadResult result;
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& e) {
    result.error = std::string("the file is not valid JSON (") + e.what() + ")";
    return result;
  }
  auto book = app.make_workbook(name);
  try {
    Loader(app, *book).load(root);
  } catch (const Refusal& r) {
    result.error = r.message;
    return result;
  } catch (const Json::exception& e) {
    result.error = std::string("the file breaks the workbook format (") + e.what() + ")";
    return result;
  }
  book->changed = false;
  result.book = std::move(book);
  return result;
}

std::string workbook_to_json(const Workbook& book) {
  Json root = Json::object();
  root["kovoSheet"] = kFormatVersion;
  root["activeSheet"] = book.active_sheet().name();
  Json sheets = Json::array();
  for (const auto& s : book.sheets()) sheets.push_back(sheet_json(*s));
  root["sheets"] = sheets;
  if (!book.names().empty()) {
    Json names = Json::array();
    for (const auto& n : book.names()) {
      Json j = Json::object();
      j["name"] = n.name;
      if (n.scope) j["sheet"] = n.scope->name();
      const Sheet& owner = n.scope ? *n.scope : *book.sheets().front();
      j["refersTo"] = n.refers_to ? print_formula(*n.refers_to, print_options_for(owner, {})) : "=#REF!";
      if (n.hidden) j["hidden"] = true;
      names.push_back(j);
    }
    root["names"] = names;
  }
  return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

LoadResult load_workbook_file(Application& app, const std::string& path) {
  std::string text;
  if (auto error = read_text_file(path, text)) return {nullptr, *error};
  auto result = workbook_from_json(app, text, file_name_of(path));
  if (result.book) result.book->set_path(path);
  else result.error = path + ": " + result.error;
  return result;
}

std::optional<std::string> save_workbook_file(Workbook& book, const std::string& path) {
  if (auto error = write_text_file_atomically(path, workbook_to_json(book))) return error;
  book.set_path(path);
  book.changed = false;
  return std::nullopt;
}

}  // namespace kovo::sheet
