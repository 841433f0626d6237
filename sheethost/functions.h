// The worksheet functions built into the host: one table of names, argument
// counts and C API function numbers, shared by the parser, the evaluator and
// the C API.
#pragma once

#include <string_view>

namespace kovo::sheet {

enum class BuiltinId { Sum, If, Abs, Round, And, Or, Not, Concatenate };

struct Builtin {
  BuiltinId id;
  std::string_view name;
  int min_args;
  int max_args;
  int number;  // the C API function number
};

// Case-insensitive lookup by name; nullptr when no built-in function has it.
const Builtin* find_builtin(std::string_view name);
// Lookup by C API function number.
const Builtin* find_builtin(int number);

}  // namespace kovo::sheet
