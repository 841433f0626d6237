#include "tools/excel/registration/open_values.h"

#include <algorithm>
#include <cctype>

namespace kovo::excel {

namespace {

constexpr std::string_view kOpen = "OPEN";
// Far beyond any real list; keeps the number in an int and the walk bounded.
constexpr int kHighestIndex = 9999;

char fold(char c) {
  if (c == '/') return '\\';
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string normal_path(std::string_view path) {
  std::string result;
  result.reserve(path.size());
  for (char c : path) {
    const char folded = fold(c);
    // A doubled separator names the same place, except at the start of a
    // network path (\\server\share).
    if (folded == '\\' && !result.empty() && result.back() == '\\' && result.size() > 1) continue;
    result.push_back(folded);
  }
  return result;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

// The OPEN values in the order of their indices.
std::vector<std::pair<int, const NamedValue*>> open_values_in_order(const std::vector<NamedValue>& values) {
  std::vector<std::pair<int, const NamedValue*>> result;
  for (const auto& value : values)
    if (const auto index = open_value_index(value.name)) result.emplace_back(*index, &value);
  std::sort(result.begin(), result.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return result;
}

}  // namespace

std::string open_value_name(int index) {
  return index == 0 ? std::string(kOpen) : std::string(kOpen) + std::to_string(index);
}

std::optional<int> open_value_index(std::string_view name) {
  if (name.size() < kOpen.size()) return std::nullopt;
  for (std::size_t i = 0; i < kOpen.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != kOpen[i]) return std::nullopt;
  const std::string_view digits = name.substr(kOpen.size());
  if (digits.empty()) return 0;
  if (digits.size() > 4 || digits.front() == '0') return std::nullopt;
  int index = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    index = index * 10 + (c - '0');
  }
  return index;
}

bool is_office_version(std::string_view key_name) {
  const auto dot = key_name.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot > 3 || dot + 1 >= key_name.size()) return false;
  const auto all_digits = [](std::string_view part) {
    return part.size() <= 3 &&
           std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  return all_digits(key_name.substr(0, dot)) && all_digits(key_name.substr(dot + 1));
}

std::string opened_path(std::string_view data) {
  std::string_view rest = trim(data);
  // Switches come first, each a "/" and letters, separated by blanks.
  while (rest.size() >= 2 && rest.front() == '/' && std::isalpha(static_cast<unsigned char>(rest[1]))) {
    const auto end = rest.find_first_of(" \t");
    if (end == std::string_view::npos) return {};
    rest = trim(rest.substr(end));
  }
  if (!rest.empty() && rest.front() == '"') {
    rest.remove_prefix(1);
    const auto close = rest.find('"');
    if (close != std::string_view::npos) rest = rest.substr(0, close);
  }
  return std::string(trim(rest));
}

bool same_file(std::string_view a, std::string_view b) {
  const std::string left = normal_path(trim(a)), right = normal_path(trim(b));
  return !left.empty() && left == right;
}

std::string quoted(std::string_view path) { return "\"" + std::string(path) + "\""; }

std::vector<ValueChange> plan_attach(const std::vector<NamedValue>& values, std::string_view add_in) {
  const auto ordered = open_values_in_order(values);
  for (const auto& [index, value] : ordered)
    if (same_file(opened_path(value->data), add_in)) return {};
  int free_index = 0;
  for (const auto& [index, value] : ordered) {
    if (index != free_index) break;
    ++free_index;
  }
  if (free_index > kHighestIndex) return {};
  return {{ValueChange::Kind::kSet, open_value_name(free_index), quoted(add_in)}};
}

std::vector<ValueChange> plan_detach(const std::vector<NamedValue>& values, std::string_view add_in) {
  const auto ordered = open_values_in_order(values);
  std::vector<const NamedValue*> kept;
  std::size_t first_removed = ordered.size();
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (same_file(opened_path(ordered[i].second->data), add_in)) {
      first_removed = std::min(first_removed, i);
    } else {
      kept.push_back(ordered[i].second);
    }
  }
  std::vector<ValueChange> changes;
  if (first_removed == ordered.size()) return changes;
  // The names in use stay in use, in their order, as far as values remain
  // for them; values from the first removed one on move down.
  for (std::size_t slot = first_removed; slot < ordered.size(); ++slot) {
    const NamedValue& current = *ordered[slot].second;
    if (slot < kept.size()) {
      if (kept[slot]->data != current.data)
        changes.push_back({ValueChange::Kind::kSet, current.name, kept[slot]->data});
    } else {
      changes.push_back({ValueChange::Kind::kDelete, current.name, {}});
    }
  }
  return changes;
}

}  // namespace kovo::excel
