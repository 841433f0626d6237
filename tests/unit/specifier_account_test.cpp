#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "entry/messages.h"
#include "specifier/account_specifier.h"
#include "specifier/account_walk.h"

using namespace kovo;
using namespace kovo::specifier;

namespace {

AccountStructure four_two() {
  AccountStructure s;
  s.segment_count = 2;
  s.width[0] = 4;
  s.width[1] = 2;
  return s;
}

// Records of one or more years in (year, code) order; counts what it is asked to read.
class TableSource : public MatchSource {
 public:
  explicit TableSource(std::vector<std::pair<int, std::string>> rows) : rows_(std::move(rows)) {
    std::sort(rows_.begin(), rows_.end());
  }
  bool find(int year, std::string_view code) override {
    ++reads;
    const std::string want(code);
    for (at_ = 0; at_ < rows_.size(); ++at_)
      if (rows_[at_].first == year && rows_[at_].second == want) return true;
    return false;
  }
  bool seek(int year, std::string_view low) override {
    ++reads;
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), std::make_pair(year, std::string(low)));
    at_ = static_cast<std::size_t>(it - rows_.begin());
    return at_ < rows_.size();
  }
  bool next() override {
    ++reads;
    return ++at_ < rows_.size();
  }
  int year() const override { return rows_[at_].first; }
  std::string_view code() const override { return rows_[at_].second; }

  int reads = 0;

 private:
  std::vector<std::pair<int, std::string>> rows_;
  std::size_t at_ = 0;
};

std::vector<std::string> walk_all(TableSource& source, const std::string& specifier, int na_label, int* status,
                                  int year = 2008) {
  std::vector<std::string> list;
  EXPECT_EQ(expand_specifier(specifier, 2, list), 0) << specifier;
  AccountWalk walk(source, four_two(), WalkOptions{true, 0, 0, na_label, {}});
  std::vector<std::string> found;
  int s = walk.first(list, year);
  while (s == kFound) {
    found.emplace_back(source.code());
    s = walk.next();
  }
  *status = s;
  return found;
}

struct Fresh : ::testing::Test {
  void SetUp() override { clear_message(); }
  void TearDown() override { clear_message(); }
};
using ExpandTest = Fresh;
using ValidateTest = Fresh;
using WalkTest = Fresh;

TEST_F(ExpandTest, FormsAndOrder) {
  const struct {
    const char* text;
    std::vector<std::string> want;
  } cases[] = {
      {"4000-10", {"4000-10"}},
      {"4000-10,5000-10", {"4000-10", "5000-10"}},
      {"(4000,5000)(10,20)", {"4000-10", "4000-20", "5000-10", "5000-20"}},
      {"4^00-^(1,2)(10)", {"4100-10", "4200-10"}},
      {"4000-10,(5000)(20,30)", {"4000-10", "5000-20", "5000-30"}},
      {"(4000)", {"4000-*"}},  // positions the template texts do not reach
      {"4^^0-10(0,5)(1)", {"4010-10", "4510-10"}},
      {"4000", {"4000"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> out;
    EXPECT_EQ(expand_specifier(c.text, 2, out), 0) << c.text;
    EXPECT_EQ(out, c.want) << c.text;
  }
}

TEST_F(ExpandTest, SyntaxErrorsNameTheItemAndUnbalancedExpandsToNothing) {
  std::vector<std::string> out;
  EXPECT_EQ(expand_specifier("1000-10,4000-10-01", 2, out), kSyntaxError);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(pending_message(), "Kovo [CYMA] - 4000-10-01");
  clear_message();
  EXPECT_EQ(expand_specifier("(4000)(10)(20)x", 2, out), kSyntaxError);
  clear_message();
  EXPECT_EQ(expand_specifier("40(0,1)0-10", 2, out), kSyntaxError);  // text between the groups
  EXPECT_EQ(pending_message(), "Kovo [CYMA] - 40(0,1)0-10");
  clear_message();
  // a specifier that multiplies out beyond the limit is refused whole, with its own message
  std::string huge = "(";
  for (int i = 0; i < 400; ++i) huge += (i ? "," : "") + std::to_string(1000 + i);
  huge += ")(" + huge.substr(1) + ")";
  EXPECT_EQ(expand_specifier(huge, 2, out), kSyntaxError);
  EXPECT_TRUE(out.empty());
  EXPECT_NE(pending_message().find("too many accounts"), std::string_view::npos);
  clear_message();
  EXPECT_EQ(expand_specifier("(4000,5000", 2, out), 0);
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(message_pending());
}

TEST_F(ExpandTest, FinancialEntitiesExpandNamesWithinNames) {
  const EntityLookup entities = [](int position, std::string_view name) -> std::optional<std::string> {
    if (position == 1 && name == "REVENUE") return "4000,SERVICE";
    if (position == 1 && name == "SERVICE") return "4500";
    if (position == 2 && name == "LOOP") return "LOOP";  // never settles: stops after the rounds
    return std::nullopt;
  };
  std::vector<std::string> out;
  EXPECT_EQ(expand_specifier("revenue-10", 2, out, entities), 0);
  EXPECT_EQ(out, (std::vector<std::string>{"4000-10", "4500-10"}));
  EXPECT_EQ(expand_specifier("4000-loop", 2, out, entities), 0);
  EXPECT_EQ(out, (std::vector<std::string>{"4000-LOOP"}));
}

TEST_F(ValidateTest, MessagesAndDetail) {
  const struct {
    const char* simple;
    int want;
  } cases[] = {
      {"4000-10", 0},         {"4*-10", 0},           {"4000..4999-10", 0}, {"4000.5-10", 0},
      {"..4999-10", 13},      {"4000..-10", 13},      {"10-..20", 13},       {"10-20..", 0},       {"4000..49*9-10", 9},
      {"4000-1~", 3},         {"40000-10", 13},       {"4000", 13},         {"4000-10-01", 13},
      {"4000...4999-10", 13},  {"4000....4999-10", 13}, {"40000..4999-10", 13},
  };
  for (const auto& c : cases) {
    clear_message();
    std::string s = c.simple;
    EXPECT_EQ(validate_specifier(s, four_two()), c.want) << c.simple;
    if (c.want) EXPECT_NE(pending_message().find(s), std::string_view::npos) << c.simple;
  }
  // a validation failure replaces whatever message was pending before it
  report(17, "earlier");
  std::string tilde = "4~00-10";
  EXPECT_EQ(validate_specifier(tilde, four_two()), 3);
  EXPECT_EQ(pending_message(), "Kovo [CYMA] Invalid character - 4~00-10");
  clear_message();
  std::string lower = "4abc-xy";
  EXPECT_EQ(validate_specifier(lower, four_two()), 0);
  EXPECT_EQ(lower, "4ABC-XY");
}

TEST_F(ValidateTest, SegmentMatching) {
  EXPECT_TRUE(segment_value_matches("4*", "4000", 4));
  EXPECT_TRUE(segment_value_matches("4???", "4999", 4));
  EXPECT_FALSE(segment_value_matches("4???", "499", 3));
  EXPECT_TRUE(segment_value_matches("10", "10", 2));
  EXPECT_TRUE(segment_value_matches("1", "1 ", 2));  // exact values are blank-padded
  EXPECT_FALSE(segment_value_matches("1", "10", 2));
  EXPECT_TRUE(segment_value_matches("ab", "AB", 2));
  EXPECT_TRUE(segment_value_matches("4000..4999", "4500", 4));
  EXPECT_FALSE(segment_value_matches("4000..4999", "5000", 4));
  EXPECT_TRUE(segment_value_matches("G*", "G12", 7));
  EXPECT_TRUE(pattern_matches("*a*b*c*", "xxaxxbxxcxx"));
  EXPECT_FALSE(pattern_matches("*a*b*c*d", "xxaxxbxxcxx"));
}

TableSource ledger() {
  return TableSource({{2007, "400010"}, {2008, "100010"}, {2008, "400010"}, {2008, "400011"},
                      {2008, "410010"}, {2008, "499910"}, {2008, "500020"}, {2009, "400010"}});
}

TEST_F(WalkTest, ExactReadsOneRecordAndScansStayBetweenTheKeys) {
  int status = 0;
  TableSource exact = ledger();
  EXPECT_EQ(walk_all(exact, "4000-10", 0, &status), (std::vector<std::string>{"400010"}));
  EXPECT_EQ(status, kNoMore);
  EXPECT_EQ(exact.reads, 1);

  TableSource star = ledger();
  EXPECT_EQ(walk_all(star, "4*-10", 0, &status),
            (std::vector<std::string>{"400010", "410010", "499910"}));
  EXPECT_LE(star.reads, 6);  // seek, then the records up to 500020 at most

  TableSource range = ledger();
  EXPECT_EQ(walk_all(range, "4000..4999-10", 0, &status),
            (std::vector<std::string>{"400010", "410010", "499910"}));
  TableSource all = ledger();
  EXPECT_EQ(walk_all(all, "4???-*", 0, &status),
            (std::vector<std::string>{"400010", "400011", "410010", "499910"}));
  // a single-dot value longer than its segment passes validation but reads nothing
  TableSource dotted({{2008, "4000.1"}, {2008, "400010"}});
  EXPECT_TRUE(walk_all(dotted, "4000.1-10", 1, &status).empty());
  EXPECT_EQ(dotted.reads, 0);
  EXPECT_EQ(SpecifierMatcher("4000.1-10", four_two()).low_key(), "400010");
  TableSource other_year = ledger();
  EXPECT_EQ(walk_all(other_year, "4*-*", 0, &status, 2007), (std::vector<std::string>{"400010"}));
}

TEST_F(WalkTest, NaLabelRules) {
  int status = 0;
  TableSource strict = ledger();
  EXPECT_EQ(walk_all(strict, "4000-10,5000-10", 0, &status), (std::vector<std::string>{"400010"}));
  EXPECT_EQ(status, kNoMatchingAccounts);
  EXPECT_NE(pending_message().find("5000-10"), std::string_view::npos);
  clear_message();
  TableSource lenient = ledger();
  EXPECT_EQ(walk_all(lenient, "5000-10,4000-10", 1, &status), (std::vector<std::string>{"400010"}));
  EXPECT_EQ(status, kNoMore);
  EXPECT_FALSE(message_pending());
  TableSource none = ledger();
  EXPECT_TRUE(walk_all(none, "7000-10", 1, &status).empty());
  EXPECT_EQ(status, kNoMore);
  TableSource invalid = ledger();
  EXPECT_TRUE(walk_all(invalid, "4000", 1, &status).empty());
  EXPECT_EQ(status, kInvalidSpecifierLength);
}

// Transactions in (account, date) order: no year bound, a date window.
class DatedSource : public MatchSource {
 public:
  struct Row {
    std::string code;
    std::int32_t date;
  };
  explicit DatedSource(std::vector<Row> rows) : rows_(std::move(rows)) {}
  bool find(int, std::string_view) override { return false; }  // transaction files are scanned
  bool seek(int, std::string_view low) override {
    for (at_ = 0; at_ < rows_.size() && rows_[at_].code < low; ++at_) {}
    return at_ < rows_.size();
  }
  bool next() override { return ++at_ < rows_.size(); }
  int year() const override { return 0; }
  std::string_view code() const override { return rows_[at_].code; }
  std::int32_t date() const override { return rows_[at_].date; }

 private:
  std::vector<Row> rows_;
  std::size_t at_ = 0;
};

std::vector<std::int32_t> dated_walk(const std::string& specifier, const WalkOptions& options) {
  DatedSource source({{"400010", 20080105}, {"400010", 20080220}, {"400010", 20080331},
                      {"400020", 20080215}, {"410010", 20080210}, {"500010", 20080215}});
  std::vector<std::string> list;
  EXPECT_EQ(expand_specifier(specifier, 2, list), 0);
  AccountWalk walk(source, four_two(), options);
  std::vector<std::int32_t> dates;
  for (int s = walk.first(list, 0); s == kFound; s = walk.next()) dates.push_back(source.date());
  return dates;
}

TEST_F(WalkTest, TransactionFilesKeepTheDateWindow) {
  using Dates = std::vector<std::int32_t>;
  const auto options = [](int selector, std::int32_t from, std::int32_t to) {
    auto o = walk_options_for(selector, from, to);
    EXPECT_TRUE(o.has_value()) << selector;
    return o.value_or(WalkOptions{});
  };
  EXPECT_EQ(dated_walk("4000-10", options(2, 20080201, 20080331)), (Dates{20080220, 20080331}));
  EXPECT_EQ(dated_walk("4*-10", options(5, 20080201, 20080228)), (Dates{20080220, 20080210}));
  EXPECT_EQ(dated_walk("4000-*", options(2, 0, 20080215)), (Dates{20080105, 20080215}));
  EXPECT_EQ(dated_walk("4000-10", options(0, 0, 0)).size(), 3u);  // the accounts file: no window
  EXPECT_TRUE(walk_options_for(1)->by_year);
  EXPECT_FALSE(walk_options_for(3).has_value());
  EXPECT_FALSE(walk_options_for(-1).has_value());
}

TEST_F(WalkTest, StopRequestEndsTheWalkQuietly) {
  int polls = 0;
  WalkOptions options{true, 0, 0, 0, [&polls] { return ++polls >= 1; }};
  TableSource source = ledger();
  std::vector<std::string> list;
  ASSERT_EQ(expand_specifier("4*-*,5000-20", 2, list), 0);
  AccountWalk walk(source, four_two(), options);
  EXPECT_EQ(walk.first(list, 2008), kFound);
  EXPECT_EQ(walk.next(), kNoMore);  // the later specifier is not walked after a stop
  EXPECT_FALSE(message_pending());

  // stopped before anything matched: "no more", not "No matching accounts found"
  TableSource sparse({{2008, "100010"}, {2008, "300010"}, {2008, "400010"}});
  AccountWalk stopped(sparse, four_two(), WalkOptions{true, 0, 0, 0, [] { return true; }});
  ASSERT_EQ(expand_specifier("2*-*", 2, list), 0);
  EXPECT_EQ(stopped.first(list, 2008), kNoMore);
  EXPECT_FALSE(message_pending());
}

TEST_F(WalkTest, EveryCombinationIsWalkedInItsOrder) {
  int status = 0;
  TableSource source = ledger();
  EXPECT_EQ(walk_all(source, "(4000,4100,4999)(10,11)", 1, &status),
            (std::vector<std::string>{"400010", "400011", "410010", "499910"}));
  EXPECT_EQ(status, kNoMore);
  EXPECT_EQ(source.reads, 6);  // one exact read per combination
  TableSource mixed = ledger();
  EXPECT_EQ(walk_all(mixed, "5*-*,1000-10,4000..4100-1?", 0, &status),
            (std::vector<std::string>{"500020", "100010", "400010", "400011", "410010"}));
  EXPECT_EQ(status, kNoMore);
}

// Arbitrary bytes through expansion and validation: never a crash, and a
// refusal always leaves a message.
TEST_F(WalkTest, RandomSpecifiersAreHandledSafely) {
  std::mt19937 random(20261207);
  const std::string alphabet = "0123456789-,()^*?.~ aZ";
  const std::vector<std::string> seeds = {"(4000,5000)(10,20)", "4^00-^(1,2)(10)", "4000..4999-10",
                                          "4*-10,5000-??", "((^-^)(1)(2))"};
  for (int round = 0; round < 20000; ++round) {
    std::string text = seeds[random() % seeds.size()];
    const int edits = 1 + static_cast<int>(random() % 6);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = text.empty() ? 0 : random() % (text.size() + 1);
      const char c = random() % 4 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
      if (random() % 3 == 0 && !text.empty() && at < text.size()) text.erase(at, 1);
      else text.insert(at, 1, c);
    }
    clear_message();
    std::vector<std::string> out;
    const int status = expand_specifier(text, 2, out);
    if (status != 0) {
      EXPECT_TRUE(message_pending()) << text;
      continue;
    }
    ASSERT_LE(out.size(), kMaxExpandedSpecifiers);
    for (auto& simple : out) {
      clear_message();
      if (validate_specifier(simple, four_two()) != 0) EXPECT_TRUE(message_pending()) << simple;
      else SpecifierMatcher(simple, four_two()).matches("400010");
    }
  }
}

}  // namespace
