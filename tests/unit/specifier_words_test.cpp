// Word scanner: the whole keyword table, every keyword read back as itself,
// and the phrase-level rules (separators, merging, word limit).
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "entry/messages.h"
#include "specifier/period_words.h"

namespace kovo::specifier {
namespace {

class ScannerTest : public ::testing::Test {
 protected:
  void SetUp() override { clear_message(); }
  void TearDown() override { clear_message(); }
};

struct Block {
  std::size_t first;  // table index of the block's first entry
  std::vector<std::string_view> texts;
  std::vector<std::uint32_t> values;  // one per text, or one for the whole block
  WordClass cls;
};

// The table written out block by block, as the accountants' manual lists it.
const std::vector<Block>& expected_blocks() {
  using C = WordClass;
  static const std::vector<Block> blocks = {
      {0, {"DEBITS", "CREDITS"}, {32769, 32770}, C::Qualifier},
      {2, {"PERIODS", "MONTHS", "QUARTERS", "QTRS", "HALFYEARLY", "SEMIANNUALLY", "YEARS", "YRS",
           "YTD", "ANNUALLY", "RUNNING"},
       {0, 1, 2, 2, 3, 3, 4, 4, 4, 4, 2048}, C::Span},
      {67, {"JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY", "AUGUST", "SEPTEMBER",
            "OCTOBER", "NOVEMBER", "DECEMBER"},
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, C::Month},
      {79, {"BALANCES", "CHANGES", "TRANSACTIONS", "CLOSING", "ENDING", "OPENING", "STARTING",
            "BEGINNING", "ACTUAL", "BUDGETED"},
       {7, 8, 8, 255, 255, 256, 256, 256, 511, 512}, C::Qualifier},
      {89, {"PREVIOUS", "LAST", "PRIOR"}, {1}, C::Modifier},
      {92, {"AGO", "BEFORE", "CURRENT", "TOTAL", "THIS", "PRESENT", "FOR", "TO", "DATE", "IN", "ON",
            "OF", "AT", "THE", "NET"},
       {0}, C::Filler},
  };
  return blocks;
}

TEST_F(ScannerTest, EveryKeywordHasItsPlaceValueAndClass) {
  const auto table = keyword_table();
  std::size_t checked = 0;
  for (const auto& b : expected_blocks()) {
    for (std::size_t i = 0; i < b.texts.size(); ++i) {
      const Keyword& k = table[b.first + i];
      const std::uint32_t value = b.values.size() == 1 ? b.values[0] : b.values[i];
      EXPECT_EQ(k.text, b.texts[i]) << b.first + i;
      EXPECT_EQ(k.value, value) << k.text;
      EXPECT_EQ(k.word_class, b.cls) << k.text;
      ++checked;
    }
  }
  for (std::uint32_t n = 7; n <= 60; ++n) {
    const Keyword& k = table[13 + n - 7];
    EXPECT_EQ(k.text, std::to_string(n));
    EXPECT_EQ(k.value, n);
    EXPECT_EQ(k.word_class, WordClass::Number);
    ++checked;
  }
  EXPECT_EQ(checked, kKeywordCount);
}

// A keyword written out in full, in any case, is never refused and always
// carries its own value (a later keyword sharing the prefix has the same value).
TEST_F(ScannerTest, EveryKeywordReadsBackAsItself) {
  for (const Keyword& k : keyword_table()) {
    std::string lower(k.text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& text : {std::string(k.text), lower}) {
      Word w;
      ASSERT_EQ(classify_word(text, w), Classified::Found) << text;
      EXPECT_EQ(w.value, k.value) << text;
    }
  }
}

TEST_F(ScannerTest, PrefixesTakeTheFirstEntryInTableOrder) {
  struct Case {
    const char* word;
    Classified result;
    std::uint32_t value;
    WordClass cls;
  };
  const Case cases[] = {
      {"5", Classified::Found, 5, WordClass::Number},     // before "50".."59"
      {"12", Classified::Found, 12, WordClass::Number},
      {"TRANS", Classified::Found, 8, WordClass::Qualifier},
      {"Y", Classified::Found, 4, WordClass::Span},       // YEARS, YRS, YTD all 4
      {"BE", Classified::Ambiguous, 0, WordClass::None},  // BEFORE 0, BEGINNING 256
      {"BEG", Classified::Found, 256, WordClass::Qualifier},
      {"JUN", Classified::Found, 6, WordClass::Month},
      {"JUL", Classified::Found, 7, WordClass::Month},
      {"PRES", Classified::Found, 0, WordClass::Filler},
      {"PRI", Classified::Found, 1, WordClass::Modifier},
      {"O", Classified::Ambiguous, 0, WordClass::None},
      {"OC", Classified::Found, 10, WordClass::Month},
      {"NE", Classified::Found, 0, WordClass::Filler},      // "N" alone is NOVEMBER or NET
      {"MAYBE", Classified::Unknown, 0, WordClass::None},
      {"07", Classified::Unknown, 0, WordClass::None},
      {"-1", Classified::Unknown, 0, WordClass::None},
      {"", Classified::Unknown, 0, WordClass::None},
  };
  for (const auto& c : cases) {
    Word w;
    const Classified got = classify_word(c.word, w);
    EXPECT_EQ(got, c.result) << c.word;
    if (got == Classified::Found && c.result == Classified::Found) {
      EXPECT_EQ(w.value, c.value) << c.word;
      EXPECT_EQ(w.word_class, c.cls) << c.word;
    }
  }
}

std::vector<std::pair<WordClass, std::uint32_t>> words_of(const WordList& list) {
  std::vector<std::pair<WordClass, std::uint32_t>> out;
  for (const Word& w : list) {
    if (w.is(WordClass::None)) break;
    out.emplace_back(w.word_class, w.value);
  }
  return out;
}

TEST_F(ScannerTest, PhrasesCutAtEverySeparatorAndMergeHalfYears) {
  using C = WordClass;
  using Words = std::vector<std::pair<WordClass, std::uint32_t>>;
  const struct {
    const char* phrase;
    Words words;
  } cases[] = {
      {"this/month\\3;ago,of:the.net\tmonth", {{C::Filler, 0}, {C::Span, 1}, {C::Number, 3},
                                              {C::Filler, 0}, {C::Filler, 0}, {C::Filler, 0},
                                              {C::Filler, 0}, {C::Span, 1}}},
      {"--Month--", {{C::Span, 1}}},
      {"Semiannually Years", {{C::Span, 3}}},
      {"Half Year Year Year", {{C::Span, 3}, {C::Span, 4}, {C::Span, 4}}},
      {"Half Year Half Year", {{C::Span, 3}, {C::Span, 3}}},
      {"Year Half", {{C::Span, 4}, {C::Span, 3}}},
      {"Half Last Year", {{C::Span, 3}, {C::Modifier, 1}, {C::Span, 4}}},
      {"", {}},
      {" ,;. ", {}},
  };
  for (const auto& c : cases) {
    WordList list;
    ASSERT_TRUE(scan_words(c.phrase, list)) << c.phrase;
    EXPECT_EQ(words_of(list), c.words) << c.phrase;
  }
}

TEST_F(ScannerTest, ALongPhraseIsRefusedWithoutOverrunningTheList) {
  // 80 words fit even when half-year merging has dropped some on the way
  std::string fits;
  for (int i = 0; i < 40; ++i) fits += "half year the ";
  WordList list;
  ASSERT_TRUE(scan_words(fits, list));
  EXPECT_TRUE(list[kMaxPhraseWords].is(WordClass::None));

  std::string words;
  for (int i = 0; i < 500; ++i) words += "month ";
  EXPECT_FALSE(scan_words(words, list));
  EXPECT_EQ(last_error_number(), 16);
  EXPECT_NE(pending_message().find("Too many words in period specifier"), std::string_view::npos);

  // a bad word before the limit is reported as itself
  clear_message();
  std::string bad = "month xyz";
  for (int i = 0; i < 100; ++i) bad += " month";
  EXPECT_FALSE(scan_words(bad, list));
  EXPECT_EQ(last_error_number(), 17);
}

}  // namespace
}  // namespace kovo::specifier
