#include "windows/budget_run.h"

#include <cmath>

#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "windows/budget_block.h"

namespace kovo::budget {
namespace {

constexpr std::size_t kAccountsNamed = 10;

// The pending message as the reason a row failed; the buffer is free again.
RunStop take_failure(int row, std::string account) {
  RunStop stop{row, std::move(account), pending_number(), std::string(pending_detail())};
  clear_message();
  return stop;
}

std::string count_of(std::size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string named(const std::vector<std::string>& accounts) {
  std::string text;
  for (std::size_t i = 0; i < accounts.size() && i < kAccountsNamed; ++i) text += (i ? ", " : "") + accounts[i];
  if (accounts.size() > kAccountsNamed) text += " and " + std::to_string(accounts.size() - kAccountsNamed) + " more";
  return text;
}

// What was passed over, for the end of every run that read rows.
std::string passed_over(const RunReport& r) {
  std::string text;
  if (!r.without_record.empty())
    text += "; " + count_of(r.without_record.size(), "row", "rows") + " passed over, no balance record for " +
            std::to_string(r.year) + ": " + named(r.without_record);
  if (r.rows_without_account > 0)
    text += "; " + count_of(static_cast<std::size_t>(r.rows_without_account), "row", "rows") +
            " with amounts but no account passed over";
  if (!r.failed.empty()) {
    text += "; " + count_of(r.failed.size(), "row", "rows") + " not written: ";
    for (std::size_t i = 0; i < r.failed.size() && i < kAccountsNamed; ++i) text += (i ? "; " : "") + r.failed[i];
    if (r.failed.size() > kAccountsNamed) text += " and " + std::to_string(r.failed.size() - kAccountsNamed) + " more";
  }
  return text;
}

std::string written_text(const RunReport& r) {
  return count_of(static_cast<std::size_t>(r.written), "account", "accounts") + " written";
}

std::string where_stopped(const RunStop& stop) {
  std::string text = "row " + std::to_string(stop.row);
  if (!stop.account.empty()) text += " (" + stop.account + ")";
  return text;
}

}  // namespace

RunReport write_back(const WriteBackRequest& request, const WriteBackHooks& hooks) {
  RunReport report;
  report.year = request.year;
  data::CompanyContext& company = *request.company;
  BlockRows rows(request.block);
  std::vector<std::string> cells;
  rows.next(cells);
  const auto headings = read_headings(cells);
  if (const auto* refused = std::get_if<Refusal>(&headings)) {
    report.stop = RunStop{rows.row() > 0 ? rows.row() : 1, {}, refused->number, refused->detail};
    report.headings_refused = true;
    return report;
  }
  const HeadingMap& map = std::get<HeadingMap>(headings);

  data::BalanceWriter writer(company);
  if (writer.open() != 0) {
    report.stop = take_failure(0, {});
    return report;
  }
  while (rows.next(cells)) {
    const auto read = read_line(cells, map, request.locale);
    if (const auto* refused = std::get_if<Refusal>(&read)) {
      const auto account_column = *map.column[kAccountHeading];
      std::string account = account_column < cells.size() ? plain_text(cells[account_column]) : std::string{};
      report.stop = RunStop{rows.row(), std::move(account), refused->number, refused->detail};
      break;
    }
    const BudgetLine& line = std::get<BudgetLine>(read);
    if (line.account.empty()) {
      if (line.supplies_any()) ++report.rows_without_account;
    } else if (const auto code = data::exact_account_code(line.account, company.structure); !code) {
      report.stop = RunStop{rows.row(), line.account, data::kMessageInvalidAccount, line.account};
      break;
    } else if (line.supplies_any()) {
      data::PeriodAmounts amounts;
      for (std::size_t p = 0; p < amounts.size(); ++p)
        if (line.amounts[p]) amounts[p] = data::ledger_amount(*line.amounts[p], *request.settings);
      switch (writer.write(*code, request.year, request.kind, amounts, line.account)) {
        case data::BalanceWriter::Outcome::Written:
          ++report.written;
          if (hooks.written) hooks.written(report.written);
          break;
        case data::BalanceWriter::Outcome::NoRecord:
          report.without_record.push_back(line.account);
          break;
        case data::BalanceWriter::Outcome::Failed: {
          RunStop failure = take_failure(rows.row(), line.account);
          if (!request.automation) {
            report.stop = std::move(failure);
            break;
          }
          report.failed.push_back("row " + std::to_string(failure.row) + ", " + failure.detail);
          break;
        }
      }
      if (report.stop) break;
    }
    if (hooks.row && !hooks.row()) {
      report.stop = RunStop{rows.row(), {}, 0, {}};
      break;
    }
  }
  // Whoever holds figures of this company holds some that are gone now.
  if (report.written > 0) balances_changed(company.id);
  return report;
}

std::vector<RunMessageText> run_messages(const RunReport& r) {
  std::vector<RunMessageText> out;
  if (r.headings_refused) {
    out.push_back({r.stop->number, r.stop->detail});
    out.push_back({kMessageHeadingsMissing, {}});
    return out;
  }
  if (r.stop && r.stop->row == 0) {  // the file could not be written at all
    out.push_back({r.stop->number, r.stop->detail});
    return out;
  }
  if (r.stop) {
    const RunStop& stop = *r.stop;
    if (stop.number != 0) {
      out.push_back({stop.number, stop.detail});
      if (r.written == 0) {
        out.push_back({kMessageNothingWritten, "stopped at " + where_stopped(stop) + passed_over(r), false});
        return out;
      }
      out.push_back({kMessageStopped,
                     "at " + where_stopped(stop) + ": " + written_text(r) + " before it; that row and the rows after it " +
                         "were not written" + passed_over(r),
                     false});
      return out;
    }
    out.push_back({kMessageStopped,
                   "by the user after row " + std::to_string(stop.row) + ": " + written_text(r) +
                       "; the rows after it were not written" + passed_over(r),
                   false});
    return out;
  }
  if (!r.failed.empty()) {
    out.push_back({data::kMessageWriteFailed, written_text(r) + passed_over(r)});
    return out;
  }
  const bool passed = !r.without_record.empty() || r.rows_without_account > 0;
  out.push_back({r.written == 0 && passed ? kMessageNothingWritten : kMessageCompleted, written_text(r) + passed_over(r),
                 false});
  return out;
}

}  // namespace kovo::budget
