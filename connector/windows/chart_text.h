// The table the chart window copies: a heading of company and year, a
// heading of column titles, then one line per account with its code (whole
// or one column per segment), description, origin and one cell per period
// specifier (its figure, or a formula that computes it in the sheet). The
// text grows in steps of 16384 bytes up to a bound; a line that would pass
// it is refused, so that what was written still goes to the clipboard.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::chart {

// The "Formulas" setting.
enum class FormulaStyle : int { None = 0, Lotus = 1, Excel = 2 };

struct ChartOptions {
  bool show_account = true;
  bool segment_columns = false;  // only with the account shown
  bool show_description = true;
  bool show_origin = false;
  bool prepend_quote = true;
  bool skip_zero = false;
  FormulaStyle formulas = FormulaStyle::None;
};

struct ChartAccount {
  std::string code;  // with "-" between its segments
  std::string description;
  bool balance_sheet = false;
};

inline constexpr std::size_t kChartGrowthStep = 16384;
inline constexpr std::size_t kChartTextLimit = std::size_t{64} << 20;

// The period field split at its commas into one specifier per column, each
// trimmed of blanks; empty pieces are dropped.
std::vector<std::string> chart_periods(std::string_view field);

class ChartText {
 public:
  // segment_names: one per segment of the company; periods: the column
  // specifiers (chart_periods of the field); limit: the largest text.
  ChartText(const ChartOptions& options, std::string company, std::string year,
            std::vector<std::string> segment_names, std::vector<std::string> periods,
            std::size_t limit = kChartTextLimit);

  // One account's line; figures are the period cells' texts when formulas
  // are off (one per period). False, with nothing written, when the line
  // would pass the bound.
  bool add(const ChartAccount& account, const std::vector<std::string>& figures);

  const std::string& text() const { return text_; }
  std::size_t accounts() const { return accounts_; }
  // Bytes reserved so far: always a multiple of the growth step.
  std::size_t reserved() const { return reserved_; }

 private:
  std::string account_cells(const ChartAccount& account) const;
  std::string excel_formula(const ChartAccount& account, std::size_t period) const;
  std::size_t leading_columns() const;
  bool append(const std::string& line);

  ChartOptions options_;
  std::string company_, year_;
  std::vector<std::string> segment_names_, periods_;
  std::size_t limit_;
  std::string text_;
  std::size_t reserved_ = 0;
  std::size_t accounts_ = 0;
};

}  // namespace kovo::chart
