#include "data/layouts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "recman/le.h"

namespace kovo::layout {
namespace {

struct Field {
  std::size_t offset;
  std::size_t width;
};

// ---------------------------------------------------------------- the layouts

struct CompanyFields {
  std::size_t length;
  Field sequence, id, directory, name, segment_names, structure, year, period;
  std::optional<Field> main_segment;
};
constexpr CompanyFields kCompanyOriginal{1000, {0, 4},   {4, 7},     {401, 261}, {736, 72},
                                         {808, 120},     {929, 56},  {985, 2},   {987, 2},
                                         std::nullopt};
constexpr CompanyFields kCompanySecond{800,        {0, 4},     {4, 7},   {137, 261},
                                       {472, 72},  {544, 120}, {665, 91}, {756, 2},
                                       {758, 2},   Field{777, 2}};
const CompanyFields& company_fields(CompanyLayout l) {
  return l == CompanyLayout::Original ? kCompanyOriginal : kCompanySecond;
}

namespace calendar {
constexpr std::size_t kLength = 80;
constexpr Field kYear{0, 2}, kFlag{2, 1}, kPeriodCount{11, 2}, kEnds{13, 4 * layout::kPeriods},
    kLocked{66, 1}, kBudgetTransactions{67, 1};
}  // namespace calendar

namespace account {
constexpr std::size_t kLength = 692;
constexpr Field kCode{0, kAccountCodeWidth}, kDescription{26, 61}, kType{92, 3};
}  // namespace account

namespace balance {
constexpr std::size_t kLength = 692;
constexpr Field kCode{0, kAccountCodeWidth}, kYear{25, 2}, kOpening{28, 8};
constexpr std::size_t kActual = 36, kBudget = 252, kRevised = 468, kPairSize = 16;
constexpr Field kBudgetTotal{676, 8}, kRevisedTotal{684, 8};
}  // namespace balance

// Transactions: the fields from the amount on sit 50 bytes later in the
// version 3 files.
namespace transaction {
constexpr std::size_t kLength = 256, kVersion3Shift = 50;
constexpr Field kAccount{0, kAccountCodeWidth}, kSequence{25, 4}, kStatus{29, 1}, kType{30, 1},
    kPosted{31, 1}, kJournal{32, 7}, kBatch{39, 4}, kDate{43, 4}, kDocument{47, 21},
    kDescription{68, 31};
// shifted in version 3 files
constexpr Field kAmount{99, 8}, kCreateUser{107, 3}, kUpdateUser{111, 3}, kCreateDate{115, 4},
    kJob{184, 11}, kCostType{195, 2}, kCostCode{212, 11}, kGrant{225, 7}, kCoe{232, 3},
    kFundSource{235, 7}, kProgram{242, 7}, kActivity{249, 7};
}  // namespace transaction

namespace segment {
constexpr std::size_t kLength = 60;
constexpr Field kIndex{0, 4}, kValue{4, kAccountCodeWidth}, kDescription{29, 31};
}  // namespace segment

constexpr std::size_t kProbeLength = 16;

Field shifted(Field f, bool version3) {
  return {f.offset + (version3 ? transaction::kVersion3Shift : 0), f.width};
}

View at(View record, Field f) { return record.subspan(f.offset, f.width); }
std::span<std::uint8_t> at(Bytes& record, Field f) {
  return std::span<std::uint8_t>(record).subspan(f.offset, f.width);
}

int get16(View record, Field f) { return static_cast<std::int16_t>(recman::get_le16(record, f.offset)); }
void put16(Bytes& record, Field f, int v) {
  recman::put_le16(record, f.offset, static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
}
std::uint32_t get32(View record, Field f) { return recman::get_le32(record, f.offset); }
void put32(Bytes& record, Field f, std::uint32_t v) { recman::put_le32(record, f.offset, v); }

recman::Segment seg(Field f, recman::KeyType type, std::uint16_t flags = 0) {
  recman::Segment s;
  s.position = static_cast<std::uint16_t>(f.offset + 1);
  s.length = static_cast<std::uint16_t>(f.width);
  s.type = type;
  // without the extended-type flag the record manager compares the bytes as text
  s.flags = static_cast<std::uint16_t>(flags | recman::kFlagExtendedType);
  return s;
}

recman::Key key(std::vector<recman::Segment> segments, std::uint16_t flags = recman::kFlagModifiable) {
  recman::Key k;
  k.flags = flags;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    segments[i].flags |= flags;
    if (i + 1 < segments.size()) segments[i].flags |= recman::kFlagSegmented;
  }
  k.segments = std::move(segments);
  return k;
}

recman::FileSpec spec_of(std::size_t length, std::vector<recman::Key> keys) {
  recman::FileSpec s;
  s.record_length = static_cast<std::uint16_t>(length);
  s.page_size = 4096;
  s.keys = std::move(keys);
  return s;
}

constexpr auto kString = recman::KeyType::kString;
constexpr auto kInteger = recman::KeyType::kInteger;
constexpr auto kDateType = recman::KeyType::kDate;
constexpr std::uint16_t kNoCase = recman::kFlagCaseInsensitive;
constexpr std::uint16_t kDups = recman::kFlagDuplicates | recman::kFlagModifiable;

constexpr std::string_view kCompanyNames[] = {"sm_cmpny.dat", "sm_cmpy2.dat", "sm_cmpy6.dat"};
constexpr std::string_view kCalendarNames[] = {"smperiod.dat"};
constexpr std::string_view kAccountNames[] = {"glacct.dat", "gl_acct.dat"};
constexpr std::string_view kPeriodNames[] = {"glperiod.dat", "gl_prd.dat"};
constexpr std::string_view kTransactionNames[] = {"gl_trx3.dat", "gl_trx2.dat", "gl_trx.dat"};
constexpr std::string_view kSegmentNamesFile[] = {"gl_seg.dat"};
constexpr std::string_view kHistoryNames[] = {"gl_trx3h.dat", "gl_trx2h.dat", "gl_trxh.dat"};
constexpr std::string_view kProbeNames[] = {"gl_cfg135.dat", "gl_cfg11.dat", "gl_cfg9.dat",
                                            "gl_cfg8.dat"};

bool fits(View record, std::size_t length) { return record.size() >= length; }

}  // namespace

// ---------------------------------------------------------------- file set

std::span<const std::string_view> file_names(FileKind kind) {
  switch (kind) {
    case FileKind::CompanyMaster: return kCompanyNames;
    case FileKind::Calendar: return kCalendarNames;
    case FileKind::Accounts: return kAccountNames;
    case FileKind::Periods: return kPeriodNames;
    case FileKind::Transactions: return kTransactionNames;
    case FileKind::Segments: return kSegmentNamesFile;
    case FileKind::History: return kHistoryNames;
    case FileKind::VersionProbe: return kProbeNames;
  }
  return {};
}

namespace {
std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return out;
}
std::string base_name(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  return lower(slash == std::string_view::npos ? path : path.substr(slash + 1));
}
}  // namespace

CompanyLayout company_layout_of(std::string_view file_name) {
  return base_name(file_name) == kCompanyNames[0] ? CompanyLayout::Original : CompanyLayout::Second;
}

bool is_version3_transaction_file(std::string_view file_name) {
  const std::string name = base_name(file_name);
  return name == kTransactionNames[0] || name == kHistoryNames[0];
}

// ---------------------------------------------------------------- field codecs

double decode_packed(View field) {
  if (field.size() < 8) return 0;
  // two digits a byte, high nibble first; the last low nibble is the sign
  std::uint64_t digits = 0;
  for (std::size_t i = 0; i < 7; ++i) {
    const unsigned high = field[i] >> 4, low = field[i] & 0x0Fu;
    digits = digits * 100 + (high > 9 ? 0 : high) * 10 + (low > 9 ? 0 : low);
  }
  const unsigned last = field[7] >> 4;
  digits = digits * 10 + (last > 9 ? 0 : last);
  const double value = static_cast<double>(digits) / 100.0;
  return (field[7] & 0x0F) == 0x0D ? -value : value;
}

void encode_packed(double value, std::span<std::uint8_t> field) {
  if (field.size() < 8) return;
  const bool negative = value < 0;
  double cents = std::round(std::fabs(value) * 100.0);
  constexpr double kLimit = 999999999999999.0;  // 15 digits
  if (!(cents <= kLimit)) cents = kLimit;
  auto digits = static_cast<unsigned long long>(cents);
  int nibbles[16];
  nibbles[15] = negative ? 0x0D : 0x0C;
  for (int i = 14; i >= 0; --i) {
    nibbles[i] = static_cast<int>(digits % 10);
    digits /= 10;
  }
  for (int i = 0; i < 8; ++i) field[i] = static_cast<std::uint8_t>(nibbles[2 * i] << 4 | nibbles[2 * i + 1]);
}

Date Date::from_number(std::int32_t n) { return {n % 100, n / 100 % 100, n / 10000}; }

int days_in_month(int month, int year) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string_view month_abbreviation(int month) {
  static constexpr std::string_view kNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  return month >= 1 && month <= 12 ? kNames[month - 1] : std::string_view{};
}

std::string resolve_data_directory(std::string_view stored, std::string_view system_dir) {
  if (stored.empty() || stored.front() != '.') return std::string(stored);
  std::string dir(system_dir);
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  const std::size_t rest = stored.find_first_not_of(".\\");
  if (rest != std::string_view::npos) dir += stored.substr(rest);
  if (dir.back() != '\\') dir += '\\';
  return dir;
}

Date decode_date(View f) {
  if (f.size() < 4) return {};
  return {f[0], f[1], recman::get_le16(f, 2)};
}

void encode_date(const Date& d, std::span<std::uint8_t> f) {
  if (f.size() < 4) return;
  f[0] = static_cast<std::uint8_t>(d.day);
  f[1] = static_cast<std::uint8_t>(d.month);
  recman::put_le16(f, 2, static_cast<std::uint16_t>(d.year));
}

std::string decode_text(View f) {
  std::size_t n = 0;
  while (n < f.size() && f[n] != 0) ++n;
  std::string s(reinterpret_cast<const char*>(f.data()), n);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string decode_fixed(View f) {
  std::string s;
  for (const auto b : f)
    if (b != 0) s.push_back(static_cast<char>(b));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void encode_text(std::string_view text, std::span<std::uint8_t> f) {
  std::fill(f.begin(), f.end(), 0);
  std::memcpy(f.data(), text.data(), std::min(text.size(), f.size()));
}

// ---------------------------------------------------------------- records

std::size_t company_needed_length(CompanyLayout layout) {
  const CompanyFields& f = company_fields(layout);
  const Field last = f.main_segment ? *f.main_segment : f.period;
  return last.offset + last.width;
}

std::size_t transaction_needed_length(bool version3) {
  const Field last = shifted(transaction::kActivity, version3);
  return last.offset + last.width;
}

std::optional<CompanyRecord> decode_company(View rec, CompanyLayout layout) {
  const CompanyFields& f = company_fields(layout);
  if (!fits(rec, company_needed_length(layout))) return std::nullopt;
  CompanyRecord r;
  r.sequence = get32(rec, f.sequence);
  r.id = decode_text(at(rec, f.id));
  r.data_directory = decode_text(at(rec, f.directory));
  r.name = decode_text(at(rec, f.name));
  for (int i = 0; i < kSegmentNames; ++i)
    r.segment_names[i] = decode_fixed(rec.subspan(f.segment_names.offset + i * kSegmentNameWidth, kSegmentNameWidth));
  r.account_structure = decode_text(at(rec, f.structure));
  r.current_year = get16(rec, f.year);
  r.current_period = get16(rec, f.period);
  if (f.main_segment) r.main_segment = get16(rec, *f.main_segment);
  return r;
}

Bytes encode_company(const CompanyRecord& r, CompanyLayout layout) {
  const CompanyFields& f = company_fields(layout);
  Bytes rec(f.length, 0);
  put32(rec, f.sequence, r.sequence);
  encode_text(r.id, at(rec, f.id));
  encode_text(r.data_directory, at(rec, f.directory));
  encode_text(r.name, at(rec, f.name));
  for (int i = 0; i < kSegmentNames; ++i) {
    auto name = std::span<std::uint8_t>(rec).subspan(f.segment_names.offset + i * kSegmentNameWidth, kSegmentNameWidth);
    std::fill(name.begin(), name.end(), ' ');
    std::memcpy(name.data(), r.segment_names[i].data(), std::min<std::size_t>(r.segment_names[i].size(), kSegmentNameWidth));
  }
  encode_text(r.account_structure, at(rec, f.structure));
  put16(rec, f.year, r.current_year);
  put16(rec, f.period, r.current_period);
  if (f.main_segment) put16(rec, *f.main_segment, r.main_segment);
  return rec;
}

std::optional<CalendarRecord> decode_calendar(View rec) {
  using namespace calendar;
  if (!fits(rec, kCalendarNeededLength)) return std::nullopt;
  CalendarRecord r;
  r.year = get16(rec, kYear);
  r.flag = rec[kFlag.offset];
  r.periods = std::clamp(get16(rec, kPeriodCount), 0, layout::kPeriods);
  for (int i = 0; i < layout::kPeriods; ++i) r.period_end[i] = decode_date(rec.subspan(kEnds.offset + 4 * i, 4));
  r.original_budget_locked = static_cast<std::int8_t>(rec[kLocked.offset]) != 0;
  // the budget-transactions flag is read when the record reaches it
  r.budget_transactions = fits(rec, kBudgetTransactions.offset + 1) &&
                          static_cast<std::int8_t>(rec[kBudgetTransactions.offset]) != 0;
  return r;
}

Bytes encode_calendar(const CalendarRecord& r) {
  using namespace calendar;
  Bytes rec(kLength, 0);
  put16(rec, kYear, r.year);
  rec[kFlag.offset] = r.flag;
  put16(rec, kPeriodCount, r.periods);
  for (int i = 0; i < layout::kPeriods; ++i)
    encode_date(r.period_end[i], std::span<std::uint8_t>(rec).subspan(kEnds.offset + 4 * i, 4));
  rec[kLocked.offset] = r.original_budget_locked ? 1 : 0;
  rec[kBudgetTransactions.offset] = r.budget_transactions ? 1 : 0;
  return rec;
}

std::optional<AccountRecord> decode_account(View rec) {
  using namespace account;
  if (!fits(rec, kType.offset + kType.width)) return std::nullopt;
  return AccountRecord{decode_text(at(rec, kCode)), decode_text(at(rec, kDescription)),
                       decode_fixed(at(rec, kType))};
}

Bytes encode_account(const AccountRecord& r) {
  using namespace account;
  Bytes rec(kLength, 0);
  encode_text(r.code, at(rec, kCode));
  encode_text(r.description, at(rec, kDescription));
  encode_text(r.type, at(rec, kType));
  return rec;
}

std::string account_type(View rec) {
  if (!fits(rec, account::kType.offset + account::kType.width)) return {};
  return decode_fixed(at(rec, account::kType));
}

namespace {
void decode_pairs(View rec, std::size_t base, std::array<AmountPair, kPeriods>& pairs) {
  for (int p = 0; p < kPeriods; ++p) {
    const std::size_t off = base + balance::kPairSize * p;
    pairs[p] = {decode_packed(rec.subspan(off, 8)), decode_packed(rec.subspan(off + 8, 8))};
  }
}
void encode_pairs(Bytes& rec, std::size_t base, const std::array<AmountPair, kPeriods>& pairs) {
  for (int p = 0; p < kPeriods; ++p) {
    const std::size_t off = base + balance::kPairSize * p;
    encode_packed(pairs[p].first, std::span<std::uint8_t>(rec).subspan(off, 8));
    encode_packed(pairs[p].second, std::span<std::uint8_t>(rec).subspan(off + 8, 8));
  }
}
}  // namespace

std::optional<BalanceRecord> decode_balance(View rec) {
  using namespace balance;
  if (!fits(rec, kBalanceNeededLength)) return std::nullopt;
  BalanceRecord r;
  r.code = decode_text(at(rec, kCode));
  r.year = get16(rec, kYear);
  r.opening = decode_packed(at(rec, kOpening));
  decode_pairs(rec, kActual, r.actual);
  decode_pairs(rec, kBudget, r.budget);
  decode_pairs(rec, kRevised, r.revised);
  // the totals follow the pairs and are read when the record holds them
  if (fits(rec, kBudgetTotal.offset + kBudgetTotal.width)) r.budget_total = decode_packed(at(rec, kBudgetTotal));
  if (fits(rec, kRevisedTotal.offset + kRevisedTotal.width))
    r.revised_total = decode_packed(at(rec, kRevisedTotal));
  return r;
}

Bytes encode_balance(const BalanceRecord& r) {
  using namespace balance;
  Bytes rec(kLength, 0);
  encode_text(r.code, at(rec, kCode));
  put16(rec, kYear, r.year);
  encode_packed(r.opening, at(rec, kOpening));
  encode_pairs(rec, kActual, r.actual);
  encode_pairs(rec, kBudget, r.budget);
  encode_pairs(rec, kRevised, r.revised);
  encode_packed(r.budget_total, at(rec, kBudgetTotal));
  encode_packed(r.revised_total, at(rec, kRevisedTotal));
  return rec;
}

std::string balance_code(View rec) {
  return fits(rec, balance::kCode.width) ? decode_text(at(rec, balance::kCode)) : std::string{};
}
int balance_year(View rec) {
  return fits(rec, balance::kYear.offset + 2) ? get16(rec, balance::kYear) : 0;
}

std::array<double, kPeriods> balance_amounts(View rec, AmountSet set, bool second) {
  std::array<double, kPeriods> out{};
  if (!fits(rec, kBalanceNeededLength)) return out;
  const std::size_t base = set == AmountSet::Actual ? balance::kActual : set == AmountSet::Budget ? balance::kBudget : balance::kRevised;
  for (int p = 0; p < kPeriods; ++p)
    out[p] = decode_packed(rec.subspan(base + balance::kPairSize * p + (second ? 8 : 0), 8));
  return out;
}

namespace {
std::size_t budget_base(AmountSet set) {
  return set == AmountSet::Actual ? balance::kActual : set == AmountSet::Budget ? balance::kBudget : balance::kRevised;
}
Field budget_total_field(AmountSet set) {
  return set == AmountSet::Revised ? balance::kRevisedTotal : balance::kBudgetTotal;
}
}  // namespace

std::optional<BudgetFields> balance_budget(View rec, AmountSet set) {
  if (set == AmountSet::Actual || !fits(rec, kBalanceNeededLength)) return std::nullopt;
  BudgetFields out;
  decode_pairs(rec, budget_base(set), out.pairs);
  const Field total = budget_total_field(set);
  if (fits(rec, total.offset + total.width)) out.total = decode_packed(at(rec, total));
  return out;
}

bool put_balance_budget(std::span<std::uint8_t> rec, AmountSet set, const BudgetFields& fields) {
  if (set == AmountSet::Actual || rec.size() < kBalanceNeededLength) return false;
  const std::size_t base = budget_base(set);
  for (int p = 0; p < kPeriods; ++p) {
    const std::size_t off = base + balance::kPairSize * p;
    encode_packed(fields.pairs[p].first, rec.subspan(off, 8));
    encode_packed(fields.pairs[p].second, rec.subspan(off + 8, 8));
  }
  const Field total = budget_total_field(set);
  if (fields.total && rec.size() >= total.offset + total.width)
    encode_packed(*fields.total, rec.subspan(total.offset, total.width));
  return true;
}

double balance_opening(View rec) {
  return fits(rec, balance::kOpening.offset + balance::kOpening.width) ? decode_packed(at(rec, balance::kOpening))
                                                                        : 0.0;
}

std::optional<TransactionRecord> decode_transaction(View rec, bool v3) {
  using namespace transaction;
  if (!fits(rec, transaction_needed_length(v3))) return std::nullopt;
  TransactionRecord r;
  r.account = decode_text(at(rec, kAccount));
  r.sequence = get32(rec, kSequence);
  r.status = static_cast<char>(rec[kStatus.offset]);
  r.type = static_cast<char>(rec[kType.offset]);
  r.posted = rec[kPosted.offset] == 1;
  r.journal = decode_fixed(at(rec, kJournal));
  r.batch = static_cast<std::int32_t>(get32(rec, kBatch));
  r.date = decode_date(at(rec, kDate));
  r.document = decode_text(at(rec, kDocument));
  r.description = decode_text(at(rec, kDescription));
  r.amount = decode_packed(at(rec, shifted(kAmount, v3)));
  r.create_user = decode_fixed(at(rec, shifted(kCreateUser, v3)));
  r.update_user = decode_fixed(at(rec, shifted(kUpdateUser, v3)));
  r.create_date = decode_date(at(rec, shifted(kCreateDate, v3)));
  r.job = decode_fixed(at(rec, shifted(kJob, v3)));
  r.cost_type = get16(rec, shifted(kCostType, v3));
  r.cost_code = decode_fixed(at(rec, shifted(kCostCode, v3)));
  r.grant = decode_fixed(at(rec, shifted(kGrant, v3)));
  r.coe = decode_fixed(at(rec, shifted(kCoe, v3)));
  r.fund_source = decode_fixed(at(rec, shifted(kFundSource, v3)));
  r.program = decode_fixed(at(rec, shifted(kProgram, v3)));
  r.activity = decode_fixed(at(rec, shifted(kActivity, v3)));
  return r;
}

Bytes encode_transaction(const TransactionRecord& r, bool v3) {
  using namespace transaction;
  Bytes rec(kLength + (v3 ? kVersion3Shift : 0), 0);
  encode_text(r.account, at(rec, kAccount));
  put32(rec, kSequence, r.sequence);
  rec[kStatus.offset] = static_cast<std::uint8_t>(r.status);
  rec[kType.offset] = static_cast<std::uint8_t>(r.type);
  rec[kPosted.offset] = r.posted ? 1 : 0;
  encode_text(r.journal, at(rec, kJournal));
  put32(rec, kBatch, static_cast<std::uint32_t>(r.batch));
  encode_date(r.date, at(rec, kDate));
  encode_text(r.document, at(rec, kDocument));
  encode_text(r.description, at(rec, kDescription));
  encode_packed(r.amount, at(rec, shifted(kAmount, v3)));
  encode_text(r.create_user, at(rec, shifted(kCreateUser, v3)));
  encode_text(r.update_user, at(rec, shifted(kUpdateUser, v3)));
  encode_date(r.create_date, at(rec, shifted(kCreateDate, v3)));
  encode_text(r.job, at(rec, shifted(kJob, v3)));
  put16(rec, shifted(kCostType, v3), r.cost_type);
  encode_text(r.cost_code, at(rec, shifted(kCostCode, v3)));
  encode_text(r.grant, at(rec, shifted(kGrant, v3)));
  encode_text(r.coe, at(rec, shifted(kCoe, v3)));
  encode_text(r.fund_source, at(rec, shifted(kFundSource, v3)));
  encode_text(r.program, at(rec, shifted(kProgram, v3)));
  encode_text(r.activity, at(rec, shifted(kActivity, v3)));
  return rec;
}

std::string transaction_account(View rec) {
  return fits(rec, transaction::kAccount.width) ? decode_text(at(rec, transaction::kAccount)) : std::string{};
}
Date transaction_date(View rec) {
  return fits(rec, transaction::kDate.offset + 4) ? decode_date(at(rec, transaction::kDate)) : Date{};
}
double transaction_amount(View rec, bool v3) {
  const Field f = shifted(transaction::kAmount, v3);
  return fits(rec, f.offset + f.width) ? decode_packed(at(rec, f)) : 0.0;
}
bool transaction_posted(View rec) {
  return fits(rec, transaction::kPosted.offset + 1) && rec[transaction::kPosted.offset] == 1;
}

std::optional<SegmentRecord> decode_segment(View rec) {
  using namespace segment;
  if (!fits(rec, kSegmentNeededLength)) return std::nullopt;
  return SegmentRecord{static_cast<int>(get32(rec, kIndex)), decode_text(at(rec, kValue)),
                       decode_text(at(rec, kDescription))};
}

Bytes encode_segment(const SegmentRecord& r) {
  using namespace segment;
  Bytes rec(kLength, 0);
  put32(rec, kIndex, static_cast<std::uint32_t>(r.segment));
  // the value is blank-padded so that key reads with a padded value find it
  auto value = at(rec, kValue);
  std::fill(value.begin(), value.end(), ' ');
  std::memcpy(value.data(), r.value.data(), std::min(r.value.size(), value.size()));
  encode_text(r.description, at(rec, kDescription));
  return rec;
}

Bytes encode_version_probe() {
  Bytes rec(kProbeLength, 0);
  put32(rec, {0, 4}, 1);
  return rec;
}

// ---------------------------------------------------------------- keys

recman::FileSpec company_spec(CompanyLayout l) {
  const CompanyFields& f = company_fields(l);
  return spec_of(f.length, {key({seg(f.sequence, kInteger)}), key({seg(f.id, kString, kNoCase)})});
}

recman::FileSpec calendar_spec() {
  return spec_of(calendar::kLength, {key({seg(calendar::kYear, kInteger)})});
}

recman::FileSpec account_spec() {
  return spec_of(account::kLength, {key({seg(account::kCode, kString, kNoCase)})});
}

recman::FileSpec balance_spec() {
  using namespace balance;
  return spec_of(kLength, {key({seg(kCode, kString, kNoCase), seg(kYear, kInteger)}),
                           key({seg(kYear, kInteger), seg(kCode, kString, kNoCase)})});
}

recman::FileSpec transaction_spec(bool v3) {
  using namespace transaction;
  return spec_of(kLength + (v3 ? kVersion3Shift : 0),
                 {key({seg(kSequence, kInteger)}),
                  key({seg(kDate, kDateType), seg(kSequence, kInteger)}, kDups),
                  key({seg(kJournal, kString), seg(kBatch, kInteger), seg(kSequence, kInteger)}, kDups),
                  key({seg(kAccount, kString, kNoCase), seg(kDate, kDateType), seg(kSequence, kInteger)},
                      kDups)});
}

recman::FileSpec segment_spec() {
  using namespace segment;
  return spec_of(kLength, {key({seg(kIndex, kInteger), seg(kValue, kString, kNoCase)})});
}

recman::FileSpec version_probe_spec() { return spec_of(kProbeLength, {key({seg({0, 4}, kInteger)})}); }

namespace {
Bytes text_key(std::string_view text, std::size_t width) {
  Bytes k(width, 0);
  encode_text(text, k);
  return k;
}
}  // namespace

Bytes company_id_key(std::string_view id) { return text_key(id, kCompanyOriginal.id.width); }
Bytes account_code_key(std::string_view code) { return text_key(code, kAccountCodeWidth); }

Bytes balance_year_code_key(int year, std::string_view code) {
  Bytes k(2 + kAccountCodeWidth, 0);
  recman::put_le16(k, 0, static_cast<std::uint16_t>(year));
  encode_text(code, std::span<std::uint8_t>(k).subspan(2));
  return k;
}

Bytes balance_code_year_key(std::string_view code, int year) {
  Bytes k(kAccountCodeWidth + 2, 0);
  encode_text(code, std::span<std::uint8_t>(k).subspan(0, kAccountCodeWidth));
  recman::put_le16(k, kAccountCodeWidth, static_cast<std::uint16_t>(year));
  return k;
}

Bytes transaction_account_date_key(std::string_view account, const Date& date) {
  Bytes k(kAccountCodeWidth + 4 + 4, 0);
  encode_text(account, std::span<std::uint8_t>(k).subspan(0, kAccountCodeWidth));
  encode_date(date, std::span<std::uint8_t>(k).subspan(kAccountCodeWidth, 4));
  return k;
}

Bytes segment_key(int segment, std::string_view value) {
  Bytes k(4 + kAccountCodeWidth, ' ');
  recman::put_le32(k, 0, static_cast<std::uint32_t>(segment));
  std::memcpy(k.data() + 4, value.data(), std::min<std::size_t>(value.size(), kAccountCodeWidth));
  return k;
}

// ---------------------------------------------------------------- dump

namespace {
std::string money(double v) {
  char t[40];
  std::snprintf(t, sizeof t, "%.2f", v);
  return t;
}
std::string date_text(const Date& d) {
  char t[16];
  std::snprintf(t, sizeof t, "%04d-%02d-%02d", d.year, d.month, d.day);
  return t;
}
std::string hex(View rec) {
  std::string s;
  char t[4];
  for (std::size_t i = 0; i < rec.size() && i < 64; ++i) {
    std::snprintf(t, sizeof t, "%02x", rec[i]);
    s += t;
  }
  if (rec.size() > 64) s += "...";
  return s;
}
}  // namespace

std::string describe_record(std::string_view file_name, View rec) {
  const std::string name = base_name(file_name);
  auto is = [&](std::span<const std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  std::string out;
  if (is(kCompanyNames)) {
    if (const auto r = decode_company(rec, company_layout_of(name))) {
      out = "company " + r->id + " \"" + r->name + "\" dir=" + r->data_directory +
            " structure=" + r->account_structure + " year=" + std::to_string(r->current_year) +
            " period=" + std::to_string(r->current_period) + " main=" + std::to_string(r->main_segment) +
            " segments=";
      for (const auto& s : r->segment_names)
        if (!s.empty()) out += "[" + s + "]";
      return out;
    }
  } else if (is(kCalendarNames)) {
    if (const auto r = decode_calendar(rec)) {
      out = "year " + std::to_string(r->year) + " flag=" + std::to_string(r->flag) +
            " periods=" + std::to_string(r->periods) + " locked=" + std::to_string(r->original_budget_locked) +
            " budgetTransactions=" + std::to_string(r->budget_transactions) + " ends=";
      for (int i = 0; i < r->periods; ++i) out += (i ? "," : "") + date_text(r->period_end[i]);
      return out;
    }
  } else if (is(kAccountNames)) {
    if (const auto r = decode_account(rec)) return "account " + r->code + " type=" + r->type + " \"" + r->description + "\"";
  } else if (is(kPeriodNames)) {
    if (const auto r = decode_balance(rec)) {
      out = "balance " + r->code + " " + std::to_string(r->year) + " opening=" + money(r->opening) + " actual=";
      for (int i = 0; i < kPeriods; ++i) out += (i ? "," : "") + money(r->actual[i].first) + "/" + money(r->actual[i].second);
      out += " budget=";
      for (int i = 0; i < kPeriods; ++i) out += (i ? "," : "") + money(r->budget[i].first);
      out += " revised=";
      for (int i = 0; i < kPeriods; ++i) out += (i ? "," : "") + money(r->revised[i].first);
      out += " budgetTotal=" + money(r->budget_total) + " revisedTotal=" + money(r->revised_total);
      return out;
    }
  } else if (is(kTransactionNames) || is(kHistoryNames)) {
    if (const auto r = decode_transaction(rec, is_version3_transaction_file(name)))
      return "transaction " + r->account + " " + date_text(r->date) + " " + money(r->amount) +
             (r->posted ? " posted" : " unposted") + " " + r->journal + "/" + std::to_string(r->batch) +
             " doc=" + r->document + " \"" + r->description + "\" job=" + r->job +
             " costType=" + std::to_string(r->cost_type) + " costCode=" + r->cost_code + " grant=" + r->grant +
             " coe=" + r->coe + " fund=" + r->fund_source + " program=" + r->program + " activity=" + r->activity;
  } else if (is(kSegmentNamesFile)) {
    if (const auto r = decode_segment(rec))
      return "segment " + std::to_string(r->segment + 1) + " " + r->value + " \"" + r->description + "\"";
  }
  return "bytes " + std::to_string(rec.size()) + " " + hex(rec);
}

}  // namespace kovo::layout
