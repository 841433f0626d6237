#include "data/entities_file.h"

#include <algorithm>
#include <cstring>

#include "entry/messages.h"
#include "entry/settings.h"
#include "recman/btrcall.h"
#include "recman/file_spec.h"
#include "specifier/account_specifier.h"
#include "specifier/text_util.h"
#include "windows/entities_hook.h"

namespace kovo::entities {
namespace {

constexpr std::size_t kSegmentAt = 30;
constexpr std::size_t kTextBAt = 32;
constexpr std::size_t kTextCAt = 83;
constexpr int kNormalMode = 0;
constexpr int kStatusNotFound = 4;
constexpr int kStatusEndOfFile = 9;
// Deleting duplicates of one key: more than any file holds of one name.
constexpr int kMaxDeletions = 100000;
// Records read for one listing.
constexpr std::size_t kMaxListed = 200000;

std::string trimmed_right(std::string_view text) { return std::string(specifier::trim_right(text)); }

std::string zero_ended(layout::View bytes) {
  const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return std::string(bytes.begin(), end);
}

void put_text(std::uint8_t* at, std::size_t width, std::string_view text, char pad) {
  std::memset(at, pad, width);
  if (!text.empty()) std::memcpy(at, text.data(), std::min(text.size(), width));
}

void put_segment(std::uint8_t* at, int segment) {
  at[0] = static_cast<std::uint8_t>(segment & 0xff);
  at[1] = static_cast<std::uint8_t>((segment >> 8) & 0xff);
}

// Keys as the record manager compares them.
layout::Bytes value_key(std::string_view value, int stored_segment) {
  layout::Bytes key(kTextA + 2);
  put_text(key.data(), kTextA, value, ' ');
  put_segment(key.data() + kTextA, stored_segment);
  return key;
}

layout::Bytes segment_key(int stored_segment, std::string_view value) {
  layout::Bytes key(2 + kTextA);
  put_segment(key.data(), stored_segment);
  put_text(key.data() + 2, kTextA, value, ' ');
  return key;
}

layout::Bytes name_key(int stored_segment, std::string_view name) {
  layout::Bytes key(2 + kTextB);
  put_segment(key.data(), stored_segment);
  put_text(key.data() + 2, kTextB - 1, name, '\0');
  key.back() = 0;
  return key;
}

struct KeyBuffer {
  explicit KeyBuffer(const layout::Bytes& key) {
    if (!key.empty()) std::memcpy(bytes, key.data(), std::min(key.size(), sizeof bytes));
  }
  unsigned char bytes[btrv::kKeyBufferSize] = {};
};

bool same_text(std::string_view a, std::string_view b) { return specifier::equal_folded(a, b); }

}  // namespace

RecordBytes encode(const Record& r) {
  RecordBytes bytes{};
  put_text(bytes.data(), kTextA, r.text_a, ' ');
  put_segment(bytes.data() + kSegmentAt, r.segment);
  put_text(bytes.data() + kTextBAt, kTextB - 1, r.text_b, '\0');
  put_text(bytes.data() + kTextCAt, kTextC - 1, r.text_c, '\0');
  return bytes;
}

std::optional<Record> decode(layout::View bytes) {
  if (bytes.size() < kRecordLength) return std::nullopt;
  Record r;
  r.text_a = trimmed_right(std::string_view(reinterpret_cast<const char*>(bytes.data()), kTextA));
  r.segment = static_cast<std::int16_t>(bytes[kSegmentAt] | (bytes[kSegmentAt + 1] << 8));
  r.text_b = zero_ended(bytes.subspan(kTextBAt, kTextB));
  r.text_c = zero_ended(bytes.subspan(kTextCAt, kTextC));
  return r;
}

Record value_record(int segment, std::string_view value, std::string_view description) {
  Record r;
  r.text_a = trimmed_right(value.substr(0, kTextA));
  r.segment = segment;
  r.text_b = std::string(description.substr(0, kNameLimit));
  return r;
}

Record entity_record(int segment, std::string_view name, std::string_view specifier) {
  Record r;
  const std::string_view whole = specifier.substr(0, kSpecifierLimit);
  r.text_a = std::string(whole.substr(0, kTextA));
  r.text_c = whole.size() > kTextA ? std::string(whole.substr(kTextA)) : std::string();
  r.segment = segment + kEntityOffset;
  r.text_b = std::string(name.substr(0, kNameLimit));
  return r;
}

recman::FileSpec file_spec() {
  using recman::KeyType;
  recman::FileSpec spec;
  spec.record_length = kRecordLength;
  spec.page_size = kPageSize;
  auto segment = [](std::uint16_t position, std::uint16_t length, std::uint16_t flags, KeyType type) {
    recman::Segment s;
    s.position = position;
    s.length = length;
    s.flags = flags;
    s.type = type;
    return s;
  };
  auto key = [](std::vector<recman::Segment> parts) {
    recman::Key k;
    k.flags = parts.front().flags;
    k.segments = std::move(parts);
    return k;
  };
  spec.keys.push_back(key({segment(1, kTextA, 0x0513, KeyType::kString), segment(31, 2, 0x0103, KeyType::kInteger)}));
  spec.keys.push_back(key({segment(31, 2, 0x0113, KeyType::kInteger), segment(1, kTextA, 0x0503, KeyType::kString)}));
  spec.keys.push_back(key({segment(31, 2, 0x0113, KeyType::kInteger), segment(33, kTextB, 0x0503, KeyType::kZstring)}));
  return spec;
}

std::vector<std::uint8_t> create_layout_bytes() { return recman::encode_file_spec(file_spec(), 0); }

std::string list_entry(const Record& r) { return r.text_a + "; " + r.text_b; }

std::string entry_value(std::string_view entry) { return trimmed_right(entry.substr(0, entry.find(';'))); }

bool looks_like_entity(std::string_view value) { return value.find_first_of(".,*?") != std::string_view::npos; }

EntitiesFile::~EntitiesFile() {
  if (!attached_) close();
}

int EntitiesFile::open(const std::string& path) {
  if (*open_) return 0;
  const int status = btrv::BtrvOpenFile(path.c_str(), block_, "", kNormalMode, nullptr);
  *open_ = status == 0;
  return status;
}

int EntitiesFile::create(const std::string& path) {
  close();
  std::vector<std::uint8_t> layout_bytes = create_layout_bytes();
  std::uint16_t length = static_cast<std::uint16_t>(layout_bytes.size());
  layout::Bytes name(path.begin(), path.end());
  KeyBuffer key(name);
  key.bytes[std::min(path.size(), sizeof key.bytes - 1)] = 0;
  const int status = btrv::BtrvCall(recman::kCreate, block_, layout_bytes.data(), &length, key.bytes, 0);
  if (status != 0) return status;
  return open(path);
}

int EntitiesFile::close() {
  if (!*open_) return 0;
  const int status = btrv::BtrvCloseFile(block_);
  *open_ = false;
  return status;
}

int EntitiesFile::read(std::uint16_t operation, const layout::Bytes& key, int key_number, Record& out) {
  if (!*open_) return kStatusNotFound;
  KeyBuffer buffer(key);
  std::uint8_t data[btrv::kRecordBufferSize] = {};
  std::uint16_t length = sizeof data;
  const int status = btrv::BtrvCall(operation, block_, data, &length, buffer.bytes, static_cast<std::int8_t>(key_number));
  if (status != 0) return status;
  const auto r = decode({data, length});
  if (!r) return kStatusNotFound;
  out = *r;
  return 0;
}

std::optional<Record> EntitiesFile::by_name(int stored_segment, std::string_view name) {
  Record r;
  if (read(recman::kGetEqual, name_key(stored_segment, name), kNameKey, r) != 0) return std::nullopt;
  return r;
}

std::optional<Record> EntitiesFile::by_value(int stored_segment, std::string_view value) {
  Record r;
  if (read(recman::kGetEqual, value_key(value, stored_segment), kValueKey, r) != 0) return std::nullopt;
  return r;
}

namespace {

// The records of one stored segment on a key, in key order.
std::vector<Record> records_of(btrv::PositionBlock* block, bool open, int stored_segment, int key_number,
                               const layout::Bytes& low) {
  std::vector<Record> out;
  if (!open) return out;
  KeyBuffer key(low);
  std::uint8_t data[btrv::kRecordBufferSize] = {};
  std::uint16_t length = sizeof data;
  int status = btrv::BtrvCall(recman::kGetGreaterOrEqual, block, data, &length, key.bytes,
                              static_cast<std::int8_t>(key_number));
  while (status == 0 && out.size() < kMaxListed) {
    const auto r = decode({data, length});
    if (!r || r->segment != stored_segment) break;
    out.push_back(*r);
    length = sizeof data;
    status = btrv::BtrvCall(recman::kGetNext, block, data, &length, key.bytes, static_cast<std::int8_t>(key_number));
  }
  return out;
}

}  // namespace

std::vector<Record> EntitiesFile::values_of(int segment) {
  return records_of(block_, *open_, segment, kSegmentKey, segment_key(segment, ""));
}

std::vector<Record> EntitiesFile::entities_of(int segment) {
  return records_of(block_, *open_, segment + kEntityOffset, kNameKey, name_key(segment + kEntityOffset, ""));
}

int EntitiesFile::put_value(int segment, std::string_view value, std::string_view description) {
  const Record wanted = value_record(segment, value, description);
  RecordBytes bytes = encode(wanted);
  std::uint16_t length = kRecordLength;
  Record found;
  KeyBuffer key(value_key(wanted.text_a, segment));
  std::uint8_t data[btrv::kRecordBufferSize] = {};
  std::uint16_t read_length = sizeof data;
  const int status = *open_ ? btrv::BtrvCall(recman::kGetEqual, block_, data, &read_length, key.bytes, kValueKey)
                            : kStatusNotFound;
  if (status == 0) {
    if (const auto r = decode({data, read_length}); r && r->text_b == wanted.text_b) return 0;
    return btrv::BtrvCall(recman::kUpdate, block_, bytes.data(), &length, key.bytes, kValueKey);
  }
  if (status != kStatusNotFound && status != kStatusEndOfFile) return status;
  return btrv::BtrvCall(recman::kInsert, block_, bytes.data(), &length, key.bytes, kValueKey);
}

int EntitiesFile::put_entity(int segment, std::string_view name, std::string_view specifier) {
  if (const int status = delete_entity(segment, name); status != 0) return status;
  RecordBytes bytes = encode(entity_record(segment, name, specifier));
  std::uint16_t length = kRecordLength;
  KeyBuffer key(layout::Bytes{});
  return btrv::BtrvCall(recman::kInsert, block_, bytes.data(), &length, key.bytes, kNameKey);
}

int EntitiesFile::delete_where(int key_number, const layout::Bytes& key, const std::function<bool(const Record&)>& same) {
  if (!*open_) return kStatusNotFound;
  for (int n = 0; n < kMaxDeletions; ++n) {
    Record r;
    const int status = read(recman::kGetEqual, key, key_number, r);
    if (status == kStatusNotFound || status == kStatusEndOfFile) return 0;
    if (status != 0) return status;
    if (!same(r)) return 0;
    std::uint8_t data[btrv::kRecordBufferSize] = {};
    std::uint16_t length = sizeof data;
    KeyBuffer position(key);
    if (const int deleted = btrv::BtrvCall(recman::kDelete, block_, data, &length, position.bytes,
                                           static_cast<std::int8_t>(key_number));
        deleted != 0)
      return deleted;
  }
  return 0;
}

int EntitiesFile::delete_value(int segment, std::string_view value) {
  const std::string v = trimmed_right(value.substr(0, kTextA));
  return delete_where(kValueKey, value_key(v, segment),
                      [&](const Record& r) { return r.segment == segment && same_text(r.text_a, v); });
}

int EntitiesFile::delete_entity(int segment, std::string_view name) {
  const std::string n(name.substr(0, kNameLimit));
  return delete_where(kNameKey, name_key(segment + kEntityOffset, n),
                      [&](const Record& r) { return r.segment == segment + kEntityOffset && same_text(r.text_b, n); });
}

int EntitiesFile::delete_unnamed(int segment) {
  for (const int stored : {segment + kEntityOffset, segment})
    if (const int status = delete_where(kNameKey, name_key(stored, ""),
                                        [&](const Record& r) { return r.segment == stored && r.text_b.empty(); });
        status != 0)
      return status;
  return 0;
}

namespace {
std::string g_connector_folder;
}

void set_connector_folder(std::string folder) { g_connector_folder = std::move(folder); }

std::string file_path(const data::CompanyContext& company, const Settings& s) {
  std::string folder = s.fe_file_in_gl_path ? company.data_directory : s.fe_file_path;
  if (!s.fe_file_in_gl_path && folder.empty()) folder = g_connector_folder;
  if (folder.empty()) return {};
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + company.id + ".sad";
}

std::unique_ptr<EntitiesFile> company_file(data::CompanyContext& company) {
  if (!company.has_entities_file) return nullptr;
  data::FileSlot& slot = company.slot(data::Slot::Entities);
  auto file = std::make_unique<EntitiesFile>(slot);
  if (slot.open) return file;
  const std::string path = file_path(company, settings());
  if (path.empty() || file->open(path) != 0) {
    clear_message();
    report(kMessageCannotOpen, path);
    return nullptr;
  }
  slot.name = company.id + ".sad";
  return file;
}

std::optional<std::string> translate(data::CompanyContext& company, int segment, std::string_view item) {
  if (item == " " || item.empty() || !company.has_entities_file) return std::nullopt;
  const bool pending = message_pending();
  auto file = company_file(company);
  if (!file) {
    // A lookup that fails leaves the item as written.
    if (!pending) clear_message();
    return std::nullopt;
  }
  const std::string name(item.substr(0, kNameLimit));
  if (const auto entity = file->by_name(segment + kEntityOffset, name)) return entity->specifier();
  if (const auto value = file->by_name(segment, name)) return value->text_a;
  return std::nullopt;
}

namespace {
std::uint64_t g_generation = 0;
}

std::uint64_t generation() { return g_generation; }
void note_written() { ++g_generation; }

specifier::EntityLookup lookup_for(data::CompanyContext& company) {
  if (!company.has_entities_file) return {};
  return [&company](int segment, std::string_view name) { return translate(company, segment, name); };
}

std::vector<std::string> list_segment(data::CompanyContext& company, int segment, ListMode mode,
                                      std::string_view patterns) {
  std::vector<std::string> out;
  auto file = company_file(company);
  if (!file) return out;
  std::vector<std::string> filters;
  for (std::size_t start = 0; start <= patterns.size();) {
    const std::size_t comma = std::min(patterns.find(',', start), patterns.size());
    if (comma > start) filters.emplace_back(patterns.substr(start, comma - start));
    start = comma + 1;
  }
  auto passes = [&](std::string_view value) {
    if (filters.empty()) return true;
    return std::any_of(filters.begin(), filters.end(), [&](const std::string& f) {
      if (f.find_first_of("*?") == std::string::npos) return same_text(f, value);
      return specifier::segment_value_matches(f, value, value.size());
    });
  };
  if (mode != ListMode::Values)
    for (const auto& r : file->entities_of(segment))
      if (passes(r.text_b)) out.push_back(r.text_b);
  if (mode != ListMode::Entities)
    for (const auto& r : file->values_of(segment))
      if (passes(r.text_a)) out.push_back(list_entry(r));
  return out;
}

void install_entities() {
  windows::EntitiesHook& hook = windows::entities_hook();
  hook.choices = [](data::CompanyContext& company, int segment) {
    std::vector<std::string> choices;
    if (!company.has_entities_file) {
      report(kMessageNoFile, company.id);
      return choices;
    }
    auto file = company_file(company);
    if (!file) return choices;
    for (const auto& r : file->entities_of(segment)) choices.push_back(r.text_b + ";" + r.specifier());
    for (const auto& r : file->values_of(segment)) choices.push_back(r.text_a + ";" + r.text_b);
    return choices;
  };
  hook.translate = [](data::CompanyContext& company, int segment, std::string_view name) -> std::optional<std::string> {
    auto file = company.has_entities_file ? company_file(company) : nullptr;
    if (!file) return std::nullopt;
    if (const auto entity = file->by_name(segment + kEntityOffset, name)) return entity->specifier();
    return std::nullopt;
  };
}

}  // namespace kovo::entities
