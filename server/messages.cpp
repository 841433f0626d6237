#include "server/messages.h"

namespace kovo::server {
namespace {

struct Message {
  int number;
  std::string_view text;
};

constexpr Message kMessages[] = {
#define KOVO_SERVER_STRING(number, text) {number, text},
#include "server/resources/server_strings.def"
#undef KOVO_SERVER_STRING
};

}  // namespace

std::string server_message(int number) {
  for (const auto& message : kMessages)
    if (message.number == number) return std::string(message.text);
  return {};
}

std::string server_message(int number, std::string_view detail) {
  std::string text = server_message(number);
  if (!detail.empty()) {
    text += " - ";
    text += detail;
  }
  return text;
}

}  // namespace kovo::server
