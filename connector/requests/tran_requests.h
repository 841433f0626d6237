// Transaction totals of the matching accounts between two dates.
#pragma once

#include <string>
#include <string_view>

#include "requests/tran_reader.h"

namespace kovo::requests {

int tran_request(TranKind kind, std::string_view arguments, std::string& result);

}  // namespace kovo::requests
