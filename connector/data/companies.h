// The companies that requests name: each company's master data, fiscal
// calendar and open files, kept in a list for the life of the connector.
//
// A request gets a company with find_or_open_company(id) and tests its
// status (company_error_check); it opens the files it reads with
// open_company_file(company, kind) and reads them through the position
// block of company.slot(kind). The period view of a year for the specifier
// code comes from company.period_calendar(year, setting).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/balance_cache.h"
#include "data/btrieve_ops.h"
#include "data/file_identity.h"
#include "data/layouts.h"
#include "specifier/account_structure.h"
#include "specifier/calendar.h"

namespace kovo::data {

enum CompanyMessage : int {
  kMemoryFull = 2,
  kNoSuchCompany = 29,
  kCompanyFileMissing = 73,
  kCalendarFileMissing = 74,
  kFunctionNotSupported = 32,
  kRecordTooShort = 34,
};

enum class Slot : int {
  Accounts, Probe0, Probe1, Probe2, Probe3, Periods, Transactions, Segments, History, Entities, Count
};

struct FileSlot {
  bool open = false;
  btrv::PositionBlock block{};
  std::string name;  // the file's name, for messages
  KnownFile file;    // the file opened, as it was when opened
};

// A read that failed for another reason than running out of records,
// reported with the record manager's text; returns the message number (30).
int report_read_failure(std::string_view file_name);
// A record shorter than the fields read from it; returns the message number.
int report_short_record(std::string_view file_name, std::size_t length, std::size_t needed);

struct YearEntry {
  int year = 0;
  int kind = 1;  // 0 the current year; 1 or 2 by the calendar record's flag
  int periods = 12;
  std::array<layout::Date, layout::kPeriods> start{}, end{};
  bool original_budget_locked = false;
  bool budget_transactions = false;
};

struct UsedAccount {
  std::string code;
  int count = 0;
  std::uint64_t last_request = 0;  // the request that counted it last
};

struct CompanyContext {
  int status = 0;
  std::string status_detail;  // what the failure's message names (the id when empty)
  // The accounts that requests read while a sheet's calculation is
  // recorded, in order of first use (codes as stored), with the number of
  // requests that read each.
  std::vector<UsedAccount> used_accounts;
  std::string id;
  std::string name;
  std::string data_directory;  // ends with a backslash
  int periods_per_year = 12;
  std::string current_year = "1996";
  int latest_year = 0;
  int earliest_year = 0;
  int company_current_period = 1;
  int setup_current_period = 0;
  specifier::AccountStructure structure;
  std::array<std::string, specifier::kMaxSegments> segment_names;
  std::string account_structure;  // "-" between segments
  int main_segment = 1;
  std::array<layout::Date, layout::kPeriods> period_start{}, period_end{};  // of the year worked on
  std::array<FileSlot, static_cast<int>(Slot::Count)> slots{};
  bool has_entities_file = false;
  bool transactions_v3 = false;
  std::vector<YearEntry> years;
  // The calendar in the specifier code's terms, made once the calendar is read.
  specifier::CompanyCalendar calendar_view;
  // Account type codes already read, by account code; emptied with the files.
  std::unordered_map<std::string, std::string> account_types;
  // The company file and calendar this record was filled from.
  std::vector<KnownFile> sources;
  // When its files were last compared with what their paths name now.
  std::chrono::steady_clock::time_point files_checked{};
  // Opened again because its files were replaced, and that failed: the
  // replacement may have been caught half-way, so it is tried again.
  bool reopen_failed = false;
  // The preloaded balances; emptied with the files.
  BalanceCache balance_cache;

  FileSlot& slot(Slot s) { return slots[static_cast<int>(s)]; }
  int current_year_number() const;
  const YearEntry* year_entry(int year) const;
  const specifier::CompanyCalendar& calendar() const { return calendar_view; }
  // The view of a year for period phrases; the "Current Period" setting wins when non-zero.
  specifier::PeriodCalendar period_calendar(int year, int current_period_setting) const;
};

// Looks the id up without regard to case; a new company is opened and put at
// the head of the list, and returned even when its opening failed. A company
// already in the list whose files were replaced since it was opened (a
// ledger rebuilt, a backup restored) is opened again in place first, so no
// answer ever comes from files that are no longer at their paths; that is
// looked at no more often than the replacement check interval.
CompanyContext* find_or_open_company(std::string_view id);
// How often a company's files are compared with what their paths name (one
// second; zero compares at every look-up).
void set_replacement_check_interval(std::chrono::milliseconds interval);
// Rises whenever a company is opened again because its files were replaced:
// whatever was read from a company before is stale once it changed.
std::uint64_t ledger_generation();
// The company of an id when it is in the list already; null otherwise.
CompanyContext* find_company(std::string_view id);
// The company's status; a failure replaces the pending message with its own.
int company_error_check(CompanyContext* company);
// Reports the company's failure (when no message is pending) and returns its status.
int report_company_failure(const CompanyContext& company);
void close_company_files(CompanyContext& company);
void close_all_companies();
void purge_failed_companies();
void refresh_entities_flags();
std::size_t company_count();
// Every loaded company, in the list's order.
std::vector<CompanyContext*> loaded_companies();

// The file of a kind for the company, opened into its slot (read-only by
// default) with the name-choice rules of each kind. 0 or a failure.
int open_company_file(CompanyContext& company, layout::FileKind kind, int mode = -2);
Slot slot_of(layout::FileKind kind);
// Closes the file of a kind when its slot is open; the next
// open_company_file opens it afresh.
void close_company_file(CompanyContext& company, layout::FileKind kind);
// Its financial entities file, when open.
void close_entities_file(CompanyContext& company);

// 8 when one of the probe files opens for the company, 7 otherwise; kept as
// the data version of the connector.
int probe_data_version(CompanyContext& company);
int data_version();

// Copies a year's period dates into the company's period date fields.
void load_period_dates(CompanyContext& company, int year);

// CODATA: the text of a company field (codes of the company data request),
// or the status 32 with the message reported.
int company_data_field(std::string_view id, int code, std::string& answer);
// "1Jan2007"
std::string period_date_text(const layout::Date& date);

// Id, a tab and the name of each company of the master file. failure_box
// shows the failure at once when no company file opens.
std::vector<std::string> cyma_company_list(void (*failure_box)(const std::string& text) = nullptr);
// The list as read at the connector's initialisation, for the company
// choices of its windows.
const std::vector<std::string>& known_cyma_companies();
// The ids of such a list's lines (the text before the tab).
std::vector<std::string> company_ids(const std::vector<std::string>& lines);
// A company's fiscal years as the windows offer them, newest first.
std::vector<std::string> year_choices(const CompanyContext& company);

// Paths: the system directory with a trailing backslash, and whether a file
// exists (Windows paths also work natively).
std::string system_directory();
bool file_exists(const std::string& path);

// Installs the company list into the connector's initialisation and clean-up.
void install_companies();

}  // namespace kovo::data
