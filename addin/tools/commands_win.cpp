// The add-in's command procedures: each one looks itself up in the command
// table and runs what its row says, first in the spreadsheet, then on the
// server.
#include <windows.h>

#include <string>
#include <string_view>

#include "addin/core/addin_win.h"
#include "addin/core/conversations_win.h"
#include "addin/core/excel_win.h"
#include "addin/core/procedures.h"
#include "addin/core/request_text.h"
#include "addin/tools/command_table.h"
#include "addin/tools/tool_commands_win.h"

namespace kovo::addin::tools {

namespace {

using xl::Answer;
using xl::Oper;

// The active cell's formula entered again, with calculation manual, so that
// its request reaches the server before the command that asks about it.
void reenter_active_cell() {
  xl::call(xlcCalculation, {Oper::number(3)});
  const Answer cell = xl::call(xlfActiveCell);
  if (!cell.ok() || !cell.value.is_reference()) return;
  const Answer formula = xl::call(xlfGetFormula, {cell.value});
  if (formula.ok() && formula.value.is_text() && !formula.value.text().empty())
    xl::call(xlcFormula, {formula.value, cell.value});
}

// Sends the command's string, its argument packed into it when the row
// says so. A list with a cell not yet calculated sends nothing.
void send(const CommandInfo& command, const XLOPER* argument) {
  std::string packed;
  if (command.takes_argument && argument) {
    const auto p = pack_argument(xl::argument(argument));
    if (!p) return;
    packed = *p;
  }
  if (const auto text = command_text(command, packed)) conversations::send_command(*text);
}

int run_command(std::string_view procedure, const XLOPER* argument) {
  const CommandInfo* command = find_command(procedure);
  if (!command) return 1;
  conversations::user_turn();
  using P = CommandPrelude;
  switch (command->prelude) {
    case P::None: break;
    case P::CopySelection: xl::call(xlcCopy); break;
    case P::ReenterActiveFormula: reenter_active_cell(); break;
    case P::VersionBox: return version_box();
    case P::OptionsDialog: return options();
    case P::AnalyzeDialog: return analyze();
    case P::ZeroSuppress: return zero_suppress(argument);
    case P::ViewerCopy: return to_viewer(argument);
    case P::Migrate: return migrate(argument);
    case P::ReportWizard: return report_wizard();
    case P::EnquiryPaste: return enquiry_paste();
    case P::Close: exit_addin(); return 1;
  }
  send(*command, argument);
  return 1;
}

}  // namespace

}  // namespace kovo::addin::tools

using kovo::addin::tools::run_command;

#define KOVO_COMMAND(name) \
  extern "C" int __stdcall name() { return run_command(#name, nullptr); }
#define KOVO_COMMAND_OF(name) \
  extern "C" int __stdcall name(LPXLOPER argument) { return run_command(#name, argument); }

KOVO_COMMAND_OF(DrillDown)
KOVO_COMMAND(KovoServer)
KOVO_COMMAND_OF(Setup)
KOVO_COMMAND_OF(Chart)
KOVO_COMMAND_OF(Passwords)
KOVO_COMMAND(XLLInitKovo)
KOVO_COMMAND(ServerHelp)
KOVO_COMMAND(DLLHelp)
KOVO_COMMAND(SetTopic)
KOVO_COMMAND(VersionKovo)
KOVO_COMMAND_OF(PeriodW)
KOVO_COMMAND_OF(ReportW)
KOVO_COMMAND_OF(Budget)
KOVO_COMMAND_OF(KovoCom1)
KOVO_COMMAND_OF(KovoCom2)
KOVO_COMMAND_OF(KovoCom3)
KOVO_COMMAND_OF(KovoList)
KOVO_COMMAND_OF(KovoReset)
KOVO_COMMAND_OF(KovoDPL)
KOVO_COMMAND_OF(ZeroSuppress)
KOVO_COMMAND_OF(Analyze)
KOVO_COMMAND_OF(Inquire)
KOVO_COMMAND_OF(GLPaste)
KOVO_COMMAND_OF(ToViewer)
KOVO_COMMAND(ExitKovo)
KOVO_COMMAND_OF(Migrate)
