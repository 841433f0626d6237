// The period wizard's logic: its choices read from a parsed period
// specifier, the specifier composed from its choices, and the periods (and
// so the calendar dates) that the choices cover.
#pragma once

#include <string>

#include "specifier/period.h"

namespace kovo::wizard {

enum Value : int { kOpening = 0, kEnding = 1, kChange = 2 };
enum Duration : int { kMonth = 0, kQuarter = 1, kHalfYear = 2, kYear = 3 };
inline constexpr int kThisPeriod = 14;
inline constexpr int kLastPeriod = 15;
inline constexpr int kAllPeriods = 16;
inline constexpr int kMessageInvalidPeriod = 63;
inline constexpr std::size_t kComposedLimit = 502;  // composition stops growing here
inline constexpr std::size_t kCopiedLimit = 509;    // at most this much is ever copied out

struct WizardState {
  bool actual = true;
  bool this_year = true;
  int value = kEnding;
  int duration = kMonth;
  bool running = false;
  int period = kThisPeriod;  // 1 to 13, or this, last, all periods
  bool ago = false;
  bool operator==(const WizardState&) const = default;
};

// The choices that give a parsed specifier.
WizardState state_from(const specifier::PeriodDescriptor& d);

struct Composition {
  int failure = 0;     // 63: the choices make no period (the text stays as it was)
  std::string text;
  WizardState state;   // the choices as they now stand (a quarter past 4 is quarter 1, ago cleared)
};
Composition compose(const WizardState& state);

// The periods the choices cover, 1-based, and how many years back each end lies.
struct PeriodSpan {
  int start = 0, end = 0;
  int start_years_back = 0, end_years_back = 0;
};
PeriodSpan period_span(const WizardState& state, int current_period, int periods_per_year);

// The specifier as the clipboard takes it: at most 509 characters, a
// line end, and every comma a tab, so that a list pastes as a row of cells.
std::string clipboard_form(const std::string& text);

// A date as the wizard shows it: 05Jan2008.
std::string date_text(int day, int month, int year);

}  // namespace kovo::wizard
