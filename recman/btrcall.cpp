// The record manager call: operations on files opened through position blocks.
//
// A position block holds only a tag, a slot number and a cookie naming an
// entry of this process's handle table; the entry keeps the open file, the
// current record and the current key path. Every call checks the block
// against the table, so a block that was never opened, was closed, or is
// garbage answers 3.
#include "recman/btrcall.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "recman/le.h"
#include "recman/store.h"

namespace recman {

namespace {

constexpr std::uint32_t kBlockTag = 0x4D52564B;  // "KVRM"
constexpr std::size_t kMaxHandles = 255;
constexpr std::size_t kMaxPath = 255;
constexpr std::uint32_t kMaxVariableRecord = 65535;

// Open modes (the key number of open).
constexpr int kModeNormal = 0, kModeAccelerated = -1, kModeReadOnly = -2, kModeVerify = -3,
              kModeExclusive = -4;

// Version answered by operation 26: major, minor, platform.
constexpr std::uint16_t kVersionMajor = 6, kVersionMinor = 15;
constexpr char kVersionPlatform = 'W';

struct Cursor {
  bool positioned = false;         // a current record or the place a deleted one held
  bool record_present = false;     // false after the current record was deleted
  RecordId id = 0;
  int key_number = -1;             // current key path; -1 after a step (physical order)
  std::optional<EncodedKey> key;   // the current record's key on that path
};

struct Handle {
  std::uint64_t cookie = 0;
  std::unique_ptr<RecordFile> file;
  bool read_only = false;
  Cursor cursor;
};

struct BlockImage {
  std::uint32_t tag;
  std::uint32_t slot;
  std::uint64_t cookie;
};
static_assert(sizeof(BlockImage) <= kPositionBlockSize);

// The arguments of one call, with the caller's buffers bounded.
struct Call {
  void* block;
  std::uint8_t* data;
  std::uint32_t* data_length;
  std::uint8_t* key;
  std::uint8_t key_capacity;
  int key_number;

  std::uint32_t data_capacity() const { return (data && data_length) ? *data_length : 0; }
  void set_length(std::uint32_t n) const {
    if (data_length) *data_length = n;
  }
};

class Engine {
 public:
  short call(std::uint16_t op, const Call& c) {
    std::lock_guard lock(mutex_);
    switch (op) {
      case kOpen: return open(c);
      case kClose: return close(c);
      case kInsert: return insert(c);
      case kUpdate: return update(c);
      case kDelete: return remove(c);
      case kGetEqual: return get_by_value(c, Seek::kEqual);
      case kGetNext: return get_around(c, Seek::kAfter);
      case kGetPrevious: return get_around(c, Seek::kBefore);
      case kGetGreater: return get_by_value(c, Seek::kGreater);
      case kGetGreaterOrEqual: return get_by_value(c, Seek::kGreaterOrEqual);
      case kGetLess: return get_by_value(c, Seek::kLess);
      case kGetLessOrEqual: return get_by_value(c, Seek::kLessOrEqual);
      case kGetFirst: return get_end(c, Seek::kFirst);
      case kGetLast: return get_end(c, Seek::kLast);
      case kCreate: return create(c);
      case kStat: return stat(c);
      case kGetPosition: return get_position(c);
      case kGetDirect: return get_direct(c);
      case kStepNext: return step(c, Step::kAfter);
      case kStepFirst: return step(c, Step::kFirst);
      case kStepLast: return step(c, Step::kLast);
      case kStepPrevious: return step(c, Step::kBefore);
      case kStop: return close_all();
      case kVersion: return version(c);
      default: return kInvalidOperation;
    }
  }


 private:
  short close_all() {
    handles_.clear();
    return kOk;
  }

  // ------------------------------------------------------------ handles
  Handle* find(void* block) {
    if (!block) return nullptr;
    BlockImage image;
    std::memcpy(&image, block, sizeof image);
    if (image.tag != kBlockTag || image.slot >= handles_.size()) return nullptr;
    Handle* h = handles_[image.slot].get();
    return (h && h->cookie == image.cookie) ? h : nullptr;
  }

  void forget(void* block) {
    BlockImage image;
    std::memcpy(&image, block, sizeof image);
    handles_[image.slot].reset();
    std::memset(block, 0, sizeof image);
  }

  // -------------------------------------------------------- file level
  static std::optional<std::string> path_of(const Call& c) {
    if (!c.key) return std::nullopt;
    std::string path;
    for (std::size_t i = 0; i < c.key_capacity && c.key[i] != 0 && c.key[i] != ' '; ++i)
      path.push_back(static_cast<char>(c.key[i]));
    if (path.empty() || path.size() > kMaxPath) return std::nullopt;
#ifndef _WIN32
    // Callers write Windows paths; natively the folders are separated by "/".
    for (char& ch : path)
      if (ch == '\\') ch = '/';
#endif
    return path;
  }

  short open(const Call& c) {
    if (!c.block) return kInvalidOperation;
    const int mode = c.key_number;
    if (mode != kModeNormal && mode != kModeAccelerated && mode != kModeReadOnly && mode != kModeVerify &&
        mode != kModeExclusive)
      return kInvalidOperation;
    const auto path = path_of(c);
    if (!path) return kInvalidFileName;
    if (find(c.block)) forget(c.block);  // the block is reused for another open
    std::size_t slot = 0;
    while (slot < handles_.size() && handles_[slot]) ++slot;
    if (slot == kMaxHandles) return kHandleTableFull;
    auto handle = std::make_unique<Handle>();
    if (const Status st = RecordFile::open(*path, mode == kModeExclusive, handle->file); st != kOk) return st;
    handle->read_only = mode == kModeReadOnly;
    handle->cookie = next_cookie();
    if (slot == handles_.size()) handles_.emplace_back();
    handles_[slot] = std::move(handle);
    const BlockImage image{kBlockTag, static_cast<std::uint32_t>(slot), handles_[slot]->cookie};
    std::memset(c.block, 0, kPositionBlockSize);
    std::memcpy(c.block, &image, sizeof image);
    return kOk;
  }

  short close(const Call& c) {
    if (!find(c.block)) return kFileNotOpen;
    forget(c.block);
    return kOk;
  }

  short create(const Call& c) {
    const auto path = path_of(c);
    if (!path) return kInvalidFileName;
    if (!c.data) return kDataBufferLength;
    const ParsedSpec parsed = parse_file_spec({c.data, c.data_capacity()});
    if (parsed.status != kOk) return parsed.status;
    return RecordFile::create(*path, parsed.spec, c.key_number != -1);
  }

  short stat(const Call& c) {
    Handle* h = find(c.block);
    if (!h) return kFileNotOpen;
    std::uint32_t count = 0;
    if (const Status st = h->file->record_count(count); st != kOk) return st;
    const std::vector<std::uint8_t> spec = encode_file_spec(h->file->spec(), count);
    if (c.data_capacity() < spec.size()) return kDataBufferLength;
    std::memcpy(c.data, spec.data(), spec.size());
    c.set_length(static_cast<std::uint32_t>(spec.size()));
    return kOk;
  }

  short version(const Call& c) {
    if (c.data_capacity() < 5) return kDataBufferLength;
    const std::span<std::uint8_t> out{c.data, 5};
    put_le16(out, 0, kVersionMajor);
    put_le16(out, 2, kVersionMinor);
    out[4] = static_cast<std::uint8_t>(kVersionPlatform);
    c.set_length(5);
    return kOk;
  }

  // ------------------------------------------------------- record level
  static bool valid_key(const Handle& h, int key_number) {
    return key_number >= 0 && static_cast<std::size_t>(key_number) < h.file->spec().keys.size();
  }

  static std::size_t key_length(const Handle& h, int key_number) {
    return h.file->spec().keys[static_cast<std::size_t>(key_number)].length();
  }

  // The record the caller passes for insert and update, cut to the record
  // length of a fixed-length file. 22 when it is shorter.
  static Status record_from_caller(const Handle& h, const Call& c, std::string& record) {
    const FileSpec& spec = h.file->spec();
    const std::uint32_t given = c.data_capacity();
    if (given < spec.record_length) return kDataBufferLength;
    std::uint32_t keep = spec.record_length;
    if (spec.variable_length()) {
      if (given > kMaxVariableRecord) return kDataBufferLength;
      keep = given;
    }
    record.assign(reinterpret_cast<const char*>(c.data), keep);
    return kOk;
  }

  static void copy_key(const Handle& h, const Call& c, int key_number, const std::string& record) {
    const Key& key = h.file->spec().keys[static_cast<std::size_t>(key_number)];
    const std::string value = key_value_of(key, {reinterpret_cast<const std::uint8_t*>(record.data()), record.size()});
    std::memcpy(c.key, value.data(), value.size());
  }

  // Hands a found record to the caller and makes it current.
  static short deliver(Handle& h, const Call& c, int key_number, Row& row) {
    h.cursor = Cursor{true, true, row.id, key_number, std::move(row.key)};
    if (key_number >= 0) copy_key(h, c, key_number, row.data);
    const std::uint32_t capacity = c.data_capacity();
    const std::size_t n = std::min<std::size_t>(capacity, row.data.size());
    if (n) std::memcpy(c.data, row.data.data(), n);
    c.set_length(static_cast<std::uint32_t>(n));
    return n < row.data.size() ? kDataBufferLength : kOk;
  }

  // Checks shared by operations that work on one key path and return its key.
  static Status check_key_path(const Handle& h, const Call& c) {
    if (!valid_key(h, c.key_number)) return kInvalidKeyNumber;
    if (!c.key || c.key_capacity < key_length(h, c.key_number)) return kKeyBufferTooShort;
    return kOk;
  }

  short insert(const Call& c) {
    Handle* h = find(c.block);
    if (!h) return kFileNotOpen;
    if (h->read_only) return kAccessDenied;
    const bool keep_position = c.key_number < 0;
    if (!keep_position)
      if (const Status st = check_key_path(*h, c); st != kOk) return st;
    std::string record;
    if (const Status st = record_from_caller(*h, c, record); st != kOk) return st;
    RecordId id = 0;
    if (const Status st = h->file->insert(record, id); st != kOk) return st;
    std::memcpy(c.data, record.data(), h->file->spec().record_length);  // autoincrement values filled in
    if (keep_position) return kOk;
    const auto bytes = std::span{reinterpret_cast<const std::uint8_t*>(record.data()), record.size()};
    h->cursor = Cursor{true, true, id, c.key_number, h->file->index_key(c.key_number, bytes)};
    copy_key(*h, c, c.key_number, record);
    return kOk;
  }

  short update(const Call& c) {
    Handle* h = find(c.block);
    if (!h) return kFileNotOpen;
    if (h->read_only) return kAccessDenied;
    if (!h->cursor.record_present) return kInvalidPositioning;
    const bool keep_path = c.key_number < 0;
    if (!keep_path)
      if (const Status st = check_key_path(*h, c); st != kOk) return st;
    std::string record;
    if (const Status st = record_from_caller(*h, c, record); st != kOk) return st;
    if (const Status st = h->file->update(h->cursor.id, record); st != kOk) return st;
    const auto bytes = std::span{reinterpret_cast<const std::uint8_t*>(record.data()), record.size()};
    Cursor& cur = h->cursor;
    if (!keep_path) cur.key_number = c.key_number;
    if (cur.key_number >= 0) {
      cur.key = h->file->index_key(cur.key_number, bytes);
      if (!keep_path) copy_key(*h, c, cur.key_number, record);
    }
    return kOk;
  }

  short remove(const Call& c) {
    Handle* h = find(c.block);
    if (!h) return kFileNotOpen;
    if (h->read_only) return kAccessDenied;
    if (!h->cursor.record_present) return kInvalidPositioning;
    if (const Status st = h->file->remove(h->cursor.id); st != kOk) return st;
    h->cursor.record_present = false;  // next and previous go on from its place
    return kOk;
  }

  short get_by_value(const Call& c, Seek how) {
    Handle* h = find(c.block);
    if (!h) return kFileNotOpen;
    if (const Status st = check_key_path(*h, c); st != kOk) return st;
    const Key& key = h->file->spec().keys[static_cast<std::size_t>(c.key_number)];
    const EncodedKey value = encode_key(key, {c.key, key.length()});
    Row row;
    if (const Status st = h->file->seek(c.key_number, how, value, 0, row); st != kOk) return st;
    return deliver(*h, c, c.key_number, row);
  }

  short get_end(const Call& c, Seek how) {
    Handle* h = find(c.block);
    if (!h) return kFileNotOpen;
    if (const Status st = check_key_path(*h, c); st != kOk) return st;
    Row row;
    if (const Status st = h->file->seek(c.key_number, how, {}, 0, row); st != kOk) return st;
    return deliver(*h, c, c.key_number, row);
  }

  short get_around(const Call& c, Seek how) {
    Handle* h = find(c.block);
    if (!h) return kFileNotOpen;
    if (const Status st = check_key_path(*h, c); st != kOk) return st;
    const Cursor& cur = h->cursor;
    if (!cur.positioned) return kInvalidPositioning;
    if (cur.key_number != c.key_number) return kDifferentKeyNumber;
    if (!cur.key) return kInvalidPositioning;  // the current record is not on this key path
    Row row;
    if (const Status st = h->file->seek(c.key_number, how, *cur.key, cur.id, row); st != kOk) return st;
    return deliver(*h, c, c.key_number, row);
  }

  short step(const Call& c, Step how) {
    Handle* h = find(c.block);
    if (!h) return kFileNotOpen;
    const bool relative = how == Step::kAfter || how == Step::kBefore;
    if (relative && !h->cursor.positioned) return kInvalidPositioning;
    Row row;
    if (const Status st = h->file->step(how, h->cursor.id, row); st != kOk) return st;
    return deliver(*h, c, -1, row);
  }

  short get_position(const Call& c) {
    Handle* h = find(c.block);
    if (!h) return kFileNotOpen;
    if (!h->cursor.record_present) return kInvalidPositioning;
    if (c.data_capacity() < 4) return kDataBufferLength;
    put_le32({c.data, 4}, 0, static_cast<std::uint32_t>(h->cursor.id));
    c.set_length(4);
    return kOk;
  }

  short get_direct(const Call& c) {
    Handle* h = find(c.block);
    if (!h) return kFileNotOpen;
    if (c.data_capacity() < 4) return kDataBufferLength;
    const bool physical = c.key_number < 0;
    if (!physical)
      if (const Status st = check_key_path(*h, c); st != kOk) return st;
    const RecordId id = get_le32({c.data, 4}, 0);
    Row row;
    if (const Status st = h->file->by_id(id, physical ? -1 : c.key_number, row); st != kOk) return st;
    return deliver(*h, c, physical ? -1 : c.key_number, row);
  }

  std::uint64_t next_cookie() {
    if (cookie_ == 0) cookie_ = std::random_device{}() | 1ull << 40;
    return ++cookie_;
  }

  std::mutex mutex_;
  std::vector<std::unique_ptr<Handle>> handles_;
  std::uint64_t cookie_ = 0;
};

Engine& engine() {
  static Engine* instance = new Engine;  // never destroyed: callers may still call at process exit
  return *instance;
}

}  // namespace

short btrcall(std::uint16_t operation, void* position_block, void* data, std::uint32_t* data_length,
              void* key, std::uint8_t key_length, std::int8_t key_number) {
  const Call call{position_block, static_cast<std::uint8_t*>(data), data_length,
                  static_cast<std::uint8_t*>(key), key_length, key_number};
  return engine().call(operation, call);
}

}  // namespace recman
