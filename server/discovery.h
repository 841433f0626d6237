// Finding the installed connectors among the libraries beside the server,
// and the error texts of loading one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/service.h"

namespace kovo::server {

// The strings of a library's version resource that discovery reads.
struct LibraryVersion {
  std::string company;
  std::string product;
  std::string internal_name;
};

// One "*.DLL" file of the start directory; version is empty when the file
// has no readable version resource.
struct LibraryFile {
  std::string name;
  std::optional<LibraryVersion> version;
};

// The connector topic a version resource identifies: the company begins with
// one of the family's makers, the product with "Kovo", and the internal name
// is a connector base name. Nothing for any other library.
std::optional<std::size_t> topic_by_version(const LibraryVersion& version);

// Marks every connector found, first by version resource (under any file
// name), then by file name. start_directory ends with a backslash. Returns
// the number of connectors installed.
std::size_t discover_connectors(Service& service, std::string_view start_directory,
                                const std::vector<LibraryFile>& files);

// Last-error texts of a failed load and of a failed initialisation.
std::string load_failure_text(std::string_view path, unsigned long error, std::string_view system_text);
std::string init_failure_text(std::string_view path);

}  // namespace kovo::server
