// A company's financial entities file ("<id>.sad"), the connector's own
// record manager file: segment values with their descriptions, and
// financial entities, names that stand for a segment specifier (a pattern
// or list of a segment's values). Account specifiers may name an entity or
// a value's description where a segment value is expected; the lists may
// take a segment's values from here instead of scanning the ledger.
//
// Record (184 bytes): text A (30, blank-padded: the value, or the first 30
// characters of an entity's specifier), the segment as a 16-bit integer (1
// to 10 for values, segment + 100 for entities), text B (51, zero-ended:
// the description or the entity's name), text C (101, zero-ended: the rest
// of an entity's specifier). Keys: 0 (text A, segment), 1 (segment, text
// A), 2 (segment, text B); all with duplicates, modifiable, case-insensitive.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <functional>
#include <memory>

#include "data/btrieve_ops.h"
#include "data/companies.h"
#include "data/layouts.h"
#include "recman/file_spec.h"
#include "specifier/account_specifier.h"

namespace kovo {
struct Settings;
}

namespace kovo::entities {

inline constexpr std::size_t kRecordLength = 184;
inline constexpr std::size_t kTextA = 30;
inline constexpr std::size_t kTextB = 51;
inline constexpr std::size_t kTextC = 101;
inline constexpr std::uint16_t kPageSize = 2048;
inline constexpr int kEntityOffset = 100;
// The longest entity specifier the record holds (text A and text C, whose
// last byte ends it).
inline constexpr std::size_t kSpecifierLimit = kTextA + kTextC - 1;
inline constexpr std::size_t kNameLimit = kTextB - 1;

enum KeyNumber : int { kValueKey = 0, kSegmentKey = 1, kNameKey = 2 };

// Messages of the file's windows and writers.
inline constexpr int kMessageCannotOpen = 2101;
inline constexpr int kMessageCannotCreate = 2102;
inline constexpr int kMessageUpdateFailed = 2103;
inline constexpr int kMessageNoFile = 2104;
inline constexpr int kMessageUpdated = 2107;
inline constexpr int kMessageLooksLikeEntity = 2110;
inline constexpr int kMessageCannotClose = 2111;

struct Record {
  std::string text_a;  // trailing blanks removed
  int segment = 0;
  std::string text_b;
  std::string text_c;

  bool entity() const { return segment > kEntityOffset; }
  // An entity's whole specifier: text A then text C.
  std::string specifier() const { return text_a + text_c; }
};

using RecordBytes = std::array<std::uint8_t, kRecordLength>;
RecordBytes encode(const Record& r);
std::optional<Record> decode(layout::View bytes);

// The record of a value of segment (from 1), and of an entity: its
// specifier's first 30 characters in text A, the rest in text C.
Record value_record(int segment, std::string_view value, std::string_view description);
Record entity_record(int segment, std::string_view name, std::string_view specifier);

// The layout the file is created with: record length, page size, three keys,
// and that layout as the bytes of the create call.
recman::FileSpec file_spec();
std::vector<std::uint8_t> create_layout_bytes();

// A value as a list entry "value; description".
std::string list_entry(const Record& r);
// A list entry's value: up to its first ";", trailing blanks removed.
std::string entry_value(std::string_view entry);

// True when a value holds one of ".,*?": it reads as a pattern or list.
bool looks_like_entity(std::string_view value);

// The file of one company, open through the record manager: on a position
// block of its own, or on the company's slot for the file (which the
// company's clean-up closes).
class EntitiesFile {
 public:
  EntitiesFile() : block_(&own_block_), open_(&own_open_) {}
  explicit EntitiesFile(data::FileSlot& slot) : block_(&slot.block), open_(&slot.open), attached_(true) {}
  ~EntitiesFile();
  EntitiesFile(const EntitiesFile&) = delete;
  EntitiesFile& operator=(const EntitiesFile&) = delete;

  // The record manager's status (0 when done).
  int open(const std::string& path);
  // A new empty file at path, replacing one that is there.
  int create(const std::string& path);
  int close();
  bool is_open() const { return *open_; }

  // The first record of a key-2 look-up (segment as stored, name).
  std::optional<Record> by_name(int stored_segment, std::string_view name);
  // The first record of a key-0 look-up (value, segment as stored).
  std::optional<Record> by_value(int stored_segment, std::string_view value);
  // Every record of a stored segment in key order: values by text A on key
  // 1, entities by name on key 2.
  std::vector<Record> values_of(int segment);
  std::vector<Record> entities_of(int segment);

  // A value's description, updated or inserted; an unchanged one is left.
  int put_value(int segment, std::string_view value, std::string_view description);
  // An entity, replacing one of the same name.
  int put_entity(int segment, std::string_view name, std::string_view specifier);
  // Every record of a value, or of an entity name.
  int delete_value(int segment, std::string_view value);
  int delete_entity(int segment, std::string_view name);
  // Records left without text B, values and entities of the segment.
  int delete_unnamed(int segment);

 private:
  int read(std::uint16_t operation, const layout::Bytes& key, int key_number, Record& out);
  int delete_where(int key_number, const layout::Bytes& key, const std::function<bool(const Record&)>& same);

  btrv::PositionBlock own_block_{};
  bool own_open_ = false;
  btrv::PositionBlock* block_;
  bool* open_;
  bool attached_ = false;
};

// Where a company's file lives under the settings: its data directory, or
// the "FE File Path" directory (the connector's own folder when that is
// empty); empty when none is known.
std::string file_path(const data::CompanyContext& company, const Settings& settings);
void set_connector_folder(std::string folder);

// The company's file, opened on first use when it exists; null otherwise
// (a failed open is reported as message 2101).
std::unique_ptr<EntitiesFile> company_file(data::CompanyContext& company);

// An item written where a segment value (segment from 1) is expected: an
// entity's specifier, or the value whose description it is; nothing when
// neither, or when the company has no file.
std::optional<std::string> translate(data::CompanyContext& company, int segment, std::string_view item);

// The translation for expanding a company's account specifiers; empty
// (no look-ups at all) for a company without a file.
specifier::EntityLookup lookup_for(data::CompanyContext& company);
// Rises with every write to any entities file: an expansion kept from
// before may name other values now.
std::uint64_t generation();
void note_written();

// A segment's listing: mode 0 values, 1 entities then values, 2 entities;
// patterns (comma-separated, "*" and "?" matched per value) filter it.
enum class ListMode : int { Values = 0, EntitiesThenValues = 1, Entities = 2 };
std::vector<std::string> list_segment(data::CompanyContext& company, int segment, ListMode mode,
                                      std::string_view patterns = {});

// Installs the translation for account specifiers and the lists' source.
void install_entities();

}  // namespace kovo::entities
