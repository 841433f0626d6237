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
  std::string note;   // what became of a replaced target, when there is something to say
  int files = 0;
  long records = 0;
};

// The description is checked whole before anything is written: ids, names
// and every text member must fit the record layouts and what the connector
// can read back, and every path it produces lies inside the system directory.
// The files are written into a fresh sibling folder that takes the place of
// system_dir only when complete, so a refused or failed build leaves the
// previous ledger whole and no staging folder behind.
//
// system_dir is replaced only when it is absent, an empty folder, or a ledger
// this builder wrote (it carries the marker file kLedgerMarker listing the
// files written); anything else is refused unless options.replace is set, and
// even then it is moved aside to a sibling folder, never deleted. An old
// ledger of the builder's own loses only the files its marker lists, and
// nothing is ever deleted by following a link.
//
// folder_form turns an existing folder into the form the record manager
// takes (on Windows the short form, since a blank ends a record manager path).
using FolderForm = std::string (*)(const std::string& folder);
// Whether a path is a link (a symbolic link, junction or other reparse point)
// rather than the file or folder it leads to.
using LinkTest = bool (*)(const std::string& path);

// Whether another program holds a file open (on Windows: it cannot be opened
// without sharing). A ledger in use is never replaced: a program reading it
// would go on reading the files moved aside, or lose them.
using InUseTest = bool (*)(const std::string& path);

inline constexpr const char* kLedgerMarker = "kovo-ledger.built";
// Files of a foreign target looked at for use; a bigger folder is refused.
inline constexpr std::size_t kMaxFilesExamined = 100000;

struct BuildOptions {
  bool replace = false;       // replace a target the builder did not write (moved aside)
  LinkTest is_link = nullptr;  // null: the standard library's symbolic link test
  InUseTest in_use = nullptr;  // null: files are never taken for in use
};

BuildResult build_ledger(std::string_view description_json, const std::string& system_dir,
                         recman::BtrCallFn call, FolderForm folder_form = nullptr, BuildOptions options = {});

// A path as the file system of this build takes it (Windows separators on
// Windows, "/" elsewhere).
std::string native_path(std::string path);

}  // namespace kovo::ledger
