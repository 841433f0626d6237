#include "specifier/account_walk.h"

#include "entry/messages.h"

namespace kovo::specifier {

AccountWalk::AccountWalk(MatchSource& source, const AccountStructure& structure, WalkOptions options)
    : source_(source), structure_(structure), options_(std::move(options)) {}

bool AccountWalk::accept() const {
  if (!matcher_->matches(source_.code())) return false;
  if (options_.by_year) return true;
  const std::int32_t d = source_.date();
  if (options_.from_date != 0 && d < options_.from_date) return false;
  if (options_.to_date != 0 && d > options_.to_date) return false;
  return true;
}

// Moves to the following record of the scan; false at the end of its range.
bool AccountWalk::advance() {
  for (;;) {
    if (stopped()) return false;
    if (!source_.next()) return false;
    if (options_.by_year && source_.year() != year_) return false;
    if (matcher_->beyond_high(source_.code())) return false;
    if (accept()) return true;
  }
}

bool AccountWalk::position_first() {
  if (!matcher_->can_match()) return false;
  if (matcher_->all_exact() && options_.by_year) return source_.find(year_, matcher_->exact_code());
  if (!source_.seek(options_.by_year ? year_ : 0, matcher_->low_key())) return false;
  for (;;) {
    if (options_.by_year && source_.year() != year_) return false;
    if (matcher_->beyond_high(source_.code())) return false;
    if (accept()) return true;
    if (stopped()) return false;
    if (!source_.next()) return false;
  }
}

bool AccountWalk::stopped() const { return options_.stop_requested && options_.stop_requested(); }

int AccountWalk::fail(int status) {
  index_ = list_.size();
  return status;
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
    if (const int failure = source_.failure(); failure != 0) return fail(failure);
    // a stop from the lists window ends the walk quietly, not as "nothing matched"
    if (stopped()) {
      index_ = list_.size();
      return kNoMore;
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
  if (const int failure = source_.failure(); failure != 0) return fail(failure);
  if (stopped()) return kNoMore;
  ++index_;
  return start_specifier();
}

std::optional<WalkOptions> walk_options_for(int file_selector, std::int32_t from_date, std::int32_t to_date) {
  WalkOptions options;
  switch (static_cast<WalkFile>(file_selector)) {
    case WalkFile::Accounts:
      options.by_year = false;
      return options;
    case WalkFile::Balances:
      return options;
    case WalkFile::Transactions:
    case WalkFile::HistoryTransactions:
      options.by_year = false;
      options.from_date = from_date;
      options.to_date = to_date;
      return options;
  }
  return std::nullopt;
}

}  // namespace kovo::specifier
