// The balance cache of a company: the accounts of a preload held in memory
// with their period values, so that GL requests over them are answered
// without reading the ledger files.
//
// A preload builds one set per account specifier and mode (actual values or
// budget). A set holds one entry per account: its code, its kind and two
// rows of values (the cached year and the year before, or the budget of the
// cached year), each compressed: zero values and values equal to the slot
// before are not stored. Entries live in blocks of 100; up to three indexes
// order them so that a request finds its accounts by binary search on the
// segment that narrows it most.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "specifier/account_structure.h"
#include "specifier/period_range.h"

namespace kovo::data {

// Slot 0 is the opening value, slots 1 to 13 the periods; the rest stay zero.
inline constexpr std::size_t kCacheSlots = 69;
inline constexpr std::size_t kFilledSlots = 14;
inline constexpr std::size_t kEntryBlock = 100;
inline constexpr int kMaxCacheIndexes = 3;
using SlotValues = std::array<double, kCacheSlots>;

enum class CacheMode : int { Actual = 0, Budget = 1 };

// What a preload is asked for; a set keeps the key it was built with.
struct PreloadKey {
  std::string year;          // up to 4 digits; empty: the company's current year
  int second = 0;            // left 0
  CacheMode mode = CacheMode::Actual;
  std::string budget_type = "Budget";  // "Budget" or "Revised Budget"
  std::string account_spec;
};

struct YearFlags {
  bool this_year = true;
  bool last_year = false;
  bool budget = false;
};

// The kind of an entry's account; Unknown when the balance record has no
// account record beside it.
enum class EntryKind : std::uint8_t { Unknown = 0, Other = 1, Balance = 2 };

// One row of an entry, compressed: bit s of zero set means slot s is zero;
// bit s of repeat set means it equals slot s - 1; every other slot is the
// next stored value. Only the filled slots carry flags: the others are zero.
struct CompressedRow {
  std::uint16_t zero = 0;
  std::uint16_t repeat = 0;
  std::uint8_t count = 0;    // values stored
  std::uint32_t offset = 0;  // of the first stored value in the block's pool
};

// Compresses a row into flags, appending its stored values to pool.
CompressedRow compress_row(const SlotValues& values, std::vector<double>& pool);
// The row's 69 slots again.
SlotValues decompress_row(const CompressedRow& row, const double* pool);

struct CacheEntry {
  std::string code;  // as stored: segments run together
  std::array<CompressedRow, 2> rows{};
  std::uint8_t present = 0;  // bit r: row r was read from a balance record
  EntryKind kind = EntryKind::Unknown;
  bool has_row(int r) const { return (present >> r) & 1u; }
};

struct EntryBlock {
  std::array<CacheEntry, kEntryBlock> entries;
  std::size_t count = 0;
  std::vector<double> pool;  // the stored values of the block's entries
};

// A reference to an entry: block and place in it.
struct EntryRef {
  std::uint32_t block = 0;
  std::uint32_t place = 0;
};

class PreloadSet {
 public:
  PreloadSet(PreloadKey key, YearFlags flags, int year, const specifier::AccountStructure& structure);

  const PreloadKey& key() const { return key_; }
  const YearFlags& flags() const { return flags_; }
  int year() const { return year_; }  // the cached year as a number
  std::size_t entry_count() const { return count_; }
  const std::vector<std::string>& simple_specifiers() const { return simple_; }
  const specifier::AccountStructure& structure() const { return structure_; }

  // Refilling: forgets the entries, keeps nothing of the old build.
  void reset(YearFlags flags, int year, const specifier::AccountStructure& structure);
  void set_key(PreloadKey key) { key_ = std::move(key); }
  void set_simple_specifiers(std::vector<std::string> simple) { simple_ = std::move(simple); }

  // The entry of a code, made when new (in blocks of 100); stores a row.
  CacheEntry& entry_for(std::string_view code);
  void store_row(CacheEntry& entry, int row, const SlotValues& values);

  // Builds the indexes (as many as the segments, at most three); progress
  // is called after each with its number.
  void build_indexes(const std::function<void(int)>& progress = {});
  int index_count() const { return static_cast<int>(indexes_.size()); }
  // Whether the codes allow the index search (plain printable characters,
  // no lower-case letters); a set that does not is never asked.
  bool searchable() const { return searchable_; }

  const CacheEntry& entry(EntryRef ref) const { return blocks_[ref.block]->entries[ref.place]; }
  const double* pool_of(EntryRef ref) const { return blocks_[ref.block]->pool.data(); }
  const std::vector<EntryRef>& index(int number) const { return indexes_[static_cast<std::size_t>(number)]; }
  // The values of an entry's row.
  SlotValues values(EntryRef ref, int row) const;

  // Bytes held by the set (blocks, stored values, codes, indexes).
  std::size_t memory_bytes() const;

 private:
  PreloadKey key_;
  YearFlags flags_;
  int year_ = 0;
  specifier::AccountStructure structure_;
  std::vector<std::string> simple_;
  std::vector<std::unique_ptr<EntryBlock>> blocks_;
  std::size_t count_ = 0;
  std::vector<std::vector<EntryRef>> indexes_;
  std::unordered_map<std::string, EntryRef> by_code_;  // while building
  bool searchable_ = true;
};

// The text an index sorts by: the code (padded to its length) from the start
// of segment `first` on, then the segments before it from the nearest back.
std::string index_key(std::string_view code, const specifier::AccountStructure& structure, int first);

// The class of a segment value in a request: it chooses the index searched.
int segment_class(std::string_view value);
// The segment (0-based) whose index answers the simple specifier: the
// highest class wins, the first on ties.
int deciding_segment(std::string_view simple, int segment_count);

// Whether every account that `request` matches is matched by `held` (both
// simple specifiers, validated).
bool specifier_covers(std::string_view held, std::string_view request,
                      const specifier::AccountStructure& structure);

// A request put to the cache.
struct CacheQuery {
  int year = 0;                  // the requested year
  CacheMode mode = CacheMode::Actual;
  std::string budget_type;       // for budget requests
  int years_needed = 0;          // 0 the year only, 1 the year before only, 2 both
  const std::vector<std::string>* simple = nullptr;  // validated simple specifiers
  bool every_specifier_must_match = false;  // "NA Label" 0
};

struct CacheAnswer {
  specifier::AmountTable table;
  specifier::AccountKind kind = specifier::AccountKind::Other;
};

class BalanceCache {
 public:
  YearFlags flags;  // the flags of the next preload
  int segment_count = 0;
  std::array<int, 24> segment_lengths{};
  int index_count = 0;
  bool valid = false;

  // Newest first.
  std::list<PreloadSet>& sets() { return sets_; }
  const std::list<PreloadSet>& sets() const { return sets_; }
  PreloadSet* current() { return current_; }

  // The set to (re)fill for a key: the one of the same mode and account
  // specifier whose flags include these, emptied; else a new one at the head.
  PreloadSet& set_for(const PreloadKey& key, YearFlags wanted, int year,
                      const specifier::AccountStructure& structure);
  void remove(const PreloadSet* set);
  // Frees every set; the cache is invalid until the next preload.
  void clear();
  // Clears and puts the flags back to their defaults.
  void reset();

  std::optional<CacheAnswer> lookup(const CacheQuery& query) const;

  std::size_t memory_bytes() const;

 private:
  std::list<PreloadSet> sets_;
  PreloadSet* current_ = nullptr;
};

// Thins progress reports: every item below 50, every 50th below 500, every
// 100th below 2500, every 250th from then on.
bool progress_due(std::size_t count);

}  // namespace kovo::data
