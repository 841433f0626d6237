#include "windows/about_text.h"

#include "specifier/text_util.h"

namespace kovo::windows {

using specifier::trimmed;

AboutView about_view(const VersionEntries& entries) {
  AboutView view;
  view.product = trimmed(entries.product_name);
  view.caption = view.product.empty() ? "About" : "About " + view.product;
  const std::string version = trimmed(entries.product_version);
  if (!version.empty()) view.version = "Version " + version;
  const std::string build = trimmed(entries.special_build);
  if (!build.empty()) view.special_build = "Special Build: " + build;
  for (const std::string& line : {trimmed(entries.copyright), trimmed(entries.trademarks)}) {
    if (line.empty()) continue;
    if (!view.legal.empty()) view.legal += "\r\n";
    view.legal += line;
  }
  return view;
}

}  // namespace kovo::windows
