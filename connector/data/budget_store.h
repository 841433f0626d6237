// Writing budget figures into a company's balance file: the only place the
// connector changes the accounting data. The budget write-back window and
// the WGL request both write through here.
//
// Each account's record is read, changed in memory and written back whole
// by one update of the record manager, which keeps or loses an update as a
// whole (also when the process dies in the middle of it); a reader sees the
// record either before or after it. While a BalanceWriter lives the
// company's balance file is held open for writing in the company's own
// slot, so the reads of the same process go through the writer's handle.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "data/companies.h"
#include "data/layouts.h"
#include "entry/settings.h"
#include "specifier/account_structure.h"

namespace kovo::data {

enum class BudgetKind { Original, Revised };
// "Budget Type", "Type" and the like: R or 1 first means the revised budget.
BudgetKind budget_kind_of(std::string_view type_text);
std::string_view budget_kind_name(BudgetKind kind);  // "Budget" or "Revised Budget"

// The amounts a line or formula supplies, by period (index 0 is period 1);
// periods without one keep what the record holds.
using PeriodAmounts = std::array<std::optional<double>, layout::kPeriods>;

// The messages of budget writing.
enum BudgetMessage : int {
  kMessageInvalidAccount = 54,    // "Invalid account code found:"
  kMessageWriteFailed = 56,       // "Budget write failed"
  kMessageNoWriteAccess = 52,     // "Could not obtain write access"
  kMessageAmountTooLarge = 4302,  // "Amount too large for the ledger:"
};

// A figure of the sheet as the ledger stores it: the sheet shows amounts
// divided by the "Scaling" divisor, so the divisor multiplies it back; it
// is then rounded to the "Rounding" step (0 counts as hundredths) and kept
// with two decimals.
double ledger_amount(double sheet_value, const Settings& s);

// The stored code (segments run together) of an account written as one
// exact account, "4000-10": nothing when it holds a wildcard, range or
// list mark ("*", "?", ".", ",") or is longer than the company's segments
// and the hyphens between them. A leading apostrophe and surrounding blanks
// do not count.
std::optional<std::string> exact_account_code(std::string_view account, const specifier::AccountStructure& structure);

// Replaces the supplied periods of one budget in a balance record as read,
// then recomputes over all 13 periods each period's amount to date and the
// budget's year total, all with two decimals. Every other byte stays.
enum class BudgetEdit { Done, TooShort, TooLarge };
BudgetEdit apply_budget(std::span<std::uint8_t> record, BudgetKind kind, const PeriodAmounts& amounts);

// Holds a company's balance file open for writing.
class BalanceWriter {
 public:
  explicit BalanceWriter(CompanyContext& company) : company_(company) {}
  // Closes the file; the next read of the company opens it read-only again.
  ~BalanceWriter();
  BalanceWriter(const BalanceWriter&) = delete;
  BalanceWriter& operator=(const BalanceWriter&) = delete;

  // Opens "glperiod.dat", else "gl_prd.dat", for reading and writing in
  // place of the company's read-only handle. 0, or message 52 reported.
  int open();

  enum class Outcome {
    Written,
    NoRecord,  // the account has no balance record for the year
    Failed,    // the message (56, or 4302 for a sum beyond the ledger's digits) is reported
  };
  // Reads the account's record of the year for update, applies the amounts
  // and updates it. account is the text the failure messages name.
  Outcome write(std::string_view stored_code, int year, BudgetKind kind, const PeriodAmounts& amounts,
                std::string_view account);

 private:
  Outcome fail(std::string_view account, std::string_view what);

  CompanyContext& company_;
  bool open_ = false;
};

}  // namespace kovo::data
