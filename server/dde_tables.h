// The server's wire names: request items and execute commands with the codes
// that KovoDLLInterface receives (connector/entry/command_codes.h), and how
// arguments are cut out of them.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "connector/entry/command_codes.h"

namespace kovo::server {

struct NamedCode {
  std::string_view name;
  int code;
};

std::span<const NamedCode> item_table();
std::span<const NamedCode> command_table();

inline constexpr std::size_t kMaxItemLength = 662;
inline constexpr std::size_t kMaxCommandLength = 254;

// Item name compared case-insensitively and in full.
std::optional<int> find_item(std::string_view item_name);
// First command whose prefix begins the text (case-insensitive).
std::optional<int> find_command(std::string_view command_text);

// A request item split at its first ";": name and arguments.
struct SplitItem {
  std::string_view name;
  std::string_view arguments;
};
SplitItem split_item(std::string_view item);

// Arguments of an execute command: the text between the first "(" and the
// last ")", or the whole command when either is missing or nothing follows "(".
std::string_view command_arguments(std::string_view command);

// Where "NOSHOW" (compared without regard to case) begins in a command, if
// anywhere: the one test of it that the server and its clients share.
std::optional<std::size_t> find_noshow(std::string_view command);

// True when a command carries NOSHOW: clients send it as a synchronous
// request whose item is the command (its answer is the command's result)
// instead of an execute.
inline bool sent_as_request(std::string_view command) { return find_noshow(command).has_value(); }

// True when the upper-cased arguments hold "NOSHOW" followed by "=" and a
// non-zero number.
bool command_is_quiet(std::string_view arguments);

// The server handles these commands itself; they never reach a connector.
bool handled_by_server(int code);

// Whether a command passed to a connector gets a result buffer. A command
// that came as a request does: any automated connector window may hand a
// text back to its caller. An execute's answer is thrown away; only the
// list command gets one there, as connectors have always been given.
bool command_gets_result(int code, bool sent_as_request);

}  // namespace kovo::server
