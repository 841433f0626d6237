// Tables the connector's windows hand over as text (on the clipboard, or as
// a list command's answer): one item a line, lines ended by CR LF, a
// leading apostrophe (which keeps an item text in a sheet) dropped, and
// every line cut at 200 characters. The report wizard's lists and the
// enquiry paste read them the same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kovo::addin {

inline constexpr std::size_t kMaxLineLength = 200;

// One line as read: without its leading apostrophe, at most 200 characters.
std::string table_line(std::string_view line);

// Every line of a text (CR LF or LF ends a line; a last line without an end
// counts, an empty text has none).
std::vector<std::string> table_lines(std::string_view text);

}  // namespace kovo::addin
