#include "windows/preload_controller.h"

#include <memory>

#include "data/companies.h"
#include "entry/messages.h"
#include "requests/preload.h"

namespace kovo::preload {
namespace {

enum : int {
  kMessageReadingBalances = 4406,
  kMessageSortingAccounts = 4407,
  kMessageStopPreload = 4408,
};

// DataPreLoad's progress ids: reading, then sorting.
constexpr int kReadingId = 1;
constexpr int kSortingId = 2;

std::string company_id_of(std::string_view line) {
  const std::size_t tab = line.find('\t');
  return std::string(line.substr(0, tab));
}

std::string flag_text(bool on) { return on ? "1" : "0"; }

bool flag_of(AutoStore& store, const std::string& key, bool fallback) {
  return store.read(key, flag_text(fallback)) == "1";
}

// Shows a preload's progress in the window through its fills: one while
// the balances are read, another while the indexes are sorted.
class WindowProgress final : public requests::PreloadProgress {
 public:
  explicit WindowProgress(windows::WindowServices& services) : services_(services) {}
  bool report(int id, std::size_t count) override {
    if (id != id_ || !fill_) {
      fill_.reset();
      fill_ = services_.fill(message_string(id == kReadingId ? kMessageReadingBalances : kMessageSortingAccounts),
                             kMessageStopPreload);
      id_ = id;
    }
    return fill_->reached(count);
  }
  void failure(int message) override { services_.box(windows::BoxKind::Error, message); }

 private:
  windows::WindowServices& services_;
  std::unique_ptr<windows::FillWork> fill_;
  int id_ = 0;
};

bool cached(const data::CompanyContext& c) { return c.balance_cache.valid && !c.balance_cache.sets().empty(); }

std::size_t cached_accounts(const data::CompanyContext& c) {
  std::size_t n = 0;
  for (const auto& set : c.balance_cache.sets()) n += set.entry_count();
  return n;
}

// The actual years, then the budget, as the flags ask; the first failure ends it.
int preload_company(data::CompanyContext& c, const PreloadFields& f, requests::PreloadProgress* progress) {
  c.balance_cache.flags = {f.this_year, f.last_year, f.budget};
  data::PreloadKey key;
  key.year = f.year;
  key.budget_type = normalize_budget_type(f.budget_type);
  // no account named: every account of the company
  key.account_spec = f.account;
  if (key.account_spec.empty()) {
    for (int i = 0; i < c.structure.segment_count; ++i) key.account_spec += i ? "-*" : "*";
  }
  int status = 0;
  // neither year nor budget fails in the preload itself, with its box
  if (f.this_year || f.last_year || !f.budget) {
    key.mode = data::CacheMode::Actual;
    status = requests::DataPreLoad(c, key, progress, kReadingId, kSortingId);
  }
  if (status == 0 && f.budget) {
    key.mode = data::CacheMode::Budget;
    status = requests::DataPreLoad(c, key, progress, kReadingId, kSortingId);
  }
  return status;
}

}  // namespace

AutoChoices read_auto_choices(AutoStore& store, std::string_view company) {
  const std::string id(company);
  AutoChoices c;
  c.account = store.read("ADPL Account " + id, "");
  c.year = store.read("ADPL Year " + id, "");
  c.budget_type = normalize_budget_type(store.read("ADPL Budget " + id, "Budget"));
  c.this_year = flag_of(store, "ADPL This Year On " + id, true);
  c.last_year = flag_of(store, "ADPL Last Year On " + id, false);
  c.budget = flag_of(store, "ADPL Budget On " + id, true);
  c.company_on = flag_of(store, "ADPL Company On " + id, false);
  return c;
}

void write_auto_choices(AutoStore& store, std::string_view company, const AutoChoices& c) {
  const std::string id(company);
  store.write("ADPL Account " + id, c.account);
  store.write("ADPL Year " + id, c.year);
  store.write("ADPL Budget " + id, c.budget_type);
  store.write("ADPL This Year On " + id, flag_text(c.this_year));
  store.write("ADPL Last Year On " + id, flag_text(c.last_year));
  store.write("ADPL Budget On " + id, flag_text(c.budget));
}

void write_auto_switch(AutoStore& store, std::string_view company, bool on) {
  store.write("ADPL Company On " + std::string(company), flag_text(on));
}

PreloadView PreloadController::open() {
  PreloadView view;
  for (const auto& line : companies_) view.companies.push_back(company_id_of(line));
  PreloadFields& f = view.fields;
  f.company = settings_.dpl_company.empty() ? settings_.company : settings_.dpl_company;
  f.year = settings_.dpl_year;
  f.account = settings_.dpl_account;
  f.budget_type = normalize_budget_type(settings_.dpl_budget);
  f.this_year = settings_.dpl_include_this_year != 0;
  f.last_year = settings_.dpl_include_last_year != 0;
  f.budget = settings_.dpl_include_budget != 0;
  view.auto_label = auto_label(f.company);
  return view;
}

std::string PreloadController::auto_label(std::string_view company) {
  const bool on = !company.empty() && read_auto_choices(store_, company).company_on;
  return message_string(on ? requests::kPreloadAutoOn : requests::kPreloadAutoOff);
}

void PreloadController::keep(const PreloadFields& f) {
  settings_.dpl_company = f.company.substr(0, 6);
  settings_.dpl_year = f.year.substr(0, 4);
  settings_.dpl_account = f.account.substr(0, 511);
  settings_.dpl_budget = normalize_budget_type(f.budget_type);
  settings_.dpl_include_this_year = f.this_year ? 1 : 0;
  settings_.dpl_include_last_year = f.last_year ? 1 : 0;
  settings_.dpl_include_budget = f.budget ? 1 : 0;
}

PreloadOutcome PreloadController::run(const PreloadFields& f) {
  PreloadOutcome outcome{1, 0};
  data::CompanyContext* c = f.company.empty() ? nullptr : data::find_or_open_company(f.company);
  if (!c) {
    report(4, "The company specifier is NULL");
    windows::show_pending_failure(services_);
    return outcome;
  }
  if (c->status != 0) {
    data::report_company_failure(*c);
    windows::show_pending_failure(services_);
    data::purge_failed_companies();  // a corrected setting may open it next time
    return outcome;
  }
  if (!services_.automation() && cached(*c) &&
      services_.box(windows::BoxKind::YesNo, requests::kPreloadAlreadyCached) != windows::kAnswerYes)
    return outcome;
  WindowProgress progress(services_);
  outcome.status = preload_company(*c, f, &progress);
  outcome.accounts = cached_accounts(*c);
  return outcome;
}

PreloadOutcome PreloadController::preload(const PreloadFields& fields) {
  const PreloadOutcome outcome = run(fields);
  if (outcome.status == 1) return outcome;
  keep(fields);
  AutoChoices choices = read_auto_choices(store_, fields.company);
  choices.account = fields.account;
  choices.year = fields.year;
  choices.budget_type = normalize_budget_type(fields.budget_type);
  choices.this_year = fields.this_year;
  choices.last_year = fields.last_year;
  choices.budget = fields.budget;
  write_auto_choices(store_, fields.company, choices);
  services_.save_settings();
  return outcome;
}

void PreloadController::clear(std::string_view company) {
  if (data::CompanyContext* c = data::find_company(company)) requests::clear_cache(*c);
}

std::string PreloadController::toggle_auto(const PreloadFields& fields) {
  if (fields.company.empty()) return auto_label(fields.company);
  const bool on = !read_auto_choices(store_, fields.company).company_on;
  write_auto_switch(store_, fields.company, on);
  // a company switched on is preloaded at the next start only when the
  // automatic preload is enabled at all
  if (on) settings_.adpl_enabled = 1;
  keep(fields);
  services_.save_settings();
  return auto_label(fields.company);
}

void PreloadController::quit(const PreloadFields& fields) {
  keep(fields);
  services_.save_settings();
  services_.close();
}

bool PreloadController::run_automated() {
  PreloadFields f;
  f.company = settings_.dpl_company.empty() ? settings_.company : settings_.dpl_company;
  f.year = settings_.dpl_year;
  f.account = settings_.dpl_account;
  f.budget_type = settings_.dpl_budget;
  f.this_year = settings_.dpl_include_this_year != 0;
  f.last_year = settings_.dpl_include_last_year != 0;
  f.budget = settings_.dpl_include_budget != 0;
  const PreloadOutcome outcome = run(f);
  if (outcome.status != 0 && !message_pending()) report(31, "DataPreLoad");
  return outcome.status == 0;
}

int automatic_preload(const std::vector<std::string>& company_lines, AutoStore& store, const Settings& settings) {
  if (settings.adpl_enabled == 0) return 0;
  int preloaded = 0;
  for (const auto& line : company_lines) {
    const std::string id = company_id_of(line);
    if (id.empty()) continue;
    const AutoChoices choices = read_auto_choices(store, id);
    if (!choices.company_on) continue;
    data::CompanyContext* c = data::find_or_open_company(id);
    if (!c || c->status != 0) continue;
    PreloadFields f;
    f.company = id;
    f.year = choices.year;
    f.account = choices.account;
    f.budget_type = choices.budget_type;
    f.this_year = choices.this_year;
    f.last_year = choices.last_year;
    f.budget = choices.budget;
    if (preload_company(*c, f, nullptr) == 0) ++preloaded;
  }
  data::purge_failed_companies();
  // nothing of the start-up is left for the first request's answer
  clear_message();
  return preloaded;
}

}  // namespace kovo::preload
