#include "sheethost/address.h"

#include <cctype>

namespace kovo::sheet {

bool valid_pos(int row, int col) { return row >= 0 && row < kMaxRows && col >= 0 && col < kMaxCols; }

std::string column_name(int col) {
  std::string name;
  int n = col + 1;
  while (n > 0) {
    const int rem = (n - 1) % 26;
    name.insert(name.begin(), static_cast<char>('A' + rem));
    n = (n - 1) / 26;
  }
  return name;
}

std::optional<int> parse_column_name(std::string_view letters) {
  if (letters.empty() || letters.size() > 3) return std::nullopt;
  int n = 0;
  for (char c : letters) {
    if (!std::isalpha(static_cast<unsigned char>(c))) return std::nullopt;
    n = n * 26 + (std::toupper(static_cast<unsigned char>(c)) - 'A' + 1);
  }
  if (n > kMaxCols) return std::nullopt;
  return n - 1;
}

std::optional<CellPos> parse_cell_address(std::string_view text) {
  std::size_t letters = 0;
  while (letters < text.size() && std::isalpha(static_cast<unsigned char>(text[letters]))) ++letters;
  const auto col = parse_column_name(text.substr(0, letters));
  const std::string_view digits = text.substr(letters);
  if (!col || digits.empty() || digits.size() > 5) return std::nullopt;
  int row = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    row = row * 10 + (c - '0');
  }
  if (row < 1 || row > kMaxRows) return std::nullopt;
  return CellPos{row - 1, *col};
}

std::string area_a1(const Area& a, bool absolute) {
  const std::string d = absolute ? "$" : "";
  if (a.whole_cols() && !a.whole_rows())
    return d + column_name(a.col1) + ":" + d + column_name(a.col2);
  if (a.whole_rows() && !a.whole_cols())
    return d + std::to_string(a.row1 + 1) + ":" + d + std::to_string(a.row2 + 1);
  std::string text = d + column_name(a.col1) + d + std::to_string(a.row1 + 1);
  if (!a.single_cell()) text += ":" + d + column_name(a.col2) + d + std::to_string(a.row2 + 1);
  return text;
}

std::string area_r1c1(const Area& a) {
  if (a.whole_cols() && !a.whole_rows()) {
    std::string text = "C" + std::to_string(a.col1 + 1);
    if (a.col2 != a.col1) text += ":C" + std::to_string(a.col2 + 1);
    return text;
  }
  if (a.whole_rows() && !a.whole_cols()) {
    std::string text = "R" + std::to_string(a.row1 + 1);
    if (a.row2 != a.row1) text += ":R" + std::to_string(a.row2 + 1);
    return text;
  }
  std::string text = "R" + std::to_string(a.row1 + 1) + "C" + std::to_string(a.col1 + 1);
  if (!a.single_cell()) text += ":R" + std::to_string(a.row2 + 1) + "C" + std::to_string(a.col2 + 1);
  return text;
}

}  // namespace kovo::sheet
