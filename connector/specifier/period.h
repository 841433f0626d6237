// Period specifiers: the phrase grammar, period descriptors and the period
// list of a request ("This Month", "Year to Date Last Year Budget", ...).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "specifier/calendar.h"
#include "specifier/period_words.h"

namespace kovo::specifier {

// Flag word of a period descriptor (values as stored).
namespace period_flags {
inline constexpr std::uint32_t kSpanMask = 7;  // 0 periods, 1 months, 2 quarters, 3 halves, 4 years
inline constexpr std::uint32_t kChange = 8;
inline constexpr std::uint32_t kModeMask = 48;
inline constexpr std::uint32_t kModeCurrent = 0;
inline constexpr std::uint32_t kModeRelative = 16;
inline constexpr std::uint32_t kModeAbsolute = 32;
inline constexpr std::uint32_t kYearOffsetMask = 192;  // 0, 64, 128, 192
inline constexpr std::uint32_t kLastYear = 64;
inline constexpr std::uint32_t kOpening = 256;
inline constexpr std::uint32_t kBudget = 512;
inline constexpr std::uint32_t kToDate = 1024;
inline constexpr std::uint32_t kRunningMask = 14336;
inline constexpr std::uint32_t kRunningMonth = 2048;
inline constexpr std::uint32_t kRunningQuarter = 4096;
inline constexpr std::uint32_t kRunningHalfYear = 6144;
inline constexpr std::uint32_t kRunningYear = 8192;
inline constexpr std::uint32_t kMonthName = 16384;
}  // namespace period_flags

enum class Span : std::uint32_t { Periods = 0, Months = 1, Quarters = 2, HalfYears = 3, Years = 4 };
enum class DebitCredit : std::uint32_t { None = 0, Debits = 1, Credits = 2 };

struct PeriodDescriptor {
  std::uint32_t flags = 0;
  DebitCredit debit_credit = DebitCredit::None;
  std::uint8_t number = 0;  // period, block, count back or calendar month
  // Where this specifier starts within the argument text, and its length.
  std::size_t text_offset = 0;
  std::size_t text_length = 0;

  bool has(std::uint32_t flag) const { return (flags & flag) != 0; }
  Span span() const { return static_cast<Span>(flags & period_flags::kSpanMask); }
  std::uint32_t mode() const { return flags & period_flags::kModeMask; }
  std::uint32_t year_offset() const { return flags & period_flags::kYearOffsetMask; }
  std::uint32_t running() const { return flags & period_flags::kRunningMask; }
};

inline constexpr std::size_t kMaxPeriodSpecifiers = 36;

struct PeriodList {
  std::array<PeriodDescriptor, kMaxPeriodSpecifiers> entries{};
  std::size_t count = 0;
  const PeriodDescriptor* begin() const { return entries.data(); }
  const PeriodDescriptor* end() const { return entries.data() + count; }
};

// Scans one phrase into a descriptor: words (period_words.h), then the
// grammar and the folding of its attribute slots. On failure the message is
// reported and false returned.
bool scan_phrase(std::string_view phrase, PeriodDescriptor& out);

// Runs the grammar over a scanned word list (the list is consumed: words that
// the grammar used become filler).
bool apply_grammar(WordList& words, PeriodDescriptor& out);

// Parses the comma-separated period argument into list. Returns 0, or the
// number of the message that has been reported: 5 (misplaced comma), 6 (more
// than 36 specifiers), or the failure of a phrase (16, 17, 18, 7, 12, 20-25).
int parse_period_list(std::string_view text, PeriodList& list);

// A month-name descriptor gets the position (from 1) of the first fiscal
// period whose end date falls in that calendar month; unchanged when none.
void map_month_name(PeriodDescriptor& d, const PeriodCalendar& calendar);

}  // namespace kovo::specifier
