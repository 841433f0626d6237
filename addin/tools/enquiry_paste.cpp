#include "addin/tools/enquiry_paste.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "addin/core/clipboard_text.h"

namespace kovo::addin::tools {
namespace {

constexpr int kHeaderLines = 3;
constexpr int kMaxRowItem = 10;
constexpr int kMinColumnAxis = -9;
constexpr int kMaxColumnAxis = 3;
constexpr int kMaxSegments = 15;
constexpr int kInsertedColumns = 2;
constexpr int kInsertedRows = 1;
constexpr int kFirstTargetColumn = 2;  // the third column

std::optional<int> whole_number(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  if (line.empty()) return std::nullopt;
  if (line.front() == '+') line.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
  if (error != std::errc() || end != line.data() + line.size()) return std::nullopt;
  return value;
}

std::string as_text(std::string_view value) { return "'" + std::string(value); }

}  // namespace

EnquiryReading read_enquiry_table(std::string_view text) {
  EnquiryReading reading;
  const std::vector<std::string> lines = table_lines(text);
  if (static_cast<int>(lines.size()) < kHeaderLines) {
    reading.failure = kMsgNoClipboardData;
    return reading;
  }
  const auto row_item = whole_number(lines[0]);
  const auto column_axis = whole_number(lines[1]);
  const auto segments = whole_number(lines[2]);
  if (!row_item || !column_axis || !segments) {
    reading.failure = kMsgNoClipboardData;
    return reading;
  }
  const int items = static_cast<int>(lines.size()) - kHeaderLines;
  const bool valid = *row_item >= 1 && *row_item <= kMaxRowItem && *column_axis >= kMinColumnAxis &&
                     *column_axis <= kMaxColumnAxis && *column_axis != 0 && *segments >= 1 &&
                     *segments <= kMaxSegments && items >= *segments;
  if (!valid) {
    reading.failure = kMsgNoValidClipboardData;
    return reading;
  }
  EnquiryTable& table = reading.table;
  table.row_item = *row_item;
  table.column_axis = *column_axis;
  table.segments = *segments;
  for (std::size_t i = kHeaderLines; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos)
      table.items.push_back({std::string(), line});
    else
      table.items.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return reading;
}

PastePlan plan_enquiry_paste(const EnquiryTable& table, int active_row, int active_column, PasteStyle style) {
  const int n = static_cast<int>(table.items.size());
  const int s = table.segments;
  PastePlan plan;
  plan.target_row = std::max(active_row, n) + kInsertedRows;
  plan.target_column = std::max(active_column, kFirstTargetColumn) + kInsertedColumns;
  std::string& f = plan.formula;
  f = style.ngl ? "=NGL(BSPEC(" : "=GL(BSPEC(";
  for (int k = 0; k < n; ++k) {
    const EnquiryItem& item = table.items[static_cast<std::size_t>(k)];
    const bool column_item = (table.column_axis < 0 && -table.column_axis == k + 1) ||
                             (table.column_axis == 2 && k == s) || (table.column_axis == 3 && k == s + 1);
    if (k + 1 == table.row_item) {
      plan.cells.push_back({plan.target_row, 0, as_text(item.value)});
      f += "RC1";
    } else if (column_item) {
      const int row = k + n - s;  // 1-based
      plan.cells.push_back({row - 1, plan.target_column, as_text(item.value)});
      f += "R" + std::to_string(row) + "C";
    } else {
      plan.cells.push_back({k, 0, as_text(item.label)});
      plan.cells.push_back({k, 1, as_text(item.value)});
      f += "R" + std::to_string(k + 1) + "C2";
    }
    if (k + 1 == s) f += ")";
    f += k + 1 < n ? std::string(1, style.list_separator) : std::string(")");
  }
  return plan;
}

}  // namespace kovo::addin::tools
