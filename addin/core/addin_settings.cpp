#include "addin/core/addin_settings.h"

#include <cctype>
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
struct NumberKey {
  std::string_view section;
  std::string_view key;
  int AddinSettings::*member;
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
constexpr NumberKey kNumberKeys[] = {
    {kExcelSection, "Column Wise Zero Suppress", &AddinSettings::column_wise_zero_suppress},
    {kExcelSection, "Save ToolBar", &AddinSettings::save_toolbar},
    {kExcelSection, "DDE Time Out", &AddinSettings::dde_time_out},
    {kExcelSection, "Create NGL Functions", &AddinSettings::create_ngl_functions},
    {kExcelSection, "Create New Workbook", &AddinSettings::create_new_workbook},
    {kExcelSection, "Auto-Attaching", &AddinSettings::auto_attaching},
};

// An integer as the profile functions read it: optional sign and digits, 0
// for anything else; out-of-range values are held at the int's limits.
int integer_of(const std::string& text) {
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (v > 0x7FFFFFFF) return 0x7FFFFFFF;
  if (v < -0x7FFFFFFF) return -0x7FFFFFFF;
  return static_cast<int>(v);
}

}  // namespace

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
    if (profile.read(k.section, k.key, value)) s.*k.member = integer_of(value);
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
