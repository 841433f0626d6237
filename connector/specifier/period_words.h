// Word scanner of period phrases: cutting a phrase into words and classifying
// each word against the fixed keyword table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kovo::specifier {

// Class letter of a keyword; None ends a word list.
enum class WordClass : char {
  None = '\0',
  Number = 'V',
  Month = 'D',
  Span = 'S',
  Qualifier = 'U',
  Modifier = 'M',
  Filler = 'N',
};

struct Keyword {
  std::string_view text;  // upper case
  std::uint32_t value;
  WordClass word_class;
};

// One classified word (the scanner keeps no text).
struct Word {
  std::uint32_t value = 0;
  WordClass word_class = WordClass::None;
  bool is(WordClass c) const { return word_class == c; }
  bool is_span(std::uint32_t v) const { return word_class == WordClass::Span && value == v; }
};

inline constexpr std::size_t kKeywordCount = 107;
inline constexpr std::size_t kMaxPhraseWords = 80;
// One slot more than the words, so the list always ends with an empty slot.
using WordList = std::array<Word, kMaxPhraseWords + 1>;

// Keyword values with a meaning of their own in the grammar.
inline constexpr std::uint32_t kYearSpan = 4;
inline constexpr std::uint32_t kHalfYearSpan = 3;
inline constexpr std::uint32_t kRunningWord = 2048;
inline constexpr std::uint32_t kDebitsWord = 32769;
inline constexpr std::uint32_t kCreditsWord = 32770;

// The keyword table in search order.
std::span<const Keyword, kKeywordCount> keyword_table();

// Characters that separate the words of a phrase.
inline constexpr std::string_view kWordSeparators = " /\\-;,:.\t";

enum class Classified { Found = 0, Unknown = -1, Ambiguous = -2 };

// "1" to "6" are numbers; otherwise the first keyword of which the word is a
// case-blind prefix, unless a later keyword of another value shares the prefix.
Classified classify_word(std::string_view word, Word& out);

// Cuts the phrase, classifies every word into list (emptied first) and merges
// "half year" into one word. Reports 17/18 with the word, or 16 when the phrase
// has more words than the list holds; returns false then.
bool scan_words(std::string_view phrase, WordList& list);

}  // namespace kovo::specifier
