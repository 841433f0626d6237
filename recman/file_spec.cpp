#include "recman/file_spec.h"

#include <numeric>

#include "recman/le.h"

namespace recman {

std::size_t Key::length() const {
  return std::accumulate(segments.begin(), segments.end(), std::size_t{0},
                         [](std::size_t sum, const Segment& s) { return sum + s.length; });
}

std::size_t FileSpec::segment_count() const {
  std::size_t count = 0;
  for (const Key& key : keys) count += key.segments.size();
  return count;
}

namespace {

constexpr std::uint16_t kKeyWideFlags = kFlagDuplicates | kFlagModifiable | kFlagNullKey;
constexpr std::size_t kMaxKeyLength = 255;

KeyType segment_type(std::uint16_t flags, std::uint8_t extended) {
  if (flags & kFlagExtendedType) return static_cast<KeyType>(extended);
  return (flags & kFlagBinary) ? KeyType::kUnsignedBinary : KeyType::kString;
}

bool one_of(std::uint16_t length, std::initializer_list<std::uint16_t> allowed) {
  for (std::uint16_t a : allowed)
    if (length == a) return true;
  return false;
}

// 0 when the type can hold a segment of this length, else the status to answer.
Status check_type_and_length(KeyType type, std::uint16_t length) {
  if (length == 0 || length > kMaxKeyLength) return kInvalidKeyLength;
  switch (type) {
    case KeyType::kString:
    case KeyType::kLstring:
    case KeyType::kZstring:
    case KeyType::kUnsignedBinary:
    case KeyType::kDecimal:
    case KeyType::kMoney:
      return kOk;
    case KeyType::kInteger:
      return one_of(length, {1, 2, 4, 8}) ? kOk : kInvalidKeyLength;
    case KeyType::kAutoincrement:
      return one_of(length, {2, 4, 8}) ? kOk : kInvalidKeyLength;
    case KeyType::kFloat:
      return one_of(length, {4, 8}) ? kOk : kInvalidKeyLength;
    case KeyType::kDate:
    case KeyType::kTime:
      return length == 4 ? kOk : kInvalidKeyLength;
    case KeyType::kLogical:
      return one_of(length, {1, 2}) ? kOk : kInvalidKeyLength;
    default:
      return kKeyTypeError;
  }
}

Status check_key(const Key& key) {
  if (key.length() > kMaxKeyLength) return kInvalidKeyLength;
  for (const Segment& s : key.segments)
    if ((s.flags & kKeyWideFlags) != key.flags) return kInconsistentKeyFlags;
  if (key.autoincrement() && (key.segments.size() != 1 || key.duplicates()))
    return kInconsistentKeyFlags;
  for (const Segment& s : key.segments)
    if (s.type == KeyType::kAutoincrement && &s != &key.segments.front()) return kKeyTypeError;
  return kOk;
}

}  // namespace

ParsedSpec parse_file_spec(std::span<const std::uint8_t> bytes) {
  ParsedSpec result;
  if (bytes.size() < kFilePartSize) return {kDataBufferLength, {}};
  FileSpec& spec = result.spec;
  spec.record_length = get_le16(bytes, 0);
  spec.page_size = get_le16(bytes, 2);
  const std::uint16_t key_count = get_le16(bytes, 4);
  spec.file_flags = get_le16(bytes, 10);

  if (spec.record_length < kMinRecordLength || spec.record_length > kMaxRecordLength)
    return {kInvalidRecordLength, {}};
  if (spec.page_size < 512 || spec.page_size > 4096 || spec.page_size % 512 != 0)
    return {kPageSizeError, {}};
  if (key_count < 1 || key_count > kMaxKeys) return {kNumberOfKeys, {}};

  std::size_t offset = kFilePartSize;
  std::size_t segments = 0;
  for (int k = 0; k < key_count; ++k) {
    Key key;
    bool more = true;
    while (more) {
      if (offset + kSegmentPartSize > bytes.size()) return {kDataBufferLength, {}};
      if (++segments > kMaxSegments) return {kNumberOfKeys, {}};
      Segment s;
      s.position = get_le16(bytes, offset);
      s.length = get_le16(bytes, offset + 2);
      s.flags = get_le16(bytes, offset + 4);
      s.type = segment_type(s.flags, bytes[offset + 10]);
      s.null_value = bytes[offset + 11];
      offset += kSegmentPartSize;
      more = s.flags & kFlagSegmented;

      if (s.position < 1 || s.position > spec.record_length) return {kInvalidKeyPosition, {}};
      if (const Status st = check_type_and_length(s.type, s.length); st != kOk) return {st, {}};
      if (s.offset() + s.length > spec.record_length) return {kInvalidKeyPosition, {}};
      if (s.flags & kFlagAltCollation) return {kInvalidAltSequence, {}};
      if (key.segments.empty()) key.flags = s.flags & kKeyWideFlags;
      key.segments.push_back(s);
    }
    if (const Status st = check_key(key); st != kOk) return {st, {}};
    spec.keys.push_back(std::move(key));
  }
  return result;
}

std::vector<std::uint8_t> encode_file_spec(const FileSpec& spec, std::uint32_t record_count) {
  std::vector<std::uint8_t> out(spec.encoded_size(), 0);
  put_le16(out, 0, spec.record_length);
  put_le16(out, 2, spec.page_size);
  put_le16(out, 4, static_cast<std::uint16_t>(spec.keys.size()));
  put_le32(out, 6, record_count);
  put_le16(out, 10, spec.file_flags);
  std::size_t offset = kFilePartSize;
  for (const Key& key : spec.keys) {
    for (const Segment& s : key.segments) {
      put_le16(out, offset, s.position);
      put_le16(out, offset + 2, s.length);
      put_le16(out, offset + 4, s.flags);
      out[offset + 10] = static_cast<std::uint8_t>(s.type);
      out[offset + 11] = s.null_value;
      offset += kSegmentPartSize;
    }
  }
  return out;
}

}  // namespace recman
