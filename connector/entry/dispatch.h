// KovoDLLInterface's dispatch: the command-code table and the handlers behind it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "entry/command_codes.h"

namespace kovo {

enum class CodeKind {
  Window,        // opens a connector window, or runs it without interaction
  StartCalc,     // start recording the accounts a sheet uses
  FinishCalc,    // stop and hand over the sheet account analysis
  Value,         // a value request answered in the result text
  Version,       // the connector's version answer
  NotSupported,  // a code kept for callers that answers "Function not supported"
};

struct CommandCode {
  int code;
  CodeKind kind;
  bool crlf;  // "\r\n" is appended to the result text, even an empty one
};

// The entry of a listed code, or nullptr for a code that is not processed.
const CommandCode* find_command_code(int code);

// A value request handler writes its answer (or error text) into result and
// returns its status: 0, or for codes 114 to 116 the number of the message
// now in the result.
using ValueHandler = int (*)(int code, std::string_view arguments, std::string& result);
void register_value_handler(int code, ValueHandler handler);

// What the Windows shell of the connector supplies.
struct ConnectorHost {
  // Runs a window command. An automated window may hand a text back to the
  // command's caller in answer. Returns kStatusProcessed, or
  // kStatusNotProcessed with the reason in answer.
  int (*window_command)(int code, std::string_view arguments, std::string& answer) = nullptr;
  std::string (*version_answer)() = nullptr;
  void (*finish_calculation)() = nullptr;
};
void set_connector_host(const ConnectorHost& host);

bool calculation_in_progress();

// The whole of KovoDLLInterface: result may be null; capacity is its size.
// While the connector is busy (connector_busy()) no handler runs: the
// answer is the busy message and the status kStatusBusy.
int connector_interface(int code, const char* arguments, char* result, std::size_t capacity);

}  // namespace kovo
