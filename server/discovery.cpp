#include "server/discovery.h"

#include "server/messages.h"

namespace kovo::server {
namespace {

constexpr std::string_view kMakers[] = {"Kovo", "Talvik", "Quenby", "Harrow Union Inc."};
constexpr unsigned long kErrorBadFormat16 = 31;

bool from_family_maker(std::string_view company) {
  for (const auto maker : kMakers)
    if (starts_with_nocase(company, maker)) return true;
  return false;
}

const LibraryFile* file_named(const std::vector<LibraryFile>& files, std::string_view name) {
  for (const auto& file : files)
    if (equal_nocase(file.name, name)) return &file;
  return nullptr;
}

}  // namespace

std::optional<std::size_t> topic_by_version(const LibraryVersion& version) {
  if (!from_family_maker(version.company)) return std::nullopt;
  if (!starts_with_nocase(version.product, "Kovo")) return std::nullopt;
  return find_connector_topic(version.internal_name);
}

std::size_t discover_connectors(Service& service, std::string_view start_directory,
                                const std::vector<LibraryFile>& files) {
  const std::string folder(start_directory);
  for (const auto& file : files) {
    if (file.name.empty() || file.name.front() == '.' || !file.version) continue;
    const auto topic = topic_by_version(*file.version);
    if (!topic || service.entry(*topic).installed) continue;
    service.install(*topic, folder + file.name, file.version->product);
  }
  const auto names = topic_names();
  for (std::size_t topic = 1; topic < names.size(); ++topic) {
    if (service.entry(topic).installed) continue;
    const std::string file_name = std::string(names[topic]) + ".DLL";
    if (const LibraryFile* file = file_named(files, file_name))
      service.install(topic, folder + file->name, std::string(names[topic]));
  }
  return service.installed_count();
}

std::string load_failure_text(std::string_view path, unsigned long error, std::string_view system_text) {
  std::string detail = "\r\nDLL file: " + std::string(path) + "\r\nLibrary load error code: " + std::to_string(error);
  if (error == kErrorBadFormat16) {
    detail += "\r\nThe DLL you attempted to load may be a 16 bit version.\r\nInstall the 16 bit Kovo server.";
  } else {
    detail += "\n";
    detail += system_text;
  }
  return server_message(kMsgLoadFailed, detail);
}

std::string init_failure_text(std::string_view path) {
  return server_message(kMsgInitFailed, "\r\nDLL file: " + std::string(path) + "\r\n");
}

}  // namespace kovo::server
