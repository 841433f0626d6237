// Period phrases: word scanner, grammar, period list, resolution and range value.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "entry/messages.h"
#include "specifier/period.h"
#include "specifier/period_range.h"
#include "specifier/period_words.h"

namespace kovo::specifier {
namespace {

namespace pf = period_flags;

class PeriodTest : public ::testing::Test {
 protected:
  void SetUp() override { clear_message(); }
  void TearDown() override { clear_message(); }
};

using WordsTest = PeriodTest;

TEST_F(WordsTest, KeywordTableHasItsOrderAndNumbers) {
  const auto table = keyword_table();
  EXPECT_EQ(table[0].text, "DEBITS");
  EXPECT_EQ(table[12].text, "RUNNING");
  EXPECT_EQ(table[13].text, "7");
  EXPECT_EQ(table[13].value, 7u);
  EXPECT_EQ(table[66].text, "60");
  EXPECT_EQ(table[66].word_class, WordClass::Number);
  EXPECT_EQ(table[67].text, "JANUARY");
  EXPECT_EQ(table[79].text, "BALANCES");
  EXPECT_EQ(table[106].text, "NET");
}

// The whole table in its search order: one class letter per entry, and the
// values of the entries other than the numbers 7 to 60.
TEST_F(WordsTest, KeywordTableClassesAndValuesInOrder) {
  const auto table = keyword_table();
  std::string classes;
  for (const auto& k : table) classes += static_cast<char>(k.word_class);
  EXPECT_EQ(classes, "UUSSSSSSSSSSS" + std::string(54, 'V') + std::string(12, 'D') + "UUUUUUUUUU" +
                         "MMM" + std::string(15, 'N'));
  const std::uint32_t leading[] = {32769, 32770, 0, 1, 2, 2, 3, 3, 4, 4, 4, 4, 2048};
  for (std::size_t i = 0; i < std::size(leading); ++i) EXPECT_EQ(table[i].value, leading[i]) << i;
  for (std::size_t i = 13; i <= 66; ++i) {
    EXPECT_EQ(table[i].value, i - 6) << i;
    EXPECT_EQ(table[i].text, std::to_string(i - 6)) << i;
  }
  for (std::size_t m = 0; m < 12; ++m) EXPECT_EQ(table[67 + m].value, m + 1);
  const std::uint32_t qualifiers[] = {7, 8, 8, 255, 255, 256, 256, 256, 511, 512, 1, 1, 1};
  for (std::size_t i = 0; i < std::size(qualifiers); ++i) EXPECT_EQ(table[79 + i].value, qualifiers[i]) << i;
  for (std::size_t i = 92; i < kKeywordCount; ++i) EXPECT_EQ(table[i].value, 0u) << table[i].text;
  EXPECT_EQ(table[81].text, "TRANSACTIONS");
  EXPECT_EQ(table[95].text, "TOTAL");  // before TO, so "TO" is found as TOTAL
  EXPECT_EQ(table[99].text, "TO");
}

TEST_F(WordsTest, AmbiguousAbbreviations) {
  for (const char* w : {"M", "J", "JU", "S", "SE", "B", "C", "D", "DE", "P", "PR", "PRE", "N", "O",
                        "T", "F", "A", "Ma", "ma"}) {
    Word word;
    EXPECT_EQ(classify_word(w, word), Classified::Ambiguous) << w;
  }
}

TEST_F(WordsTest, UnambiguousAbbreviations) {
  struct Case {
    const char* word;
    std::uint32_t value;
    WordClass cls;
  };
  const Case cases[] = {
      {"L", 1, WordClass::Modifier},      {"R", 2048, WordClass::Span},
      {"Y", 4, WordClass::Span},          {"H", 3, WordClass::Span},
      {"E", 255, WordClass::Qualifier},   {"BU", 512, WordClass::Qualifier},
      {"CH", 8, WordClass::Qualifier},    {"CL", 255, WordClass::Qualifier},
      {"CR", 32770, WordClass::Qualifier}, {"DEB", 32769, WordClass::Qualifier},
      {"OP", 256, WordClass::Qualifier},  {"ST", 256, WordClass::Qualifier},
      {"SEM", 3, WordClass::Span},        {"AP", 4, WordClass::Month},
      {"Q", 2, WordClass::Span},          {"Qtr", 2, WordClass::Span},
      {"Qu", 2, WordClass::Span},         {"MON", 1, WordClass::Span},
      {"Month", 1, WordClass::Span},      {"MONTHS", 1, WordClass::Span},
      {"TO", 0, WordClass::Filler},       {"TH", 0, WordClass::Filler},
      {"1", 1, WordClass::Number},        {"6", 6, WordClass::Number},
      {"7", 7, WordClass::Number},        {"60", 60, WordClass::Number},
      {"Budget", 512, WordClass::Qualifier}, {"december", 12, WordClass::Month},
  };
  for (const auto& c : cases) {
    Word word;
    ASSERT_EQ(classify_word(c.word, word), Classified::Found) << c.word;
    EXPECT_EQ(word.value, c.value) << c.word;
    EXPECT_EQ(word.word_class, c.cls) << c.word;
  }
}

TEST_F(WordsTest, UnknownWords) {
  for (const char* w : {"0", "61", "99", "MONTHSX", "xyz", "1a"}) {
    Word word;
    EXPECT_EQ(classify_word(w, word), Classified::Unknown) << w;
  }
}

TEST_F(WordsTest, CuttingCaseAndMerging) {
  WordList upper, lower;
  ASSERT_TRUE(scan_words("THIS MONTH", upper));
  ASSERT_TRUE(scan_words("this month", lower));
  EXPECT_EQ(lower[0].word_class, WordClass::Filler);
  EXPECT_TRUE(lower[1].is_span(1));
  EXPECT_EQ(upper[1].value, lower[1].value);

  WordList w;
  ASSERT_TRUE(scan_words("Month-3", w));
  EXPECT_TRUE(w[0].is_span(1));
  EXPECT_EQ(w[1].word_class, WordClass::Number);
  EXPECT_EQ(w[1].value, 3u);

  ASSERT_TRUE(scan_words("  Half//Year\t", w));
  EXPECT_TRUE(w[0].is_span(3));
  EXPECT_TRUE(w[1].is(WordClass::None));

  ASSERT_TRUE(scan_words("Half Year Last Year", w));
  EXPECT_TRUE(w[0].is_span(3));
  EXPECT_TRUE(w[1].is(WordClass::Modifier));
  EXPECT_TRUE(w[2].is_span(4));

  ASSERT_TRUE(scan_words("Half Year Year", w));  // only one year word is absorbed
  EXPECT_TRUE(w[1].is_span(4));

  ASSERT_TRUE(scan_words("Running 12 Months", w));
  EXPECT_TRUE(w[0].is_span(2048));
  EXPECT_EQ(w[1].value, 12u);
  EXPECT_TRUE(w[2].is_span(1));
}

TEST_F(WordsTest, RefusalsCarryTheWord) {
  PeriodDescriptor d;
  EXPECT_FALSE(scan_phrase("This Ma", d));
  EXPECT_EQ(last_error_number(), 18);
  EXPECT_EQ(pending_message(), "Kovo [CYMA] Ambiguous period specifier - Ma");
  clear_message();
  EXPECT_FALSE(scan_phrase("Month 61", d));
  EXPECT_EQ(pending_message(), "Kovo [CYMA] Invalid period specifier - 61");
}

TEST_F(WordsTest, PhraseOfMoreThan80WordsIsRefused) {
  std::string eighty, more;
  for (int i = 0; i < 80; ++i) eighty += "the ";
  more = eighty + "the";
  WordList w;
  EXPECT_TRUE(scan_words(eighty, w));
  EXPECT_TRUE(w[80].is(WordClass::None));
  EXPECT_FALSE(scan_words(more, w));
  EXPECT_EQ(last_error_number(), 16);
  EXPECT_TRUE(message_pending());
}

// ------------------------------------------------------------------ grammar

struct GrammarCase {
  const char* phrase;
  std::uint32_t flags;
  int number;
};

TEST_F(PeriodTest, GrammarFlags) {
  const GrammarCase cases[] = {
      {"This Month", 1, 0},
      {"Last Month", pf::kModeRelative | 1, 1},
      {"Month 3", pf::kModeAbsolute | 1, 3},
      {"3", pf::kModeAbsolute, 3},
      {"3 Months Ago", pf::kModeRelative | 1, 3},
      {"Quarter 4", pf::kModeAbsolute | 2, 4},
      {"Year to Date", 4, 0},
      {"YTD", 4, 0},
      {"Year to Date Last Year", 4 | pf::kLastYear, 0},
      {"Year to date Month 5", pf::kModeAbsolute | 1 | pf::kToDate, 5},
      {"This Month Last Year", 1 | pf::kLastYear, 0},
      {"1 Year Ago", 4 | pf::kLastYear, 0},
      {"2 Years Ago", 4 | 128, 0},
      {"Running Year", pf::kRunningYear, 0},
      {"Running 12 Months", pf::kRunningMonth | pf::kModeRelative | 1, 12},
      {"Running Quarter", pf::kRunningQuarter, 0},
      {"Running", pf::kRunningMonth, 0},
      {"March Opening Balance", pf::kMonthName | pf::kModeAbsolute | pf::kOpening, 3},
      {"Month 1 Change", pf::kModeAbsolute | 1 | pf::kChange, 1},
      {"Quarter 2 Budget", pf::kModeAbsolute | 2 | pf::kBudget, 2},
      {"Half Year Last Year", 3 | pf::kLastYear, 0},
      {"Year to Date Last Year Budget", 4 | pf::kLastYear | pf::kBudget, 0},
      {"Actual Closing", 0, 0},
      {"Month 2 Year", pf::kModeAbsolute | 1 | pf::kToDate, 2},
  };
  for (const auto& c : cases) {
    PeriodDescriptor d;
    ASSERT_TRUE(scan_phrase(c.phrase, d)) << c.phrase << ": " << pending_message();
    EXPECT_EQ(d.flags, c.flags) << c.phrase;
    EXPECT_EQ(d.number, c.number) << c.phrase;
  }
}

TEST_F(PeriodTest, DebitsAndCreditsSelectOnlyTheSelector) {
  PeriodDescriptor d;
  ASSERT_TRUE(scan_phrase("Debits This Month Credits", d));
  EXPECT_EQ(d.debit_credit, DebitCredit::Credits);
  EXPECT_EQ(d.flags, 1u);
}

TEST_F(PeriodTest, GrammarRefusals) {
  const struct {
    const char* phrase;
    int message;
  } cases[] = {
      {"Actual Budget", 25},         {"Running Balances", 12},  {"Balances Running", 12},
      {"Balances Changes", 22},      {"Opening Closing", 24},   {"Month Quarter", 21},
      {"Year Year Year", 20},        {"Last Year 2 Years", 20}, {"Last Month 3 Months Ago", 23},
      {"Running Month Running Quarter", 23}, {"5 Years Ago", 7},
  };
  for (const auto& c : cases) {
    clear_message();
    PeriodDescriptor d;
    EXPECT_FALSE(scan_phrase(c.phrase, d)) << c.phrase;
    EXPECT_EQ(last_error_number(), c.message) << c.phrase;
    EXPECT_TRUE(message_pending()) << c.phrase;
  }
  clear_message();
  PeriodDescriptor d;
  EXPECT_FALSE(scan_phrase("5 Years Ago", d));
  EXPECT_EQ(pending_message(), "Kovo [CYMA] Special Error - Invalid year parameter");
}

// ---------------------------------------------------------------- the list

TEST_F(PeriodTest, ListSplitsAtCommas) {
  PeriodList list;
  const std::string text = "Month, Quarter";
  ASSERT_EQ(parse_period_list(text, list), 0);
  ASSERT_EQ(list.count, 2u);
  EXPECT_EQ(list.entries[0].flags, 1u);
  EXPECT_EQ(list.entries[1].flags, 2u);
  EXPECT_EQ(text.substr(list.entries[1].text_offset, list.entries[1].text_length), "Quarter");
}

TEST_F(PeriodTest, ListRefusals) {
  std::string thirty_seven;
  for (int i = 0; i < 37; ++i) thirty_seven += i ? ",Month" : "Month";
  const struct {
    std::string text;
    int message;
  } cases[] = {
      {",Month", 5}, {"Month,", 5}, {"Month,,Quarter", 5}, {"Month, ,Quarter", 5},
      {"Month,  ", 5}, {thirty_seven, 6}, {"Month,Bogus", 17},
  };
  for (const auto& c : cases) {
    clear_message();
    PeriodList list;
    EXPECT_EQ(parse_period_list(c.text, list), c.message) << c.text;
    EXPECT_TRUE(message_pending()) << c.text;
    EXPECT_EQ(list.count, 0u);
  }
  std::string thirty_six = thirty_seven.substr(0, thirty_seven.rfind(','));
  PeriodList list;
  clear_message();
  EXPECT_EQ(parse_period_list(thirty_six, list), 0);
  EXPECT_EQ(list.count, 36u);
}

TEST_F(PeriodTest, MonthNameMapsOntoFiscalPeriods) {
  PeriodCalendar cal;  // a year starting in July
  for (int i = 0; i < 12; ++i) cal.period_month[i] = static_cast<std::uint8_t>((i + 6) % 12 + 1);
  PeriodDescriptor d;
  ASSERT_TRUE(scan_phrase("March", d));
  map_month_name(d, cal);
  EXPECT_EQ(d.number, 9);
  PeriodDescriptor unknown;
  ASSERT_TRUE(scan_phrase("March", unknown));
  map_month_name(unknown, PeriodCalendar{});  // no dates: the number stays
  EXPECT_EQ(unknown.number, 3);
}

// ---------------------------------------------------------------- resolving

PeriodCalendar calendar(int current_period, int periods = 12) {
  PeriodCalendar c;
  c.current_period = current_period;
  c.periods_per_year = periods;
  return c;
}

Resolved resolve_phrase(const char* phrase, const PeriodCalendar& cal) {
  PeriodDescriptor d;
  EXPECT_TRUE(scan_phrase(phrase, d)) << phrase;
  return resolve(d, cal);
}

struct RangeCase {
  const char* phrase;
  int current_period;
  int first, last, year;
};

TEST_F(PeriodTest, ResolvesTheEdgeCases) {
  const RangeCase cases[] = {
      {"This Month", 5, 4, 4, 0},         {"Last Month", 5, 3, 3, 0},
      {"Last Month", 1, 11, 11, 1},       {"Month 3", 5, 2, 2, 0},
      {"3", 5, 2, 2, 0},                  {"Period 13", 5, 12, 12, 0},
      {"This Quarter", 5, 3, 4, 0},       {"Quarter 4", 5, 9, 12, 0},
      {"Year to Date", 5, 0, 4, 0},       {"YTD", 5, 0, 4, 0},
      {"Year to Date Last Year", 5, 0, 4, 1}, {"Year to date Month 5", 5, 0, 4, 0},
      {"Year to date Month 1", 5, 0, 0, 0}, {"This Month Last Year", 5, 4, 4, 1},
      {"3 Months Ago", 5, 1, 1, 0},       {"Last Quarter", 5, 0, 2, 0},
      {"Month 1 Change", 5, 0, 0, 0},
      {"Quarter 1", 5, 0, 2, 0},          {"Half Year 2", 5, 6, 12, 0},
  };
  for (const auto& c : cases) {
    const Resolved r = resolve_phrase(c.phrase, calendar(c.current_period));
    ASSERT_TRUE(std::holds_alternative<PeriodRange>(r))
        << c.phrase << " c=" << c.current_period << " -> " << std::get<int>(r);
    const auto& range = std::get<PeriodRange>(r);
    EXPECT_EQ(range.start, c.first) << c.phrase;
    EXPECT_EQ(range.start + range.length, c.last) << c.phrase;
    EXPECT_EQ(range.year, c.year) << c.phrase;
  }
}

TEST_F(PeriodTest, ThirteenthPeriodBelongsToTheLastQuarterOfAnEarlierYear) {
  PeriodCalendar cal = calendar(13);
  cal.is_current_year = false;  // the current-year refusal (27) does not apply
  const Resolved r = resolve_phrase("This Quarter", cal);
  ASSERT_TRUE(std::holds_alternative<PeriodRange>(r));
  EXPECT_EQ(std::get<PeriodRange>(r).start, 9);
  EXPECT_EQ(std::get<PeriodRange>(r).start + std::get<PeriodRange>(r).length, 12);
}

TEST_F(PeriodTest, RunningYearSpansTwoYears) {
  const Resolved r = resolve_phrase("Running Year", calendar(5));
  ASSERT_TRUE(std::holds_alternative<PeriodRange>(r));
  const auto& range = std::get<PeriodRange>(r);
  EXPECT_EQ(range.start, 4);  // the period before the window, last year
  EXPECT_EQ(range.year, 1);
  EXPECT_EQ(range.current, 4);
  EXPECT_EQ(range.end_year, 0);
  EXPECT_TRUE(range.running);
}

TEST_F(PeriodTest, ResolutionRefusals) {
  const struct {
    const char* phrase;
    int current_period;
    bool current_year;
    int message;
  } cases[] = {
      {"This Quarter Last Year Budget", 5, true, 11},
      {"Opening Changes", 5, true, 14},
      {"2 Years Ago", 5, true, 11},
      {"Last Month Budget", 1, true, 11},
      {"Last Year Last Month", 1, true, 11},
      {"This Quarter", 13, true, 27},
      {"Month 14", 5, true, 11},   // beyond the thirteen periods of the table
      {"Quarter 5", 5, true, 11},
      {"Year to Date Last Year Budget", 5, true, 11},
  };
  for (const auto& c : cases) {
    PeriodCalendar cal = calendar(c.current_period);
    cal.is_current_year = c.current_year;
    const Resolved r = resolve_phrase(c.phrase, cal);
    ASSERT_TRUE(std::holds_alternative<int>(r)) << c.phrase;
    EXPECT_EQ(std::get<int>(r), c.message) << c.phrase;
  }
  EXPECT_TRUE(std::holds_alternative<int>(resolve_phrase("This Month", calendar(0))));
  EXPECT_TRUE(std::holds_alternative<int>(resolve_phrase("This Month", calendar(5, 0))));
}

TEST_F(PeriodTest, YearsNeeded) {
  const struct {
    const char* phrase;
    int current_period;
    int years;
  } cases[] = {
      {"This Month", 5, 0},        {"This Month Last Year", 5, 1}, {"Last Month", 1, 2},
      {"Running Year", 5, 2},      {"Running Month", 5, 0},        {"Month 1 Change", 5, 2},
      {"Month 2 Change", 5, 0},    {"YTD Change", 5, 2},           {"This Month", 14, 11},
      {"2 Years Ago", 5, 11},
  };
  for (const auto& c : cases) {
    PeriodDescriptor d;
    ASSERT_TRUE(scan_phrase(c.phrase, d)) << c.phrase;
    EXPECT_EQ(years_needed(d, c.current_period, 12).years, c.years) << c.phrase;
  }
}

// ------------------------------------------------------------- range value

AmountTable sample_table() {
  AmountTable t;
  for (int y = 0; y < 2; ++y)
    for (int p = 0; p < 13; ++p) {
      t.amount[0][y][p] = (y == 0 ? 100 : 1000) + p;  // actual
      t.amount[1][y][p] = (y == 0 ? 10 : 20);         // budget
    }
  t.opening_balance = 50;
  return t;
}

double value_of(const char* phrase, AccountKind kind, int current_period = 5) {
  PeriodDescriptor d;
  EXPECT_TRUE(scan_phrase(phrase, d)) << phrase;
  const Valued v = evaluate(d, calendar(current_period), kind, sample_table());
  EXPECT_TRUE(std::holds_alternative<double>(v)) << phrase;
  return std::holds_alternative<double>(v) ? std::get<double>(v) : -1e300;
}

TEST_F(PeriodTest, RangeValueForBothKinds) {
  const auto B = AccountKind::Balance;
  const auto O = AccountKind::Other;
  const struct {
    const char* phrase;
    AccountKind kind;
    double value;
  } cases[] = {
      {"This Month", B, 104},                     // the closing balance of period 4
      {"This Month", O, 104},                     // the change of period 4
      {"YTD", O, 100 + 101 + 102 + 103 + 104},
      {"This Month Change", B, 104 - 103},
      {"Month 1 Change", B, 100 - 1011},          // minus last year's closing amount
      {"Opening Balance", B, 103},                // this month opens at period 3's close
      {"Month 1 Opening", B, 50},                 // the year's opening balance
      {"Opening Balance", O, 0},
      {"Running Quarter", O, 102 + 103 + 104},
      {"Running Quarter", B, 104 - 101},
      {"Running Year", O, 100 + 101 + 102 + 103 + 104 + 1005 + 1006 + 1007 + 1008 + 1009 +
                              1010 + 1011},
      {"Running Year", B, 104 - 1004},
      {"Quarter 1 Budget", B, 30},                // budgets sum as changes
      {"Last Month", O, 103},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(value_of(c.phrase, c.kind), c.value) << c.phrase;
}

TEST_F(PeriodTest, RangeValueRefusesWhatTheTableCannotGive) {
  PeriodDescriptor d;
  ASSERT_TRUE(scan_phrase("Month 1 Opening Last Year", d));
  EXPECT_EQ(std::get<int>(evaluate(d, calendar(5), AccountKind::Balance, sample_table())), 11);
  PeriodRange bad;
  bad.start = 12;
  bad.length = 3;  // would read past the thirteenth period
  EXPECT_EQ(std::get<int>(range_value(bad, AccountKind::Other, sample_table())), 11);
  bad = PeriodRange{};
  bad.running = true;
  bad.end_year = -1;
  EXPECT_EQ(std::get<int>(range_value(bad, AccountKind::Other, sample_table())), 11);
}

}  // namespace
}  // namespace kovo::specifier
