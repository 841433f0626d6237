#include "data/balance_cache.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "specifier/account_specifier.h"
#include "specifier/text_util.h"

namespace kovo::data {
namespace {

constexpr double kZeroBelow = 0.0001;
// Fill characters of the search bounds: below a blank, and the highest
// printable character (codes of a searchable set hold nothing above it).
constexpr char kLowFill = '\x1f';
constexpr char kHighFill = '~';

std::vector<std::string> split_segments(std::string_view simple) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t dash = simple.find('-', from);
    out.emplace_back(simple.substr(from, dash == std::string_view::npos ? std::string_view::npos : dash - from));
    if (dash == std::string_view::npos) return out;
    from = dash + 1;
  }
}

struct Value {
  enum class Kind { Exact, Pattern, Range, Any } kind = Kind::Exact;
  std::string text, low, high;
};

Value classify(std::string_view text) {
  Value v;
  if (const std::size_t dots = text.find(".."); dots != std::string_view::npos) {
    v.kind = Value::Kind::Range;
    v.low = std::string(text.substr(0, dots));
    std::string_view rest = text.substr(dots + 2);
    while (!rest.empty() && rest.front() == '.') rest.remove_prefix(1);
    v.high = std::string(rest);
  } else if (!text.empty() && text.find_first_not_of('*') == std::string_view::npos) {
    v.kind = Value::Kind::Any;
  } else if (text.find_first_of("*?") != std::string_view::npos) {
    v.kind = Value::Kind::Pattern;
  }
  v.text = std::string(text);
  return v;
}

std::string fitted(std::string_view s, std::size_t width, char pad = ' ') {
  std::string out(s.substr(0, std::min(width, s.size())));
  out.append(width - out.size(), pad);
  return out;
}

std::size_t width_of(const specifier::AccountStructure& s, int segment) {
  return static_cast<std::size_t>(s.width[static_cast<std::size_t>(segment)]);
}

std::size_t offset_of(const specifier::AccountStructure& s, int segment) {
  std::size_t at = 0;
  for (int i = 0; i < segment; ++i) at += width_of(s, i);
  return at;
}

// The segment of a code padded with blanks to its width.
std::string_view segment_of(std::string_view code, std::size_t offset, std::size_t width, char (&buffer)[32]) {
  const std::size_t n = std::min<std::size_t>(width, sizeof buffer);
  for (std::size_t i = 0; i < n; ++i) buffer[i] = offset + i < code.size() ? code[offset + i] : ' ';
  return {buffer, n};
}

// The lowest and highest text of a segment that a value can match: every
// matching segment lies between them.
std::pair<std::string, std::string> segment_bounds(const Value& v, std::size_t width) {
  switch (v.kind) {
    case Value::Kind::Any: return {std::string(width, kLowFill), std::string(width, kHighFill)};
    case Value::Kind::Exact: return {fitted(v.text, width), fitted(v.text, width)};
    case Value::Kind::Range: return {fitted(v.low, width), fitted(v.high, width)};
    case Value::Kind::Pattern: break;
  }
  std::string low, high;
  bool star = false;
  for (const char c : v.text) {
    if (c == '*') {
      star = true;
      break;
    }
    low += c == '?' ? kLowFill : c;
    high += c == '?' ? kHighFill : c;
  }
  // without "*" a pattern is matched padded with blanks to the width
  return {fitted(low, width, star ? kLowFill : ' '), fitted(high, width, star ? kHighFill : ' ')};
}

bool searchable_code(std::string_view code) {
  for (const char c : code)
    if (c < ' ' || c > '~' || (c >= 'a' && c <= 'z')) return false;
  return true;
}

int compare_bytes(std::string_view a, std::string_view b) {
  const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return c;
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

// ---------------------------------------------------------------- rows

CompressedRow compress_row(const SlotValues& values, std::vector<double>& pool) {
  CompressedRow row;
  row.offset = static_cast<std::uint32_t>(pool.size());
  for (std::size_t s = 0; s < kFilledSlots; ++s) {
    const double v = values[s];
    if (std::fabs(v) < kZeroBelow) {
      row.zero = static_cast<std::uint16_t>(row.zero | (1u << s));
    } else if (s > 0 && v == values[s - 1]) {
      row.repeat = static_cast<std::uint16_t>(row.repeat | (1u << s));
    } else {
      pool.push_back(v);
      ++row.count;
    }
  }
  return row;
}

SlotValues decompress_row(const CompressedRow& row, const double* pool) {
  SlotValues out{};
  const double* next = pool ? pool + row.offset : nullptr;
  double last = 0;
  for (std::size_t s = 0; s < kFilledSlots; ++s) {
    if (row.zero & (1u << s)) continue;
    if (!(row.repeat & (1u << s))) last = *next++;
    out[s] = last;
  }
  return out;
}

// ---------------------------------------------------------------- sets

PreloadSet::PreloadSet(PreloadKey key, YearFlags flags, int year, const specifier::AccountStructure& structure)
    : key_(std::move(key)) {
  reset(flags, year, structure);
}

void PreloadSet::reset(YearFlags flags, int year, const specifier::AccountStructure& structure) {
  flags_ = flags;
  year_ = year;
  structure_ = structure;
  simple_.clear();
  blocks_.clear();
  count_ = 0;
  indexes_.clear();
  by_code_.clear();
  searchable_ = true;
}

CacheEntry& PreloadSet::entry_for(std::string_view code) {
  const std::string key(specifier::trim_right(code));
  if (const auto found = by_code_.find(key); found != by_code_.end())
    return blocks_[found->second.block]->entries[found->second.place];
  if (blocks_.empty() || blocks_.back()->count == kEntryBlock) blocks_.push_back(std::make_unique<EntryBlock>());
  EntryBlock& block = *blocks_.back();
  const EntryRef ref{static_cast<std::uint32_t>(blocks_.size() - 1), static_cast<std::uint32_t>(block.count)};
  CacheEntry& entry = block.entries[block.count++];
  entry.code = key;
  ++count_;
  if (!searchable_code(key)) searchable_ = false;
  by_code_.emplace(key, ref);
  return entry;
}

void PreloadSet::store_row(CacheEntry& entry, int row, const SlotValues& values) {
  const auto found = by_code_.find(entry.code);
  EntryBlock& block = *blocks_[found->second.block];
  entry.rows[static_cast<std::size_t>(row)] = compress_row(values, block.pool);
  entry.present = static_cast<std::uint8_t>(entry.present | (1u << row));
}

SlotValues PreloadSet::values(EntryRef ref, int row) const {
  return decompress_row(entry(ref).rows[static_cast<std::size_t>(row)], pool_of(ref));
}

void PreloadSet::build_indexes(const std::function<void(int)>& progress) {
  by_code_.clear();
  by_code_.rehash(0);
  for (auto& block : blocks_) block->pool.shrink_to_fit();
  std::vector<EntryRef> all;
  all.reserve(count_);
  for (std::uint32_t b = 0; b < blocks_.size(); ++b)
    for (std::uint32_t p = 0; p < blocks_[b]->count; ++p) all.push_back({b, p});
  const int count = std::min(structure_.segment_count, kMaxCacheIndexes);
  indexes_.assign(static_cast<std::size_t>(std::max(count, 0)), {});
  for (int i = 0; i < count; ++i) {
    std::vector<std::pair<std::string, EntryRef>> keyed;
    keyed.reserve(all.size());
    for (const EntryRef ref : all) keyed.emplace_back(index_key(entry(ref).code, structure_, i), ref);
    // the first index keeps the reading order, which is already in code
    // order for one specifier; a list of several is put in order here too
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    auto& index = indexes_[static_cast<std::size_t>(i)];
    index.reserve(keyed.size());
    for (const auto& k : keyed) index.push_back(k.second);
    if (progress) progress(i + 1);
  }
}

std::size_t PreloadSet::memory_bytes() const {
  std::size_t bytes = sizeof(PreloadSet);
  for (const auto& block : blocks_) {
    bytes += sizeof(EntryBlock) + block->pool.capacity() * sizeof(double);
    for (std::size_t i = 0; i < block->count; ++i)
      if (block->entries[i].code.capacity() > 15) bytes += block->entries[i].code.capacity() + 1;
  }
  for (const auto& index : indexes_) bytes += index.capacity() * sizeof(EntryRef);
  for (const auto& s : simple_) bytes += sizeof(std::string) + s.capacity();
  return bytes;
}

std::string index_key(std::string_view code, const specifier::AccountStructure& structure, int first) {
  const int n = structure.segment_count;
  std::string key;
  char buffer[32];
  for (int i = first; i < n; ++i) key += segment_of(code, offset_of(structure, i), width_of(structure, i), buffer);
  for (int i = first - 1; i >= 0; --i) key += segment_of(code, offset_of(structure, i), width_of(structure, i), buffer);
  return key;
}

// ---------------------------------------------------------------- choosing

int segment_class(std::string_view value) {
  if (!value.empty() && value.find_first_not_of('*') == std::string_view::npos) return 0;
  if (value.find("..") != std::string_view::npos) return 1;
  if (value.find_first_of("*?") != std::string_view::npos) return 2;
  return 4;
}

int deciding_segment(std::string_view simple, int segment_count) {
  const auto values = split_segments(simple);
  int best = 0, best_class = -1;
  for (int i = 0; i < segment_count; ++i) {
    // a segment the specifier leaves out matches anything
    const int c = static_cast<std::size_t>(i) < values.size() ? segment_class(values[static_cast<std::size_t>(i)]) : 0;
    if (c > best_class) {
      best_class = c;
      best = i;
    }
  }
  return best;
}

namespace {

bool value_covers(const Value& held, const Value& asked, std::size_t width) {
  if (held.kind == Value::Kind::Any) return true;
  if (asked.kind == Value::Kind::Any) return false;
  if (held.kind == asked.kind && held.kind != Value::Kind::Range && held.text == asked.text) return true;
  if (asked.kind == Value::Kind::Exact) {
    const std::string value = held.kind == Value::Kind::Range ? held.low + ".." + held.high : held.text;
    return asked.text.size() > width || specifier::segment_value_matches(value, fitted(asked.text, width), width);
  }
  // a prefix and one closing "*" holds every value that starts with the prefix
  if (held.kind == Value::Kind::Pattern && held.text.size() > 1 && held.text.back() == '*' &&
      held.text.find_first_of("*?") == held.text.size() - 1) {
    const std::string_view prefix(held.text.data(), held.text.size() - 1);
    const auto starts = [&](std::string_view t) { return t.substr(0, prefix.size()) == prefix; };
    if (asked.kind == Value::Kind::Pattern)
      return starts(asked.text) && asked.text.substr(0, prefix.size()).find_first_of("*?") == std::string::npos;
    if (asked.kind == Value::Kind::Range) return starts(asked.low) && starts(asked.high);
  }
  if (asked.kind == Value::Kind::Range && held.kind == Value::Kind::Range)
    return compare_bytes(fitted(held.low, width), fitted(asked.low, width)) <= 0 &&
           compare_bytes(fitted(asked.high, width), fitted(held.high, width)) <= 0 &&
           asked.low.size() <= width && held.high.size() <= width;
  return false;
}

}  // namespace

bool specifier_covers(std::string_view held, std::string_view request, const specifier::AccountStructure& structure) {
  const auto h = split_segments(held);
  const auto r = split_segments(request);
  for (int i = 0; i < structure.segment_count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const Value hv = at < h.size() ? classify(h[at]) : Value{Value::Kind::Any, {}, {}, {}};
    const Value rv = at < r.size() ? classify(r[at]) : Value{Value::Kind::Any, {}, {}, {}};
    if (!value_covers(hv, rv, width_of(structure, i))) return false;
  }
  return true;
}

// ---------------------------------------------------------------- the cache

PreloadSet& BalanceCache::set_for(const PreloadKey& key, YearFlags wanted, int year,
                                  const specifier::AccountStructure& structure) {
  for (auto& set : sets_) {
    const YearFlags& f = set.flags();
    if (set.key().mode == key.mode && set.key().account_spec == key.account_spec &&
        (f.this_year || !wanted.this_year) && (f.last_year || !wanted.last_year)) {
      set.reset(wanted, year, structure);
      set.set_key(key);
      current_ = &set;
      return set;
    }
  }
  sets_.emplace_front(key, wanted, year, structure);
  current_ = &sets_.front();
  return sets_.front();
}

void BalanceCache::remove(const PreloadSet* set) {
  sets_.remove_if([set](const PreloadSet& s) { return &s == set; });
  if (current_ == set) current_ = nullptr;
}

void BalanceCache::clear() {
  sets_.clear();
  current_ = nullptr;
  valid = false;
}

void BalanceCache::reset() {
  clear();
  flags = YearFlags{};
}

std::size_t BalanceCache::memory_bytes() const {
  std::size_t bytes = 0;
  for (const auto& set : sets_) bytes += set.memory_bytes();
  return bytes;
}

namespace {

// Which row of the entries feeds which year of the amount table.
struct RowPass {
  int row = 0;
  int year_index = 0;
};

std::optional<std::vector<RowPass>> passes_for(const PreloadSet& set, const CacheQuery& q) {
  const YearFlags& f = set.flags();
  if (q.mode == CacheMode::Budget) {
    if (q.year == set.year() && q.years_needed == 0) return std::vector<RowPass>{{0, 0}};
    return std::nullopt;
  }
  if (q.year == set.year()) {
    switch (q.years_needed) {
      case 0: if (f.this_year) return std::vector<RowPass>{{0, 0}}; break;
      case 1: if (f.last_year) return std::vector<RowPass>{{1, 1}}; break;
      case 2: if (f.this_year && f.last_year) return std::vector<RowPass>{{0, 0}, {1, 1}}; break;
      default: break;
    }
    return std::nullopt;
  }
  // the year before the cached one is answered from its row alone
  if (q.year == set.year() - 1 && f.last_year && q.years_needed == 0) return std::vector<RowPass>{{1, 0}};
  return std::nullopt;
}

bool covered(const PreloadSet& set, const std::vector<std::string>& simple) {
  for (const auto& asked : simple) {
    const bool any = std::any_of(set.simple_specifiers().begin(), set.simple_specifiers().end(),
                                 [&](const std::string& held) { return specifier_covers(held, asked, set.structure()); });
    if (!any) return false;
  }
  return true;
}

// Whether the walk over the files would deliver this code for the specifier:
// the same match, and inside the same scan keys.
bool walk_accepts(const specifier::SpecifierMatcher& m, std::string_view code) {
  if (!m.can_match()) return false;
  if (m.all_exact()) return specifier::trim_right(code) == specifier::trim_right(m.exact_code());
  std::string padded(code);
  if (padded.size() < m.low_key().size()) padded.append(m.low_key().size() - padded.size(), ' ');
  return compare_bytes(padded, m.low_key()) >= 0 && !m.beyond_high(code) && m.matches(code);
}

// The entries of one simple specifier, by binary search of the index of its
// deciding segment. False when the set keeps no index for that segment.
template <class Visit>
bool for_each_match(const PreloadSet& set, const std::string& simple, Visit&& visit) {
  const specifier::AccountStructure& st = set.structure();
  const int deciding = deciding_segment(simple, st.segment_count);
  if (deciding >= set.index_count()) return false;
  const auto values = split_segments(simple);
  const auto at = static_cast<std::size_t>(deciding);
  const Value v = at < values.size() ? classify(values[at]) : Value{Value::Kind::Any, {}, {}, {}};
  const std::size_t width = width_of(st, deciding), offset = offset_of(st, deciding);
  const auto [low, high] = segment_bounds(v, width);
  const auto& index = set.index(deciding);
  char buffer[32];
  const auto segment = [&](EntryRef ref) { return segment_of(set.entry(ref).code, offset, width, buffer); };
  auto it = std::partition_point(index.begin(), index.end(),
                                 [&](EntryRef ref) { return compare_bytes(segment(ref), low) < 0; });
  const specifier::SpecifierMatcher matcher(simple, st);
  for (; it != index.end() && compare_bytes(segment(*it), high) <= 0; ++it)
    if (walk_accepts(matcher, set.entry(*it).code)) visit(*it);
  return true;
}

}  // namespace

std::optional<CacheAnswer> BalanceCache::lookup(const CacheQuery& q) const {
  if (!valid || !q.simple || q.simple->empty()) return std::nullopt;
  for (const auto& set : sets_) {
    if (set.key().mode != q.mode || !set.searchable() || set.entry_count() == 0) continue;
    if (q.mode == CacheMode::Budget && !specifier::equal_folded(set.key().budget_type, q.budget_type)) continue;
    const auto passes = passes_for(set, q);
    if (!passes || !covered(set, *q.simple)) continue;

    CacheAnswer answer;
    const std::size_t mode = q.mode == CacheMode::Budget ? 1 : 0;
    for (const RowPass pass : *passes) {
      auto& row_out = answer.table.amount[mode][static_cast<std::size_t>(pass.year_index)];
      bool pass_matched = false;
      bool unknown_kind = false;
      for (const auto& simple : *q.simple) {
        // the walk delivers a specifier's accounts in code order: the kind
        // that stays is that of the highest code
        const CacheEntry* last = nullptr;
        const bool searched = for_each_match(set, simple, [&](EntryRef ref) {
          const CacheEntry& e = set.entry(ref);
          if (!e.has_row(pass.row)) return;
          if (e.kind == EntryKind::Unknown) unknown_kind = true;
          const SlotValues values = set.values(ref, pass.row);
          for (std::size_t p = 0; p < specifier::kAmountPeriods; ++p) row_out[p] += values[p + 1];
          if (mode == 0 && pass.year_index == 0 && e.kind == EntryKind::Balance)
            answer.table.opening_balance += values[0];
          if (!last || compare_bytes(e.code, last->code) > 0) last = &e;
        });
        if (!searched || unknown_kind) return std::nullopt;
        if (!last) {
          if (q.every_specifier_must_match) return std::nullopt;
          continue;
        }
        pass_matched = true;
        answer.kind = last->kind == EntryKind::Balance ? specifier::AccountKind::Balance : specifier::AccountKind::Other;
      }
      // nothing matched: the files say so with their own message
      if (!pass_matched) return std::nullopt;
    }
    return answer;
  }
  return std::nullopt;
}

bool progress_due(std::size_t count) {
  if (count < 50) return true;
  if (count < 500) return count % 50 == 0;
  if (count < 2500) return count % 100 == 0;
  return count % 250 == 0;
}

}  // namespace kovo::data
