// The report a wizard run builds, laid out without the spreadsheet: the
// elements of the two axes, the cells to write (labels, headers, GL and
// total formulas in R1C1 notation), the names that let the next run start
// from this one, the number formats, the area to zero-suppress and the
// description columns to widen. The add-in carries the plan out through its
// one boundary to the spreadsheet; reading a previous report back is here
// too.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addin/tools/zero_suppress.h"

namespace kovo::addin::tools {

// ------------------------------------------------------------- elements

enum class ElementKind { Value, Total, SubTotal, Description, Variance, PercentVariance, BlankLine };

// The layout items, in the order the wizard offers them.
inline constexpr std::array<std::string_view, 6> kLayoutItems{"Total",    "Sub Total",        "Description",
                                                              "Variance", "Percent Variance", "Blank Line"};

// One row or column of a report: a value of its axis, a value of another
// axis placed under the element before it ("(Dept) 10", a sub-row or
// sub-column), or a layout item; any of them may carry a description
// override after a tab.
struct Element {
  ElementKind kind = ElementKind::BlankLine;
  std::string value;         // the specifier of a value; the item's name for a layout item
  std::string axis;          // the other axis of a sub-row or sub-column, else empty
  std::string description;   // the override, or empty

  bool is_value() const { return kind == ElementKind::Value; }
  bool is_sub() const { return is_value() && !axis.empty(); }
  bool is_plain_value() const { return is_value() && axis.empty(); }
  bool is_layout() const { return kind != ElementKind::Value; }
};

// "4000", "4000\tSales", "(Dept) 10", "Sub Total", "" (a blank line).
Element parse_element(std::string_view text);
// The element as the wizard lists it (the inverse of parse_element).
std::string element_text(const Element& element);
// The specifier part alone: "(Dept) 10" for a sub-row, the value, or the item's name.
std::string element_specifier(const Element& element);
// "(" axis ") " value.
std::string sub_element(std::string_view axis, std::string_view value);
// The layout item named by a text (exactly as listed), if any.
std::optional<ElementKind> layout_item(std::string_view text);
std::string_view layout_name(ElementKind kind);

// ------------------------------------------------------------- axes

// Axis codes of the connector's "AxisData" list.
inline constexpr int kPeriodAxis = 2;
inline constexpr int kCompanyAxis = 3;
inline constexpr int kYearAxis = 4;
inline constexpr int kBudgetAxis = 5;
inline constexpr int kExtraAxis = 6;  // honoured when the connector offers it
inline constexpr std::size_t kMinAxes = 3;
inline constexpr std::size_t kMaxAxes = 20;

struct Axis {
  std::string name;
  int code = 0;  // 2 period, 3 company, 4 year, 5 budget, -k account segment k
  bool is_segment() const { return code < 0; }
  int segment() const { return -code; }
};

// The axes from the "Lists" and "AxisData" lists; nothing when the two do
// not pair up (different lengths, a code that is not a whole number).
std::optional<std::vector<Axis>> pair_axes(const std::vector<std::string>& names, const std::vector<std::string>& codes);
bool axis_count_allowed(std::size_t count);

// ------------------------------------------------------------- choices

// Everything a run decided, as the build takes it.
struct ReportChoices {
  std::string model_company;
  std::vector<Axis> axes;  // in list order
  std::string vertical_axis;
  std::string horizontal_axis;
  std::vector<std::string> vertical;    // elements as listed
  std::vector<std::string> horizontal;
  std::vector<std::string> remaining;   // one value per other axis, in list order
  std::string title;
};

// How formulas are written: the locale's list separator and the R1C1
// letters and sum function of the settings.
struct FormulaStyle {
  char list_separator = ',';
  std::string row_symbol = "R";
  std::string column_symbol = "C";
  std::string sum_function = "SUM";
  bool ngl = true;  // NGL instead of GL
};

// ------------------------------------------------------------- the plan

struct CellWrite {
  int row = 0, col = 0;      // 0-based
  std::string entry;         // a formula ("=..."), or a constant as typed ("'text" stays text)
};

struct NameWrite {
  std::string name;
  CellArea area;
};

struct FormatWrite {
  int row = 0, col = 0;
  std::string format;
};

// A "Description" column of the horizontal axis: an entire column is
// inserted to its right (by selecting that column's header-row cell), and
// the description cells of the sub-rows move into it.
struct DescriptionColumn {
  int column = 0;
  int header_row = 0;
  std::vector<int> sub_rows;
};

inline constexpr std::string_view kNameModelCompany = "FModelCompany";
inline constexpr std::string_view kNameOtherAxes = "FOtherAxes";
inline constexpr std::string_view kNameVerticalAxis = "FVerticalAxis";
inline constexpr std::string_view kNameHorizontalAxis = "FHorizontalAxis";
inline constexpr std::string_view kNameReportTitle = "FReportTitle";
inline constexpr std::string_view kNameReportBody = "FReportBody";

inline constexpr std::string_view kPercentFormat = "0.00%";

struct ReportPlan {
  std::vector<CellWrite> cells;        // in writing order: labels, headers, title, body row by row
  std::vector<NameWrite> names;
  std::vector<FormatWrite> formats;
  CellArea body;
  // Right to left, so that each insertion leaves the columns before it in place.
  std::vector<DescriptionColumn> description_columns;
};

// The plan, or the reason there is none (the report would not fit on the
// sheet). The active cell is the report's anchor (0-based).
struct PlanResult {
  std::optional<ReportPlan> plan;
  std::string error;
};
PlanResult plan_report(const ReportChoices& choices, const FormulaStyle& style, int anchor_row, int anchor_col,
                       int sheet_rows = kSheetRows, int sheet_columns = kSheetColumns);

// ------------------------------------------------------------- reading back

// What the names of a previous report hold, as the spreadsheet gave it.
struct SheetSeed {
  std::optional<std::string> model_company;                        // FModelCompany
  std::vector<std::pair<std::string, std::string>> other_axes;     // FOtherAxes: axis, value
  std::vector<std::pair<std::string, std::string>> vertical;       // FVerticalAxis: element, axis of a sub-row
  std::vector<std::string> vertical_descriptions;                  // per vertical row: its override, or empty
  std::vector<std::string> horizontal;                             // FHorizontalAxis: the header texts
  std::vector<std::string> horizontal_axes;                        // per header: the axis of a sub-column, or empty
  std::optional<std::string> title;                                // FReportTitle
};

// The axis marked "Vertical" (or "Horizontal") in FOtherAxes, if any.
std::optional<std::string> seeded_axis(const SheetSeed& seed, bool vertical);
// The value FOtherAxes holds for an axis, if any.
std::optional<std::string> seeded_value(const SheetSeed& seed, std::string_view axis);
// The vertical elements as the wizard lists them.
std::vector<std::string> seeded_vertical(const SheetSeed& seed);
// The horizontal elements: the column inserted beside each "Description"
// column when the report was built is not an element of its own.
std::vector<std::string> seeded_horizontal(const SheetSeed& seed);
// The override a description cell holds: a constant text other than the
// layout item's own default text; formulas hold none.
std::string description_in_cell(std::string_view formula_or_constant, ElementKind row_kind);

}  // namespace kovo::addin::tools
