#include <gtest/gtest.h>

#include "tools/excel/registration/open_values.h"

namespace kovo::excel {
namespace {

constexpr char kAddIn[] = "C:\\Program Files\\Kovo\\Kovo.XLL";
using Kind = ValueChange::Kind;

TEST(ExcelOpenValuesTest, NamesAndVersionsAreReadStrictly) {
  EXPECT_EQ(open_value_name(0), "OPEN");
  EXPECT_EQ(open_value_name(12), "OPEN12");
  EXPECT_EQ(open_value_index("OPEN"), 0);
  EXPECT_EQ(open_value_index("open3"), 3);
  // Names Excel would never read as part of its list.
  for (const char* name : {"OPEN0", "OPEN01", "OPEN-1", "OPENX", "OPE", "OPEN99999", "XOPEN1", ""})
    EXPECT_FALSE(open_value_index(name).has_value()) << name;

  for (const char* version : {"16.0", "12.0", "9.0"}) EXPECT_TRUE(is_office_version(version)) << version;
  for (const char* other : {"Common", "ClickToRun", "16", "16.", ".0", "16.0.1", "1234.0"})
    EXPECT_FALSE(is_office_version(other)) << other;
}

TEST(ExcelOpenValuesTest, OpenedPathIgnoresSwitchesQuotesAndCase) {
  EXPECT_EQ(opened_path("\"C:\\A b\\x.xll\""), "C:\\A b\\x.xll");
  EXPECT_EQ(opened_path("/R \"C:\\A b\\x.xll\""), "C:\\A b\\x.xll");
  EXPECT_EQ(opened_path("/R /A  \"C:\\x.xll\"  "), "C:\\x.xll");
  EXPECT_EQ(opened_path("C:\\x.xll"), "C:\\x.xll");
  EXPECT_EQ(opened_path("/R"), "");

  EXPECT_TRUE(same_file("c:/program files/kovo//KOVO.xll", kAddIn));
  EXPECT_FALSE(same_file("C:\\Program Files\\Kovo\\Kovo.XLL.bak", kAddIn));
  EXPECT_FALSE(same_file("", ""));
}

TEST(ExcelOpenValuesTest, AttachTakesTheFirstFreeNameOnce) {
  const std::vector<NamedValue> two = {{"OPEN", "\"C:\\a.xll\""}, {"OPEN1", "/R \"C:\\b.xla\""}, {"Options", "x"}};
  EXPECT_EQ(plan_attach(two, kAddIn),
            (std::vector<ValueChange>{{Kind::kSet, "OPEN2", "\"C:\\Program Files\\Kovo\\Kovo.XLL\""}}));
  EXPECT_EQ(plan_attach({}, kAddIn).at(0).name, "OPEN");
  // A gap is the end of Excel's list: the add-in goes there, not after it.
  EXPECT_EQ(plan_attach({{"OPEN", "a"}, {"OPEN2", "c"}}, kAddIn).at(0).name, "OPEN1");
  // Already opened, under whatever spelling: nothing to do.
  EXPECT_TRUE(plan_attach({{"OPEN", "a"}, {"open1", "/R \"c:\\program files\\kovo\\kovo.xll\""}}, kAddIn).empty());
}

TEST(ExcelOpenValuesTest, DetachRemovesOnlyTheAddInAndClosesTheGap) {
  // Last in the list: the key is as before the attach.
  EXPECT_EQ(plan_detach({{"OPEN", "a"}, {"OPEN1", "b"}, {"OPEN2", "\"C:\\Program Files\\Kovo\\Kovo.XLL\""}}, kAddIn),
            (std::vector<ValueChange>{{Kind::kDelete, "OPEN2", {}}}));
  // In the middle, twice: the later add-ins move down in order.
  const std::vector<NamedValue> middle = {{"OPEN3", "d"}, {"OPEN", "a"}, {"OPEN1", kAddIn},
                                          {"OPEN2", "/R \"c:\\program files\\kovo\\kovo.xll\""}, {"OPEN4", "e"}};
  EXPECT_EQ(plan_detach(middle, kAddIn), (std::vector<ValueChange>{{Kind::kSet, "OPEN1", "d"},
                                                                  {Kind::kSet, "OPEN2", "e"},
                                                                  {Kind::kDelete, "OPEN3", {}},
                                                                  {Kind::kDelete, "OPEN4", {}}}));
  // Not opened at all, and values that are no OPEN values: untouched.
  EXPECT_TRUE(plan_detach({{"OPEN", "a"}, {"Kovo.XLL", kAddIn}}, kAddIn).empty());
}

}  // namespace
}  // namespace kovo::excel
