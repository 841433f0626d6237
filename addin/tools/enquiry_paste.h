// The enquiry paste: the account enquiry's table, as the connector's
// enquiry window leaves it on the clipboard, read and laid out on the
// sheet as labelled parameter cells, a row value beside and a column value
// above the target cell, and a GL (or NGL) formula in the target cell that
// refers to all of them, so that copying it across and down grows a report.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kovo::addin::tools {

inline constexpr int kMsgNoClipboardData = 19;     // "No data found in the Clipboard!"
inline constexpr int kMsgNoValidClipboardData = 20;  // "No valid data in Clipboard!"
inline constexpr int kMsgClipboardNotOpened = 153;
inline constexpr std::string_view kEnquiryPasteCaption = "GL Enquire Paste";
// What makes the connector's enquiry window put its table on the clipboard.
inline constexpr std::string_view kInquireNoShow = "[Inquire(NOSHOW=1)]";

struct EnquiryItem {
  std::string label, value;
};

struct EnquiryTable {
  int row_item = 1;     // 1-based among the items: the one that varies down the rows
  int column_axis = 2;  // -k segment k, 2 the period, 3 the company
  int segments = 0;
  std::vector<EnquiryItem> items;  // from the fourth line on
};

struct EnquiryReading {
  int failure = 0;  // 0, kMsgNoClipboardData or kMsgNoValidClipboardData
  EnquiryTable table;
};

// The clipboard's text read as an enquiry table: nothing readable (fewer
// than three lines, a header that is no number) is 19; a header out of its
// range, or fewer items than segments, is 20.
EnquiryReading read_enquiry_table(std::string_view text);

// A cell written by the paste, 0-based, after the two columns and the row
// have been inserted. Texts carry a leading apostrophe so that they stay text.
struct PasteCell {
  int row = 0, column = 0;
  std::string entry;
};

struct PastePlan {
  int target_row = 0, target_column = 0;
  std::vector<PasteCell> cells;
  std::string formula;  // R1C1 references
};

struct PasteStyle {
  bool ngl = true;
  char list_separator = ',';
};

// The layout of a table pasted with the active cell at (row, column),
// both 0-based and taken before the insertions.
PastePlan plan_enquiry_paste(const EnquiryTable& table, int active_row, int active_column, PasteStyle style);

}  // namespace kovo::addin::tools
