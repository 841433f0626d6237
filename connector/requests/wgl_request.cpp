#include "requests/wgl_request.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "data/budget_store.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "entry/request_text.h"
#include "entry/settings.h"
#include "requests/gl_core.h"
#include "specifier/text_util.h"

namespace kovo::requests {
namespace {

namespace pf = specifier::period_flags;

int month_period(int month, const specifier::PeriodCalendar& calendar) {
  const int periods = std::min(calendar.periods_per_year, specifier::kMaxPeriodsPerYear);
  for (int i = 0; i < periods; ++i)
    if (calendar.period_month[static_cast<std::size_t>(i)] == month) return i + 1;
  return 0;
}

// The request's fields once checked: what is written where.
struct WglTarget {
  data::CompanyContext* company = nullptr;
  int year = 0;
  data::BudgetKind kind = data::BudgetKind::Original;
};

int fail(int number, std::string_view detail = {}) {
  report(number, detail);
  return number;
}

// Type, year and company, and the company's permission to write budgets.
int resolve_target(const RequestFields& fields, const Settings& s, WglTarget& target) {
  if (fields[4] == "0") return fail(kWglYearZero);
  std::string type = fields[5];
  specifier::upper_in_place(type);
  if (type.empty() || (type.front() != 'B' && type.front() != 'R')) return fail(kWglBadType, fields[5]);
  target.kind = type.front() == 'R' ? data::BudgetKind::Revised : data::BudgetKind::Original;

  const auto year_text = gl_year_text(fields[4], s.setup_year);
  if (!year_text) return fail(kInvalidYearText, fields[4].empty() ? s.setup_year : fields[4]);
  const std::string company_id = fields[3].empty() ? s.company : fields[3];
  target.company = data::find_or_open_company(company_id);
  if (!target.company) return fail(data::kMemoryFull, "WGL");
  if (const int status = data::company_error_check(target.company); status != 0) return status;
  target.year = std::atoi(year_text->c_str());
  if (target.year == 0) target.year = target.company->current_year_number();

  if (const data::YearEntry* entry = target.company->year_entry(target.year)) {
    if (entry->budget_transactions) return fail(kWglBudgetTransactions);
    if (target.kind == data::BudgetKind::Original && entry->original_budget_locked) return fail(kWglOriginalLocked);
  }
  return 0;
}

// Every period the Period field names, each a single one; nothing is written
// unless all of them are.
int resolve_periods(std::string_view period_text, const WglTarget& target, const Settings& s,
                    data::PeriodAmounts& amounts, double value) {
  specifier::PeriodList periods;
  if (const int status = specifier::parse_period_list(period_text, periods); status != 0) return status;
  const specifier::PeriodCalendar calendar = target.company->period_calendar(target.year, s.current_period);
  for (const auto& descriptor : periods) {
    const int period = single_period_of(descriptor, calendar);
    if (period == 0)
      return fail(kWglNotOnePeriod,
                  std::string(period_text.substr(descriptor.text_offset, descriptor.text_length)) +
                      " - a quarter, half year, year, to-date, other year, running or opening figure "
                      "is a sum of periods");
    amounts[static_cast<std::size_t>(period - 1)] = value;
  }
  return 0;
}

int write_figure(const RequestFields& fields, const Settings& s) {
  WglTarget target;
  if (const int status = resolve_target(fields, s, target); status != 0) return status;

  const auto value = wgl_value(fields[0]);
  if (!value) return fail(kWglInvalidAmount, fields[0]);
  const double amount = data::ledger_amount(*value, s);

  const bool blank_period = fields[2].find_first_not_of(" \t") == std::string::npos;
  data::PeriodAmounts amounts{};
  if (const int status = resolve_periods(blank_period ? std::string_view("Month") : std::string_view(fields[2]),
                                         target, s, amounts, amount);
      status != 0)
    return status;

  const auto code = data::exact_account_code(fields[1], target.company->structure);
  if (!code) return fail(data::kMessageInvalidAccount, fields[1]);

  data::BalanceWriter writer(*target.company);
  switch (writer.write(*code, target.year, target.kind, amounts, specifier::trim_blanks(fields[1]))) {
    case data::BalanceWriter::Outcome::Written:
      balances_changed(target.company->id);
      return 0;
    case data::BalanceWriter::Outcome::NoRecord:
      return kNoAccounts;
    case data::BalanceWriter::Outcome::Failed:
      break;
  }
  return pending_number() != 0 ? pending_number() : data::kMessageWriteFailed;
}

}  // namespace

int single_period_of(const specifier::PeriodDescriptor& d, const specifier::PeriodCalendar& calendar) {
  const auto span = d.span();
  if (span != specifier::Span::Periods && span != specifier::Span::Months) return 0;
  if (d.has(pf::kToDate) || d.has(pf::kOpening) || d.year_offset() != 0 || d.running() != 0 ||
      d.debit_credit != specifier::DebitCredit::None)
    return 0;
  int period = 0;
  if (d.has(pf::kMonthName)) {
    period = month_period(d.number, calendar);
  } else {
    switch (d.mode()) {
      case pf::kModeCurrent: period = calendar.current_period; break;
      case pf::kModeRelative: period = calendar.current_period - d.number; break;
      case pf::kModeAbsolute: period = d.number; break;
      default: return 0;
    }
  }
  return period >= 1 && period <= layout::kPeriods ? period : 0;
}

std::optional<double> wgl_value(std::string_view text) {
  text = specifier::trim_blanks(text);
  if (text.empty() || text.size() > 64) return std::nullopt;
  const std::string copy(text);
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(copy.c_str(), &end);
  // strtod would also take "inf", "nan" and hexadecimal figures.
  if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(value) ||
      copy.find_first_of("xXnN") != std::string::npos)
    return std::nullopt;
  return value;
}

int wgl_request(std::string_view arguments, std::string& result) {
  const Settings& s = settings();
  RequestFields fields;
  int status = split_arguments(arguments, 2, 7, fields);
  if (status == kOk) status = write_figure(fields, s);
  if (status == kOk) {
    result = fields[0];
    return 0;
  }
  write_request_result(status, 0, s, result);
  return 0;
}

}  // namespace kovo::requests
