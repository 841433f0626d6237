// What the connector's About window shows, from the entries of the library's
// version resource.
#pragma once

#include <string>

namespace kovo::windows {

struct VersionEntries {
  std::string product_name, product_version, special_build, copyright, trademarks;
};

struct AboutView {
  std::string caption;        // "About " and the product name
  std::string product;        // the product name
  std::string version;        // "Version " and the product version
  std::string special_build;  // "Special Build: " and the entry; empty when the entry is
  std::string legal;          // the copyright and the trademarks, a line each
};

AboutView about_view(const VersionEntries& entries);

}  // namespace kovo::windows
