// Record manager statuses as the connector reports them, and the safe form
// of a file path handed to the record manager.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kovo::btrv {

inline constexpr int kBtrieveError = 30;  // the connector's message "Btrieve error"
inline constexpr std::size_t kErrorTextSize = 512;
inline constexpr std::size_t kMaxNameInText = 90;

// String-table id of a record manager status's text.
int status_string_id(int status);

// "<name> - Btrieve Error <status> - <text>" (the name part only when given).
std::string error_text(int status, const char* name);

// Stores the status (0 included) and, for a failure, the error text; returns
// 0 for success and 30 otherwise.
int check_status(int status, const char* name);
int last_status();
// Whether a read's status only says there is no record there (end of file,
// key not found): the end of a walk. Any other failure is an error.
bool ran_out(int status);
const std::string& last_error_text();
// The error text rebuilt from the last status, as the second message box shows it.
std::string last_status_text();

// Blanks in the last path component become underscores; when blanks remain in
// the folders, short_form (which may create and remove a placeholder file)
// supplies the 8.3 form of the whole path, used only when it is not longer.
using ShortForm = std::function<std::string(const std::string& path)>;
std::string make_btrieve_path(std::string path, const ShortForm& short_form);

}  // namespace kovo::btrv
