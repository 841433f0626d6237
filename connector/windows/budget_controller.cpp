#include "windows/budget_controller.h"

#include <algorithm>
#include <cstdlib>

#include "data/budget_store.h"
#include "data/companies.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "requests/gl_core.h"
#include "resources/resource_ids.h"

namespace kovo::budget {
namespace {

constexpr int kMessageSettingsNotWritten = 60;
constexpr int kMessageBudgetTransactions = 92;
constexpr int kMessageOriginalLocked = 59;
constexpr std::size_t kCompanyLimit = 6;
constexpr std::size_t kYearLimit = 4;

std::string field(std::string_view text, std::size_t limit) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text.substr(0, limit));
}

std::vector<std::string> company_ids() {
  const std::vector<std::string>& known = data::known_cyma_companies();
  return data::company_ids(known.empty() ? data::cyma_company_list() : known);
}

// The company of a window field; a failure is pending when it cannot be used.
data::CompanyContext* usable_company(std::string_view id) {
  data::CompanyContext* company = data::find_or_open_company(id);
  if (data::company_error_check(company) != 0) return nullptr;
  return company;
}

}  // namespace

BudgetView BudgetController::open() {
  if (settings_.budget_company.empty()) settings_.budget_company = settings_.company;
  BudgetView view;
  view.companies = company_ids();
  view.company = settings_.budget_company;
  view.year = settings_.budget_year;
  view.checked_control =
      data::budget_kind_of(settings_.budget_type) == data::BudgetKind::Revised ? IDC_BUDGET_REVISED : IDC_BUDGET_ORIGINAL;
  data::CompanyContext* company = usable_company(view.company);
  if (!company) {
    windows::show_pending_failure(services_);
    return view;
  }
  view.years = data::year_choices(*company);
  // The year written when the setting names none: shown, so that the user
  // sees which year a Write changes.
  if (view.year.empty() || view.year == "0") view.year = company->current_year;
  return view;
}

std::optional<std::vector<std::string>> BudgetController::company_changed(std::string_view code) {
  const std::string id = field(code, kCompanyLimit);
  data::CompanyContext* company = usable_company(id);
  if (!company) {
    windows::show_pending_failure(services_);
    return std::nullopt;
  }
  settings_.budget_company = id;
  return data::year_choices(*company);
}

bool BudgetController::choose(int control) {
  if (control != IDC_BUDGET_ORIGINAL && control != IDC_BUDGET_REVISED) return false;
  settings_.budget_type =
      std::string(data::budget_kind_name(control == IDC_BUDGET_REVISED ? data::BudgetKind::Revised
                                                                         : data::BudgetKind::Original));
  return true;
}

bool BudgetController::refuse(int number, std::string_view detail) {
  services_.box(windows::BoxKind::Error, number, detail);
  return false;
}

void BudgetController::write(std::string_view company_text, std::string_view year_text) {
  if (show_count_) show_count_(0);
  std::string id = field(company_text, kCompanyLimit);
  if (id.empty()) id = settings_.company;
  data::CompanyContext* company = usable_company(id);
  if (!company) return windows::show_pending_failure(services_);
  settings_.budget_company = id;

  const std::string typed_year = field(year_text, kYearLimit);
  const auto year_text_read = requests::gl_year_text(typed_year, "0");
  if (!year_text_read) {
    refuse(requests::kInvalidYearText, typed_year);
    return;
  }
  settings_.budget_year = typed_year.empty() ? "0" : typed_year;
  int year = std::atoi(year_text_read->c_str());
  if (year == 0) year = company->current_year_number();

  const data::BudgetKind kind = data::budget_kind_of(settings_.budget_type);
  if (const data::YearEntry* entry = company->year_entry(year)) {
    if (entry->budget_transactions) {
      refuse(kMessageBudgetTransactions);
      return;
    }
    if (kind == data::BudgetKind::Original && entry->original_budget_locked) {
      refuse(kMessageOriginalLocked);
      return;
    }
  }
  if (!services_.save_settings()) services_.box(windows::BoxKind::Error, kMessageSettingsNotWritten);

  const windows::ClipboardText block = services_.clipboard_text();
  if (block.failure != 0) {
    refuse(block.failure);
    return;
  }
  RunReport report;
  {
    // The connector takes no request while the run holds the balance file:
    // a recalculating sheet asks again once the run is over.
    const BusyScope writing(Work::kBudgetWrite);
    const auto fill = services_.fill({});
    WriteBackRequest request;
    request.block = block.text;
    request.company = company;
    request.year = year;
    request.kind = kind;
    request.settings = &settings_;
    request.locale = locale_;
    request.automation = services_.automation();
    report = write_back(request, {show_count_, fill->check()});
  }
  tell(report);
  last_run_ = std::move(report);
}

void BudgetController::tell(const RunReport& report) {
  const std::vector<RunMessageText> messages = run_messages(report);
  if (!services_.automation()) {
    for (const auto& m : messages)
      services_.box(m.error ? windows::BoxKind::Error : windows::BoxKind::Information, m.number, m.detail);
    return;
  }
  // Nobody sees a box: the caller of the command gets the whole account.
  std::string text;
  for (const auto& m : messages) {
    if (!text.empty()) text += "\r\n";
    text += std::string(kMessagePrefix) + " " + box_text(m.number, m.detail);
  }
  services_.hand_back(std::move(text));
}

void BudgetController::quit() { services_.close(); }

}  // namespace kovo::budget
