// Calls of registered procedures with any of their signatures.
//
// On 64-bit Windows every argument takes one 8-byte slot: the first four in
// registers (RCX, RDX, R8, R9 for integers and pointers, XMM0 to XMM3 for
// doubles), the rest on the stack. A call through a variadic function type
// passes each variadic double in both the integer and the floating-point
// register of its place, so passing the slots after the first as doubles
// (their bits being the slots' values) reaches the procedure whichever kind
// it expects. The first argument is named, so it is passed as the kind the
// procedure expects. The result comes back in RAX or XMM0, read by the
// return type chosen.
#include "sheethost/xll_call_win.h"

#include <bit>

namespace kovo::sheet {

namespace {

template <typename R, typename First>
R invoke_with(void* procedure, First first, const std::uint64_t* s, int n) {
  using Fn = R (*)(First, ...);
  const Fn f = reinterpret_cast<Fn>(procedure);
  auto d = [s](int i) { return std::bit_cast<double>(s[i]); };
  switch (n) {
    case 1: return f(first);
    case 2: return f(first, d(1));
    case 3: return f(first, d(1), d(2));
    case 4: return f(first, d(1), d(2), d(3));
    case 5: return f(first, d(1), d(2), d(3), d(4));
    case 6: return f(first, d(1), d(2), d(3), d(4), d(5));
    case 7: return f(first, d(1), d(2), d(3), d(4), d(5), d(6));
    case 8: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7));
    case 9: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8));
    case 10: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9));
    case 11: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10));
    case 12: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11));
    case 13: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12));
    case 14: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13));
    case 15: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14));
    case 16: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15));
    case 17: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16));
    case 18: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17));
    case 19: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18));
    case 20: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19));
    case 21: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19), d(20));
    case 22: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19), d(20), d(21));
    case 23: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19), d(20), d(21), d(22));
    case 24: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19), d(20), d(21), d(22), d(23));
    case 25: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19), d(20), d(21), d(22), d(23), d(24));
    case 26: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19), d(20), d(21), d(22), d(23), d(24), d(25));
    case 27: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19), d(20), d(21), d(22), d(23), d(24), d(25), d(26));
    case 28: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19), d(20), d(21), d(22), d(23), d(24), d(25), d(26), d(27));
    case 29: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19), d(20), d(21), d(22), d(23), d(24), d(25), d(26), d(27), d(28));
    case 30: return f(first, d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11), d(12), d(13), d(14), d(15), d(16), d(17), d(18), d(19), d(20), d(21), d(22), d(23), d(24), d(25), d(26), d(27), d(28), d(29));
    default: return R{};
  }
}

template <typename R>
R invoke(void* procedure, const std::uint64_t* slots, int count, bool first_is_double) {
  if (count <= 0) return reinterpret_cast<R (*)()>(procedure)();
  if (count > kMaxCallSlots) return R{};
  if (first_is_double) return invoke_with<R, double>(procedure, std::bit_cast<double>(slots[0]), slots, count);
  return invoke_with<R, std::uint64_t>(procedure, slots[0], slots, count);
}

}  // namespace

std::uint64_t call_returning_integer(void* procedure, const std::uint64_t* slots, int count, bool first_is_double) {
  return invoke<std::uint64_t>(procedure, slots, count, first_is_double);
}

double call_returning_double(void* procedure, const std::uint64_t* slots, int count, bool first_is_double) {
  return invoke<double>(procedure, slots, count, first_is_double);
}

}  // namespace kovo::sheet
