#include "requests/gl_request.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <cstdlib>

#include "data/company_stack.h"
#include "data/entities_file.h"
#include "entry/dispatch.h"
#include "entry/messages.h"
#include "entry/request_text.h"
#include "entry/settings.h"
#include "requests/gl_core.h"
#include "requests/record_sources.h"
#include "specifier/account_walk.h"
#include "specifier/period_range.h"
#include "specifier/text_util.h"

namespace kovo::requests {
namespace {

constexpr int kNoData = 11;

// The amounts of a balance record that the request uses: the actual value
// of the account's kind and, for budget requests, the budget amounts. Budgets
// are read as amounts per period for every kind of account, since the range
// value always sums budget periods.
BalanceFigures figures_of(layout::View record, specifier::AccountKind kind, bool budget, bool revised) {
  BalanceFigures f;
  const bool balance = kind == specifier::AccountKind::Balance;
  f.opening = balance ? layout::balance_opening(record) : 0.0;
  (balance ? f.actual_balance : f.actual_change) = layout::balance_amounts(record, layout::AmountSet::Actual, balance);
  if (budget)
    (revised ? f.revised : f.budget) =
        layout::balance_amounts(record, revised ? layout::AmountSet::Revised : layout::AmountSet::Budget, false);
  return f;
}

// Each request that reads an account counts once for it, however many
// passes and companies it takes.
std::uint64_t g_request_serial = 0;

void note_touched(data::CompanyContext& c, std::string_view code) {
  auto& list = c.used_accounts;
  auto found = std::find_if(list.begin(), list.end(),
                            [&](const data::UsedAccount& a) { return specifier::equal_folded(a.code, code); });
  if (found == list.end()) {
    list.push_back({std::string(code), 0, 0});
    found = list.end() - 1;
  }
  if (found->last_request == g_request_serial) return;
  found->last_request = g_request_serial;
  ++found->count;
}

// The simple specifiers of the request's account specifier for the company,
// or null after a syntax error. A sheet asks for the same specifier over and
// over: the last expansion is kept.
// Entity names translate per company and per state of its entities file.
const std::vector<std::string>* expanded_accounts(data::CompanyContext& c, const GlRequest& request) {
  static std::string expanded_text;
  static int expanded_segments = -1;
  static std::string expanded_company;
  static std::uint64_t expanded_generation = 0;
  static std::vector<std::string> expanded;
  const bool by_company = c.has_entities_file;
  const std::string company = by_company ? c.id : std::string();
  if (expanded_segments != c.structure.segment_count || expanded_text != request.account_spec ||
      expanded_company != company || (by_company && expanded_generation != entities::generation())) {
    expanded_segments = -1;
    if (specifier::expand_specifier(request.account_spec, c.structure.segment_count, expanded,
                                    entities::lookup_for(c)) != 0)
      return nullptr;
    expanded_text = request.account_spec;
    expanded_segments = c.structure.segment_count;
    expanded_company = company;
    expanded_generation = entities::generation();
  }
  return &expanded;
}

// One pass over the matching balance records of a year, from the file or
// from a kept copy of them, into the table.
template <class Source>
int read_pass_from(Source& source, data::CompanyContext& c, const GlRequest& request, int year, int year_index,
                   bool first_descriptor, specifier::AmountTable& table, specifier::AccountKind& kind) {
  const std::vector<std::string>* expanded = expanded_accounts(c, request);
  if (!expanded) return 1;
  std::vector<std::string> list = *expanded;
  const GlHooks& hooks = gl_hooks();
  specifier::WalkOptions options;
  options.na_label = settings().na_label;
  if (hooks.stop_requested && !settings().no_show) options.stop_requested = hooks.stop_requested;
  specifier::AccountWalk walk(source, c.structure, options);
  int status = walk.first(std::move(list), year);
  if (status == specifier::kNoMore) return kNoAccounts;
  const bool revised = is_revised_budget(request.type_name);
  while (status == specifier::kFound) {
    const std::string code(source.code());
    if (hooks.collecting && hooks.collect_segments) hooks.collect_segments(c, code);
    // the type of the record's account; null when the accounts file has no
    // such account, whose balance then keeps the kind of the one before
    const std::string* type = source.account_type();
    if (!type) {
      if (const auto cached = c.account_types.find(code); cached != c.account_types.end()) {
        type = &cached->second;
      } else {
        layout::AccountRecord account;
        const int found = read_account(c, code, account);
        if (found == 0) {
          type = &c.account_types.emplace(code, account.type).first->second;
        } else if (found != kAccountAbsent) {
          return found;
        }
      }
    }
    if (type) kind = account_kind_of_type(*type);
    if (hooks.keep_balances) hooks.keep_balances->keep(c, year, code, source.record(), type);
    add_balance(table, figures_of(source.record(), kind, request.budget, revised), kind, year_index, revised);
    if (first_descriptor && calculation_in_progress()) note_touched(c, code);
    status = walk.next();
  }
  return status == specifier::kNoMore ? 0 : status;
}

int read_pass(data::CompanyContext& c, const GlRequest& request, int year, int year_index, bool first_descriptor,
              specifier::AmountTable& table, specifier::AccountKind& kind) {
  const GlHooks& hooks = gl_hooks();
  if (hooks.kept_balances)
    if (const BalanceSnapshot::Records* kept = hooks.kept_balances->year_of(c, year)) {
      SnapshotSource source(*kept, year);
      return read_pass_from(source, c, request, year, year_index, first_descriptor, table, kind);
    }
  if (hooks.keep_balances) hooks.keep_balances->walking(c, year);
  BalanceSource source(c);
  return read_pass_from(source, c, request, year, year_index, first_descriptor, table, kind);
}

void record_drill_context(const GlRequest& request, std::string_view period_text, std::string_view company) {
  Settings& s = settings();
  s.drill_account = request.account_spec.substr(0, 662);
  s.drill_period = std::string(period_text.substr(0, 662));
  s.drill_company = std::string(company.substr(0, 6));
  s.drill_year = request.year.substr(0, 4);
  s.drill_type = request.type_name.substr(0, 20);
  s.drill_date_range = false;
}

// A pass over one year's records, kept for the other descriptors of the
// request that need the same one: the table rows it filled, the account kind
// it ended on, and its status.
struct PassKey {
  int year;
  int year_index;
  bool budget;
  specifier::AccountKind kind_before;
  bool operator<(const PassKey& o) const {
    return std::tie(year, year_index, budget, kind_before) < std::tie(o.year, o.year_index, o.budget, o.kind_before);
  }
};
struct PassResult {
  int status = 0;
  specifier::AmountTable table;
  specifier::AccountKind kind_after = specifier::AccountKind::Other;
};

void add_table(specifier::AmountTable& into, const specifier::AmountTable& from) {
  into.opening_balance += from.opening_balance;
  for (std::size_t s = 0; s < 2; ++s)
    for (std::size_t y = 0; y < 2; ++y)
      for (std::size_t p = 0; p < specifier::kAmountPeriods; ++p) into.amount[s][y][p] += from.amount[s][y][p];
}

}  // namespace

GlHooks& gl_hooks() {
  static GlHooks hooks;
  return hooks;
}

std::size_t request_work(std::size_t expanded_accounts, std::size_t companies, std::size_t descriptors) {
  return expanded_accounts * companies * descriptors;
}

int check_request_work(std::size_t expanded_accounts, std::size_t companies, std::size_t descriptors) {
  const std::size_t work = request_work(expanded_accounts, companies, descriptors);
  if (work <= kMaxRequestWork) return 0;
  report(kRequestTooLarge, std::to_string(expanded_accounts) + " accounts x " + std::to_string(companies) +
                               " companies x " + std::to_string(descriptors) + " periods is more than " +
                               std::to_string(kMaxRequestWork));
  return kRequestTooLarge;
}

namespace {

int evaluate_company_in(double& value, std::string_view company_id, GlRequest& request,
                        const specifier::PeriodList& periods, std::size_t companies) {
  data::CompanyContext* c = data::find_or_open_company(company_id);
  if (!c) {
    report(data::kMemoryFull, "Company Creation");
    return data::kMemoryFull;
  }
  if (c->status != 0) return data::report_company_failure(*c);
  value = 0;
  const Settings& s = settings();
  std::map<PassKey, PassResult> passes;
  for (std::size_t i = 0; i < periods.count; ++i) {
    for (const auto kind : {layout::FileKind::Accounts, layout::FileKind::Periods})
      if (const int status = data::open_company_file(*c, kind); status != 0) return status;
    if (request.year.empty() || request.year == "0") request.year = c->current_year;
    const int year = std::atoi(request.year.c_str());
    const specifier::PeriodCalendar calendar = c->period_calendar(year, s.current_period);
    specifier::PeriodDescriptor period = periods.entries[i];
    specifier::map_month_name(period, calendar);
    const specifier::YearsNeeded needed = specifier::years_needed(period, calendar.current_period, calendar.periods_per_year);
    request.budget = needed.budget;

    specifier::AmountTable table;
    specifier::AccountKind kind = specifier::AccountKind::Other;
    const GlHooks& hooks = gl_hooks();
    // the cache answers a descriptor when it holds every year the descriptor
    // needs; a collection needs every matched account, which only a walk
    // delivers, and so does a recorded calculation, which counts them
    if (!hooks.collecting && !calculation_in_progress() && hooks.balance_cache &&
        hooks.balance_cache(*c, request, period, table, kind)) {
      const specifier::Valued v = specifier::evaluate(period, calendar, kind, table);
      if (const int* failure = std::get_if<int>(&v)) return *failure;
      value += std::get<double>(v);
      continue;
    }

    if (i == 0) {
      const std::vector<std::string>* expanded = expanded_accounts(*c, request);
      if (!expanded) return 1;
      if (const int status = check_request_work(expanded->size(), companies, periods.count); status != 0)
        return status;
    }
    // one read of a year serves every descriptor that needs it
    const auto pass = [&](int pass_year, int year_index) {
      const PassKey key{pass_year, year_index, request.budget, kind};
      auto found = passes.find(key);
      if (found == passes.end()) {
        PassResult r;
        r.kind_after = kind;
        r.status = read_pass(*c, request, pass_year, year_index, i == 0, r.table, r.kind_after);
        found = passes.emplace(key, std::move(r)).first;
      }
      add_table(table, found->second.table);
      kind = found->second.kind_after;
      return found->second.status;
    };
    const bool year_before_only = needed.years == 1;
    if (const int status = pass(year_before_only ? year - 1 : year, year_before_only ? 1 : 0); status != 0)
      return status;
    if (needed.years != 0 && needed.years != 1)
      if (const int status = pass(year - 1, 1); status != 0) return status;

    const specifier::Valued v = specifier::evaluate(period, calendar, kind, table);
    if (const int* failure = std::get_if<int>(&v)) return *failure;
    value += std::get<double>(v);
  }
  return 0;
}

}  // namespace

int evaluate_company(double& value, std::string_view company_id, GlRequest& request,
                     const specifier::PeriodList& periods) {
  return evaluate_company_in(value, company_id, request, periods, 1);
}

int evaluate_gl(const GlQuery& query, double& value) {
  ++g_request_serial;
  value = 0;
  const Settings& s = settings();
  const bool blank_period = query.period.find_first_not_of(" \t") == std::string::npos;
  // a window asks for many figures of one period text in a row (the rows of
  // a drill-down): the last one parsed is kept
  static std::string parsed_text;
  static specifier::PeriodList parsed;
  static bool have_parsed = false;
  const std::string period_text = blank_period ? std::string("month") : query.period;
  if (!have_parsed || parsed_text != period_text) {
    have_parsed = false;
    if (const int status = specifier::parse_period_list(period_text, parsed); status != 0) return status;
    parsed_text = period_text;
    have_parsed = true;
  }
  const specifier::PeriodList& periods = parsed;
  std::optional<data::CompanyStack> stack = data::BuildCompanyStack(query.companies);
  if (!stack) {
    if (!message_pending()) report(data::kMemoryFull, "GetGLValue");
    return data::kMemoryFull;
  }
  GlRequest request;
  request.account_spec = query.account_spec;
  request.type_name = query.type;
  request.year = query.year.substr(0, 4);  // the first company's current year when none is given
  const std::size_t companies = stack->size();
  for (; !stack->empty(); stack->pop()) {
    double one = 0;
    const int status = evaluate_company_in(one, stack->top(), request, periods, companies);
    if (status == kNoAccounts && s.na_label != 0) continue;
    if (status != 0) {
      if (status != kNoAccounts) report(status, request.account_spec);
      return status;
    }
    value += one;
  }
  value = whole_cents(value);
  return 0;
}

int gl_request(std::string_view arguments, std::string& result, bool negate) {
  ++g_request_serial;
  const Settings& s = settings();
  RequestFields fields;
  int status = split_arguments(arguments, 1, 6, fields);
  double total = 0;
  GlRequest request;
  if (status == kOk) {
    std::string type = fields[4];
    specifier::upper_in_place(type);
    request.account_spec = fields[0];
    request.type_name = gl_type_name(type, s.type);
    if (const auto year = gl_year_text(fields[3], s.setup_year)) {
      request.year = *year;
    } else {
      report(kInvalidYearText, fields[3].empty() ? s.setup_year : fields[3]);
      status = kInvalidYearText;
    }
    // a period of nothing but blanks and tabs is an empty one
    const bool blank_period = fields[1].find_first_not_of(" \t") == std::string::npos;
    const std::string period_text = blank_period ? std::string("month") : fields[1];
    // sheets repeat the same few period texts: the last one parsed is kept
    static std::string parsed_text;
    static specifier::PeriodList parsed;
    static bool have_parsed = false;
    if (status == kOk && (!have_parsed || parsed_text != period_text)) {
      have_parsed = false;
      status = specifier::parse_period_list(period_text, parsed);
      if (status == 0) {
        parsed_text = period_text;
        have_parsed = true;
      }
    }
    const specifier::PeriodList& periods = parsed;
    std::optional<data::CompanyStack> stack;
    if (status == 0) {
      stack = data::BuildCompanyStack(fields[2].empty() ? s.company : fields[2]);
      if (!stack) {
        report(data::kMemoryFull, "GetGLValue");
        status = 1;
      }
    }
    const std::size_t company_total = stack ? stack->size() : 0;
    for (bool first = true; status == 0 && stack && !stack->empty(); stack->pop(), first = false) {
      if (first) record_drill_context(request, period_text, stack->top());
      double value = 0;
      const int company_status = evaluate_company_in(value, stack->top(), request, periods, company_total);
      if (company_status == kNoAccounts && s.na_label != 0) continue;
      if (company_status != 0) {
        status = company_status;
        break;
      }
      total += value;
    }
  }
  if (status == kOk && negate) total = -total;
  if (status != kOk && status != kNoAccounts) report(status, request.account_spec);
  write_request_result(status, whole_cents(total), s, result);
  return 0;
}

}  // namespace kovo::requests
