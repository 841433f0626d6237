#include "windows/chart_controller.h"

#include <cmath>
#include <utility>

#include "data/companies.h"
#include "data/entities_file.h"
#include "entry/messages.h"
#include "requests/gl_core.h"
#include "requests/gl_request.h"
#include "requests/record_sources.h"
#include "specifier/account_code.h"
#include "specifier/account_walk.h"
#include "specifier/period.h"
#include "specifier/text_util.h"

namespace kovo::chart {
namespace {

using windows::BoxKind;

constexpr std::size_t kCompanyLimit = 6;
constexpr std::size_t kTextLimit = 661;
constexpr std::size_t kYearLimit = 4;
constexpr char kBudget[] = "Budget";
constexpr char kRevisedBudget[] = "Revised Budget";
constexpr char kAccountsCopied[] = " account keys were copied to the clipboard.";
constexpr char kAccountsBeforeStop[] = " accounts were copied to the clipboard before cancellation.";
constexpr char kBufferFull[] = "Too many accounts found for the copy buffer. ";
// A box whose whole text is its detail.
constexpr int kNoNumber = -1;

using specifier::trimmed;

// The chart works on one company: text after a comma is ignored.
std::string chart_company(std::string_view field) {
  return trimmed(field.substr(0, field.find(','))).substr(0, kCompanyLimit);
}

// "NA Label" held at 1 while the figures are read: an account without a
// balance record has a figure of zero, not a failure.
class NaLabelHeld {
 public:
  explicit NaLabelHeld(Settings& s) : settings_(s), saved_(s.na_label) { s.na_label = 1; }
  ~NaLabelHeld() { settings_.na_label = saved_; }
  NaLabelHeld(const NaLabelHeld&) = delete;
  NaLabelHeld& operator=(const NaLabelHeld&) = delete;

 private:
  Settings& settings_;
  int saved_;
};

double rounded(double value, int rounding) {
  const double step = rounding_step(rounding);
  if (step == 0.0) return value;
  const double shifted = value >= 0 ? (value + step / 2) / step : (value - step / 2) / step;
  const double result = std::trunc(shifted) * step;
  return result == 0.0 ? 0.0 : result;
}

// Every segment a wildcard: the whole chart.
std::string all_accounts(int segment_count) {
  std::string specifier = "*";
  for (int s = 1; s < segment_count; ++s) specifier += "-*";
  return specifier;
}

// The accounts of the chart that match the specifier, in account order;
// reading them all first keeps the walk's position apart from the figures'
// reads of the same files. 0, or the number of the message to show.
int matching_accounts(data::CompanyContext& c, const std::string& specifier, const windows::RowCheck& check,
                      std::vector<ChartAccount>& out) {
  if (const int status = data::open_company_file(c, layout::FileKind::Accounts); status != 0) return status;
  std::vector<std::string> list;
  if (specifier::expand_specifier(specifier, c.structure.segment_count, list, entities::lookup_for(c)) != 0) return kMessageNoMatchingAccounts;
  requests::AccountSource source(c);
  specifier::WalkOptions options;
  options.by_year = false;
  options.na_label = 1;
  specifier::AccountWalk walk(source, c.structure, options);
  int status = walk.first(std::move(list), 0);
  while (status == specifier::kFound) {
    if (const auto a = layout::decode_account(source.record())) {
      ChartAccount account;
      account.code = specifier::hyphenated_code(a->code, c.structure);
      account.description = std::string(specifier::trim_right(a->description));
      account.balance_sheet = requests::account_kind_of_type(a->type) == specifier::AccountKind::Balance;
      out.push_back(std::move(account));
    }
    if (check && !check()) return 0;
    status = walk.next();
  }
  if (status != specifier::kNoMore || out.empty()) return kMessageNoMatchingAccounts;
  return 0;
}

}  // namespace

ChartFields ChartController::fields_from_settings() const {
  ChartFields f;
  f.account = settings_.chart_account;
  f.periods = settings_.chart_period;
  f.company = settings_.chart_company;
  f.year = settings_.chart_year;
  f.revised = is_revised_budget(settings_.chart_type);
  f.options.show_account = settings_.chart_show_account != 0;
  f.options.segment_columns = f.options.show_account && settings_.segments_in_columns != 0;
  f.options.show_description = settings_.chart_show_description != 0;
  f.options.show_origin = settings_.chart_show_origin != 0;
  f.options.prepend_quote = settings_.chart_prepend_account != 0;
  f.options.skip_zero = settings_.skip_zero_accounts != 0;
  f.options.formulas = settings_.formulas == 1   ? FormulaStyle::Lotus
                       : settings_.formulas == 2 ? FormulaStyle::Excel
                                                 : FormulaStyle::None;
  return f;
}

ChartFields ChartController::open(const windows::ChartStart* start) {
  if (start) {
    settings_.chart_account = start->account.substr(0, kTextLimit);
    settings_.chart_period = start->period.substr(0, kTextLimit);
    settings_.chart_year = trimmed(start->year).substr(0, kYearLimit);
    settings_.chart_company = chart_company(start->company);
    settings_.chart_type = is_revised_budget(start->type) ? kRevisedBudget : kBudget;
  }
  return fields_from_settings();
}

ChartFields ChartController::reset() {
  settings_.chart_year = settings_.setup_year;
  settings_.chart_show_account = 1;
  settings_.chart_show_description = 1;
  settings_.chart_show_origin = 1;
  settings_.chart_prepend_account = 1;
  settings_.segments_in_columns = 0;
  return fields_from_settings();
}

ChartOptions ChartController::checked(ChartCheck box, bool on, ChartOptions options) const {
  if (box == ChartCheck::ShowAccount && !on) options.segment_columns = false;
  if (box == ChartCheck::SegmentColumns && on) options.show_account = true;
  return options;
}

void ChartController::take_fields(const ChartFields& f) {
  settings_.chart_account = f.account.substr(0, kTextLimit);
  settings_.chart_period = f.periods.substr(0, kTextLimit);
  settings_.chart_company = chart_company(f.company);
  settings_.chart_year = trimmed(f.year).substr(0, kYearLimit);
  settings_.chart_type = f.revised ? kRevisedBudget : kBudget;
  const ChartOptions& o = f.options;
  settings_.chart_show_account = o.show_account ? 1 : 0;
  settings_.segments_in_columns = o.show_account && o.segment_columns ? 1 : 0;
  settings_.chart_show_description = o.show_description ? 1 : 0;
  settings_.chart_show_origin = o.show_origin ? 1 : 0;
  settings_.chart_prepend_account = o.prepend_quote ? 1 : 0;
  settings_.skip_zero_accounts = o.skip_zero ? 1 : 0;
}

void ChartController::find(const ChartFields& fields) {
  if (show_count_) show_count_(0);
  // Whoever runs the command reads the clipboard afterwards: a Find that
  // fails must not leave an earlier text there.
  if (services_.automation()) services_.empty_clipboard();
  take_fields(fields);
  if (!services_.save_settings()) services_.box(BoxKind::Error, 60);
  const ChartFields f = fields_from_settings();

  const std::string id = settings_.chart_company;
  if (id.empty()) {
    services_.box(BoxKind::Error, kMessageInvalidCompany, fields.company);
    return;
  }
  data::CompanyContext* company = data::find_or_open_company(id);
  if (data::company_error_check(company) != 0) return windows::show_pending_failure(services_);

  const std::vector<std::string> periods = chart_periods(f.periods);
  for (const auto& period : periods) {
    specifier::PeriodList parsed;
    if (specifier::parse_period_list(period, parsed) != 0) {
      clear_message();
      services_.box(BoxKind::Error, 63, period);
      return;
    }
  }
  const std::string account = trimmed(f.account).empty() ? all_accounts(company->structure.segment_count) : f.account;
  const std::string year = f.year.empty() || f.year == "0" ? company->current_year : f.year;
  std::vector<std::string> names;
  for (int s = 0; s < company->structure.segment_count; ++s)
    names.push_back(company->segment_names[static_cast<std::size_t>(s)]);
  ChartText table(f.options, id, year, names, periods, text_limit_);

  bool stopped = false;
  bool full = false;
  {
    const auto fill = services_.fill(message_string(kMessageStopChart), kMessageStopChart);
    const windows::RowCheck check = fill->check();
    std::vector<ChartAccount> accounts;
    if (const int status = matching_accounts(*company, account, check, accounts); status != 0) {
      if (status != kMessageNoMatchingAccounts) return windows::show_pending_failure(services_);
      clear_message();
      services_.box(BoxKind::Error, status, account);
      return;
    }
    stopped = fill->stopped();
    const bool figures = !periods.empty() && (f.options.formulas == FormulaStyle::None || f.options.skip_zero);
    const NaLabelHeld na_label(settings_);
    for (std::size_t i = 0; i < accounts.size() && !stopped; ++i) {
      std::vector<std::string> cells;
      bool all_zero = true;
      if (figures) {
        for (const auto& period : periods) {
          double value = 0;
          const int status = requests::evaluate_gl({accounts[i].code, period, id, f.year, settings_.chart_type}, value);
          if (status != 0 && status != 15) return windows::show_pending_failure(services_);
          clear_message();
          value = rounded(status == 0 ? value : 0.0, settings_.rounding);
          if (value != 0.0) all_zero = false;
          cells.push_back(window_amount_text(value, settings_, locale_));
        }
      }
      if (!(f.options.skip_zero && !periods.empty() && all_zero)) {
        if (!table.add(accounts[i], cells)) {
          full = true;
          break;
        }
        if (show_count_) show_count_(table.accounts());
      }
      if (!check()) stopped = true;
    }
  }
  last_text_ = table.text();
  const std::string count = std::to_string(table.accounts());
  if (!services_.put_clipboard(table.text())) return;
  if (full) {
    services_.box(BoxKind::Error, kMessageChartFailed, kBufferFull + count + kAccountsCopied);
    return;
  }
  services_.box(BoxKind::Information, kNoNumber, count + (stopped ? kAccountsBeforeStop : kAccountsCopied));
}

void ChartController::accounts() {
  services_.close_window(windows::kSlotEnquiry);
  services_.open_window(windows::kSlotEnquiry);
}

void ChartController::periods(const ChartFields& fields) {
  windows::PeriodWizardStart start;
  start.specifier = fields.periods;
  services_.open_window(windows::kSlotPeriodWizard, start);
}

void ChartController::quit() { services_.close(); }

}  // namespace kovo::chart
