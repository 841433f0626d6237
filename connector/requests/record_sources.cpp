#include "requests/record_sources.h"

#include <algorithm>
#include <cstring>

#include "data/btrieve.h"
#include "data/btrieve_ops.h"

namespace kovo::requests {

bool FileSource::keep(int status, unsigned char* data) {
  if (failure_ != 0) return false;
  if (status == 0 && data) {
    const std::size_t length = btrv::last_record_length();
    if (length < needed_length_) {
      failure_ = data::report_short_record(slot_.name, length, needed_length_);
      return false;
    }
    record_.assign(data, data + length);
    return true;
  }
  if (!btrv::ran_out(btrv::last_status())) failure_ = data::report_read_failure(slot_.name);
  return false;
}

namespace {
// A key in a buffer of the record manager's key size, without a heap block.
struct KeyBuffer {
  explicit KeyBuffer(const layout::Bytes& key) {
    std::memcpy(bytes, key.data(), std::min(key.size(), sizeof bytes));
    std::memset(bytes + std::min(key.size(), sizeof bytes), 0, sizeof bytes - std::min(key.size(), sizeof bytes));
  }
  unsigned char bytes[btrv::kKeyBufferSize];
};
}  // namespace

bool FileSource::read_equal(layout::Bytes key) {
  KeyBuffer buffer(key);
  unsigned char* data = nullptr;
  const int status = btrv::BtrvGetEqual(&slot_.block, &data, buffer.bytes, key_number_);
  return keep(status, data);
}

bool FileSource::read_greater_or_equal(layout::Bytes key) {
  KeyBuffer buffer(key);
  unsigned char* data = nullptr;
  const int status = btrv::BtrvGetGreaterOrEqual(&slot_.block, &data, buffer.bytes, key_number_);
  return keep(status, data);
}

bool FileSource::read_next() {
  unsigned char* data = nullptr;
  const int status = btrv::BtrvGetNext(&slot_.block, &data, nullptr, key_number_);
  return keep(status, data);
}

BalanceSource::BalanceSource(data::CompanyContext& c)
    : FileSource(c.slot(data::Slot::Periods), layout::kBalanceYearCodeKey, layout::kBalanceNeededLength) {}

bool BalanceSource::refresh(bool ok) {
  code_ = ok ? layout::balance_code(record_) : std::string{};
  return ok;
}
bool BalanceSource::find(int year, std::string_view code) {
  return refresh(read_equal(layout::balance_year_code_key(year, code)));
}
bool BalanceSource::seek(int year, std::string_view low_code) {
  return refresh(read_greater_or_equal(layout::balance_year_code_key(year, low_code)));
}

AccountSource::AccountSource(data::CompanyContext& c)
    : FileSource(c.slot(data::Slot::Accounts), layout::kAccountCodeKey, layout::kAccountNeededLength) {}

bool AccountSource::refresh(bool ok) {
  code_.clear();
  if (ok)
    if (const auto a = layout::decode_account(record_)) code_ = a->code;
  return ok;
}
bool AccountSource::find(int, std::string_view code) { return refresh(read_equal(layout::account_code_key(code))); }
bool AccountSource::seek(int, std::string_view low_code) {
  return refresh(read_greater_or_equal(layout::account_code_key(low_code)));
}

TransactionSource::TransactionSource(data::CompanyContext& c, data::Slot slot)
    : FileSource(c.slot(slot), layout::kTransactionAccountDateKey,
                 layout::transaction_needed_length(c.transactions_v3)) {}

bool TransactionSource::refresh(bool ok) {
  code_ = ok ? layout::transaction_account(record_) : std::string{};
  date_ = ok ? layout::transaction_date(record_).number() : 0;
  return ok;
}
bool TransactionSource::seek(int, std::string_view low_code) {
  return refresh(read_greater_or_equal(layout::transaction_account_date_key(low_code, {})));
}

int read_account(data::CompanyContext& c, std::string_view code, layout::AccountRecord& out) {
  KeyBuffer key(layout::account_code_key(code));
  unsigned char* data = nullptr;
  data::FileSlot& slot = c.slot(data::Slot::Accounts);
  if (btrv::BtrvGetEqual(&slot.block, &data, key.bytes, layout::kAccountCodeKey) != 0 || !data)
    return btrv::ran_out(btrv::last_status()) ? kAccountAbsent : data::report_read_failure(slot.name);
  const auto a = layout::decode_account({data, btrv::last_record_length()});
  if (!a) return data::report_short_record(slot.name, btrv::last_record_length(), layout::kAccountNeededLength);
  out = *a;
  return 0;
}

int read_segment_description(data::CompanyContext& c, int segment, std::string_view value, std::string& out) {
  KeyBuffer key(layout::segment_key(segment, value));
  unsigned char* data = nullptr;
  data::FileSlot& slot = c.slot(data::Slot::Segments);
  if (btrv::BtrvGetEqual(&slot.block, &data, key.bytes, layout::kSegmentKey) != 0 || !data)
    return btrv::ran_out(btrv::last_status()) ? kSegmentAbsent : data::report_read_failure(slot.name);
  const auto record = layout::decode_segment({data, btrv::last_record_length()});
  if (!record) return data::report_short_record(slot.name, btrv::last_record_length(), layout::kSegmentNeededLength);
  out = record->description;
  return 0;
}

namespace {

bool all_digits(std::string_view value) {
  return !value.empty() && std::all_of(value.begin(), value.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

// The value part of a segment key: the bytes after the segment's number.
std::string_view value_key(const layout::Bytes& key) {
  return std::string_view(reinterpret_cast<const char*>(key.data()), key.size()).substr(4);
}

}  // namespace

std::vector<SegmentLookup> read_segment_descriptions(data::CompanyContext& c, int segment,
                                                     const std::vector<std::string>& values) {
  std::vector<SegmentLookup> out(values.size());
  // The values asked for in key order.
  std::vector<std::pair<std::string, std::size_t>> wanted;
  for (std::size_t i = 0; i < values.size(); ++i)
    if (all_digits(values[i])) wanted.emplace_back(std::string(value_key(layout::segment_key(segment, values[i]))), i);
  if (wanted.empty()) return out;
  std::sort(wanted.begin(), wanted.end());

  data::FileSlot& slot = c.slot(data::Slot::Segments);
  KeyBuffer key(layout::segment_key(segment, values[wanted.front().second]));
  unsigned char* data = nullptr;
  int status = btrv::BtrvGetGreaterOrEqual(&slot.block, &data, key.bytes, layout::kSegmentKey);
  std::size_t next = 0;  // the first value not settled
  const std::size_t budget = 2 * wanted.size() + 16;
  for (std::size_t reads = 1; next < wanted.size(); ++reads) {
    if (status != 0 || !data) {
      // The file ran out: the values left are not in it. A failure is left
      // to the reads of each value, which report it.
      if (btrv::ran_out(btrv::last_status()))
        for (; next < wanted.size(); ++next) out[wanted[next].second].state = SegmentLookup::State::Absent;
      break;
    }
    const std::size_t length = btrv::last_record_length();
    const auto record = layout::decode_segment({data, length});
    if (!record || length < 4 + layout::kAccountCodeWidth) break;
    if (record->segment != segment) {
      // Past the segment's records: the values left are not in the file.
      for (; next < wanted.size(); ++next) out[wanted[next].second].state = SegmentLookup::State::Absent;
      break;
    }
    const std::string_view here(reinterpret_cast<const char*>(data) + 4, layout::kAccountCodeWidth);
    for (; next < wanted.size() && wanted[next].first < here; ++next)
      out[wanted[next].second].state = SegmentLookup::State::Absent;
    if (next < wanted.size() && wanted[next].first == here) {
      // The first record of an equal key, as a read of the value finds it.
      for (const std::string& value = wanted[next].first; next < wanted.size() && wanted[next].first == value; ++next) {
        out[wanted[next].second].state = SegmentLookup::State::Found;
        out[wanted[next].second].description = record->description;
      }
    }
    if (next == wanted.size() || reads >= budget) break;
    status = btrv::BtrvGetNext(&slot.block, &data, nullptr, layout::kSegmentKey);
  }
  return out;
}

}  // namespace kovo::requests
