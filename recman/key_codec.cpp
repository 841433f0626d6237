#include "recman/key_codec.h"

#include <algorithm>

#include "recman/le.h"

namespace recman {

namespace {

std::uint8_t fold(std::uint8_t c, bool case_insensitive) {
  return (case_insensitive && c >= 'a' && c <= 'z') ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
}

void append_reversed(std::string& out, std::span<const std::uint8_t> v) {
  for (std::size_t i = v.size(); i-- > 0;) out.push_back(static_cast<char>(v[i]));
}

// Signed little-endian to big-endian with the sign bit flipped.
void append_signed(std::string& out, std::span<const std::uint8_t> v) {
  const std::size_t start = out.size();
  append_reversed(out, v);
  out[start] = static_cast<char>(out[start] ^ 0x80);
}

void append_float(std::string& out, std::span<const std::uint8_t> v) {
  const std::size_t start = out.size();
  append_reversed(out, v);
  const bool negative = static_cast<std::uint8_t>(out[start]) & 0x80;
  for (std::size_t i = start; i < out.size(); ++i) {
    if (negative)
      out[i] = static_cast<char>(~out[i]);
    else if (i == start)
      out[i] = static_cast<char>(out[i] ^ 0x80);
  }
}

// Packed decimal: sign first, then the digits (inverted when negative).
void append_decimal(std::string& out, std::span<const std::uint8_t> v) {
  const bool negative = (v.back() & 0x0F) == 0x0D;
  out.push_back(negative ? 0 : 1);
  for (std::size_t i = 0; i < v.size(); ++i) {
    std::uint8_t b = (i + 1 == v.size()) ? static_cast<std::uint8_t>(v[i] & 0xF0) : v[i];
    out.push_back(static_cast<char>(negative ? ~b : b));
  }
}

// Text ended by a zero byte; content bytes 0 and 1 are escaped so that the
// terminator sorts below every content byte.
void append_terminated(std::string& out, std::span<const std::uint8_t> text, bool ci, bool escape) {
  for (std::uint8_t c : text) {
    c = fold(c, ci);
    if (escape && c <= 1) {
      out.push_back(1);
      out.push_back(static_cast<char>(c + 1));
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  out.push_back(0);
}

void append_segment(std::string& out, const Segment& s, std::span<const std::uint8_t> v) {
  const bool ci = s.case_insensitive();
  switch (s.type) {
    case KeyType::kInteger:
    case KeyType::kAutoincrement:
      append_signed(out, v);
      break;
    case KeyType::kUnsignedBinary:
    case KeyType::kLogical:
    case KeyType::kDate:  // day, month, year: ordered by year, month, day
    case KeyType::kTime:  // hundredths, seconds, minutes, hours
      append_reversed(out, v);
      break;
    case KeyType::kFloat:
      append_float(out, v);
      break;
    case KeyType::kDecimal:
    case KeyType::kMoney:
      append_decimal(out, v);
      break;
    case KeyType::kZstring: {
      const auto end = std::find(v.begin(), v.end(), std::uint8_t{0});
      append_terminated(out, v.subspan(0, static_cast<std::size_t>(end - v.begin())), ci, false);
      break;
    }
    case KeyType::kLstring: {
      const std::size_t n = std::min<std::size_t>(v[0], v.size() - 1);
      append_terminated(out, v.subspan(1, n), ci, true);
      break;
    }
    default:  // string: fixed width, byte by byte
      for (std::uint8_t c : v) out.push_back(static_cast<char>(fold(c, ci)));
      break;
  }
}

}  // namespace

bool is_null_key(const Key& key, std::span<const std::uint8_t> value) {
  std::size_t at = 0;
  for (const Segment& s : key.segments) {
    for (std::size_t i = 0; i < s.length; ++i)
      if (value[at + i] != s.null_value) return false;
    at += s.length;
  }
  return true;
}

std::string key_value_of(const Key& key, std::span<const std::uint8_t> record) {
  std::string value;
  value.reserve(key.length());
  for (const Segment& s : key.segments)
    value.append(reinterpret_cast<const char*>(record.data()) + s.offset(), s.length);
  return value;
}

EncodedKey encode_key(const Key& key, std::span<const std::uint8_t> value) {
  EncodedKey out;
  out.reserve(key.length() + 2);
  std::size_t at = 0;
  for (const Segment& s : key.segments) {
    const std::size_t start = out.size();
    append_segment(out, s, value.subspan(at, s.length));
    if (s.descending())
      for (std::size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~out[i]);
    at += s.length;
  }
  return out;
}

std::int64_t autoincrement_value(const Segment& s, std::span<const std::uint8_t> record) {
  const std::uint64_t raw = get_le(record.subspan(s.offset(), s.length));
  const unsigned bits = 8u * s.length;
  if (bits < 64 && (raw >> (bits - 1)) & 1) return static_cast<std::int64_t>(raw | (~0ull << bits));
  return static_cast<std::int64_t>(raw);
}

void set_autoincrement_value(const Segment& s, std::span<std::uint8_t> record, std::int64_t v) {
  put_le(record.subspan(s.offset(), s.length), static_cast<std::uint64_t>(v));
}

}  // namespace recman
