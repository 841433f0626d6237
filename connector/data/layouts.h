// The CYMA IV files the connector reads: their names, record layouts and
// keys, in one place. The connector decodes with these tables and the ledger
// builder encodes with them, so an offset is written down exactly once.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "recman/file_spec.h"

namespace kovo::layout {

using Bytes = std::vector<std::uint8_t>;
using View = std::span<const std::uint8_t>;

inline constexpr int kPeriods = 13;
inline constexpr int kSegmentNames = 10;
inline constexpr int kSegmentNameWidth = 12;
inline constexpr int kAccountCodeWidth = 25;

// ---------------------------------------------------------------- file set

enum class FileKind { CompanyMaster, Calendar, Accounts, Periods, Transactions, Segments,
                      History, VersionProbe };

// Names tried for a kind, in order.
std::span<const std::string_view> file_names(FileKind kind);

// Company master file layouts: the first name has its own, the other two share one.
enum class CompanyLayout { Original, Second };
CompanyLayout company_layout_of(std::string_view file_name);

// Transaction files named "..3.dat"/"..3h.dat" carry the amount and what
// follows it 50 bytes further on.
bool is_version3_transaction_file(std::string_view file_name);

// ---------------------------------------------------------------- field codecs

// The record manager's 8-byte DECIMAL with two implied decimals: 15 digits
// high nibble first, the sign in the last low nibble (0xD negative).
double decode_packed(View field);
void encode_packed(double value, std::span<std::uint8_t> field);  // rounds to cents

struct Date {
  int day = 0, month = 0, year = 0;
  std::int32_t number() const { return year * 10000 + month * 100 + day; }  // YYYYMMDD
  bool empty() const { return day == 0 && month == 0 && year == 0; }
  static Date from_number(std::int32_t yyyymmdd);
};
Date decode_date(View field);  // day, month, 16-bit year
int days_in_month(int month, int year);       // of the Gregorian calendar
std::string_view month_abbreviation(int month);  // "Jan" .. "Dec", empty outside 1 to 12

// A company record's data directory: one that begins with "." lies under the
// system directory (its leading dots and backslashes dropped) and gets a
// trailing backslash; any other is taken as stored.
std::string resolve_data_directory(std::string_view stored, std::string_view system_dir);
void encode_date(const Date& date, std::span<std::uint8_t> field);

// Terminated text in a fixed field (up to the first zero byte), trailing blanks removed.
std::string decode_text(View field);
// Fixed-width characters with any zero bytes removed, trailing blanks removed.
std::string decode_fixed(View field);
// Text zero-padded (or cut) to the field.
void encode_text(std::string_view text, std::span<std::uint8_t> field);

// ---------------------------------------------------------------- records

struct CompanyRecord {
  std::uint32_t sequence = 0;  // key 0: the order of the company list
  std::string id;
  std::string data_directory;
  std::string name;
  std::array<std::string, kSegmentNames> segment_names;
  std::string account_structure;
  int current_year = 0;
  int current_period = 0;
  int main_segment = 0;  // stored 0-based; the second layout only
};

struct CalendarRecord {
  int year = 0;
  std::uint8_t flag = 0;
  int periods = 12;
  std::array<Date, kPeriods> period_end{};
  bool original_budget_locked = false;
  bool budget_transactions = false;
};

struct AccountRecord {
  std::string code;  // segments run together, no hyphens
  std::string description;
  std::string type;  // three digits
};

// A period's pair of amounts: the first serves profit-and-loss accounts,
// the second balance-sheet accounts.
struct AmountPair {
  double first = 0;
  double second = 0;
};

struct BalanceRecord {
  std::string code;
  int year = 0;
  double opening = 0;
  std::array<AmountPair, kPeriods> actual{};   // (net change, balance at period end)
  std::array<AmountPair, kPeriods> budget{};   // (amount, amounts to date)
  std::array<AmountPair, kPeriods> revised{};
  double budget_total = 0;   // the sum of the 13 budget amounts
  double revised_total = 0;
};

struct TransactionRecord {
  std::string account;  // as in the accounts file
  std::uint32_t sequence = 0;
  char status = ' ';
  char type = ' ';
  bool posted = false;
  std::string journal;
  std::int32_t batch = 0;
  Date date;
  std::string document;
  std::string description;
  double amount = 0;  // debits positive, credits negative
  std::string create_user, update_user;
  Date create_date;
  std::string job;
  int cost_type = 0;
  std::string cost_code, grant, coe, fund_source, program, activity;
};

struct SegmentRecord {
  int segment = 0;  // 0 for the first segment
  std::string value;
  std::string description;
};

// Decoders read only within the bytes given. A record of any length that
// holds the fields read is accepted (files written by other programs may
// carry shorter or longer records than the builder writes); a shorter one
// yields nothing. The needed lengths end at the last field the connector reads.
inline constexpr std::size_t kCalendarNeededLength = 67;   // through the budget-lock flag
inline constexpr std::size_t kAccountNeededLength = 95;    // through the type
inline constexpr std::size_t kBalanceNeededLength = 676;   // through the revised budget pairs
inline constexpr std::size_t kSegmentNeededLength = 60;    // through the description
std::size_t company_needed_length(CompanyLayout layout);
std::size_t transaction_needed_length(bool version3);
std::optional<CompanyRecord> decode_company(View record, CompanyLayout layout);
std::optional<CalendarRecord> decode_calendar(View record);
std::optional<AccountRecord> decode_account(View record);
std::optional<BalanceRecord> decode_balance(View record);
std::optional<TransactionRecord> decode_transaction(View record, bool version3);
std::optional<SegmentRecord> decode_segment(View record);

Bytes encode_company(const CompanyRecord& r, CompanyLayout layout);
Bytes encode_calendar(const CalendarRecord& r);
Bytes encode_account(const AccountRecord& r);
Bytes encode_balance(const BalanceRecord& r);
Bytes encode_transaction(const TransactionRecord& r, bool version3);
Bytes encode_segment(const SegmentRecord& r);
Bytes encode_version_probe();

// Field access without a full decode, for the hot paths.
std::string balance_code(View record);
int balance_year(View record);
std::string transaction_account(View record);
Date transaction_date(View record);
double transaction_amount(View record, bool version3);
bool transaction_posted(View record);
std::string account_type(View record);
// One value of each period's pair (first or second) of a balance record's
// actual, budget or revised budget amounts; zeros for a short record.
enum class AmountSet { Actual, Budget, Revised };
std::array<double, kPeriods> balance_amounts(View record, AmountSet set, bool second);
double balance_opening(View record);

// The largest amount a packed field holds: 15 digits, two of them decimals.
inline constexpr double kMaxPackedAmount = 9999999999999.99;

// One budget of a balance record as stored: each period's pair (the
// period's amount, the amounts to date) and the budget's year total, which
// records shorter than the full layout do not hold.
struct BudgetFields {
  std::array<AmountPair, kPeriods> pairs{};
  std::optional<double> total;
};
// The original (AmountSet::Budget) or revised budget of a record; nothing
// for a record too short for the pairs.
std::optional<BudgetFields> balance_budget(View record, AmountSet set);
// Writes a budget into a record as read, in place: every other byte stays as
// it was. The total is written when the record holds it. False when the
// record is too short for the pairs.
bool put_balance_budget(std::span<std::uint8_t> record, AmountSet set, const BudgetFields& fields);

// ---------------------------------------------------------------- keys

// What create (14) is given for each file: record length and keys.
recman::FileSpec company_spec(CompanyLayout layout);
recman::FileSpec calendar_spec();
recman::FileSpec account_spec();
recman::FileSpec balance_spec();
recman::FileSpec transaction_spec(bool version3);
recman::FileSpec segment_spec();
recman::FileSpec version_probe_spec();

// Key buffers.
inline constexpr int kCompanyIdKey = 1;
Bytes company_id_key(std::string_view id);
inline constexpr int kAccountCodeKey = 0;
Bytes account_code_key(std::string_view code);
inline constexpr int kBalanceCodeYearKey = 0;  // the data preload's order
inline constexpr int kBalanceYearCodeKey = 1;  // one year's records in account order
Bytes balance_year_code_key(int year, std::string_view code);
Bytes balance_code_year_key(std::string_view code, int year);
inline constexpr int kTransactionAccountDateKey = 3;  // one account's transactions by date
Bytes transaction_account_date_key(std::string_view account, const Date& date);
inline constexpr int kSegmentKey = 0;
Bytes segment_key(int segment, std::string_view value);

// What dump shows for a file, chosen by its name; unknown files show raw bytes.
std::string describe_record(std::string_view file_name, View record);

}  // namespace kovo::layout
