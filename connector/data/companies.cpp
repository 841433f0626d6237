#include "data/companies.h"

#include "data/entities_file.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <list>

#include "data/btrieve.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "specifier/text_util.h"

namespace kovo::data {
namespace {

using layout::Date;
using layout::FileKind;

std::list<std::unique_ptr<CompanyContext>> g_companies;
std::vector<std::string> g_cyma_companies;  // read at initialisation
int g_data_version = 7;
constexpr int kReadOnly = -2;
std::chrono::milliseconds g_check_interval{1000};
std::uint64_t g_ledger_generation = 0;

std::string with_backslash(std::string dir) {
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

Date day_after(Date d) {
  if (d.empty()) return d;
  if (++d.day > layout::days_in_month(d.month, d.year)) {
    d.day = 1;
    if (++d.month > 12) {
      d.month = 1;
      ++d.year;
    }
  }
  return d;
}

int clock_year() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &now);
#else
  localtime_r(&now, &parts);
#endif
  return parts.tm_year + 1900;
}

// Record manager operations on a slot, reading into the shared record buffer.
struct Reader {
  btrv::PositionBlock* block;
  unsigned char* record = nullptr;
  int get_first(int key) { return btrv::BtrvGetFirst(block, &record, nullptr, key); }
  int get_next(int key) { return btrv::BtrvGetNext(block, &record, nullptr, key); }
  int get_equal(layout::Bytes key, int key_number) {
    key.resize(btrv::kKeyBufferSize, 0);
    return btrv::BtrvGetEqual(block, &record, key.data(), key_number);
  }
  layout::View view() const { return {record, btrv::last_record_length()}; }
};

void replace_message(int number, std::string_view detail) {
  clear_message();
  report(number, detail);
}

// The segments of a structure such as "XXXX.XXX/XX".
void apply_structure(CompanyContext& c, std::string structure) {
  while (!structure.empty() && structure.back() == ' ') structure.pop_back();
  std::replace(structure.begin(), structure.end(), '.', '-');
  std::replace(structure.begin(), structure.end(), '/', '-');
  c.account_structure = structure;
  c.structure = {};
  std::size_t start = 0;
  while (c.structure.segment_count < specifier::kMaxSegments) {
    const std::size_t dash = structure.find('-', start);
    const std::size_t width = (dash == std::string::npos ? structure.size() : dash) - start;
    if (width > 0) c.structure.width[c.structure.segment_count++] = static_cast<int>(width);
    if (dash == std::string::npos) break;
    start = dash + 1;
  }
}

// How messages name a file: its whole path, or only its name when the path
// would crowd the record manager's text out of the message.
std::string file_name_of(std::string_view path) {
  constexpr std::size_t kLongestPathInMessage = 120;
  if (path.size() <= kLongestPathInMessage) return std::string(path);
  const std::size_t cut = path.find_last_of("\\/");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

bool open_slot(CompanyContext& c, Slot slot, const std::string& path, int mode) {
  FileSlot& s = c.slot(slot);
  s.name = file_name_of(path);
  s.open = btrv::BtrvOpenFile(path.c_str(), &s.block, "", mode, &c) == 0;
  s.file = s.open ? KnownFile::of(path) : KnownFile{};
  return s.open;
}

void close_slot(CompanyContext& c, Slot slot) {
  FileSlot& s = c.slot(slot);
  if (!s.open) return;
  btrv::BtrvCloseFile(&s.block);
  s.open = false;
}

bool read_company_record(CompanyContext& c) {
  const std::string system = system_directory();
  btrv::PositionBlock block{};
  std::string opened;
  for (const auto name : layout::file_names(FileKind::CompanyMaster)) {
    const std::string path = system + std::string(name);
    if (btrv::BtrvOpenFile(path.c_str(), &block, "", kReadOnly, &c) == 0) {
      opened = std::string(name);
      break;
    }
  }
  if (opened.empty()) {
    c.status = kCompanyFileMissing;
    replace_message(btrv::kBtrieveError, system);
    return false;
  }
  c.sources.push_back(KnownFile::of(system + opened));
  Reader reader{&block};
  const auto layout_kind = layout::company_layout_of(opened);
  std::optional<layout::CompanyRecord> record;
  if (reader.get_equal(layout::company_id_key(c.id), layout::kCompanyIdKey) == 0) {
    record = layout::decode_company(reader.view(), layout_kind);
    if (!record) {
      clear_message();
      c.status = report_short_record(file_name_of(system + opened), reader.view().size(),
                                     layout::company_needed_length(layout_kind));
      c.status_detail = std::string(pending_detail());
    }
  } else if (!btrv::ran_out(btrv::last_status())) {
    clear_message();
    c.status = report_read_failure(file_name_of(system + opened));
    c.status_detail = std::string(pending_detail());
  } else {
    c.status = kNoSuchCompany;
    replace_message(btrv::kBtrieveError, c.id);
  }
  if (!record) {
    btrv::BtrvCloseFile(&block);
    return false;
  }
  c.name = record->name;
  c.data_directory = layout::resolve_data_directory(record->data_directory, system);
  c.current_year = std::to_string(record->current_year != 0 ? record->current_year : clock_year());
  c.company_current_period = record->current_period != 0 ? record->current_period : 1;
  Settings& s = settings();
  if (s.current_period == 0) s.current_period = c.company_current_period;
  c.setup_current_period = s.current_period;
  apply_structure(c, record->account_structure);
  for (int i = 0; i < specifier::kMaxSegments; ++i)
    c.segment_names[i] = i < c.structure.segment_count ? record->segment_names[i] : std::string{};
  c.main_segment = layout_kind == layout::CompanyLayout::Original ? 1 : record->main_segment + 1;
  btrv::BtrvCloseFile(&block);
  return true;
}

specifier::CompanyCalendar calendar_of(const CompanyContext& c) {
  specifier::CompanyCalendar cal;
  cal.current_year = c.current_year_number();
  cal.current_period = c.company_current_period;
  cal.earliest_year = c.earliest_year;
  cal.latest_year = c.latest_year;
  for (const auto& y : c.years) {
    specifier::FiscalYear f;
    f.year = y.year;
    f.periods = y.periods;
    for (int i = 0; i < y.periods; ++i) f.period_end[i] = y.end[i].number();
    cal.years.push_back(f);
  }
  return cal;
}

bool read_calendar(CompanyContext& c) {
  btrv::PositionBlock block{};
  const std::string calendar_name(layout::file_names(FileKind::Calendar).front());
  std::string path = c.data_directory + calendar_name;
  if (btrv::BtrvOpenFile(path.c_str(), &block, "", kReadOnly, &c) != 0) {
    const std::string folder = system_directory() + c.id + "\\";
    const std::string second = folder + calendar_name;
    if (btrv::BtrvOpenFile(second.c_str(), &block, "", kReadOnly, &c) != 0) {
      c.status = kCalendarFileMissing;
      replace_message(btrv::kBtrieveError, path);
      return false;
    }
    c.data_directory = folder;
    path = second;
  }
  c.sources.push_back(KnownFile::of(path));
  const int current = c.current_year_number();
  c.earliest_year = 4000;
  c.latest_year = 0;
  bool found_current = false;
  int last_periods = 12;
  Reader reader{&block};
  int st = reader.get_first(0);
  for (; st == 0; st = reader.get_next(0)) {
    const auto r = layout::decode_calendar(reader.view());
    if (!r) {
      clear_message();
      c.status = report_short_record(file_name_of(c.data_directory + calendar_name), reader.view().size(), layout::kCalendarNeededLength);
      break;
    }
    c.earliest_year = std::min(c.earliest_year, r->year);
    c.latest_year = std::max(c.latest_year, r->year);
    YearEntry y;
    y.year = r->year;
    y.periods = std::clamp(r->periods, 1, layout::kPeriods);
    for (int i = 0; i < y.periods; ++i) y.end[i] = r->period_end[i];
    Date before = y.end[y.periods - 1];
    before.year -= 1;
    before.day = std::min(before.day, layout::days_in_month(before.month, before.year));
    y.start[0] = day_after(before);
    for (int i = 1; i < y.periods; ++i) y.start[i] = day_after(y.end[i - 1]);
    y.original_budget_locked = r->original_budget_locked;
    y.budget_transactions = r->budget_transactions;
    y.kind = r->year == current ? 0 : (r->flag != 0 ? 1 : 2);
    if (r->year == current) {
      found_current = true;
      c.periods_per_year = y.periods;
    }
    last_periods = y.periods;
    c.years.push_back(y);
  }
  if (c.status == 0 && !btrv::ran_out(btrv::last_status())) {
    clear_message();
    c.status = report_read_failure(file_name_of(c.data_directory + calendar_name));
  }
  if (c.status != 0) {
    c.status_detail = std::string(pending_detail());
    btrv::BtrvCloseFile(&block);
    return false;
  }
  if (!found_current && c.latest_year != 0) {
    c.current_year = std::to_string(c.latest_year);
    c.periods_per_year = last_periods;
    for (auto& y : c.years)
      if (y.year == c.latest_year) y.kind = 0;
  }
  btrv::BtrvCloseFile(&block);
  c.calendar_view = calendar_of(c);
  return true;
}

bool entities_file_present(const CompanyContext& c) {
  const std::string path = entities::file_path(c, settings());
  return !path.empty() && file_exists(path);
}

void open_company(CompanyContext& c) {
  probe_data_version(c);
  if (!read_company_record(c)) return;
  if (!read_calendar(c)) return;
  c.has_entities_file = entities_file_present(c);
}

// Whether a file the record was filled from, or one it holds open, is no
// longer the file at its path.
bool files_replaced(const CompanyContext& c) {
  for (const auto& source : c.sources)
    if (source.replaced()) return true;
  for (const auto& slot : c.slots)
    if (slot.open && slot.file.replaced()) return true;
  return false;
}

// Opens the company again in place: callers may hold the record's address.
void reopen_company(CompanyContext& c) {
  const std::string id = c.id;
  close_company_files(c);
  c = CompanyContext{};
  c.id = id;
  open_company(c);
  ++g_ledger_generation;
}

void check_for_replaced_files(CompanyContext& c) {
  const auto now = std::chrono::steady_clock::now();
  if (now - c.files_checked < g_check_interval) return;
  c.files_checked = now;
  if (!c.reopen_failed && !files_replaced(c)) return;
  reopen_company(c);
  c.files_checked = now;
  c.reopen_failed = c.status != 0;
  // The company file may have changed with the rest: the windows' company
  // choices are read again too.
  if (!g_cyma_companies.empty()) g_cyma_companies = cyma_company_list();
}

void free_one_file_handle(const void* spare) {
  constexpr Slot kOrder[] = {Slot::Accounts, Slot::Periods, Slot::Transactions, Slot::History, Slot::Segments};
  for (auto& company : g_companies) {
    if (company.get() == spare) continue;
    for (const Slot s : kOrder)
      if (company->slot(s).open) {
        close_slot(*company, s);
        return;
      }
  }
}

}  // namespace

int CompanyContext::current_year_number() const { return std::atoi(current_year.c_str()); }

const YearEntry* CompanyContext::year_entry(int year) const {
  for (const auto& y : years)
    if (y.year == year) return &y;
  return nullptr;
}

specifier::PeriodCalendar CompanyContext::period_calendar(int year, int current_period_setting) const {
  return specifier::period_calendar(calendar(), year, current_period_setting);
}

std::string system_directory() { return with_backslash(settings().system); }

bool file_exists(const std::string& path) {
  std::string native = path;
#ifndef _WIN32
  std::replace(native.begin(), native.end(), '\\', '/');
#endif
  std::error_code ec;
  return std::filesystem::is_regular_file(native, ec);
}

CompanyContext* find_company(std::string_view id) {
  for (auto& c : g_companies)
    if (specifier::equal_folded(c->id, id)) return c.get();
  return nullptr;
}

CompanyContext* find_or_open_company(std::string_view id) {
  for (auto& c : g_companies)
    if (specifier::equal_folded(c->id, id)) {
      check_for_replaced_files(*c);
      return c.get();
    }
  auto company = std::make_unique<CompanyContext>();
  company->id = std::string(id.substr(0, 6));
  CompanyContext* raw = company.get();
  g_companies.push_front(std::move(company));
  open_company(*raw);
  raw->files_checked = std::chrono::steady_clock::now();
  return raw;
}

void set_replacement_check_interval(std::chrono::milliseconds interval) { g_check_interval = interval; }

std::uint64_t ledger_generation() { return g_ledger_generation; }

int company_error_check(CompanyContext* company) {
  if (!company) return kMemoryFull;
  if (company->status != 0) {
    clear_message();
    report_company_failure(*company);
  }
  return company->status;
}

int report_company_failure(const CompanyContext& company) {
  report(company.status, company.status_detail.empty() ? company.id : company.status_detail);
  return company.status;
}

int report_read_failure(std::string_view file_name) {
  report(btrv::kBtrieveError, std::string(file_name) + " - " + btrv::last_status_text());
  return btrv::kBtrieveError;
}

int report_short_record(std::string_view file_name, std::size_t length, std::size_t needed) {
  report(kRecordTooShort, std::string(file_name) + " - " + std::to_string(length) + " bytes, " +
                              std::to_string(needed) + " needed");
  return kRecordTooShort;
}

void close_company_files(CompanyContext& c) {
  for (const Slot s : {Slot::Accounts, Slot::Periods, Slot::Transactions, Slot::History, Slot::Segments, Slot::Entities})
    close_slot(c, s);
  c.status = 0;
  c.status_detail.clear();
  c.account_types.clear();
  c.balance_cache.clear();
}

void close_all_companies() {
  for (auto& c : g_companies) close_company_files(*c);
  g_companies.clear();
}

void purge_failed_companies() {
  g_companies.remove_if([](const std::unique_ptr<CompanyContext>& c) {
    if (c->status == 0) return false;
    close_company_files(*c);
    return true;
  });
}

void refresh_entities_flags() {
  for (auto& c : g_companies) c->has_entities_file = entities_file_present(*c);
}

std::size_t company_count() { return g_companies.size(); }

std::vector<CompanyContext*> loaded_companies() {
  std::vector<CompanyContext*> out;
  for (auto& c : g_companies) out.push_back(c.get());
  return out;
}

Slot slot_of(FileKind kind) {
  switch (kind) {
    case FileKind::Accounts: return Slot::Accounts;
    case FileKind::Periods: return Slot::Periods;
    case FileKind::Transactions: return Slot::Transactions;
    case FileKind::Segments: return Slot::Segments;
    case FileKind::History: return Slot::History;
    default: return Slot::Count;
  }
}

void close_company_file(CompanyContext& c, FileKind kind) {
  const Slot slot = slot_of(kind);
  if (slot != Slot::Count) close_slot(c, slot);
}

void close_entities_file(CompanyContext& c) { close_slot(c, Slot::Entities); }

int open_company_file(CompanyContext& c, FileKind kind, int mode) {
  const Slot slot = slot_of(kind);
  if (slot == Slot::Count) return 1;
  if (c.slot(slot).open) return 0;
  const auto names = layout::file_names(kind);
  if (kind == FileKind::Transactions || kind == FileKind::History) {
    std::string chosen;
    if (file_exists(c.data_directory + std::string(names[0]))) {
      chosen = names[0];
      c.transactions_v3 = true;
    } else {
      chosen = file_exists(c.data_directory + std::string(names[1])) ? names[1] : names[2];
      if (kind == FileKind::Transactions) c.transactions_v3 = false;
    }
    return open_slot(c, slot, c.data_directory + chosen, mode) ? 0 : btrv::kBtrieveError;
  }
  bool opened = false;
  for (const auto name : names)
    if ((opened = open_slot(c, slot, c.data_directory + std::string(name), mode))) break;
  return opened ? 0 : btrv::kBtrieveError;
}

int probe_data_version(CompanyContext& c) {
  const std::string folder = system_directory() + c.id + "\\";
  const auto names = layout::file_names(FileKind::VersionProbe);
  g_data_version = 7;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const Slot slot = static_cast<Slot>(static_cast<int>(Slot::Probe0) + static_cast<int>(i));
    FileSlot& s = c.slot(slot);
    if (btrv::BtrvOpenFile((folder + std::string(names[i])).c_str(), &s.block, "", kReadOnly, &c) == 0) {
      btrv::BtrvCloseFile(&s.block);
      s.open = false;
      g_data_version = 8;
      break;
    }
  }
  btrv::check_status(0, nullptr);  // a missing probe file is no error of the request
  return g_data_version;
}

int data_version() { return g_data_version; }

void load_period_dates(CompanyContext& c, int year) {
  c.period_start = {};
  c.period_end = {};
  if (const YearEntry* y = c.year_entry(year)) {
    c.period_start = y->start;
    c.period_end = y->end;
  }
}

std::string period_date_text(const Date& d) {
  return std::to_string(d.day) + std::string(layout::month_abbreviation(d.month)) + std::to_string(d.year);
}

int company_data_field(std::string_view id, int code, std::string& answer) {
  CompanyContext* c = find_or_open_company(id);
  if (const int status = company_error_check(c); status != 0) return status;
  answer.clear();
  if (code >= 2000 && code <= 2025) {
    load_period_dates(*c, c->current_year_number());
    const bool start = code <= 2012;
    const Date d = start ? c->period_start[code - 2000] : c->period_end[code - 2013];
    answer = d.empty() ? "The Period Number is Incorrect" : period_date_text(d);
    return 0;
  }
  switch (code) {
    case 0: case 100: answer = c->name; break;
    case 101: answer = std::to_string(c->company_current_period); break;
    case 1: case 102: answer = std::to_string(c->setup_current_period); break;
    case 6: case 103: answer = c->current_year; break;
    case 8: answer = std::to_string(c->periods_per_year); break;
    case 15: answer = c->account_structure; break;
    case 20: case 104:
      answer = "^";
      for (int i = 1; i < c->structure.segment_count; ++i) answer += "-^";
      break;
    case 21: case 106: answer = std::to_string(c->structure.segment_count); break;
    case 105: answer = std::to_string(c->main_segment); break;
    case 107: break;
    default:
      report(kFunctionNotSupported);
      return kFunctionNotSupported;
  }
  while (!answer.empty() && answer.back() == ' ') answer.pop_back();
  return 0;
}

std::vector<std::string> cyma_company_list(void (*failure_box)(const std::string& text)) {
  std::vector<std::string> list;
  const std::string system = system_directory();
  btrv::PositionBlock block{};
  std::string opened;
  for (const auto name : layout::file_names(FileKind::CompanyMaster))
    if (btrv::BtrvOpenFile((system + std::string(name)).c_str(), &block, "", kReadOnly, nullptr) == 0) {
      opened = std::string(name);
      break;
    }
  if (opened.empty()) {
    if (failure_box) failure_box(format_message(btrv::kBtrieveError, system));
    return list;
  }
  Reader reader{&block};
  const auto kind = layout::company_layout_of(opened);
  int st = reader.get_first(0);
  for (; st == 0; st = reader.get_next(0)) {
    const auto r = layout::decode_company(reader.view(), kind);
    if (!r) {
      if (failure_box)
        failure_box(format_message(kRecordTooShort, opened + " - " + std::to_string(reader.view().size()) +
                                                        " bytes, " +
                                                        std::to_string(layout::company_needed_length(kind)) +
                                                        " needed"));
      break;
    }
    list.push_back(r->id + "\t" + r->name);
  }
  if (st != 0 && !btrv::ran_out(btrv::last_status()) && failure_box)
    failure_box(format_message(btrv::kBtrieveError, opened + " - " + btrv::last_status_text()));
  btrv::BtrvCloseFile(&block);
  return list;
}

const std::vector<std::string>& known_cyma_companies() { return g_cyma_companies; }

std::vector<std::string> company_ids(const std::vector<std::string>& lines) {
  std::vector<std::string> ids;
  ids.reserve(lines.size());
  for (const auto& line : lines) ids.push_back(line.substr(0, line.find('\t')));
  return ids;
}

std::vector<std::string> year_choices(const CompanyContext& company) {
  std::vector<int> years;
  for (const auto& entry : company.years) years.push_back(entry.year);
  std::sort(years.rbegin(), years.rend());
  std::vector<std::string> texts;
  for (const int year : years) texts.push_back(std::to_string(year));
  return texts;
}

void install_companies() {
  btrv::set_free_one_file_handle(&free_one_file_handle);
  lifecycle_hooks().build_company_list = [] { g_cyma_companies = cyma_company_list(); };
  on_cleanup(CleanupStage::kCloseFiles, [] {
    for (auto& c : g_companies) close_company_files(*c);
  });
  on_cleanup(CleanupStage::kCompanies, close_all_companies);
  on_cleanup(CleanupStage::kCompanyNames, [] { g_cyma_companies.clear(); });
}

}  // namespace kovo::data
