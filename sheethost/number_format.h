// Number formats: a value written as a number format shows it ("#,##0.00",
// "0.00%", "0", sections for negatives and zero, quoted literals, dates).
#pragma once

#include <string>
#include <string_view>

#include "sheethost/value.h"

namespace kovo::sheet {

// The value as the format shows it; an empty format or "General" shows
// numbers in general form.
std::string format_value(const Value& value, std::string_view format);

}  // namespace kovo::sheet
