// Puts the value and text requests behind their command codes.
#pragma once

namespace kovo::requests {

void install_requests();

}  // namespace kovo::requests
