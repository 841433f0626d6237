// Where a benchmark finds the built programs and the source tree under Wine.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

namespace kovo::bench {

// The folder of the running program, with its trailing backslash.
inline std::string program_folder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

// The source tree as Wine sees it (drive Z: is the machine's root).
inline std::string source_folder() {
  std::string root = KOVO_SOURCE_ROOT;
  std::replace(root.begin(), root.end(), '/', '\\');
  return "Z:" + root + "\\";
}

}  // namespace kovo::bench
