// Record manager benchmark, shared by the native and the Windows program:
// get equal on a 100,000-record file, greater-or-equal plus 1,000 get next,
// and the time to open the file.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "recman/btrcall.h"
#include "recman/file_spec.h"
#include "recman/key_codec.h"
#include "recman/le.h"

namespace recman::bench {

constexpr int kRecords = 100000;
constexpr std::uint16_t kRecordLength = 100;

using Clock = std::chrono::steady_clock;
inline double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Key 0: unique integer at 1; key 1: account-like string at 5 (10 bytes), duplicates.
inline std::vector<std::uint8_t> bench_spec() {
  std::vector<std::uint8_t> s(16 + 32, 0);
  put_le16(s, 0, kRecordLength);
  put_le16(s, 2, 4096);
  put_le16(s, 4, 2);
  put_le16(s, 16, 1);
  put_le16(s, 18, 4);
  put_le16(s, 20, kFlagExtendedType);
  s[26] = static_cast<std::uint8_t>(KeyType::kInteger);
  put_le16(s, 32, 5);
  put_le16(s, 34, 10);
  put_le16(s, 36, kFlagExtendedType | kFlagDuplicates);
  return s;
}

inline std::string bench_record(std::uint32_t id) {
  std::string r(kRecordLength, ' ');
  for (int i = 0; i < 4; ++i) r[i] = static_cast<char>(id >> (8 * i));
  char account[16];
  std::snprintf(account, sizeof account, "%04u-%02u", 1000 + id % 700, id % 7);
  r.replace(4, std::strlen(account), account);
  return r;
}

// Created through the record manager, filled in one SQLite transaction with
// the same key encoding (record by record inserts would pay one durable
// commit each).
inline bool build_file(const std::string& path) {
  std::vector<std::uint8_t> spec = bench_spec();
  std::uint32_t length = static_cast<std::uint32_t>(spec.size());
  std::vector<char> key(path.begin(), path.end());
  key.push_back(0);
  std::uint8_t block[kPositionBlockSize] = {};
  if (btrcall(kCreate, block, spec.data(), &length, key.data(), 255, 0) != 0) return false;
  const ParsedSpec parsed = parse_file_spec(spec);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO records(data, k0, k1) VALUES (?1, ?2, ?3)", -1, &st, nullptr);
  for (std::uint32_t id = 1; id <= kRecords; ++id) {
    const std::string r = bench_record(id);
    const std::span<const std::uint8_t> bytes{reinterpret_cast<const std::uint8_t*>(r.data()), r.size()};
    std::string k[2];
    for (int i = 0; i < 2; ++i) {
      const std::string v = key_value_of(parsed.spec.keys[i], bytes);
      k[i] = encode_key(parsed.spec.keys[i], {reinterpret_cast<const std::uint8_t*>(v.data()), v.size()});
    }
    sqlite3_bind_blob(st, 1, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(st, 2, k[0].data(), static_cast<int>(k[0].size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(st, 3, k[1].data(), static_cast<int>(k[1].size()), SQLITE_TRANSIENT);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  const bool ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

struct Handle {
  std::uint8_t block[kPositionBlockSize] = {};
  char data[1500] = {};
  std::uint8_t key[255] = {};
  std::uint32_t length = 0;
  short call(std::uint16_t op, std::int8_t key_number) {
    length = sizeof data;
    return btrcall(op, block, data, &length, key, sizeof key, key_number);
  }
};

inline int run(const std::string& folder) {
  std::filesystem::create_directories(folder);
  const std::string path = (std::filesystem::path(folder) / "bench.dat").string();
  auto start = Clock::now();
  if (!build_file(path)) {
    std::printf("could not build %s\n", path.c_str());
    return 1;
  }
  std::printf("build %d records: %.2f s\n", kRecords, seconds_since(start));

  Handle h;
  double worst_open = 0, total_open = 0;
  constexpr int kOpens = 20;
  for (int i = 0; i < kOpens; ++i) {
    std::memset(h.key, 0, sizeof h.key);
    std::memcpy(h.key, path.data(), path.size());
    start = Clock::now();
    const short st = h.call(kOpen, -2);
    const double took = seconds_since(start);
    if (st != 0) {
      std::printf("open answered %d\n", st);
      return 1;
    }
    worst_open = std::max(worst_open, took);
    total_open += took;
    if (i + 1 < kOpens) h.call(kClose, 0);
  }
  std::printf("open: mean %.2f ms, worst %.2f ms\n", 1000 * total_open / kOpens, 1000 * worst_open);

  std::mt19937 random(1);
  constexpr int kLookups = 100000;
  start = Clock::now();
  for (int i = 0; i < kLookups; ++i) {
    const std::uint32_t id = 1 + random() % kRecords;
    put_le32(h.key, 0, id);
    if (h.call(kGetEqual, 0) != 0 || static_cast<std::uint8_t>(h.data[0]) != (id & 0xFF)) {
      std::printf("get equal %u failed\n", id);
      return 1;
    }
  }
  std::printf("get equal: %.0f /s\n", kLookups / seconds_since(start));

  for (int key = 0; key < 2; ++key) {
    constexpr int kWalks = 100, kSteps = 1000;
    long nexts = 0;
    double next_time = 0;
    start = Clock::now();
    for (int w = 0; w < kWalks; ++w) {
      const std::string start_record = bench_record(1 + random() % (kRecords - 2 * kSteps));
      std::memcpy(h.key, start_record.data() + (key == 0 ? 0 : 4), key == 0 ? 4 : 10);
      if (h.call(kGetGreaterOrEqual, static_cast<std::int8_t>(key)) != 0) return 1;
      const auto walk_start = Clock::now();
      for (int s = 0; s < kSteps; ++s) {
        if (h.call(kGetNext, static_cast<std::int8_t>(key)) != 0) break;
        ++nexts;
      }
      next_time += seconds_since(walk_start);
    }
    std::printf("key %d: greater-or-equal plus 1,000 get next: %.2f ms per walk, get next %.0f /s\n", key,
                1000 * seconds_since(start) / kWalks, nexts / next_time);
  }
  h.call(kClose, 0);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}

}  // namespace recman::bench
