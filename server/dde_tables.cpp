#include "server/dde_tables.h"

#include <cctype>
#include <cstdlib>

#include "server/topics.h"

namespace kovo::server {
namespace {

constexpr NamedCode kItems[] = {
    {"GL", 100},          {"NGL", 102},          {"DESC", 103},         {"GLTRAN", 104},
    {"GTTRAN", 105},      {"JCTRAN", 106},       {"GTDESC", 107},       {"GTBUDGET", 108},
    {"SDESC", 114},       {"CODATA", 115},       {"ACCTDATA", 116},     {"OD", 117},
    {"KovoCOM1", 118},    {"KovoCOM2", 119},     {"KovoCOM3", 120},     {"KovoLIST", 121},
    {"KovoDPL", 122},     {"KovoRESET", 123},    {"JC", 124},           {"KovoVERSION", 125},
    {"WGL", 126},         {"GLGROUP", 128},      {"KovoTOPIC", 130},    {"KovoSYSTEM", 132},
    {"SETUP_SETTINGS", 133}, {"CONTROL_DEFS", 134}, {"SETUP_RNA", 135},  {"SETUP_ZL", 136},
    {"SETUP_RO", 137},    {"SETUP_SC", 138},     {"SETUP_PERIOD", 139}, {"SETUP_BUD_TYPE", 140},
};

constexpr NamedCode kCommands[] = {
    {"[SETTOPIC", 6},      {"[SETUP", 3},        {"[BUDGET", 13},      {"[CHART", 4},
    {"[CLOSE", 1},         {"[DRILLDOWN", 5},    {"[KovoLIST", 19},    {"[KovoRESET", 21},
    {"[KovoSERVER", 7},    {"[PASSWORD", 2},     {"[PERIODW", 14},     {"[FINISH_CALC", 12},
    {"[START_CALC", 11},   {"[KovoCOM1", 16},    {"[KovoCOM2", 17},    {"[KovoCOM3", 18},
    {"[REPORT", 10},       {"[INQUIRE", 22},     {"[KovoDPL", 20},     {"[SERVERHELP", 32767},
    {"[DLLHELP", 9},       {"[DLLSETUP", 15},    {"[CLIP_TO_DDE", 27}, {"[SER_VERSION", 28},
    {"[INQUIRE2", 39},
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
