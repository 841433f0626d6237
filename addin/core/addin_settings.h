// The add-in's settings in the "Kovo.ini" it shares with the server: every
// key with its default, read whole and written back whole, so that the file
// always carries every key.
#pragma once

#include <string>
#include <string_view>

namespace kovo::addin {

inline constexpr std::string_view kExcelSection = "Kovo Excel";
inline constexpr std::string_view kServerSection = "Kovo Server";

// Where the settings are kept: a private profile file on Windows, a map in tests.
class Profile {
 public:
  virtual ~Profile() = default;
  // The stored text, or nothing when the key is absent.
  virtual bool read(std::string_view section, std::string_view key, std::string& value) = 0;
  virtual void write(std::string_view section, std::string_view key, std::string_view value) = 0;
};

struct AddinSettings {
  std::string functions_dirty = "Y";
  int column_wise_zero_suppress = 1;
  std::string row_symbol = "R";
  std::string column_symbol = "C";
  std::string sum_function_text = "SUM";
  std::string help_menu_text = "Help";
  std::string list_separator = ",";
  std::string build_toolbar = "Y";
  int save_toolbar = 0;
  int dde_time_out = 300;  // seconds
  int create_ngl_functions = 1;
  int create_new_workbook = 1;
  int auto_attaching = 0;
  std::string server_path = "c:\\kovo\\";
  std::string viewer = "0";

  // "Functions Dirty" beginning with N: functions registered non-volatile.
  bool volatile_functions() const;
  // "BuildToolBar" equal to Y without regard to case.
  bool toolbar_wanted() const;
  unsigned dde_time_out_ms() const { return static_cast<unsigned>(dde_time_out) * 1000u; }
};

// The report wizard's options, read on its first run (and written back
// whole), written when its last step is confirmed. "Create NGL Functions",
// the R1C1 letters, the sum function and the list separator are the
// add-in's own settings above.
struct WizardSettings {
  std::string report_title = "Report Title";         // up to 50 characters
  std::string formatting_macro = "KovoClassic1";     // up to 100 characters
  int do_zero_suppress = 0;
  int run_macro = 0;
};
WizardSettings read_wizard_settings(Profile& profile);
void write_wizard_settings(Profile& profile, const WizardSettings& settings);

// A time-out in whole seconds: digits only (blanks around allowed), at
// least 1 and small enough for its milliseconds to fit 32 bits. Anything
// else keeps the previous value. The Options dialog's field and the
// settings file obey the same rule: a time-out of 0 would fail every
// request, a negative or huge one would wrap into another.
long long timeout_from_text(std::string_view text, long long previous);

// Reads every key (absent keys take their defaults).
AddinSettings read_settings(Profile& profile);
// Writes every key.
void write_settings(Profile& profile, const AddinSettings& settings);

// Opening's reading: every key read and the whole set written back, with the
// list separator taken from the locale when it gives one and "Viewer" = "0".
AddinSettings open_settings(Profile& profile, std::string_view locale_list_separator);

// One key written alone (integers in decimal).
void write_setting(Profile& profile, std::string_view section, std::string_view key, std::string_view value);

}  // namespace kovo::addin
