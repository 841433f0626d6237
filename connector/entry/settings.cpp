#include "entry/settings.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <optional>

namespace kovo {
namespace {

constexpr SettingKey kKeys[] = {
#define KOVO_TEXT(member, id, name, limit, def, flags) \
  {name, id, SettingKey::Kind::Text, limit, flags, &Settings::member, nullptr, def, 0},
#define KOVO_NUMBER(member, id, name, def, flags) \
  {name, id, SettingKey::Kind::Number, 0, flags, nullptr, &Settings::member, "", def},
#include "entry/settings_keys.def"
#undef KOVO_TEXT
#undef KOVO_NUMBER
};

bool equal_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool is_quote(char c) { return c == '"' || c == '\''; }

// Decimal integer from the leading characters, as a C library would read it.
int leading_integer(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long value = 0;
  for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
    value = value * 10 + (s[i] - '0');
    if (value > 2147483647LL) value = 2147483648LL;  // saturate
  }
  if (negative) value = -value;
  if (value > 2147483647LL) value = 2147483647LL;
  return static_cast<int>(value);
}

const SettingKey* find_command_key(std::string_view name) {
  for (const auto& key : kKeys)
    if ((key.flags & kCommandKey) && equal_nocase(key.name, name)) return &key;
  return nullptr;
}

struct Pair {
  std::string_view key;
  std::string_view value;
  bool valid;
};

// Splits off the next pair starting at pos; pos moves past its ",".
Pair next_pair(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  char quote = 0;
  bool inside = false;
  std::size_t end = start;
  for (; end < text.size(); ++end) {
    const char c = text[end];
    if (quote == 0 && is_quote(c)) quote = c;
    if (c == quote) inside = !inside;
    else if (c == ',' && !inside) break;
  }
  pos = end < text.size() ? end + 1 : end;
  const std::string_view pair = text.substr(start, end - start);
  const std::size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return {{}, {}, false};
  std::string_view value = pair.substr(eq + 1);
  if (!value.empty() && is_quote(value.back())) {
    const char q = value.back();
    if (value.size() < 2 || value.front() != q) return {{}, {}, false};
    value = value.substr(1, value.size() - 2);
  }
  return {trim_blanks(pair.substr(0, eq)), value, true};
}

}  // namespace

const SettingKey* setting_keys(std::size_t* count) {
  if (count) *count = std::size(kKeys);
  return kKeys;
}

Settings& settings() {
  static Settings instance;
  return instance;
}

void apply_settings_text(Settings& target, std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const Pair pair = next_pair(text, pos);
    if (!pair.valid) continue;
    const SettingKey* key = find_command_key(pair.key);
    if (!key) continue;
    if (key->kind == SettingKey::Kind::Number) {
      target.*(key->number) = leading_integer(pair.value);
      continue;
    }
    std::string_view value = pair.value;
    if (!value.empty() && value.front() == '\'') value.remove_prefix(1);
    if (value.size() > key->limit) continue;  // never store a cut value
    target.*(key->text) = std::string(value);
    if (key->text == &Settings::drill_from || key->text == &Settings::drill_to)
      target.drill_date_range = true;
  }
}

std::string normalize_budget_type(std::string_view type) {
  if (equal_nocase(type, "Budget") || equal_nocase(type, "Revised Budget"))
    return std::string(type);
  return "Budget";
}

bool is_revised_budget(std::string_view type) {
  return !type.empty() && (type.front() == 'R' || type.front() == 'r' || type == "1");
}

}  // namespace kovo
