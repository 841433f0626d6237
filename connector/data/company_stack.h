// The company specifier of a value request ("DEMO,ABC", "DEMO ABC") as a
// stack: the last company named is on top and is evaluated first.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::data {

inline constexpr std::size_t kCompanyIdLength = 6;

class CompanyStack {
 public:
  bool empty() const { return ids_.empty(); }
  std::size_t size() const { return ids_.size(); }
  const std::string& top() const { return ids_.back(); }
  void push(std::string id) { ids_.push_back(std::move(id)); }
  void pop() { ids_.pop_back(); }
  void free_all() { ids_.clear(); }

 private:
  std::vector<std::string> ids_;  // bottom first
};

// Splits at commas and blanks. Null (with a pending message) for an empty
// specifier (7 "NULL company specifier.") or an id of 7 or more characters
// (4 "company specifier too long").
std::optional<CompanyStack> BuildCompanyStack(std::string_view specifier);

}  // namespace kovo::data
