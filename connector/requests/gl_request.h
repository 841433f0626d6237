// GL and NGL value requests: a request text in, the ledger's figure out,
// summed over the companies of the company specifier.
#pragma once

#include <string>
#include <string_view>

#include "data/companies.h"
#include "requests/balance_snapshot.h"
#include "requests/gl_core.h"
#include "specifier/period.h"

namespace kovo::requests {

// What later parts of the connector plug into the evaluation.
struct GlHooks {
  // The balance cache: fills the table for the request and tells the account
  // kind, or answers false when it holds nothing for it.
  bool (*balance_cache)(data::CompanyContext& company, const GlRequest& request,
                        const specifier::PeriodDescriptor& period, specifier::AmountTable& table,
                        specifier::AccountKind& kind) = nullptr;
  // Receives every matched balance record's account while a collection is on
  // (the lists window and the drill-down switch it on around an evaluation).
  void (*collect_segments)(const data::CompanyContext& company, std::string_view code) = nullptr;
  bool collecting = false;
  // The lists window's stop request during a walk.
  bool (*stop_requested)() = nullptr;
  // While set, every balance record a walk matches is kept here.
  BalanceSnapshot* keep_balances = nullptr;
  // While set, a walk of a company's year that was kept reads the kept
  // records instead of the balance file. Only evaluations whose accounts
  // all lie among the kept walk's may use it: it holds nothing else.
  const BalanceSnapshot* kept_balances = nullptr;
};
GlHooks& gl_hooks();

// The work bound of a request: expanded account specifiers x companies x
// period descriptors. A request above it is refused before any record is
// read, with message 35 "Request too large".
inline constexpr std::size_t kMaxRequestWork = 250000;
inline constexpr int kRequestTooLarge = 35;
std::size_t request_work(std::size_t expanded_accounts, std::size_t companies, std::size_t descriptors);
// 0, or kRequestTooLarge with the message reported.
int check_request_work(std::size_t expanded_accounts, std::size_t companies, std::size_t descriptors);

// Codes 100 (GL) and 102 (NGL): always 0; the answer is in the result.
int gl_request(std::string_view arguments, std::string& result, bool negate);

// A GL figure that a window asks for: the account specifier, the period
// text, a company specifier (one or several ids), the year (empty or "0":
// each company's current year) and the budget type, summed over the
// companies as a GL request does, but without becoming the drill-down
// context. 0 with the value; 15 when nothing matched (reported when NA
// Label is 0); or the number of the message reported for a failure.
struct GlQuery {
  std::string account_spec;
  std::string period;
  std::string companies;
  std::string year;
  std::string type;
};
int evaluate_gl(const GlQuery& query, double& value);

// One company's value: 0, 15 when no account matched, or a message number.
int evaluate_company(double& value, std::string_view company_id, GlRequest& request,
                     const specifier::PeriodList& periods);

}  // namespace kovo::requests
