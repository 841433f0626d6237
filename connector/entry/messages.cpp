#include "entry/messages.h"

#include <array>
#include <algorithm>
#include <cstring>
#include <utility>

namespace kovo {
namespace {

struct StringEntry {
  int number;
  const char* text;
};

constexpr StringEntry kStrings[] = {
#define KOVO_STRING(number, text) {number, text},
#include "resources/strings.def"
#undef KOVO_STRING
};

StringSource g_source = nullptr;

struct MessageBuffer {
  std::array<char, kMessageBufferSize> text{};
  int last_number = 0;
  int pending_number = 0;
  std::string pending_detail;
};
MessageBuffer g_message;

}  // namespace

std::string builtin_message_string(int number) {
  for (const auto& entry : kStrings)
    if (entry.number == number) return entry.text;
  return {};
}

void set_string_source(StringSource source) { g_source = source; }

std::string message_string(int number) {
  return g_source ? g_source(number) : builtin_message_string(number);
}

std::string format_message(int number, std::string_view detail) {
  std::string text(kMessagePrefix);
  if (number > 1) {
    text += ' ';
    text += message_string(number);
  }
  if (!detail.empty()) text += " - ";
  const std::size_t room = kMessageBufferSize - 1;
  if (text.size() > room) text.resize(room);
  text.append(detail.substr(0, room - text.size()));
  return text;
}

std::string box_text(int number, std::string_view detail) {
  if (number < 0) return std::string(detail);
  std::string text;
  if (number >= 0) text = message_string(number);
  if (!detail.empty()) {
    text += " - ";
    text += detail;
  }
  return text;
}

void report(int number, std::string_view detail) {
  g_message.last_number = number;
  if (g_message.text[0] != '\0') return;
  const std::string text = format_message(number, detail);
  std::memcpy(g_message.text.data(), text.c_str(), text.size() + 1);
  g_message.pending_number = number;
  g_message.pending_detail = std::string(detail);
}

bool take_message(char* result, std::size_t capacity) {
  if (g_message.text[0] == '\0') return false;
  if (result && capacity > 0) {
    const std::size_t length = std::min(std::strlen(g_message.text.data()), capacity - 1);
    std::memcpy(result, g_message.text.data(), length);
    result[length] = '\0';
  }
  g_message.text[0] = '\0';
  return true;
}

void clear_message() { g_message.text[0] = '\0'; }
bool message_pending() { return g_message.text[0] != '\0'; }
std::string_view pending_message() { return g_message.text.data(); }
int last_error_number() { return g_message.last_number; }
int pending_number() { return message_pending() ? g_message.pending_number : 0; }
std::string_view pending_detail() { return message_pending() ? std::string_view(g_message.pending_detail) : std::string_view{}; }

}  // namespace kovo
