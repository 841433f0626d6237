#include "requests/preload.h"

#include <cstdlib>
#include <new>

#include "entry/dispatch.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "requests/gl_request.h"
#include "requests/record_sources.h"
#include "specifier/account_specifier.h"
#include "specifier/account_walk.h"
#include "specifier/period_range.h"

namespace kovo::requests {
namespace {

using data::CacheMode;
using data::EntryKind;
using data::SlotValues;

bool digits_only(const std::string& text) {
  if (text.empty() || text.size() > 4) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The kind of an account's balance record, from its account record (kept
// for the company as the GL evaluation keeps it).
int entry_kind(data::CompanyContext& c, const std::string& code, EntryKind& kind) {
  if (const auto known = c.account_types.find(code); known != c.account_types.end()) {
    kind = account_kind_of_type(known->second) == specifier::AccountKind::Balance ? EntryKind::Balance : EntryKind::Other;
    return 0;
  }
  layout::AccountRecord account;
  const int found = read_account(c, code, account);
  if (found == kAccountAbsent) {
    kind = EntryKind::Unknown;
    return 0;
  }
  if (found != 0) return found;
  c.account_types.emplace(code, account.type);
  kind = account_kind_of_type(account.type) == specifier::AccountKind::Balance ? EntryKind::Balance : EntryKind::Other;
  return 0;
}

// The values of one balance record as the GL evaluation reads them: actual
// values by the account's kind (the period-end balance of balance accounts,
// the change of the others) with the opening value in slot 0; budgets as
// amounts per period, slot 0 empty.
SlotValues record_values(layout::View record, EntryKind kind, CacheMode mode, bool revised) {
  SlotValues values{};
  std::array<double, layout::kPeriods> amounts{};
  if (mode == CacheMode::Actual) {
    const bool balance = kind == EntryKind::Balance;
    values[0] = layout::balance_opening(record);
    amounts = layout::balance_amounts(record, layout::AmountSet::Actual, balance);
  } else {
    amounts = layout::balance_amounts(record, revised ? layout::AmountSet::Revised : layout::AmountSet::Budget, false);
  }
  for (std::size_t p = 0; p < amounts.size() && p + 1 < data::kFilledSlots; ++p) values[p + 1] = amounts[p];
  return values;
}

struct Counter {
  PreloadProgress* progress;
  int id;
  std::size_t count = 0;
  bool cancelled = false;
  // false once the user cancelled
  bool step() {
    ++count;
    if (!progress || !data::progress_due(count)) return true;
    // automation has nobody to press Cancel
    if (!progress->report(id, count) && !settings().no_show) cancelled = true;
    return !cancelled;
  }
};

// One year's balance records of the specifier into a row of the set's entries.
int read_row(data::CompanyContext& c, data::PreloadSet& set, const std::vector<std::string>& simple, int year, int row,
             CacheMode mode, bool revised, Counter& counter) {
  BalanceSource source(c);
  specifier::WalkOptions options;
  options.na_label = 1;  // a specifier without accounts is no failure here
  specifier::AccountWalk walk(source, c.structure, options);
  int status = walk.first(simple, year);
  while (status == specifier::kFound) {
    const std::string code(source.code());
    EntryKind kind = EntryKind::Unknown;
    if (const int failed = entry_kind(c, code, kind); failed != 0) return failed;
    data::CacheEntry& entry = set.entry_for(code);
    entry.kind = kind;
    set.store_row(entry, row, record_values(source.record(), kind, mode, revised));
    if (!counter.step()) return kPreloadStopped;
    status = walk.next();
  }
  return status == specifier::kNoMore ? 0 : status;
}

int fail(data::CompanyContext& c, PreloadProgress* progress) {
  c.balance_cache.reset();
  if (progress)
    progress->failure(kPreloadFailedMessage);
  else
    report(kPreloadFailedMessage);
  return kPreloadFailed;
}

int preload(data::CompanyContext& c, const data::PreloadKey& key, PreloadProgress* progress, int first_id,
            int second_id) {
  data::BalanceCache& cache = c.balance_cache;
  data::YearFlags flags = cache.flags;
  if (!flags.this_year && !flags.last_year) {
    if (!flags.budget) return fail(c, progress);
    flags.this_year = true;
  }
  cache.segment_count = c.structure.segment_count;
  cache.segment_lengths.fill(0);
  for (int i = 0; i < c.structure.segment_count && i < specifier::kMaxSegments; ++i)
    cache.segment_lengths[static_cast<std::size_t>(i)] = c.structure.width[static_cast<std::size_t>(i)];
  cache.index_count = std::min(c.structure.segment_count, data::kMaxCacheIndexes);

  const std::string year_text = key.year.empty() || key.year == "0" ? c.current_year : key.year;
  if (!digits_only(year_text)) return fail(c, progress);
  const int year = std::atoi(year_text.c_str());
  const bool budget_mode = key.mode == CacheMode::Budget;
  // a budget set holds the one year's budget; an actual set the years asked for
  const data::YearFlags built = budget_mode ? data::YearFlags{true, false, true} : data::YearFlags{flags.this_year, flags.last_year, false};
  data::PreloadSet& set = cache.set_for(key, built, year, c.structure);

  for (const auto kind : {layout::FileKind::Accounts, layout::FileKind::Periods})
    if (data::open_company_file(c, kind) != 0) return fail(c, progress);

  std::vector<std::string> simple;
  if (specifier::expand_specifier(key.account_spec, c.structure.segment_count, simple) != 0) return fail(c, progress);
  for (auto& s : simple)
    if (specifier::validate_specifier(s, c.structure) != 0) return fail(c, progress);
  set.set_simple_specifiers(simple);

  const bool revised = is_revised_budget(key.budget_type);
  Counter reading{progress, first_id};
  const auto read = [&](int row_year, int row) {
    const int status = read_row(c, set, simple, row_year, row, key.mode, revised, reading);
    if (status == kPreloadStopped) {
      cache.remove(&set);
      return kPreloadStopped;
    }
    return status == 0 ? 0 : fail(c, progress);
  };
  if (built.this_year)
    if (const int status = read(year, 0); status != 0) return status;
  if (built.last_year)
    if (const int status = read(year - 1, 1); status != 0) return status;

  if (set.entry_count() == 0) {
    cache.remove(&set);
    if (progress)
      progress->failure(kPreloadNothingFound);
    else
      report(kPreloadNothingFound);
    return kPreloadStopped;
  }
  set.build_indexes([&](int index) {
    if (progress) progress->report(second_id, static_cast<std::size_t>(index));
  });
  cache.valid = true;
  return kPreloadOk;
}

// A sheet asks for the same specifier over and over: its validated
// expansion is kept.
const std::vector<std::string>* request_specifiers(const data::CompanyContext& c, const std::string& text) {
  static std::string kept_text;
  static int kept_segments = -1;
  static std::vector<std::string> kept;
  static bool kept_ok = false;
  if (kept_segments != c.structure.segment_count || kept_text != text) {
    kept_text = text;
    kept_segments = c.structure.segment_count;
    kept_ok = specifier::expand_specifier(text, c.structure.segment_count, kept) == 0;
    for (auto& s : kept)
      if (kept_ok && specifier::validate_specifier(s, c.structure) != 0) kept_ok = false;
    // a failed validation leaves its message for the files' walk to give again
    if (!kept_ok) clear_message();
  }
  return kept_ok ? &kept : nullptr;
}

void forget_company(std::string_view company_id) {
  if (data::CompanyContext* c = data::find_company(company_id)) clear_cache(*c);
}

}  // namespace

int DataPreLoad(data::CompanyContext& company, const data::PreloadKey& key, PreloadProgress* progress, int first_id,
                int second_id) {
  BusyScope busy(Work::kPreload);
  try {
    return preload(company, key, progress, first_id, second_id);
  } catch (const std::bad_alloc&) {
    return fail(company, progress);
  }
}

bool cache_lookup(data::CompanyContext& c, const GlRequest& request, const specifier::PeriodDescriptor& period,
                  specifier::AmountTable& table, specifier::AccountKind& kind) {
  if (!c.balance_cache.valid) return false;
  // collections and the sheet analysis need the records themselves
  if (gl_hooks().collecting || calculation_in_progress()) return false;
  const Settings& s = settings();
  const int year = std::atoi(request.year.c_str());
  const specifier::PeriodCalendar calendar = c.period_calendar(year, s.current_period);
  const specifier::YearsNeeded needed =
      specifier::years_needed(period, calendar.current_period, calendar.periods_per_year);
  data::CacheQuery query;
  query.year = year;
  query.mode = request.budget ? CacheMode::Budget : CacheMode::Actual;
  query.budget_type = request.type_name;
  query.years_needed = needed.years;
  query.every_specifier_must_match = s.na_label == 0;
  query.simple = request_specifiers(c, request.account_spec);
  if (!query.simple) return false;
  const auto answer = c.balance_cache.lookup(query);
  if (!answer) return false;
  table = answer->table;
  kind = answer->kind;
  return true;
}

void clear_cache(data::CompanyContext& company) { company.balance_cache.clear(); }

void install_preload() {
  gl_hooks().balance_cache = &cache_lookup;
  on_balances_changed(&forget_company);
}

}  // namespace kovo::requests
