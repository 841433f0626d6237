// The C API as the host offers it: every call an add-in makes through
// Excel4/Excel4v/Excel12v lands in CApi::call with its arguments read into
// host values, and acts on the workbook model. The Windows layer turns
// XLOPERs into these values and back and supplies the HostServices and
// AddinServices.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheethost/menus.h"
#include "sheethost/oper.h"
#include "sheethost/registry.h"
#include "sheethost/workbook.h"

namespace kovo::sheet {

// Who is calling: the host itself, a command (xlAuto* entry points,
// command macros), a worksheet function, or a macro-sheet-equivalent
// function ("#"). Worksheet functions may use only the special functions,
// worksheet functions and xlfCaller; "#" functions also the information
// functions; commands everything.
enum class CallerKind { Host, Command, Function, MacroFunction };

struct CallerInfo {
  CallerKind kind = CallerKind::Host;
  std::string module;           // the add-in that is running (xlGetName)
  Sheet* sheet = nullptr;       // function: the calling cell's sheet
  CellPos cell{};               // function: the calling cell
  int menu_bar = 0, menu = 0, command = 0;  // command run from a menu
};

// What the host program gives the C API besides the workbooks: the
// clipboard, boxes and the status bar shown to the user, the trace, and the
// handles add-ins ask for. The window of a run is apart from these, so a
// batch run has the same services without a window shown.
class HostServices {
 public:
  virtual ~HostServices() = default;
  virtual std::optional<std::string> clipboard_text() = 0;
  virtual bool set_clipboard_text(const std::string& text) = 0;
  virtual std::uint64_t clipboard_sequence() = 0;
  // ALERT: true for OK. Never waits on a person in a batch run.
  virtual bool alert(const std::string& text, int type) = 0;
  // Something the host would show the user (a file that did not open).
  virtual void report(const std::string& text) = 0;
  // MESSAGE: the status bar's text ("" for the default status bar).
  virtual void status_text(const std::string& text) = 0;
  virtual std::intptr_t main_window() = 0;
  virtual std::intptr_t instance() = 0;
  virtual void trace(const std::string& line) = 0;
};

// Add-in files as the C API reaches them: REGISTER naming a file, OPEN of
// an add-in, the procedures registered.
class AddinServices {
 public:
  virtual ~AddinServices() = default;
  // The full path of a loaded add-in named by path or file name ("" when none).
  virtual std::string resolve_module(const std::string& module) = 0;
  // Opens an add-in file (xlAutoOpen).
  virtual bool open_addin(const std::string& path, std::string& error) = 0;
  virtual void* find_procedure(const std::string& module, const std::string& procedure) = 0;
  // xlAutoRegister of the add-in for a procedure, if it exports one.
  virtual std::optional<Oper> auto_register(const std::string& module, const std::string& procedure) = 0;
};

class CApi {
 public:
  CApi(Application& app, HostServices& services);
  ~CApi();
  CApi(const CApi&) = delete;
  CApi& operator=(const CApi&) = delete;

  // One call; the answer is a C API return code (xlretSuccess, ...). "via"
  // names the entry for the trace ("Excel4", "Excel12").
  int call(int xlfn, const std::vector<Oper>& args, Oper& result, std::string_view via = "Excel4");

  // The add-ins' side, once there is one (until then add-in files cannot be opened).
  void set_addins(AddinServices& addins);

  // Opens a document by its extension: a workbook or CSV sheet (activated
  // when it is open already; a CSV sheet calculated), a toolbar file or an
  // add-in. A message when it cannot be opened.
  std::optional<std::string> open_document(const std::string& path);

  Application& app();
  HostServices& services();
  Registry& registry();
  MenuBars& menus();
  Toolbars& toolbars();

  void push_caller(CallerInfo caller);
  void pop_caller();
  const CallerInfo& caller() const;

  void set_tracing(bool on);
  bool tracing() const;
  void trace(const std::string& line);
  // A value for the trace: 12, "abc", TRUE, #N/A, [Book1]Sheet1!R1C1:R2C2, {2x3}.
  std::string describe(const Oper& o) const;
  // "FORMULA", "xlCoerce", ... or "function N".
  static std::string function_name(int xlfn);

  // Recalculates when the mode is automatic (after a change by the host).
  void after_change();
  // The value of a single cell, or of a reference, for a function argument
  // (P/Q types and coercions); uncalculated is reported.
  bool read_value(const Oper& ref, Oper& out, bool& uncalculated);
  // From now on, xlCoerce of a calculated reference into the workbook of
  // this name (whenever it is open) fails with xlretFailed, as a
  // spreadsheet fails that cannot read such a reference directly; the host
  // itself (function arguments, automation) still reads it.
  void refuse_direct_read(const std::string& book);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Pushes a caller for the length of a scope.
class CallerScope {
 public:
  CallerScope(CApi& api, CallerInfo caller) : api_(api) { api_.push_caller(std::move(caller)); }
  ~CallerScope() { api_.pop_caller(); }
  CallerScope(const CallerScope&) = delete;
  CallerScope& operator=(const CallerScope&) = delete;

 private:
  CApi& api_;
};

// Host values and cell values.
Oper value_to_oper(const Value& v);
Value oper_to_value(const Oper& o);

}  // namespace kovo::sheet
