// The add-in's entry points: opening and closing, registration, the add-in
// manager's calls and the worksheet functions. The commands run from the
// command table (addin/tools/commands_win.cpp).
#include "addin/core/addin_win.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

#include "addin/core/automation_win.h"
#include "addin/core/conversations_win.h"
#include "addin/core/excel_win.h"
#include "addin/core/messages.h"
#include "addin/core/procedures.h"
#include "addin/core/request_text.h"
#include "server/topics.h"

using kovo::addin::xl::Answer;
using kovo::addin::xl::Oper;

namespace kovo::addin {

namespace {

HINSTANCE g_module = nullptr;
bool g_analysis_warning = false;
std::string g_toolbar_name;
std::string g_module_name;

// The settings file as a profile.
class IniProfile : public Profile {
 public:
  bool read(std::string_view section, std::string_view key, std::string& value) override {
    static const char kAbsent[] = "\x01<absent>";
    char text[1024] = {};
    GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(), kAbsent, text, sizeof text,
                             settings_path().c_str());
    if (std::strcmp(text, kAbsent) == 0) return false;
    value = text;
    return true;
  }
  void write(std::string_view section, std::string_view key, std::string_view value) override {
    WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(), std::string(value).c_str(),
                               settings_path().c_str());
  }
};

std::string toolbar_file() { return settings().server_path + std::string(kToolbarFile); }

bool menu_present() {
  const Answer bar = xl::call(xlfGetBar, {Oper::number(10), Oper::text(kMenuName), Oper::number(0)});
  return bar.ok() && !bar.value.is_error();
}

bool toolbar_present() {
  const Answer present = xl::call(xlfGetToolbar, {Oper::number(7), Oper::text(g_toolbar_name)});
  return present.ok() && present.value.is_bool();
}

// The toolbar, when present, is saved to its file or deleted, as the
// settings now say: the Options dialog changes them for this session.
void settle_toolbar() {
  if (g_toolbar_name.empty() || !toolbar_present()) return;
  const AddinSettings& s = settings();
  if (s.toolbar_wanted() && s.save_toolbar == 1)
    xl::call(xlfSaveToolbar, {Oper::text(g_toolbar_name), Oper::text(toolbar_file())});
  else
    xl::call(xlfDeleteToolbar, {Oper::text(g_toolbar_name)});
}

Answer register_row(int row) {
  const RegistrationTable& table = registration_table();
  std::vector<Oper> arguments{Oper::text(g_module_name)};
  for (int c = 0; c < kRegistrationColumns; ++c) arguments.push_back(Oper::counted(table.cell(row, c).counted()));
  return xl::call(xlfRegister, arguments);
}

void new_workbook_at_opening() {
  const Answer sheet = xl::call(xlSheetId);
  if (sheet.ok() && !sheet.value.is_error()) return;
  xl::call(xlcNew, {Oper::number(5)});
  xl::call(xlcOptionsCalculation, {Oper::number(3), Oper(), Oper(), Oper(), Oper(), Oper(), Oper(), Oper::boolean(false)});
}

// A worksheet function's request: its Topic, its fields, Evaluate.
LPXLOPER evaluate_function(const char* procedure, std::initializer_list<LPXLOPER> given) {
  const FunctionItem* f = function_item(procedure);
  if (!f) return xl::return_error(xlerrValue);
  const std::vector<LPXLOPER> args(given);
  std::string topic;
  if (f->topic > 0 && !xl::topic_text(args[f->topic - 1], topic)) return xl::return_error(xlerrNA);
  std::vector<Argument> arguments;
  for (int i = 0; i < f->fields && i < static_cast<int>(args.size()); ++i) arguments.push_back(xl::argument(args[i]));
  const conversations::Outcome out = conversations::evaluate(f->item, topic, arguments, f->value_first);
  switch (out.kind) {
    case conversations::Outcome::Kind::Number: return xl::return_number(out.number);
    case conversations::Outcome::Kind::Text: return xl::return_text(out.text);
    default: return xl::return_error(xlerrNA);  // called again once its cells are calculated
  }
}

}  // namespace

AddinSettings& settings() {
  static AddinSettings s;
  return s;
}

std::string settings_path() {
  char folder[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE);
  return std::string(folder) + "\\Kovo.ini";
}

Profile& settings_profile() {
  static IniProfile profile;
  return profile;
}

std::string read_back(std::string_view section, std::string_view key, std::string_view fallback) {
  std::string value(fallback);
  settings_profile().read(section, key, value);
  settings_profile().write(section, key, value);
  return value;
}

RegistrationTable& registration_table() {
  static RegistrationTable table;
  return table;
}

bool analysis_warning_armed() { return g_analysis_warning; }
HINSTANCE module_handle() { return g_module; }

void set_manual_calculation() {
  xl::call(xlcCalculation, {Oper::number(3), Oper(), Oper(), Oper(), Oper(), Oper(), Oper(), Oper::boolean(false)});
  xl::call(xlcOptionsCalculation, {Oper::number(3), Oper::boolean(true)});
}

void exit_addin() {
  const RegistrationTable& table = registration_table();
  if (g_module_name.empty()) g_module_name = xl::addin_file_name();
  for (int r = 0; r < kRegistrationRows; ++r) {
    // The registration id, looked up by module and procedure (REGISTER would
    // register the procedure again), then unregistered.
    const Answer id = xl::call(xlfRegisterId, {Oper::text(g_module_name), Oper::counted(table.cell(r, kProcedure).counted())});
    if (id.ok() && id.value.is_number()) xl::call(xlfUnregister, {id.value});
  }
  closing_steps();
}

void closing_steps() {
  const RegistrationTable& table = registration_table();
  for (int r = 0; r < kRegistrationRows; ++r) xl::call(xlfSetName, {Oper::counted(table.cell(r, kFunctionText).counted())});
  if (menu_present()) xl::call(xlfDeleteMenu, {Oper::number(1), Oper::text(kMenuName)});
  settle_toolbar();
  conversations::end_all();
  automation::shut_down();
}

// ------------------------------------------------------------ cursor procedure

namespace {
constexpr char kPreviousProc[] = "KovoPreviousWndProc";
}

void install_cursor_proc(HWND window);
void remove_cursor_proc(HWND window);

}  // namespace kovo::addin

using namespace kovo::addin;

extern "C" LRESULT CALLBACK ExcelCursorProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_SETCURSOR) {
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    return 0;
  }
  auto previous = reinterpret_cast<WNDPROC>(GetPropA(window, kovo::addin::kPreviousProc));
  return previous ? CallWindowProcA(previous, window, message, w, l) : DefWindowProcA(window, message, w, l);
}

namespace kovo::addin {

void install_cursor_proc(HWND window) {
  if (!window || GetPropA(window, kPreviousProc)) return;
  const LONG_PTR previous = GetWindowLongPtrA(window, GWLP_WNDPROC);
  SetPropA(window, kPreviousProc, reinterpret_cast<HANDLE>(previous));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ExcelCursorProc));
}

void remove_cursor_proc(HWND window) {
  if (!window) return;
  HANDLE previous = GetPropA(window, kPreviousProc);
  if (!previous) return;
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  RemovePropA(window, kPreviousProc);
}

}  // namespace kovo::addin

// ------------------------------------------------------------------ entry points

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    registration_table();
    menu_table();
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    conversations::end_all();
  }
  return TRUE;
}

extern "C" void __stdcall SetExcel12EntryPt(void* entry) { xl::set_excel12_entry(entry); }

namespace kovo::addin {
namespace {

// Every setting read with its default and the whole set written back, so
// that the file always lists every key; the list separator is the user's
// locale's when it gives one.
void take_settings() {
  char separator[8] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator, sizeof separator);
  AddinSettings& s = settings();
  s = open_settings(settings_profile(), separator);
  conversations::set_time_out_ms(s.dde_time_out_ms());
  conversations::set_server_path(s.server_path);
}

// Every procedure registered; with "Functions Dirty" off the functions are
// non-volatile, and the analysis then warns that it sees only what Excel
// recalculates.
void register_procedures() {
  const bool volatile_functions = settings().volatile_functions();
  registration_table().recompute_lengths(volatile_functions);
  g_analysis_warning = !volatile_functions;
  for (int r = 0; r < kRegistrationRows; ++r) register_row(r);
}

// The menu goes before the help menu, and only once: a second opening in
// the same session finds it there.
void add_menu_once() {
  if (menu_present()) return;
  std::vector<std::string> texts;
  for (const auto& row : menu_table())
    for (const char* t : {row.text, row.command, row.shortcut, row.status, row.help}) texts.push_back(t);
  xl::call(xlfAddMenu,
           {Oper::number(1), Oper::text_array(kMenuRows, kMenuColumns, texts), Oper::text(settings().help_menu_text)});
}

void open_toolbar() {
  // The string table keeps the toolbar's name behind a blank where its
  // length byte once stood.
  const std::string message = addin_message(kMsgToolbarName);
  g_toolbar_name = message.empty() ? std::string() : message.substr(1);
  if (settings().toolbar_wanted()) xl::call(xlcOpen, {Oper::text(toolbar_file())});
}

}  // namespace
}  // namespace kovo::addin

extern "C" int __stdcall xlAutoOpen() {
  registration_table().recompute_lengths(true);
  // REGISTER names the library by its file.
  g_module_name = xl::addin_file_name();
  take_settings();
  register_procedures();
  // The report wizard's tables travel on the clipboard in a format of their own.
  RegisterClipboardFormatA(std::string(kClipboardFormatName).c_str());
  add_menu_once();
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof current, current);
  open_toolbar();
  // Requests are sent when the user asks, not whenever Excel recalculates.
  set_manual_calculation();
  // A server that ran in an earlier session proves nothing about this one.
  conversations::clear_server_started();
  // While connecting, the server's folder is current, so that the server
  // started by name alone is found there; the caller's folder comes back.
  const AddinSettings& s = settings();
  if (!s.server_path.empty()) SetCurrentDirectoryA(s.server_path.c_str());
  const bool connected = conversations::start();
  // Opened by hand (not by the add-in manager), the add-in gives the user a
  // workbook to start from.
  if (s.auto_attaching == 0 && s.create_new_workbook != 0) new_workbook_at_opening();
  SetCurrentDirectoryA(current);
  return connected ? 1 : 0;
}

extern "C" int __stdcall xlAutoClose() {
  closing_steps();
  return 1;
}

extern "C" LPXLOPER __stdcall xlAutoRegister(LPXLOPER name) {
  const Oper given = name ? Oper::copy_of(*name) : Oper();
  const auto row = registration_table().find_procedure(given.text());
  if (!given.is_text() || !row) return xl::return_error(xlerrValue);
  if (g_module_name.empty()) g_module_name = xl::addin_file_name();
  const Answer answer = register_row(*row);
  if (!answer.ok()) return xl::return_error(xlerrValue);
  return answer.value.is_number() ? xl::return_number(answer.value.number()) : xl::return_error(xlerrValue);
}

extern "C" int __stdcall xlAutoAdd() {
  xl::call(xlcAlert, {Oper::text(addin_message(kMsgThanks)), Oper::number(2)});
  write_setting(settings_profile(), kExcelSection, "Auto-Attaching", "1");
  settings().auto_attaching = 1;
  return 1;
}

extern "C" int __stdcall xlAutoRemove() {
  conversations::end_all();
  xl::call(xlcAlert, {Oper::text(addin_message(kMsgRemoved)), Oper::number(2)});
  write_setting(settings_profile(), kExcelSection, "Auto-Attaching", "0");
  settings().auto_attaching = 0;
  settle_toolbar();
  return 1;
}

extern "C" LPXLOPER __stdcall xlAddInManagerInfo(LPXLOPER which) {
  const Answer n = which ? xl::coerce(Oper::copy_of(*which), xltypeInt) : Answer{};
  if (n.ok() && static_cast<int>(n.value.number()) == 1) return xl::return_text(kAddinManagerName);
  return xl::return_error(xlerrValue);
}

extern "C" int __stdcall WEP(int) { return 1; }

// ------------------------------------------------------------ worksheet functions

#define KOVO_ARGS7 LPXLOPER a1, LPXLOPER a2, LPXLOPER a3, LPXLOPER a4, LPXLOPER a5, LPXLOPER a6, LPXLOPER a7
extern "C" LPXLOPER __stdcall GL(KOVO_ARGS7) { return evaluate_function("GL", {a1, a2, a3, a4, a5, a6, a7}); }
extern "C" LPXLOPER __stdcall NGL(KOVO_ARGS7) { return evaluate_function("NGL", {a1, a2, a3, a4, a5, a6, a7}); }
extern "C" LPXLOPER __stdcall GLGroup(KOVO_ARGS7) { return evaluate_function("GLGroup", {a1, a2, a3, a4, a5, a6, a7}); }
extern "C" LPXLOPER __stdcall KovoData(KOVO_ARGS7) { return evaluate_function("KovoData", {a1, a2, a3, a4, a5, a6, a7}); }
extern "C" LPXLOPER __stdcall GLTran(KOVO_ARGS7) { return evaluate_function("GLTran", {a1, a2, a3, a4, a5, a6, a7}); }
extern "C" LPXLOPER __stdcall Desc(LPXLOPER a1, LPXLOPER a2, LPXLOPER a3, LPXLOPER a4, LPXLOPER a5, LPXLOPER a6) {
  return evaluate_function("Desc", {a1, a2, a3, a4, a5, a6});
}
extern "C" LPXLOPER __stdcall SDesc(LPXLOPER a1, LPXLOPER a2, LPXLOPER a3, LPXLOPER a4, LPXLOPER a5) {
  return evaluate_function("SDesc", {a1, a2, a3, a4, a5});
}
extern "C" LPXLOPER __stdcall CoData(LPXLOPER a1, LPXLOPER a2, LPXLOPER a3) {
  return evaluate_function("CoData", {a1, a2, a3});
}
extern "C" LPXLOPER __stdcall AcctData(LPXLOPER a1, LPXLOPER a2, LPXLOPER a3, LPXLOPER a4, LPXLOPER a5) {
  return evaluate_function("AcctData", {a1, a2, a3, a4, a5});
}
extern "C" LPXLOPER __stdcall GTTran(KOVO_ARGS7, LPXLOPER a8, LPXLOPER a9, LPXLOPER a10, LPXLOPER a11) {
  return evaluate_function("GTTran", {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11});
}
extern "C" LPXLOPER __stdcall JCTran(KOVO_ARGS7, LPXLOPER a8, LPXLOPER a9) {
  return evaluate_function("JCTran", {a1, a2, a3, a4, a5, a6, a7, a8, a9});
}
extern "C" LPXLOPER __stdcall WGL(KOVO_ARGS7, LPXLOPER a8) {
  return evaluate_function("WGL", {a1, a2, a3, a4, a5, a6, a7, a8});
}
extern "C" LPXLOPER __stdcall WDESC(KOVO_ARGS7) { return evaluate_function("WDESC", {a1, a2, a3, a4, a5, a6, a7}); }

extern "C" LPXLOPER __stdcall OD(KOVO_ARGS7, LPXLOPER a8, LPXLOPER a9, LPXLOPER a10, LPXLOPER a11, LPXLOPER a12,
                                 LPXLOPER a13, LPXLOPER a14, LPXLOPER a15, LPXLOPER a16, LPXLOPER a17, LPXLOPER a18,
                                 LPXLOPER a19, LPXLOPER a20, LPXLOPER a21, LPXLOPER a22, LPXLOPER a23, LPXLOPER a24,
                                 LPXLOPER a25, LPXLOPER a26, LPXLOPER a27, LPXLOPER a28) {
  LPXLOPER result = evaluate_function("OD", {a1,  a2,  a3,  a4,  a5,  a6,  a7,  a8,  a9,  a10, a11, a12, a13, a14,
                                             a15, a16, a17, a18, a19, a20, a21, a22, a23, a24, a25, a26, a27, a28});
  const Oper value = Oper::copy_of(*result);
  if (value.is_text() && !value.text().empty() && value.text()[0] == '\'') return xl::return_text(value.text().substr(1));
  return result;
}

// The specifier and up to 15 lists: 16 arguments, as registered.
extern "C" LPXLOPER __stdcall BSpec(LPXLOPER spec, LPXLOPER l1, LPXLOPER l2, LPXLOPER l3, LPXLOPER l4, LPXLOPER l5,
                                    LPXLOPER l6, LPXLOPER l7, LPXLOPER l8, LPXLOPER l9, LPXLOPER l10, LPXLOPER l11,
                                    LPXLOPER l12, LPXLOPER l13, LPXLOPER l14, LPXLOPER l15) {
  std::vector<Argument> lists;
  for (LPXLOPER l : {l1, l2, l3, l4, l5, l6, l7, l8, l9, l10, l11, l12, l13, l14, l15})
    if (l && (l->xltype & 0x0FFF) != xltypeMissing) lists.push_back(xl::argument(l));
  const auto result = bspec(xl::argument(spec), lists);
  if (!result) return xl::return_error(xlerrNA);
  return xl::return_text(*result);
}

