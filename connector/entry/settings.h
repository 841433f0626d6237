// The connector settings record and its key table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kovo {

enum SettingFlags : unsigned { kCommandKey = 1, kStored = 2 };

// Text settings keep at most their limit in characters.
struct Settings {
#define KOVO_TEXT(member, id, name, limit, def, flags) std::string member = def;
#define KOVO_NUMBER(member, id, name, def, flags) int member = def;
#include "entry/settings_keys.def"
#undef KOVO_TEXT
#undef KOVO_NUMBER
  // Set when "Drill From" or "Drill To" was given: the drill-down works on a
  // date range instead of a period.
  bool drill_date_range = false;
  // The drill-down highlight threshold as a number.
  double highlight_amount = 0.0;
};

struct SettingKey {
  enum class Kind { Text, Number };
  std::string_view name;
  int string_id;
  Kind kind;
  std::size_t limit;  // text settings only
  unsigned flags;
  std::string Settings::*text;
  int Settings::*number;
  std::string_view text_default;
  int number_default;
};

// Every setting, in key-table order.
const SettingKey* setting_keys(std::size_t* count);

// Process-wide settings of the connector.
Settings& settings();

// Applies a window command's "key=value,key=value" text. Unknown keys, pairs
// without "=", mismatched quotes and values longer than their field are ignored.
void apply_settings_text(Settings& target, std::string_view text);

// "Budget" or "Revised Budget" kept as written (any case); anything else becomes "Budget".
std::string normalize_budget_type(std::string_view type);

// True for a budget kind that means the revised budget (starts with R, or "1").
bool is_revised_budget(std::string_view type);

}  // namespace kovo
