#include "requests/balance_snapshot.h"

#include "data/companies.h"

namespace kovo::requests {
namespace {

// The code as the file's key holds it: cut or filled with zero bytes to the
// key's width, so that the kept records keep the file's order.
std::string key_of(std::string_view code) {
  std::string key(code.substr(0, layout::kAccountCodeWidth));
  key.resize(layout::kAccountCodeWidth, '\0');
  return key;
}

}  // namespace

void BalanceSnapshot::walking(const data::CompanyContext& company, int year) { years_.try_emplace({&company, year}); }

void BalanceSnapshot::keep(const data::CompanyContext& company, int year, std::string_view code,
                           layout::View record, const std::string* account_type) {
  Records& records = years_[{&company, year}];
  Kept kept{{record.begin(), record.end()}, std::nullopt};
  if (account_type) kept.account_type = *account_type;
  records.try_emplace(key_of(code), std::move(kept));
}

const BalanceSnapshot::Records* BalanceSnapshot::year_of(const data::CompanyContext& company, int year) const {
  const auto found = years_.find({&company, year});
  return found == years_.end() ? nullptr : &found->second;
}

bool BalanceSnapshot::one_account_structure() const {
  if (years_.empty()) return true;
  const specifier::AccountStructure& first = years_.begin()->first.first->structure;
  for (const auto& [key, records] : years_) {
    const specifier::AccountStructure& s = key.first->structure;
    if (s.segment_count != first.segment_count || s.width != first.width) return false;
  }
  return true;
}

bool SnapshotSource::settle(bool ok) {
  if (!ok) at_ = records_.end();
  return ok;
}

bool SnapshotSource::find(int year, std::string_view code) {
  at_ = records_.find(key_of(code));
  return settle(year == year_ && at_ != records_.end());
}

bool SnapshotSource::seek(int year, std::string_view low_code) {
  at_ = records_.lower_bound(key_of(low_code));
  return settle(year == year_ && at_ != records_.end());
}

std::string_view SnapshotSource::code() const {
  if (at_ == records_.end()) return {};
  const std::string_view key = at_->first;
  return key.substr(0, key.find('\0'));
}

layout::View SnapshotSource::record() const {
  return at_ == records_.end() ? layout::View{} : layout::View(at_->second.record);
}

const std::string* SnapshotSource::account_type() const {
  return at_ == records_.end() || !at_->second.account_type ? nullptr : &*at_->second.account_type;
}

bool SnapshotSource::next() {
  if (at_ == records_.end()) return false;
  ++at_;
  return at_ != records_.end();
}

}  // namespace kovo::requests
