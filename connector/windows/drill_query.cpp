#include "windows/drill_query.h"

#include <algorithm>

namespace kovo::drill {
namespace {

constexpr char kTransactions[] = "Transactions";
constexpr char kJobCost[] = "JC Transactions";
constexpr char kGrants[] = "GT Transactions";
constexpr int kVersionWithJobCostAndGrants = 8;

// A parenthesised group at the top level: where it opens, and its contents.
struct Group {
  std::size_t open = 0;   // the "("
  std::size_t close = 0;  // the ")", or the end of a group left open
  std::size_t content_begin() const { return open + 1; }
};

std::vector<Group> groups_from(std::string_view text, std::size_t from) {
  std::vector<Group> groups;
  int depth = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '(') {
      if (depth++ == 0) groups.push_back({i, text.size()});
    } else if (text[i] == ')' && depth > 0) {
      if (--depth == 0) groups.back().close = i;
    }
  }
  return groups;
}

// A segment's place in a specifier.
struct Piece {
  std::size_t begin = 0, end = 0;
};

// The "-"-separated pieces of the text before the first "(".
std::vector<Piece> head_pieces(std::string_view text) {
  const std::size_t head_end = std::min(text.find('('), text.size());
  std::vector<Piece> pieces;
  std::size_t begin = 0;
  for (std::size_t i = 0; i <= head_end; ++i) {
    if (i == head_end || text[i] == '-') {
      pieces.push_back({begin, i});
      begin = i + 1;
    }
  }
  return pieces;
}

int carets_in(std::string_view text) { return static_cast<int>(std::count(text.begin(), text.end(), '^')); }

// The specifier with enough segments to hold the one asked for.
std::string with_segment(std::string_view account, int segment) {
  std::string text(account);
  const auto wanted = static_cast<std::size_t>(std::max(segment, 0)) + 1;
  if (!text.empty() && text.front() == '(') {
    for (std::size_t have = groups_from(text, 0).size(); have < wanted; ++have) text += "(*)";
    return text;
  }
  const std::size_t head_end = std::min(text.find('('), text.size());
  std::string padding;
  for (std::size_t have = head_pieces(text).size(); have < wanted; ++have) padding += "-*";
  text.insert(head_end, padding);
  return text;
}

}  // namespace

std::vector<DrillByEntry> drill_by_entries(const std::vector<std::string>& segment_names, int data_version) {
  std::vector<DrillByEntry> entries;
  const std::size_t count = std::min(segment_names.size(), kMaxDrillSegments);
  for (std::size_t i = 0; i < count; ++i) {
    std::string label = segment_names[i].empty() ? "Segment " + std::to_string(i + 1) : segment_names[i];
    if (label.size() > kSegmentLabelLimit) label.resize(kSegmentLabelLimit);
    entries.push_back({std::move(label), DrillKind::Segment, static_cast<int>(i)});
  }
  entries.push_back({kTransactions, DrillKind::Transactions, 0});
  if (data_version == kVersionWithJobCostAndGrants) {
    entries.push_back({kJobCost, DrillKind::JobCost, 0});
    entries.push_back({kGrants, DrillKind::Grant, 0});
  }
  return entries;
}

int valid_drill_by(int stored, std::size_t entries) {
  return stored >= 0 && static_cast<std::size_t>(stored) < entries ? stored : 0;
}

std::string drilled_account(std::string_view field, int segment_count) {
  const std::size_t first = field.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    std::string every = "*";
    for (int i = 1; i < segment_count; ++i) every += "-*";
    return every;
  }
  std::string text(field);
  int depth = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '(') ++depth;
    if (text[i] == ')' && depth > 0) --depth;
    if (text[i] == ',' && depth == 0) {
      const std::size_t group = text.find('(', i);
      text.erase(i, (group == std::string::npos ? text.size() : group) - i);
      break;
    }
  }
  return text;
}

std::string row_specifier(std::string_view account, int segment, std::string_view value) {
  std::string text = with_segment(account, segment);
  const auto index = static_cast<std::size_t>(std::max(segment, 0));
  if (!text.empty() && text.front() == '(') {
    const Group g = groups_from(text, 0)[index];
    text.replace(g.content_begin(), g.close - g.content_begin(), value);
    return text;
  }
  const std::vector<Piece> pieces = head_pieces(text);
  const Piece piece = pieces[index];
  int before = 0;
  for (std::size_t i = 0; i < index; ++i) before += carets_in(std::string_view(text).substr(pieces[i].begin, pieces[i].end - pieces[i].begin));
  const int within = carets_in(std::string_view(text).substr(piece.begin, piece.end - piece.begin));
  // The groups that filled the replaced segment's placeholders go, last first.
  const std::size_t head_end = std::min(text.find('('), text.size());
  const std::vector<Group> groups = groups_from(text, head_end);
  for (int k = before + within - 1; k >= before; --k) {
    if (static_cast<std::size_t>(k) >= groups.size()) continue;
    const Group& g = groups[static_cast<std::size_t>(k)];
    text.erase(g.open, std::min(g.close + 1, text.size()) - g.open);
  }
  text.replace(piece.begin, piece.end - piece.begin, value);
  return text;
}

SegmentTemplate segment_template(std::string_view row, int segment) {
  SegmentTemplate t;
  const std::string text = row_specifier(row, segment, "^");
  t.carets_total = carets_in(text);
  const auto index = static_cast<std::size_t>(std::max(segment, 0));
  if (!text.empty() && text.front() == '(') {
    t.columns.push_back(text);
    t.carets_before = carets_in(std::string_view(text).substr(0, groups_from(text, 0)[index].open));
    return t;
  }
  const std::vector<Piece> pieces = head_pieces(text);
  t.carets_before = carets_in(std::string_view(text).substr(0, pieces[index].begin));
  const std::size_t head_end = std::min(text.find('('), text.size());
  t.columns.push_back(text.substr(0, head_end));
  for (const Group& g : groups_from(text, head_end))
    t.columns.push_back(text.substr(g.content_begin(), g.close - g.content_begin()));
  return t;
}

std::string relative_reference(int rows_up, int columns_left) {
  std::string reference = "R";
  if (rows_up != 0) reference += "[" + std::to_string(-rows_up) + "]";
  reference += "C";
  if (columns_left != 0) reference += "[" + std::to_string(-columns_left) + "]";
  return reference;
}

std::string excel_row_formula(int row_in_send, int lines_in_block, const SegmentTemplate& t) {
  // The formula stands in the third column: the template line's column j
  // (from 1) is 3 - j columns to the left, and so are this row's segment
  // value and the header lines (in the first column), 2 to the left.
  const int template_up = row_in_send + 1;
  std::string formula = "=GL(BSPEC(" + relative_reference(template_up, 2);
  for (int k = 0; k < t.carets_before; ++k) formula += "," + relative_reference(template_up, 3 - (k + 2));
  formula += "," + relative_reference(0, 2);
  for (int k = t.carets_before + 1; k < t.carets_total; ++k) formula += "," + relative_reference(template_up, 3 - (k + 1));
  formula += ")," + relative_reference(lines_in_block, 2) + "," + relative_reference(lines_in_block - 1, 2) + "," +
             relative_reference(lines_in_block - 2, 2) + ")";
  return formula;
}

std::string lotus_row_formula(std::string_view specifier, std::string_view period) {
  return "@GL(\"" + std::string(specifier) + "\",\"" + std::string(period) + "\")";
}

}  // namespace kovo::drill
