// Operations of the record manager stand-in, one behaviour at a time.
#include <algorithm>
#include <fstream>
#include <random>

#include "recman/status.h"
#include "recman_fixture.h"

using namespace recman;
using namespace recman::testing;

namespace {

// 20-byte records: key 0 unique string at 1 (8 bytes), key 1 duplicates
// integer at 9 (4 bytes), rest free.
const std::vector<std::uint8_t> kPlainSpec =
    spec_bytes(20, {{{1, 8, 0, KeyType::kString}}, {{9, 4, kFlagDuplicates | kFlagModifiable, KeyType::kInteger}}});

std::string make_record(const std::string& code, std::int32_t group, char fill = '.') {
  std::string r(20, fill);
  std::string padded = code;
  padded.resize(8, ' ');
  r.replace(0, 8, padded);
  for (int i = 0; i < 4; ++i) r[8 + i] = static_cast<char>(static_cast<std::uint32_t>(group) >> (8 * i));
  return r;
}

std::string int_key(std::int32_t v) { return make_record("", v).substr(8, 4); }

class RecmanOps : public ::testing::Test {
 protected:
  void SetUp() override {
    path = folder.file("plain.dat");
    ASSERT_EQ(create_file(path, kPlainSpec), kOk);
    ASSERT_EQ(f.open(path), kOk);
  }
  void TearDown() override { f.close(); }

  TempFolder folder;
  std::string path;
  RecordHandle f;
};

TEST(RecmanCreate, ValidatesTheSpecification) {
  TempFolder folder;
  struct Case {
    const char* what;
    std::vector<std::uint8_t> spec;
    short status;
  };
  std::vector<std::uint8_t> truncated = kPlainSpec;
  truncated.resize(30);
  const std::vector<Case> cases = {
      {"record length too small", spec_bytes(3, {{{1, 2, 0}}}), kInvalidRecordLength},
      {"record length too large", spec_bytes(5000, {{{1, 2, 0}}}), kInvalidRecordLength},
      {"page size not a multiple of 512", spec_bytes(20, {{{1, 2, 0}}}, 1000), kPageSizeError},
      {"no keys", spec_bytes(20, {}), kNumberOfKeys},
      {"key past the record", spec_bytes(20, {{{15, 8, 0}}}), kInvalidKeyPosition},
      {"key at position 0", spec_bytes(20, {{{0, 4, 0}}}), kInvalidKeyPosition},
      {"integer of 3 bytes", spec_bytes(20, {{{1, 3, 0, KeyType::kInteger}}}), kInvalidKeyLength},
      {"date of 2 bytes", spec_bytes(20, {{{1, 2, 0, KeyType::kDate}}}), kInvalidKeyLength},
      {"zero-length segment", spec_bytes(20, {{{1, 0, 0}}}), kInvalidKeyLength},
      {"unknown key type", spec_bytes(20, {{{1, 4, 0, static_cast<KeyType>(12)}}}), kKeyTypeError},
      {"segments disagree on duplicates",
       spec_bytes(20, {{{1, 2, kFlagDuplicates}, {3, 2, 0}}}), kInconsistentKeyFlags},
      {"specification cut short", truncated, kDataBufferLength},
  };
  for (const Case& c : cases) EXPECT_EQ(create_file(folder.file("bad.dat"), c.spec), c.status) << c.what;
  EXPECT_FALSE(std::filesystem::exists(folder.file("bad.dat")));

  const std::string path = folder.file("f.dat");
  EXPECT_EQ(create_file(path, kPlainSpec, -1), kOk);
  EXPECT_EQ(create_file(path, kPlainSpec, -1), kFileExists);
  RecordHandle f;
  ASSERT_EQ(f.open(path), kOk);
  EXPECT_EQ(f.write(kInsert, make_record("A", 1), 0), kOk);
  f.close();
  EXPECT_EQ(create_file(path, kPlainSpec, 0), kOk) << "key number 0 replaces the file";
  ASSERT_EQ(f.open(path), kOk);
  EXPECT_EQ(f.call(kGetFirst, 0), kEndOfFile);
  f.close();
}

TEST(RecmanOpen, MissingForeignAndGarbage) {
  TempFolder folder;
  RecordHandle f;
  EXPECT_EQ(f.open(folder.file("none.dat")), kFileNotFound);
  {
    std::ofstream(folder.file("text.dat")) << "this is not a record manager file, just text\n";
  }
  EXPECT_EQ(f.open(folder.file("text.dat")), kNotARecordManagerFile);
  { std::ofstream empty(folder.file("empty.dat")); }
  EXPECT_EQ(f.open(folder.file("empty.dat")), kNotARecordManagerFile);
  EXPECT_EQ(f.open(""), kInvalidFileName);

  // Position blocks that were never opened, random bytes, or closed.
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    RecordHandle g;
    if (round > 0)
      for (auto& b : g.block) b = static_cast<std::uint8_t>(random());
    for (std::uint16_t op : {kClose, kInsert, kGetFirst, kGetNext, kStat, kStepFirst, kGetPosition})
      EXPECT_EQ(g.call(op, 0), kFileNotOpen) << "op " << op << " round " << round;
  }
  const std::string path = folder.file("f.dat");
  ASSERT_EQ(create_file(path, kPlainSpec), kOk);
  ASSERT_EQ(f.open(path), kOk);
  std::uint8_t copy[kPositionBlockSize];
  std::memcpy(copy, f.block, sizeof copy);
  EXPECT_EQ(f.close(), kOk);
  std::memcpy(f.block, copy, sizeof copy);
  EXPECT_EQ(f.call(kGetFirst, 0), kFileNotOpen) << "a copy of a closed block";
  EXPECT_EQ(f.open(path, 5), kInvalidOperation) << "unknown open mode";
  EXPECT_EQ(f.call(99, 0), kInvalidOperation);
  std::uint32_t length = 0;
  EXPECT_EQ(btrcall(99, nullptr, nullptr, &length, nullptr, 0, 0), kInvalidOperation);
}

TEST_F(RecmanOps, ReadOnlyOpenRefusesWrites) {
  ASSERT_EQ(f.write(kInsert, make_record("A", 1), 0), kOk);
  RecordHandle ro;
  ASSERT_EQ(ro.open(path, -2), kOk);
  EXPECT_EQ(ro.write(kInsert, make_record("B", 1), 0), kAccessDenied);
  ASSERT_EQ(ro.call(kGetFirst, 0), kOk);
  EXPECT_EQ(ro.write(kUpdate, make_record("A", 2), 0), kAccessDenied);
  EXPECT_EQ(ro.call(kDelete, 0), kAccessDenied);
  EXPECT_EQ(ro.call(kGetFirst, 0), kOk) << "the record is still there";
  EXPECT_EQ(ro.close(), kOk);
}

TEST_F(RecmanOps, BufferLengthsAndKeyCopy) {
  EXPECT_EQ(f.write(kInsert, make_record("A", 1).substr(0, 19), 0), kDataBufferLength);
  ASSERT_EQ(f.write(kInsert, make_record("A", 1), 0), kOk);
  EXPECT_EQ(f.key_text(8), "A       ") << "insert hands back the key";

  std::memset(f.key, 0, sizeof f.key);
  EXPECT_EQ(f.call(kGetFirst, 0, 10), kDataBufferLength);
  EXPECT_EQ(f.length, 10u);
  EXPECT_EQ(f.key_text(8), "A       ") << "the record still becomes current";
  EXPECT_EQ(f.call(kGetFirst, 1), kOk);
  EXPECT_EQ(f.length, 20u);
  EXPECT_EQ(f.key_text(4), int_key(1));

  std::uint32_t length = 1500;
  EXPECT_EQ(btrcall(kGetFirst, f.block, f.data.data(), &length, f.key, 7, 0), kKeyBufferTooShort);
  EXPECT_EQ(btrcall(kGetFirst, f.block, f.data.data(), &length, nullptr, 255, 0), kKeyBufferTooShort);
  EXPECT_EQ(f.call(kGetFirst, 2), kInvalidKeyNumber);
  EXPECT_EQ(f.call(kGetFirst, -1), kInvalidKeyNumber);
  EXPECT_EQ(f.call(kGetPosition, 0, 3), kDataBufferLength);

  // A longer data length on a fixed-length file stores the record length.
  ASSERT_EQ(f.write(kInsert, make_record("B", 2) + "extra", 0), kOk);
  ASSERT_EQ(f.get(kGetEqual, "B       ", 0), kOk);
  EXPECT_EQ(f.record(), make_record("B", 2));
}

TEST_F(RecmanOps, StatAnswersTheSpecificationAndCount) {
  for (int i = 0; i < 3; ++i) ASSERT_EQ(f.write(kInsert, make_record(std::string(1, 'A' + i), i), 0), kOk);
  ASSERT_EQ(f.call(kStat, 0), kOk);
  ASSERT_EQ(f.length, kPlainSpec.size());
  std::vector<std::uint8_t> answered(f.data.begin(), f.data.begin() + f.length);
  EXPECT_EQ(answered[6], 3) << "record count";
  answered[6] = 0;
  EXPECT_EQ(answered, kPlainSpec);
  EXPECT_EQ(f.call(kStat, 0, 20), kDataBufferLength);

  ASSERT_EQ(f.call(kVersion, 0), kOk);
  EXPECT_EQ(f.length, 5u);
}

TEST_F(RecmanOps, DuplicatesKeepInsertionOrderAroundDeletes) {
  // Key 1 holds group 5 five times; inserted in order C, A, E, B, D.
  for (const char* code : {"C", "A", "E", "B", "D"}) ASSERT_EQ(f.write(kInsert, make_record(code, 5), 0), kOk);
  ASSERT_EQ(f.write(kInsert, make_record("Z", 4), 0), kOk);
  ASSERT_EQ(f.write(kInsert, make_record("Y", 6), 0), kOk);
  auto walk = [&](std::uint16_t first, std::uint16_t next) {
    std::string order;
    for (short st = f.call(first, 1); st == kOk; st = f.call(next, 1)) order += f.record()[0];
    return order;
  };
  EXPECT_EQ(walk(kGetLast, kGetPrevious), "YDBEACZ");
  EXPECT_EQ(walk(kGetFirst, kGetNext), "ZCAEBDY");
  EXPECT_EQ(f.call(kGetNext, 1), kEndOfFile) << "the end stays the end";
  ASSERT_EQ(f.call(kGetPrevious, 1), kOk);
  EXPECT_EQ(f.record()[0], 'D') << "the last record stayed current";

  ASSERT_EQ(f.get(kGetEqual, int_key(5), 1), kOk);
  EXPECT_EQ(f.record()[0], 'C') << "get equal finds the first duplicate";
  ASSERT_EQ(f.call(kGetNext, 1), kOk);
  ASSERT_EQ(f.record()[0], 'A');
  ASSERT_EQ(f.call(kDelete, 1), kOk);
  EXPECT_EQ(f.call(kDelete, 1), kInvalidPositioning);
  ASSERT_EQ(f.call(kGetNext, 1), kOk);
  EXPECT_EQ(f.record()[0], 'E') << "next goes on from the deleted record's place";
  EXPECT_EQ(f.call(kGetNext, 0), kDifferentKeyNumber);

  ASSERT_EQ(f.get(kGetGreater, int_key(4), 1), kOk);
  EXPECT_EQ(f.record()[0], 'C');
  ASSERT_EQ(f.get(kGetLess, int_key(6), 1), kOk);
  EXPECT_EQ(f.record()[0], 'D') << "get less lands on the last duplicate";
  ASSERT_EQ(f.get(kGetLessOrEqual, int_key(5), 1), kOk);
  EXPECT_EQ(f.record()[0], 'D');
  EXPECT_EQ(f.get(kGetEqual, int_key(7), 1), kKeyNotFound);
  EXPECT_EQ(f.get(kGetGreater, int_key(6), 1), kEndOfFile);
  EXPECT_EQ(f.get(kGetLess, int_key(-100), 1), kEndOfFile);
}

TEST_F(RecmanOps, UpdateChecksKeysAndKeepsPosition) {
  ASSERT_EQ(f.write(kInsert, make_record("A", 1), 0), kOk);
  ASSERT_EQ(f.write(kInsert, make_record("B", 2), 0), kOk);
  EXPECT_EQ(f.write(kInsert, make_record("A", 9), 0), kDuplicateKey);

  RecordHandle fresh;
  ASSERT_EQ(fresh.open(path), kOk);
  EXPECT_EQ(fresh.write(kUpdate, make_record("A", 1), 0), kInvalidPositioning) << "no current record";
  fresh.close();

  ASSERT_EQ(f.get(kGetEqual, "A       ", 0), kOk);
  EXPECT_EQ(f.write(kUpdate, make_record("Q", 1), 0), kModifiableKeyError) << "key 0 is not modifiable";
  ASSERT_EQ(f.write(kUpdate, make_record("A", 3, '#'), 0), kOk) << "key 1 is";
  ASSERT_EQ(f.call(kGetNext, 0), kOk);
  EXPECT_EQ(f.record(), make_record("B", 2));
  ASSERT_EQ(f.get(kGetEqual, int_key(3), 1), kOk);
  EXPECT_EQ(f.record(), make_record("A", 3, '#'));
  EXPECT_EQ(f.get(kGetEqual, int_key(1), 1), kKeyNotFound) << "the old key value is gone";
}

TEST_F(RecmanOps, PositionsAndPhysicalSteps) {
  for (const char* code : {"M", "C", "X"}) ASSERT_EQ(f.write(kInsert, make_record(code, 0), 0), kOk);
  std::string physical;
  for (short st = f.call(kStepFirst, 0); st == kOk; st = f.call(kStepNext, 0)) physical += f.record()[0];
  EXPECT_EQ(physical, "MCX");
  physical.clear();
  for (short st = f.call(kStepLast, 0); st == kOk; st = f.call(kStepPrevious, 0)) physical += f.record()[0];
  EXPECT_EQ(physical, "XCM");
  EXPECT_EQ(f.call(kGetNext, 0), kDifferentKeyNumber) << "a step leaves no key path";

  ASSERT_EQ(f.get(kGetEqual, "C       ", 0), kOk);
  ASSERT_EQ(f.call(kGetPosition, 0), kOk);
  ASSERT_EQ(f.length, 4u);
  std::uint8_t position[4];
  std::memcpy(position, f.data.data(), 4);
  ASSERT_EQ(f.call(kGetFirst, 0), kOk);
  std::memcpy(f.data.data(), position, 4);
  ASSERT_EQ(f.call(kGetDirect, 0), kOk);
  EXPECT_EQ(f.record()[0], 'C');
  EXPECT_EQ(f.key_text(8), "C       ");
  ASSERT_EQ(f.call(kGetNext, 0), kOk) << "get direct starts a key path";
  EXPECT_EQ(f.record()[0], 'M');
  std::memset(f.data.data(), 0x7F, 4);
  EXPECT_EQ(f.call(kGetDirect, 0), kInvalidRecordAccess);
}

TEST_F(RecmanOps, StopClosesEveryFile) {
  RecordHandle second;
  ASSERT_EQ(second.open(path, -2), kOk);
  ASSERT_EQ(f.call(kStop, 0), kOk);
  EXPECT_EQ(f.call(kGetFirst, 0), kFileNotOpen);
  EXPECT_EQ(second.call(kGetFirst, 0), kFileNotOpen);
  ASSERT_EQ(f.open(path), kOk) << "files open again after a stop";
}

TEST_F(RecmanOps, SecondHandleSeesCommittedWrites) {
  RecordHandle reader;
  ASSERT_EQ(reader.open(path, -2), kOk);
  EXPECT_EQ(reader.call(kGetFirst, 0), kEndOfFile);
  ASSERT_EQ(f.write(kInsert, make_record("A", 1), 0), kOk);
  ASSERT_EQ(reader.call(kGetFirst, 0), kOk);
  EXPECT_EQ(reader.record(), make_record("A", 1));
  ASSERT_EQ(f.get(kGetEqual, "A       ", 0), kOk);
  ASSERT_EQ(f.call(kDelete, 0), kOk);
  EXPECT_EQ(reader.get(kGetEqual, "A       ", 0), kKeyNotFound);

  RecordHandle exclusive;
  EXPECT_EQ(exclusive.open(path, -4), kFileLocked) << "others have the file open";
  reader.close();
}

TEST(RecmanKeys, ExclusiveOpenKeepsOthersOut) {
  TempFolder folder;
  const std::string path = folder.file("x.dat");
  ASSERT_EQ(create_file(path, kPlainSpec), kOk);
  RecordHandle owner, other;
  ASSERT_EQ(owner.open(path, -4), kOk);
  ASSERT_EQ(owner.write(kInsert, make_record("A", 1), 0), kOk);
  EXPECT_EQ(other.open(path, -2), kFileLocked);
  owner.close();
  EXPECT_EQ(other.open(path, -2), kOk);
  other.close();
}

// Each row: one single-segment key definition and values in the order the key
// must return them (values are the segment's bytes).
struct OrderCase {
  const char* what;
  SegmentDef segment;
  std::vector<std::string> ordered;
};

std::string le(std::uint64_t v, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}
std::string date(int day, int month, int year) { return std::string{char(day), char(month)} + le(year, 2); }

TEST(RecmanKeys, EachTypeOrdersItsValues) {
  const std::vector<OrderCase> cases = {
      {"string", {1, 3, 0, KeyType::kString}, {"ABC", "ABD", "B  ", "a  ", "b  "}},
      {"string, case-insensitive", {1, 3, kFlagCaseInsensitive, KeyType::kString}, {"aa ", "AB ", "ac ", "B  "}},
      {"string, descending", {1, 2, kFlagDescending, KeyType::kString}, {"ZZ", "ZA", "B ", "A "}},
      {"integer 2", {1, 2, 0, KeyType::kInteger}, {le(-30000, 2), le(-1, 2), le(0, 2), le(1, 2), le(300, 2)}},
      {"integer 4, descending", {1, 4, kFlagDescending, KeyType::kInteger}, {le(70000, 4), le(5, 4), le(-5, 4)}},
      {"integer 8", {1, 8, 0, KeyType::kInteger}, {le(1ull << 63, 8), le(~0ull, 8), le(1ull << 40, 8)}},
      {"integer 1", {1, 1, 0, KeyType::kInteger}, {le(0x80, 1), le(0xFF, 1), le(0, 1), le(0x7F, 1)}},
      {"unsigned binary", {1, 2, 0, KeyType::kUnsignedBinary}, {le(1, 2), le(255, 2), le(256, 2), le(0xFFFF, 2)}},
      {"date", {1, 4, 0, KeyType::kDate}, {date(31, 12, 2007), date(1, 1, 2008), date(2, 1, 2008), date(1, 2, 2008)}},
      {"zstring", {1, 4, 0, KeyType::kZstring}, {std::string("A\0zz", 4), std::string("AB\0q", 4), "ABCD", std::string("B\0\0\0", 4)}},
      {"zstring, case-insensitive descending", {1, 3, kFlagCaseInsensitive | kFlagDescending, KeyType::kZstring},
       {std::string("b\0\0", 3), std::string("AB\0", 3), std::string("a\0x", 3)}},
      {"lstring", {1, 4, 0, KeyType::kLstring},
       {std::string("\0zzz", 4), std::string("\1A\0\0", 4), std::string("\2A\0z", 4), std::string("\2A\1z", 4), "\1Bxx"}},
  };
  for (const OrderCase& c : cases) {
    TempFolder folder;
    const std::string path = folder.file("k.dat");
    ASSERT_EQ(create_file(path, spec_bytes(16, {{c.segment}})), kOk) << c.what;
    RecordHandle f;
    ASSERT_EQ(f.open(path), kOk);
    std::vector<std::size_t> order(c.ordered.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(3));
    for (std::size_t i : order) {
      std::string record(16, '-');
      record.replace(0, c.ordered[i].size(), c.ordered[i]);
      ASSERT_EQ(f.write(kInsert, record, 0), kOk) << c.what << " value " << i;
    }
    std::vector<std::string> seen;
    for (short st = f.call(kGetFirst, 0); st == kOk; st = f.call(kGetNext, 0))
      seen.push_back(f.record().substr(0, c.segment.length));
    EXPECT_EQ(seen, c.ordered) << c.what;
    f.close();
  }
}

TEST(RecmanKeys, SegmentedAutoincrementAndNullKeys) {
  TempFolder folder;
  const std::string path = folder.file("s.dat");
  // Key 0: autoincrement at 1 (4 bytes). Key 1: string at 5 (2) then
  // descending integer at 7 (2), duplicates. Key 2: null key on byte 9.
  ASSERT_EQ(create_file(path, spec_bytes(12, {{{1, 4, 0, KeyType::kAutoincrement}},
                                              {{5, 2, kFlagDuplicates, KeyType::kString},
                                               {7, 2, kFlagDuplicates | kFlagDescending, KeyType::kInteger}},
                                              {{9, 1, kFlagDuplicates | kFlagNullKey, KeyType::kString, ' '}}})),
            kOk);
  RecordHandle f;
  ASSERT_EQ(f.open(path), kOk);
  auto record = [](std::int32_t id, const char* code, std::int16_t n, char tag) {
    return le(static_cast<std::uint32_t>(id), 4) + code + le(static_cast<std::uint16_t>(n), 2) + tag + "...";
  };
  ASSERT_EQ(f.write(kInsert, record(0, "AA", 1, ' '), 0), kOk);
  EXPECT_EQ(f.record().substr(0, 4), le(1, 4)) << "autoincrement filled into the caller's record";
  EXPECT_EQ(f.key_text(4), le(1, 4));
  ASSERT_EQ(f.write(kInsert, record(10, "AA", 3, 'x'), 0), kOk);
  ASSERT_EQ(f.write(kInsert, record(0, "AB", 2, ' '), 0), kOk);
  EXPECT_EQ(f.record().substr(0, 4), le(11, 4)) << "one more than the highest";
  ASSERT_EQ(f.write(kInsert, record(0, "AA", 2, 'y'), 0), kOk);
  EXPECT_EQ(f.write(kInsert, record(10, "ZZ", 0, ' '), 0), kDuplicateKey);

  std::string order;
  for (short st = f.call(kGetFirst, 1); st == kOk; st = f.call(kGetNext, 1))
    order += std::to_string(f.record()[0]) + ",";
  EXPECT_EQ(order, "10,12,1,11,") << "AA 3, AA 2, AA 1, AB 2";
  ASSERT_EQ(f.get(kGetGreaterOrEqual, "AA" + le(2, 2), 1), kOk);
  EXPECT_EQ(f.record()[0], 12);

  order.clear();
  for (short st = f.call(kGetFirst, 2); st == kOk; st = f.call(kGetNext, 2)) order += f.record()[8];
  EXPECT_EQ(order, "xy") << "records whose key is all null are not on the key path";
  EXPECT_EQ(f.get(kGetEqual, " ", 2), kKeyNotFound);
  f.close();
}

}  // namespace
