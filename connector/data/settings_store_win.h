#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace kovo {

std::string read_text_setting(const std::string& name, const std::string& fallback, std::size_t size);
int read_number_setting(const std::string& name, int fallback);
// 1 on success; writes the registry only.
bool write_setting(const std::string& name, const std::string& text);
void read_all_settings();
bool write_all_settings();
// The connector's own path with the text after its last "." replaced by "chm".
std::string help_file_path(HINSTANCE module);
// What "[SETUP" does without a user: writes the settings as the command's
// parameters left them; false with message 60 pending when it could not.
bool save_settings_for_command();
// Makes initialisation read the stored settings and the windows write them.
void install_settings_store();

}  // namespace kovo
