// The names of DDEML's error codes, 0x4000 (DMLERR_FIRST) to 0x4011, in
// numeric order: the one table every client of the server names its DDE
// failures from. Portable: it needs nothing of Windows.
#pragma once

#include <array>
#include <string_view>

namespace kovo::dde {

inline constexpr unsigned kFirstErrorCode = 0x4000;

inline constexpr std::array<std::string_view, 18> kErrorNames{
    "DMLERR_ADVACKTIMEOUT",       "DMLERR_BUSY",
    "DMLERR_DATAACKTIMEOUT",      "DMLERR_DLL_NOT_INITIALIZED",
    "DMLERR_DLL_USAGE",           "DMLERR_EXECACKTIMEOUT",
    "DMLERR_INVALIDPARAMETER",    "DMLERR_LOW_MEMORY",
    "DMLERR_MEMORY_ERROR",        "DMLERR_NOTPROCESSED",
    "DMLERR_NO_CONV_ESTABLISHED", "DMLERR_POKEACKTIMEOUT",
    "DMLERR_POSTMSG_FAILED",      "DMLERR_REENTRANCY",
    "DMLERR_SERVER_DIED",         "DMLERR_SYS_ERROR",
    "DMLERR_UNADVACKTIMEOUT",     "DMLERR_UNFOUND_QUEUE_ID",
};

// The name of a code, or an empty view for a code outside the table
// (0, DMLERR_NO_ERROR, among them).
constexpr std::string_view error_name_of(unsigned code) {
  if (code < kFirstErrorCode || code - kFirstErrorCode >= kErrorNames.size()) return {};
  return kErrorNames[code - kFirstErrorCode];
}

}  // namespace kovo::dde
