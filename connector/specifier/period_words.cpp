#include "specifier/period_words.h"

#include "entry/messages.h"
#include "specifier/specifier_messages.h"
#include "specifier/text_util.h"

namespace kovo::specifier {
namespace {

using C = WordClass;

constexpr std::uint32_t kFirstTableNumber = 7;
constexpr std::uint32_t kLastTableNumber = 60;
constexpr std::size_t kTableNumbers = kLastTableNumber - kFirstTableNumber + 1;

// Texts "7" to "60" for the number entries of the table.
struct NumberTexts {
  std::array<std::array<char, 2>, kTableNumbers> digits{};
  constexpr NumberTexts() {
    for (std::size_t i = 0; i < kTableNumbers; ++i) {
      const auto n = static_cast<unsigned>(kFirstTableNumber + i);
      digits[i] = n < 10 ? std::array<char, 2>{static_cast<char>('0' + n), '\0'}
                         : std::array<char, 2>{static_cast<char>('0' + n / 10),
                                               static_cast<char>('0' + n % 10)};
    }
  }
  constexpr std::string_view text(std::size_t i) const {
    return {digits[i].data(), digits[i][1] == '\0' ? 1u : 2u};
  }
};
constexpr NumberTexts kNumberTexts;

constexpr Keyword kLeading[] = {
    {"DEBITS", kDebitsWord, C::Qualifier}, {"CREDITS", kCreditsWord, C::Qualifier},
    {"PERIODS", 0, C::Span},       {"MONTHS", 1, C::Span},
    {"QUARTERS", 2, C::Span},      {"QTRS", 2, C::Span},
    {"HALFYEARLY", 3, C::Span},    {"SEMIANNUALLY", 3, C::Span},
    {"YEARS", 4, C::Span},         {"YRS", 4, C::Span},
    {"YTD", 4, C::Span},           {"ANNUALLY", 4, C::Span},
    {"RUNNING", kRunningWord, C::Span},
};

constexpr Keyword kTrailing[] = {
    {"JANUARY", 1, C::Month},   {"FEBRUARY", 2, C::Month},  {"MARCH", 3, C::Month},
    {"APRIL", 4, C::Month},     {"MAY", 5, C::Month},       {"JUNE", 6, C::Month},
    {"JULY", 7, C::Month},      {"AUGUST", 8, C::Month},    {"SEPTEMBER", 9, C::Month},
    {"OCTOBER", 10, C::Month},  {"NOVEMBER", 11, C::Month}, {"DECEMBER", 12, C::Month},
    {"BALANCES", 7, C::Qualifier},   {"CHANGES", 8, C::Qualifier},
    {"TRANSACTIONS", 8, C::Qualifier}, {"CLOSING", 255, C::Qualifier},
    {"ENDING", 255, C::Qualifier},   {"OPENING", 256, C::Qualifier},
    {"STARTING", 256, C::Qualifier}, {"BEGINNING", 256, C::Qualifier},
    {"ACTUAL", 511, C::Qualifier},   {"BUDGETED", 512, C::Qualifier},
    {"PREVIOUS", 1, C::Modifier},    {"LAST", 1, C::Modifier},
    {"PRIOR", 1, C::Modifier},
    {"AGO", 0, C::Filler},     {"BEFORE", 0, C::Filler}, {"CURRENT", 0, C::Filler},
    {"TOTAL", 0, C::Filler},   {"THIS", 0, C::Filler},   {"PRESENT", 0, C::Filler},
    {"FOR", 0, C::Filler},     {"TO", 0, C::Filler},     {"DATE", 0, C::Filler},
    {"IN", 0, C::Filler},      {"ON", 0, C::Filler},     {"OF", 0, C::Filler},
    {"AT", 0, C::Filler},      {"THE", 0, C::Filler},    {"NET", 0, C::Filler},
};

static_assert(std::size(kLeading) + kTableNumbers + std::size(kTrailing) == kKeywordCount);

constexpr std::array<Keyword, kKeywordCount> build_table() {
  std::array<Keyword, kKeywordCount> table{};
  std::size_t n = 0;
  for (const auto& k : kLeading) table[n++] = k;
  for (std::size_t i = 0; i < kTableNumbers; ++i)
    table[n++] = {kNumberTexts.text(i), static_cast<std::uint32_t>(kFirstTableNumber + i),
                  C::Number};
  for (const auto& k : kTrailing) table[n++] = k;
  return table;
}
constexpr std::array<Keyword, kKeywordCount> kTable = build_table();

bool is_prefix_of(std::string_view word, std::string_view keyword) {
  return word.size() <= keyword.size() && equal_folded(word, keyword.substr(0, word.size()));
}

// "1" to "6" are recognised before the table.
bool small_number(std::string_view word, Word& out) {
  if (word.size() != 1 || word[0] < '1' || word[0] > '6') return false;
  out = {static_cast<std::uint32_t>(word[0] - '0'), C::Number};
  return true;
}

}  // namespace

std::span<const Keyword, kKeywordCount> keyword_table() { return kTable; }

Classified classify_word(std::string_view word, Word& out) {
  if (small_number(word, out)) return Classified::Found;
  if (word.empty()) return Classified::Unknown;
  std::size_t i = 0;
  while (i < kTable.size() && !is_prefix_of(word, kTable[i].text)) ++i;
  if (i == kTable.size()) return Classified::Unknown;
  const Keyword& found = kTable[i];
  for (std::size_t j = i + 1; j < kTable.size(); ++j)
    if (kTable[j].value != found.value && is_prefix_of(word, kTable[j].text))
      return Classified::Ambiguous;
  out = {found.value, found.word_class};
  return Classified::Found;
}

bool scan_words(std::string_view phrase, WordList& list) {
  list.fill(Word{});
  std::size_t used = 0;
  bool absorbed_last = false;
  std::size_t pos = 0;
  while (true) {
    pos = phrase.find_first_not_of(kWordSeparators, pos);
    if (pos == std::string_view::npos) break;
    std::size_t end = phrase.find_first_of(kWordSeparators, pos);
    if (end == std::string_view::npos) end = phrase.size();
    const std::string_view text = phrase.substr(pos, end - pos);
    pos = end;

    Word word;
    switch (classify_word(text, word)) {
      case Classified::Unknown:
        report(kMsgInvalidPeriod, text);
        return false;
      case Classified::Ambiguous:
        report(kMsgAmbiguousPeriod, text);
        return false;
      case Classified::Found:
        break;
    }
    // "Half Year": the year word after a half-year word is absorbed, but not
    // a second one right after an absorption.
    const bool absorb = !absorbed_last && word.is_span(kYearSpan) && used > 0 &&
                        list[used - 1].is_span(kHalfYearSpan);
    absorbed_last = absorb;
    if (absorb) continue;
    if (used == kMaxPhraseWords) {
      report(kMsgTooManyWords, phrase);
      return false;
    }
    list[used++] = word;
  }
  return true;
}

}  // namespace kovo::specifier
