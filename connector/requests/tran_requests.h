// Transaction totals of the matching accounts between two dates.
#pragma once

#include <string>
#include <string_view>

namespace kovo::requests {

enum class TranKind { General, Grant, JobCost };  // GLTRAN, GTTRAN, JCTRAN

int tran_request(TranKind kind, std::string_view arguments, std::string& result);

}  // namespace kovo::requests
