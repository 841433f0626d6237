#include "data/settings_store.h"

#include <cstdio>
#include <cstdlib>

namespace kovo {

std::string settings_time_text(int hour, int minute, int second, int weekday, int month, int day,
                               int year) {
  static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  static constexpr const char* kMonths[] = {"January", "February", "March",     "April",
                                            "May",     "June",     "July",      "August",
                                            "September", "October", "November", "December"};
  const char* day_name = weekday >= 0 && weekday < 7 ? kDays[weekday] : "";
  const char* month_name = month >= 1 && month <= 12 ? kMonths[month - 1] : "";
  char text[96];
  std::snprintf(text, sizeof text, "%u:%.2u:%.2u on %s %s %u, %u", unsigned(hour), unsigned(minute),
                unsigned(second), day_name, month_name, unsigned(day), unsigned(year));
  return text;
}

std::string threshold_text(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

void normalize_read_settings(Settings& s) {
  s.type = normalize_budget_type(s.type);
  s.chart_type = normalize_budget_type(s.chart_type);
  s.dpl_budget = normalize_budget_type(s.dpl_budget);
  s.highlight_amount = std::strtod(s.highlight_threshold.c_str(), nullptr);
}

}  // namespace kovo
