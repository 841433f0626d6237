#include "data/budget_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "data/btrieve.h"
#include "data/btrieve_ops.h"
#include "entry/messages.h"
#include "entry/request_text.h"
#include "specifier/text_util.h"

namespace kovo::data {
namespace {

constexpr int kNormalMode = 0;
constexpr std::string_view kNoWriteAccess = "Can't open balances file for read/write.";

double whole_cents(double amount) { return std::round(amount * 100.0) / 100.0; }

bool fits_ledger(double amount) { return std::isfinite(amount) && std::fabs(amount) <= layout::kMaxPackedAmount; }

layout::AmountSet set_of(BudgetKind kind) {
  return kind == BudgetKind::Revised ? layout::AmountSet::Revised : layout::AmountSet::Budget;
}

}  // namespace

BudgetKind budget_kind_of(std::string_view type_text) {
  // The connector's rule for a budget kind, also for "1..." as the window's setting writes it.
  const bool revised = is_revised_budget(type_text) || (!type_text.empty() && type_text.front() == '1');
  return revised ? BudgetKind::Revised : BudgetKind::Original;
}

std::string_view budget_kind_name(BudgetKind kind) {
  return kind == BudgetKind::Revised ? "Revised Budget" : "Budget";
}

double ledger_amount(double sheet_value, const Settings& s) {
  double value = sheet_value * scaling_divisor(s.scaling);
  double step = rounding_step(s.rounding);
  if (step == 0.0) step = 0.01;
  const double shifted = value >= 0 ? (value + step / 2) / step : (value - step / 2) / step;
  value = std::trunc(shifted) * step;
  value = whole_cents(value);
  return value == 0.0 ? 0.0 : value;  // no "-0"
}

std::optional<std::string> exact_account_code(std::string_view account, const specifier::AccountStructure& structure) {
  account = specifier::trim_blanks(account);
  if (!account.empty() && account.front() == '\'') account = specifier::trim_blanks(account.substr(1));
  if (account.find_first_of("*?.,") != std::string_view::npos) return std::nullopt;
  const int separators = std::max(structure.segment_count - 1, 0);
  if (account.size() > static_cast<std::size_t>(structure.code_length() + separators)) return std::nullopt;
  std::string code;
  for (const char c : account)
    if (c != '-') code += c;
  return code;
}

BudgetEdit apply_budget(std::span<std::uint8_t> record, BudgetKind kind, const PeriodAmounts& amounts) {
  auto fields = layout::balance_budget(record, set_of(kind));
  if (!fields) return BudgetEdit::TooShort;
  double to_date = 0;
  for (int p = 0; p < layout::kPeriods; ++p) {
    layout::AmountPair& pair = fields->pairs[static_cast<std::size_t>(p)];
    if (const auto& supplied = amounts[static_cast<std::size_t>(p)]) pair.first = whole_cents(*supplied);
    to_date = whole_cents(to_date + pair.first);
    pair.second = to_date;
    if (!fits_ledger(pair.first) || !fits_ledger(to_date)) return BudgetEdit::TooLarge;
  }
  if (fields->total) fields->total = to_date;
  layout::put_balance_budget(record, set_of(kind), *fields);
  return BudgetEdit::Done;
}

BalanceWriter::~BalanceWriter() {
  if (open_) close_company_file(company_, layout::FileKind::Periods);
}

int BalanceWriter::open() {
  if (open_) return 0;
  // The read-only handle gives way to one that may write.
  close_company_file(company_, layout::FileKind::Periods);
  if (open_company_file(company_, layout::FileKind::Periods, kNormalMode) != 0) {
    report(kMessageNoWriteAccess, std::string(kNoWriteAccess) + " - " + company_.slot(Slot::Periods).name + " - " +
                                      btrv::last_status_text());
    return kMessageNoWriteAccess;
  }
  open_ = true;
  return 0;
}

BalanceWriter::Outcome BalanceWriter::fail(std::string_view account, std::string_view what) {
  report(kMessageWriteFailed, std::string(account) + " - " + std::string(what));
  return Outcome::Failed;
}

BalanceWriter::Outcome BalanceWriter::write(std::string_view stored_code, int year, BudgetKind kind,
                                            const PeriodAmounts& amounts, std::string_view account) {
  if (!open_ && open() != 0) return Outcome::Failed;
  FileSlot& slot = company_.slot(Slot::Periods);
  unsigned char key[btrv::kKeyBufferSize] = {};
  const layout::Bytes wanted = layout::balance_year_code_key(year, stored_code);
  std::memcpy(key, wanted.data(), std::min(wanted.size(), sizeof key));
  unsigned char* data = nullptr;
  if (btrv::BtrvGetEqual(&slot.block, &data, key, layout::kBalanceYearCodeKey) != 0 || !data) {
    if (btrv::ran_out(btrv::last_status())) return Outcome::NoRecord;
    return fail(account, slot.name + " - " + btrv::last_status_text());
  }
  // The record as read, whatever its length; the update writes it back whole.
  const std::uint16_t length = btrv::last_record_length();
  unsigned char record[btrv::kRecordBufferSize] = {};
  std::memcpy(record, data, std::min<std::size_t>(length, sizeof record));
  switch (apply_budget({record, length}, kind, amounts)) {
    case BudgetEdit::TooShort:
      return fail(account, "Record too short - " + slot.name + " - " + std::to_string(length) + " bytes, " +
                               std::to_string(layout::kBalanceNeededLength) + " needed");
    case BudgetEdit::TooLarge:
      report(kMessageAmountTooLarge, std::string(account) + " - the budget's amounts to date exceed " +
                                         "the ledger's 13 digits");
      return Outcome::Failed;
    case BudgetEdit::Done:
      break;
  }
  if (btrv::BtrvUpdate(&slot.block, record, key, layout::kBalanceYearCodeKey, length) != 0)
    return fail(account, slot.name + " - " + btrv::last_status_text());
  return Outcome::Written;
}

}  // namespace kovo::data
