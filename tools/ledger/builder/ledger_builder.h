// Builds a CYMA system directory from a JSON description, writing every
// file through the record manager's call only (create and insert).
#pragma once

#include <string>
#include <string_view>

#include "recman/btrcall.h"

namespace kovo::ledger {

struct BuildResult {
  bool ok = false;
  std::string error;  // names the company, the record and the member
  int files = 0;
  long records = 0;
};

// The description is checked whole before anything is written; the files
// are written into a sibling folder that replaces system_dir at the end, so
// a refused or failed build leaves nothing half-written behind. Data
// directories that do not lie under the system directory are written in
// place.
// folder_form turns an existing folder into the form the record manager
// takes (on Windows the short form, since a blank ends a record manager path).
using FolderForm = std::string (*)(const std::string& folder);
BuildResult build_ledger(std::string_view description_json, const std::string& system_dir,
                         recman::BtrCallFn call, FolderForm folder_form = nullptr);

// A path as the file system of this build takes it (Windows separators on
// Windows, "/" elsewhere).
std::string native_path(std::string path);

}  // namespace kovo::ledger
