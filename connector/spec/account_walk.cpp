#include "spec/account_walk.h"

#include "entry/messages.h"

namespace kovo::spec {

AccountWalk::AccountWalk(MatchSource& source, const AccountStructure& structure, WalkOptions options)
    : source_(source), structure_(structure), options_(std::move(options)) {}

bool AccountWalk::accept() const {
  if (!matcher_->matches(source_.code())) return false;
  if (!options_.by_year && (options_.from_date || options_.to_date)) {
    const std::int32_t d = source_.date();
    if (d < options_.from_date || d > options_.to_date) return false;
  }
  return true;
}

// Moves to the following record of the scan; false at the end of its range.
bool AccountWalk::advance() {
  for (;;) {
    if (options_.stop_requested && options_.stop_requested()) return false;
    if (!source_.next()) return false;
    if (options_.by_year && source_.year() != year_) return false;
    if (matcher_->beyond_high(source_.code())) return false;
    if (accept()) return true;
  }
}

bool AccountWalk::position_first() {
  if (matcher_->all_exact() && options_.by_year) return source_.find(year_, matcher_->exact_code());
  if (!source_.seek(options_.by_year ? year_ : 0, matcher_->low_key())) return false;
  for (;;) {
    if (options_.by_year && source_.year() != year_) return false;
    if (matcher_->beyond_high(source_.code())) return false;
    if (accept()) return true;
    if (options_.stop_requested && options_.stop_requested()) return false;
    if (!source_.next()) return false;
  }
}

int AccountWalk::start_specifier() {
  for (; index_ < list_.size(); ++index_) {
    std::string& simple = list_[index_];
    if (const int status = validate_specifier(simple, structure_); status != 0) return status;
    matcher_ = std::make_unique<SpecifierMatcher>(simple, structure_);
    if (position_first()) {
      any_match_ = true;
      return kFound;
    }
    if (options_.na_label == 0) {
      report(kNoMatchingAccounts, simple);
      return kNoMatchingAccounts;
    }
  }
  return kNoMore;
}

int AccountWalk::first(std::vector<std::string> specifiers, int year) {
  list_ = std::move(specifiers);
  index_ = 0;
  year_ = year;
  any_match_ = false;
  if (list_.empty()) {
    if (options_.na_label == 0) {
      report(kNoMatchingAccounts);
      return kNoMatchingAccounts;
    }
    return kNoMore;
  }
  const int status = start_specifier();
  if (status == kNoMore && !any_match_) return kNoMore;
  return status;
}

int AccountWalk::next() {
  if (!matcher_ || index_ >= list_.size()) return kNoMore;
  const bool single_record = matcher_->all_exact() && options_.by_year;
  if (!single_record && advance()) return kFound;
  if (options_.stop_requested && options_.stop_requested()) return kNoMore;
  ++index_;
  return start_specifier();
}

}  // namespace kovo::spec
