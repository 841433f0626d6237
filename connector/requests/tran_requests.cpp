#include "requests/tran_requests.h"

#include "data/companies.h"
#include "data/company_stack.h"
#include "entry/messages.h"
#include "entry/request_text.h"
#include "entry/settings.h"
#include "requests/gl_core.h"
#include "requests/gl_request.h"
#include "requests/tran_args.h"
#include "requests/tran_reader.h"
#include "specifier/text_util.h"

namespace kovo::requests {

int tran_request(TranKind kind, std::string_view arguments, std::string& result) {
  const Settings& s = settings();
  const std::size_t max_fields = kind == TranKind::Grant ? 10 : kind == TranKind::JobCost ? 8 : 6;
  RequestFields f;
  int status = split_arguments(arguments, 3, max_fields, f);
  double total = 0;
  bool matched = false;
  TranQuery q;
  if (status == kOk) status = parse_date_range(f[1], f[2], q.from, q.to);
  TranFilterFields fields;
  fields.currency = f[5];
  for (std::size_t i = 0; i < fields.grant.size(); ++i) fields.grant[i] = f[5 + i];
  for (std::size_t i = 0; i < fields.job.size(); ++i) fields.job[i] = f[5 + i];
  const TransactionSink add = [&total](const data::CompanyContext&, const layout::TransactionRecord& t) {
    total += t.amount;
    return true;
  };
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
    if ((status = build_tran_filters(kind, fields, data::data_version(), q.filters)) != 0) break;
    if (data::open_company_file(*c, layout::FileKind::Accounts) != 0) {
      status = 30;
      break;
    }
    if (data::open_company_file(*c, layout::FileKind::History) == 0)
      if ((status = read_transactions(*c, data::Slot::History, q, add, matched)) != 0) break;
    if (data::open_company_file(*c, layout::FileKind::Transactions) != 0) {
      clear_message();
      break;  // no current transactions: the total so far is the answer
    }
    if ((status = read_transactions(*c, data::Slot::Transactions, q, add, matched)) != 0) break;
  }
  if (status == kOk && !matched && s.na_label == 0) {
    report(kNoAccounts, q.account_spec);
    status = kNoAccounts;
  }
  write_request_result(status, whole_cents(total), s, result);
  return 0;
}

}  // namespace kovo::requests
