#include <gtest/gtest.h>

#include <set>

#include "entry/settings.h"

using namespace kovo;

namespace {

TEST(SettingsText, NumbersTextsAndQuotes) {
  Settings s;
  apply_settings_text(s, "NoShow=1,Company='ABC'");
  EXPECT_EQ(s.no_show, 1);
  EXPECT_EQ(s.company, "ABC");
  apply_settings_text(s, "Company=\"XY,Z\"");
  EXPECT_EQ(s.company, "XY,Z") << "a comma inside quotes belongs to the value";
  apply_settings_text(s, "Zero Label='-'");
  EXPECT_EQ(s.zero_label, "-");
  apply_settings_text(s, "Chart Account=''1000");
  EXPECT_EQ(s.chart_account, "'1000") << "only the quotes around and one apostrophe go";
  apply_settings_text(s, "  rounding  = 3 ,SCALING=2x, NA Label=abc");
  EXPECT_EQ(s.rounding, 3);
  EXPECT_EQ(s.scaling, 2);
  EXPECT_EQ(s.na_label, 0);
}

TEST(SettingsText, BadPairsChangeNothing) {
  Settings s;
  apply_settings_text(s, "Company=x'ABC'");  // ends in a quote, begins otherwise
  EXPECT_EQ(s.company, "DEMO");
  apply_settings_text(s, "Company,Rounding=2");
  EXPECT_EQ(s.company, "DEMO");
  EXPECT_EQ(s.rounding, 2);
  apply_settings_text(s, "Unknown Key=5,Company=ABCDEFG");
  EXPECT_EQ(s.company, "DEMO") << "a value longer than its field is refused, not cut";
  apply_settings_text(s, "Company=\"A,Scaling=4");  // quote never closed
  EXPECT_EQ(s.scaling, 0);
}

TEST(SettingsText, DrillDatesSwitchToDateRange) {
  Settings s;
  EXPECT_FALSE(s.drill_date_range);
  apply_settings_text(s, "Drill From=1Jan2008,Drill To=31Jan2008");
  EXPECT_TRUE(s.drill_date_range);
  EXPECT_EQ(s.drill_from, "1Jan2008");
  EXPECT_EQ(s.drill_to, "31Jan2008");
}

TEST(SettingsText, EmptyKeyAndFlags) {
  Settings s;
  apply_settings_text(s, "=1,NoClipboard=1,MoreData=2");
  EXPECT_EQ(s.alternate_drill, 1);
  EXPECT_EQ(s.no_clipboard, 1);
  EXPECT_EQ(s.more_data, 2);
}

TEST(SettingsKeys, TableIsConsistent) {
  std::size_t count = 0;
  const SettingKey* keys = setting_keys(&count);
  std::set<int> ids;
  std::set<std::string> names;
  for (std::size_t i = 0; i < count; ++i) {
    EXPECT_TRUE(ids.insert(keys[i].string_id).second) << keys[i].name;
    EXPECT_TRUE(names.insert(std::string(keys[i].name)).second) << keys[i].name;
  }
  EXPECT_EQ(keys[0].name, "Company");
  // The command keys come first, in table order, ending with MoreData.
  std::size_t last_command = 0;
  for (std::size_t i = 0; i < count; ++i)
    if (keys[i].flags & kCommandKey) last_command = i;
  EXPECT_EQ(keys[last_command].name, "MoreData");
  EXPECT_EQ(keys[last_command - 1].name, "NoClipboard");
  EXPECT_EQ(keys[last_command - 2].name, "");
}

TEST(SettingsKeys, BudgetKinds) {
  EXPECT_EQ(normalize_budget_type("revised budget"), "revised budget");
  EXPECT_EQ(normalize_budget_type("Actual"), "Budget");
  EXPECT_TRUE(is_revised_budget("R"));
  EXPECT_TRUE(is_revised_budget("1"));
  EXPECT_FALSE(is_revised_budget("Budget"));
}

}  // namespace
