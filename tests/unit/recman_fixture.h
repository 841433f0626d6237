// Helpers of the record manager tests: building file specifications and
// calling the record manager on one open file.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "recman/btrcall.h"
#include "recman/file_spec.h"

namespace recman::testing {

struct SegmentDef {
  std::uint16_t position;  // 1-based
  std::uint16_t length;
  std::uint16_t flags;     // without kFlagSegmented, which spec_bytes sets
  KeyType type = KeyType::kString;
  std::uint8_t null_value = 0;
};
using KeyDef = std::vector<SegmentDef>;

inline std::vector<std::uint8_t> spec_bytes(std::uint16_t record_length, const std::vector<KeyDef>& keys,
                                            std::uint16_t page_size = 1024, std::uint16_t file_flags = 0) {
  std::vector<std::uint8_t> out(16, 0);
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  put16(0, record_length);
  put16(2, page_size);
  put16(4, static_cast<std::uint16_t>(keys.size()));
  put16(10, file_flags);
  for (const KeyDef& key : keys) {
    for (std::size_t i = 0; i < key.size(); ++i) {
      const std::size_t at = out.size();
      out.resize(at + 16, 0);
      const SegmentDef& s = key[i];
      std::uint16_t flags = static_cast<std::uint16_t>(s.flags | kFlagExtendedType);
      if (i + 1 < key.size()) flags |= kFlagSegmented;
      put16(at, s.position);
      put16(at + 2, s.length);
      put16(at + 4, flags);
      out[at + 10] = static_cast<std::uint8_t>(s.type);
      out[at + 11] = s.null_value;
    }
  }
  return out;
}

// A fresh folder per test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            ("kovo-recman-" + std::string(info ? info->name() : "x") + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline short create_file(const std::string& path, const std::vector<std::uint8_t>& spec, std::int8_t mode = 0) {
  std::vector<std::uint8_t> data = spec;
  std::uint32_t length = static_cast<std::uint32_t>(data.size());
  std::vector<char> key(path.begin(), path.end());
  key.push_back(0);
  std::uint8_t block[kPositionBlockSize] = {};
  return btrcall(kCreate, block, data.data(), &length, key.data(),
                 static_cast<std::uint8_t>(std::min<std::size_t>(key.size(), 255)), mode);
}

// One open file: a position block with record and key buffers.
struct RecordHandle {
  std::uint8_t block[kPositionBlockSize] = {};
  std::vector<std::uint8_t> data = std::vector<std::uint8_t>(1500, 0);
  std::uint32_t length = 0;
  std::uint8_t key[255] = {};

  short open(const std::string& path, std::int8_t mode = 0) {
    std::memset(key, 0, sizeof key);
    std::memcpy(key, path.data(), std::min(path.size(), sizeof key - 1));
    length = 0;
    return btrcall(kOpen, block, data.data(), &length, key, sizeof key, mode);
  }
  short close() { return call(kClose, 0); }

  // An operation with the data buffer's full capacity.
  short call(std::uint16_t op, std::int8_t key_number, std::uint32_t capacity = 1500) {
    length = capacity;
    return btrcall(op, block, data.data(), &length, key, sizeof key, key_number);
  }
  short write(std::uint16_t op, const std::string& record, std::int8_t key_number) {
    std::memcpy(data.data(), record.data(), record.size());
    length = static_cast<std::uint32_t>(record.size());
    return btrcall(op, block, data.data(), &length, key, sizeof key, key_number);
  }
  short get(std::uint16_t op, const std::string& key_value, std::int8_t key_number) {
    std::memcpy(key, key_value.data(), key_value.size());
    return call(op, key_number);
  }
  std::string record() const { return std::string(reinterpret_cast<const char*>(data.data()), length); }
  std::string key_text(std::size_t n) const { return std::string(reinterpret_cast<const char*>(key), n); }
};

}  // namespace recman::testing
