// The add-in's commands: what each does in the spreadsheet before it talks
// to the server, and what it sends. The one table the command procedures
// run from (commands_win.cpp) and the tests read; the strings are built
// with the core's command_string and sent by its DDE client.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kovo::addin::tools {

// What a command does before it sends (or instead of sending).
enum class CommandPrelude {
  None,
  CopySelection,         // COPY of the current selection (budget write-back reads it)
  ReenterActiveFormula,  // manual calculation, the active cell's formula entered again
  VersionBox,            // the version box (asks the server for its version)
  OptionsDialog,         // the Options dialog; nothing is sent
  AnalyzeDialog,         // the Analyze dialog
  ReportWizard,          // the report wizard builds a report on the active sheet
  ZeroSuppress,          // hides the all-zero rows and columns of a range
  ViewerCopy,            // the product's formulas of the selection become their values
  Migrate,               // the older generation's formulas rewritten
  EnquiryPaste,          // the account enquiry on the clipboard pasted as a GL formula
  Close,                 // every procedure unregistered, then the add-in closed
};

// How the command's string is made.
enum class CommandSend {
  Word,     // "[" word "(" packed argument ")" "]", the parentheses only when packed is not empty
  Fixed,    // the text is sent unchanged
  Request,  // a request item evaluated on the generic topic (the version box)
  Nothing,  // the prelude does everything
};

struct CommandInfo {
  std::string_view procedure;  // exported and registered name
  CommandPrelude prelude;
  CommandSend send;
  std::string_view text;       // command word, fixed string or request item
  bool takes_argument;         // the CommandList/ValuesToList argument is packed into the string
};

std::span<const CommandInfo> command_table();
// The row of a procedure, compared without regard to case.
const CommandInfo* find_command(std::string_view procedure);

// The string a command sends for a packed argument (empty when the command
// takes none or has none): nullopt for commands that send nothing by
// themselves (dialogs, tools, the version request).
std::optional<std::string> command_text(const CommandInfo& command, std::string_view packed = {});

// Analysis bracket sent around the recalculation of the Analyze dialog.
inline constexpr std::string_view kStartCalc = "[START_CALC(NOSHOW=1)]";
inline constexpr std::string_view kFinishCalc = "[FINISH_CALC(NOSHOW=1)]";
inline constexpr std::string_view kVersionRequest = "KovoVERSION";

}  // namespace kovo::addin::tools
