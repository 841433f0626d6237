// The connector's settings store: the registry under the current user, with
// the profile file "Kovo.INI" as the fallback for values the registry lacks.
#pragma once

#include <string>

#include "entry/settings.h"

namespace kovo {

inline constexpr char kSettingsSection[] = "Kovo for LEDRA5";
inline constexpr char kSettingsProfile[] = "Kovo.INI";
inline constexpr char kSettingsRegistryKey[] =
    "SOFTWARE\\Talvik Systems Corporation\\Kovo\\4.0\\Kovo for LEDRA5";

// "%u:%.2u:%.2u on %s %s %u, %u": hour, minute, second, weekday, month, day, year.
std::string settings_time_text(int hour, int minute, int second, int weekday, int month,
                               int day, int year);

// The highlight threshold written as a decimal number of up to 15 significant digits.
std::string threshold_text(double value);

// Brings values read from the store into their allowed forms.
void normalize_read_settings(Settings& s);

}  // namespace kovo
