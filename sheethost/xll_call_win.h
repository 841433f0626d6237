// Calls of add-in procedures with up to 30 arguments of one 8-byte slot each
// (an integer, a pointer, or the bits of a double).
#pragma once

#include <cstdint>

namespace kovo::sheet {

constexpr int kMaxCallSlots = 30;

std::uint64_t call_returning_integer(void* procedure, const std::uint64_t* slots, int count, bool first_is_double);
double call_returning_double(void* procedure, const std::uint64_t* slots, int count, bool first_is_double);

}  // namespace kovo::sheet
