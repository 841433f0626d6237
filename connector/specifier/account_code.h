// An account code as stored (segments run together) written with "-"
// between its segments, as lists and answers show it.
#pragma once

#include <string>
#include <string_view>

#include "specifier/account_structure.h"
#include "specifier/text_util.h"

namespace kovo::specifier {

inline std::string hyphenated_code(std::string_view code, const AccountStructure& structure) {
  std::string out;
  std::size_t at = 0;
  for (int i = 0; i < structure.segment_count && i < kMaxSegments; ++i) {
    if (i) out += '-';
    const auto width = static_cast<std::size_t>(structure.width[static_cast<std::size_t>(i)]);
    if (at < code.size()) out += code.substr(at, width);
    at += width;
  }
  return std::string(trim_right(out));
}

}  // namespace kovo::specifier
