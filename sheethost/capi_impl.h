// Inside the C API: the state behind CApi and the handlers of its calls.
// The handlers live in one file per group of calls (capi_names, capi_menus,
// capi_cells, capi_workbooks, capi_workspace); the one table that maps call
// numbers to handlers, and the dispatch through it, are in capi.cpp.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sdk/excel/xlcall.h"
#include "sheethost/calc.h"
#include "sheethost/capi.h"
#include "sheethost/edit.h"

namespace kovo::sheet {

// Who may make a call: anyone, information functions (commands and "#"
// functions), or commands only.
enum class Access { Any, Info, Command };

// A call's arguments; one past the end reads as missing.
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

// Splits "[Book]Sheet" (or "Sheet", or either in single quotes) into its parts.
void split_sheet_text(const std::string& text, std::string& book, std::string& sheet);

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
  AddinServices* addins = nullptr;
  Registry registry;
  MenuBars menus;
  Toolbars toolbars;
  std::vector<CallerInfo> callers;
  bool tracing = false;
  std::vector<std::pair<std::string, Oper>> dll_names;
  // Workbooks whose cells add-ins cannot read with xlCoerce (--refuse-direct-read).
  std::vector<std::string> refused_books;

  struct ClipSource {
    bool active = false;
    bool cut = false;
    std::uint64_t sheet_id = 0;
    Area area;
    std::uint64_t sequence = 0;
  } clip;

  static const std::vector<Entry>& table();
  int call(int xlfn, const std::vector<Oper>& args, Oper& result, std::string_view via);
  std::optional<std::string> open_document(const std::string& path);

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

  // A protected sheet refuses every change to its cells and to the rows and
  // columns shown, as Excel's does: the call fails.
  bool writable(const Sheet& sheet) {
    if (!sheet.protected_contents) return true;
    trace("  the sheet " + Application::full_name(sheet) + " is protected");
    return false;
  }

  void trace(const std::string& line) {
    if (tracing) services.trace(line);
  }

  // ------------------------------------------- registration and names
  // (capi_names.cpp)
  int register_function(const Args& a, Oper& r);
  int register_id(const Args& a, Oper& r);
  int unregister(const Args& a, Oper& r);
  int set_name(const Args& a, Oper& r);
  int define_name_command(const Args& a, Oper& r);
  int get_name_definition(const Args& a, Oper& r);
  std::string resolve_module(const std::string& module);

  // ------------------------------------------------ menus and toolbars
  // (capi_menus.cpp)
  bool table_of(const Oper& o, std::vector<std::vector<std::string>>& rows);
  static std::string column(const std::vector<std::string>& row, std::size_t i);
  static MenuCommand command_of(const std::vector<std::string>& row);
  Place place_of(const Oper& o);
  int bar_of(const Oper& o);
  int add_menu(const Args& a, Oper& r);
  std::optional<std::string> menu_name(int bar, const Oper& o);
  int delete_menu(const Args& a, Oper& r);
  int add_command(const Args& a, Oper& r);
  int delete_command(const Args& a, Oper& r);
  int get_bar(const Args& a, Oper& r);
  int get_toolbar(const Args& a, Oper& r);
  int delete_toolbar(const Args& a, Oper& r);
  int save_toolbar(const Args& a, Oper& r);

  // ------------------------------------------------ cells and selection
  // (capi_cells.cpp)
  int coerce(const Args& a, Oper& r);
  // xlCoerce as add-ins call it: coerce, except that a calculated reference
  // into a workbook whose direct reading is refused fails.
  int coerce_for_addin(const Args& a, Oper& r);
  std::optional<Oper> convert(const Oper& in, int mask);
  int set(const Args& a, Oper& r);
  int active_cell(const Args&, Oper& r);
  int selection(const Args&, Oper& r);
  int select(const Args& a, Oper& r);
  int get_formula(const Args& a, Oper& r);
  int formula(const Args& a, Oper& r);
  int format_number(const Args& a, Oper& r);
  int note(const Args& a, Oper& r);
  int get_note(const Args& a, Oper& r);
  int get_cell(const Args& a, Oper& r);
  std::string table_text(const Sheet& sheet, const Area& area);
  bool source_area(const Args& a, Sheet*& sheet, Area& area);
  bool target_cell(const Oper& o, Sheet*& sheet, CellPos& at);
  int copy_or_cut(const Args& a, Oper& r, bool cut);
  int copy(const Args& a, Oper& r);
  int cut(const Args& a, Oper& r);
  int paste(const Args& a, Oper& r);
  int insert(const Args& a, Oper& r);
  int row_height(const Args& a, Oper& r);
  int column_width(const Args& a, Oper& r);
  int sizes(const Args& a, Oper& r, bool rows);

  // ------------------------------------------------ workbooks and sheets
  // (capi_workbooks.cpp)
  int sheet_id(const Args& a, Oper& r);
  int sheet_name(const Args& a, Oper& r);
  Sheet* document_sheet(const Oper& name, Workbook*& book);
  int get_document(const Args& a, Oper& r);
  int get_workbook(const Args& a, Oper& r);
  int open(const Args& a, Oper& r);
  int new_document(const Args& a, Oper& r);
  int workbook_new(const Args&, Oper& r);
  bool activate_named(const std::string& text);
  int workbook_activate(const Args& a, Oper& r);
  int activate(const Args& a, Oper& r);
  int calculation(const Args& a, Oper& r);
  int calculate_now(const Args&, Oper& r);
  int calculate_document(const Args&, Oper& r);

  // ---------------------------------------------- workspace and information
  // (capi_workspace.cpp)
  int abort_check(const Args&, Oper& r);
  int get_hwnd(const Args&, Oper& r);
  int get_inst(const Args&, Oper& r);
  int get_name(const Args&, Oper& r);
  int messages(const Args&, Oper& r);
  int stack(const Args&, Oper& r);
  int get_workspace(const Args& a, Oper& r);
  int alert(const Args& a, Oper& r);
  int message(const Args& a, Oper& r);
  int echo(const Args& a, Oper& r);
  int caller_info(const Args&, Oper& r);
  int builtin(const Args& a, Oper& r, int number);
  int evaluate_text(const Args& a, Oper& r);

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

}  // namespace kovo::sheet
