// The add-in's DDE client: one DDEML client instance, the conversation table
// (the generic topic and every connector base name), the worksheet
// functions' requests (Evaluate), command strings, list continuation and the
// end of every conversation, on the shared client library (ddeclient/).
// A server that dies under a request ends its conversations at once; the
// cells still to be calculated then show that it is not responding, and the
// next calculation starts it again. Process-wide state: the spreadsheet
// calls the add-in on one thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addin/core/request_text.h"

namespace kovo::addin::conversations {

// Modes the tools switch on and off.
struct Modes {
  bool timing = false;     // results become the seconds a request took
  bool migration = false;  // every function answers the migration text
  // When set, requests are handed to it instead of being sent; its answer
  // is the function's result text.
  std::function<std::string(const std::string&)> capture;
};
Modes& modes();

// Settings the client works with (taken at opening, changed by the options).
void set_server_path(const std::string& path);
void set_time_out_ms(unsigned ms);
unsigned time_out_ms();
// Clears the server-started flag (at every opening).
void clear_server_started();
// The user ran a command: a server lost during the last calculation may be
// started again.
void user_turn();

// Initialises the client, makes the string handles, connects the generic
// topic (starting the server when needed) and sends "[SETTOPIC]" on it.
bool start();
// "[CLOSE]" on each conversation, disconnects, frees the handles, ends the client.
void end_all();
bool started();

// Makes sure the conversation of a table entry exists, starting the server
// for the generic topic when it is not running.
bool connect(std::size_t entry);

// What a worksheet function shows.
struct Outcome {
  enum class Kind { Number, Text, Uncalculated, Nothing } kind = Kind::Text;
  double number = 0;
  std::string text;
};
// Builds and sends one request; topic as the function's Topic argument gave
// it (empty for the generic topic).
Outcome evaluate(std::string_view item, std::string_view topic, const std::vector<Argument>& arguments,
                 bool value_first = false);

// Sends a command string on the generic conversation: with NOSHOW as a
// synchronous request whose answer is discarded (or kept in *data), else as
// an asynchronous execute. False when it could not be sent.
bool send_command(std::string_view text, std::string* data = nullptr);
// Sends a NOSHOW command and answers whether the answer begins with "Supp".
bool ask_supported(std::string_view text);
// A command carrying MOREDATA=0, sent again with MOREDATA=1 while the
// consumer answers that more data follows.
void list_with_continuation(std::string_view command, const std::function<bool(const std::string&)>& consumer);

// The latest DDE error's name, or empty.
const std::string& last_error();

}  // namespace kovo::addin::conversations
