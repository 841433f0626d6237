// The balance records that one GL evaluation read, kept in memory so that
// further evaluations over a subset of the same accounts (the drill-down's
// row of each segment value) are answered without reading the files again.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/layouts.h"
#include "specifier/account_walk.h"

namespace kovo::data {
struct CompanyContext;
}

namespace kovo::requests {

class BalanceSnapshot {
 public:
  // A record and the type of its account (none when the accounts file has
  // no such account).
  struct Kept {
    std::vector<std::uint8_t> record;
    std::optional<std::string> account_type;
  };
  // One year's records of a company, in the file's key order.
  using Records = std::map<std::string, Kept, std::less<>>;

  // A walk of the company's year begins: the year is kept even when the
  // walk matches nothing, so that an evaluation after it reads nothing.
  void walking(const data::CompanyContext& company, int year);
  void keep(const data::CompanyContext& company, int year, std::string_view code, layout::View record,
            const std::string* account_type);
  // The records kept of a company's year, or null when none of its passes
  // was kept (its figures must then come from the files).
  const Records* year_of(const data::CompanyContext& company, int year) const;
  // Whether the companies kept all share one account structure.
  bool one_account_structure() const;
  void clear() { years_.clear(); }

 private:
  std::map<std::pair<const data::CompanyContext*, int>, Records> years_;
};

// One kept year as an ordered source for the account walk.
class SnapshotSource : public specifier::MatchSource {
 public:
  SnapshotSource(const BalanceSnapshot::Records& records, int year)
      : records_(records), year_(year), at_(records.end()) {}
  bool find(int year, std::string_view code) override;
  bool seek(int year, std::string_view low_code) override;
  bool next() override;
  int year() const override { return year_; }
  std::string_view code() const override;
  layout::View record() const;
  // The type of the record's account as the walk that kept it knew it, or null.
  const std::string* account_type() const;

 private:
  bool settle(bool ok);
  const BalanceSnapshot::Records& records_;
  int year_;
  BalanceSnapshot::Records::const_iterator at_;
};

}  // namespace kovo::requests
