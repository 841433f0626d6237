#include "windows/wizard_controller.h"

#include <cstdlib>

#include "data/companies.h"
#include "entry/messages.h"
#include "requests/tran_args.h"
#include "specifier/calendar.h"
#include "specifier/period.h"
#include "specifier/text_util.h"

namespace kovo::wizard {
namespace {

constexpr char kStartSpecifier[] = "Month";
constexpr std::size_t kDateFieldLimit = 260;

using specifier::trimmed;

std::string shown(const layout::Date& d) { return date_text(d.day, d.month, d.year); }

}  // namespace

void WizardController::open(const windows::PeriodWizardStart* start, std::optional<windows::Slot> reports_to) {
  reports_to_ = reports_to;
  company_ = start && !trimmed(start->company).empty() ? trimmed(start->company) : settings_.company;
  year_ = start ? trimmed(start->year) : std::string();
  const std::string specifier = start && !trimmed(start->specifier).empty() ? start->specifier : kStartSpecifier;
  specifier::PeriodList periods;
  if (specifier::parse_period_list(specifier, periods) == 0 && periods.count > 0)
    state_ = state_from(periods.entries[0]);
  clear_message();
  if (start && start->dates_given) {
    dates_given_ = true;
    from_ = start->from;
    to_ = start->to;
  }
  const Composition c = compose(state_);
  if (c.failure == 0) {
    state_ = c.state;
    text_ = c.text;
  }
  display_.show_state(state_);
  display_.show_text(text_);
  if (!dates_given_) recompute_dates();
  display_.show_dates(from_, to_);
}

void WizardController::choose(const WizardState& next) {
  const Composition c = compose(next);
  if (c.failure != 0) {
    services_.box(windows::BoxKind::Error, c.failure);
    display_.show_state(state_);
    return;
  }
  const bool became_all = c.state.period == kAllPeriods && state_.period != kAllPeriods;
  state_ = c.state;
  text_ = c.text;
  dates_given_ = false;
  display_.show_state(state_);
  display_.show_text(text_);
  recompute_dates();
  display_.show_dates(from_, to_);
  if (became_all) tell(windows::kWizardDatesChosen);
}

void WizardController::recompute_dates() {
  data::purge_failed_companies();
  data::CompanyContext* company = data::find_or_open_company(company_);
  if (data::company_error_check(company) != 0) {
    clear_message();
    return;
  }
  const int year = year_.empty() || year_ == "0" ? company->current_year_number() : std::atoi(year_.c_str());
  const specifier::PeriodCalendar calendar = company->period_calendar(year, settings_.current_period);
  const PeriodSpan span = period_span(state_, calendar.current_period, calendar.periods_per_year);
  const data::YearEntry* first = company->year_entry(year - span.start_years_back);
  const data::YearEntry* last = company->year_entry(year - span.end_years_back);
  const auto in_year = [](const data::YearEntry* y, int period) {
    return y && period >= 1 && period <= y->periods;
  };
  from_ = in_year(first, span.start) ? shown(first->start[static_cast<std::size_t>(span.start - 1)]) : std::string();
  to_ = in_year(last, span.end) ? shown(last->end[static_cast<std::size_t>(span.end - 1)]) : std::string();
}

void WizardController::dates_edited(std::string_view from, std::string_view to) {
  requests::CalendarDate f, t;
  const std::string from_text(from.substr(0, std::min(from.size(), kDateFieldLimit)));
  const std::string to_text(to.substr(0, std::min(to.size(), kDateFieldLimit)));
  if (requests::parse_date_range(from_text, to_text, f, t) != 0) {
    windows::show_pending_failure(services_);
    display_.show_dates(from_, to_);  // the previous range stays in force
    return;
  }
  from_ = shown(f);
  to_ = shown(t);
  dates_given_ = true;
  display_.show_dates(from_, to_);
  tell(windows::kWizardDatesChosen);
}

void WizardController::to_clipboard() {
  if (!services_.put_clipboard(clipboard_form(text_))) services_.box(windows::BoxKind::Error, 62);
}

void WizardController::ok() {
  tell(windows::kWizardPeriodChosen);
  services_.close();
}

void WizardController::closing() { tell(windows::kWizardClosed); }

void WizardController::tell(int command) {
  if (!reports_to_) return;
  result_ = {text_.substr(0, kCopiedLimit), from_, to_};
  services_.send_command(*reports_to_, command, reinterpret_cast<std::intptr_t>(&result_));
}

}  // namespace kovo::wizard
