// The rows of the drill-down list: one per segment value, or one per
// transaction, with the columns each view shows. Transactions are kept
// compactly (their texts in one pool) and made into display texts only when
// shown or copied, so that a list of many thousands of rows costs little
// more than the ledger's own bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/layouts.h"
#include "entry/settings.h"
#include "windows/list_model.h"

namespace kovo::drill {

// The transaction view's columns, in their order.
enum TranColumn : std::size_t {
  kAccount, kDate, kDescription, kAmount, kStatus, kType, kPosted, kJournal, kBatch, kDocument, kCreateUser,
  kUpdateUser, kCreateDate, kJob, kCostType, kCostCode, kGrant, kCoe, kFundSource, kProgram, kActivity,
  kTranColumnCount
};
// Columns whose values are texts of the grant-tracking fields: copied with
// an apostrophe so that the spreadsheet keeps them as texts.
inline bool is_grant_column(std::size_t c) { return c >= kGrant && c <= kActivity; }

struct TranColumnInfo {
  const char* title;
  int width;
  windows::Align align;
  windows::SortKey key;
  int Settings::*shown;  // the setting that shows it; null: always shown
};
std::span<const TranColumnInfo> transaction_columns();

// The column whose shown flag a check box of the options window is (800 + c).
inline constexpr int kColumnCheckBoxBase = 800;

std::vector<windows::ListColumn> transaction_list_columns(const Settings& s);

// The segment view's columns.
enum SegmentColumn : std::size_t { kSegmentAccount, kSegmentDescription, kSegmentBalance, kSegmentColumnCount };
std::vector<windows::ListColumn> segment_list_columns();

// Widths of the texts a segment row keeps.
inline constexpr std::size_t kRowAccountLimit = 24;
inline constexpr std::size_t kRowDescriptionLimit = 39;
inline constexpr std::size_t kRowBalanceLimit = 29;

struct SegmentRow {
  std::string value;        // the segment value the row stands for
  std::string account;      // the row's account specifier
  std::string description;  // of the segment value
  std::string balance_text;
  double balance = 0;
};

// A day as the drill-down writes it: 05Jan2008; empty for no date.
std::string date_text(std::int32_t yyyymmdd);

using AmountText = std::function<std::string(double)>;

class TransactionRows {
 public:
  void clear();
  void add(std::string_view account, const layout::TransactionRecord& t);
  std::size_t size() const { return rows_.size(); }
  std::string text(std::size_t row, std::size_t column, const AmountText& amount_text) const;
  double number(std::size_t row, std::size_t column) const;
  double amount(std::size_t row) const { return rows_[row].amount; }
  std::string_view field(std::size_t row, std::size_t column) const;
  // Bytes held, for the tests of a long fill.
  std::size_t bytes_held() const { return rows_.capacity() * sizeof(Row) + texts_.capacity(); }

 private:
  // The text fields, in the order they lie in the pool.
  enum Text : std::size_t {
    kAccountText, kDescriptionText, kJournalText, kDocumentText, kCreateUserText, kUpdateUserText, kJobText,
    kCostCodeText, kGrantText, kCoeText, kFundSourceText, kProgramText, kActivityText, kTextCount
  };
  static std::size_t text_of(std::size_t column);
  struct Row {
    double amount = 0;
    std::int32_t date = 0, create_date = 0, batch = 0;
    std::int32_t cost_type = 0;
    std::uint64_t texts = 0;  // where the row's texts begin in the pool
    std::array<std::uint16_t, kTextCount> ends{};  // each text's end, from there
    char status = ' ', type = ' ';
    bool posted = false;
  };
  std::vector<Row> rows_;
  std::string texts_;
};

// The list's rows: the view now shown decides which rows and columns.
class DrillRows final : public windows::ListRows {
 public:
  enum class View { Segments, Transactions };
  explicit DrillRows(AmountText amount_text) : amount_text_(std::move(amount_text)) {}

  View view() const { return view_; }
  void set_view(View view) { view_ = view; }
  std::vector<SegmentRow>& segments() { return segments_; }
  const std::vector<SegmentRow>& segments() const { return segments_; }
  TransactionRows& transactions() { return transactions_; }
  const TransactionRows& transactions() const { return transactions_; }
  void clear();

  std::size_t row_count() const override;
  std::string text(std::size_t row, std::size_t column) const override;
  double number(std::size_t row, std::size_t column) const override;
  // The amount of a row of the view: a segment's balance, a transaction's amount.
  double amount(std::size_t row) const;
  const AmountText& amount_text() const { return amount_text_; }

 private:
  AmountText amount_text_;
  View view_ = View::Segments;
  std::vector<SegmentRow> segments_;
  TransactionRows transactions_;
};

}  // namespace kovo::drill
