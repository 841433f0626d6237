// The file specification of create (14) and stat (15): record length, page
// size and the keys, each made of one or more segments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "recman/status.h"

namespace recman {

inline constexpr std::size_t kFilePartSize = 16;
inline constexpr std::size_t kSegmentPartSize = 16;
inline constexpr int kMaxKeys = 24;
inline constexpr int kMaxSegments = 64;
inline constexpr int kMinRecordLength = 4;
inline constexpr int kMaxRecordLength = 4096;

// Key flags.
enum KeyFlag : std::uint16_t {
  kFlagDuplicates = 0x0001,
  kFlagModifiable = 0x0002,
  kFlagBinary = 0x0004,
  kFlagNullKey = 0x0008,
  kFlagSegmented = 0x0010,
  kFlagAltCollation = 0x0020,
  kFlagDescending = 0x0040,
  kFlagExtendedType = 0x0100,
  kFlagCaseInsensitive = 0x0400,
};

// File flags.
inline constexpr std::uint16_t kFileVariableLength = 0x0001;

enum class KeyType : std::uint8_t {
  kString = 0, kInteger = 1, kFloat = 2, kDate = 3, kTime = 4, kDecimal = 5, kMoney = 6,
  kLogical = 7, kNumeric = 8, kBfloat = 9, kLstring = 10, kZstring = 11,
  kUnsignedBinary = 14, kAutoincrement = 15,
};

struct Segment {
  std::uint16_t position = 1;  // 1-based offset in the record
  std::uint16_t length = 0;
  std::uint16_t flags = 0;
  KeyType type = KeyType::kString;
  std::uint8_t null_value = 0;

  std::size_t offset() const { return position - 1u; }
  bool descending() const { return flags & kFlagDescending; }
  bool case_insensitive() const { return flags & kFlagCaseInsensitive; }
};

struct Key {
  std::vector<Segment> segments;
  std::uint16_t flags = 0;  // of the first segment: duplicates, modifiable, null key

  bool duplicates() const { return flags & kFlagDuplicates; }
  bool modifiable() const { return flags & kFlagModifiable; }
  bool null_key() const { return flags & kFlagNullKey; }
  bool autoincrement() const { return segments.front().type == KeyType::kAutoincrement; }
  std::size_t length() const;  // sum of the segment lengths
};

struct FileSpec {
  std::uint16_t record_length = 0;
  std::uint16_t page_size = 0;
  std::uint16_t file_flags = 0;
  std::vector<Key> keys;

  bool variable_length() const { return file_flags & kFileVariableLength; }
  std::size_t segment_count() const;
  std::size_t encoded_size() const { return kFilePartSize + kSegmentPartSize * segment_count(); }
};

struct ParsedSpec {
  Status status = kOk;
  FileSpec spec;
};

// Reads and validates a specification as create receives it: 28 record length,
// 24 page size, 26 number of keys, 27 key position, 29 key length, 49 key type,
// 45 inconsistent flags, 22 when the buffer ends inside it.
ParsedSpec parse_file_spec(std::span<const std::uint8_t> bytes);

// The specification as stat answers it, with the record count in the reserved field.
std::vector<std::uint8_t> encode_file_spec(const FileSpec& spec, std::uint32_t record_count);

}  // namespace recman
