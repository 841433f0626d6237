// The shape of a company's account codes: how many segments, how wide each.
#pragma once

#include <array>

namespace kovo::specifier {

inline constexpr int kMaxSegments = 10;

struct AccountStructure {
  int segment_count = 0;
  std::array<int, kMaxSegments> width{};

  int code_length() const {
    int total = 0;
    for (int i = 0; i < segment_count && i < kMaxSegments; ++i) total += width[i];
    return total;
  }
};

}  // namespace kovo::specifier
