#include <gtest/gtest.h>

#include "data/settings_store.h"

using namespace kovo;

TEST(SettingsStoreText, TimeTextAndThreshold) {
  EXPECT_EQ(settings_time_text(9, 5, 7, 1, 12, 7, 2026), "9:05:07 on Monday December 7, 2026");
  EXPECT_EQ(settings_time_text(23, 59, 0, 0, 1, 31, 2008), "23:59:00 on Sunday January 31, 2008");
  EXPECT_EQ(threshold_text(1500), "1500");
  EXPECT_EQ(threshold_text(0.1), "0.1");
  EXPECT_EQ(threshold_text(123456789.123456789), "123456789.123457");
}

TEST(SettingsStoreText, NormalizeAfterReading) {
  Settings s;
  s.type = "actual";
  s.chart_type = "REVISED BUDGET";
  s.dpl_budget = "";
  s.highlight_threshold = "250.5";
  normalize_read_settings(s);
  EXPECT_EQ(s.type, "Budget");
  EXPECT_EQ(s.chart_type, "REVISED BUDGET");
  EXPECT_EQ(s.dpl_budget, "Budget");
  EXPECT_DOUBLE_EQ(s.highlight_amount, 250.5);
}
