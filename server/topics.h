// The topic table: the generic topic "Kovo" and the base names of every
// connector the server knows. A connector's base name is both its DDE topic
// and the base of its library's file name. The server and the add-in's
// conversation table both walk this one table.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace kovo::server {

inline constexpr std::string_view kServiceName = "Kovo";
inline constexpr std::string_view kGenericTopicName = "Kovo";
inline constexpr std::size_t kGenericTopic = 0;
inline constexpr std::size_t kTopicCount = 105;

// All 105 names in table order: the generic topic first, then the 104
// connector base names.
std::span<const std::string_view> topic_names();

// Index of a name in the table (the generic topic included), compared
// without regard to case.
std::optional<std::size_t> find_topic(std::string_view name);

// Index of a connector base name (the generic topic is not a connector).
std::optional<std::size_t> find_connector_topic(std::string_view name);

// Comparison of ASCII text without regard to case, as topics and items use it.
bool equal_nocase(std::string_view a, std::string_view b);
bool starts_with_nocase(std::string_view text, std::string_view prefix);

}  // namespace kovo::server
