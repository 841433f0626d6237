#include "addin/core/addin_settings.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>

#include "addin/core/request_text.h"

namespace kovo::addin {

namespace {

// One key: its section, name and the member holding it.
struct TextKey {
  std::string_view section;
  std::string_view key;
  std::string AddinSettings::*member;
};
// How a number is read: the text and the default it replaces.
using NumberReader = int (*)(const std::string& text, int fallback);
struct NumberKey {
  std::string_view section;
  std::string_view key;
  int AddinSettings::*member;
  NumberReader read;
};

constexpr TextKey kTextKeys[] = {
    {kExcelSection, "Functions Dirty", &AddinSettings::functions_dirty},
    {kExcelSection, "Row Symbol", &AddinSettings::row_symbol},
    {kExcelSection, "Column Symbol", &AddinSettings::column_symbol},
    {kExcelSection, "Sum Function Text", &AddinSettings::sum_function_text},
    {kExcelSection, "Help Menu Text", &AddinSettings::help_menu_text},
    {kExcelSection, "List Separator", &AddinSettings::list_separator},
    {kExcelSection, "BuildToolBar", &AddinSettings::build_toolbar},
    {kServerSection, "Path", &AddinSettings::server_path},
    {kServerSection, "Viewer", &AddinSettings::viewer},
};
// An integer as the profile functions read it: optional sign and digits, 0
// for anything else; out-of-range values are held at the int's limits.
int integer_of(const std::string& text, int) {
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (v > 0x7FFFFFFF) return 0x7FFFFFFF;
  if (v < -0x7FFFFFFF) return -0x7FFFFFFF;
  return static_cast<int>(v);
}

int timeout_of(const std::string& text, int fallback) { return static_cast<int>(timeout_from_text(text, fallback)); }

constexpr NumberKey kNumberKeys[] = {
    {kExcelSection, "Column Wise Zero Suppress", &AddinSettings::column_wise_zero_suppress, integer_of},
    {kExcelSection, "Save ToolBar", &AddinSettings::save_toolbar, integer_of},
    {kExcelSection, "DDE Time Out", &AddinSettings::dde_time_out, timeout_of},
    {kExcelSection, "Create NGL Functions", &AddinSettings::create_ngl_functions, integer_of},
    {kExcelSection, "Create New Workbook", &AddinSettings::create_new_workbook, integer_of},
    {kExcelSection, "Auto-Attaching", &AddinSettings::auto_attaching, integer_of},
};

struct WizardTextKey {
  std::string_view key;
  std::string WizardSettings::*member;
};
struct WizardNumberKey {
  std::string_view key;
  int WizardSettings::*member;
};
constexpr WizardTextKey kWizardTextKeys[] = {
    {"Report Title", &WizardSettings::report_title},
    {"Report Formatting Macro", &WizardSettings::formatting_macro},
};
constexpr WizardNumberKey kWizardNumberKeys[] = {
    {"Do Zero Suppress", &WizardSettings::do_zero_suppress},
    {"Run Macro", &WizardSettings::run_macro},
};

}  // namespace

WizardSettings read_wizard_settings(Profile& profile) {
  WizardSettings s;
  std::string value;
  for (const auto& k : kWizardTextKeys)
    if (profile.read(kExcelSection, k.key, value)) s.*k.member = value;
  for (const auto& k : kWizardNumberKeys)
    if (profile.read(kExcelSection, k.key, value)) s.*k.member = integer_of(value, s.*k.member);
  write_wizard_settings(profile, s);
  return s;
}

void write_wizard_settings(Profile& profile, const WizardSettings& s) {
  for (const auto& k : kWizardTextKeys) profile.write(kExcelSection, k.key, s.*k.member);
  for (const auto& k : kWizardNumberKeys) profile.write(kExcelSection, k.key, std::to_string(s.*k.member));
}

long long timeout_from_text(std::string_view text, long long previous) {
  std::size_t i = 0, end = text.size();
  while (i < end && text[i] == ' ') ++i;
  while (end > i && text[end - 1] == ' ') --end;
  if (i == end) return previous;
  long long value = 0;
  constexpr long long kMax = UINT32_MAX / 1000;
  for (; i < end; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return previous;
    value = value * 10 + (text[i] - '0');
    if (value > kMax) return previous;
  }
  return value >= 1 ? value : previous;
}

bool AddinSettings::volatile_functions() const {
  return functions_dirty.empty() || std::toupper(static_cast<unsigned char>(functions_dirty[0])) != 'N';
}

bool AddinSettings::toolbar_wanted() const {
  return build_toolbar.size() == 1 && std::toupper(static_cast<unsigned char>(build_toolbar[0])) == 'Y';
}

AddinSettings read_settings(Profile& profile) {
  AddinSettings s;
  std::string value;
  for (const auto& k : kTextKeys)
    if (profile.read(k.section, k.key, value)) s.*k.member = value;
  for (const auto& k : kNumberKeys)
    if (profile.read(k.section, k.key, value)) s.*k.member = k.read(value, s.*k.member);
  return s;
}

void write_settings(Profile& profile, const AddinSettings& s) {
  for (const auto& k : kTextKeys) profile.write(k.section, k.key, s.*k.member);
  for (const auto& k : kNumberKeys) profile.write(k.section, k.key, std::to_string(s.*k.member));
}

AddinSettings open_settings(Profile& profile, std::string_view locale_list_separator) {
  AddinSettings s = read_settings(profile);
  s.list_separator = std::string(1, list_separator(locale_list_separator, s.list_separator));
  s.viewer = "0";
  write_settings(profile, s);
  return s;
}

void write_setting(Profile& profile, std::string_view section, std::string_view key, std::string_view value) {
  profile.write(section, key, value);
}

}  // namespace kovo::addin
