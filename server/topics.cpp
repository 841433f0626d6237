#include "server/topics.h"

#include <array>
#include <cctype>

namespace kovo::server {
namespace {

// Eight releases of each of the thirteen ledger families the connectors
// serve; "LEDRA5" reads Cyma IV.
constexpr std::array<std::string_view, kTopicCount> kTopics = {
    "Kovo",
    "LEDRA1", "LEDRA2", "LEDRA3", "LEDRA4", "LEDRA5", "LEDRA6", "LEDRA7", "LEDRA8",
    "KESTA1", "KESTA2", "KESTA3", "KESTA4", "KESTA5", "KESTA6", "KESTA7", "KESTA8",
    "VARDO1", "VARDO2", "VARDO3", "VARDO4", "VARDO5", "VARDO6", "VARDO7", "VARDO8",
    "NUMIX1", "NUMIX2", "NUMIX3", "NUMIX4", "NUMIX5", "NUMIX6", "NUMIX7", "NUMIX8",
    "TILMA1", "TILMA2", "TILMA3", "TILMA4", "TILMA5", "TILMA6", "TILMA7", "TILMA8",
    "ORVEN1", "ORVEN2", "ORVEN3", "ORVEN4", "ORVEN5", "ORVEN6", "ORVEN7", "ORVEN8",
    "PELKA1", "PELKA2", "PELKA3", "PELKA4", "PELKA5", "PELKA6", "PELKA7", "PELKA8",
    "ZANTO1", "ZANTO2", "ZANTO3", "ZANTO4", "ZANTO5", "ZANTO6", "ZANTO7", "ZANTO8",
    "MIRVA1", "MIRVA2", "MIRVA3", "MIRVA4", "MIRVA5", "MIRVA6", "MIRVA7", "MIRVA8",
    "HOLTA1", "HOLTA2", "HOLTA3", "HOLTA4", "HOLTA5", "HOLTA6", "HOLTA7", "HOLTA8",
    "FENRI1", "FENRI2", "FENRI3", "FENRI4", "FENRI5", "FENRI6", "FENRI7", "FENRI8",
    "GORVA1", "GORVA2", "GORVA3", "GORVA4", "GORVA5", "GORVA6", "GORVA7", "GORVA8",
    "DAVKO1", "DAVKO2", "DAVKO3", "DAVKO4", "DAVKO5", "DAVKO6", "DAVKO7", "DAVKO8",
};

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

}  // namespace

std::span<const std::string_view> topic_names() { return kTopics; }

bool equal_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

bool starts_with_nocase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equal_nocase(text.substr(0, prefix.size()), prefix);
}

std::optional<std::size_t> find_topic(std::string_view name) {
  for (std::size_t i = 0; i < kTopics.size(); ++i)
    if (equal_nocase(kTopics[i], name)) return i;
  return std::nullopt;
}

std::optional<std::size_t> find_connector_topic(std::string_view name) {
  const auto found = find_topic(name);
  if (!found || *found == kGenericTopic) return std::nullopt;
  return found;
}

}  // namespace kovo::server
