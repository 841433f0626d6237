#include "windows/segment_values.h"

#include <set>

#include "data/btrieve.h"
#include "data/btrieve_ops.h"
#include "data/companies.h"
#include "entry/messages.h"
#include "recman/status.h"
#include "requests/record_sources.h"
#include "specifier/text_util.h"

namespace kovo::lists {
namespace {

const std::vector<std::string> kNoValues;

int open_or_report(data::CompanyContext& c, layout::FileKind kind) {
  if (data::open_company_file(c, kind) == 0) return 0;
  return report_read_failure(c.data_directory);
}

}  // namespace

bool walk_ran_out() { return btrv::ran_out(btrv::last_status()); }

int report_read_failure(const std::string& where) {
  report(btrv::kBtrieveError, where + " - " + btrv::last_error_text());
  return btrv::kBtrieveError;
}

std::vector<std::string> split_code(std::string_view code, const int* widths, int count) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (int s = 0; s < count; ++s) {
    const auto width = static_cast<std::size_t>(widths[s]);
    const std::string_view part = at < code.size() ? code.substr(at, width) : std::string_view{};
    parts.emplace_back(specifier::trim_right(part));
    at += width;
  }
  return parts;
}

int SegmentValueCache::prepare(data::CompanyContext& company, CacheOptions options,
                               const windows::RowCheck& row) {
  if (ready_ && specifier::equal_folded(company_id_, company.id) && generation_ == data::ledger_generation() &&
      options_.descriptions == options.descriptions && options_.entities == options.entities)
    return 0;
  release();
  company_id_ = company.id;
  generation_ = data::ledger_generation();
  options_ = options;
  int status = read_accounts(company, row);
  if (status == 0 && options.descriptions) status = read_descriptions(company, row);
  if (status != 0) {
    release();
    return status;
  }
  ready_ = true;
  return 0;
}

void SegmentValueCache::release() {
  ready_ = false;
  company_id_.clear();
  accounts_.clear();
  values_.clear();
  descriptions_.clear();
}

int SegmentValueCache::read_accounts(data::CompanyContext& c, const windows::RowCheck& row) {
  if (const int status = open_or_report(c, layout::FileKind::Accounts); status != 0) return status;
  const int count = c.structure.segment_count;
  std::vector<std::set<std::string>> distinct(static_cast<std::size_t>(count));
  requests::AccountSource source(c);
  for (bool more = source.seek(0, ""); more; more = source.next()) {
    if (row && !row()) return kStopped;
    const auto account = layout::decode_account(source.record());
    if (!account) continue;
    auto parts = split_code(account->code, c.structure.width.data(), count);
    for (int s = 0; s < count; ++s) distinct[static_cast<std::size_t>(s)].insert(parts[static_cast<std::size_t>(s)]);
    accounts_.push_back(std::move(parts));
  }
  if (const int failure = source.failure(); failure != 0) return failure;
  for (auto& set : distinct) values_.emplace_back(set.begin(), set.end());
  return 0;
}

int SegmentValueCache::read_descriptions(data::CompanyContext& c, const windows::RowCheck& row) {
  if (const int status = open_or_report(c, layout::FileKind::Segments); status != 0) return status;
  descriptions_.assign(values_.size(), {});
  btrv::PositionBlock* block = &c.slot(data::Slot::Segments).block;
  unsigned char* data = nullptr;
  for (int status = btrv::BtrvGetFirst(block, &data, nullptr, layout::kSegmentKey); status == 0;
       status = btrv::BtrvGetNext(block, &data, nullptr, layout::kSegmentKey)) {
    if (row && !row()) return kStopped;
    const auto record = layout::decode_segment({data, btrv::last_record_length()});
    if (!record)
      return data::report_short_record(c.slot(data::Slot::Segments).name, btrv::last_record_length(),
                                       layout::kSegmentNeededLength);
    if (record->segment < 0 || static_cast<std::size_t>(record->segment) >= descriptions_.size()) continue;
    descriptions_[static_cast<std::size_t>(record->segment)][std::string(specifier::trim_right(record->value))] =
        record->description;
  }
  if (!walk_ran_out()) return data::report_read_failure(c.slot(data::Slot::Segments).name);
  return 0;
}

const std::vector<std::string>& SegmentValueCache::values(int segment) const {
  if (segment < 0 || static_cast<std::size_t>(segment) >= values_.size()) return kNoValues;
  return values_[static_cast<std::size_t>(segment)];
}

std::string_view SegmentValueCache::description(int segment, std::string_view value) const {
  if (segment < 0 || static_cast<std::size_t>(segment) >= descriptions_.size()) return {};
  const auto& of_segment = descriptions_[static_cast<std::size_t>(segment)];
  const auto found = of_segment.find(value);
  return found == of_segment.end() ? std::string_view{} : std::string_view(found->second);
}

}  // namespace kovo::lists
