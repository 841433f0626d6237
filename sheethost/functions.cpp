#include "sheethost/functions.h"

#include <array>
#include <cctype>

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

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

const Builtin* find_builtin(std::string_view name) {
  for (const auto& b : kBuiltins)
    if (same_name(b.name, name)) return &b;
  return nullptr;
}

const Builtin* find_builtin(int number) {
  for (const auto& b : kBuiltins)
    if (b.number == number) return &b;
  return nullptr;
}

}  // namespace kovo::sheet
