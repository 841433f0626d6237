// Little-endian fields in byte buffers. Callers check the bounds first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace recman {

inline std::uint16_t get_le16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline std::uint32_t get_le32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline void put_le16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void put_le32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Unsigned little-endian value of 1 to 8 bytes.
inline std::uint64_t get_le(std::span<const std::uint8_t> b) {
  std::uint64_t v = 0;
  for (std::size_t i = b.size(); i-- > 0;) v = (v << 8) | b[i];
  return v;
}

inline void put_le(std::span<std::uint8_t> b, std::uint64_t v) {
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace recman
