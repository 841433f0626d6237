#include "server/dde_tables.h"

#include <cctype>
#include <cstdlib>

#include "server/topics.h"

namespace kovo::server {
namespace {

using namespace codes;

constexpr NamedCode kItems[] = {
    {"GL", kGl},                {"NGL", kNgl},                  {"DESC", kDesc},
    {"GLTRAN", kGlTran},        {"GTTRAN", kGtTran},            {"JCTRAN", kJcTran},
    {"GTDESC", kGtDesc},        {"GTBUDGET", kGtBudget},        {"SDESC", kSdesc},
    {"CODATA", kCodata},        {"ACCTDATA", kAcctData},        {"OD", kOd},
    {"KovoCOM1", kCom1Item},    {"KovoCOM2", kCom2Item},        {"KovoCOM3", kCom3Item},
    {"KovoLIST", kListItem},    {"KovoDPL", kDplItem},          {"KovoRESET", kResetItem},
    {"JC", kJc},                {"KovoVERSION", kVersion},      {"WGL", kWgl},
    {"GLGROUP", kGlGroup},      {"KovoTOPIC", kTopic},          {"KovoSYSTEM", kSystem},
    {"SETUP_SETTINGS", kSetupSettings}, {"CONTROL_DEFS", kControlDefs}, {"SETUP_RNA", kSetupRna},
    {"SETUP_ZL", kSetupZl},     {"SETUP_RO", kSetupRo},         {"SETUP_SC", kSetupSc},
    {"SETUP_PERIOD", kSetupPeriod}, {"SETUP_BUD_TYPE", kSetupBudType},
};

// Searched in this order by prefix: "[INQUIRE" takes "[INQUIRE2" too.
constexpr NamedCode kCommands[] = {
    {"[SETTOPIC", kSetTopic},     {"[SETUP", kSetup},           {"[BUDGET", kBudget},
    {"[CHART", kChart},           {"[CLOSE", kClose},           {"[DRILLDOWN", kDrillDown},
    {"[KovoLIST", kList},         {"[KovoRESET", kReset},       {"[KovoSERVER", kServer},
    {"[PASSWORD", kPassword},     {"[PERIODW", kPeriodWizard},  {"[FINISH_CALC", kFinishCalc},
    {"[START_CALC", kStartCalc},  {"[KovoCOM1", kCom1},         {"[KovoCOM2", kCom2},
    {"[KovoCOM3", kCom3},         {"[REPORT", kReport},         {"[INQUIRE", kInquire},
    {"[KovoDPL", kDataPreload},   {"[SERVERHELP", kServerHelp}, {"[DLLHELP", kDllHelp},
    {"[DLLSETUP", kDllSetup},     {"[CLIP_TO_DDE", kClipToDde}, {"[SER_VERSION", kServerVersion},
    {"[INQUIRE2", kInquire2},
};

}  // namespace

std::span<const NamedCode> item_table() { return kItems; }
std::span<const NamedCode> command_table() { return kCommands; }

std::optional<int> find_item(std::string_view item_name) {
  for (const auto& item : kItems)
    if (equal_nocase(item.name, item_name)) return item.code;
  return std::nullopt;
}

std::optional<int> find_command(std::string_view command_text) {
  for (const auto& command : kCommands)
    if (starts_with_nocase(command_text, command.name)) return command.code;
  return std::nullopt;
}

SplitItem split_item(std::string_view item) {
  const std::size_t semicolon = item.find(';');
  if (semicolon == std::string_view::npos) return {item, {}};
  return {item.substr(0, semicolon), item.substr(semicolon + 1)};
}

std::string_view command_arguments(std::string_view command) {
  const std::size_t open = command.find('(');
  const std::size_t close = command.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos ||
      open + 1 >= command.size() || close < open + 1)
    return command;
  return command.substr(open + 1, close - open - 1);
}

std::optional<std::size_t> find_noshow(std::string_view command) {
  constexpr std::string_view kNoShow = "NOSHOW";
  for (std::size_t at = 0; at + kNoShow.size() <= command.size(); ++at)
    if (starts_with_nocase(command.substr(at), kNoShow)) return at;
  return std::nullopt;
}

bool command_is_quiet(std::string_view arguments) {
  const auto at = find_noshow(arguments);
  if (!at) return false;
  const std::size_t eq = arguments.find('=', *at);
  if (eq == std::string_view::npos) return false;
  const std::string value(arguments.substr(eq + 1));
  return std::atoi(value.c_str()) != 0;
}

}  // namespace kovo::server

namespace kovo::server {

bool handled_by_server(int code) {
  using namespace codes;
  return code == kClose || code == kSetTopic || code == kServer || code == kClipToDde ||
         code == kServerVersion || code == kServerHelp;
}

bool command_gets_result(int code, bool sent_as_request) { return sent_as_request || code == codes::kList; }

}  // namespace kovo::server
