// What the add-in's own dialogs show and do, without windows: the Options
// dialog's controls from and to the settings, the Analyze dialog's choices
// and the steps its OK runs, and the version box's text.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kovo::addin::tools {

// ------------------------------------------------------------- Options

// The settings the Options dialog shows, as read from "Kovo Excel".
struct OptionSettings {
  std::string functions_dirty = "Y";  // "Functions Dirty"
  int column_wise = 1;                // "Column Wise Zero Suppress"
  std::string build_toolbar = "Y";    // "BuildToolBar"
  int save_toolbar = 0;               // "Save ToolBar"
  long long timeout_seconds = 300;    // "DDE Time Out"
  int create_ngl = 1;                 // "Create NGL Functions"
  int create_new_workbook = 1;        // "Create New Workbook"
};

// The dialog's controls.
struct OptionControls {
  bool always_calculate = true;
  bool column_wise = true;
  bool toolbar = true;
  bool save_toolbar = false;     // the "Save" option button; "Delete" otherwise
  bool toolbar_choice_enabled = true;  // the two option buttons follow the toolbar box
  std::string timeout_text = "300";
  bool create_ngl = true;
  bool new_workbook = true;
};

// "Y" (without regard to case) ticks the box.
bool setting_is_yes(std::string_view value);

OptionControls controls_from_settings(const OptionSettings& s);

// The time-out field is read with the settings' own rule
// (kovo::addin::timeout_from_text).

// What OK writes, key and value, in the order written; and the settings
// that result.
std::vector<std::pair<std::string_view, std::string>> option_writes(const OptionControls& c, long long previous_timeout);
OptionSettings settings_from_controls(const OptionControls& c, const OptionSettings& previous);

// ------------------------------------------------------------- Analyze

struct AnalyzeChoice {
  bool whole_workbook = false;  // "The Entire Workbook"; else "This Sheet Only"
  bool timing = false;          // "Recalculation Time"; else "Accounts"
};

enum class AnalyzeStep {
  WarnNotDirty,      // message 11: only volatile functions are analysed
  TimingOn,
  TimingOff,
  StartCalc,         // "[START_CALC(NOSHOW=1)]"
  FinishCalc,        // "[FINISH_CALC(NOSHOW=1)]"
  CalculateNow,      // the whole workbook
  CalculateDocument, // the active sheet
  Command302,        // Excel command 302 with 1 and 1 (a new workbook for the analysis)
  Paste,             // the connector's analysis from the clipboard
};

// The steps OK runs, in order; "registered_volatile" is the registration in
// force since the add-in opened, whatever the setting says now.
std::vector<AnalyzeStep> analyze_steps(const AnalyzeChoice& choice, bool registered_volatile);

// ------------------------------------------------------------- Version

// The translations tried, in order, for "ProductVersion" of the add-in's
// own version resource.
inline constexpr std::array<std::string_view, 11> kVersionTranslations{
    "00000000", "000904b0", "010904b0", "010904b0", "040904b0", "100904b0",
    "000904b0", "010C0000", "010C0000", "040c04b0", "030C0000"};

// "Excel Kovo Client Version" and the version; when the server answered a
// text, a line feed and that text; every tab a line feed.
std::string version_box_text(std::string_view client_version, const std::optional<std::string>& server_answer);

}  // namespace kovo::addin::tools
