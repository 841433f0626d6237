#include "addin/tools/formula_rewrite.h"

#include <array>
#include <cctype>
#include <vector>

#include "addin/core/tables.h"

namespace kovo::addin::tools {

namespace {

// Names of the product's calls besides its registered worksheet functions:
// its request items, which macro sheets of the older generation call too.
constexpr std::array<std::string_view, 8> kItemNames{"KovoCOM1", "KovoCOM2", "KovoCOM3", "KovoLIST",
                                                     "KovoDPL",  "KovoRESET", "JC",      "KovoVERSION"};

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

std::string upper_text(std::string_view s) {
  std::string u(s);
  for (auto& c : u) c = upper(c);
  return u;
}

bool name_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

// Every worksheet function of the registration table, then the item names
// that are not already among them.
std::vector<std::string_view> all_product_names() {
  std::vector<std::string_view> names = worksheet_function_names();
  for (const auto item : kItemNames) {
    bool known = false;
    for (const auto n : names) known = known || upper_text(n) == upper_text(item);
    if (!known) names.push_back(item);
  }
  return names;
}

bool is_name(std::string_view word) {
  const std::string upper = upper_text(word);
  for (const auto n : product_function_names())
    if (n.size() == word.size() && upper_text(n) == upper) return true;
  return false;
}

}  // namespace

std::span<const std::string_view> product_function_names() {
  static const std::vector<std::string_view> names = all_product_names();
  return names;
}

bool is_product_formula(std::string_view formula) {
  bool quoted = false;
  for (std::size_t i = 0; i < formula.size(); ++i) {
    const char c = formula[i];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted || !name_char(c) || (i > 0 && name_char(formula[i - 1]))) continue;
    std::size_t end = i;
    while (end < formula.size() && name_char(formula[end])) ++end;
    std::size_t open = end;
    while (open < formula.size() && formula[open] == ' ') ++open;
    if (open < formula.size() && formula[open] == '(' && is_name(formula.substr(i, end - i))) return true;
    i = end - 1;
  }
  return false;
}

bool needs_migration(std::string_view formula) {
  return upper_text(formula.substr(0, 255)).find("KOVOV5.CONNECT") != std::string::npos;
}

std::string migrate_formula(std::string_view formula) {
  std::string text(formula);
  const std::string prefix = upper_text(kV5Prefix);
  std::string upper_copy = upper_text(text);
  std::size_t from = upper_copy.size();
  while (from >= prefix.size()) {
    const std::size_t at = upper_copy.rfind(prefix, from - prefix.size());
    if (at == std::string::npos) break;
    text.erase(at, prefix.size());
    upper_copy.erase(at, prefix.size());
    from = at;
  }
  if (text.find('=') == std::string::npos) text.insert(0, "=");
  return text;
}

bool skips_question(std::string_view argument) {
  constexpr std::string_view kNoShow = "NoShow=1";
  if (argument.size() < kNoShow.size()) return false;
  return upper_text(argument.substr(0, kNoShow.size())) == upper_text(kNoShow);
}

void RequestCapture::record(std::string_view request) {
  if (!active_) return;
  if (!requests_.empty()) requests_ += '\n';
  requests_ += request;
}

std::optional<std::string> RequestCapture::end() {
  active_ = false;
  if (requests_.empty()) return std::nullopt;
  std::string note;
  note.swap(requests_);
  return note;
}

}  // namespace kovo::addin::tools
