#include "requests/tran_reader.h"

#include <algorithm>

#include "data/entities_file.h"
#include "requests/gl_request.h"
#include "requests/record_sources.h"
#include "specifier/account_walk.h"

namespace kovo::requests {

bool TranFilter::passes(const layout::TransactionRecord& t) const {
  if (values.empty()) return true;
  const std::string actual = field ? t.*field : std::to_string(t.cost_type);
  return std::any_of(values.begin(), values.end(), [&](const std::string& v) {
    return specifier::segment_value_matches(v, actual, std::max(v.size(), actual.size()));
  });
}

int build_tran_filters(TranKind kind, const TranFilterFields& fields, int data_version, std::vector<TranFilter>& out) {
  using T = layout::TransactionRecord;
  out.clear();
  auto add = [&](const std::string& field_text, std::string T::*field) { out.push_back({value_list(field_text), field}); };
  switch (kind) {
    case TranKind::Grant:
      add(fields.grant[0], &T::grant);
      add(fields.grant[1], &T::coe);
      add(fields.grant[2], &T::fund_source);
      add(fields.grant[3], &T::program);
      add(fields.grant[4], &T::activity);
      break;
    case TranKind::JobCost:
      add(fields.job[0], &T::job);
      add(fields.job[1], nullptr);
      add(fields.job[2], &T::cost_code);
      break;
    case TranKind::General:
      if (data_version == 7) {
        CurrencyParts parts;
        if (const int status = currency_parts(fields.currency, parts); status != 0) return status;
        add(parts.first, &T::job);
        add(parts.second, nullptr);
      }
      break;
  }
  return 0;
}

int read_transactions(data::CompanyContext& c, data::Slot slot, const TranQuery& q, const TransactionSink& sink,
                      bool& matched) {
  std::vector<std::string> list;
  if (specifier::expand_specifier(q.account_spec, c.structure.segment_count, list, entities::lookup_for(c)) != 0) return 1;
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
    if (!std::all_of(q.filters.begin(), q.filters.end(), [&](const TranFilter& f) { return f.passes(*t); })) continue;
    if ((q.sign == 'D' && t->amount <= 0) || (q.sign == 'C' && t->amount >= 0)) continue;
    if (!sink(c, *t)) return kTranReadingStopped;
  }
  return status == specifier::kNoMore ? 0 : status;
}

}  // namespace kovo::requests
