#include <gtest/gtest.h>

#include "fuzz_support.h"

#include <random>
#include <string>
#include <vector>

#include "entry/messages.h"
#include "specifier/account_specifier.h"
#include "specifier/period.h"
#include "specifier/period_range.h"

using namespace kovo;
using namespace kovo::specifier;

namespace {

// Mutated period phrases: every refusal carries a message, every accepted
// descriptor resolves or refuses without reading outside the amount table.
TEST(PeriodFuzz, MutatedPhrasesAreRefusedWithAMessageOrResolve) {
  std::mt19937 random(kovo::testing::fuzz_seed(7122026));
  const long long rounds = kovo::testing::fuzz_rounds(60000);
  const std::vector<std::string> seeds = {
      "This Month", "Year to Date Last Year Budget", "3 Months Ago", "Running Year",
      "Quarter 4,Month 13", "Opening Balance March", "Running 12 Months Changes", "Half Year 2"};
  const std::string alphabet = "abcdefghijklmnopqrstuvwxyz 0123456789,";
  AmountTable table;
  for (long long round = 0; round < rounds; ++round) {
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
  kovo::testing::report_fuzz_executions(rounds);
  std::string long_phrase;
  for (int i = 0; i < 200; ++i) long_phrase += "month ";
  clear_message();
  PeriodList list;
  EXPECT_NE(parse_period_list(long_phrase, list), 0);
  EXPECT_TRUE(message_pending());
}

std::string random_bytes(std::mt19937& random, std::size_t max_length) {
  std::string text(random() % (max_length + 1), '\0');
  for (char& c : text) c = static_cast<char>(random() % 256);
  return text;
}

// Bytes of any value, embedded NULs included, straight into the list parser.
TEST(PeriodFuzz, ArbitraryBytesNeverPassUnreported) {
  std::mt19937 random(kovo::testing::fuzz_seed(1312));
  const long long rounds = kovo::testing::fuzz_rounds(50000);
  for (long long round = 0; round < rounds; ++round) {
    const std::string text = random_bytes(random, 48);
    clear_message();
    PeriodList list;
    const int status = parse_period_list(text, list);
    if (status != 0) EXPECT_TRUE(message_pending()) << round;
    else EXPECT_LE(list.count, kMaxPeriodSpecifiers);
  }
  kovo::testing::report_fuzz_executions(rounds);
}

AccountStructure random_structure(std::mt19937& random) {
  AccountStructure s;
  s.segment_count = 1 + static_cast<int>(random() % 9);
  for (int i = 0; i < s.segment_count; ++i) s.width[static_cast<std::size_t>(i)] = 1 + static_cast<int>(random() % 8);
  return s;
}

// Mutated specifiers and raw bytes, against structures of one to nine
// segments: expansion and validation refuse with a message or hand back
// simple specifiers whose scan keys fit the code length.
TEST(AccountFuzz, ExpansionAndValidationOverManyStructures) {
  std::mt19937 random(kovo::testing::fuzz_seed(2026));
  const long long rounds = kovo::testing::fuzz_rounds(20000);
  const std::vector<std::string> seeds = {
      "4000-10", "4*-10", "4???-*", "4000..4999-10", "4000..49*9-10", "4000-10,5000-10",
      "(4000,5000)(10,20)", "4^00-^(1,2)(10)", "4000-10-01", "(1,2,3)(a..b)(?)", "4^^-^(1,2)(3)(x,y)"};
  const std::string alphabet = "0123456789-,()^*?.~ az";
  const EntityLookup entities = [](int position, std::string_view name) -> std::optional<std::string> {
    if (name == "ALL") return "*";
    if (name == "TWO") return "1,2";
    if (name == "SELF") return "SELF," + std::to_string(position);
    return std::nullopt;
  };
  for (long long round = 0; round < rounds; ++round) {
    const AccountStructure structure = random_structure(random);
    std::string text;
    if (round % 4 == 0) {
      text = random_bytes(random, 40);
    } else {
      text = seeds[random() % seeds.size()];
      const int edits = static_cast<int>(random() % 6);
      for (int e = 0; e < edits; ++e) {
        const std::size_t at = random() % (text.size() + 1);
        if (random() % 3 == 0 && at < text.size()) text.erase(at, 1);
        else if (random() % 5 == 0) text.insert(at, random() % 2 ? "all" : "self");
        else text.insert(at, 1, alphabet[random() % alphabet.size()]);
      }
    }
    clear_message();
    std::vector<std::string> out;
    if (expand_specifier(text, structure.segment_count, out, entities) != 0) {
      EXPECT_TRUE(message_pending()) << text;
      continue;
    }
    ASSERT_LE(out.size(), kMaxExpandedSpecifiers);
    for (std::size_t i = 0; i < out.size() && i < 64; ++i) {
      std::string simple = out[i];
      clear_message();
      if (validate_specifier(simple, structure) != 0) {
        EXPECT_TRUE(message_pending()) << simple;
        continue;
      }
      const SpecifierMatcher m(simple, structure);
      const auto length = static_cast<std::size_t>(structure.code_length());
      EXPECT_EQ(m.low_key().size(), length) << simple;
      EXPECT_EQ(m.high_key().size(), length) << simple;
      (void)m.matches(random_bytes(random, length + 2));
      (void)m.beyond_high(random_bytes(random, 30));
    }
  }
  kovo::testing::report_fuzz_executions(rounds);
}

}  // namespace
