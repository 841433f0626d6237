// The writer and the checker of the record manager crash tests (natively with
// fork and kill, under Wine with a second process that is terminated).
//
// The writer inserts, updates and deletes 64-byte records whose payload is a
// function of (id, version), and appends a line to a log after each call that
// answered success (and before each delete, which may commit just before the
// kill). The checker then requires: the file opens; every record is
// whole (payload matches its id and version); the key paths and the physical
// order hold the same records as stat counts; every logged insert is present
// unless logged deleted, no logged delete is present, and no record is older
// than its last logged update.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <chrono>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "recman/status.h"
#include "recman_fixture.h"

namespace recman::testing {

inline constexpr std::size_t kCrashRecordLength = 64;

inline std::vector<std::uint8_t> crash_spec() {
  return spec_bytes(kCrashRecordLength, {{{1, 4, 0, KeyType::kInteger}},
                                         {{5, 4, kFlagDuplicates | kFlagModifiable, KeyType::kUnsignedBinary}}});
}

inline std::string crash_record(std::uint32_t id, std::uint32_t version) {
  std::string r(kCrashRecordLength, 0);
  for (int i = 0; i < 4; ++i) {
    r[i] = static_cast<char>(id >> (8 * i));
    r[4 + i] = static_cast<char>(version >> (8 * i));
  }
  for (std::size_t i = 8; i < kCrashRecordLength; ++i) r[i] = static_cast<char>(id * 31 + version * 17 + i);
  return r;
}

inline std::uint32_t crash_field(const std::string& r, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(r[at + i]);
  return v;
}

// Opens the file, waiting while another process holds it locked (85): on a
// loaded machine a writer's transaction or the recovery after a killed writer
// can outlast the record manager's own busy wait. Any other status, or a lock
// held for longer than 30 seconds, is the answer.
inline short open_patiently(RecordHandle& f, const std::string& path, std::int8_t mode = 0) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    const short status = f.open(path, mode);
    if (status != kFileLocked || std::chrono::steady_clock::now() > give_up) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

// The number of calls the writer has logged so far.
inline std::size_t crash_log_lines(const std::string& log_path) {
  std::ifstream in(log_path, std::ios::binary);
  std::size_t lines = 0;
  for (char c; in.get(c);)
    if (c == '\n') ++lines;
  return lines;
}

// Waits until the writer has logged `more` calls beyond `before`, so that a
// kill always lands in the middle of writing however loaded the machine is.
// False when the writer ended (`alive` answers false) or a minute passed.
template <typename Alive>
bool wait_for_crash_progress(const std::string& log_path, std::size_t before, std::size_t more, Alive alive) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (crash_log_lines(log_path) < before + more) {
    if (!alive() || std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Runs until the process is killed (or fails to open: then returns).
inline void crash_writer(const std::string& path, const std::string& log_path, unsigned seed) {
  RecordHandle f;
  if (open_patiently(f, path) != kOk) return;
  std::vector<std::uint32_t> ids;
  for (short st = f.call(kStepFirst, 0); st == kOk; st = f.call(kStepNext, 0))
    ids.push_back(crash_field(f.record(), 0));
  std::uint32_t next_id = 1;
  for (std::uint32_t id : ids) next_id = std::max(next_id, id + 1);
  std::FILE* log = std::fopen(log_path.c_str(), "ab");
  if (!log) return;
  std::mt19937 random(seed);
  for (;;) {
    const unsigned choice = random() % 10;
    if (choice < 6 || ids.size() < 5) {
      const std::uint32_t id = next_id++;
      if (f.write(kInsert, crash_record(id, 0), 0) == kOk) {
        ids.push_back(id);
        std::fprintf(log, "I %u\n", id);
      }
    } else {
      const std::size_t at = random() % ids.size();
      const std::uint32_t id = ids[at];
      if (f.get(kGetEqual, crash_record(id, 0).substr(0, 4), 0) != kOk) continue;
      if (choice < 9) {
        const std::uint32_t version = crash_field(f.record(), 4) + 1;
        if (f.write(kUpdate, crash_record(id, version), 0) == kOk) std::fprintf(log, "U %u %u\n", id, version);
      } else {
        // A delete may commit just before the kill: announce it first.
        std::fprintf(log, "d %u\n", id);
        std::fflush(log);
        if (f.call(kDelete, 0) == kOk) {
          ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(at));
          std::fprintf(log, "D %u\n", id);
        }
      }
    }
    std::fflush(log);
  }
}

// Checks the file against the log; returns the number of records.
inline std::size_t check_crash_file(const std::string& path, const std::string& log_path) {
  RecordHandle f;
  EXPECT_EQ(open_patiently(f, path, -2), kOk) << "the file opens after the kill";
  std::map<std::uint32_t, std::uint32_t> found;  // id -> version
  for (short st = f.call(kGetFirst, 0); st == kOk; st = f.call(kGetNext, 0)) {
    const std::string r = f.record();
    const std::uint32_t id = crash_field(r, 0), version = crash_field(r, 4);
    EXPECT_EQ(r, crash_record(id, version)) << "record " << id << " is torn";
    EXPECT_TRUE(found.emplace(id, version).second) << "record " << id << " twice";
  }
  std::size_t by_version = 0, physical = 0;
  for (short st = f.call(kGetFirst, 1); st == kOk; st = f.call(kGetNext, 1)) ++by_version;
  for (short st = f.call(kStepFirst, 0); st == kOk; st = f.call(kStepNext, 0)) ++physical;
  EXPECT_EQ(by_version, found.size());
  EXPECT_EQ(physical, found.size());
  EXPECT_EQ(f.call(kStat, 0), kOk);
  EXPECT_EQ(crash_field(f.record(), 6), found.size());
  f.close();

  std::ifstream log(log_path);
  std::string line;
  std::set<std::uint32_t> inserted, deleted, maybe_deleted;
  std::map<std::uint32_t, std::uint32_t> updated;
  while (std::getline(log, line)) {
    std::istringstream in(line);
    char op = 0;
    std::uint32_t id = 0, version = 0;
    if (!(in >> op >> id)) continue;  // a line cut by the kill
    // A writer started after a kill numbers on from the highest id it finds,
    // so an id whose record was deleted last can come back as a new record:
    // an insert starts that id's history afresh.
    if (op == 'I') {
      inserted.insert(id);
      deleted.erase(id);
      maybe_deleted.erase(id);
      updated.erase(id);
    }
    if (op == 'D') {
      deleted.insert(id);
      inserted.erase(id);
      updated.erase(id);
    }
    if (op == 'd') maybe_deleted.insert(id);
    if (op == 'U' && in >> version) updated[id] = std::max(updated[id], version);
  }
  for (std::uint32_t id : inserted)
    if (!maybe_deleted.count(id)) EXPECT_TRUE(found.count(id)) << "record " << id << " was inserted and is lost";
  for (std::uint32_t id : deleted) EXPECT_FALSE(found.count(id)) << "record " << id << " was deleted and is back";
  for (const auto& [id, version] : updated)
    if (found.count(id)) EXPECT_GE(found[id], version) << "record " << id << " lost an update";
  return found.size();
}

}  // namespace recman::testing
