#include "windows/drill_controller.h"

#include <algorithm>
#include <cstdlib>

#include "data/btrieve.h"
#include "data/companies.h"
#include "entry/messages.h"
#include "requests/gl_core.h"
#include "requests/gl_request.h"
#include "requests/record_sources.h"
#include "specifier/account_code.h"
#include "specifier/period.h"
#include "windows/window_handoffs.h"
#include "specifier/text_util.h"

namespace kovo::drill {
namespace {

using windows::BoxKind;

constexpr int kNoSuchCompany = 29;
constexpr int kNotInThisVersion = 58;
constexpr std::size_t kAccountFieldLimit = 511;
constexpr std::size_t kPeriodFieldLimit = 512;
constexpr std::size_t kYearFieldLimit = 4;
constexpr std::size_t kCompanyFieldLimit = 511;
constexpr std::size_t kChartCompanyLimit = 6;
constexpr std::size_t kChartTextLimit = 662;
constexpr char kNoDescription[] = "NA";
// From this many rows on, descriptions are read in one walk rather than one by one.
constexpr std::size_t kDescriptionWalkRows = 16;
constexpr char kBudget[] = "Budget";
constexpr char kRevisedBudget[] = "Revised Budget";

using specifier::trimmed;

// The company ids of a company specifier, in the order written.
std::vector<std::string> specified_companies(std::string_view companies) {
  std::vector<std::string> ids;
  std::string id;
  for (const char c : companies) {
    if (c == ',' || c == ' ' || c == '\t') {
      if (!id.empty()) ids.push_back(std::move(id));
      id.clear();
    } else {
      id += c;
    }
  }
  if (!id.empty()) ids.push_back(std::move(id));
  return ids;
}

// "NA Label" held at 1 while the rows are evaluated: a row that matches
// no account is a row of zero, not a failure.
class NaLabelHeld {
 public:
  explicit NaLabelHeld(Settings& s) : settings_(s), saved_(s.na_label) { s.na_label = 1; }
  ~NaLabelHeld() { settings_.na_label = saved_; }
  NaLabelHeld(const NaLabelHeld&) = delete;
  NaLabelHeld& operator=(const NaLabelHeld&) = delete;

 private:
  Settings& settings_;
  int saved_;
};

// A row's specifier is the drilled one with the segment pinned to the row's
// value, so it matches a part of the accounts the total walked -- when the
// value reads as itself, as digits do. A blank, a wildcard or a separator
// could read as something else, and letters match without regard to case
// where a range of the total compares them with it, so such a row is
// evaluated from the files.
bool reads_as_itself(std::string_view value) {
  return !value.empty() && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// While an object lives, GL evaluations read the kept balance records.
class KeptBalancesRead {
 public:
  explicit KeptBalancesRead(const requests::BalanceSnapshot* kept) : saved_(requests::gl_hooks().kept_balances) {
    requests::gl_hooks().kept_balances = kept;
  }
  ~KeptBalancesRead() { requests::gl_hooks().kept_balances = saved_; }
  KeptBalancesRead(const KeptBalancesRead&) = delete;
  KeptBalancesRead& operator=(const KeptBalancesRead&) = delete;

 private:
  const requests::BalanceSnapshot* saved_;
};

std::size_t amount_column(DrillRows::View view) {
  return view == DrillRows::View::Segments ? std::size_t{kSegmentBalance} : std::size_t{kAmount};
}

}  // namespace

DrillController::DrillController(Settings& settings, windows::WindowServices& services, DrillDisplay& display,
                                 AmountText amount_text, std::size_t list_capacity)
    : settings_(settings),
      services_(services),
      display_(display),
      capacity_(list_capacity),
      rows_(std::move(amount_text)),
      model_(rows_, segment_list_columns()) {
  model_.set_tie_column(kAccount);
  // A threshold of 0 highlights nothing; the rows at or above it stand
  // out, and a selected row shows its emphasis for a large amount of
  // either sign.
  model_.set_highlight([this](std::size_t row) {
    const double h = settings_.highlight_amount;
    return h != 0 && rows_.amount(row) >= h;
  });
  model_.set_selected_emphasis([this](std::size_t row) {
    const double h = settings_.highlight_amount;
    const double a = rows_.amount(row);
    return h != 0 && (a >= h || a <= -h);
  });
  model_.set_alert([this](std::size_t row, std::size_t column) {
    return column == amount_column(rows_.view()) && rows_.amount(row) < 0;
  });
  apply_view_options();
}

DrillKind DrillController::kind() const {
  if (entries_.empty()) return DrillKind::Segment;
  return entries_[static_cast<std::size_t>(valid_drill_by(settings_.drill_segment, entries_.size()))].kind;
}

FilterGroup DrillController::filter_group() const {
  switch (kind()) {
    case DrillKind::Transactions: return data_version_ == 7 ? FilterGroup::JobCostType : FilterGroup::None;
    case DrillKind::JobCost: return FilterGroup::JobCost;
    case DrillKind::Grant: return FilterGroup::Grant;
    case DrillKind::Segment: break;
  }
  return FilterGroup::None;
}

bool DrillController::unposted_enabled() const { return kind() != DrillKind::Segment; }

data::CompanyContext* DrillController::look_up(std::string_view companies, bool show_failure) {
  const std::vector<std::string> ids = specified_companies(companies);
  if (ids.empty()) {
    if (show_failure) services_.box(BoxKind::Error, kNoSuchCompany, companies);
    return nullptr;
  }
  // A company that failed before is opened afresh: the settings may have changed.
  data::purge_failed_companies();
  data::CompanyContext* company = data::find_or_open_company(ids.front());
  if (data::company_error_check(company) != 0) {
    if (show_failure) {
      windows::show_pending_failure(services_);
    } else if (!services_.automation()) {
      clear_message();
    }
    return nullptr;
  }
  data_version_ = data::probe_data_version(*company);
  return company;
}

DrillChoices DrillController::choices_for(data::CompanyContext& company) {
  const int count = std::clamp(company.structure.segment_count, 0, specifier::kMaxSegments);
  const std::vector<std::string> names(company.segment_names.begin(), company.segment_names.begin() + count);
  entries_ = drill_by_entries(names, data_version_);
  DrillChoices choices;
  for (const auto& entry : entries_) choices.drill_by.push_back(entry.label);
  choices.selected = settings_.drill_segment = valid_drill_by(settings_.drill_segment, entries_.size());
  choices.companies = data::company_ids(data::known_cyma_companies());
  for (const data::YearEntry& year : company.years) choices.years.push_back(std::to_string(year.year));
  choices.filters = filter_group();
  choices.unposted_enabled = unposted_enabled();
  return choices;
}

void DrillController::set_view(DrillRows::View view) {
  rows_.set_view(view);
  rows_.clear();
  count_ = 0;
  model_.set_columns(view == DrillRows::View::Segments ? segment_list_columns() : transaction_list_columns(settings_));
  apply_view_options();
  columns_dirty_ = false;
  display_.columns_changed();
  display_.show_count(0);
}

void DrillController::apply_view_options() {
  model_.set_sort_key(amount_column(rows_.view()),
                      settings_.sort_drill_absolute ? windows::SortKey::AbsoluteNumber : windows::SortKey::Number);
}

DrillOpening DrillController::open(const windows::DrillStart* start) {
  if (start) {
    settings_.drill_account = start->account.substr(0, kAccountFieldLimit);
    settings_.drill_period = start->period.substr(0, kPeriodFieldLimit);
    settings_.drill_year = trimmed(std::string_view(start->year).substr(0, kYearFieldLimit));
    if (!trimmed(start->company).empty()) settings_.drill_company = start->company.substr(0, kCompanyFieldLimit);
    if (!start->type.empty()) settings_.drill_type = is_revised_budget(start->type) ? kRevisedBudget : kBudget;
    settings_.drill_date_range = false;
  }
  DrillOpening opening;
  opening.revised = is_revised_budget(settings_.drill_type);
  opening.include_unposted = settings_.include_unposted != 0;
  if (settings_.drill_company.empty()) settings_.drill_company = settings_.company;
  opening.company = settings_.drill_company;
  opening.year = settings_.drill_year;
  opening.account = settings_.drill_account;
  specifier::PeriodList periods;
  if (specifier::parse_period_list(settings_.drill_period, periods) != 0) {
    clear_message();
    services_.box(BoxKind::Error, kMessageInvalidPeriod);
    // A user sees the message and the month in the field; a command without
    // a user keeps the period it gave, so that its drill fails too rather
    // than leave another period's rows on the clipboard.
    if (!services_.automation()) settings_.drill_period = "Month";
  }
  opening.period = settings_.drill_period;
  data::CompanyContext* company = look_up(opening.company, true);
  if (!company) {
    opening.company_failed = true;
    return opening;
  }
  opening.choices = choices_for(*company);
  const auto view = kind() == DrillKind::Segment ? DrillRows::View::Segments : DrillRows::View::Transactions;
  if (view != rows_.view()) set_view(view);
  recompute_dates();
  return opening;
}

FilterGroup DrillController::select_drill_by(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return filter_group();
  settings_.drill_segment = index;
  const auto view = kind() == DrillKind::Segment ? DrillRows::View::Segments : DrillRows::View::Transactions;
  if (view != rows_.view()) set_view(view);
  return filter_group();
}

std::optional<DrillChoices> DrillController::company_changed(std::string_view companies) {
  data::CompanyContext* company = look_up(companies, true);
  if (!company) return std::nullopt;
  settings_.drill_company = std::string(companies.substr(0, kCompanyFieldLimit));
  DrillChoices choices = choices_for(*company);
  const auto view = kind() == DrillKind::Segment ? DrillRows::View::Segments : DrillRows::View::Transactions;
  if (view != rows_.view()) set_view(view);
  recompute_dates();
  return choices;
}

void DrillController::year_changed(std::string_view year) {
  settings_.drill_year = trimmed(year.substr(0, kYearFieldLimit));
  if (!settings_.drill_date_range) recompute_dates();
}

void DrillController::period_edited() { settings_.drill_date_range = false; }

void DrillController::type_changed(bool revised) { settings_.drill_type = revised ? kRevisedBudget : kBudget; }

void DrillController::include_unposted_changed(bool on) { settings_.include_unposted = on ? 1 : 0; }

// ---------------------------------------------------------------- dates

bool DrillController::explicit_dates() {
  DateRange range;
  const bool from_given = !trimmed(settings_.drill_from).empty();
  const bool to_given = !trimmed(settings_.drill_to).empty();
  if (from_given && to_given) {
    if (requests::parse_date_range(settings_.drill_from, settings_.drill_to, range.from, range.to) != 0) return false;
  } else {
    // One end given: the other is the period's.
    const bool explicit_mark = settings_.drill_date_range;
    settings_.drill_date_range = false;
    const bool period_known = recompute_dates();
    settings_.drill_date_range = explicit_mark;
    if (!period_known) return false;
    range = *dates_;
    if (from_given && requests::parse_request_date(settings_.drill_from, range.from) != 0) return false;
    if (to_given && requests::parse_request_date(settings_.drill_to, range.to) != 0) return false;
  }
  dates_ = range;
  return true;
}

bool DrillController::recompute_dates(const DrillFields* fields) {
  if (settings_.drill_date_range) return explicit_dates();
  const std::string companies = fields ? fields->company : settings_.drill_company;
  const std::vector<std::string> ids = specified_companies(companies);
  data::CompanyContext* company = ids.empty() ? nullptr : data::find_or_open_company(ids.front());
  if (!company || company->status != 0) return false;
  const std::string year = fields ? fields->year : settings_.drill_year;
  const std::string period = fields ? fields->period : settings_.drill_period;
  const int year_number = year.empty() || year == "0" ? company->current_year_number() : std::atoi(year.c_str());
  specifier::PeriodList periods;
  const bool blank = period.find_first_not_of(" \t") == std::string::npos;
  if (specifier::parse_period_list(blank ? "Month" : period, periods) != 0) {
    clear_message();
    return false;
  }
  const auto dates = period_dates(periods, *company, year_number, settings_.current_period);
  if (!std::holds_alternative<DateRange>(dates)) return false;
  dates_ = std::get<DateRange>(dates);
  return true;
}

// ---------------------------------------------------------------- drilling

std::optional<DrillController::Query> DrillController::read_query(const DrillFields& fields) {
  Query q;
  q.companies = trimmed(fields.company.substr(0, kCompanyFieldLimit));
  if (q.companies.empty()) q.companies = settings_.company;
  q.company = look_up(q.companies, true);
  if (!q.company) return std::nullopt;
  q.year = trimmed(fields.year.substr(0, kYearFieldLimit));
  q.year_number = q.year.empty() || q.year == "0" ? q.company->current_year_number() : std::atoi(q.year.c_str());
  q.period = fields.period.substr(0, kPeriodFieldLimit);
  const bool blank = q.period.find_first_not_of(" \t") == std::string::npos;
  if (specifier::parse_period_list(blank ? "Month" : q.period, q.periods) != 0) {
    clear_message();
    services_.box(BoxKind::Error, kMessageInvalidPeriod);
    return std::nullopt;
  }
  q.account = drilled_account(fields.account.substr(0, kAccountFieldLimit), q.company->structure.segment_count);
  display_.show_account(q.account);
  if (!drilled_ || q.account != drilled_account_ || q.year != drilled_year_ || q.period != drilled_period_)
    clipboard_.make_new_block_due();
  drilled_ = true;
  drilled_account_ = q.account;
  drilled_year_ = q.year;
  drilled_period_ = q.period;
  drilled_companies_ = q.companies;
  drilled_year_number_ = q.year_number;
  settings_.drill_account = q.account;
  settings_.drill_year = q.year;
  settings_.drill_period = q.period;
  settings_.drill_company = q.companies;
  return q;
}

void DrillController::drill(const DrillFields& fields) {
  const DrillKind drill_kind = kind();
  const auto view = drill_kind == DrillKind::Segment ? DrillRows::View::Segments : DrillRows::View::Transactions;
  if (view != rows_.view() || (columns_dirty_ && view == DrillRows::View::Transactions)) set_view(view);
  count_ = 0;
  display_.show_count(0);
  // Whoever runs the command reads the clipboard afterwards: a drill that
  // fails must not leave an earlier text there.
  if (services_.automation()) services_.empty_clipboard();
  listed_ = false;
  const std::optional<Query> q = read_query(fields);
  if (!q) return;
  listed_ = true;
  rows_.clear();
  model_.rows_replaced();
  display_.rows_changed();
  overflowing_ = false;
  total_ = 0;
  drilled_kind_ = drill_kind;
  drilled_segment_ = entries_.empty() ? 0 : entries_[static_cast<std::size_t>(settings_.drill_segment)].segment;
  {
    const auto fill = services_.fill(message_string(kMessageStopDrill), kMessageStopDrill);
    if (drill_kind == DrillKind::Segment)
      drill_segments(*q, *fill);
    else
      list_transactions(*q, fields, *fill);
  }
  model_.rows_changed();
  display_.rows_changed();
  display_.show_count(count_);
}

void DrillController::drill_segments(const Query& q, windows::FillWork& fill) {
  segment_values_.clear();
  double total = 0;
  int status = 0;
  // The walk of the total keeps the balance records it reads, and the rows
  // are evaluated over that copy instead of seeking each value's records.
  requests::BalanceSnapshot walked;
  {
    SegmentCollection collection(segment_values_, fill.check(), &walked);
    status = requests::evaluate_gl({q.account, q.period, q.companies, q.year, settings_.drill_type}, total);
    if (collection.stopped()) return;
  }
  if (status != 0) {
    if (!message_pending()) report(status, q.account);
    windows::show_pending_failure(services_);
    display_.focus_account();
    total = 0;
  }
  total_ = total;
  display_.show_total(rows_.amount_text()(total_));
  // A total that failed may have walked only part of the records.
  list_segment_rows(q, fill, status == 0 && walked.one_account_structure() ? &walked : nullptr);
}

void DrillController::list_segment_rows(const Query& q, windows::FillWork& fill,
                                        const requests::BalanceSnapshot* walked) {
  const std::vector<std::string> values = segment_values_.values(drilled_segment_);
  // Every row is named before any is listed: a specifier too long for its
  // row is refused rather than cut into another account's.
  std::vector<std::string> specifiers;
  for (const std::string& value : values) {
    specifiers.push_back(row_specifier(q.account, drilled_segment_, value));
    if (specifiers.back().size() > kRowAccountLimit) {
      services_.box(BoxKind::Error, kMessageRowSpecifierTooLong, specifiers.back());
      return;
    }
  }
  const std::vector<std::string> ids = specified_companies(q.companies);
  const NaLabelHeld na_label(settings_);
  const windows::RowCheck check = fill.check();
  std::vector<std::optional<std::vector<requests::SegmentLookup>>> walked_descriptions(ids.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    double balance = 0;
    const KeptBalancesRead kept(walked && reads_as_itself(values[i]) ? walked : nullptr);
    if (requests::evaluate_gl({specifiers[i], q.period, q.companies, q.year, settings_.drill_type}, balance) != 0) {
      windows::show_pending_failure(services_);
      return;
    }
    std::string description = kNoDescription;
    for (std::size_t k = 0; k < ids.size(); ++k) {
      data::CompanyContext* c = data::find_or_open_company(ids[k]);
      if (!c || c->status != 0 || data::open_company_file(*c, layout::FileKind::Segments) != 0) continue;
      // Many rows read their descriptions in one walk of the company's segment values.
      if (values.size() >= kDescriptionWalkRows && !walked_descriptions[k])
        walked_descriptions[k] = requests::read_segment_descriptions(*c, drilled_segment_, values);
      const auto known = walked_descriptions[k] ? (*walked_descriptions[k])[i].state
                                                : requests::SegmentLookup::State::Unknown;
      if (known == requests::SegmentLookup::State::Absent) continue;
      if (known == requests::SegmentLookup::State::Found) {
        description = (*walked_descriptions[k])[i].description;
        break;
      }
      std::string found;
      const int status = requests::read_segment_description(*c, drilled_segment_, values[i], found);
      if (status == 0) {
        description = found;
        break;
      }
      if (status != requests::kSegmentAbsent) return windows::show_pending_failure(services_);
    }
    SegmentRow row;
    row.value = values[i];
    row.account = specifiers[i];
    row.description = description.substr(0, kRowDescriptionLimit);
    row.balance = balance;
    row.balance_text = rows_.amount_text()(balance).substr(0, kRowBalanceLimit);
    rows_.segments().push_back(std::move(row));
    ++count_;
    if (!check()) return;
  }
}

void DrillController::list_transactions(const Query& q, const DrillFields& fields, windows::FillWork& fill) {
  if (settings_.drill_date_range) {
    if (!explicit_dates()) return windows::show_pending_failure(services_);
  } else {
    const auto dates = period_dates(q.periods, *q.company, q.year_number, settings_.current_period);
    if (const int* failure = std::get_if<int>(&dates)) {
      services_.box(BoxKind::Error, *failure, q.period);
      return;
    }
    dates_ = std::get<DateRange>(dates);
  }
  requests::TranQuery query;
  query.account_spec = q.account;
  query.from = dates_->from;
  query.to = dates_->to;
  query.include_unposted = settings_.include_unposted != 0;
  const std::vector<std::string> ids = specified_companies(q.companies);
  query.companies = ids.size();
  requests::TranFilterFields filter_fields;
  requests::TranKind tran_kind = requests::TranKind::General;
  switch (drilled_kind_) {
    case DrillKind::JobCost:
      tran_kind = requests::TranKind::JobCost;
      filter_fields.job = fields.filters.job;
      break;
    case DrillKind::Grant:
      tran_kind = requests::TranKind::Grant;
      filter_fields.grant = fields.filters.grant;
      break;
    default:
      filter_fields.currency = fields.filters.job_cost_type;
      break;
  }
  const windows::RowCheck check = fill.check();
  const requests::TransactionSink sink = [&](const data::CompanyContext& c, const layout::TransactionRecord& t) {
    return take_transaction(c, t, check);
  };
  bool matched = false;
  for (const std::string& id : ids) {
    data::CompanyContext* c = data::find_or_open_company(id);
    if (data::company_error_check(c) != 0) return windows::show_pending_failure(services_);
    const int version = data::probe_data_version(*c);
    if (tran_kind != requests::TranKind::General && version == 7) {
      services_.box(BoxKind::Error, kNotInThisVersion, c->id);
      return;
    }
    if (requests::build_tran_filters(tran_kind, filter_fields, version, query.filters) != 0)
      return windows::show_pending_failure(services_);
    // A company without a history file has its current transactions only.
    int status = 0;
    if (data::open_company_file(*c, layout::FileKind::History) == 0)
      status = requests::read_transactions(*c, data::Slot::History, query, sink, matched);
    if (status == 0) {
      if (data::open_company_file(*c, layout::FileKind::Transactions) != 0) {
        report(btrv::kBtrieveError, c->data_directory + " - " + btrv::last_error_text());
        status = btrv::kBtrieveError;
      } else {
        status = requests::read_transactions(*c, data::Slot::Transactions, query, sink, matched);
      }
    }
    if (status == requests::kTranReadingStopped) break;
    if (status != 0) {
      windows::show_pending_failure(services_);
      break;
    }
  }
  total_ = requests::whole_cents(total_);
  display_.show_total(rows_.amount_text()(total_));
}

bool DrillController::take_transaction(const data::CompanyContext& c, const layout::TransactionRecord& t,
                                       const windows::RowCheck& check) {
  if (!overflowing_ && rows_.transactions().size() >= capacity_) {
    if (services_.box(BoxKind::YesNo, kMessageListFull, {}, windows::kAnswerYes) != windows::kAnswerYes) return false;
    model_.rows_changed();
    display_.rows_changed();
    if (!write_rows()) return false;
    overflowing_ = true;
  }
  const std::string account = specifier::hyphenated_code(t.account, c.structure);
  if (overflowing_) {
    if (!write_overflow_line(account, t)) return false;
  } else {
    rows_.transactions().add(account, t);
  }
  total_ += t.amount;
  ++count_;
  return check();
}

// ---------------------------------------------------------------- the clipboard

void DrillController::send() {
  // A drill that did not run has no list to send (a failed one without a
  // user must not leave a header of nothing on the clipboard).
  if (!listed_ || !write_rows()) return;
  // Nobody activates a window that runs without a user: the text goes now,
  // so that the caller finds it when the command returns.
  if (services_.automation()) hand_over();
}

void DrillController::hand_over() {
  if (!clipboard_.allocated()) return;
  const std::string text = clipboard_.take();
  if (!text.empty()) services_.put_clipboard(text);
}

void DrillController::deactivated() { hand_over(); }

void DrillController::activated() { clipboard_.reset(); }

bool DrillController::write_rows() {
  if (!clipboard_.allocate()) {
    services_.box(BoxKind::Error, kMessageClipboardMemory);
    return false;
  }
  const bool transactions = rows_.view() == DrillRows::View::Transactions;
  bool ok = true;
  if (clipboard_.new_block_due()) {
    clipboard_.begin_block();
    ok = transactions ? write_transaction_header() : write_segment_header();
  } else {
    ok = clipboard_.piece({}, true);
  }
  ok = ok && (transactions ? write_transaction_rows() : write_segment_rows());
  if (!ok) services_.box(BoxKind::Error, kMessageClipboardMemory);
  return ok;
}

bool DrillController::write_transaction_header() {
  const std::string from = dates_ ? date_text(dates_->from.number()) : std::string();
  const std::string to = dates_ ? date_text(dates_->to.number()) : std::string();
  std::vector<std::string> titles;
  for (const auto& column : model_.columns())
    if (column.shown) titles.push_back(column.title);
  return clipboard_.line(std::vector<std::string>{drilled_account_}) &&
         clipboard_.line(std::vector<std::string>{"Start date:", "", from}) &&
         clipboard_.line(std::vector<std::string>{"End date:", "", to}) && clipboard_.piece({}, true) &&
         clipboard_.line(titles);
}

bool DrillController::write_transaction_rows() {
  const auto& columns = model_.columns();
  std::vector<std::string> cells;
  for (std::size_t place = 0; place < model_.size(); ++place) {
    cells.clear();
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (!columns[c].shown) continue;
      std::string text = model_.text(place, c);
      if (is_grant_column(c) && !text.empty()) text.insert(0, 1, '\'');
      cells.push_back(std::move(text));
    }
    if (!clipboard_.line(cells)) return false;
  }
  return true;
}

bool DrillController::write_overflow_line(const std::string& account, const layout::TransactionRecord& t) {
  if (clipboard_.new_block_due()) {
    clipboard_.begin_block();
    if (!write_transaction_header()) return false;
  }
  overflow_row_.clear();
  overflow_row_.add(account, t);
  const auto& columns = model_.columns();
  std::string line;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (!columns[c].shown) continue;
    if (!line.empty()) line += '\t';
    std::string text = overflow_row_.text(0, c, rows_.amount_text());
    if (is_grant_column(c) && !text.empty()) text.insert(0, 1, '\'');
    line += text;
  }
  if (clipboard_.piece(squeezed_line(line), true)) return true;
  services_.box(BoxKind::Error, kMessageClipboardMemory);
  return false;
}

bool DrillController::write_segment_header() {
  // The year as the figures were read, so that formulas recompute them.
  return clipboard_.line(std::vector<std::string>{drilled_period_}) &&
         clipboard_.line(std::vector<std::string>{drilled_companies_}) &&
         clipboard_.line(std::vector<std::string>{std::to_string(drilled_year_number_)});
}

bool DrillController::write_segment_rows() {
  const auto& segments = rows_.segments();
  SegmentTemplate t;
  for (std::size_t place = 0; place < model_.size(); ++place) {
    const SegmentRow& row = segments[model_.row_at(place)];
    if (place == 0) {
      t = segment_template(row.account, drilled_segment_);
      if (!clipboard_.line(t.columns)) return false;
    }
    const int lines = static_cast<int>(clipboard_.lines_in_block());
    bool ok = true;
    switch (settings_.formulas) {
      case 1:
        ok = clipboard_.line(std::vector<std::string>{row.value, row.description,
                                                      lotus_row_formula(row.account, drilled_period_)});
        break;
      case 2:
        ok = clipboard_.line(std::vector<std::string>{row.value, row.description,
                                                      excel_row_formula(static_cast<int>(place), lines, t)});
        break;
      default:
        ok = clipboard_.line(std::vector<std::string>{row.value, row.description, row.balance_text, ""});
        break;
    }
    if (!ok) return false;
  }
  return true;
}

// ---------------------------------------------------------------- the other buttons

void DrillController::row_activated(std::size_t row) {
  if (row >= rows_.row_count()) return;
  const bool transactions = rows_.view() == DrillRows::View::Transactions;
  const std::string account =
      transactions ? rows_.text(row, kAccount) : rows_.segments()[row].account;
  settings_.drill_account = account;
  display_.show_account(account);
  if (!transactions || data_version_ != 8) return;
  const TransactionRows& t = rows_.transactions();
  DrillFilters filters;
  filters.job = {std::string(t.text(row, kJob, {})), t.text(row, kCostType, {}), t.text(row, kCostCode, {})};
  filters.grant = {t.text(row, kGrant, {}), t.text(row, kCoe, {}), t.text(row, kFundSource, {}),
                   t.text(row, kProgram, {}), t.text(row, kActivity, {})};
  display_.show_filters(filters);
}

void DrillController::options_changed(bool transaction_view_only) {
  columns_dirty_ = true;
  apply_view_options();
  const bool transactions = rows_.view() == DrillRows::View::Transactions;
  if (transaction_view_only && !transactions) {
    display_.rows_changed();  // drawn again with the threshold as it now is
    return;
  }
  // Rebuilt columns show the rows again, unsorted, with the new options.
  model_.set_columns(transactions ? transaction_list_columns(settings_) : segment_list_columns());
  apply_view_options();
  columns_dirty_ = false;
  display_.columns_changed();
}

void DrillController::to_chart(const DrillFields& fields) {
  const std::vector<std::string> ids = specified_companies(fields.company);
  settings_.chart_year = trimmed(fields.year.substr(0, kYearFieldLimit));
  settings_.chart_type = is_revised_budget(settings_.drill_type) ? kRevisedBudget : kBudget;
  settings_.chart_period = fields.period.substr(0, kChartTextLimit);
  settings_.chart_company = ids.empty() ? std::string() : ids.front().substr(0, kChartCompanyLimit);
  settings_.chart_account = fields.account.substr(0, kChartTextLimit);
  services_.close_window(windows::kSlotChartCopy);
  services_.open_window(windows::kSlotChartCopy);
}

void DrillController::accounts() {
  services_.close_window(windows::kSlotEnquiry);
  services_.open_window(windows::kSlotEnquiry);
}

void DrillController::period_wizard(const DrillFields& fields) {
  settings_.drill_year = trimmed(fields.year.substr(0, kYearFieldLimit));
  settings_.drill_period = fields.period.substr(0, kPeriodFieldLimit);
  settings_.drill_account = fields.account.substr(0, kAccountFieldLimit);
  windows::PeriodWizardStart start;
  start.specifier = settings_.drill_period;
  start.dates_given = settings_.drill_date_range;
  if (recompute_dates(&fields) && dates_) {
    start.from = date_text(dates_->from.number());
    start.to = date_text(dates_->to.number());
  }
  services_.open_window(windows::kSlotPeriodWizard, start);
}

void DrillController::advanced() { services_.open_window(windows::kSlotTrxFields); }

void DrillController::wizard_period(std::string_view specifier) {
  settings_.drill_period = std::string(specifier.substr(0, kPeriodFieldLimit));
  settings_.drill_date_range = false;
  display_.show_period(settings_.drill_period);
  recompute_dates();
}

void DrillController::wizard_dates(std::string_view from, std::string_view to) {
  settings_.drill_from = std::string(from.substr(0, 20));
  settings_.drill_to = std::string(to.substr(0, 20));
  settings_.drill_date_range = true;
  settings_.drill_period.clear();
  display_.show_period({});
  if (!explicit_dates() && !services_.automation()) clear_message();
}

void DrillController::quit() {
  segment_values_.clear();
  // Rows sent and not yet handed over reach the clipboard all the same.
  hand_over();
  if (!services_.save_settings()) services_.box(BoxKind::Error, kMessageSettingsNotWritten);
  services_.close_window(windows::kSlotPeriodWizard);
  services_.close_window(windows::kSlotTrxFields);
  services_.close();
}

}  // namespace kovo::drill
