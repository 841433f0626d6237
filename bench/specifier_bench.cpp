// Period phrases parsed and resolved, and an account walk whose cost must
// follow its matches rather than the size of the file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "entry/messages.h"
#include "specifier/account_walk.h"
#include "specifier/period.h"
#include "specifier/period_range.h"

using namespace kovo::specifier;
using Clock = std::chrono::steady_clock;

namespace {

class SortedSource : public MatchSource {
 public:
  explicit SortedSource(std::vector<std::string> codes) : codes_(std::move(codes)) {
    std::sort(codes_.begin(), codes_.end());
  }
  bool find(int, std::string_view code) override {
    at_ = static_cast<std::size_t>(std::lower_bound(codes_.begin(), codes_.end(), code) - codes_.begin());
    return at_ < codes_.size() && codes_[at_] == code;
  }
  bool seek(int, std::string_view low) override {
    at_ = static_cast<std::size_t>(std::lower_bound(codes_.begin(), codes_.end(), low) - codes_.begin());
    return at_ < codes_.size();
  }
  bool next() override { return ++at_ < codes_.size(); }
  int year() const override { return 2008; }
  std::string_view code() const override { return codes_[at_]; }

 private:
  std::vector<std::string> codes_;
  std::size_t at_ = 0;
};

// 1,000 accounts 4000..4999 with department 10, the rest outside the range.
std::vector<std::string> codes(int total) {
  std::vector<std::string> out;
  char text[16];
  for (int i = 0; i < 1000; ++i) {
    std::snprintf(text, sizeof text, "%04d10", 4000 + i);
    out.emplace_back(text);
  }
  for (int i = 0; out.size() < static_cast<std::size_t>(total); ++i) {
    const int account = i % 2 ? 1000 + i / 20 % 3000 : 5000 + i / 20 % 5000;
    std::snprintf(text, sizeof text, "%04d%02d", account, 20 + i % 20);
    out.emplace_back(text);
  }
  return out;
}

double walk_seconds(SortedSource& source, int repeats, int* matches) {
  AccountStructure s;
  s.segment_count = 2;
  s.width[0] = 4;
  s.width[1] = 2;
  std::vector<std::string> list;
  expand_specifier("4000..4999-*", 2, list);
  const auto start = Clock::now();
  for (int r = 0; r < repeats; ++r) {
    AccountWalk walk(source, s, WalkOptions{});
    *matches = 0;
    for (int st = walk.first(list, 2008); st == kFound; st = walk.next()) ++*matches;
  }
  return std::chrono::duration<double>(Clock::now() - start).count() / repeats;
}

}  // namespace

int main() {
  constexpr int kParses = 1000000;
  PeriodCalendar cal;
  cal.current_period = 5;
  double sink = 0;
  AmountTable table;
  const auto start = Clock::now();
  for (int i = 0; i < kParses; ++i) {
    PeriodList list;
    parse_period_list("Year to Date Last Year Budget", list);
    const Resolved r = resolve(list.entries[0], cal);
    if (const auto* range = std::get_if<PeriodRange>(&r)) sink += range->length;
    else kovo::clear_message();
  }
  const double parse_ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kParses;
  std::printf("parse and resolve \"Year to Date Last Year Budget\": %.0f ns each (%d times)\n", parse_ns, kParses);

  SortedSource small(codes(10000)), large(codes(100000));
  int small_matches = 0, large_matches = 0;
  const double t_small = walk_seconds(small, 200, &small_matches);
  const double t_large = walk_seconds(large, 200, &large_matches);
  std::printf("walk \"4000..4999-*\" over 10,000 records: %.1f us, %d matches\n", t_small * 1e6, small_matches);
  std::printf("walk \"4000..4999-*\" over 100,000 records: %.1f us, %d matches\n", t_large * 1e6, large_matches);
  std::printf("ratio 100,000 / 10,000: %.2f\n", t_large / t_small);
  return sink < 0 ? 1 : 0;
}
