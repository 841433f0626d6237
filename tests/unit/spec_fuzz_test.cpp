#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "entry/messages.h"
#include "spec/period.h"
#include "spec/period_range.h"

using namespace kovo;
using namespace kovo::spec;

namespace {

// Mutated period phrases: every refusal carries a message, every accepted
// descriptor resolves or refuses without reading outside the amount table.
TEST(PeriodFuzz, MutatedPhrasesAreRefusedWithAMessageOrResolve) {
  std::mt19937 random(7122026);
  const std::vector<std::string> seeds = {
      "This Month", "Year to Date Last Year Budget", "3 Months Ago", "Running Year",
      "Quarter 4,Month 13", "Opening Balance March", "Running 12 Months Changes", "Half Year 2"};
  const std::string alphabet = "abcdefghijklmnopqrstuvwxyz 0123456789,";
  AmountTable table;
  for (int round = 0; round < 20000; ++round) {
    std::string text = seeds[random() % seeds.size()];
    const int edits = 1 + static_cast<int>(random() % 5);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % (text.size() + 1);
      const char c = random() % 5 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
      if (random() % 3 == 0 && at < text.size()) text.erase(at, 1);
      else text.insert(at, 1, c);
    }
    clear_message();
    PeriodList list;
    const int status = parse_period_list(text, list);
    if (status != 0) {
      EXPECT_TRUE(message_pending()) << text;
      continue;
    }
    for (std::size_t i = 0; i < list.count; ++i) {
      for (int current = 1; current <= 13; current += 6) {
        PeriodCalendar cal;
        cal.current_period = current;
        (void)evaluate(list.entries[i], cal, AccountKind::Balance, table);
        (void)evaluate(list.entries[i], cal, AccountKind::Other, table);
      }
    }
  }
  std::string long_phrase;
  for (int i = 0; i < 200; ++i) long_phrase += "month ";
  clear_message();
  PeriodList list;
  EXPECT_NE(parse_period_list(long_phrase, list), 0);
  EXPECT_TRUE(message_pending());
}

}  // namespace
