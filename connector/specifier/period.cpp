#include "specifier/period.h"

#include <optional>

#include "entry/messages.h"
#include "specifier/specifier_messages.h"

namespace kovo::specifier {
namespace {

// The grammar's attribute slots; each takes one value per phrase.
enum class Slot { Span, Change, Mode, YearOffset, Opening, Budget, ToDate, Running, MonthName };
constexpr std::size_t kSlotCount = 9;

struct SlotRule {
  std::uint32_t value;   // as the keyword table or the grammar gives it
  Slot slot;
  std::uint32_t stored;  // what the value contributes to the flags
  int refusal;           // message of a second set of the slot
};

constexpr std::uint32_t kBalancesWord = 7;

constexpr SlotRule kSlotRules[] = {
    {0, Slot::Span, 0, kMsgConflictingSpan},        {1, Slot::Span, 1, kMsgConflictingSpan},
    {2, Slot::Span, 2, kMsgConflictingSpan},        {3, Slot::Span, 3, kMsgConflictingSpan},
    {4, Slot::Span, 4, kMsgConflictingSpan},
    {kBalancesWord, Slot::Change, 0, kMsgTransactionsBalance},
    {8, Slot::Change, 8, kMsgTransactionsBalance},
    {15, Slot::Mode, 0, kMsgConflictingMode},       {16, Slot::Mode, 16, kMsgConflictingMode},
    {32, Slot::Mode, 32, kMsgConflictingMode},
    {63, Slot::YearOffset, 0, kMsgYearKeyword},     {64, Slot::YearOffset, 64, kMsgYearKeyword},
    {128, Slot::YearOffset, 128, kMsgYearKeyword},  {192, Slot::YearOffset, 192, kMsgYearKeyword},
    {255, Slot::Opening, 0, kMsgEndingStarting},    {256, Slot::Opening, 256, kMsgEndingStarting},
    {511, Slot::Budget, 0, kMsgActualBudgeted},     {512, Slot::Budget, 512, kMsgActualBudgeted},
    {1024, Slot::ToDate, 1024, kMsgConflictingSpan},
    {2048, Slot::Running, 2048, kMsgConflictingMode},
    {4096, Slot::Running, 4096, kMsgConflictingMode},
    {6144, Slot::Running, 6144, kMsgConflictingMode},
    {8192, Slot::Running, 8192, kMsgConflictingMode},
    {16384, Slot::MonthName, 16384, kMsgConflictingSpan},
};

std::optional<SlotRule> rule_for(std::uint32_t value) {
  for (const auto& rule : kSlotRules)
    if (rule.value == value) return rule;
  return std::nullopt;
}

// Year offset values that a count before a year word selects (0 to 3 back).
constexpr std::uint32_t kYearOffsetByCount[] = {63, 64, 128, 192};
// Running values that a span word after RUNNING selects, by span value.
constexpr std::uint32_t kRunningBySpan[] = {0, 2048, 4096, 6144, 8192};

class Grammar {
 public:
  Grammar(WordList& words, PeriodDescriptor& out) : w_(words), out_(out) {}

  bool run() {
    for (std::size_t i = 0; i < w_.size() && !w_[i].is(WordClass::None); ++i)
      if (!word(i)) return false;
    if (!year_words()) return false;
    fold();
    return true;
  }

 private:
  struct SlotState {
    std::uint32_t value = 0;
    std::uint32_t stored = 0;
    bool set = false;
  };

  bool is_set(Slot s) const { return slots_[static_cast<std::size_t>(s)].set; }

  bool set(std::uint32_t value) {
    const auto rule = rule_for(value);
    if (!rule) return true;
    SlotState& slot = slots_[static_cast<std::size_t>(rule->slot)];
    const SlotState& change = slots_[static_cast<std::size_t>(Slot::Change)];
    int refusal = 0;
    if (rule->slot == Slot::Change && value == kBalancesWord && is_set(Slot::Running))
      refusal = kMsgRunningBalance;
    else if (rule->slot == Slot::Running && change.set && change.value == kBalancesWord)
      refusal = kMsgRunningBalance;
    else if (slot.set)
      refusal = rule->refusal;
    if (refusal != 0) {
      report(refusal);
      return false;
    }
    slot = {value, rule->stored, true};
    return true;
  }

  const Word* at(std::size_t i) const { return i < w_.size() ? &w_[i] : nullptr; }
  const Word* before(std::size_t i) const { return i > 0 ? &w_[i - 1] : nullptr; }
  static bool is(const Word* w, WordClass c) { return w && w->is(c); }
  static bool is_span_word(const Word* w) { return is(w, WordClass::Span); }
  void consume(std::size_t i) { w_[i] = {0, WordClass::Filler}; }
  void take_number(std::uint32_t v) { out_.number = static_cast<std::uint8_t>(v); }

  bool word(std::size_t i) {
    const Word w = w_[i];
    switch (w.word_class) {
      case WordClass::Month:
        take_number(w.value);
        return set(period_flags::kMonthName) && set(period_flags::kModeAbsolute) && set(0);
      case WordClass::Number: {
        const Word* prev = before(i);
        const bool follows_span = is_span_word(prev) && !prev->is_span(kYearSpan);
        if (is_span_word(at(i + 1)) || follows_span) return true;  // left for its span word
        take_number(w.value);
        return set(period_flags::kModeAbsolute) && set(0);
      }
      case WordClass::Qualifier:
        if (w.value == kDebitsWord || w.value == kCreditsWord) {
          out_.debit_credit = w.value == kDebitsWord ? DebitCredit::Debits : DebitCredit::Credits;
          return true;
        }
        return set(w.value);
      case WordClass::Span:
        if (w.value == kRunningWord) return running(i);
        if (w.value == kYearSpan) return year_word(i);
        if (w.value < kYearSpan) return span(i);
        return true;
      default:
        return true;
    }
  }

  bool running(std::size_t i) {
    if (const Word* prev = before(i);
        is(prev, WordClass::Modifier) || is(prev, WordClass::Number)) {
      take_number(prev->value);
      consume(i - 1);
    }
    if (const Word* next = at(i + 1); is_span_word(next)) {
      const std::uint32_t v = next->value;
      if (v >= 1 && v < std::size(kRunningBySpan) && !set(kRunningBySpan[v])) return false;
      consume(i + 1);
    }
    if (!is_set(Slot::Running) && !set(period_flags::kRunningMonth)) return false;
    consume(i);
    return true;
  }

  bool year_word(std::size_t i) {
    if (year_count_ == 2) {
      report(kMsgYearKeyword);
      return false;
    }
    year_at_[year_count_++] = i;
    return true;
  }

  bool span(std::size_t i) {
    const std::uint32_t span_value = w_[i].value;
    const Word* prev = before(i);
    if (is(prev, WordClass::Number) || is(prev, WordClass::Modifier)) {
      take_number(prev->value);
      if (!set(period_flags::kModeRelative) || !set(span_value)) return false;
      consume(i - 1);
    } else if (const Word* next = at(i + 1); is(next, WordClass::Number)) {
      take_number(next->value);
      if (!set(period_flags::kModeAbsolute) || !set(span_value)) return false;
      consume(i + 1);
    } else if (!set(span_value)) {
      return false;
    }
    consume(i);
    return true;
  }

  bool year_words() {
    if (year_count_ == 0) return true;
    for (std::size_t k = 0; k < year_count_; ++k) {
      const Word* prev = before(year_at_[k]);
      if (!is(prev, WordClass::Modifier) && !is(prev, WordClass::Number)) continue;
      if (prev->value >= std::size(kYearOffsetByCount)) {
        report(kMsgSpecialError, "Invalid year parameter");
        return false;
      }
      if (!set(kYearOffsetByCount[prev->value])) return false;
    }
    if (!is_set(Slot::Span)) return set(kYearSpan);
    if (year_count_ == 2 || !is_set(Slot::YearOffset)) return set(period_flags::kToDate);
    return true;
  }

  void fold() {
    out_.flags = 0;
    for (const auto& s : slots_) out_.flags |= s.stored;
  }

  WordList& w_;
  PeriodDescriptor& out_;
  std::array<SlotState, kSlotCount> slots_{};
  std::array<std::size_t, 2> year_at_{};
  std::size_t year_count_ = 0;
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::size_t skip_blanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && is_blank(text[pos])) ++pos;
  return pos;
}

}  // namespace

bool apply_grammar(WordList& words, PeriodDescriptor& out) { return Grammar(words, out).run(); }

bool scan_phrase(std::string_view phrase, PeriodDescriptor& out) {
  out = PeriodDescriptor{};
  WordList words;
  return scan_words(phrase, words) && apply_grammar(words, out);
}

int parse_period_list(std::string_view text, PeriodList& list) {
  list = PeriodList{};
  const auto refuse = [&](int number) {
    report(number, text);
    list.count = 0;
    return number;
  };
  if (!text.empty() && text.front() == ',') return refuse(kMsgInvalidComma);
  std::size_t pos = skip_blanks(text, 0);
  while (pos < text.size()) {
    if (text[pos] == ',') return refuse(kMsgInvalidComma);  // an empty specifier
    if (list.count == kMaxPeriodSpecifiers) return refuse(kMsgTooManySpecifiers);
    std::size_t end = text.find(',', pos);
    if (end == std::string_view::npos) end = text.size();
    PeriodDescriptor& d = list.entries[list.count];
    if (!scan_phrase(text.substr(pos, end - pos), d)) {
      list.count = 0;
      return last_error_number();
    }
    d.text_offset = pos;
    d.text_length = end - pos;
    ++list.count;
    if (end == text.size()) break;
    pos = skip_blanks(text, end + 1);
    if (pos == text.size()) return refuse(kMsgInvalidComma);  // a trailing comma
  }
  return 0;
}

void map_month_name(PeriodDescriptor& d, const PeriodCalendar& calendar) {
  if (!d.has(period_flags::kMonthName)) return;
  const int periods = std::min(calendar.periods_per_year, kMaxPeriodsPerYear);
  for (int i = 0; i < periods; ++i) {
    if (calendar.period_month[i] == d.number) {
      d.number = static_cast<std::uint8_t>(i + 1);
      return;
    }
  }
}

}  // namespace kovo::specifier
