#include "recman/store.h"

#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <system_error>

namespace recman {

namespace {

constexpr const char* kFormatName = "format";
constexpr const char* kSpecName = "spec";
constexpr std::string_view kFormatValue = "kovo record manager file 1";
constexpr int kBusyTimeoutMs = 250;

// Counts the writes of this process, so that read snapshots of other handles
// see them at once.
std::atomic<std::uint64_t> write_generation{0};

std::string key_column(int key) { return "k" + std::to_string(key); }

Status status_of(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
      return kOk;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return kFileLocked;
    case SQLITE_CONSTRAINT:
      return kDuplicateKey;
    case SQLITE_FULL:
      return kDiskFull;
    case SQLITE_NOTADB:
      return kNotARecordManagerFile;
    case SQLITE_READONLY:
    case SQLITE_PERM:
      return kAccessDenied;
    default:
      return kIoError;
  }
}

// While opening, anything but a lock means the file is not one of ours.
Status open_failure(int rc) {
  return status_of(rc) == kFileLocked ? kFileLocked : kNotARecordManagerFile;
}

// Seek statements per key: the kinds of Seek plus the two that stay within
// one key value (the duplicates after or before a position).
enum SeekKind { kEqualKind, kGreaterKind, kGreaterOrEqualKind, kLessKind, kLessOrEqualKind,
                kFirstKind, kLastKind, kSameAfterKind, kSameBeforeKind, kSeekKinds };

std::string seek_sql(int key, int kind) {
  const std::string k = key_column(key);
  const std::string up = " ORDER BY " + k + ", id LIMIT 1";
  const std::string down = " ORDER BY " + k + " DESC, id DESC LIMIT 1";
  const std::string head = "SELECT id, data, " + k + " FROM records WHERE ";
  switch (kind) {
    case kEqualKind: return head + k + " = ?1" + up;
    case kGreaterKind: return head + k + " > ?1" + up;
    case kGreaterOrEqualKind: return head + k + " >= ?1" + up;
    case kLessKind: return head + k + " < ?1" + down;
    case kLessOrEqualKind: return head + k + " <= ?1" + down;
    case kFirstKind: return head + k + " IS NOT NULL" + up;
    case kLastKind: return head + k + " IS NOT NULL" + down;
    case kSameAfterKind: return head + k + " = ?1 AND id > ?2" + up;
    default: return head + k + " = ?1 AND id < ?2" + down;
  }
}

}  // namespace

// A prepared statement, reset after every use.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) {
    rc_ = sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()),
                             SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return rc_ == SQLITE_OK && stmt_; }
  int prepare_rc() const { return rc_; }

  void bind_blob(int at, std::string_view v) {
    sqlite3_bind_blob(stmt_, at, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
  }
  void bind_key(int at, const std::optional<EncodedKey>& v) {
    if (v) bind_blob(at, *v); else sqlite3_bind_null(stmt_, at);
  }
  void bind_int(int at, std::int64_t v) { sqlite3_bind_int64(stmt_, at, v); }

  int step() { return sqlite3_step(stmt_); }
  // Runs a statement that returns no row of interest.
  int run() {
    const int rc = sqlite3_step(stmt_);
    reset();
    return rc == SQLITE_ROW ? SQLITE_DONE : rc;
  }
  void reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }

  std::int64_t column_int(int at) { return sqlite3_column_int64(stmt_, at); }
  bool column_null(int at) { return sqlite3_column_type(stmt_, at) == SQLITE_NULL; }
  std::string column_blob(int at) {
    const void* p = sqlite3_column_blob(stmt_, at);
    const int n = sqlite3_column_bytes(stmt_, at);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_ERROR;
};

namespace {

// Resets a statement when the scope ends, whatever path it takes.
struct ResetOnExit {
  Statement& st;
  ~ResetOnExit() { st.reset(); }
};

int exec(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

void close_db(sqlite3*& db) {
  if (db) sqlite3_close_v2(db);
  db = nullptr;
}

std::string schema_sql(const FileSpec& spec) {
  std::string sql = "CREATE TABLE recman_file(name TEXT PRIMARY KEY, value BLOB NOT NULL);"
                    "CREATE TABLE records(id INTEGER PRIMARY KEY AUTOINCREMENT, data BLOB NOT NULL";
  for (std::size_t k = 0; k < spec.keys.size(); ++k) sql += ", " + key_column(static_cast<int>(k)) + " BLOB";
  sql += ");";
  for (std::size_t k = 0; k < spec.keys.size(); ++k) {
    const std::string col = key_column(static_cast<int>(k));
    sql += std::string(spec.keys[k].duplicates() ? "CREATE INDEX " : "CREATE UNIQUE INDEX ") +
           "records_" + col + " ON records(" + col + ");";
  }
  return sql;
}

Status write_new_file(const std::string& path, const FileSpec& spec) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    close_db(db);
    return kCreateIoError;
  }
  int rc = exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN;" + schema_sql(spec));
  if (rc == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(db, "INSERT INTO recman_file(name, value) VALUES (?1, ?2)", -1, &st, nullptr);
    const std::vector<std::uint8_t> encoded = encode_file_spec(spec, 0);
    if (rc == SQLITE_OK) {
      sqlite3_bind_text(st, 1, kFormatName, -1, SQLITE_STATIC);
      sqlite3_bind_blob(st, 2, kFormatValue.data(), static_cast<int>(kFormatValue.size()), SQLITE_STATIC);
      rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
      sqlite3_reset(st);
      sqlite3_bind_text(st, 1, kSpecName, -1, SQLITE_STATIC);
      sqlite3_bind_blob(st, 2, encoded.data(), static_cast<int>(encoded.size()), SQLITE_STATIC);
      if (rc == SQLITE_OK) rc = sqlite3_step(st) == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
    }
    sqlite3_finalize(st);
  }
  if (rc == SQLITE_OK) rc = exec(db, "COMMIT;");
  const int close_rc = sqlite3_close_v2(db);  // checkpoints and removes the WAL file
  if (rc != SQLITE_OK || close_rc != SQLITE_OK) return status_of(rc) == kDiskFull ? kDiskFull : kCreateIoError;
  return kOk;
}

void remove_file_set(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    std::filesystem::remove(path + suffix, ignored);
}

}  // namespace

RecordFile::~RecordFile() {
  statements_.clear();
  step_.clear();
  max_key_.clear();
  insert_.reset(); update_.reset(); delete_.reset(); select_by_id_.reset(); count_.reset();
  end_read();
  begin_.reset(); begin_read_.reset(); commit_.reset(); rollback_.reset();
  close_db(db_);
}

Status RecordFile::create(const std::string& path, const FileSpec& spec, bool replace) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    if (!replace) return kFileExists;
    if (std::filesystem::is_directory(path, ec)) return kInvalidFileName;
  }
  // Build the new file beside the target and move it into place, so that a
  // failure or a crash leaves either the old file or the complete new one.
  const std::string fresh = path + ".~new";
  remove_file_set(fresh);
  if (const Status st = write_new_file(fresh, spec); st != kOk) {
    remove_file_set(fresh);
    return st;
  }
  std::error_code ignored;
  std::filesystem::remove(path + "-wal", ignored);
  std::filesystem::remove(path + "-shm", ignored);
  std::filesystem::rename(fresh, path, ec);
  if (ec) {
    remove_file_set(fresh);
    return kCreateIoError;
  }
  return kOk;
}

Status RecordFile::open(const std::string& path, bool exclusive, std::unique_ptr<RecordFile>& out) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return kFileNotFound;
  if (!std::filesystem::is_regular_file(path, ec)) return kInvalidFileName;
  std::unique_ptr<RecordFile> file(new RecordFile);
  if (sqlite3_open_v2(path.c_str(), &file->db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
    return kIoError;
  sqlite3_busy_timeout(file->db_, kBusyTimeoutMs);
  sqlite3_extended_result_codes(file->db_, 0);
  // Pages are read through a memory map (no system call per page) with a
  // larger page cache than SQLite's default.
  const int rc = exec(file->db_, "PRAGMA synchronous=FULL; PRAGMA cache_size=-8192; PRAGMA mmap_size=268435456;");
  if (rc != SQLITE_OK) return open_failure(rc);
  if (exclusive) {
    const int rc = exec(file->db_, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;");
    if (rc != SQLITE_OK) return open_failure(rc);
  }
  if (const Status st = file->load_spec(); st != kOk) return st;
  if (const Status st = file->prepare_statements(); st != kOk) return st;
  out = std::move(file);
  return kOk;
}

Status RecordFile::load_spec() {
  Statement st(db_, "SELECT name, value FROM recman_file WHERE name IN ('format', 'spec')");
  if (!st.ok()) return open_failure(st.prepare_rc());
  std::string format, spec_bytes;
  int rc;
  while ((rc = st.step()) == SQLITE_ROW) {
    const std::string name = st.column_blob(0);
    (name == kFormatName ? format : spec_bytes) = st.column_blob(1);
  }
  if (rc != SQLITE_DONE) return open_failure(rc);
  if (format != kFormatValue) return kNotARecordManagerFile;
  ParsedSpec parsed = parse_file_spec(
      {reinterpret_cast<const std::uint8_t*>(spec_bytes.data()), spec_bytes.size()});
  if (parsed.status != kOk || parsed.spec.encoded_size() != spec_bytes.size()) return kNotARecordManagerFile;
  spec_ = std::move(parsed.spec);
  return kOk;
}

Status RecordFile::prepare_statements() {
  const int keys = static_cast<int>(spec_.keys.size());
  std::string columns = "data", values = "?1", assignments = "data = ?1";
  for (int k = 0; k < keys; ++k) {
    columns += ", " + key_column(k);
    values += ", ?" + std::to_string(k + 2);
    assignments += ", " + key_column(k) + " = ?" + std::to_string(k + 2);
  }
  insert_ = std::make_unique<Statement>(db_, "INSERT INTO records(" + columns + ") VALUES (" + values + ")");
  update_ = std::make_unique<Statement>(db_, "UPDATE records SET " + assignments + " WHERE id = ?" +
                                                 std::to_string(keys + 2));
  delete_ = std::make_unique<Statement>(db_, "DELETE FROM records WHERE id = ?1");
  select_by_id_ = std::make_unique<Statement>(db_, "SELECT id, data FROM records WHERE id = ?1");
  count_ = std::make_unique<Statement>(db_, "SELECT count(*) FROM records");
  begin_ = std::make_unique<Statement>(db_, "BEGIN IMMEDIATE");
  begin_read_ = std::make_unique<Statement>(db_, "BEGIN");
  commit_ = std::make_unique<Statement>(db_, "COMMIT");
  rollback_ = std::make_unique<Statement>(db_, "ROLLBACK");
  for (const char* sql : {"SELECT id, data FROM records ORDER BY id LIMIT 1",
                          "SELECT id, data FROM records ORDER BY id DESC LIMIT 1",
                          "SELECT id, data FROM records WHERE id > ?1 ORDER BY id LIMIT 1",
                          "SELECT id, data FROM records WHERE id < ?1 ORDER BY id DESC LIMIT 1"})
    step_.push_back(std::make_unique<Statement>(db_, sql));
  for (const Statement* st : {insert_.get(), update_.get(), delete_.get(), select_by_id_.get(),
                              count_.get(), begin_.get(), begin_read_.get(), commit_.get(), rollback_.get()})
    if (!st->ok()) return open_failure(st->prepare_rc());
  for (const auto& st : step_)
    if (!st->ok()) return kNotARecordManagerFile;
  statements_.resize(static_cast<std::size_t>(keys) * kSeekKinds);
  max_key_.resize(static_cast<std::size_t>(keys));
  return kOk;
}

std::optional<EncodedKey> RecordFile::index_key(int key, std::span<const std::uint8_t> record) const {
  const Key& k = spec_.keys[static_cast<std::size_t>(key)];
  const std::string value = key_value_of(k, record);
  const std::span<const std::uint8_t> bytes{reinterpret_cast<const std::uint8_t*>(value.data()), value.size()};
  if (k.null_key() && is_null_key(k, bytes)) return std::nullopt;
  return encode_key(k, bytes);
}

Status RecordFile::begin_read() {
  const auto now = std::chrono::steady_clock::now();
  if (in_read_) {
    if (read_generation_ == write_generation.load() && now - read_started_ < kSnapshotWindow) return kOk;
    end_read();
  }
  if (const int rc = begin_read_->run(); rc != SQLITE_DONE) return status_of(rc);
  in_read_ = true;
  read_started_ = now;
  read_generation_ = write_generation.load();
  return kOk;
}

void RecordFile::end_read() {
  if (!in_read_) return;
  commit_->run();
  in_read_ = false;
}

Status RecordFile::begin_write() {
  end_read();
  return status_of(begin_->run());
}

Status RecordFile::finish_write(Status status) {
  if (status == kOk) {
    const int rc = commit_->run();
    if (rc == SQLITE_DONE || rc == SQLITE_OK) {
      ++write_generation;
      return kOk;
    }
    status = status_of(rc);
  }
  rollback_->run();
  return status;
}

Status RecordFile::assign_autoincrement(std::string& record) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(record.data());
  const std::span<std::uint8_t> span{bytes, record.size()};
  for (std::size_t k = 0; k < spec_.keys.size(); ++k) {
    const Key& key = spec_.keys[k];
    if (!key.autoincrement()) continue;
    const Segment& s = key.segments.front();
    if (autoincrement_value(s, span) != 0) continue;
    auto& st = max_key_[k];
    if (!st) {
      const std::string col = key_column(static_cast<int>(k));
      st = std::make_unique<Statement>(
          db_, "SELECT data FROM records WHERE " + col + " IS NOT NULL ORDER BY " + col +
                   (s.descending() ? " ASC" : " DESC") + " LIMIT 1");
      if (!st->ok()) return kIoError;
    }
    ResetOnExit reset{*st};
    std::int64_t highest = 0;
    const int rc = st->step();
    if (rc == SQLITE_ROW) {
      const std::string data = st->column_blob(0);
      if (data.size() >= s.offset() + s.length)
        highest = autoincrement_value(s, {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()});
    } else if (rc != SQLITE_DONE) {
      return status_of(rc);
    }
    set_autoincrement_value(s, span, highest < 0 ? 1 : highest + 1);
  }
  return kOk;
}

Status RecordFile::insert(std::string& record, RecordId& id) {
  if (const Status st = begin_write(); st != kOk) return st;
  Status status = assign_autoincrement(record);
  if (status == kOk) {
    const std::span<const std::uint8_t> bytes{reinterpret_cast<const std::uint8_t*>(record.data()), record.size()};
    std::vector<std::optional<EncodedKey>> keys;
    for (std::size_t k = 0; k < spec_.keys.size(); ++k) keys.push_back(index_key(static_cast<int>(k), bytes));
    insert_->bind_blob(1, record);
    for (std::size_t k = 0; k < keys.size(); ++k) insert_->bind_key(static_cast<int>(k) + 2, keys[k]);
    status = status_of(insert_->run());
    id = sqlite3_last_insert_rowid(db_);
  }
  return finish_write(status);
}

Status RecordFile::update(RecordId id, const std::string& record) {
  if (const Status st = begin_write(); st != kOk) return st;
  Row old;
  Status status = find_by_id(id, -1, old);
  if (status == kInvalidRecordAccess) status = kInvalidPositioning;
  const std::span<const std::uint8_t> bytes{reinterpret_cast<const std::uint8_t*>(record.data()), record.size()};
  const std::span<const std::uint8_t> old_bytes{reinterpret_cast<const std::uint8_t*>(old.data.data()),
                                                old.data.size()};
  std::vector<std::optional<EncodedKey>> keys;
  for (std::size_t k = 0; status == kOk && k < spec_.keys.size(); ++k) {
    keys.push_back(index_key(static_cast<int>(k), bytes));
    if (!spec_.keys[k].modifiable() && keys.back() != index_key(static_cast<int>(k), old_bytes))
      status = kModifiableKeyError;
  }
  if (status == kOk) {
    update_->bind_blob(1, record);
    for (std::size_t k = 0; k < keys.size(); ++k) update_->bind_key(static_cast<int>(k) + 2, keys[k]);
    update_->bind_int(static_cast<int>(keys.size()) + 2, id);
    status = status_of(update_->run());
  }
  return finish_write(status);
}

Status RecordFile::remove(RecordId id) {
  if (const Status st = begin_write(); st != kOk) return st;
  delete_->bind_int(1, id);
  Status status = status_of(delete_->run());
  if (status == kOk && sqlite3_changes(db_) == 0) status = kInvalidPositioning;
  return finish_write(status);
}

Statement& RecordFile::seek_statement(int key, Seek how, bool same_key_part) {
  int kind = kEqualKind;
  switch (how) {
    case Seek::kEqual: kind = kEqualKind; break;
    case Seek::kGreater: kind = kGreaterKind; break;
    case Seek::kGreaterOrEqual: kind = kGreaterOrEqualKind; break;
    case Seek::kLess: kind = kLessKind; break;
    case Seek::kLessOrEqual: kind = kLessOrEqualKind; break;
    case Seek::kFirst: kind = kFirstKind; break;
    case Seek::kLast: kind = kLastKind; break;
    case Seek::kAfter: kind = same_key_part ? kSameAfterKind : kGreaterKind; break;
    case Seek::kBefore: kind = same_key_part ? kSameBeforeKind : kLessKind; break;
  }
  auto& slot = statements_[static_cast<std::size_t>(key) * kSeekKinds + static_cast<std::size_t>(kind)];
  if (!slot) slot = std::make_unique<Statement>(db_, seek_sql(key, kind));
  return *slot;
}

Status RecordFile::read_row(Statement& st, int key, Row& out) {
  ResetOnExit reset{st};
  const int rc = st.step();
  if (rc == SQLITE_DONE) return kEndOfFile;
  if (rc != SQLITE_ROW) return status_of(rc);
  out.id = st.column_int(0);
  out.data = st.column_blob(1);
  if (out.data.size() < spec_.record_length) return kIoError;
  if (key >= 0) {
    if (st.column_null(2)) out.key.reset(); else out.key = st.column_blob(2);
  }
  return kOk;
}

Status RecordFile::seek(int key, Seek how, const EncodedKey& value, RecordId after_id, Row& out) {
  if (const Status st = begin_read(); st != kOk) return st;
  const bool around = how == Seek::kAfter || how == Seek::kBefore;
  // Duplicates of the position's own key value come first (unique keys have none).
  if (around && spec_.keys[static_cast<std::size_t>(key)].duplicates()) {
    Statement& same = seek_statement(key, how, true);
    if (!same.ok()) return kIoError;
    same.bind_blob(1, value);
    same.bind_int(2, after_id);
    const Status st = read_row(same, key, out);
    if (st != kEndOfFile) return st;
  }
  Statement& st = seek_statement(key, how, false);
  if (!st.ok()) return kIoError;
  if (how != Seek::kFirst && how != Seek::kLast) st.bind_blob(1, value);
  const Status status = read_row(st, key, out);
  if (status == kEndOfFile && how == Seek::kEqual) return kKeyNotFound;
  return status;
}

Status RecordFile::step(Step how, RecordId from, Row& out) {
  if (const Status st = begin_read(); st != kOk) return st;
  Statement& st = *step_[static_cast<std::size_t>(how)];
  if (how == Step::kAfter || how == Step::kBefore) st.bind_int(1, from);
  out.key.reset();
  return read_row(st, -1, out);
}

Status RecordFile::by_id(RecordId id, int key, Row& out) {
  if (const Status st = begin_read(); st != kOk) return st;
  return find_by_id(id, key, out);
}

Status RecordFile::find_by_id(RecordId id, int key, Row& out) {
  select_by_id_->bind_int(1, id);
  const Status st = read_row(*select_by_id_, -1, out);
  if (st == kEndOfFile) return kInvalidRecordAccess;
  if (st == kOk && key >= 0) {
    out.key = index_key(key, {reinterpret_cast<const std::uint8_t*>(out.data.data()), out.data.size()});
  }
  return st;
}

Status RecordFile::record_count(std::uint32_t& out) {
  if (const Status st = begin_read(); st != kOk) return st;
  ResetOnExit reset{*count_};
  const int rc = count_->step();
  if (rc != SQLITE_ROW) return status_of(rc);
  out = static_cast<std::uint32_t>(count_->column_int(0));
  return kOk;
}

}  // namespace recman
