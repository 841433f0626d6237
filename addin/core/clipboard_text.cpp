#include "addin/core/clipboard_text.h"

namespace kovo::addin {

std::string table_line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (!line.empty() && line.front() == '\'') line.remove_prefix(1);
  return std::string(line.substr(0, kMaxLineLength));
}

std::vector<std::string> table_lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    lines.push_back(table_line(text.substr(0, end)));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace kovo::addin
