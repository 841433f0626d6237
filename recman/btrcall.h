// The record manager's single call, as portable code sees it.
//
// The Windows library WBTRV32.DLL exports BTRCALL with DWORD lengths; portable
// code (the stand-in's engine, the ledger builder, tests) uses this shape,
// whose 32-bit length matches DWORD on Windows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace recman {

using BtrCallFn = short (*)(std::uint16_t operation, void* position_block, void* data,
                            std::uint32_t* data_length, void* key, std::uint8_t key_length,
                            std::int8_t key_number);

inline constexpr std::size_t kPositionBlockSize = 128;

// Operation codes.
enum Op : std::uint16_t {
  kOpen = 0, kClose = 1, kInsert = 2, kUpdate = 3, kDelete = 4,
  kGetEqual = 5, kGetNext = 6, kGetPrevious = 7, kGetGreater = 8, kGetGreaterOrEqual = 9,
  kGetLess = 10, kGetLessOrEqual = 11, kGetFirst = 12, kGetLast = 13,
  kCreate = 14, kStat = 15, kGetPosition = 22, kGetDirect = 23, kStepNext = 24,
  kStop = 25, kVersion = 26, kStepFirst = 33, kStepLast = 34, kStepPrevious = 35,
};

// The stand-in's implementation of the call (engine in recman/).
short btrcall(std::uint16_t operation, void* position_block, void* data,
              std::uint32_t* data_length, void* key, std::uint8_t key_length,
              std::int8_t key_number);

}  // namespace recman
