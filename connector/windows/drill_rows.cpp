#include "windows/drill_rows.h"

#include <algorithm>
#include <cstdio>

namespace kovo::drill {
namespace {

using windows::Align;
using windows::SortKey;

constexpr TranColumnInfo kTranColumns[kTranColumnCount] = {
    {"Account", 95, Align::Left, SortKey::Text, nullptr},
    {"Date", 75, Align::Left, SortKey::Number, nullptr},
    {"Description", 170, Align::Left, SortKey::Text, &Settings::tran_description},
    {"Amount", 70, Align::Right, SortKey::Number, nullptr},
    {"Status", 60, Align::Left, SortKey::Text, &Settings::tran_status},
    {"Type", 60, Align::Left, SortKey::Text, &Settings::tran_type},
    {"Posted", 60, Align::Left, SortKey::Text, &Settings::tran_posted},
    {"JournalID", 80, Align::Left, SortKey::Text, &Settings::tran_journal_id},
    {"BatchID", 80, Align::Left, SortKey::Number, &Settings::tran_batch_id},
    {"Document", 80, Align::Left, SortKey::Text, &Settings::tran_document},
    {"CreateUser", 80, Align::Left, SortKey::Text, &Settings::tran_create_user},
    {"UpdateUser", 80, Align::Left, SortKey::Text, &Settings::tran_update_user},
    {"CreateDate", 80, Align::Left, SortKey::Number, &Settings::tran_create_date},
    {"JobNumber", 80, Align::Left, SortKey::Text, &Settings::tran_job_number},
    {"CostType", 80, Align::Left, SortKey::Number, &Settings::tran_cost_type},
    {"CostCode", 80, Align::Left, SortKey::Text, &Settings::tran_cost_code},
    {"Grant", 80, Align::Left, SortKey::Text, &Settings::tran_grant_id},
    {"COE", 80, Align::Left, SortKey::Text, &Settings::tran_coe},
    {"Fund Source", 80, Align::Left, SortKey::Text, &Settings::tran_fund_source},
    {"Program", 80, Align::Left, SortKey::Text, &Settings::tran_program_activity},
    {"Activity", 80, Align::Left, SortKey::Text, &Settings::tran_activity},
};

constexpr std::size_t kTextLimit = 511;  // the longest field a column holds

std::string trimmed(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string char_text(char c) { return c == ' ' || c == '\0' ? std::string() : std::string(1, c); }

}  // namespace

std::span<const TranColumnInfo> transaction_columns() { return kTranColumns; }

std::vector<windows::ListColumn> transaction_list_columns(const Settings& s) {
  std::vector<windows::ListColumn> columns;
  for (const auto& c : kTranColumns) columns.push_back({c.title, c.width, c.align, c.key, !c.shown || s.*c.shown != 0});
  return columns;
}

std::vector<windows::ListColumn> segment_list_columns() {
  return {{"Account", 105, Align::Left, SortKey::Text, true},
          {"Description", 250, Align::Left, SortKey::Text, true},
          {"Balance", 135, Align::Right, SortKey::Number, true}};
}

std::string date_text(std::int32_t yyyymmdd) {
  if (yyyymmdd <= 0) return {};
  const layout::Date d = layout::Date::from_number(yyyymmdd);
  const std::string_view month = layout::month_abbreviation(d.month);
  char text[32];
  std::snprintf(text, sizeof text, "%02d%.*s%04d", d.day, static_cast<int>(month.size()), month.data(), d.year);
  return text;
}

// ---------------------------------------------------------------- transactions

void TransactionRows::clear() {
  rows_.clear();
  rows_.shrink_to_fit();
  texts_.clear();
  texts_.shrink_to_fit();
}

void TransactionRows::add(std::string_view account, const layout::TransactionRecord& t) {
  Row row;
  row.amount = t.amount;
  row.date = t.date.number();
  row.create_date = t.create_date.empty() ? 0 : t.create_date.number();
  row.batch = t.batch;
  row.cost_type = t.cost_type;
  row.status = t.status;
  row.type = t.type;
  row.posted = t.posted;
  row.texts = texts_.size();
  const std::array<std::string_view, kTextCount> texts = {
      account, t.description, t.journal, t.document, t.create_user, t.update_user, t.job,
      t.cost_code, t.grant, t.coe, t.fund_source, t.program, t.activity};
  std::size_t end = 0;
  for (std::size_t i = 0; i < kTextCount; ++i) {
    const std::string_view text = texts[i].substr(0, kTextLimit);
    texts_ += text;
    end += text.size();
    row.ends[i] = static_cast<std::uint16_t>(end);
  }
  rows_.push_back(row);
}

std::size_t TransactionRows::text_of(std::size_t column) {
  switch (column) {
    case kAccount: return kAccountText;
    case kDescription: return kDescriptionText;
    case kJournal: return kJournalText;
    case kDocument: return kDocumentText;
    case kCreateUser: return kCreateUserText;
    case kUpdateUser: return kUpdateUserText;
    case kJob: return kJobText;
    case kCostCode: return kCostCodeText;
    case kGrant: return kGrantText;
    case kCoe: return kCoeText;
    case kFundSource: return kFundSourceText;
    case kProgram: return kProgramText;
    case kActivity: return kActivityText;
    default: return kTextCount;
  }
}

std::string_view TransactionRows::field(std::size_t row, std::size_t column) const {
  const std::size_t which = text_of(column);
  if (row >= rows_.size() || which >= kTextCount) return {};
  const Row& r = rows_[row];
  const std::size_t begin = which == 0 ? 0 : r.ends[which - 1];
  return std::string_view(texts_).substr(r.texts + begin, r.ends[which] - begin);
}

std::string TransactionRows::text(std::size_t row, std::size_t column, const AmountText& amount_text) const {
  if (row >= rows_.size()) return {};
  const Row& r = rows_[row];
  switch (column) {
    case kDate: return date_text(r.date);
    case kAmount: return amount_text ? amount_text(r.amount) : std::to_string(r.amount);
    case kStatus: return char_text(r.status);
    case kType: return char_text(r.type);
    case kPosted: return r.posted ? "Yes" : "No";
    case kBatch: return std::to_string(r.batch);
    case kCreateDate: return date_text(r.create_date);
    case kCostType: return std::to_string(r.cost_type);
    default: return trimmed(field(row, column));
  }
}

double TransactionRows::number(std::size_t row, std::size_t column) const {
  if (row >= rows_.size()) return 0.0;
  const Row& r = rows_[row];
  switch (column) {
    case kDate: return r.date;
    case kAmount: return r.amount;
    case kBatch: return r.batch;
    case kCreateDate: return r.create_date;
    case kCostType: return r.cost_type;
    default: return 0.0;
  }
}

// ---------------------------------------------------------------- the list's rows

void DrillRows::clear() {
  segments_.clear();
  transactions_.clear();
}

std::size_t DrillRows::row_count() const {
  return view_ == View::Segments ? segments_.size() : transactions_.size();
}

std::string DrillRows::text(std::size_t row, std::size_t column) const {
  if (view_ == View::Transactions) return transactions_.text(row, column, amount_text_);
  if (row >= segments_.size()) return {};
  const SegmentRow& r = segments_[row];
  switch (column) {
    case kSegmentAccount: return r.account;
    case kSegmentDescription: return r.description;
    case kSegmentBalance: return r.balance_text;
    default: return {};
  }
}

double DrillRows::number(std::size_t row, std::size_t column) const {
  if (view_ == View::Transactions) return transactions_.number(row, column);
  return row < segments_.size() && column == kSegmentBalance ? segments_[row].balance : 0.0;
}

double DrillRows::amount(std::size_t row) const {
  if (view_ == View::Transactions) return row < transactions_.size() ? transactions_.amount(row) : 0.0;
  return row < segments_.size() ? segments_[row].balance : 0.0;
}

}  // namespace kovo::drill
