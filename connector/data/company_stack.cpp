#include "data/company_stack.h"

#include "entry/messages.h"

namespace kovo::data {

std::optional<CompanyStack> BuildCompanyStack(std::string_view specifier) {
  CompanyStack stack;
  std::size_t pos = 0;
  while (pos < specifier.size()) {
    const std::size_t start = specifier.find_first_not_of(", ", pos);
    if (start == std::string_view::npos) break;
    std::size_t end = specifier.find_first_of(", ", start);
    if (end == std::string_view::npos) end = specifier.size();
    const std::string_view token = specifier.substr(start, end - start);
    if (token.size() > kCompanyIdLength) {
      stack.free_all();
      report(4, "company specifier too long");
      return std::nullopt;
    }
    stack.push(std::string(token));
    pos = end;
  }
  if (stack.empty()) {
    report(7, "NULL company specifier.");
    return std::nullopt;
  }
  return stack;
}

}  // namespace kovo::data
