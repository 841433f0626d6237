#include "windows/enquiry_controller.h"

#include <algorithm>
#include <cmath>

#include "data/companies.h"
#include "entry/messages.h"
#include "requests/gl_request.h"
#include "specifier/period.h"
#include "windows/entities_hook.h"
#include "windows/list_catalog.h"
#include "windows/list_command.h"
#include "windows/window_handoffs.h"
#include "specifier/text_util.h"

namespace kovo::enquiry {
namespace {

using windows::BoxKind;

constexpr int kMessageReadingAccounts = 82;
constexpr double kSmallestShown = 0.001;
constexpr char kBudget[] = "Budget";
constexpr char kRevisedBudget[] = "Revised Budget";
constexpr char kDefaultPeriod[] = "Month";
constexpr std::size_t kCompanyLimit = 6;
constexpr std::size_t kYearLimit = 4;
constexpr std::size_t kPeriodLimit = 512;
constexpr std::size_t kChartCompanyLimit = 6;
constexpr std::size_t kChartTextLimit = 662;

using specifier::trimmed;

bool parses(std::string_view period) {
  specifier::PeriodList periods;
  const bool ok = !trimmed(period).empty() && specifier::parse_period_list(period, periods) == 0;
  clear_message();
  return ok;
}

std::string segment_title(const std::vector<std::string>& names, int segment) {
  return lists::segment_label(names, segment);
}

}  // namespace

std::string balance_text(double balance, const AmountText& amount_text) {
  return std::fabs(balance) >= kSmallestShown ? amount_text(balance) : std::string("0.00");
}

data::CompanyContext* EnquiryController::look_up(std::string_view company) {
  const std::string id = trimmed(company.substr(0, std::min(company.size(), kCompanyLimit)));
  // A company that failed before is opened afresh: the settings may have changed.
  data::purge_failed_companies();
  data::CompanyContext* context = id.empty() ? nullptr : data::find_or_open_company(id);
  if (!context) {
    services_.box(BoxKind::Error, 29, company);
    return nullptr;
  }
  if (data::company_error_check(context) != 0) {
    windows::show_pending_failure(services_);
    return nullptr;
  }
  return context;
}

EnquiryChoices EnquiryController::choices_for(data::CompanyContext& company) {
  names_ = lists::segment_names(company);
  const int count = static_cast<int>(names_.size());
  EnquiryChoices choices;
  choices.companies = data::company_ids(data::known_cyma_companies());
  for (const data::YearEntry& year : company.years) choices.years.push_back(std::to_string(year.year));
  choices.year = company.current_year;

  const bool from_entities = settings_.list_use_sad_file != 0;
  const windows::EntitiesHook& hook = windows::entities_hook();
  lists::SegmentValueCache& cache = lists::value_cache();
  bool values_read = false;
  // Nobody picks from the lists of a window without a user.
  const bool lists_wanted = !services_.automation();
  if (lists_wanted && !from_entities && count > 0) {
    const auto fill = services_.fill(message_string(kMessageReadingAccounts));
    const int status = cache.prepare(company, {true, false}, fill->check());
    values_read = status == 0;
    if (status != 0 && status != lists::kStopped) windows::show_pending_failure(services_);
  }
  for (int i = 0; i < kSegmentBoxes; ++i) {
    SegmentBox& box = choices.segments[static_cast<std::size_t>(i)];
    if (i >= count) {
      box.label = "Segment " + std::to_string(i + 1) + ":";
      continue;
    }
    box.label = segment_title(names_, i) + ":";
    box.enabled = true;
    if (!lists_wanted) continue;
    if (from_entities) {
      if (hook.choices) box.items = hook.choices(company, i + 1);
    } else if (values_read) {
      for (const std::string& value : cache.values(i)) {
        const std::string_view description = cache.description(i, value);
        box.items.push_back(description.empty() ? value : value + "; " + std::string(description));
      }
    }
  }
  for (int i = 1; i < count; ++i) choices.by.push_back({segment_title(names_, i), -(i + 1)});
  choices.by_selected = static_cast<int>(choices.by.size());
  choices.by.push_back({"Period", kByPeriod});
  choices.by.push_back({"Company", kByCompany});
  return choices;
}

EnquiryOpening EnquiryController::open() {
  services_.empty_clipboard();
  EnquiryOpening opening;
  opening.revised = is_revised_budget(settings_.type);
  opening.company = settings_.company.substr(0, kCompanyLimit);
  // A user sees the month in place of a period that does not parse; a
  // command without a user keeps the period it gave, so that it fails
  // rather than leave another period's enquiry on the clipboard.
  const bool keep_period = parses(settings_.drill_period) || services_.automation();
  opening.period = keep_period ? settings_.drill_period.substr(0, kPeriodLimit) : kDefaultPeriod;
  data::CompanyContext* company = look_up(opening.company);
  company_loaded_ = company != nullptr;
  if (!company) {
    opening.company_failed = true;
    return opening;
  }
  opening.choices = choices_for(*company);
  const std::string year = trimmed(settings_.drill_year);
  opening.year = year.empty() || year == "0" ? opening.choices.year : year.substr(0, kYearLimit);
  if (const auto values = plain_segments(settings_.drill_account); values && values->size() == names_.size())
    for (std::size_t i = 0; i < values->size() && i < kSegmentBoxes; ++i) opening.choices.segments[i].value = (*values)[i];
  return opening;
}

std::optional<EnquiryChoices> EnquiryController::company_changed(std::string_view company) {
  data::CompanyContext* context = look_up(company);
  company_loaded_ = context != nullptr;
  if (!context) return std::nullopt;
  return choices_for(*context);
}

bool EnquiryController::period_parses(const EnquiryFields& fields) {
  if (parses(fields.period)) return true;
  services_.box(BoxKind::Error, kMessageInvalidPeriod);
  display_.show_period({});
  return false;
}

std::vector<std::string> EnquiryController::values_of(const EnquiryFields& fields) const {
  std::vector<std::string> values;
  for (std::size_t i = 0; i < names_.size() && i < kSegmentBoxes; ++i) values.push_back(chosen_value(fields.segments[i]));
  return values;
}

std::optional<std::string> EnquiryController::account(const EnquiryFields& fields) {
  const auto built = account_of(values_of(fields));
  if (!built || names_.empty()) {
    services_.box(BoxKind::Error, kMessageMissingSegment);
    return std::nullopt;
  }
  return built;
}

std::string EnquiryController::type_of(const EnquiryFields& fields) const {
  return fields.revised ? kRevisedBudget : kBudget;
}

void EnquiryController::get_balance(const EnquiryFields& fields) {
  display_.show_balance({});
  if (!period_parses(fields)) return;
  const auto specifier = account(fields);
  if (!specifier) return;
  double balance = 0;
  const int status = requests::evaluate_gl(
      {*specifier, fields.period, trimmed(fields.company), trimmed(fields.year), type_of(fields)}, balance);
  if (status != 0) {
    if (!message_pending()) report(status, *specifier);
    windows::show_pending_failure(services_);
    return;
  }
  display_.show_balance(balance_text(balance, amount_text_));
}

void EnquiryController::to_drill(const EnquiryFields& fields) {
  const auto specifier = account(fields);
  if (!specifier) return;
  windows::DrillStart start;
  start.account = *specifier;
  start.period = fields.period;
  start.year = trimmed(fields.year);
  start.company = trimmed(fields.company);
  start.type = type_of(fields);
  services_.close_window(windows::kSlotDrill);
  services_.open_window(windows::kSlotDrill, start);
}

void EnquiryController::to_chart(const EnquiryFields& fields) {
  const auto specifier = account(fields);
  if (!specifier) return;
  settings_.chart_type = type_of(fields);
  settings_.chart_year = trimmed(fields.year).substr(0, kYearLimit);
  settings_.chart_period = fields.period.substr(0, kChartTextLimit);
  settings_.chart_company = trimmed(fields.company).substr(0, kChartCompanyLimit);
  settings_.chart_account = specifier->substr(0, kChartTextLimit);
  services_.close_window(windows::kSlotChartCopy);
  services_.open_window(windows::kSlotChartCopy);
}

void EnquiryController::period_wizard(const EnquiryFields& fields) {
  windows::PeriodWizardStart start;
  start.specifier = parses(fields.period) ? fields.period : kDefaultPeriod;
  start.company = trimmed(fields.company);
  start.year = trimmed(fields.year);
  services_.open_window(windows::kSlotPeriodWizard, start);
}

void EnquiryController::wizard_period(std::string_view specifier) {
  display_.show_period(specifier.substr(0, std::min(specifier.size(), kPeriodLimit)));
}

void EnquiryController::quit(const EnquiryFields& fields, std::optional<windows::Slot> reports_to) {
  if (!period_parses(fields)) {
    // Nobody can correct the period of a window without a user: it goes
    // without a table, and the command's caller finds the clipboard empty.
    if (services_.automation()) services_.close();
    return;
  }
  if (company_loaded_) {
    EnquiryBlock block;
    block.by = fields.by;
    const std::vector<std::string> values = values_of(fields);
    for (std::size_t i = 0; i < values.size(); ++i) block.segments.push_back({names_[i], values[i]});
    block.period = fields.period;
    block.company = trimmed(fields.company);
    block.year = trimmed(fields.year);
    block.type = type_of(fields);
    services_.put_clipboard(block_text(block));
    if (reports_to) {
      // The window it was opened from takes the enquiry as its query.
      if (const auto specifier = account_of(values)) settings_.drill_account = *specifier;
      settings_.drill_period = fields.period.substr(0, kPeriodLimit);
      settings_.drill_year = block.year;
      settings_.drill_company = block.company;
      settings_.drill_type = block.type;
      settings_.drill_date_range = false;
      services_.send_command(*reports_to, windows::kWizardReinitialise);
    }
  }
  services_.close();
}

}  // namespace kovo::enquiry
