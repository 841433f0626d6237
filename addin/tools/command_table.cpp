#include "addin/tools/command_table.h"

#include "addin/core/request_text.h"

#include <array>
#include <cctype>

namespace kovo::addin::tools {

namespace {

using P = CommandPrelude;
using S = CommandSend;

constexpr std::array<CommandInfo, 26> kCommands{{
    {"Setup", P::None, S::Word, "SETUP", true},
    {"Chart", P::None, S::Word, "CHART", true},
    {"Passwords", P::None, S::Word, "PASSWORD", true},
    {"PeriodW", P::None, S::Word, "PERIODW", true},
    {"Budget", P::CopySelection, S::Word, "BUDGET", true},
    {"KovoCom1", P::None, S::Word, "KovoCOM1", true},
    {"KovoCom2", P::None, S::Word, "KovoCOM2", true},
    {"KovoCom3", P::None, S::Word, "KovoCOM3", true},
    {"KovoList", P::None, S::Word, "KovoLIST", true},
    {"KovoDPL", P::None, S::Word, "KovoDPL", true},
    {"KovoReset", P::None, S::Word, "KovoReset", false},
    {"DrillDown", P::ReenterActiveFormula, S::Word, "DRILLDOWN", true},
    {"Inquire", P::ReenterActiveFormula, S::Word, "INQUIRE", true},
    {"KovoServer", P::None, S::Fixed, "[KovoSERVER]", false},
    {"DLLHelp", P::None, S::Fixed, "[DLLHELP]", false},
    {"ServerHelp", P::None, S::Fixed, "[SERVERHELP]", false},
    {"SetTopic", P::None, S::Fixed, "[SETTOPIC]", false},
    {"VersionKovo", P::VersionBox, S::Request, kVersionRequest, false},
    {"XLLInitKovo", P::OptionsDialog, S::Nothing, "", false},
    {"Analyze", P::AnalyzeDialog, S::Nothing, "", false},
    {"ReportW", P::ReportWizard, S::Nothing, "", false},
    {"ZeroSuppress", P::ZeroSuppress, S::Nothing, "", false},
    {"ToViewer", P::ViewerCopy, S::Nothing, "", false},
    {"Migrate", P::Migrate, S::Nothing, "", false},
    {"GLPaste", P::EnquiryPaste, S::Nothing, "", false},
    {"ExitKovo", P::Close, S::Nothing, "", false},
}};

bool same_no_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

std::span<const CommandInfo> command_table() { return kCommands; }

const CommandInfo* find_command(std::string_view procedure) {
  for (const auto& c : kCommands)
    if (same_no_case(c.procedure, procedure)) return &c;
  return nullptr;
}

std::optional<std::string> command_text(const CommandInfo& command, std::string_view packed) {
  switch (command.send) {
    case CommandSend::Word: return kovo::addin::command_string(command.text, command.takes_argument ? packed : std::string_view{});
    case CommandSend::Fixed: return std::string(command.text);
    case CommandSend::Request:
    case CommandSend::Nothing: return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace kovo::addin::tools
