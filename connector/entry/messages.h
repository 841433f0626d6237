// The connector's pending-message buffer and its texts.
//
// Every failure inside the connector is reported once with a message number
// and an optional detail; the first report of a request wins and later ones
// only record their number. The request's result text then takes the pending
// message. Texts come from the connector's string table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kovo {

inline constexpr std::size_t kMessageBufferSize = 256;  // bytes, terminator included
inline constexpr std::string_view kMessagePrefix = "Kovo [CYMA]";

// Text of a message number from the string table; empty when unknown.
std::string message_string(int number);

// Where message_string looks texts up. The library installs its resource
// reader here; portable code and tests use the built-in table.
using StringSource = std::string (*)(int number);
void set_string_source(StringSource source);
std::string builtin_message_string(int number);

// Record a failure. Fills the buffer only when no message is pending.
void report(int number, std::string_view detail = {});

// Moves the pending message into result (capacity bytes, terminator included).
// Returns true when one was pending; the buffer is empty afterwards.
bool take_message(char* result, std::size_t capacity);

void clear_message();
bool message_pending();
std::string_view pending_message();
int last_error_number();
// The number and detail of the pending message (0 and empty when none).
int pending_number();
std::string_view pending_detail();

// Builds the text of a report without touching the buffer: the prefix, the
// message string (numbers above 1) and " - detail", cut to the buffer size.
std::string format_message(int number, std::string_view detail);

// The text a message box shows: the string of the number (when the number is
// 0 or more), then " - " and the detail when one is given; a negative
// number shows the detail alone.
std::string box_text(int number, std::string_view detail);

}  // namespace kovo
