// Text requests: an account's description or type, a segment value's
// description and a company's facts.
#pragma once

#include <string>
#include <string_view>

namespace kovo::requests {

int desc_request(std::string_view arguments, std::string& result);      // 103
int sdesc_request(std::string_view arguments, std::string& result);     // 114
int codata_request(std::string_view arguments, std::string& result);    // 115
int acctdata_request(std::string_view arguments, std::string& result);  // 116

// The company field of these requests: the setting "Company" when empty, cut
// at its first comma, 1 to 6 characters. Empty on failure (message 4 pending).
std::string single_company(std::string_view field);

}  // namespace kovo::requests
