#include "sheethost/functions.h"

#include <array>
#include "sheethost/value.h"

namespace kovo::sheet {

namespace {

constexpr int kManyArgs = 255;

constexpr std::array<Builtin, 8> kBuiltins = {{
    {BuiltinId::Sum, "SUM", 1, kManyArgs, 4},
    {BuiltinId::If, "IF", 1, 3, 1},
    {BuiltinId::Abs, "ABS", 1, 1, 24},
    {BuiltinId::Round, "ROUND", 2, 2, 27},
    {BuiltinId::And, "AND", 1, kManyArgs, 36},
    {BuiltinId::Or, "OR", 1, kManyArgs, 37},
    {BuiltinId::Not, "NOT", 1, 1, 38},
    {BuiltinId::Concatenate, "CONCATENATE", 1, kManyArgs, 336},
}};

}  // namespace

const Builtin* find_builtin(std::string_view name) {
  for (const auto& b : kBuiltins)
    if (same_text_no_case(b.name, name)) return &b;
  return nullptr;
}

const Builtin* find_builtin(int number) {
  for (const auto& b : kBuiltins)
    if (b.number == number) return &b;
  return nullptr;
}

}  // namespace kovo::sheet
