#include "sheethost/capi.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "sheethost/calc.h"
#include "sheethost/edit.h"
#include "sheethost/evaluator.h"
#include "sheethost/files.h"
#include "sheethost/formula.h"
#include "sheethost/functions.h"
#include "sheethost/number_format.h"
#include "sdk/excel/xlcall.h"

namespace kovo::sheet {

namespace {

enum class Access { Any, Info, Command };

struct Args {
  const std::vector<Oper>& v;
  const Oper& at(std::size_t i) const {
    static const Oper missing;
    return i < v.size() ? v[i] : missing;
  }
  bool given(std::size_t i) const {
    return i < v.size() && v[i].type != OperType::Missing && v[i].type != OperType::Nil;
  }
  std::size_t size() const { return v.size(); }
};

std::string extension_of(const std::string& path) {
  const auto dot = path.find_last_of('.');
  const auto slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// Splits "[Book]Sheet" (or "Sheet") into its parts.
void split_sheet_text(const std::string& text, std::string& book, std::string& sheet) {
  book.clear();
  sheet = text;
  if (!text.empty() && text[0] == '\'' && text.size() >= 2 && text.back() == '\'') sheet = text.substr(1, text.size() - 2);
  if (!sheet.empty() && sheet[0] == '[') {
    const auto close = sheet.find(']');
    if (close != std::string::npos) {
      book = sheet.substr(1, close - 1);
      sheet = sheet.substr(close + 1);
    }
  }
}

}  // namespace

Oper value_to_oper(const Value& v) {
  switch (v.kind) {
    case ValueKind::Empty: return Oper::nil();
    case ValueKind::Number: return Oper::number(v.number);
    case ValueKind::Text: return Oper::text(v.text);
    case ValueKind::Bool: return Oper::logical(v.boolean);
    case ValueKind::Error: return Oper::error(static_cast<int>(v.error));
  }
  return Oper::nil();
}

Value oper_to_value(const Oper& o) {
  switch (o.type) {
    case OperType::Num: return Value::num(o.num);
    case OperType::Str: return Value::str(o.str);
    case OperType::Bool: return Value::logical(o.boolean);
    case OperType::Err: return Value::err(error_from_number(o.err).value_or(ErrorCode::Value));
    case OperType::Int: return Value::num(o.w);
    case OperType::Multi: return o.items.empty() ? Value{} : oper_to_value(o.items[0]);
    default: return Value{};
  }
}

struct CApi::Impl {
  using Handler = int (Impl::*)(const Args&, Oper&);
  struct Entry {
    int number;
    std::string_view name;
    Access access;
    bool changes;  // recalculates afterwards when automatic
    Handler handler;
  };

  Impl(CApi& api, Application& a, HostServices& s) : owner(api), app(a), services(s) {}

  CApi& owner;
  Application& app;
  HostServices& services;
  Registry registry;
  MenuBars menus;
  Toolbars toolbars;
  std::vector<CallerInfo> callers;
  bool tracing = false;
  std::vector<std::pair<std::string, Oper>> dll_names;

  struct ClipSource {
    bool active = false;
    bool cut = false;
    std::uint64_t sheet_id = 0;
    Area area;
    std::uint64_t sequence = 0;
  } clip;

  static const std::vector<Entry>& table();

  const CallerInfo& caller() const {
    static const CallerInfo host;
    return callers.empty() ? host : callers.back();
  }

  // ------------------------------------------------------------ helpers

  Sheet* current_sheet() const {
    const CallerInfo& c = caller();
    if ((c.kind == CallerKind::Function || c.kind == CallerKind::MacroFunction) && c.sheet) return c.sheet;
    return app.active_sheet();
  }

  Sheet* sheet_of(const Oper& ref) const {
    if (ref.type == OperType::SRef) return current_sheet();
    if (ref.type != OperType::Ref) return nullptr;
    if (ref.sheet_id == 0) return current_sheet();
    return app.find_sheet(ref.sheet_id);
  }

  // Reference arguments: Ref, SRef, or a reference text (A1 or R1C1,
  // relative to the active cell) when texts are allowed.
  bool reference_of(const Oper& o, Sheet*& sheet, std::vector<Area>& areas, bool allow_text = true) {
    areas.clear();
    if (o.type == OperType::Ref || o.type == OperType::SRef) {
      sheet = sheet_of(o);
      areas = o.areas;
      return sheet && !areas.empty();
    }
    if (o.type == OperType::Str && allow_text) return reference_from_text(o.str, sheet, areas);
    return false;
  }

  bool reference_from_text(const std::string& text, Sheet*& sheet, std::vector<Area>& areas) {
    Sheet* base = app.active_sheet();
    return base && parse_reference_text(*base, text, sheet, areas);
  }

  Oper reference_oper(const Sheet& sheet, const std::vector<Area>& areas) const {
    return Oper::reference(sheet.id(), areas);
  }

  // A cell's value for coercion; false when it is not yet calculated.
  bool cell_value(Sheet& sheet, int row, int col, Value& out) {
    const Value* v = app.calculator().calculating() ? app.calculator().read_for_function(sheet, row, col)
                                                    : app.calculator().cell(sheet, row, col);
    if (!v) return false;
    out = *v;
    return true;
  }

  // The value of an argument as a single value (a reference gives its
  // top-left cell).
  Value scalar_of(const Oper& o) {
    if (o.is_reference()) {
      Sheet* sheet = sheet_of(o);
      if (!sheet || o.areas.empty()) return Value::err(ErrorCode::Ref);
      Value v;
      if (!cell_value(*sheet, o.areas[0].row1, o.areas[0].col1, v)) return Value::err(ErrorCode::NA);
      return v;
    }
    return oper_to_value(o);
  }

  std::optional<std::string> text_arg(const Oper& o) {
    if (o.type == OperType::Missing || o.type == OperType::Nil) return std::nullopt;
    const Value v = scalar_of(o);
    if (v.is_empty()) return std::string();
    return value_to_text(v);
  }

  std::optional<double> number_arg(const Oper& o) {
    if (o.type == OperType::Missing || o.type == OperType::Nil) return std::nullopt;
    const auto n = value_to_number(scalar_of(o));
    if (n.error) return std::nullopt;
    return n.number;
  }

  std::optional<bool> bool_arg(const Oper& o) {
    if (o.type == OperType::Missing || o.type == OperType::Nil) return std::nullopt;
    const Value v = scalar_of(o);
    if (v.is_bool()) return v.boolean;
    if (v.is_number()) return v.number != 0;
    if (v.is_text()) {
      if (same_text_no_case(v.text, "TRUE")) return true;
      if (same_text_no_case(v.text, "FALSE")) return false;
    }
    return std::nullopt;
  }

  // A cell argument: the reference's top-left cell, or the active cell when
  // none is given.
  bool cell_arg(const Args& a, std::size_t i, Sheet*& sheet, CellPos& at) {
    sheet = app.active_sheet();
    if (!sheet) return false;
    at = sheet->active_cell;
    if (!a.given(i)) return true;
    std::vector<Area> areas;
    if (!reference_of(a.at(i), sheet, areas)) return false;
    at = areas[0].top_left();
    return true;
  }

  // Characters "start" (1-based) and "count" of a text, clamped to it.
  static bool text_span(const std::string& text, double start, double count, std::size_t& from, std::size_t& length) {
    if (start < 1 || count < 0) return false;
    from = std::min(text.size(), static_cast<std::size_t>(start - 1));
    length = std::min(text.size() - from, static_cast<std::size_t>(count));
    return true;
  }

  bool writable(const Sheet& sheet) {
    if (!sheet.protected_contents) return true;
    trace("  the sheet " + Application::full_name(sheet) + " is protected");
    return false;
  }

  void trace(const std::string& line) {
    if (tracing) services.trace(line);
  }

  void changed() {}

  // ------------------------------------------------- special functions

  int coerce(const Args& a, Oper& r) {
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

  // One of the accepted types, trying the value's own type first, then
  // number, text, logical, integer, error.
  std::optional<Oper> convert(const Oper& in, int mask) {
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

  int set(const Args& a, Oper& r) {
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

  int sheet_id(const Args& a, Oper& r) {
    Sheet* sheet = nullptr;
    if (!a.given(0)) {
      sheet = app.active_sheet();
    } else {
      auto text = text_arg(a.at(0));
      if (!text) return xlretFailed;
      std::string book, name;
      split_sheet_text(*text, book, name);
      sheet = app.resolve_sheet(book, name);
    }
    if (!sheet) return xlretFailed;
    r = Oper::reference(sheet->id(), {});
    return xlretSuccess;
  }

  int sheet_name(const Args& a, Oper& r) {
    Sheet* sheet = sheet_of(a.at(0));
    if (!sheet) return xlretFailed;
    r = Oper::text(Application::full_name(*sheet));
    return xlretSuccess;
  }

  int abort_check(const Args&, Oper& r) {
    r = Oper::logical(false);
    return xlretSuccess;
  }

  int get_hwnd(const Args&, Oper& r) {
    r = Oper::integer(static_cast<int>(services.main_window()));
    return xlretSuccess;
  }

  int get_inst(const Args&, Oper& r) {
    r = Oper::integer(static_cast<int>(services.instance()));
    return xlretSuccess;
  }

  int get_name(const Args&, Oper& r) {
    if (caller().module.empty()) return xlretFailed;
    r = Oper::text(caller().module);
    return xlretSuccess;
  }

  int messages(const Args&, Oper& r) {
    r = Oper::logical(true);
    return xlretSuccess;
  }

  int stack(const Args&, Oper& r) {
    r = Oper::integer(30000);
    return xlretSuccess;
  }

  // ------------------------------------------------ worksheet functions

  int builtin(const Args& a, Oper& r, int number) {
    const Builtin* b = find_builtin(number);
    if (!b) return xlretInvXlfn;
    if (static_cast<int>(a.size()) < b->min_args || static_cast<int>(a.size()) > b->max_args) return xlretInvCount;
    Sheet* sheet = current_sheet();
    if (!sheet) return xlretFailed;
    Formula f;
    f.root = std::make_unique<Expr>();
    f.root->kind = ExprKind::Call;
    f.root->builtin = b;
    f.root->text = std::string(b->name);
    for (std::size_t i = 0; i < a.size(); ++i) {
      const Oper& o = a.at(i);
      auto e = std::make_unique<Expr>();
      if (o.is_reference()) {
        Sheet* target = sheet_of(o);
        if (!target) return xlretFailed;
        if (o.areas.size() == 1) {
          e->kind = ExprKind::Ref;
          e->sheet = target;
          e->ref.area = o.areas[0];
        } else {
          e->kind = ExprKind::Union;
          for (const Area& area : o.areas) {
            auto part = std::make_unique<Expr>();
            part->kind = ExprKind::Ref;
            part->sheet = target;
            part->ref.area = area;
            e->args.push_back(std::move(part));
          }
        }
      } else if (o.type == OperType::Missing) {
        e->kind = ExprKind::Missing;
      } else {
        const Value v = oper_to_value(o);
        switch (v.kind) {
          case ValueKind::Number: e->kind = ExprKind::Number; e->number = v.number; break;
          case ValueKind::Text: e->kind = ExprKind::Text; e->text = v.text; break;
          case ValueKind::Bool: e->kind = ExprKind::Bool; e->boolean = v.boolean; break;
          case ValueKind::Error: e->kind = ExprKind::Error; e->error = v.error; break;
          case ValueKind::Empty: e->kind = ExprKind::Missing; break;
        }
      }
      f.root->args.push_back(std::move(e));
    }
    Calculator& calc = app.calculator();
    const Value v = evaluate(f, *sheet, caller().cell, calc);
    if (calc.calculating() && calc.uncalculated()) return xlretUncalced;
    r = value_to_oper(v);
    return xlretSuccess;
  }

  // ---------------------------------------------------- registration

  int register_function(const Args& a, Oper& r) {
    auto module_text = text_arg(a.at(0));
    if (!module_text || module_text->empty()) return xlretFailed;
    std::string module = services.resolve_module(*module_text);
    if (module.empty()) {
      std::string error;
      if (!services.open_addin(*module_text, error)) {
        trace("  " + error);
        r = Oper::error(xlerrValue);
        return xlretSuccess;
      }
      module = services.resolve_module(*module_text);
      if (!a.given(1)) {
        r = Oper::logical(true);
        return xlretSuccess;
      }
    }
    if (!a.given(1)) {
      r = Oper::logical(true);
      return xlretSuccess;
    }
    auto procedure = text_arg(a.at(1));
    if (!procedure || procedure->empty()) return xlretFailed;
    if (!a.given(2)) {
      auto answer = services.auto_register(module, *procedure);
      r = answer ? *answer : Oper::error(xlerrValue);
      return xlretSuccess;
    }
    Registration reg;
    reg.module = module;
    reg.procedure = *procedure;
    reg.type_text = text_arg(a.at(2)).value_or("");
    std::string error;
    auto type = parse_type_text(reg.type_text, error);
    if (!type) {
      trace("  " + reg.procedure + ": " + error);
      r = Oper::error(xlerrValue);
      return xlretSuccess;
    }
    reg.type = *type;
    reg.address = services.find_procedure(module, reg.procedure);
    if (!reg.address) {
      trace("  " + module + " exports no procedure " + reg.procedure);
      r = Oper::error(xlerrValue);
      return xlretSuccess;
    }
    reg.function_text = text_arg(a.at(3)).value_or("");
    reg.argument_text = text_arg(a.at(4)).value_or("");
    reg.macro_type = static_cast<int>(number_arg(a.at(5)).value_or(1));
    reg.category = text_arg(a.at(6)).value_or("");
    reg.shortcut = text_arg(a.at(7)).value_or("");
    reg.help_topic = text_arg(a.at(8)).value_or("");
    reg.function_help = text_arg(a.at(9)).value_or("");
    for (std::size_t i = 10; i < a.size(); ++i) reg.argument_help.push_back(text_arg(a.at(i)).value_or(""));
    const Registration& added = registry.add(std::move(reg));
    app.calculator().functions_changed();
    r = Oper::number(added.id);
    return xlretSuccess;
  }

  int unregister(const Args& a, Oper& r) {
    const Oper& what = a.at(0);
    bool done = false;
    if (what.type == OperType::Num || what.type == OperType::Int) {
      done = registry.remove(what.type == OperType::Num ? what.num : what.w);
    } else if (auto module = text_arg(what)) {
      const std::string resolved = services.resolve_module(*module);
      done = registry.remove_module(resolved.empty() ? *module : resolved) > 0;
    }
    app.calculator().functions_changed();
    r = Oper::logical(done);
    return xlretSuccess;
  }

  int set_name(const Args& a, Oper& r) {
    auto name = text_arg(a.at(0));
    if (!name || name->empty()) return xlretFailed;
    auto known = std::find_if(dll_names.begin(), dll_names.end(),
                              [&](const auto& n) { return same_text_no_case(n.first, *name); });
    if (a.at(1).type == OperType::Missing) {
      bool found = known != dll_names.end();
      if (found) dll_names.erase(known);
      found = registry.hide_name(*name) || found;
      r = Oper::logical(found);
      return xlretSuccess;
    }
    if (known != dll_names.end()) known->second = a.at(1);
    else dll_names.emplace_back(*name, a.at(1));
    r = Oper::logical(true);
    return xlretSuccess;
  }

  int caller_info(const Args&, Oper& r) {
    const CallerInfo& c = caller();
    if ((c.kind == CallerKind::Function || c.kind == CallerKind::MacroFunction) && c.sheet) {
      r = Oper::single_reference(Area::cell(c.cell));
      return xlretSuccess;
    }
    if (c.kind == CallerKind::Command && c.menu > 0) {
      r.type = OperType::Multi;
      r.rows = 1;
      r.cols = 4;
      r.items = {Oper::number(c.menu_bar), Oper::number(c.menu), Oper::number(0), Oper::number(c.command)};
      return xlretSuccess;
    }
    r = Oper::error(xlerrRef);
    return xlretSuccess;
  }

  // ------------------------------------------------- cells and sheets

  int active_cell(const Args&, Oper& r) {
    Sheet* sheet = app.active_sheet();
    if (!sheet) return xlretFailed;
    r = reference_oper(*sheet, {Area::cell(sheet->active_cell)});
    return xlretSuccess;
  }

  int selection(const Args&, Oper& r) {
    Sheet* sheet = app.active_sheet();
    if (!sheet) return xlretFailed;
    r = reference_oper(*sheet, sheet->selection);
    return xlretSuccess;
  }

  int select(const Args& a, Oper& r) {
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

  int get_formula(const Args& a, Oper& r) {
    Sheet* sheet = nullptr;
    std::vector<Area> areas;
    if (!reference_of(a.at(0), sheet, areas)) return xlretFailed;
    r = Oper::text(cell_formula_text(*sheet, areas[0].row1, areas[0].col1, RefStyle::R1C1));
    return xlretSuccess;
  }

  int formula(const Args& a, Oper& r) {
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

  int format_number(const Args& a, Oper& r) {
    auto format = text_arg(a.at(0));
    Sheet* sheet = app.active_sheet();
    if (!format || !sheet) return xlretFailed;
    for (const Area& area : sheet->selection) set_number_format(*sheet, area, same_text_no_case(*format, "General") ? "" : *format);
    r = Oper::logical(true);
    return xlretSuccess;
  }

  int note(const Args& a, Oper& r) {
    Sheet* sheet = nullptr;
    CellPos at;
    if (!cell_arg(a, 1, sheet, at)) return xlretFailed;
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

  int get_note(const Args& a, Oper& r) {
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

  int get_cell(const Args& a, Oper& r) {
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

  // The sheet or workbook named by a GET.DOCUMENT/GET.WORKBOOK text.
  Sheet* document_sheet(const Oper& name, Workbook*& book) {
    book = app.active_book();
    if (name.type == OperType::Missing || name.type == OperType::Nil) return app.active_sheet();
    auto text = text_arg(name);
    if (!text) return nullptr;
    if (Workbook* b = app.find_book(*text)) {
      book = b;
      return &b->active_sheet();
    }
    std::string book_name, sheet_name;
    split_sheet_text(*text, book_name, sheet_name);
    Sheet* sheet = app.resolve_sheet(book_name, sheet_name);
    if (sheet) book = &sheet->book();
    return sheet;
  }

  int get_document(const Args& a, Oper& r) {
    const int type = static_cast<int>(number_arg(a.at(0)).value_or(0));
    Workbook* book = nullptr;
    Sheet* sheet = document_sheet(a.at(1), book);
    if (!sheet || !book) {
      r = Oper::error(xlerrValue);
      return xlretSuccess;
    }
    const auto used = sheet->used_range();
    switch (type) {
      case 1: r = Oper::text(Application::full_name(*sheet)); break;
      case 2: {
        const std::string& path = book->path();
        const auto slash = path.find_last_of("/\\");
        if (path.empty()) r = Oper::error(xlerrNA);
        else r = Oper::text(slash == std::string::npos ? std::string() : path.substr(0, slash));
        break;
      }
      case 3: r = Oper::number(1); break;
      case 4: r = Oper::logical(book->changed); break;
      case 5: case 6: r = Oper::logical(false); break;
      case 7: r = Oper::logical(sheet->protected_contents); break;
      case 9: r = Oper::number(used ? used->row1 + 1 : 0); break;
      case 10: r = Oper::number(used ? used->row2 + 1 : 0); break;
      case 11: r = Oper::number(used ? used->col1 + 1 : 0); break;
      case 12: r = Oper::number(used ? used->col2 + 1 : 0); break;
      case 13: r = Oper::number(1); break;
      case 14: r = Oper::number(static_cast<int>(app.calc_mode)); break;
      case 15: case 19: r = Oper::logical(false); break;
      case 16: r = Oper::number(100); break;
      case 17: r = Oper::number(0.001); break;
      case 18: r = Oper::logical(true); break;
      case 20: r = Oper::logical(false); break;
      case 76: r = Oper::text(Application::full_name(book->active_sheet())); break;
      case 87: r = Oper::number(book->sheet_index(sheet) + 1); break;
      case 88: r = Oper::text(book->name()); break;
      default: r = Oper::error(xlerrValue); break;
    }
    return xlretSuccess;
  }

  int get_workbook(const Args& a, Oper& r) {
    const int type = static_cast<int>(number_arg(a.at(0)).value_or(0));
    Workbook* book = app.active_book();
    if (a.given(1)) {
      auto text = text_arg(a.at(1));
      book = text ? app.find_book(*text) : nullptr;
    }
    if (!book) {
      r = Oper::error(xlerrValue);
      return xlretSuccess;
    }
    switch (type) {
      case 1: {
        r.type = OperType::Multi;
        r.rows = 1;
        r.cols = static_cast<int>(book->sheets().size());
        for (const auto& s : book->sheets()) r.items.push_back(Oper::text(Application::full_name(*s)));
        break;
      }
      case 3: {
        r.type = OperType::Multi;
        r.rows = r.cols = 1;
        r.items.push_back(Oper::text(Application::full_name(book->active_sheet())));
        break;
      }
      case 4: r = Oper::number(static_cast<double>(book->sheets().size())); break;
      case 38: r = Oper::text(Application::full_name(book->active_sheet())); break;
      default: r = Oper::error(xlerrValue); break;
    }
    return xlretSuccess;
  }

  int get_workspace(const Args& a, Oper& r) {
    const int type = static_cast<int>(number_arg(a.at(0)).value_or(0));
    switch (type) {
      case 1: r = Oper::text("Windows (64-bit) NT 6.01"); break;
      case 2: r = Oper::text("12.0"); break;
      case 3: r = Oper::number(0); break;
      case 4: r = Oper::logical(false); break;
      case 13: r = Oper::number(1024); break;
      case 14: r = Oper::number(768); break;
      case 23: r = Oper::text(""); break;
      case 26: {
        const char* user = std::getenv("USERNAME");
        r = Oper::text(user ? user : "");
        break;
      }
      case 31: case 36: r = Oper::logical(type == 36); break;
      case 44: {
        const auto& all = registry.all();
        if (all.empty()) {
          r = Oper::error(xlerrNA);
          break;
        }
        r.type = OperType::Multi;
        r.rows = static_cast<int>(all.size());
        r.cols = 3;
        for (const auto& reg : all) {
          r.items.push_back(Oper::text(reg.module));
          r.items.push_back(Oper::text(reg.procedure));
          r.items.push_back(Oper::text(reg.type_text));
        }
        break;
      }
      default: r = Oper::error(xlerrValue); break;
    }
    return xlretSuccess;
  }

  int get_name_definition(const Args& a, Oper& r) {
    auto text = text_arg(a.at(0));
    Sheet* sheet = app.active_sheet();
    if (!text || !sheet) return xlretFailed;
    std::string name = *text;
    Sheet* scope = nullptr;
    if (const auto bang = name.find('!'); bang != std::string::npos) {
      std::string book, sheet_name;
      split_sheet_text(name.substr(0, bang), book, sheet_name);
      scope = app.resolve_sheet(book, sheet_name);
      if (!scope) return xlretFailed;
      name = name.substr(bang + 1);
    }
    const DefinedName* found = nullptr;
    for (const auto& n : sheet->book().names())
      if (same_text_no_case(n.name, name) && (n.scope == scope || (!scope && n.scope == sheet))) found = &n;
    if (!found) found = sheet->book().find_name(name, scope ? scope : sheet);
    if (!found || !found->refers_to) {
      r = Oper::error(xlerrName);
      return xlretSuccess;
    }
    r = Oper::text(print_formula(*found->refers_to, print_options_for(found->scope ? *found->scope : *sheet, {}, RefStyle::R1C1)));
    return xlretSuccess;
  }

  int evaluate_text(const Args& a, Oper& r) {
    auto text = text_arg(a.at(0));
    Sheet* sheet = app.active_sheet();
    if (!text || !sheet) return xlretFailed;
    std::string formula = *text;
    if (formula.empty() || formula[0] != '=') formula = "=" + formula;
    auto parsed = parse_formula_any(formula, parse_options_for(*sheet, sheet->active_cell));
    if (!parsed.formula) {
      r = Oper::error(xlerrValue);
      return xlretSuccess;
    }
    RefValue ref;
    ErrorCode error = ErrorCode::Null;
    if (evaluate_reference(*parsed.formula->root, *sheet, sheet->active_cell, app.calculator(), ref, error)) {
      if (error != ErrorCode::Null) r = Oper::error(static_cast<int>(error));
      else r = reference_oper(*ref.sheet, ref.areas);
      return xlretSuccess;
    }
    r = value_to_oper(evaluate(*parsed.formula, *sheet, sheet->active_cell, app.calculator()));
    return xlretSuccess;
  }

  // --------------------------------------------------- workbooks

  int open(const Args& a, Oper& r) {
    auto path = text_arg(a.at(0));
    if (!path || path->empty()) return xlretFailed;
    const std::string ext = extension_of(*path);
    std::string error;
    if (ext == "xlb") {
      std::string text;
      if (auto e = read_text_file(*path, text)) error = *e;
      else if (auto e2 = toolbars.load(text)) error = *path + ": " + *e2;
    } else if (ext == "xll") {
      if (!services.open_addin(*path, error)) error = error.empty() ? *path + ": the add-in cannot be opened" : error;
    } else {
      for (const auto& b : app.books())
        if (!b->path().empty() && same_text_no_case(b->path(), *path)) {
          app.activate(*b);
          r = Oper::logical(true);
          return xlretSuccess;
        }
      LoadResult loaded = ext == "csv" ? import_csv_file(app, *path) : load_workbook_file(app, *path);
      if (!loaded.book) error = loaded.error;
      else {
        const bool csv = ext == "csv";
        app.open(std::move(loaded.book));
        if (csv) app.calculator().recalculate();
      }
    }
    if (!error.empty()) {
      services.report(error);
      trace("  " + error);
      return xlretFailed;
    }
    r = Oper::logical(true);
    return xlretSuccess;
  }

  int new_document(const Args& a, Oper& r) {
    const int type = static_cast<int>(number_arg(a.at(0)).value_or(1));
    if (type == 2) return xlretFailed;  // charts are not offered
    app.new_workbook();
    r = Oper::logical(true);
    return xlretSuccess;
  }

  int workbook_new(const Args&, Oper& r) {
    Workbook* book = app.active_book();
    if (!book) {
      app.new_workbook();
    } else {
      Sheet& sheet = book->add_sheet(book->free_sheet_name(), book->sheet_index(&book->active_sheet()));
      book->activate(sheet);
      book->changed = true;
    }
    r = Oper::logical(true);
    return xlretSuccess;
  }

  bool activate_named(const std::string& text) {
    std::string name = text;
    if (const auto colon = name.find_last_of(':'); colon != std::string::npos && colon + 1 < name.size() &&
                                                   std::all_of(name.begin() + static_cast<std::ptrdiff_t>(colon) + 1, name.end(), ::isdigit))
      name = name.substr(0, colon);
    if (Workbook* b = app.find_book(name)) {
      app.activate(*b);
      return true;
    }
    std::string book, sheet_name;
    split_sheet_text(name, book, sheet_name);
    Sheet* sheet = app.resolve_sheet(book, sheet_name);
    if (!sheet) return false;
    app.activate(sheet->book());
    sheet->book().activate(*sheet);
    return true;
  }

  int workbook_activate(const Args& a, Oper& r) {
    std::optional<std::string> name;
    if (a.at(0).type == OperType::Multi && !a.at(0).items.empty()) name = text_arg(a.at(0).items[0]);
    else name = text_arg(a.at(0));
    if (!name || !activate_named(*name)) return xlretFailed;
    r = Oper::logical(true);
    return xlretSuccess;
  }

  int activate(const Args& a, Oper& r) {
    if (!a.given(0)) {
      r = Oper::logical(true);
      return xlretSuccess;
    }
    auto name = text_arg(a.at(0));
    if (!name || !activate_named(*name)) return xlretFailed;
    r = Oper::logical(true);
    return xlretSuccess;
  }

  int define_name_command(const Args& a, Oper& r) {
    auto text = text_arg(a.at(0));
    Sheet* active = app.active_sheet();
    if (!text || !active) return xlretFailed;
    std::string name = *text;
    Sheet* scope = bool_arg(a.at(6)).value_or(false) ? active : nullptr;
    if (const auto bang = name.find('!'); bang != std::string::npos) {
      std::string book, sheet_name;
      split_sheet_text(name.substr(0, bang), book, sheet_name);
      scope = app.resolve_sheet(book, sheet_name, &active->book());
      if (!scope) return xlretFailed;
      name = name.substr(bang + 1);
    }
    if (!valid_defined_name(name)) {
      trace("  \"" + name + "\" is not a valid name");
      return xlretFailed;
    }
    Workbook& book = scope ? scope->book() : active->book();
    std::unique_ptr<Formula> refers_to;
    const Oper& target = a.at(1);
    if (target.is_reference() || target.type == OperType::Missing) {
      Sheet* sheet = active;
      std::vector<Area> areas = active->selection;
      if (target.is_reference() && !reference_of(target, sheet, areas, false)) return xlretFailed;
      refers_to = reference_formula(*sheet, areas);
    } else if (target.type == OperType::Str && !target.str.empty() && target.str[0] == '=') {
      auto parsed = parse_formula_any(target.str, parse_options_for(*active, active->active_cell));
      if (!parsed.formula) {
        trace("  " + parsed.error);
        return xlretFailed;
      }
      refers_to = std::move(parsed.formula);
    } else {
      refers_to = std::make_unique<Formula>();
      const Value v = oper_to_value(target);
      auto e = std::make_unique<Expr>();
      switch (v.kind) {
        case ValueKind::Number: e->kind = ExprKind::Number; e->number = v.number; break;
        case ValueKind::Text: e->kind = ExprKind::Text; e->text = v.text; break;
        case ValueKind::Bool: e->kind = ExprKind::Bool; e->boolean = v.boolean; break;
        case ValueKind::Error: e->kind = ExprKind::Error; e->error = v.error; break;
        case ValueKind::Empty: return xlretFailed;
      }
      refers_to->root = std::move(e);
    }
    define_name(book, name, scope, std::move(refers_to), bool_arg(a.at(4)).value_or(false));
    r = Oper::logical(true);
    return xlretSuccess;
  }

  // ---------------------------------------------------- calculation

  int calculation(const Args& a, Oper& r) {
    const double type = number_arg(a.at(0)).value_or(static_cast<double>(app.calc_mode));
    if (type != 1 && type != 2 && type != 3) return xlretFailed;
    app.calc_mode = static_cast<CalcMode>(static_cast<int>(type));
    r = Oper::logical(true);
    return xlretSuccess;
  }

  int calculate_now(const Args&, Oper& r) {
    app.calculator().recalculate();
    r = Oper::logical(true);
    return xlretSuccess;
  }

  int calculate_document(const Args&, Oper& r) {
    app.calculator().recalculate(app.active_sheet());
    r = Oper::logical(true);
    return xlretSuccess;
  }

  // ---------------------------------------------------- messages

  int alert(const Args& a, Oper& r) {
    const std::string text = text_arg(a.at(0)).value_or("");
    const int type = static_cast<int>(number_arg(a.at(1)).value_or(2));
    const bool ok = services.alert(text, type);
    r = Oper::logical(ok);
    return xlretSuccess;
  }

  int message(const Args& a, Oper& r) {
    const bool show = bool_arg(a.at(0)).value_or(false);
    app.status_bar = show ? text_arg(a.at(1)).value_or("") : std::string();
    trace("  status bar: " + (app.status_bar.empty() ? std::string("(ready)") : "\"" + app.status_bar + "\""));
    r = Oper::logical(true);
    return xlretSuccess;
  }

  int echo(const Args& a, Oper& r) {
    app.screen_updating = bool_arg(a.at(0)).value_or(!app.screen_updating);
    r = Oper::logical(true);
    return xlretSuccess;
  }

  // --------------------------------------------- clipboard and moves

  std::string table_text(const Sheet& sheet, const Area& area) {
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

  bool source_area(const Args& a, Sheet*& sheet, Area& area) {
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

  bool target_cell(const Oper& o, Sheet*& sheet, CellPos& at) {
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

  int copy_or_cut(const Args& a, Oper& r, bool cut) {
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

  int copy(const Args& a, Oper& r) { return copy_or_cut(a, r, false); }
  int cut(const Args& a, Oper& r) { return copy_or_cut(a, r, true); }

  int paste(const Args& a, Oper& r) {
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

  int insert(const Args& a, Oper& r) {
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

  // ------------------------------------------ rows and columns shown

  int row_height(const Args& a, Oper& r) { return sizes(a, r, true); }
  int column_width(const Args& a, Oper& r) { return sizes(a, r, false); }

  int sizes(const Args& a, Oper& r, bool rows) {
    Sheet* sheet = app.active_sheet();
    std::vector<Area> areas;
    if (a.given(1)) {
      if (!reference_of(a.at(1), sheet, areas)) return xlretFailed;
    } else if (sheet) {
      areas = sheet->selection;
    }
    if (!sheet) return xlretFailed;
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

  // ------------------------------------------------------- menus

  // Rows of texts from an array or a reference to cells.
  bool table_of(const Oper& o, std::vector<std::vector<std::string>>& rows) {
    rows.clear();
    if (o.type == OperType::Multi) {
      for (int i = 0; i < o.rows; ++i) {
        rows.emplace_back();
        for (int j = 0; j < o.cols; ++j) {
          const Value v = oper_to_value(o.items[static_cast<std::size_t>(i * o.cols + j)]);
          rows.back().push_back(v.is_empty() ? std::string() : value_to_text(v));
        }
      }
      return !rows.empty();
    }
    Sheet* sheet = nullptr;
    std::vector<Area> areas;
    if (!reference_of(o, sheet, areas, false) || areas.size() != 1 || areas[0].cell_count() > 10000) return false;
    for (int row = areas[0].row1; row <= areas[0].row2; ++row) {
      rows.emplace_back();
      for (int col = areas[0].col1; col <= areas[0].col2; ++col) {
        const Cell* cell = sheet->find(row, col);
        rows.back().push_back(cell && !cell->value.is_empty() ? value_to_text(cell->value) : std::string());
      }
    }
    return true;
  }

  static std::string column(const std::vector<std::string>& row, std::size_t i) {
    return i < row.size() ? row[i] : std::string();
  }

  static MenuCommand command_of(const std::vector<std::string>& row) {
    MenuCommand c;
    c.text = column(row, 0);
    c.macro = column(row, 1);
    c.shortcut = column(row, 2);
    c.status = column(row, 3);
    c.help = column(row, 4);
    return c;
  }

  Place place_of(const Oper& o) {
    Place p;
    if (o.type == OperType::Str) p.before = o.str;
    else if (auto n = number_arg(o)) p.position = static_cast<int>(*n);
    return p;
  }

  int bar_of(const Oper& o) { return static_cast<int>(number_arg(o).value_or(1)); }

  int add_menu(const Args& a, Oper& r) {
    const int bar = bar_of(a.at(0));
    std::vector<std::vector<std::string>> rows;
    if (!menus.bar(bar) || !table_of(a.at(1), rows) || column(rows[0], 0).empty()) {
      r = Oper::error(xlerrValue);
      return xlretSuccess;
    }
    Menu menu;
    menu.name = column(rows[0], 0);
    menu.status = column(rows[0], 3);
    menu.help = column(rows[0], 4);
    for (std::size_t i = 1; i < rows.size(); ++i) menu.commands.push_back(command_of(rows[i]));
    r = Oper::number(menus.add_menu(bar, std::move(menu), place_of(a.at(2))));
    return xlretSuccess;
  }

  std::optional<std::string> menu_name(int bar, const Oper& o) {
    if (o.type == OperType::Str) return o.str;
    if (auto n = number_arg(o)) {
      if (Menu* m = menus.menu_at(bar, static_cast<int>(*n))) return m->name;
    }
    return std::nullopt;
  }

  int delete_menu(const Args& a, Oper& r) {
    const int bar = bar_of(a.at(0));
    auto name = menu_name(bar, a.at(1));
    r = name && menus.delete_menu(bar, *name) ? Oper::logical(true) : Oper::error(xlerrValue);
    return xlretSuccess;
  }

  int add_command(const Args& a, Oper& r) {
    const int bar = bar_of(a.at(0));
    auto name = menu_name(bar, a.at(1));
    std::vector<std::vector<std::string>> rows;
    if (!name || !table_of(a.at(2), rows)) {
      r = Oper::error(xlerrValue);
      return xlretSuccess;
    }
    Place place = place_of(a.at(3));
    std::optional<int> first;
    for (const auto& row : rows) {
      auto at = menus.add_command(bar, *name, command_of(row), place);
      if (!at) break;
      if (!first) first = at;
      if (!place.before) place.position = *at + 1;
    }
    r = first ? Oper::number(*first) : Oper::error(xlerrValue);
    return xlretSuccess;
  }

  int delete_command(const Args& a, Oper& r) {
    const int bar = bar_of(a.at(0));
    auto name = menu_name(bar, a.at(1));
    std::optional<std::string> command;
    if (a.at(2).type == OperType::Str) command = a.at(2).str;
    else if (auto n = number_arg(a.at(2)); n && name) {
      Menu* m = menus.menu_at(bar, menus.menu_position(bar, *name));
      if (m && *n >= 1 && *n <= static_cast<double>(m->commands.size()))
        command = m->commands[static_cast<std::size_t>(*n - 1)].text;
    }
    r = name && command && menus.delete_command(bar, *name, *command) ? Oper::logical(true) : Oper::error(xlerrValue);
    return xlretSuccess;
  }

  int get_bar(const Args& a, Oper& r) {
    if (!a.given(0)) {
      r = Oper::number(1);
      return xlretSuccess;
    }
    const int bar = bar_of(a.at(0));
    if (!menus.bar(bar)) {
      r = Oper::error(xlerrValue);
      return xlretSuccess;
    }
    const Oper& menu = a.at(1);
    int position = 0;
    if (menu.type == OperType::Str) position = menus.menu_position(bar, menu.str);
    else if (auto n = number_arg(menu)) position = menus.menu_at(bar, static_cast<int>(*n)) ? static_cast<int>(*n) : 0;
    if (!position) {
      r = Oper::error(xlerrNA);
      return xlretSuccess;
    }
    Menu& m = *menus.menu_at(bar, position);
    const Oper& command = a.at(2);
    const bool menu_itself = !a.given(2) || (command.type != OperType::Str && number_arg(command).value_or(0) == 0);
    if (menu_itself) {
      r = menu.type == OperType::Str ? Oper::number(position) : Oper::text(m.name);
      return xlretSuccess;
    }
    if (command.type == OperType::Str) {
      for (std::size_t i = 0; i < m.commands.size(); ++i)
        if (same_menu_text(m.commands[i].text, command.str)) {
          r = Oper::number(static_cast<double>(i + 1));
          return xlretSuccess;
        }
      r = Oper::error(xlerrNA);
      return xlretSuccess;
    }
    const int n = static_cast<int>(number_arg(command).value_or(0));
    if (n < 1 || static_cast<std::size_t>(n) > m.commands.size()) r = Oper::error(xlerrNA);
    else r = Oper::text(m.commands[static_cast<std::size_t>(n - 1)].text);
    return xlretSuccess;
  }

  // ------------------------------------------------------ toolbars

  int get_toolbar(const Args& a, Oper& r) {
    const int type = static_cast<int>(number_arg(a.at(0)).value_or(0));
    auto names = [&](bool visible_only) {
      Oper list;
      list.type = OperType::Multi;
      list.rows = 1;
      for (const auto& t : toolbars.all())
        if (!visible_only || t.visible) list.items.push_back(Oper::text(t.name));
      list.cols = static_cast<int>(list.items.size());
      return list.items.empty() ? Oper::error(xlerrNA) : list;
    };
    if (type == 9 || type == 10) {
      r = names(type == 10);
      return xlretSuccess;
    }
    auto name = text_arg(a.at(1));
    Toolbar* bar = name ? toolbars.find(*name) : nullptr;
    if (!bar) {
      r = Oper::error(xlerrValue);
      return xlretSuccess;
    }
    switch (type) {
      case 1: {
        if (bar->buttons.empty()) {
          r = Oper::error(xlerrNA);
          break;
        }
        r.type = OperType::Multi;
        r.rows = 1;
        r.cols = static_cast<int>(bar->buttons.size());
        for (std::size_t i = 0; i < bar->buttons.size(); ++i) r.items.push_back(Oper::number(static_cast<double>(i + 1)));
        break;
      }
      case 7: r = Oper::logical(bar->visible); break;
      case 8: r = Oper::number(1); break;
      default: r = Oper::number(0); break;
    }
    return xlretSuccess;
  }

  int delete_toolbar(const Args& a, Oper& r) {
    auto name = text_arg(a.at(0));
    r = name && toolbars.remove(*name) ? Oper::logical(true) : Oper::error(xlerrValue);
    return xlretSuccess;
  }

  int save_toolbar(const Args& a, Oper& r) {
    std::vector<std::string> names;
    const Oper& which = a.at(0);
    if (which.type == OperType::Multi) {
      for (const auto& item : which.items)
        if (auto t = text_arg(item)) names.push_back(*t);
    } else if (auto t = text_arg(which)) {
      names.push_back(*t);
    }
    auto path = text_arg(a.at(1));
    if (!path || path->empty()) return xlretFailed;
    if (auto error = write_text_file_atomically(*path, toolbars.save(names))) {
      services.report(*error);
      return xlretFailed;
    }
    r = Oper::logical(true);
    return xlretSuccess;
  }

  // ------------------------------------------------------ dispatch

  int call(int xlfn, const std::vector<Oper>& args, Oper& result, std::string_view via) {
    const int number = xlfn & ~(xlIntl | xlPrompt);
    const Entry* entry = nullptr;
    for (const auto& e : table())
      if (e.number == number) entry = &e;
    const Args a{args};
    result = Oper::nil();
    int code;
    if (!entry) {
      code = xlretInvXlfn;
      if (tracing) services.trace(std::string(via) + " " + function_name(xlfn) + " (not offered) = 2");
      return code;
    }
    const CallerKind kind = caller().kind;
    const bool from_function = kind == CallerKind::Function || kind == CallerKind::MacroFunction;
    if ((entry->access == Access::Command && from_function) ||
        (entry->access == Access::Info && kind == CallerKind::Function)) {
      if (tracing)
        services.trace(std::string(via) + " " + std::string(entry->name) + " (not allowed from a worksheet function) = 2");
      return xlretInvXlfn;
    }
    code = (this->*(entry->handler))(a, result);
    if (code != xlretSuccess) result = Oper::nil();
    if (tracing) {
      std::string line = std::string(via) + " " + std::string(entry->name) + "(";
      for (std::size_t i = 0; i < args.size(); ++i) line += (i ? ", " : "") + owner.describe(args[i]);
      line += ") = " + std::to_string(code);
      if (code == xlretSuccess && result.type != OperType::Nil) line += " " + owner.describe(result);
      services.trace(line);
    }
    if (entry->changes && code == xlretSuccess) owner.after_change();
    return code;
  }

  // Worksheet functions share one handler by number.
#define KOVO_BUILTIN(n) \
  int builtin_##n(const Args& a, Oper& r) { return builtin(a, r, n); }
  KOVO_BUILTIN(1)
  KOVO_BUILTIN(4)
  KOVO_BUILTIN(24)
  KOVO_BUILTIN(27)
  KOVO_BUILTIN(36)
  KOVO_BUILTIN(37)
  KOVO_BUILTIN(38)
  KOVO_BUILTIN(336)
#undef KOVO_BUILTIN
};

const std::vector<CApi::Impl::Entry>& CApi::Impl::table() {
  using I = Impl;
  static const std::vector<Entry> entries = {
      // special functions
      {xlCoerce, "xlCoerce", Access::Any, false, &I::coerce},
      {xlSet, "xlSet", Access::Command, true, &I::set},
      {xlSheetId, "xlSheetId", Access::Any, false, &I::sheet_id},
      {xlSheetNm, "xlSheetNm", Access::Any, false, &I::sheet_name},
      {xlAbort, "xlAbort", Access::Any, false, &I::abort_check},
      {xlGetInst, "xlGetInst", Access::Any, false, &I::get_inst},
      {xlGetHwnd, "xlGetHwnd", Access::Any, false, &I::get_hwnd},
      {xlGetName, "xlGetName", Access::Any, false, &I::get_name},
      {xlEnableXLMsgs, "xlEnableXLMsgs", Access::Any, false, &I::messages},
      {xlDisableXLMsgs, "xlDisableXLMsgs", Access::Any, false, &I::messages},
      {xlStack, "xlStack", Access::Any, false, &I::stack},
      // worksheet functions
      {xlfIf, "IF", Access::Any, false, &I::builtin_1},
      {xlfSum, "SUM", Access::Any, false, &I::builtin_4},
      {xlfAbs, "ABS", Access::Any, false, &I::builtin_24},
      {xlfRound, "ROUND", Access::Any, false, &I::builtin_27},
      {xlfAnd, "AND", Access::Any, false, &I::builtin_36},
      {xlfOr, "OR", Access::Any, false, &I::builtin_37},
      {xlfNot, "NOT", Access::Any, false, &I::builtin_38},
      {xlfConcatenate, "CONCATENATE", Access::Any, false, &I::builtin_336},
      {xlfCaller, "CALLER", Access::Any, false, &I::caller_info},
      // macro-sheet functions
      {xlfRegister, "REGISTER", Access::Info, false, &I::register_function},
      {xlfUnregister, "UNREGISTER", Access::Info, false, &I::unregister},
      {xlfSetName, "SET.NAME", Access::Info, false, &I::set_name},
      {xlfActiveCell, "ACTIVE.CELL", Access::Info, false, &I::active_cell},
      {xlfSelection, "SELECTION", Access::Info, false, &I::selection},
      {xlfGetFormula, "GET.FORMULA", Access::Info, false, &I::get_formula},
      {xlfGetName, "GET.NAME", Access::Info, false, &I::get_name_definition},
      {xlfGetCell, "GET.CELL", Access::Info, false, &I::get_cell},
      {xlfGetDocument, "GET.DOCUMENT", Access::Info, false, &I::get_document},
      {xlfGetWorkbook, "GET.WORKBOOK", Access::Info, false, &I::get_workbook},
      {xlfGetWorkspace, "GET.WORKSPACE", Access::Info, false, &I::get_workspace},
      {xlfGetNote, "GET.NOTE", Access::Info, false, &I::get_note},
      {xlfEvaluate, "EVALUATE", Access::Info, false, &I::evaluate_text},
      {xlfGetBar, "GET.BAR", Access::Info, false, &I::get_bar},
      {xlfGetToolbar, "GET.TOOLBAR", Access::Info, false, &I::get_toolbar},
      {xlfNote, "NOTE", Access::Command, true, &I::note},
      {xlfAddMenu, "ADD.MENU", Access::Command, false, &I::add_menu},
      {xlfDeleteMenu, "DELETE.MENU", Access::Command, false, &I::delete_menu},
      {xlfAddCommand, "ADD.COMMAND", Access::Command, false, &I::add_command},
      {xlfDeleteCommand, "DELETE.COMMAND", Access::Command, false, &I::delete_command},
      {xlfDeleteToolbar, "DELETE.TOOLBAR", Access::Command, false, &I::delete_toolbar},
      {xlfSaveToolbar, "SAVE.TOOLBAR", Access::Command, false, &I::save_toolbar},
      // commands
      {xlcOpen, "OPEN", Access::Command, true, &I::open},
      {xlcNew, "NEW", Access::Command, false, &I::new_document},
      {xlcWorkbookNew, "WORKBOOK.NEW", Access::Command, false, &I::workbook_new},
      {xlcWorkbookActivate, "WORKBOOK.ACTIVATE", Access::Command, false, &I::workbook_activate},
      {xlcActivate, "ACTIVATE", Access::Command, false, &I::activate},
      {xlcCalculation, "CALCULATION", Access::Command, true, &I::calculation},
      {xlcOptionsCalculation, "OPTIONS.CALCULATION", Access::Command, true, &I::calculation},
      {xlcCalculateNow, "CALCULATE.NOW", Access::Command, false, &I::calculate_now},
      {xlcCalculateDocument, "CALCULATE.DOCUMENT", Access::Command, false, &I::calculate_document},
      {xlcAlert, "ALERT", Access::Command, false, &I::alert},
      {xlcMessage, "MESSAGE", Access::Command, false, &I::message},
      {xlcEcho, "ECHO", Access::Command, false, &I::echo},
      {xlcCopy, "COPY", Access::Command, true, &I::copy},
      {xlcCut, "CUT", Access::Command, true, &I::cut},
      {xlcPaste, "PASTE", Access::Command, true, &I::paste},
      {xlcInsert, "INSERT", Access::Command, true, &I::insert},
      {xlcDefineName, "DEFINE.NAME", Access::Command, true, &I::define_name_command},
      {xlcFormula, "FORMULA", Access::Command, true, &I::formula},
      {xlcFormatNumber, "FORMAT.NUMBER", Access::Command, false, &I::format_number},
      {xlcSelect, "SELECT", Access::Command, false, &I::select},
      {xlcRowHeight, "ROW.HEIGHT", Access::Command, false, &I::row_height},
      {xlcColumnWidth, "COLUMN.WIDTH", Access::Command, false, &I::column_width},
  };
  return entries;
}

CApi::CApi(Application& app, HostServices& services) : impl_(std::make_unique<Impl>(*this, app, services)) {}
CApi::~CApi() = default;

int CApi::call(int xlfn, const std::vector<Oper>& args, Oper& result, std::string_view via) {
  return impl_->call(xlfn, args, result, via);
}

Application& CApi::app() { return impl_->app; }
Registry& CApi::registry() { return impl_->registry; }
MenuBars& CApi::menus() { return impl_->menus; }
Toolbars& CApi::toolbars() { return impl_->toolbars; }
void CApi::push_caller(CallerInfo caller) { impl_->callers.push_back(std::move(caller)); }
void CApi::pop_caller() {
  if (!impl_->callers.empty()) impl_->callers.pop_back();
}
const CallerInfo& CApi::caller() const { return impl_->caller(); }
void CApi::set_tracing(bool on) { impl_->tracing = on; }
bool CApi::tracing() const { return impl_->tracing; }
void CApi::trace(const std::string& line) { impl_->trace(line); }

std::string CApi::describe(const Oper& o) const {
  switch (o.type) {
    case OperType::Num: return number_to_text(o.num);
    case OperType::Str: return "\"" + o.str + "\"";
    case OperType::Bool: return o.boolean ? "TRUE" : "FALSE";
    case OperType::Err: {
      auto code = error_from_number(o.err);
      return code ? std::string(error_text(*code)) : "#ERR" + std::to_string(o.err);
    }
    case OperType::Int: return std::to_string(o.w);
    case OperType::Missing: return "(missing)";
    case OperType::Nil: return "(nil)";
    case OperType::Flow: return "(flow)";
    case OperType::BigData: return "(bigdata)";
    case OperType::Multi: return "{" + std::to_string(o.rows) + "x" + std::to_string(o.cols) + "}";
    case OperType::SRef:
    case OperType::Ref: {
      std::string text;
      if (o.type == OperType::Ref) {
        const Sheet* sheet = impl_->app.find_sheet(o.sheet_id);
        text = sheet ? Application::full_name(*sheet) : "sheet " + std::to_string(o.sheet_id);
        if (o.areas.empty()) return text;
        text += "!";
      }
      for (std::size_t i = 0; i < o.areas.size(); ++i) text += (i ? "," : "") + area_r1c1(o.areas[i]);
      return text;
    }
  }
  return "?";
}

std::string CApi::function_name(int xlfn) {
  const int number = xlfn & ~(xlIntl | xlPrompt);
  for (const auto& e : Impl::table())
    if (e.number == number) return std::string(e.name);
  if (number & xlCommand) return "command " + std::to_string(number & 0x0FFF);
  if (number & xlSpecial) return "special function " + std::to_string(number & 0x0FFF);
  return "function " + std::to_string(number);
}

void CApi::after_change() {
  Application& a = impl_->app;
  Calculator& calc = a.calculator();
  if (a.calc_mode == CalcMode::Automatic && !calc.calculating() && calc.needs_recalculation()) calc.recalculate();
}

bool CApi::read_value(const Oper& ref, Oper& out, bool& uncalculated) {
  uncalculated = false;
  std::vector<Oper> in{ref};
  Oper result;
  const int code = impl_->coerce(Args{in}, result);
  if (code == xlretUncalced) {
    uncalculated = true;
    return false;
  }
  if (code != xlretSuccess) return false;
  out = result;
  return true;
}

}  // namespace kovo::sheet
