// What the setup window decides: the connector's defaults it shows, what a
// changed data directory, company or list choice changes (at once, in
// memory), the company profile, and OK and Cancel. The dialog only moves
// values between its controls and this.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entry/settings.h"
#include "windows/window_services.h"

namespace kovo::setup {

// The "Period:" entries: "1" to "13", then "Off" (stored as 0).
inline constexpr int kPeriodEntries = 14;
std::vector<std::string> period_entries();
int period_index(int current_period);  // of the stored setting
int period_setting(int index);         // of a chosen entry

// The "Rounding:" and "Scaling:" entries, stored as their index.
std::vector<std::string> rounding_entries();
std::vector<std::string> scaling_entries();

struct SetupView {
  std::string system;
  std::vector<std::string> companies;
  std::string company;
  std::vector<std::string> years;
  std::string year;
  int period_index = 13;
  bool revised = false;
  std::string zero_label;
  int rounding = 0;
  int scaling = 0;
  bool return_zero = false;
  bool preload = false;
  bool company_failed = false;  // the company could not be loaded: nothing more is filled
};

// What OK takes from the fields.
struct SetupFields {
  std::string system, company, year, zero_label;
};

// The choices that take effect as soon as they are made.
enum class SetupChoice { Period, Rounding, Scaling, ReturnZero, Preload, Revised };

inline constexpr int kMessageMemory = 33;

class SetupController {
 public:
  // reload_settings reads the stored settings back (Cancel).
  SetupController(Settings& settings, windows::WindowServices& services, std::function<void()> reload_settings)
      : settings_(settings), services_(services), reload_settings_(std::move(reload_settings)) {}

  SetupView open();

  // The data directory as typed or browsed: when it changed, every loaded
  // company and the segment value lists are dropped and the company list is
  // read again from it. The new list; nothing when it did not change.
  std::optional<std::vector<std::string>> directory_changed(std::string_view directory);

  // The company field lost the focus changed: its years (nothing when the
  // company could not be loaded, said in a box).
  std::optional<std::vector<std::string>> company_changed(std::string_view company);

  void choose(SetupChoice choice, int value);

  // "Company &Profile": the text shown and put on the clipboard.
  std::string profile(std::string_view company);

  // "Financial Entities Setup >>".
  void entities_setup(std::string_view company);

  void ok(const SetupFields& fields);
  void cancel();

 private:
  Settings& settings_;
  windows::WindowServices& services_;
  std::function<void()> reload_settings_;
};

}  // namespace kovo::setup
