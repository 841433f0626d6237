// The balance cache and the data preload: compression, the choice of the
// index, coverage, and -- on generated ledgers -- that every answer from the
// cache equals the answer from the files.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "data/balance_cache.h"
#include "entry/dispatch.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "ledger_fixture.h"
#include "requests/gl_request.h"
#include "requests/install.h"
#include "requests/preload.h"

using namespace kovo;
using data::SlotValues;

namespace {

TEST(BalanceCacheRows, ZeroAndRepeatedValuesAreNotStored) {
  std::vector<double> pool;
  const SlotValues zeros{};
  const auto empty = data::compress_row(zeros, pool);
  EXPECT_EQ(empty.count, 0);
  EXPECT_TRUE(pool.empty());
  EXPECT_EQ(data::decompress_row(empty, pool.data()), zeros);

  SlotValues flat{};
  for (std::size_t s = 1; s <= 12; ++s) flat[s] = 1234.56;
  const auto one = data::compress_row(flat, pool);
  EXPECT_EQ(one.count, 1);
  EXPECT_EQ(pool.size(), 1u);
  EXPECT_EQ(data::decompress_row(one, pool.data()), flat);

  // a value below a hundredth of a cent counts as zero; a zero between two
  // equal values breaks the repeat
  SlotValues mixed{};
  mixed[0] = 10;
  mixed[1] = 10;
  mixed[2] = 0.00001;
  mixed[3] = 10;
  mixed[4] = -3.5;
  mixed[13] = -3.5;
  const auto m = data::compress_row(mixed, pool);
  EXPECT_EQ(m.count, 4);  // 10, 10 again after the zero, -3.5, -3.5 again after the zeros
  SlotValues expected = mixed;
  expected[2] = 0;
  EXPECT_EQ(data::decompress_row(m, pool.data()), expected);

  std::mt19937 random(7);
  std::uniform_int_distribution<int> pick(0, 3);
  for (int round = 0; round < 200; ++round) {
    SlotValues v{};
    for (std::size_t s = 0; s < data::kFilledSlots; ++s) {
      const int k = pick(random);
      v[s] = k == 0 ? 0.0 : k == 1 && s > 0 ? v[s - 1] : static_cast<double>(random() % 100000) / 100.0 - 500.0;
    }
    const auto row = data::compress_row(v, pool);
    ASSERT_EQ(data::decompress_row(row, pool.data()), v) << "round " << round;
  }
}

TEST(BalanceCacheIndexes, KeysAndTheDecidingSegment) {
  specifier::AccountStructure st;
  st.segment_count = 4;
  st.width = {4, 2, 3, 1};
  EXPECT_EQ(data::index_key("1000AB123X", st, 0), "1000AB123X");
  EXPECT_EQ(data::index_key("1000AB123X", st, 1), "AB123X1000");
  EXPECT_EQ(data::index_key("1000AB123X", st, 2), "123XAB1000");
  EXPECT_EQ(data::index_key("10", st, 1), "      10  ");

  EXPECT_EQ(data::deciding_segment("1000-*-*-*", 4), 0);
  EXPECT_EQ(data::deciding_segment("*-10-*-*", 4), 1);
  EXPECT_EQ(data::deciding_segment("4*-1?-100..200-*", 4), 0);  // ties go to the first
  EXPECT_EQ(data::deciding_segment("1..5-*-?00-*", 4), 2);
  EXPECT_EQ(data::deciding_segment("*-*-*-A", 4), 3);
  EXPECT_EQ(data::deciding_segment("*", 4), 0);
}

TEST(BalanceCacheCoverage, HeldSpecifiersCoverOnlyWhatTheyHold) {
  specifier::AccountStructure st;
  st.segment_count = 2;
  st.width = {4, 2};
  EXPECT_TRUE(data::specifier_covers("*-*", "4000-10", st));
  EXPECT_TRUE(data::specifier_covers("4*-*", "4??" "?-1?", st));
  EXPECT_TRUE(data::specifier_covers("4*", "4000-10", st));  // a missing segment is any
  EXPECT_TRUE(data::specifier_covers("1000..4999-*", "2000..3000-10", st));
  EXPECT_TRUE(data::specifier_covers("1000..4999-*", "4500-10", st));
  EXPECT_FALSE(data::specifier_covers("4000-10", "4*-10", st));
  EXPECT_FALSE(data::specifier_covers("4*-*", "*-10", st));
  EXPECT_FALSE(data::specifier_covers("1000..4999-*", "4*-*", st));
  EXPECT_FALSE(data::specifier_covers("1000..4999-*", "4000..5000-*", st));
  EXPECT_FALSE(data::specifier_covers("4000-10", "4000", st));
  EXPECT_TRUE(data::specifier_covers("4000-10", "4000-10", st));
}

TEST(BalanceCacheProgress, ReportsAreThinned) {
  std::vector<std::size_t> due;
  for (std::size_t n = 1; n <= 3000; ++n)
    if (data::progress_due(n)) due.push_back(n);
  EXPECT_EQ(due[48], 49u);
  EXPECT_EQ(due[49], 50u);
  EXPECT_EQ(due[50], 100u);
  EXPECT_EQ(std::count(due.begin(), due.end(), 600u), 1);
  EXPECT_EQ(std::count(due.begin(), due.end(), 650u), 0);
  EXPECT_EQ(due.back(), 3000u);
  EXPECT_EQ(std::count(due.begin(), due.end(), 2600u), 0);
}

// ---------------------------------------------------------------- ledgers

std::string numbers(const std::vector<double>& v) {
  std::string out = "[";
  for (std::size_t i = 0; i < v.size(); ++i) {
    char b[32];
    std::snprintf(b, sizeof b, "%.2f", v[i]);
    out += (i ? "," : "") + std::string(b);
  }
  return out + "]";
}

// A company of three segments with accounts of every kind: balance and
// income accounts, all-zero ones, flat ones, some without the year before,
// some without any balance record, a balance record without an account.
std::string generated_company(unsigned seed, std::vector<std::string>* codes = nullptr) {
  std::mt19937 random(seed);
  const auto amount = [&] { return static_cast<double>(static_cast<int>(random() % 2000000) - 1000000) / 100.0; };
  const auto twelve = [&](int shape) {
    std::vector<double> v(12);
    const double flat = amount();
    for (auto& x : v) x = shape == 0 ? 0.0 : shape == 1 ? flat : amount();
    return v;
  };
  std::string accounts, balances;
  int n = 0;
  for (const char* first : {"1000", "1100", "2000", "4000", "4010", "4100", "5000", "5500"})
    for (const char* second : {"10", "20", "30"})
      for (const char* third : {"01", "02"}) {
        if (random() % 5 == 0) continue;
        const std::string code = std::string(first) + "-" + second + "-" + third;
        if (codes) codes->push_back(code);
        const bool balance_account = first[0] < '4';
        accounts += std::string(n++ ? "," : "") + R"({"code":")" + code + R"(","description":"A )" + code +
                    R"(","type":")" + (balance_account ? "100" : "400") + "\"}";
        if (random() % 9 == 0) continue;  // no balance record at all
        for (const int year : {2008, 2007}) {
          if (year == 2007 && random() % 4 == 0) continue;
          const int shape = static_cast<int>(random() % 4);
          std::string opening;
          if (balance_account && shape != 0) {
            opening = numbers({amount()});
            opening = R"(,"opening":)" + opening.substr(1, opening.size() - 2);
          }
          balances += std::string(balances.empty() ? "" : ",") + R"({"account":")" + code +
                      R"(","year":)" + std::to_string(year) + opening;
          balances += R"(,"actual":)" + numbers(twelve(shape)) + R"(,"budget":)" + numbers(twelve(shape % 3)) +
                      R"(,"revisedBudget":)" + numbers(twelve(2)) + "}";
        }
      }
  return kovo::testing::two_year_company("GEN", ",\"accounts\":[" + accounts + "],\"balances\":[" + balances + "]",
                                   "XXXX-XX-XX");
}

class PreloadTest : public kovo::testing::LedgerTest {
 protected:
  void SetUp() override {
    LedgerTest::SetUp();
    requests::install_requests();
    hits() = 0;
    static const auto counting = [](data::CompanyContext& c, const requests::GlRequest& r,
                                    const specifier::PeriodDescriptor& p, specifier::AmountTable& t,
                                    specifier::AccountKind& k) {
      const bool answered = requests::cache_lookup(c, r, p, t, k);
      if (answered) ++hits();
      return answered;
    };
    requests::gl_hooks().balance_cache = counting;
  }
  void TearDown() override {
    requests::gl_hooks().balance_cache = &requests::cache_lookup;
    LedgerTest::TearDown();
  }
  static int& hits() {
    static int n = 0;
    return n;
  }
  std::string gl(const std::string& args) {
    std::string buffer(16000, '\0');
    connector_interface(100, args.c_str(), buffer.data(), buffer.size());
    return buffer.c_str();
  }
  data::CompanyContext& company(const char* id = "GEN") {
    data::CompanyContext* c = data::find_or_open_company(id);
    EXPECT_NE(c, nullptr);
    return *c;
  }
  int preload(const std::string& spec, data::YearFlags flags, data::CacheMode mode = data::CacheMode::Actual,
              const std::string& type = "Budget", const std::string& year = "",
              requests::PreloadProgress* progress = nullptr) {
    data::CompanyContext& c = company();
    c.balance_cache.flags = flags;
    data::PreloadKey key;
    key.year = year;
    key.mode = mode;
    key.budget_type = type;
    key.account_spec = spec;
    return requests::DataPreLoad(c, key, progress, 1, 2);
  }
};

TEST_F(PreloadTest, CachedAnswersEqualTheFiles) {
  std::vector<std::string> codes;
  build(kovo::testing::description(generated_company(11, &codes)));
  std::mt19937 random(5);
  const std::vector<std::string> patterns = {
      "*",          "4??" "?-*-*",   "4*",          "*-10-*",    "*-*-02",     "1000..4010-*-*", "1*-20..30-0?",
      "4000-10-01", "1100-20-02", "4*,1000-*-*", "*-1?-01",   "5??" "?-30-*",  "(4000,5000)-10-*", "7000-*-*",
      "4000-*,4000-10-*", "2000-10",  "*-*-01..02", "4*-40-*", "4000-1?-0?", "4010..5000-*-*"};
  const std::vector<std::string> periods = {
      "This Month",      "Year to Date",         "Month 3",           "This Month Last Year",
      "Year to Date Last Year", "This Quarter",  "Month,Month",       "This Month Budget",
      "Year to Date Budget", "This Quarter Last Year Budget", "Month 1", "Last Month",
      "This Month,Year to Date Last Year,Month Budget"};
  const std::vector<std::string> years = {"", "2008", "2007"};
  const std::vector<std::string> types = {"", "R", "B"};
  std::vector<std::string> requests;
  for (int i = 0; i < 400; ++i) {
    std::string spec = random() % 3 == 0 ? codes[random() % codes.size()] : patterns[random() % patterns.size()];
    requests.push_back(spec + ";" + periods[random() % periods.size()] + ";GEN;" + years[random() % years.size()] +
                       ";" + types[random() % types.size()]);
  }
  for (const int na_label : {1, 0}) {
    settings().na_label = na_label;
    requests::clear_cache(company());
    std::vector<std::string> from_files;
    for (const auto& r : requests) from_files.push_back(gl(r));
    ASSERT_EQ(hits(), 0);

    ASSERT_EQ(preload("*-*-*", {true, true, false}), 0);
    ASSERT_EQ(preload("*-*-*", {false, false, true}, data::CacheMode::Budget, "Budget"), 0);
    ASSERT_EQ(preload("4*-*-*,5*-*-*", {false, false, true}, data::CacheMode::Budget, "Revised Budget"), 0);
    ASSERT_EQ(company().balance_cache.sets().size(), 3u);
    for (std::size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(gl(requests[i]), from_files[i]) << requests[i];
    EXPECT_GT(hits(), 150) << "the cache answered too few requests to compare";
    hits() = 0;
  }
}

TEST_F(PreloadTest, ThreeSegmentIndexesAndNarrowPreloads) {
  build(kovo::testing::description(generated_company(23)));
  std::vector<std::string> requests;
  for (const char* spec : {"*-*-01", "*-20-*", "4000-*-*", "4*-2?-0?", "*-10..20-02", "1000-10-01", "4010-*"})
    for (const char* period : {"This Month", "Year to Date", "Year to Date Last Year"})
      requests.push_back(std::string(spec) + ";" + period + ";GEN");
  std::vector<std::string> from_files;
  for (const auto& r : requests) from_files.push_back(gl(r));
  // a preload of a part of the chart answers what it covers and sends the rest to the files
  ASSERT_EQ(preload("4*-*-*,1000..1100-*-*", {true, true, false}), 0);
  for (std::size_t i = 0; i < requests.size(); ++i) EXPECT_EQ(gl(requests[i]), from_files[i]) << requests[i];
  EXPECT_GT(hits(), 0);
  const int covered_hits = hits();
  EXPECT_EQ(gl("*-20-*;This Month;GEN"), from_files[3]);
  EXPECT_EQ(hits(), covered_hits);  // not covered: read from the files
}

TEST_F(PreloadTest, YearBeforeWithoutLastYearReadsTheFiles) {
  build(kovo::testing::description(generated_company(3)));
  const std::string last = gl("4*-*-*;Year to Date;GEN;2007");
  const std::string before = gl("4*-*-*;Year to Date Last Year;GEN");
  ASSERT_EQ(preload("*-*-*", {true, false, false}), 0);
  EXPECT_EQ(gl("4*-*-*;Year to Date;GEN;2007"), last);
  EXPECT_EQ(gl("4*-*-*;Year to Date Last Year;GEN"), before);
  EXPECT_EQ(hits(), 0);
  gl("4*-*-*;Year to Date;GEN");
  EXPECT_EQ(hits(), 1);
  // with last year on the year before is answered from its row
  ASSERT_EQ(preload("*-*-*", {true, true, false}), 0);
  EXPECT_EQ(gl("4*-*-*;Year to Date;GEN;2007"), last);
  EXPECT_EQ(gl("4*-*-*;Year to Date Last Year;GEN"), before);
  EXPECT_EQ(hits(), 3);
}

TEST_F(PreloadTest, TheSameSpecifierRefillsOneSet) {
  build(kovo::testing::description(generated_company(4)));
  ASSERT_EQ(preload("4*-*-*", {true, false, false}), 0);
  const std::size_t entries = company().balance_cache.sets().front().entry_count();
  ASSERT_EQ(preload("4*-*-*", {true, false, false}), 0);
  ASSERT_EQ(company().balance_cache.sets().size(), 1u);
  EXPECT_EQ(company().balance_cache.sets().front().entry_count(), entries);
  // another specifier, or more years than the set holds, makes another set
  ASSERT_EQ(preload("4*-*-*", {true, true, false}), 0);
  ASSERT_EQ(preload("5*-*-*", {true, false, false}), 0);
  EXPECT_EQ(company().balance_cache.sets().size(), 3u);
  EXPECT_EQ(company().balance_cache.sets().front().key().account_spec, "5*-*-*");
}

TEST_F(PreloadTest, RevisedBudgetPreloadReadsTheRevisedPairs) {
  build(kovo::testing::description(kovo::testing::two_year_company("GEN", R"(,
    "accounts":[{"code":"4000-10","description":"Sales","type":"400"}],
    "balances":[{"account":"4000-10","year":2008,"actual":[-1,-2],
                 "budget":[-15,-15,-15,-15,-15,-15,-15,-15,-15,-15,-15,-15],
                 "revisedBudget":[-16,-16,-16,-16,-16,-16,-16,-16,-16,-16,-16,-16]}])")));
  ASSERT_EQ(preload("4000-10", {false, false, true}, data::CacheMode::Budget, "Revised Budget"), 0);
  const data::PreloadSet& set = company().balance_cache.sets().front();
  ASSERT_EQ(set.entry_count(), 1u);
  const data::SlotValues row = set.values(set.index(0).front(), 0);
  EXPECT_EQ(row[0], 0);
  EXPECT_EQ(row[1], -16);
  EXPECT_EQ(row[12], -16);
  EXPECT_EQ(set.entry(set.index(0).front()).rows[0].count, 1);  // twelve equal values, one stored
  EXPECT_EQ(gl("4000-10;Year to Date Budget;GEN;;R"), "-80\r\n");
  EXPECT_EQ(hits(), 1);
  EXPECT_EQ(gl("4000-10;Year to Date Budget;GEN;;B"), "-75\r\n");  // the plain budget is not held
  EXPECT_EQ(hits(), 1);
}

class CancelAfter : public requests::PreloadProgress {
 public:
  explicit CancelAfter(std::size_t n) : n_(n) {}
  bool report(int id, std::size_t count) override {
    reports.emplace_back(id, count);
    return count < n_;
  }
  void failure(int message) override { failures.push_back(message); }
  std::vector<std::pair<int, std::size_t>> reports;
  std::vector<int> failures;

 private:
  std::size_t n_;
};

TEST_F(PreloadTest, CancelAndFailuresLeaveNoSetBehind) {
  build(kovo::testing::description(generated_company(8)));
  const std::string answer = gl("*;Year to Date;GEN");
  ASSERT_EQ(preload("4*-*-*", {true, false, false}), 0);

  CancelAfter cancel(10);
  EXPECT_EQ(preload("*-*-*", {true, true, false}, data::CacheMode::Actual, "Budget", "", &cancel), requests::kPreloadStopped);
  EXPECT_EQ(cancel.reports.back(), std::make_pair(1, std::size_t{10}));
  ASSERT_EQ(company().balance_cache.sets().size(), 1u);  // the earlier set stays
  EXPECT_EQ(gl("*;Year to Date;GEN"), answer);
  EXPECT_EQ(hits(), 0);

  // the whole preload reports reading with the first id and sorting with the second
  CancelAfter never(1000000);
  ASSERT_EQ(preload("*-*-*", {true, false, false}, data::CacheMode::Actual, "Budget", "", &never), 0);
  EXPECT_EQ(never.reports.back(), std::make_pair(2, std::size_t{3}));

  CancelAfter boxes(1000000);
  EXPECT_EQ(preload("7*-*-*", {true, false, false}, data::CacheMode::Actual, "Budget", "", &boxes),
            requests::kPreloadStopped);
  EXPECT_EQ(boxes.failures, std::vector<int>{requests::kPreloadNothingFound});
  EXPECT_EQ(company().balance_cache.sets().size(), 2u);
  EXPECT_EQ(preload("4*..5*-*-*", {true, false, false}, data::CacheMode::Actual, "Budget", "", &boxes),
            requests::kPreloadFailed);
  EXPECT_EQ(boxes.failures.back(), requests::kPreloadFailedMessage);
  EXPECT_TRUE(company().balance_cache.sets().empty());  // a failure clears the company's cache
  EXPECT_FALSE(company().balance_cache.valid);
  // neither year: only a budget preload may go on, with this year turned on
  EXPECT_EQ(preload("4*-*-*", {false, false, false}), requests::kPreloadFailed);
}

TEST_F(PreloadTest, ChangedBalancesClearTheCompanysCache) {
  build(kovo::testing::description(generated_company(9)));
  ASSERT_EQ(preload("*-*-*", {true, false, false}), 0);
  gl("4*-*-*;Year to Date;GEN");
  EXPECT_EQ(hits(), 1);
  balances_changed("gen");
  EXPECT_FALSE(company().balance_cache.valid);
  EXPECT_TRUE(company().balance_cache.sets().empty());
  gl("4*-*-*;Year to Date;GEN");
  EXPECT_EQ(hits(), 1);
}

}  // namespace
