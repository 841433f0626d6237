// Walking the records whose account matches an account specifier, over any
// ordered record source (the record manager's files in the connector, a
// table in memory in the tests).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "specifier/account_specifier.h"

namespace kovo::specifier {

// Records in (year, account code) order -- or, for transaction files, in
// (account code, date) order with year() answering 0.
class MatchSource {
 public:
  virtual ~MatchSource() = default;
  // The one record of (year, code).
  virtual bool find(int year, std::string_view code) = 0;
  // The first record with key >= (year, low code); next() moves on in key order.
  virtual bool seek(int year, std::string_view low_code) = 0;
  virtual bool next() = 0;
  virtual int year() const = 0;
  virtual std::string_view code() const = 0;
  virtual std::int32_t date() const { return 0; }  // YYYYMMDD
  // After a move answered false: 0 when the records simply ran out, else the
  // number of the message already reported for the failed read.
  virtual int failure() const { return 0; }
};

struct WalkOptions {
  bool by_year = true;         // false for transaction files: no year bound, a date window
  std::int32_t from_date = 0;  // YYYYMMDD, inclusive; 0 leaves that end of the window open
  std::int32_t to_date = 0;
  int na_label = 1;            // the "NA Label" setting
  std::function<bool()> stop_requested;  // the lists window's stop button
};

enum WalkStatus : int { kFound = 0, kNoMore = 1 };

// The record-manager files a walk serves, by the selectors callers pass.
enum class WalkFile : int { Accounts = 0, Balances = 1, Transactions = 2, HistoryTransactions = 5 };

// Options for walking one file: balances are bounded by the year; the
// accounts file has no year; the transaction files carry the date window
// (YYYYMMDD, from year x 10000 + month x 100 + day). Nothing for another selector.
std::optional<WalkOptions> walk_options_for(int file_selector, std::int32_t from_date = 0,
                                            std::int32_t to_date = 0);

// Walks an expanded list: each simple specifier in turn is validated and its
// matches are delivered in key order.
class AccountWalk {
 public:
  AccountWalk(MatchSource& source, const AccountStructure& structure, WalkOptions options = {});

  // 0 with the source on the first match; 15 (reported, naming the
  // specifier) when a specifier matches nothing and NA Label is 0; 1 when
  // nothing matched at all under a non-zero NA Label; a validation message;
  // or the source's failure, which ends the walk.
  int first(std::vector<std::string> specifiers, int year);
  // 0 with the source on the next match, 1 when there is no more, or as first().
  int next();

  std::size_t specifier_index() const { return index_; }

 private:
  int start_specifier();  // from index_ on, skipping or failing empty ones
  bool position_first();
  bool advance();
  bool accept() const;
  bool stopped() const;
  int fail(int status);

  MatchSource& source_;
  AccountStructure structure_;
  WalkOptions options_;
  std::vector<std::string> list_;
  std::size_t index_ = 0;
  int year_ = 0;
  std::unique_ptr<SpecifierMatcher> matcher_;
  bool any_match_ = false;
};

}  // namespace kovo::specifier
