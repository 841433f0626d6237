// Order-preserving encoding of key values: two encoded keys compare with
// memcmp (SQLite's BLOB order) exactly as the record manager orders the keys.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "recman/file_spec.h"

namespace recman {

using EncodedKey = std::string;  // bytes, compared unsigned

// The key value of a record: its segments' bytes in a row. The record holds
// at least the record length, which covers every segment.
std::string key_value_of(const Key& key, std::span<const std::uint8_t> record);

// Encodes a key value (key.length() bytes).
EncodedKey encode_key(const Key& key, std::span<const std::uint8_t> value);

// Every byte of the value equals its segment's null value. A key with the
// null-key flag leaves such records out of its index.
bool is_null_key(const Key& key, std::span<const std::uint8_t> value);

// Reads and writes the integer in an autoincrement segment of a record.
std::int64_t autoincrement_value(const Segment& segment, std::span<const std::uint8_t> record);
void set_autoincrement_value(const Segment& segment, std::span<std::uint8_t> record, std::int64_t v);

}  // namespace recman
