// One budget write-back: a copied block written into a company's balance
// file for one fiscal year, row after row, and the account of what it did.
//
// Rows are written in the block's order, each account's record whole. A
// row that cannot be written as it stands (an account that is no exact
// account, an amount that is no amount, a failed update) stops the run
// there: the rows before it stay written and the report says so. A row
// whose account has no balance record for the year is passed over and
// named in the report.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/budget_store.h"
#include "entry/request_text.h"
#include "entry/settings.h"
#include "windows/fill_pacer.h"

namespace kovo::budget {

enum RunMessage : int {
  kMessageCompleted = 100,      // "Budget write completed"
  kMessageNothingWritten = 105, // "No record written back. Check the account code(s)."
  kMessageStopped = 4304,       // "Budget write stopped."
};

struct WriteBackRequest {
  std::string_view block;
  data::CompanyContext* company = nullptr;
  int year = 0;
  data::BudgetKind kind = data::BudgetKind::Original;
  const Settings* settings = nullptr;  // "Rounding" and "Scaling"
  AmountLocale locale;
  // Without a user a row whose update fails is passed over and the run goes
  // on; with one the run stops there.
  bool automation = false;
};

struct WriteBackHooks {
  std::function<void(int written)> written;  // after each record written
  windows::RowCheck row;                     // after each row; false stops the run
};

// Why a run ended before the end of the block.
struct RunStop {
  int row = 0;          // the row it stopped at (0 before the first row)
  std::string account;  // as written on that row
  int number = 0;       // the message, 0 when the user stopped it
  std::string detail;
};

struct RunReport {
  int written = 0;
  int year = 0;
  std::vector<std::string> without_record;  // accounts passed over: no balance record for the year
  std::vector<std::string> failed;          // without a user: rows whose write failed, with why
  int rows_without_account = 0;             // rows with amounts but no account, passed over
  std::optional<RunStop> stop;
  bool headings_refused = false;  // stopped at the heading row: nothing was read
};

RunReport write_back(const WriteBackRequest& request, const WriteBackHooks& hooks = {});

// The end of a run as the user is told it: the failure that stopped it (when
// one did), the failure that follows a refused heading row, then the
// outcome. Each entry is a message number and its detail.
struct RunMessageText {
  int number = 0;
  std::string detail;
  bool error = true;  // an error box; the outcome is an information box
};
std::vector<RunMessageText> run_messages(const RunReport& report);

}  // namespace kovo::budget
