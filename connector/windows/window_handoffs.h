// What the connector's windows hand one another: the start value a window
// opens another with, and the commands (with their values) a window sends
// back to the one it reports to.
#pragma once

#include <string>

namespace kovo::windows {

// The period wizard opened from another window: the opener's period
// specifier and, when the opener works on an explicit date range, its dates.
struct PeriodWizardStart {
  std::string specifier;
  std::string from, to;
  bool dates_given = false;
  // The opener's company and year, whose calendar the dates are shown in;
  // empty: the settings' company and its current year.
  std::string company, year;
};

// Commands the period wizard sends the window it reports to. With 540 and
// 560 the command's value points to a PeriodWizardResult, valid while the
// command is handled.
inline constexpr int kWizardPeriodChosen = 540;  // OK: its specifier
inline constexpr int kWizardActivated = 550;     // it came up: refresh the company's data
inline constexpr int kWizardDatesChosen = 560;   // its period is now an explicit date range
inline constexpr int kWizardClosed = 570;
inline constexpr int kWizardReinitialise = 580;  // start the window afresh from the settings

struct PeriodWizardResult {
  std::string specifier;
  std::string from, to;  // dates as the transaction requests read them
};

// The drill-down window opened by another window on a selection of its own
// (the account enquiry's To Drill): the query it starts with instead of the
// last drill's. The date range, if any, follows from the period again.
struct DrillStart {
  std::string account, period, year, company;
  std::string type;  // "Budget" or "Revised Budget"; empty keeps the last drill's
};

// The chart window opened by another window on a selection of its own (the
// account enquiry's To Chart): it becomes the chart settings the window
// opens with. Without one the window opens on the chart settings as they
// stand (the drill-down's To Chart writes them before opening it).
struct ChartStart {
  std::string account, period, year, company;
  std::string type;  // "Budget" or "Revised Budget"
};

// Commands the chart window takes from other windows.
inline constexpr int kChartMatchCount = 1031;  // the count (value) in "Account Match Count:"

// Commands the drill-down window takes from other windows.
inline constexpr int kDrillRecordCount = 1075;        // the count (value) in "Record Count:"
inline constexpr int kDrillSegmentColumns = 1084;     // rebuild the list's columns for the segment view
inline constexpr int kDrillTransactionColumns = 1085;  // ... for the transaction view, when it is shown

}  // namespace kovo::windows
