// The identity of a file on Windows: the volume serial number, the file index
// and the last write time of its information. The file is opened for its attributes only and
// shared every way, so the check never stands in the way of the record
// manager or of a program that replaces the file.
#include <windows.h>

#include "data/file_identity.h"

namespace kovo::data {
namespace {

std::optional<FileIdentity> windows_identity(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  const BOOL read = GetFileInformationByHandle(file, &information);
  CloseHandle(file);
  if (!read) return std::nullopt;
  return FileIdentity{
      information.dwVolumeSerialNumber,
      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow,
      (static_cast<std::uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32) |
          information.ftLastWriteTime.dwLowDateTime};
}

struct InstallReader {
  InstallReader() { set_file_identity_reader(&windows_identity); }
} g_install_reader;

}  // namespace
}  // namespace kovo::data
