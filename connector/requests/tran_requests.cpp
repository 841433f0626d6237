#include "requests/tran_requests.h"

#include <algorithm>

#include "data/companies.h"
#include "data/company_stack.h"
#include "entry/messages.h"
#include "entry/request_text.h"
#include "entry/settings.h"
#include "requests/gl_core.h"
#include "requests/gl_request.h"
#include "requests/record_sources.h"
#include "requests/tran_args.h"
#include "specifier/account_walk.h"
#include "specifier/text_util.h"

namespace kovo::requests {
namespace {

struct Filter {
  std::vector<std::string> values;
  std::string layout::TransactionRecord::*field = nullptr;  // or the cost type when null
  bool passes(const layout::TransactionRecord& t) const {
    if (values.empty()) return true;
    const std::string actual = field ? t.*field : std::to_string(t.cost_type);
    return std::any_of(values.begin(), values.end(), [&](const std::string& v) {
      return specifier::segment_value_matches(v, actual, std::max(v.size(), actual.size()));
    });
  }
};

struct TranQuery {
  std::string account_spec;
  CalendarDate from, to;
  char sign = 0;  // 'D' debits only, 'C' credits only
  std::vector<Filter> filters;
  bool include_unposted = false;
  std::size_t companies = 1;  // on the request's company stack, for the work bound
};

// Adds the matching transactions of one file. 0, or a failing status.
int add_file(data::CompanyContext& c, data::Slot slot, const TranQuery& q, double& total, bool& matched) {
  std::vector<std::string> list;
  if (specifier::expand_specifier(q.account_spec, c.structure.segment_count, list) != 0) return 1;
  if (const int status = check_request_work(list.size(), q.companies, 1); status != 0) return status;
  TransactionSource source(c, slot);
  specifier::WalkOptions options;
  options.by_year = false;
  options.from_date = q.from.number();
  options.to_date = q.to.number();
  options.na_label = 1;  // an account without transactions in one file is not a failure
  specifier::AccountWalk walk(source, c.structure, options);
  int status = walk.first(std::move(list), 0);
  const bool version3 = c.transactions_v3;
  for (; status == specifier::kFound; status = walk.next()) {
    matched = true;
    const auto t = layout::decode_transaction(source.record(), version3);
    if (!t)
      return data::report_short_record(c.slot(slot).name, source.record().size(),
                                       layout::transaction_needed_length(version3));
    if (!t->posted && !q.include_unposted) continue;
    if (!std::all_of(q.filters.begin(), q.filters.end(), [&](const Filter& f) { return f.passes(*t); })) continue;
    if ((q.sign == 'D' && t->amount <= 0) || (q.sign == 'C' && t->amount >= 0)) continue;
    total += t->amount;
  }
  return status == specifier::kNoMore ? 0 : status;
}

int build_filters(TranKind kind, const RequestFields& f, TranQuery& q) {
  using T = layout::TransactionRecord;
  auto add = [&](std::size_t index, std::string T::*field) {
    q.filters.push_back({value_list(f[index]), field});
  };
  switch (kind) {
    case TranKind::Grant:
      add(5, &T::grant);
      add(6, &T::coe);
      add(7, &T::fund_source);
      add(8, &T::program);
      add(9, &T::activity);
      break;
    case TranKind::JobCost:
      add(5, &T::job);
      add(6, nullptr);
      add(7, &T::cost_code);
      break;
    case TranKind::General:
      if (data::data_version() == 7) {
        CurrencyParts parts;
        if (const int status = currency_parts(f[5], parts); status != 0) return status;
        q.filters.push_back({value_list(parts.first), &T::job});
        q.filters.push_back({value_list(parts.second), nullptr});
      }
      break;
  }
  return 0;
}

}  // namespace

int tran_request(TranKind kind, std::string_view arguments, std::string& result) {
  const Settings& s = settings();
  const std::size_t max_fields = kind == TranKind::Grant ? 10 : kind == TranKind::JobCost ? 8 : 6;
  RequestFields f;
  int status = split_arguments(arguments, 3, max_fields, f);
  double total = 0;
  bool matched = false;
  TranQuery q;
  if (status == kOk) status = parse_date_range(f[1], f[2], q.from, q.to);
  std::optional<data::CompanyStack> stack;
  if (status == kOk) {
    q.account_spec = f[0];
    std::string type = f[4];
    specifier::upper_in_place(type);
    q.sign = type.empty() || (type[0] != 'D' && type[0] != 'C') ? 0 : type[0];
    q.include_unposted = s.include_unposted != 0;
    stack = data::BuildCompanyStack(f[3].empty() ? s.company : f[3]);
    if (!stack) {
      report(2, "Company Stack");
      status = 1;
    } else {
      q.companies = stack->size();
    }
  }
  for (bool first = true; status == kOk && stack && !stack->empty(); stack->pop(), first = false) {
    data::CompanyContext* c = data::find_or_open_company(stack->top());
    if (!c) {
      report(2, "Company Creation");
      status = 2;
      break;
    }
    if (c->status != 0) {
      status = data::report_company_failure(*c);
      break;
    }
    if (first) {
      Settings& w = settings();
      w.drill_account = q.account_spec.substr(0, 662);
      w.drill_company = c->id;
      w.drill_from = f[1].substr(0, 20);
      w.drill_to = f[2].substr(0, 20);
      w.drill_date_range = true;
    }
    if (data::probe_data_version(*c) == 7 && kind != TranKind::General) {
      report(kNotInThisVersion);
      status = kNotInThisVersion;
      break;
    }
    q.filters.clear();
    if ((status = build_filters(kind, f, q)) != 0) break;
    if (data::open_company_file(*c, layout::FileKind::Accounts) != 0) {
      status = 30;
      break;
    }
    if (data::open_company_file(*c, layout::FileKind::History) == 0)
      if ((status = add_file(*c, data::Slot::History, q, total, matched)) != 0) break;
    if (data::open_company_file(*c, layout::FileKind::Transactions) != 0) {
      clear_message();
      break;  // no current transactions: the total so far is the answer
    }
    if ((status = add_file(*c, data::Slot::Transactions, q, total, matched)) != 0) break;
  }
  if (status == kOk && !matched && s.na_label == 0) {
    report(kNoAccounts, q.account_spec);
    status = kNoAccounts;
  }
  write_request_result(status, whole_cents(total), s, result);
  return 0;
}

}  // namespace kovo::requests
