#include "addin/core/messages.h"

namespace kovo::addin {

namespace {
struct Message {
  int number;
  const char* text;
};
constexpr Message kMessages[] = {
#define KOVO_ADDIN_STRING(number, text) {number, text},
#include "addin/resources/addin_strings.def"
#undef KOVO_ADDIN_STRING
};
}  // namespace

std::string addin_message(int number) {
  for (const auto& m : kMessages)
    if (m.number == number) return m.text;
  return {};
}

}  // namespace kovo::addin
