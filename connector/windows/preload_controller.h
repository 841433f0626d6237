// What the preload window decides: the choices it opens with, what the
// preload, clear and automatic-preload buttons do, for a user and without
// one, and the automatic preload at start-up. The dialog only moves values
// between its controls and this.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "entry/settings.h"
#include "windows/window_services.h"

namespace kovo::preload {

// The window's fields.
struct PreloadFields {
  std::string company;
  std::string year;  // empty: the company's current year
  std::string account;
  std::string budget_type = "Budget";
  bool this_year = true;
  bool last_year = false;
  bool budget = false;
};

// A company's automatic preload choices, kept under keys followed by the
// company id ("ADPL Account DEMO" and the like).
struct AutoChoices {
  std::string account;
  std::string year;
  std::string budget_type = "Budget";
  bool this_year = true;
  bool last_year = false;
  bool budget = true;
  bool company_on = false;
};

// Where the per-company choices are stored.
class AutoStore {
 public:
  virtual ~AutoStore() = default;
  virtual std::string read(const std::string& key, const std::string& fallback) = 0;
  virtual void write(const std::string& key, const std::string& value) = 0;
};
AutoChoices read_auto_choices(AutoStore& store, std::string_view company);
// Everything but "company on", which only the button changes.
void write_auto_choices(AutoStore& store, std::string_view company, const AutoChoices& choices);
void write_auto_switch(AutoStore& store, std::string_view company, bool on);

struct PreloadView {
  std::vector<std::string> companies;  // the company choices, ids
  PreloadFields fields;
  std::string auto_label;              // "ADPL On" or "ADPL Off"
};

// What a preload ended with, for the window's status line.
struct PreloadOutcome {
  int status = 0;           // 0, -1 or -2 (the results of DataPreLoad); 1 not started
  std::size_t accounts = 0; // in the company's cache afterwards
};

class PreloadController {
 public:
  PreloadController(Settings& settings, windows::WindowServices& services, AutoStore& store,
                    std::vector<std::string> companies)
      : settings_(settings), services_(services), store_(store), companies_(std::move(companies)) {}

  PreloadView open();
  // The label of the automatic-preload button for a company.
  std::string auto_label(std::string_view company);

  // OK: asks before caching a cached company again, preloads the actual
  // years and then the budget as chosen, saves the choices.
  PreloadOutcome preload(const PreloadFields& fields);
  // Clear: forgets what the company's cache holds.
  void clear(std::string_view company);
  // The automatic-preload button: turns it round for the company and
  // answers the button's new label.
  std::string toggle_auto(const PreloadFields& fields);
  // Quit: the choices stay in the settings, written.
  void quit(const PreloadFields& fields);

  // The command without a user: the company, year and choices of the "DPL"
  // settings. False with the reason pending when it failed.
  bool run_automated();

 private:
  PreloadOutcome run(const PreloadFields& fields);
  void keep(const PreloadFields& fields);

  Settings& settings_;
  windows::WindowServices& services_;
  AutoStore& store_;
  std::vector<std::string> companies_;
};

// At start-up, with "ADPL Enabled" on: every company of the list (ids, or
// "id<TAB>name" lines) whose "ADPL Company On " is 1 and that opens
// without error is preloaded with its own choices. Answers the number
// preloaded.
int automatic_preload(const std::vector<std::string>& company_lines, AutoStore& store, const Settings& settings);

}  // namespace kovo::preload
