// Small text helpers of the specifier code (ASCII, locale-free).
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace kovo::specifier {

constexpr char to_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
constexpr char to_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

inline bool equal_folded(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return to_upper(x) == to_upper(y); });
}

// Case-blind three-way comparison that folds to lower case (so "z" stays
// above every letter and digit).
inline int compare_folded(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(to_lower(a[i]));
    const auto y = static_cast<unsigned char>(to_lower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

inline void upper_in_place(std::string& s) {
  for (char& c : s) c = to_upper(c);
}

inline std::string_view trim_right(std::string_view s, char blank = ' ') {
  while (!s.empty() && s.back() == blank) s.remove_suffix(1);
  return s;
}

// A field or cell as typed, without the spaces and tabs around it.
inline std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}
inline std::string trimmed(std::string_view s) { return std::string(trim_blanks(s)); }

}  // namespace kovo::specifier
