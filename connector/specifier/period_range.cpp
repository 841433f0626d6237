#include "specifier/period_range.h"

#include "specifier/specifier_messages.h"

namespace kovo::specifier {
namespace {

namespace pf = period_flags;

constexpr int kLastTableIndex = static_cast<int>(kAmountPeriods) - 1;

int block_length(Span span, int periods) {
  switch (span) {
    case Span::Quarters: return 3;
    case Span::HalfYears: return 6;
    case Span::Years: return periods;
    default: return 1;
  }
}

int running_unit(std::uint32_t running, int periods) {
  switch (running) {
    case pf::kRunningQuarter: return 3;
    case pf::kRunningHalfYear: return 6;
    case pf::kRunningYear: return periods;
    default: return 1;
  }
}

class Resolver {
 public:
  Resolver(const PeriodDescriptor& d, const PeriodCalendar& c)
      : d_(d),
        periods_(c.periods_per_year),
        last_(c.periods_per_year - 1),
        cur_(c.current_period - 1),
        is_current_year_(c.is_current_year) {}

  Resolved run() {
    if (periods_ < 1 || periods_ > kMaxPeriodsPerYear || cur_ < 0 || cur_ > kLastTableIndex)
      return kMsgNoData;
    if (d_.has(pf::kOpening) && d_.has(pf::kChange)) return kMsgStartingTransactions;
    r_.periods_per_year = periods_;
    r_.running = d_.running() != 0;
    r_.change = d_.has(pf::kChange);
    r_.opening = d_.has(pf::kOpening);
    r_.budget = d_.has(pf::kBudget);
    switch (d_.year_offset()) {
      case 0: r_.year = 0; break;
      case pf::kLastYear:
        if (r_.budget) return kMsgNoData;
        r_.year = 1;
        break;
      default: return kMsgNoData;
    }
    r_.end_year = r_.year;
    r_.current = cur_;
    len_ = block_length(d_.span(), periods_);

    int status = 0;
    switch (d_.mode()) {
      case pf::kModeRelative: status = relative(); break;
      case pf::kModeAbsolute: status = block(d_.number, false); break;
      case pf::kModeCurrent:
        if (is_current_year_ && cur_ > last_ && len_ > 1) return kMsgFutureData;
        if (d_.running() != 0) {
          const int unit = running_unit(d_.running(), periods_);
          status = running_window(cur_, unit * (d_.number + 1), unit);
          return status == 0 ? Resolved{r_} : Resolved{status};
        }
        status = block(current_block(), true);
        break;
      default: return kMsgNoData;
    }
    if (status == 0 && d_.running() != 0) {
      const int unit = running_unit(d_.running(), periods_);
      status = running_window(r_.start + r_.length, unit, unit);
    }
    return status == 0 ? Resolved{r_} : Resolved{status};
  }

 private:
  // The thirteenth period counts with the block before it.
  bool thirteenth_joins(int unit) const { return cur_ == 12 && unit >= 2 && unit < last_; }

  int current_block() const {
    if (cur_ == 12 && len_ != 1 && len_ < last_) return cur_ / len_;
    return cur_ / len_ + 1;
  }

  int relative() {
    int start = cur_ - static_cast<int>(d_.number) * len_;
    if (thirteenth_joins(len_)) start -= 1;
    if (start < 0) {
      r_.year += 1;
      if (r_.year >= 2 || r_.budget) return kMsgNoData;
      start += periods_;
      if (start < 0) return kMsgNoData;
    }
    r_.start = start / len_ * len_;
    r_.length = len_ - 1;
    apply_to_date();
    return 0;
  }

  int block(int number, bool stop_at_current) {
    const int start = (number - 1) * len_;
    if (start < 0) return kMsgNoData;
    const bool single_actual_period = r_.year == 0 && !r_.budget && len_ == 1;
    // A single actual period may be the thirteenth even when the year has 12;
    // nothing lies beyond the table.
    if (start > (single_actual_period ? kLastTableIndex : last_)) return kMsgNoData;
    r_.start = start;
    r_.length = (start + len_ == 12 && len_ >= 2) ? len_ : len_ - 1;
    apply_to_date();
    if (stop_at_current && r_.start + r_.length > cur_) r_.length = cur_ - r_.start;
    return 0;
  }

  void apply_to_date() {
    if (!d_.has(pf::kToDate)) return;
    r_.length += r_.start;
    r_.start = 0;
  }

  int running_window(int from, int window, int unit) {
    int start = from - window;
    if (from == 12 && unit >= 2 && unit < last_) start -= 1;
    if (start < 0) {
      start += periods_;
      if (start < 0 || start > last_) return kMsgNoData;
      r_.year += 1;
      r_.end_year += 1;
      if (r_.year >= 2) return kMsgNoData;
    }
    int current = start + unit;
    if (current == 11 && from == 12 && unit >= 2) current += 1;
    if (current > last_) {
      current -= periods_;
      r_.end_year -= 1;
    }
    r_.start = start;
    r_.length = unit;
    r_.current = current;
    return 0;
  }

  const PeriodDescriptor& d_;
  int periods_, last_, cur_;
  bool is_current_year_;
  int len_ = 1;
  PeriodRange r_;
};

bool index_ok(int i) { return i >= 0 && i <= kLastTableIndex; }
bool year_ok(int y) { return y == 0 || y == 1; }

double sum(const std::array<double, kAmountPeriods>& row, int from, int to) {
  double total = 0;
  for (int i = from; i <= to; ++i) total += row[static_cast<std::size_t>(i)];
  return total;
}

// Checks every index that the value formulas below may read.
bool range_in_table(const PeriodRange& r) {
  const int last = r.periods_per_year - 1;
  if (!index_ok(last) || !year_ok(r.year) || !year_ok(r.end_year) || !index_ok(r.start))
    return false;
  if (r.running) return index_ok(r.current);
  return r.length >= 0 && index_ok(r.start + r.length);
}

}  // namespace

Resolved resolve(const PeriodDescriptor& d, const PeriodCalendar& calendar) {
  return Resolver(d, calendar).run();
}

YearsNeeded years_needed(const PeriodDescriptor& d, int current_period, int periods_per_year) {
  YearsNeeded need{0, d.has(pf::kBudget)};
  if (current_period - 1 > periods_per_year - 1) {
    need.years = kMsgNoData;
    return need;
  }
  PeriodCalendar calendar;
  calendar.periods_per_year = periods_per_year;
  calendar.current_period = current_period;
  calendar.is_current_year = false;
  const Resolved resolved = resolve(d, calendar);
  if (const int* failure = std::get_if<int>(&resolved)) {
    need.years = *failure;
    return need;
  }
  const PeriodRange& r = std::get<PeriodRange>(resolved);
  if (r.year == 1 && r.end_year == 1) {
    need.years = 1;
  } else if (r.year != r.end_year) {
    need.years = 2;
  } else if (d.running() == pf::kRunningMonth) {
    need.years = 0;
  } else if (d.has(pf::kChange) &&
             (d.has(pf::kToDate) || (r.start == 0 && !d.has(pf::kOpening)))) {
    need.years = 2;
  }
  return need;
}

Valued range_value(const PeriodRange& r, AccountKind kind, const AmountTable& table) {
  if (!range_in_table(r)) return kMsgNoData;
  const auto& t = table.of(r.budget);
  const bool balance = kind == AccountKind::Balance && !r.budget;
  const int last = r.periods_per_year - 1;
  const auto& row = t[static_cast<std::size_t>(r.year)];
  const auto& end_row = t[static_cast<std::size_t>(r.end_year)];
  const auto at = [](const auto& line, int period) { return line[static_cast<std::size_t>(period)]; };
  const int end = r.start + r.length;

  if (r.running) {
    if (balance) return at(end_row, r.current) - at(row, r.start);
    if (r.end_year != r.year) return sum(end_row, 0, r.current) + sum(row, r.start + 1, last);
    return sum(end_row, r.start + 1, r.current);
  }
  if (!r.change && r.opening) {
    if (!balance) return 0.0;
    if (r.start > 0) return at(row, r.start - 1);
    if (r.year != 0) return kMsgNoData;  // only the requested year's opening balance is known
    return table.opening_balance;
  }
  if (!r.change && balance) return at(row, end);
  // A change (net movement); a balance range of another account is one too.
  if (!balance) return sum(row, r.start, end);
  if (r.start > 0) return at(row, end) - at(row, r.start - 1);
  if (r.year != 0) return kMsgNoData;  // the closing amount before it is not in the table
  const double before = last == 12 ? table.opening_balance : at(t[1], last);
  return at(row, end) - before;
}

Valued evaluate(const PeriodDescriptor& d, const PeriodCalendar& calendar, AccountKind kind,
                const AmountTable& table) {
  const Resolved resolved = resolve(d, calendar);
  if (const int* failure = std::get_if<int>(&resolved)) return *failure;
  return range_value(std::get<PeriodRange>(resolved), kind, table);
}

}  // namespace kovo::specifier
