#include "windows/setup_controller.h"

#include <algorithm>
#include <utility>

#include "data/companies.h"
#include "entry/messages.h"
#include "windows/list_command.h"
#include "windows/segment_values.h"
#include "specifier/text_util.h"

namespace kovo::setup {
namespace {

using windows::BoxKind;

constexpr int kMessageSettingsNotWritten = 60;
constexpr std::size_t kCompanyLimit = 6;
constexpr std::size_t kYearLimit = 4;
constexpr std::size_t kZeroLabelLimit = 16;
constexpr std::size_t kSystemLimit = 260;
constexpr char kBudget[] = "Budget";
constexpr char kRevisedBudget[] = "Revised Budget";
// A box whose whole text is its detail.
constexpr int kNoNumber = -1;

using specifier::trimmed;

// The data directory as the settings keep it, without a closing backslash.
std::string directory_text(std::string_view directory) {
  std::string d = trimmed(directory).substr(0, kSystemLimit);
  while (d.size() > 3 && (d.back() == '\\' || d.back() == '/')) d.pop_back();
  return d;
}

bool same_directory(std::string_view a, std::string_view b) {
  const std::string x = directory_text(a), y = directory_text(b);
  return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin(), [](char p, char q) {
           return std::tolower(static_cast<unsigned char>(p)) == std::tolower(static_cast<unsigned char>(q));
         });
}


// Loading a company fills an "Off" period override with the company's own
// period; the window edits the setting itself, so "Off" stays "Off".
data::CompanyContext* usable_company(std::string_view id) {
  Settings& s = settings();
  const int period = s.current_period;
  data::CompanyContext* company = data::find_or_open_company(id);
  s.current_period = period;
  if (data::company_error_check(company) != 0) return nullptr;
  return company;
}

}  // namespace

std::vector<std::string> period_entries() {
  std::vector<std::string> entries;
  for (int p = 1; p <= 13; ++p) entries.push_back(std::to_string(p));
  entries.emplace_back("Off");
  return entries;
}

int period_index(int current_period) {
  return current_period >= 1 && current_period <= 13 ? current_period - 1 : kPeriodEntries - 1;
}

int period_setting(int index) { return index >= 0 && index < kPeriodEntries - 1 ? index + 1 : 0; }

std::vector<std::string> rounding_entries() {
  return {"None", ".01", ".1", "1", "10", "100", "1,000", "10,000", "100,000", "1,000,000"};
}

std::vector<std::string> scaling_entries() {
  return {"None", "10", "100", "1,000", "10,000", "100,000", "1,000,000", "10,000,000"};
}

SetupView SetupController::open() {
  if (settings_.type.empty()) settings_.type = kBudget;
  SetupView view;
  view.system = settings_.system;
  view.companies = data::company_ids(data::cyma_company_list());
  view.company = settings_.company;
  view.year = settings_.setup_year;
  view.period_index = period_index(settings_.current_period);
  view.revised = is_revised_budget(settings_.type);
  view.zero_label = settings_.zero_label;
  view.rounding = std::clamp(settings_.rounding, 0, static_cast<int>(rounding_entries().size()) - 1);
  view.scaling = std::clamp(settings_.scaling, 0, static_cast<int>(scaling_entries().size()) - 1);
  view.return_zero = settings_.na_label != 0;
  view.preload = settings_.adpl_enabled != 0;
  data::CompanyContext* company = usable_company(view.company);
  if (!company) {
    view.company_failed = true;
    windows::show_pending_failure(services_);
    return view;
  }
  data::probe_data_version(*company);
  view.years = data::year_choices(*company);
  return view;
}

std::optional<std::vector<std::string>> SetupController::directory_changed(std::string_view directory) {
  const std::string d = directory_text(directory);
  if (same_directory(d, settings_.system)) return std::nullopt;
  settings_.system = d;
  // Nothing read from the other directory may answer for this one.
  lists::value_cache().release();
  data::close_all_companies();
  return data::company_ids(data::cyma_company_list());
}

std::optional<std::vector<std::string>> SetupController::company_changed(std::string_view code) {
  const std::string id = trimmed(code).substr(0, kCompanyLimit);
  data::CompanyContext* company = usable_company(id);
  if (!company) {
    windows::show_pending_failure(services_);
    return std::nullopt;
  }
  settings_.company = id;
  data::probe_data_version(*company);
  return data::year_choices(*company);
}

void SetupController::choose(SetupChoice choice, int value) {
  switch (choice) {
    case SetupChoice::Period: settings_.current_period = period_setting(value); return;
    case SetupChoice::Rounding:
      settings_.rounding = std::clamp(value, 0, static_cast<int>(rounding_entries().size()) - 1);
      return;
    case SetupChoice::Scaling:
      settings_.scaling = std::clamp(value, 0, static_cast<int>(scaling_entries().size()) - 1);
      return;
    case SetupChoice::ReturnZero: settings_.na_label = value ? 1 : 0; return;
    case SetupChoice::Preload: settings_.adpl_enabled = value ? 1 : 0; return;
    case SetupChoice::Revised: settings_.type = value ? kRevisedBudget : kBudget; return;
  }
}

std::string SetupController::profile(std::string_view code) {
  const std::string id = trimmed(code).substr(0, kCompanyLimit);
  data::CompanyContext* company = usable_company(id);
  if (!company) {
    windows::show_pending_failure(services_);
    return {};
  }
  std::string text = "Data Directory: " + company->data_directory + "\r\n";
  static constexpr std::pair<const char*, int> kItems[] = {
      {"Name: ", 100},         {"Kovo Setup Company Current Period: ", 102}, {"Company Current Period: ", 101},
      {"Periods Per Year: ", 8}, {"Year: ", 103},                             {"Account Code Structure: ", 15},
      {"Main Segment Number: ", 105}};
  for (const auto& [label, code_number] : kItems) {
    std::string value;
    if (data::company_data_field(id, code_number, value) != 0) {
      clear_message();
      continue;
    }
    text += "\r\n";
    text += label + value;
  }
  services_.box(BoxKind::Information, kNoNumber, text);
  if (!services_.put_clipboard(text)) services_.box(BoxKind::Error, kMessageMemory);
  return text;
}

void SetupController::entities_setup(std::string_view code) {
  if (data::CompanyContext* company = data::find_company(trimmed(code).substr(0, kCompanyLimit)))
    data::close_entities_file(*company);
  services_.open_window(windows::kSlotFeSetup);
}

void SetupController::ok(const SetupFields& fields) {
  directory_changed(fields.system);
  settings_.company = trimmed(fields.company).substr(0, kCompanyLimit);
  settings_.zero_label = fields.zero_label.substr(0, kZeroLabelLimit);
  const std::string year = trimmed(fields.year).substr(0, kYearLimit);
  if (year != settings_.setup_year) {
    // The connector's windows open on the new year.
    settings_.chart_year = year;
    settings_.budget_year = year;
    settings_.drill_year = year;
  }
  settings_.setup_year = year;
  if (!services_.save_settings()) services_.box(BoxKind::Error, kMessageSettingsNotWritten);
  services_.close();
}

void SetupController::cancel() {
  if (reload_settings_) reload_settings_();
  services_.close();
}

}  // namespace kovo::setup
