#include "windows/period_wizard.h"

#include <algorithm>
#include <cstdio>

#include "data/layouts.h"

namespace kovo::wizard {
namespace {

namespace pf = specifier::period_flags;

constexpr int kQuarters = 4;
constexpr int kHalfYears = 2;
constexpr int kMonthsInYear = 12;

bool this_or_last(int period) { return period == kThisPeriod || period == kLastPeriod; }

std::string item_text(WizardState& s, int number) {
  std::string t;
  if (!s.this_year) t += " Last Year";
  if (s.value == kOpening) t += " Open";
  if (s.value == kChange) t += " Change";
  if (s.running && s.duration != kMonth) t += " Running";
  if (s.duration == kMonth && !s.running && s.period == kThisPeriod) t += " This";
  if (s.duration == kMonth && !s.running && s.period == kLastPeriod) t += " Last";
  switch (s.duration) {
    case kMonth:
      if (s.period != kAllPeriods || this_or_last(s.period)) t += " Month";
      break;
    case kQuarter:
      t += " Quarter";
      if (!s.running && number > kQuarters && number <= 13) {
        number = 1;
        if (s.period <= 13) s.period = 1;
      }
      break;
    case kHalfYear:
      t += " Halfyear";
      if (!s.running && number > kHalfYears && number <= 13) {
        number = 1;
        if (s.period <= 13) s.period = 1;
      }
      break;
    default:
      if (this_or_last(s.period) && !s.running) t += " Month";
      t += " Year To Date";
      break;
  }
  if (number >= 1 && number <= 13) t += " " + std::to_string(number);
  if (s.running && s.duration != kMonth && s.period == kThisPeriod) t += " This Month";
  if (s.running && s.duration != kMonth && s.period == kLastPeriod) t += " Last Month";
  if (!s.actual) t += " Budget";
  return t;
}

// No leading blank, none right after a comma.
std::string tidied(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' && (out.empty() || out.back() == ',')) continue;
    out += c;
  }
  return out;
}

}  // namespace

WizardState state_from(const specifier::PeriodDescriptor& d) {
  WizardState s;
  s.actual = !d.has(pf::kBudget);
  s.this_year = d.year_offset() != pf::kLastYear;
  s.value = d.has(pf::kChange) ? kChange : d.has(pf::kOpening) ? kOpening : kEnding;
  switch (d.span()) {
    case specifier::Span::Quarters: s.duration = kQuarter; break;
    case specifier::Span::HalfYears: s.duration = kHalfYear; break;
    case specifier::Span::Years: s.duration = kYear; break;
    default: s.duration = kMonth; break;
  }
  if (d.has(pf::kToDate)) s.duration = kYear;
  s.running = d.running() != 0;
  switch (d.running()) {
    case pf::kRunningQuarter: s.duration = kQuarter; break;
    case pf::kRunningHalfYear: s.duration = kHalfYear; break;
    case pf::kRunningYear: s.duration = kYear; break;
    default: break;
  }
  s.ago = false;
  switch (d.mode()) {
    case pf::kModeCurrent:
      s.period = kThisPeriod;
      break;
    case pf::kModeRelative:
      if (s.duration == kMonth && s.this_year && !s.running && d.number != 1 && d.number >= 1 && d.number <= 13) {
        s.ago = true;
        s.period = d.number;
      } else {
        s.period = kLastPeriod;
      }
      break;
    default:
      s.period = d.number >= 1 && d.number <= 13 ? d.number : 1;
      break;
  }
  return s;
}

Composition compose(const WizardState& state) {
  Composition c;
  c.state = state;
  WizardState& s = c.state;
  if (!s.this_year && s.duration == kMonth && s.period == 1 && (s.value == kOpening || s.value == kChange)) {
    c.failure = kMessageInvalidPeriod;
    return c;
  }
  const bool all = s.period == kAllPeriods;
  const int items = all ? kMonthsInYear : 1;
  const int limit = s.running ? items : s.duration == kQuarter ? std::min(items, kQuarters)
                                      : s.duration == kHalfYear ? std::min(items, kHalfYears) : items;
  std::string text;
  for (int i = 0; i < limit && text.size() < kComposedLimit; ++i) {
    if (i > 0) text += ",";
    text += item_text(s, all ? i + 1 : s.period);
  }
  if (s.ago) {
    if (s.this_year && s.duration == kMonth && !s.running && s.period >= 1 && s.period <= 13) {
      text = std::to_string(s.period) + " Month" + (s.period > 1 ? "s" : "") + " Ago" + (s.actual ? "" : " Budget");
    } else {
      s.ago = false;
    }
  }
  c.text = tidied(text);
  return c;
}

PeriodSpan period_span(const WizardState& s, int current, int periods_per_year) {
  PeriodSpan span;
  const int offset = s.this_year ? 0 : 1;
  span.start_years_back = span.end_years_back = offset;
  int base = s.period;
  if (s.period == kThisPeriod) base = current;
  if (s.period == kLastPeriod) base = current - 1;
  const bool all = s.period == kAllPeriods;
  if (all) base = periods_per_year;
  if (s.ago && !all) {
    base = current - base;
    if (base < 1) {
      base += kMonthsInYear;
      ++span.start_years_back;
      ++span.end_years_back;
    }
  }
  if (s.running) {
    const int reach = s.duration == kQuarter ? 2 : s.duration == kHalfYear ? 5 : s.duration == kYear ? 11 : 0;
    span.end = base;
    span.start = base - reach;
    if (span.start < 1) {
      span.start += kMonthsInYear;
      ++span.start_years_back;
    }
  } else if (all) {
    span.start = 1;
    span.end = base;
  } else {
    const int held = s.period == kLastPeriod ? current - 1 : current;
    switch (s.duration) {
      case kMonth:
        span.start = span.end = base;
        break;
      case kQuarter:
        span.start = this_or_last(s.period) ? (held <= 3 ? 1 : held <= 6 ? 4 : held <= 9 ? 7 : 10)
                                            : 1 + 3 * (std::clamp(s.period, 1, 4) - 1);
        span.end = span.start + 2;
        break;
      case kHalfYear:
        span.start = this_or_last(s.period) ? (held >= 7 ? 7 : 1) : (s.period == 2 ? 7 : 1);
        span.end = span.start + 5;
        break;
      default:
        span.start = 1;
        span.end = base;
        break;
    }
  }
  span.end = std::min(span.end, periods_per_year);
  if (!s.running && span.start > span.end) span.start = span.end;
  if (span.start <= 0 && span.end <= 0) {
    span.start = span.end = periods_per_year;
    ++span.start_years_back;
    ++span.end_years_back;
  }
  return span;
}

std::string clipboard_form(const std::string& text) {
  std::string out = text.substr(0, kCopiedLimit);
  std::replace(out.begin(), out.end(), ',', '\t');
  return out + "\r\n";
}

std::string date_text(int day, int month, int year) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d%s%d", day, std::string(layout::month_abbreviation(month)).c_str(), year);
  return text;
}

}  // namespace kovo::wizard
