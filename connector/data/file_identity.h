// Which file a path names, as the file system tells it apart from every other
// file: a file moved aside and another put at its path (a ledger rebuilt, a
// company restored from a backup) has the same name but another identity.
// The record manager gives no such thing; the connector asks the file system
// directly (on Windows the volume, file index and last write time of the
// file's information).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kovo::data {

struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  // When it was last written: a file closed after reading may have its index
  // taken by the file that replaces it, but not its time as well.
  std::uint64_t written = 0;
  bool operator==(const FileIdentity&) const = default;
};

// Reads the identity of the file at a path; nothing when it is not there or
// cannot be asked. Installed by the platform layer; without one, identities
// are unknown and files are never taken for replaced.
using FileIdentityReader = std::optional<FileIdentity> (*)(const std::string& path);
void set_file_identity_reader(FileIdentityReader reader);
std::optional<FileIdentity> file_identity(const std::string& path);

// A file the connector read or holds open, with its identity at that moment.
struct KnownFile {
  std::string path;
  std::optional<FileIdentity> identity;  // unknown: not checked later

  static KnownFile of(const std::string& path) { return {path, file_identity(path)}; }
  // Whether the path now names another file, or none.
  bool replaced() const;
};

}  // namespace kovo::data
