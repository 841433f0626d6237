// What the budget window decides: the company, year and budget it opens
// with, what a changed company and the radio buttons change, and what Write
// does, for a user and without one. The dialog only moves values between
// its controls and this.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entry/request_text.h"
#include "entry/settings.h"
#include "windows/budget_run.h"
#include "windows/window_services.h"

namespace kovo::budget {

// The window's controls as the controller fills them.
struct BudgetView {
  std::vector<std::string> companies;  // the "Company:" choices
  std::vector<std::string> years;      // the "Year:" choices, latest first
  std::string company;
  std::string year;
  int checked_control = 0;  // the radio button of the budget
};

class BudgetController {
 public:
  // show_count puts the number of records written in the window's counter.
  BudgetController(Settings& settings, windows::WindowServices& services, AmountLocale locale,
                   std::function<void(int)> show_count)
      : settings_(settings), services_(services), locale_(std::move(locale)), show_count_(std::move(show_count)) {}

  BudgetView open();

  // The company field lost the focus with a changed code: the company's
  // years, or nothing when it could not be used (said in a box).
  std::optional<std::vector<std::string>> company_changed(std::string_view code);

  // A radio button was clicked: false when control is none of them.
  bool choose(int control);

  // "Write": the copied block from the clipboard into the chosen budget.
  // Without a user nothing is shown; the outcome is handed back to the
  // command's caller instead.
  void write(std::string_view company, std::string_view year);

  // What the last write did; nothing before the first.
  const std::optional<RunReport>& last_run() const { return last_run_; }

  // "Quit": writes nothing more and closes.
  void quit();

 private:
  bool refuse(int number, std::string_view detail = {});
  void tell(const RunReport& report);

  Settings& settings_;
  windows::WindowServices& services_;
  AmountLocale locale_;
  std::function<void(int)> show_count_;
  std::optional<RunReport> last_run_;
};

}  // namespace kovo::budget
