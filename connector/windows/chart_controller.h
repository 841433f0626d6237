// What the chart window decides: the fields and check boxes it opens with,
// what Reset and the check boxes change, Find (the accounts of the chart
// that match the specifier, with their figures or formulas per period, onto
// the clipboard), and what its buttons hand to other windows. The dialog
// only moves values between its controls and this.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "entry/request_text.h"
#include "entry/settings.h"
#include "windows/chart_text.h"
#include "windows/window_handoffs.h"
#include "windows/window_services.h"

namespace kovo::chart {

// The window's fields and check boxes.
struct ChartFields {
  std::string account, periods, company, year;
  bool revised = false;
  ChartOptions options;
  bool operator==(const ChartFields&) const = default;
};

inline constexpr int kMessageNoMatchingAccounts = 65;
inline constexpr int kMessageStopChart = 67;
inline constexpr int kMessageInvalidCompany = 68;
inline constexpr int kMessageChartFailed = 209;
inline constexpr int kMessageChartObsolete = 5390;

// The check boxes that depend on one another.
enum class ChartCheck { ShowAccount, SegmentColumns, Other };

class ChartController {
 public:
  // show_count puts the number of lines written in "Account Match Count:".
  ChartController(Settings& settings, windows::WindowServices& services, AmountLocale locale,
                  std::function<void(std::size_t)> show_count, std::size_t text_limit = kChartTextLimit)
      : settings_(settings),
        services_(services),
        locale_(std::move(locale)),
        show_count_(std::move(show_count)),
        text_limit_(text_limit) {}

  // The fields from the chart settings, after a start value handed over by
  // the opener has become them.
  ChartFields open(const windows::ChartStart* start = nullptr);

  // "&Reset": the setup year and the default columns, the window set up again.
  ChartFields reset();

  // A check box changed: the options as they now stand, with the account
  // and segment columns kept consistent.
  ChartOptions checked(ChartCheck box, bool on, ChartOptions options) const;

  // "&Find": the settings from the fields, written; the table onto the
  // clipboard.
  void find(const ChartFields& fields);

  // "&Accounts:" opens the account enquiry afresh; "&Periods:" the period
  // wizard on the field's specifier.
  void accounts();
  void periods(const ChartFields& fields);

  void quit();

  // The table of the last Find (empty before one), for the tests.
  const std::string& last_text() const { return last_text_; }

 private:
  void take_fields(const ChartFields& fields);
  ChartFields fields_from_settings() const;

  Settings& settings_;
  windows::WindowServices& services_;
  AmountLocale locale_;
  std::function<void(std::size_t)> show_count_;
  std::size_t text_limit_;
  std::string last_text_;
};

}  // namespace kovo::chart
