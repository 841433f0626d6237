// Fuzzing of the formula parser: mutated formulas in both notations either
// fail with a message and a place inside the text, or print back to a text
// that parses to the same formula.
#include <gtest/gtest.h>

#include "fuzz_support.h"

#include <random>
#include <string>
#include <vector>

#include "sheethost/formula.h"

using namespace kovo::sheet;

namespace {

TEST(SheetFormulaFuzz, MutatedFormulasFailCleanlyOrRoundTrip) {
  std::mt19937 random(kovo::testing::fuzz_seed(20261207));
  const long long rounds = kovo::testing::fuzz_rounds(40000);
  const std::vector<std::string> seeds = {
      "=SUM(A1:B10)*2-C3/D$4", "=IF(AND(A1>0,NOT(B2)),\"yes\",CONCATENATE(\"a\",B1))",
      "=R[-1]C+RC[-2]*R1C1", "=ROUND(ABS(-2.5E+3),2)&'My Sheet'!$Z$99", "=(A1:A3,C1)",
      "=GL(\"4000-??\",\"Year to Date\",\"DEMO\")", "=-2^2%+#N/A", "=SUM(1:3,C:D)", "=[Book2]Sheet1!IV65536",
      "=OR(TRUE,FALSE,1<>2,\"a\"<=\"b\")"};
  const std::string alphabet = "=+-*/^&<>%(),:;!$'\"[]#.ABCRrc019 EN";
  int parsed_count = 0;
  for (long long round = 0; round < rounds; ++round) {
    std::string text = seeds[random() % seeds.size()];
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % (text.size() + 1);
      const char c = random() % 7 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
      if (random() % 3 == 0 && at < text.size()) text.erase(at, 1);
      else text.insert(at, 1, c);
    }
    for (RefStyle style : {RefStyle::A1, RefStyle::R1C1}) {
      ParseOptions o;
      o.style = style;
      o.owner = {static_cast<int>(random() % 20), static_cast<int>(random() % 20)};
      auto first = parse_formula(text, o);
      if (!first.formula) {
        EXPECT_FALSE(first.error.empty()) << text;
        EXPECT_LE(first.position, text.size()) << text;
        continue;
      }
      ++parsed_count;
      PrintOptions p;
      p.style = style;
      p.owner = o.owner;
      const std::string printed = print_formula(*first.formula, p);
      auto second = parse_formula(printed, o);
      ASSERT_TRUE(second.formula) << text << " printed as " << printed << ": " << second.error;
      EXPECT_EQ(print_formula(*second.formula, p), printed) << text;
    }
  }
  EXPECT_GT(parsed_count, rounds / 40);
  kovo::testing::report_fuzz_executions(rounds);
}

TEST(SheetFormulaFuzz, RandomBytesNeverCrashTheParser) {
  std::mt19937 random(kovo::testing::fuzz_seed(42));
  const long long rounds = kovo::testing::fuzz_rounds(20000);
  for (long long round = 0; round < rounds; ++round) {
    std::string text = "=";
    const std::size_t n = random() % 40;
    for (std::size_t i = 0; i < n; ++i) text += static_cast<char>(random() % 256);
    ParseOptions o;
    (void)parse_formula_any(text, o);
  }
  kovo::testing::report_fuzz_executions(rounds);
}

}  // namespace
