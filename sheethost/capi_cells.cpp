// Cells and selection: values read and written, formulas, notes and
// formats, the selection, the clipboard, inserted cells and the rows and
// columns shown.
#include <algorithm>
#include <cmath>
#include <set>

#include "sheethost/capi_impl.h"
#include "sheethost/number_format.h"

namespace kovo::sheet {

int CApi::Impl::coerce(const Args& a, Oper& r) {
  const Oper& source = a.at(0);
  Oper value;
  if (source.is_reference()) {
    Sheet* sheet = sheet_of(source);
    if (!sheet || source.areas.empty()) return xlretFailed;
    if (source.areas.size() > 1) return xlretFailed;
    const Area& area = source.areas[0];
    const bool wants_single = a.given(1) && !(static_cast<int>(number_arg(a.at(1)).value_or(0)) & xltypeMulti);
    if (area.single_cell() || wants_single) {
      Value v;
      if (!cell_value(*sheet, area.row1, area.col1, v)) return xlretUncalced;
      value = value_to_oper(v);
    } else {
      if (area.cell_count() > 1'000'000) return xlretFailed;
      value.type = OperType::Multi;
      value.rows = area.rows();
      value.cols = area.cols();
      for (int row = area.row1; row <= area.row2; ++row)
        for (int col = area.col1; col <= area.col2; ++col) {
          Value v;
          if (!cell_value(*sheet, row, col, v)) return xlretUncalced;
          value.items.push_back(value_to_oper(v));
        }
    }
  } else if (source.type == OperType::Missing) {
    value = Oper::nil();
  } else {
    value = source;
  }
  if (!a.given(1)) {
    r = value;
    return xlretSuccess;
  }
  const int mask = static_cast<int>(number_arg(a.at(1)).value_or(0));
  auto converted = convert(value, mask);
  if (!converted) return xlretFailed;
  r = *converted;
  return xlretSuccess;
}

int CApi::Impl::coerce_for_addin(const Args& a, Oper& r) {
  const int code = coerce(a, r);
  if (code != xlretSuccess || refused_books.empty() || !a.at(0).is_reference()) return code;
  const Sheet* sheet = sheet_of(a.at(0));
  if (!sheet) return code;
  for (const std::string& book : refused_books)
    if (same_text_no_case(book, sheet->book().name())) {
      trace("xlCoerce: direct reading of " + Application::full_name(*sheet) + " is refused");
      r = Oper();
      return xlretFailed;
    }
  return code;
}

// One of the accepted types, trying the value's own type first, then
// number, text, logical, integer, error.
std::optional<Oper> CApi::Impl::convert(const Oper& in, int mask) {
  Oper v = in;
  if (v.type == OperType::Multi && !(mask & xltypeMulti)) {
    if (v.items.empty()) return std::nullopt;
    Oper first = v.items[0];
    v = first;
  }
  auto type_bit = [](OperType t) {
    switch (t) {
      case OperType::Num: return xltypeNum;
      case OperType::Str: return xltypeStr;
      case OperType::Bool: return xltypeBool;
      case OperType::Err: return xltypeErr;
      case OperType::Int: return xltypeInt;
      case OperType::Multi: return xltypeMulti;
      case OperType::Nil: return xltypeNil;
      case OperType::Missing: return xltypeMissing;
      default: return 0;
    }
  };
  if (mask & type_bit(v.type)) return v;
  // A single value asked for as an array is an array of one item, as a
  // one-cell reference is.
  if (v.type != OperType::Multi && mask == xltypeMulti) {
    Oper out;
    out.type = OperType::Multi;
    out.rows = 1;
    out.cols = 1;
    out.items.push_back(v);
    return out;
  }
  if (v.type == OperType::Multi) {
    Oper out = v;
    for (auto& item : out.items) {
      auto c = convert(item, mask);
      if (!c) return std::nullopt;
      item = *c;
    }
    return out;
  }
  const Value value = oper_to_value(v);
  if (value.is_error()) {
    if (mask & xltypeErr) return Oper::error(static_cast<int>(value.error));
    return std::nullopt;
  }
  if (mask & xltypeNum) {
    const auto n = value_to_number(value);
    if (!n.error && !(value.is_text() && value.text.empty())) return Oper::number(n.number);
  }
  if (mask & xltypeStr) return Oper::text(value_to_text(value));
  if (mask & xltypeBool) {
    if (value.is_bool()) return Oper::logical(value.boolean);
    if (value.is_number() || value.is_empty()) return Oper::logical(value.number != 0);
    if (value.is_text() && same_text_no_case(value.text, "TRUE")) return Oper::logical(true);
    if (value.is_text() && same_text_no_case(value.text, "FALSE")) return Oper::logical(false);
  }
  if (mask & xltypeInt) {
    const auto n = value_to_number(value);
    if (!n.error) {
      const double t = std::trunc(n.number);
      if (t >= -2147483648.0 && t <= 2147483647.0) return Oper::integer(static_cast<int>(t));
    }
  }
  if ((mask & xltypeNil) && value.is_empty()) return Oper::nil();
  return std::nullopt;
}

int CApi::Impl::set(const Args& a, Oper& r) {
  Sheet* sheet = nullptr;
  std::vector<Area> areas;
  if (!reference_of(a.at(0), sheet, areas, false) || areas.size() != 1) return xlretFailed;
  if (!writable(*sheet)) return xlretFailed;
  const Area& area = areas[0];
  if (area.cell_count() > 1'000'000) return xlretFailed;
  const Oper& v = a.at(1);
  if (v.type == OperType::Missing) {
    clear_contents(*sheet, area);
  } else if (v.type == OperType::Multi) {
    for (int row = 0; row < area.rows(); ++row)
      for (int col = 0; col < area.cols(); ++col) {
        Value cell = Value::err(ErrorCode::NA);
        if (row < v.rows && col < v.cols) cell = oper_to_value(v.items[static_cast<std::size_t>(row * v.cols + col)]);
        set_value(*sheet, area.row1 + row, area.col1 + col, cell);
      }
  } else if (v.is_reference()) {
    return xlretFailed;
  } else {
    const Value cell = oper_to_value(v);
    for (int row = area.row1; row <= area.row2; ++row)
      for (int col = area.col1; col <= area.col2; ++col) set_value(*sheet, row, col, cell);
  }
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::active_cell(const Args&, Oper& r) {
  Sheet* sheet = app.active_sheet();
  if (!sheet) return xlretFailed;
  r = reference_oper(*sheet, {Area::cell(sheet->active_cell)});
  return xlretSuccess;
}

int CApi::Impl::selection(const Args&, Oper& r) {
  Sheet* sheet = app.active_sheet();
  if (!sheet) return xlretFailed;
  r = reference_oper(*sheet, sheet->selection);
  return xlretSuccess;
}

int CApi::Impl::select(const Args& a, Oper& r) {
  Sheet* active = app.active_sheet();
  if (!active) return xlretFailed;
  std::vector<Area> areas = active->selection;
  if (a.given(0)) {
    Sheet* sheet = nullptr;
    if (!reference_of(a.at(0), sheet, areas) || sheet != active) return xlretFailed;
  }
  CellPos cell = areas.front().top_left();
  if (a.given(1)) {
    Sheet* sheet = nullptr;
    std::vector<Area> at;
    if (!reference_of(a.at(1), sheet, at) || sheet != active) return xlretFailed;
    cell = at.front().top_left();
    if (std::none_of(areas.begin(), areas.end(), [&](const Area& x) { return x.contains(cell.row, cell.col); }))
      return xlretFailed;
  }
  active->selection = areas;
  active->active_cell = cell;
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::get_formula(const Args& a, Oper& r) {
  Sheet* sheet = nullptr;
  std::vector<Area> areas;
  if (!reference_of(a.at(0), sheet, areas)) return xlretFailed;
  r = Oper::text(cell_formula_text(*sheet, areas[0].row1, areas[0].col1, RefStyle::R1C1));
  return xlretSuccess;
}

int CApi::Impl::formula(const Args& a, Oper& r) {
  Sheet* sheet = nullptr;
  CellPos at;
  if (!cell_arg(a, 1, sheet, at)) return xlretFailed;
  if (!writable(*sheet)) return xlretFailed;
  const Oper& content = a.at(0);
  if (content.type == OperType::Str) {
    if (auto error = enter(*sheet, at.row, at.col, content.str)) {
      trace("  " + *error);
      return xlretFailed;
    }
  } else if (content.type == OperType::Missing || content.type == OperType::Nil) {
    clear_contents(*sheet, Area::cell(at));
  } else if (content.is_reference() || content.type == OperType::Multi) {
    return xlretFailed;
  } else {
    set_value(*sheet, at.row, at.col, oper_to_value(content));
  }
  // An entered formula is calculated at once, whatever the mode.
  if (Cell* cell = sheet->find(at.row, at.col); cell && cell->formula && app.calc_mode != CalcMode::Automatic)
    app.calculator().calculate_cell(*cell);
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::format_number(const Args& a, Oper& r) {
  auto format = text_arg(a.at(0));
  Sheet* sheet = app.active_sheet();
  if (!format || !sheet || !writable(*sheet)) return xlretFailed;
  for (const Area& area : sheet->selection) set_number_format(*sheet, area, same_text_no_case(*format, "General") ? "" : *format);
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::note(const Args& a, Oper& r) {
  Sheet* sheet = nullptr;
  CellPos at;
  if (!cell_arg(a, 1, sheet, at) || !writable(*sheet)) return xlretFailed;
  const Cell* cell = sheet->find(at.row, at.col);
  std::string text = cell ? cell->note : std::string();
  if (!a.given(0) && !a.given(2)) {
    set_note(*sheet, at.row, at.col, "");
    r = Oper::logical(true);
    return xlretSuccess;
  }
  const std::string add = text_arg(a.at(0)).value_or("");
  const double start = number_arg(a.at(2)).value_or(1);
  const double count = number_arg(a.at(3)).value_or(static_cast<double>(text.size()));
  std::size_t from = 0, length = 0;
  if (!text_span(text, start, count, from, length)) return xlretFailed;
  text.replace(from, length, add);
  set_note(*sheet, at.row, at.col, text);
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::get_note(const Args& a, Oper& r) {
  Sheet* sheet = nullptr;
  CellPos at;
  if (!cell_arg(a, 0, sheet, at)) return xlretFailed;
  const Cell* cell = sheet->find(at.row, at.col);
  const std::string text = cell ? cell->note : std::string();
  std::size_t from = 0, length = 0;
  if (!text_span(text, number_arg(a.at(1)).value_or(1), number_arg(a.at(2)).value_or(255), from, length))
    return xlretFailed;
  r = Oper::text(text.substr(from, length));
  return xlretSuccess;
}

int CApi::Impl::get_cell(const Args& a, Oper& r) {
  const int type = static_cast<int>(number_arg(a.at(0)).value_or(0));
  Sheet* sheet = nullptr;
  CellPos at;
  if (!cell_arg(a, 1, sheet, at)) return xlretFailed;
  const Cell* cell = sheet->find(at.row, at.col);
  const Value value = cell ? cell->value : Value{};
  switch (type) {
    case 1: r = Oper::text(area_a1(Area::cell(at), true)); break;
    case 2: r = Oper::number(at.row + 1); break;
    case 3: r = Oper::number(at.col + 1); break;
    case 4:
      r = Oper::number(value.is_text() ? 2 : value.is_bool() ? 4 : value.is_error() ? 16 : 1);
      break;
    case 5: r = value_to_oper(value); break;
    case 6: case 41: r = Oper::text(cell_formula_text(*sheet, at.row, at.col, RefStyle::A1)); break;
    case 7: r = Oper::text(cell && !cell->format.empty() ? cell->format : "General"); break;
    case 8: r = Oper::number(1); break;
    case 16: r = Oper::number(sheet->col_hidden(at.col) ? 0 : sheet->col_width(at.col).value_or(8.43)); break;
    case 17: r = Oper::number(sheet->row_hidden(at.row) ? 0 : sheet->row_height(at.row).value_or(12.75)); break;
    case 32: case 62: r = Oper::text(Application::full_name(*sheet)); break;
    case 46: r = Oper::logical(cell && !cell->note.empty()); break;
    case 48: r = Oper::logical(cell && cell->formula); break;
    case 53: r = Oper::text(cell ? format_value(value, cell->format) : ""); break;
    case 66: r = Oper::text(sheet->book().name()); break;
    default: r = Oper::error(xlerrValue); break;
  }
  return xlretSuccess;
}

std::string CApi::Impl::table_text(const Sheet& sheet, const Area& area) {
  std::string text;
  for (int row = area.row1; row <= area.row2; ++row) {
    for (int col = area.col1; col <= area.col2; ++col) {
      if (col > area.col1) text += '\t';
      if (const Cell* cell = sheet.find(row, col)) text += format_value(cell->value, cell->format);
    }
    text += "\r\n";
  }
  return text;
}

bool CApi::Impl::source_area(const Args& a, Sheet*& sheet, Area& area) {
  std::vector<Area> areas;
  if (a.given(0)) {
    if (!reference_of(a.at(0), sheet, areas)) return false;
  } else {
    sheet = app.active_sheet();
    if (!sheet) return false;
    areas = sheet->selection;
  }
  if (areas.size() != 1) return false;
  area = areas[0];
  return true;
}

bool CApi::Impl::target_cell(const Oper& o, Sheet*& sheet, CellPos& at) {
  if (o.type == OperType::Missing || o.type == OperType::Nil) {
    sheet = app.active_sheet();
    if (!sheet) return false;
    at = sheet->selection.front().top_left();
    return true;
  }
  std::vector<Area> areas;
  if (!reference_of(o, sheet, areas)) return false;
  at = areas[0].top_left();
  return true;
}

int CApi::Impl::copy_or_cut(const Args& a, Oper& r, bool cut) {
  Sheet* sheet = nullptr;
  Area area;
  if (!source_area(a, sheet, area) || area.cell_count() > 1'000'000) return xlretFailed;
  if (a.given(1)) {
    Sheet* to_sheet = nullptr;
    CellPos to;
    if (!target_cell(a.at(1), to_sheet, to) || !writable(*to_sheet)) return xlretFailed;
    std::optional<std::string> error;
    if (cut) {
      if (to_sheet != sheet || !writable(*sheet)) return xlretFailed;
      error = move_cells(*sheet, area, to);
    } else {
      error = copy_cells(*sheet, area, *to_sheet, to);
    }
    if (error) {
      trace("  " + *error);
      return xlretFailed;
    }
    clip.active = false;
    r = Oper::logical(true);
    return xlretSuccess;
  }
  if (!services.set_clipboard_text(table_text(*sheet, area))) return xlretFailed;
  clip = {true, cut, sheet->id(), area, services.clipboard_sequence()};
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::copy(const Args& a, Oper& r) { return copy_or_cut(a, r, false); }

int CApi::Impl::cut(const Args& a, Oper& r) { return copy_or_cut(a, r, true); }

int CApi::Impl::paste(const Args& a, Oper& r) {
  Sheet* sheet = nullptr;
  CellPos at;
  if (!target_cell(a.at(0), sheet, at) || !writable(*sheet)) return xlretFailed;
  Sheet* source = clip.active ? app.find_sheet(clip.sheet_id) : nullptr;
  if (source && clip.sequence == services.clipboard_sequence()) {
    std::optional<std::string> error;
    if (clip.cut) {
      if (source != sheet) return xlretFailed;
      error = move_cells(*sheet, clip.area, at);
      clip.active = false;
    } else {
      error = copy_cells(*source, clip.area, *sheet, at);
    }
    if (error) {
      trace("  " + *error);
      return xlretFailed;
    }
    r = Oper::logical(true);
    return xlretSuccess;
  }
  auto text = services.clipboard_text();
  if (!text) {
    trace("  the clipboard holds no text");
    return xlretFailed;
  }
  // Rows end with CR LF (or LF), cells are separated by tabs.
  std::vector<std::vector<std::string>> rows(1);
  for (std::size_t i = 0; i < text->size(); ++i) {
    const char c = (*text)[i];
    if (c == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n') continue;
    if (c == '\n' || c == '\r') rows.emplace_back();
    else if (c == '\t') rows.back().emplace_back();
    else {
      if (rows.back().empty()) rows.back().emplace_back();
      rows.back().back() += c;
    }
  }
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  int width = 0;
  for (const auto& row : rows) width = std::max(width, static_cast<int>(row.size()));
  const Area dest{at.row, at.col, at.row + static_cast<int>(rows.size()) - 1, at.col + std::max(width, 1) - 1};
  if (rows.empty()) {
    r = Oper::logical(true);
    return xlretSuccess;
  }
  if (!dest.valid()) return xlretFailed;
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t j = 0; j < rows[i].size(); ++j) {
      const int row = at.row + static_cast<int>(i), col = at.col + static_cast<int>(j);
      if (rows[i][j].empty()) {
        clear_contents(*sheet, Area::cell(row, col));
        continue;
      }
      if (auto error = enter(*sheet, row, col, rows[i][j])) set_value(*sheet, row, col, Value::str(rows[i][j]));
    }
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::insert(const Args& a, Oper& r) {
  Sheet* sheet = app.active_sheet();
  if (!sheet || !writable(*sheet)) return xlretFailed;
  std::vector<Area> areas = sheet->selection;
  int shift = static_cast<int>(number_arg(a.at(0)).value_or(0));
  const Area& first = areas.front();
  if (shift == 0) shift = first.whole_rows() ? 3 : first.whole_cols() ? 4 : 2;
  if (shift == 1 && first.whole_cols()) shift = 4;
  if (shift == 2 && first.whole_rows()) shift = 3;
  std::optional<std::string> error;
  if (shift == 3 || shift == 4) {
    // From the last area to the first, so earlier positions stay put.
    std::sort(areas.begin(), areas.end(), [&](const Area& x, const Area& y) {
      return shift == 3 ? x.row1 > y.row1 : x.col1 > y.col1;
    });
    for (const Area& area : areas) {
      error = shift == 3 ? insert_rows(*sheet, area.row1, area.rows()) : insert_cols(*sheet, area.col1, area.cols());
      if (error) break;
    }
  } else if (shift == 1 || shift == 2) {
    if (areas.size() != 1) return xlretFailed;
    const auto used = sheet->used_range();
    if (used) {
      Area block = shift == 2 ? Area{first.row1, first.col1, std::max(first.row1, used->row2), first.col2}
                              : Area{first.row1, first.col1, first.row2, std::max(first.col1, used->col2)};
      const CellPos to = shift == 2 ? CellPos{block.row1 + first.rows(), block.col1}
                                    : CellPos{block.row1, block.col1 + first.cols()};
      error = move_cells(*sheet, block, to);
    }
  } else {
    return xlretFailed;
  }
  if (error) {
    trace("  " + *error);
    return xlretFailed;
  }
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::row_height(const Args& a, Oper& r) { return sizes(a, r, true); }

int CApi::Impl::column_width(const Args& a, Oper& r) { return sizes(a, r, false); }

int CApi::Impl::sizes(const Args& a, Oper& r, bool rows) {
  Sheet* sheet = app.active_sheet();
  std::vector<Area> areas;
  if (a.given(1)) {
    if (!reference_of(a.at(1), sheet, areas)) return xlretFailed;
  } else if (sheet) {
    areas = sheet->selection;
  }
  if (!sheet || !writable(*sheet)) return xlretFailed;
  const int type = static_cast<int>(number_arg(a.at(3)).value_or(0));
  const bool standard = bool_arg(a.at(2)).value_or(false);
  const auto size = number_arg(a.at(0));
  if (size && (*size < 0 || *size > 409)) return xlretFailed;
  std::set<int> lines;
  for (const Area& area : areas)
    for (int i = rows ? area.row1 : area.col1; i <= (rows ? area.row2 : area.col2); ++i) lines.insert(i);
  for (int i : lines) {
    auto hide = [&](bool hidden) { rows ? sheet->set_row_hidden(i, hidden) : sheet->set_col_hidden(i, hidden); };
    auto set_size = [&](std::optional<double> s) { rows ? sheet->set_row_height(i, s) : sheet->set_col_width(i, s); };
    if (type == 1) hide(true);
    else if (type == 2) hide(false);
    else if (type == 3) hide(false), set_size(std::nullopt);
    else if (standard) hide(false), set_size(std::nullopt);
    else if (size) {
      if (*size == 0) hide(true);
      else hide(false), set_size(*size);
    }
  }
  sheet->book().changed = true;
  r = Oper::logical(true);
  return xlretSuccess;
}

}  // namespace kovo::sheet
