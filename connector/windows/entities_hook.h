// What the lists take from a company's financial entities file. The file's
// own module installs these; until then they answer nothing and the lists
// use the ledger's own segment values.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::data {
struct CompanyContext;
}

namespace kovo::windows {

struct EntitiesHook {
  // The entities and described values of a segment position (from 1) as the
  // "Is:" choices, each "name;description".
  std::vector<std::string> (*choices)(data::CompanyContext& company, int position) = nullptr;
  // An entity name of a segment position (from 1) turned into its values
  // ("a,b,c"); nothing when the name is not an entity.
  std::optional<std::string> (*translate)(data::CompanyContext& company, int position,
                                          std::string_view name) = nullptr;
};

EntitiesHook& entities_hook();

}  // namespace kovo::windows
