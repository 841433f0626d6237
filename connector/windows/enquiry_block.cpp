#include "windows/enquiry_block.h"
#include "specifier/text_util.h"

namespace kovo::enquiry {
namespace {

using specifier::trimmed;

void row(std::string& out, std::string_view label, std::string_view value) {
  out.append(label).append("\t").append(value).append("\r\n");
}

// Characters that make a specifier name more than one account.
constexpr std::string_view kPatternCharacters = "?*.,^!<>=#&|";

}  // namespace

std::string block_text(const EnquiryBlock& block) {
  std::size_t segments = 0;
  while (segments < block.segments.size() && !block.segments[segments].second.empty()) ++segments;
  std::string out = "1\r\n" + std::to_string(block.by) + "\r\n" + std::to_string(segments) + "\r\n";
  for (std::size_t i = 0; i < segments; ++i) row(out, block.segments[i].first, block.segments[i].second);
  row(out, "Period", block.period);
  row(out, "Company", block.company);
  row(out, "Year", block.year);
  row(out, "Type", block.type);
  return out;
}

std::string chosen_value(std::string_view choice) { return trimmed(choice.substr(0, choice.find(';'))); }

std::optional<std::string> account_of(const std::vector<std::string>& values) {
  std::string account;
  for (const std::string& value : values) {
    if (value.empty()) return std::nullopt;
    account += "(" + value + ")";
  }
  return account;
}

std::optional<std::vector<std::string>> plain_segments(std::string_view account) {
  const std::string text = trimmed(account);
  if (text.empty() || text.find_first_of(kPatternCharacters) != std::string::npos) return std::nullopt;
  std::vector<std::string> values;
  if (text.front() == '(') {
    std::size_t at = 0;
    while (at < text.size()) {
      if (text[at] != '(') return std::nullopt;
      const std::size_t close = text.find(')', at);
      if (close == std::string::npos) return std::nullopt;
      const std::string value = trimmed(std::string_view(text).substr(at + 1, close - at - 1));
      if (value.empty() || value.find('(') != std::string::npos) return std::nullopt;
      values.push_back(value);
      at = close + 1;
    }
    return values;
  }
  if (text.find_first_of("()") != std::string::npos) return std::nullopt;
  std::size_t start = 0;
  while (true) {
    const std::size_t dash = text.find('-', start);
    const std::string value = trimmed(std::string_view(text).substr(start, dash - start));
    if (value.empty()) return std::nullopt;
    values.push_back(value);
    if (dash == std::string::npos) return values;
    start = dash + 1;
  }
}

}  // namespace kovo::enquiry
