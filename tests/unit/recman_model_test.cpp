// Random operation sequences against an in-memory model of ordered keys:
// every status, record and returned key must match the model's answer.
#include <algorithm>
#include <optional>
#include <random>
#include <tuple>

#include "recman/status.h"
#include "recman_fixture.h"

using namespace recman;
using namespace recman::testing;

namespace {

// 24-byte records:
//   key 0 unique, not modifiable: integer, bytes 0-3
//   key 1 duplicates: case-insensitive string, bytes 4-7
//   key 2 duplicates: date (8-11) then descending integer (12-13)
//   key 3 unique: lstring of up to 2 characters, bytes 14-16
//   bytes 17-23 payload
constexpr int kKeys = 4;
constexpr std::size_t kRecordLength = 24;
const std::size_t kKeyOffset[kKeys] = {0, 4, 8, 14};
const std::size_t kKeyLength[kKeys] = {4, 4, 6, 3};

std::vector<std::uint8_t> model_spec() {
  constexpr std::uint16_t dup_mod = kFlagDuplicates | kFlagModifiable;
  return spec_bytes(kRecordLength, {{{1, 4, 0, KeyType::kInteger}},
                                    {{5, 4, dup_mod | kFlagCaseInsensitive, KeyType::kString}},
                                    {{9, 4, dup_mod, KeyType::kDate},
                                     {13, 2, dup_mod | kFlagDescending, KeyType::kInteger}},
                                    {{15, 3, kFlagModifiable, KeyType::kLstring}}});
}

using Bytes = std::string;

// The key as the model orders it.
using KeyOrder = std::tuple<std::int64_t, std::string, std::int64_t>;

std::int64_t int_at(const Bytes& r, std::size_t at, int n) {
  std::uint64_t v = 0;
  for (int i = n; i-- > 0;) v = (v << 8) | static_cast<std::uint8_t>(r[at + i]);
  const unsigned bits = 8u * n;
  if (bits < 64 && (v >> (bits - 1)) & 1) v |= ~0ull << bits;
  return static_cast<std::int64_t>(v);
}

KeyOrder order_of(int key, const Bytes& r) {
  switch (key) {
    case 0: return {int_at(r, 0, 4), "", 0};
    case 1: {
      std::string s = r.substr(4, 4);
      for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return {0, s, 0};
    }
    case 2: {
      const std::int64_t ymd = int_at(r, 10, 2) * 10000 + static_cast<std::uint8_t>(r[9]) * 100 +
                               static_cast<std::uint8_t>(r[8]);
      return {ymd, "", -int_at(r, 12, 2)};
    }
    default: {
      const std::size_t n = std::min<std::size_t>(static_cast<std::uint8_t>(r[14]), 2);
      return {0, r.substr(15, n), 0};
    }
  }
}

struct ModelRecord {
  std::int64_t seq;
  Bytes data;
};

struct ModelCursor {
  bool positioned = false;
  bool present = false;
  std::int64_t seq = 0;
  int key = -1;
  Bytes snapshot;  // the current record as it was last seen
};

struct Answer {
  short status = kOk;
  std::optional<Bytes> record;
  int key = -1;  // key copied back, -1 for none
};

class Model {
 public:
  Answer insert(const Bytes& r, int key) {
    for (const ModelRecord& m : records_)
      if (order_of(0, m.data) == order_of(0, r) || order_of(3, m.data) == order_of(3, r)) return {kDuplicateKey};
    records_.push_back({++seq_, r});
    cursor_ = {true, true, seq_, key, r};
    return {kOk, r, key};
  }

  Answer update(const Bytes& r, int key) {
    if (!cursor_.present) return {kInvalidPositioning};
    ModelRecord& cur = *find(cursor_.seq);
    if (order_of(0, cur.data) != order_of(0, r)) return {kModifiableKeyError};
    for (const ModelRecord& m : records_)
      if (m.seq != cur.seq && order_of(3, m.data) == order_of(3, r)) return {kDuplicateKey};
    cur.data = r;
    cursor_.key = key;
    cursor_.snapshot = r;
    return {kOk, std::nullopt, key};
  }

  Answer remove() {
    if (!cursor_.present) return {kInvalidPositioning};
    records_.erase(find(cursor_.seq));
    cursor_.present = false;
    return {kOk};
  }

  // Get equal, greater, greater or equal, less, less or equal.
  Answer seek(std::uint16_t op, int key, const Bytes& probe) {
    const KeyOrder want = order_of(key, probe);
    const std::vector<const ModelRecord*> sorted = in_order(key);
    const ModelRecord* found = nullptr;
    for (const ModelRecord* m : sorted) {
      const KeyOrder k = order_of(key, m->data);
      const bool take = (op == kGetEqual && k == want) || (op == kGetGreater && k > want) ||
                        (op == kGetGreaterOrEqual && k >= want) || (op == kGetLess && k < want) ||
                        (op == kGetLessOrEqual && k <= want);
      if (!take) continue;
      found = m;
      if (op != kGetLess && op != kGetLessOrEqual) break;
    }
    if (!found) return {op == kGetEqual ? kKeyNotFound : kEndOfFile};
    return deliver(*found, key);
  }

  Answer end(bool last, int key) {
    const auto sorted = in_order(key);
    if (sorted.empty()) return {kEndOfFile};
    return deliver(last ? *sorted.back() : *sorted.front(), key);
  }

  Answer around(bool forward, int key) {
    if (!cursor_.positioned) return {kInvalidPositioning};
    if (cursor_.key != key) return {kDifferentKeyNumber};
    const auto here = std::make_pair(order_of(key, cursor_.snapshot), cursor_.seq);
    const auto sorted = in_order(key);
    const ModelRecord* found = nullptr;
    for (const ModelRecord* m : sorted) {
      const auto at = std::make_pair(order_of(key, m->data), m->seq);
      if (forward && at > here) { found = m; break; }
      if (!forward && at < here) found = m;
    }
    if (!found) return {kEndOfFile};
    return deliver(*found, key);
  }

  Answer step(std::uint16_t op) {
    if ((op == kStepNext || op == kStepPrevious) && !cursor_.positioned) return {kInvalidPositioning};
    const ModelRecord* found = nullptr;
    for (const ModelRecord& m : records_) {  // kept in seq order
      if (op == kStepFirst) { found = &m; break; }
      if (op == kStepLast) found = &m;
      if (op == kStepNext && m.seq > cursor_.seq) { found = &m; break; }
      if (op == kStepPrevious && m.seq < cursor_.seq) found = &m;
    }
    if (!found) return {kEndOfFile};
    return deliver(*found, -1);
  }

  // Get position then get direct on a key path: the current record again.
  Answer direct(int key) {
    if (!cursor_.present) return {kInvalidPositioning};
    return deliver(*find(cursor_.seq), key);
  }

  std::size_t size() const { return records_.size(); }
  const Bytes* current() const { return cursor_.present ? &cursor_.snapshot : nullptr; }
  const Bytes* any(std::mt19937& random) const {
    if (records_.empty()) return nullptr;
    return &records_[random() % records_.size()].data;
  }

 private:
  std::vector<ModelRecord>::iterator find(std::int64_t seq) {
    return std::find_if(records_.begin(), records_.end(), [&](const ModelRecord& m) { return m.seq == seq; });
  }
  std::vector<const ModelRecord*> in_order(int key) const {
    std::vector<const ModelRecord*> out;
    for (const ModelRecord& m : records_) out.push_back(&m);
    std::stable_sort(out.begin(), out.end(), [&](const ModelRecord* a, const ModelRecord* b) {
      return order_of(key, a->data) < order_of(key, b->data);
    });
    return out;
  }
  Answer deliver(const ModelRecord& m, int key) {
    cursor_ = {true, true, m.seq, key, m.data};
    return {kOk, m.data, key};
  }

  std::vector<ModelRecord> records_;
  ModelCursor cursor_;
  std::int64_t seq_ = 0;
};

Bytes random_record(std::mt19937& random) {
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  Bytes r(kRecordLength, 0);
  const std::int32_t k0 = pick(60) - 20;
  for (int i = 0; i < 4; ++i) r[i] = static_cast<char>(static_cast<std::uint32_t>(k0) >> (8 * i));
  const char letters[] = "aAbB ";
  for (int i = 4; i < 8; ++i) r[i] = letters[pick(i < 6 ? 5 : 2)];
  r[8] = static_cast<char>(1 + pick(3));
  r[9] = static_cast<char>(1 + pick(2));
  const int year = 2007 + pick(2);
  r[10] = static_cast<char>(year & 0xFF);
  r[11] = static_cast<char>(year >> 8);
  const std::int16_t n = static_cast<std::int16_t>(pick(5) - 2);
  r[12] = static_cast<char>(n & 0xFF);
  r[13] = static_cast<char>((n >> 8) & 0xFF);
  r[14] = static_cast<char>(pick(4));  // lengths above 2 read as 2
  const char content[] = {'\0', '\1', 'a', 'B'};
  r[15] = content[pick(4)];
  r[16] = content[pick(4)];
  for (std::size_t i = 17; i < kRecordLength; ++i) r[i] = static_cast<char>(random());
  return r;
}

void check(const Answer& want, short got, const RecordHandle& f, const std::string& what) {
  ASSERT_EQ(got, want.status) << what;
  if (want.status != kOk) return;
  if (want.record) ASSERT_EQ(f.record(), *want.record) << what;
  if (want.key >= 0) {
    const Bytes& source = want.record ? *want.record : Bytes();
    if (want.record)
      ASSERT_EQ(f.key_text(kKeyLength[want.key]), source.substr(kKeyOffset[want.key], kKeyLength[want.key])) << what;
  }
}

void run_sequence(unsigned seed, int operations) {
  TempFolder folder;
  const std::string path = folder.file("model.dat");
  ASSERT_EQ(create_file(path, model_spec()), kOk);
  RecordHandle f;
  ASSERT_EQ(f.open(path), kOk);
  Model model;
  std::mt19937 random(seed);
  std::uint8_t position[4] = {};
  for (int i = 0; i < operations; ++i) {
    const int key = static_cast<int>(random() % kKeys);
    const int choice = static_cast<int>(random() % 100);
    const std::string what = "seed " + std::to_string(seed) + " step " + std::to_string(i) + " choice " +
                             std::to_string(choice) + " key " + std::to_string(key);
    if (choice < 25) {
      Bytes r = random_record(random);
      check(model.insert(r, key), f.write(kInsert, r, static_cast<std::int8_t>(key)), f, what + " insert");
    } else if (choice < 33) {
      Bytes r = random_record(random);
      if (random() % 4 != 0) {
        // Mostly keep key 0 of the current record (or any record) so updates go through.
        if (const Bytes* current = model.current()) r.replace(0, 4, current->substr(0, 4));
      }
      check(model.update(r, key), f.write(kUpdate, r, static_cast<std::int8_t>(key)), f, what + " update");
    } else if (choice < 40) {
      check(model.remove(), f.call(kDelete, static_cast<std::int8_t>(key)), f, what + " delete");
    } else if (choice < 65) {
      static const std::uint16_t ops[] = {kGetEqual, kGetGreater, kGetGreaterOrEqual, kGetLess, kGetLessOrEqual};
      const std::uint16_t op = ops[random() % 5];
      Bytes probe = random_record(random);
      if (const Bytes* existing = model.any(random); existing && random() % 2) probe = *existing;
      check(model.seek(op, key, probe),
            f.get(op, probe.substr(kKeyOffset[key], kKeyLength[key]), static_cast<std::int8_t>(key)), f,
            what + " seek " + std::to_string(op));
    } else if (choice < 70) {
      const bool last = random() % 2;
      check(model.end(last, key), f.call(last ? kGetLast : kGetFirst, static_cast<std::int8_t>(key)), f,
            what + " end");
    } else if (choice < 90) {
      const bool forward = random() % 3 != 0;
      check(model.around(forward, key), f.call(forward ? kGetNext : kGetPrevious, static_cast<std::int8_t>(key)),
            f, what + " around");
    } else if (choice < 96) {
      static const std::uint16_t ops[] = {kStepFirst, kStepLast, kStepNext, kStepPrevious};
      const std::uint16_t op = ops[random() % 4];
      check(model.step(op), f.call(op, 0), f, what + " step " + std::to_string(op));
    } else {
      const short st = f.call(kGetPosition, 0);
      const Answer want = model.direct(key);
      ASSERT_EQ(st, want.status) << what << " position";
      if (st != kOk) continue;
      std::memcpy(position, f.data.data(), 4);
      std::memcpy(f.data.data(), position, 4);
      check(want, f.call(kGetDirect, static_cast<std::int8_t>(key)), f, what + " direct");
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
  ASSERT_EQ(f.call(kStat, 0), kOk);
  EXPECT_EQ(f.data[6] | (f.data[7] << 8), static_cast<int>(model.size()));
  f.close();
}

TEST(RecmanModel, RandomSequencesMatchTheModel) {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    run_sequence(seed, 1500);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
