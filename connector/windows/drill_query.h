// The texts of a drill query: the choices of "Drill By", the account
// specifier as drilled, the specifier of each segment row and the template
// and formulas that recompute a segment row in the spreadsheet.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::drill {

// What a "Drill By" choice lists.
enum class DrillKind { Segment, Transactions, JobCost, Grant };

struct DrillByEntry {
  std::string label;
  DrillKind kind = DrillKind::Segment;
  int segment = 0;  // the segment a Segment entry breaks down, from 0
};

inline constexpr std::size_t kMaxDrillSegments = 30;
inline constexpr std::size_t kSegmentLabelLimit = 30;

// One entry per segment (its name, or "Segment N" for a company without
// names, cut to 30 characters), then "Transactions", and on data of
// version 8 "JC Transactions" and "GT Transactions".
std::vector<DrillByEntry> drill_by_entries(const std::vector<std::string>& segment_names, int data_version);
// A stored choice beyond the last entry falls back to the first.
int valid_drill_by(int stored, std::size_t entries);

// The account field as drilled: an empty field drills every account ("*"
// for each segment); of a list of items only the first is drilled (from the
// first comma outside parentheses up to the next "(" the text goes, so
// that 1000-10,XYZ(A) drills 1000-10(A)).
std::string drilled_account(std::string_view field, int segment_count);

// The specifier of a segment row: the drilled account with one segment
// replaced by a value. Segments are separated by "-", or, for a specifier
// that begins with "(", are its parenthesised groups. A "^" placeholder
// in the replaced segment goes together with the group that filled it.
// Missing segments are filled with "*".
std::string row_specifier(std::string_view account, int segment, std::string_view value);

// The template line of a Send: the row's specifier with the segment
// replaced by "^", cut into spreadsheet columns (the text before the
// first "(" and each parenthesised group's contents; a specifier that
// begins with "(" stays whole), and the number of "^" before the
// segment's and in the whole template.
struct SegmentTemplate {
  std::vector<std::string> columns;
  int carets_before = 0;
  int carets_total = 0;
};
SegmentTemplate segment_template(std::string_view row_specifier, int segment);

// A cell r rows above and c columns to the left of the formula's cell in
// R1C1 notation: R[-2]C[-1], RC[-2], R[-1]C, C[1] for a column to the right.
std::string relative_reference(int rows_up, int columns_left);

// The formula of a segment row in the third column that recomputes its
// balance from the template line (row_in_send + 1 rows above) and the
// header's period, company and year lines (lines_in_block, one less and
// two less rows above).
std::string excel_row_formula(int row_in_send, int lines_in_block, const SegmentTemplate& t);
// The older spreadsheets' form: @GL("specifier","period").
std::string lotus_row_formula(std::string_view specifier, std::string_view period);

}  // namespace kovo::drill
