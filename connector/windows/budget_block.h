// The block of cells a user lays out for the budget write-back, as it comes
// from the clipboard: a heading row naming the columns ("ACCOUNT",
// "DESCRIPTION", "ORIGIN", "1" to "13", in any order and case), then one row
// per account with the amounts of the periods it changes.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "data/budget_store.h"
#include "entry/request_text.h"

namespace kovo::budget {

// The layout's headings: the "BWB Headers" list hands out the same row.
inline constexpr std::size_t kHeadingCount = 16;
inline constexpr std::array<std::string_view, kHeadingCount> kHeadings = {
    "ACCOUNT", "DESCRIPTION", "ORIGIN", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"};
inline constexpr std::size_t kAccountHeading = 0;
inline constexpr std::size_t kFirstPeriodHeading = 3;  // "1"

enum BlockMessage : int {
  kMessageHeadingsFailed = 104,  // "Budget Write-back failed."
  kMessageNoAccountHeading = 57,
  kMessageHeadingsMissing = 53,  // follows either heading failure
  kMessageInvalidAmount = 4301,  // "Invalid amount found:"
};

// The rows of a copied block. Cells are separated by tabs and rows by line
// ends; a cell the spreadsheet had to quote (it holds a tab, a line end or
// a quote) comes in double quotes with its own quotes doubled, and is read
// whole. Rows of nothing but empty cells are passed over.
class BlockRows {
 public:
  explicit BlockRows(std::string_view text) : text_(text) {}
  // The next row's cells; false at the end of the block.
  bool next(std::vector<std::string>& cells);
  // The row just read, counted from 1 like the block's rows on the sheet.
  int row() const { return row_; }

 private:
  std::string read_cell(bool& row_ended);
  std::string_view text_;
  std::size_t at_ = 0;
  int row_ = 0;
  int next_row_ = 1;
};

// A cell as a name or code: blanks around it and one leading apostrophe
// (which the sheet uses to keep a number as text) do not count.
std::string plain_text(std::string_view cell);

// Where each heading stands: its column counted from 0, or nothing.
struct HeadingMap {
  std::array<std::optional<std::size_t>, kHeadingCount> column{};
  std::optional<std::size_t> period(int number) const { return column[kFirstPeriodHeading + number - 1]; }
};

// A refusal: the message number and its detail.
struct Refusal {
  int number = 0;
  std::string detail;
};

// The heading row. Unknown, empty or repeated headings are refused (104,
// with what was wrong); so is a row without "ACCOUNT" (57). Empty cells at
// the row's end do not count.
std::variant<HeadingMap, Refusal> read_headings(const std::vector<std::string>& cells);

// An amount cell as the sheet shows it: blanks and a currency sign around
// it, thousands separators and the decimal separator of the user's locale,
// a minus sign before or after it or parentheses around it for a negative,
// and "-" alone for zero. Anything else (an error value, a word, a date, a
// second decimal separator, a thousands separator out of place) is not an
// amount: nothing would say which figure was meant.
enum class AmountCell { Empty, Amount, Invalid };
struct CellAmount {
  AmountCell kind = AmountCell::Empty;
  double value = 0;
};
CellAmount read_amount(std::string_view cell, const AmountLocale& locale);

// One row of the block: the account as written (a leading apostrophe
// dropped, blanks trimmed) and the amounts of the periods it supplies,
// as the sheet shows them.
struct BudgetLine {
  std::string account;
  data::PeriodAmounts amounts{};
  bool supplies_any() const;
};
// A cell under a period heading that is not an amount is refused (4301).
std::variant<BudgetLine, Refusal> read_line(const std::vector<std::string>& cells, const HeadingMap& headings,
                                            const AmountLocale& locale);

}  // namespace kovo::budget
