// One record manager file: a SQLite database holding the file specification
// and the records, with one order-preserving key column and index per key.
//
// Records live in table "records" (id = the record's position, growing with
// every insert and never reused, so duplicates of a key come back in insertion
// order as the index orders equal keys by id, and a deleted record's position
// never names a later one). Each insert, update and delete is one
// transaction, durable when the call returns (WAL, synchronous FULL).
//
// Reads share one read transaction per file for a few milliseconds (taking
// and dropping SQLite's shared-memory locks costs a system call each, which
// dominates an indexed seek). The snapshot is dropped before any write, when
// any file of this process was written since it began, and when it is older
// than kSnapshotWindow, so a read misses another process's commit by at most
// that long and never sees an uncommitted or partial record.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "recman/file_spec.h"
#include "recman/key_codec.h"
#include "recman/status.h"

struct sqlite3;
struct sqlite3_stmt;

namespace recman {

using RecordId = std::int64_t;

struct Row {
  RecordId id = 0;
  std::string data;
  std::optional<EncodedKey> key;  // on the key path the row was found by; empty when null
};

// Where a seek on a key lands.
enum class Seek : std::uint8_t {
  kEqual, kGreater, kGreaterOrEqual, kLess, kLessOrEqual, kFirst, kLast,
  kAfter,   // next after a position (key, id)
  kBefore,  // previous before a position
};

// Physical order (by id).
enum class Step : std::uint8_t { kFirst, kLast, kAfter, kBefore };

class Statement;

inline constexpr std::chrono::milliseconds kSnapshotWindow{20};

class RecordFile {
 public:
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Creates the file anew (written beside the path, then moved into place).
  static Status create(const std::string& path, const FileSpec& spec, bool replace);

  // 12 missing, 30 not one of ours, 85 locked. Exclusive keeps other
  // processes out while this handle is open.
  static Status open(const std::string& path, bool exclusive, std::unique_ptr<RecordFile>& out);

  const FileSpec& spec() const { return spec_; }

  // The record must hold the record length (the caller checked). Fills an
  // autoincrement key left zero and returns the stored record.
  Status insert(std::string& record, RecordId& id);
  Status update(RecordId id, const std::string& record);
  Status remove(RecordId id);

  // value: the encoded key for kEqual to kLessOrEqual and the position's key
  // for kAfter / kBefore (with after_id).
  Status seek(int key, Seek how, const EncodedKey& value, RecordId after_id, Row& out);
  Status step(Step how, RecordId from, Row& out);
  Status by_id(RecordId id, int key, Row& out);
  Status record_count(std::uint32_t& out);

  // The encoded key of a record on one key path (empty for a null key).
  std::optional<EncodedKey> index_key(int key, std::span<const std::uint8_t> record) const;

 private:
  RecordFile() = default;
  Status load_spec();
  Status prepare_statements();
  Status assign_autoincrement(std::string& record);
  Statement& seek_statement(int key, Seek how, bool same_key_part);
  Status read_row(Statement& st, int key, Row& out);
  Status find_by_id(RecordId id, int key, Row& out);
  Status begin_read();
  void end_read();
  Status begin_write();
  Status finish_write(Status status);

  sqlite3* db_ = nullptr;
  FileSpec spec_;
  std::vector<std::unique_ptr<Statement>> statements_;  // by (key, seek kind), prepared lazily
  std::unique_ptr<Statement> insert_, update_, delete_, select_by_id_, count_;
  std::unique_ptr<Statement> begin_, begin_read_, commit_, rollback_;
  bool in_read_ = false;
  std::chrono::steady_clock::time_point read_started_;
  std::uint64_t read_generation_ = 0;
  std::vector<std::unique_ptr<Statement>> step_;
  std::vector<std::unique_ptr<Statement>> max_key_;  // for autoincrement keys
};

}  // namespace recman
