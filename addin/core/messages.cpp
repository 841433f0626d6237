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

// A number given twice would show one of its texts where the other is meant
// (and the resource compiler keeps only one of them).
constexpr bool numbers_unique() {
  for (const auto& a : kMessages)
    for (const auto& b : kMessages)
      if (&a != &b && a.number == b.number) return false;
  return true;
}
static_assert(numbers_unique(), "an add-in message number is given twice");
}  // namespace

std::string addin_message(int number) {
  for (const auto& m : kMessages)
    if (m.number == number) return m.text;
  return {};
}

}  // namespace kovo::addin
