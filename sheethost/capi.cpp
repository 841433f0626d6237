// The C API's dispatch: every call number the host offers, in one table
// with who may call it and whether it changes the workbook, and the calls
// of the host's own (opening a document, reading a value) that share the
// handlers. The handlers themselves are in capi_*.cpp, by group of calls.
#include "sheethost/capi.h"

#include "sheethost/capi_impl.h"
#include "sheethost/files.h"

namespace kovo::sheet {

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

int CApi::Impl::call(int xlfn, const std::vector<Oper>& args, Oper& result, std::string_view via) {
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


const std::vector<CApi::Impl::Entry>& CApi::Impl::table() {
  using I = Impl;
  static const std::vector<Entry> entries = {
      // special functions
      {xlCoerce, "xlCoerce", Access::Any, false, &I::coerce_for_addin},
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
      {xlfRegisterId, "REGISTER.ID", Access::Info, false, &I::register_id},
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

void CApi::set_addins(AddinServices& addins) { impl_->addins = &addins; }

std::optional<std::string> CApi::open_document(const std::string& path) { return impl_->open_document(path); }

int CApi::call(int xlfn, const std::vector<Oper>& args, Oper& result, std::string_view via) {
  return impl_->call(xlfn, args, result, via);
}

Application& CApi::app() { return impl_->app; }
HostServices& CApi::services() { return impl_->services; }
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

void CApi::refuse_direct_read(const std::string& book) { impl_->refused_books.push_back(book); }

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
