// The ledger's transactions of the accounts an account specifier matches,
// between two dates and through the filters of their kind, handed one by
// one to a caller: the transaction totals add them up, the drill-down lists
// them.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "data/companies.h"
#include "data/layouts.h"
#include "requests/tran_args.h"

namespace kovo::requests {

enum class TranKind { General, Grant, JobCost };  // GLTRAN, GTTRAN, JCTRAN

// The filter fields of a kind as the user wrote them: value lists.
struct TranFilterFields {
  std::string currency;               // General, older data: job number and cost type
  std::array<std::string, 5> grant{};  // Grant: grant, COE, fund source, program, activity
  std::array<std::string, 3> job{};    // JobCost: job number, cost type, cost code
};

// One value list compared with one field of a transaction (the cost type
// when field is null).
struct TranFilter {
  std::vector<std::string> values;
  std::string layout::TransactionRecord::*field = nullptr;
  bool passes(const layout::TransactionRecord& t) const;
};

// The filters of a kind for the data version of the company at hand: 0, or
// 91 reported for a Currency field of unbalanced parentheses.
int build_tran_filters(TranKind kind, const TranFilterFields& fields, int data_version, std::vector<TranFilter>& out);

struct TranQuery {
  std::string account_spec;
  CalendarDate from, to;
  char sign = 0;  // 'D' debits only, 'C' credits only
  std::vector<TranFilter> filters;
  bool include_unposted = false;
  std::size_t companies = 1;  // on the request's company stack, for the work bound
};

// Receives each transaction that passes; false stops the reading.
using TransactionSink = std::function<bool(const data::CompanyContext&, const layout::TransactionRecord&)>;

// How a reading ended besides 0 and a message number.
inline constexpr int kTranReadingStopped = -3;

// Reads one transaction file of the company (its slot already open) by
// account and date. matched is set when any account matched. 0 when the
// file was read through, kTranReadingStopped when the sink stopped it, or
// the number of the message reported for a failure.
int read_transactions(data::CompanyContext& company, data::Slot slot, const TranQuery& query,
                      const TransactionSink& sink, bool& matched);

}  // namespace kovo::requests
