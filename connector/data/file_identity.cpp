#include "data/file_identity.h"

namespace kovo::data {
namespace {

FileIdentityReader g_reader = nullptr;

}  // namespace

void set_file_identity_reader(FileIdentityReader reader) { g_reader = reader; }

std::optional<FileIdentity> file_identity(const std::string& path) {
  if (!g_reader || path.empty()) return std::nullopt;
  return g_reader(path);
}

bool KnownFile::replaced() const {
  if (!identity) return false;
  const auto now = file_identity(path);
  return !now || *now != *identity;
}

}  // namespace kovo::data
