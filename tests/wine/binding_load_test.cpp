// The connector's record manager loading and open retry against libraries
// that are missing, incomplete or always busy. Each case runs the console
// from a folder of its own, so the library search finds only what the case
// puts there.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>
#include <sstream>
#include <string>

#include "program_runner.h"

namespace fs = std::filesystem;
using kovo::testing::bin_folder;
using kovo::testing::run_program;

namespace {

struct Folder {
  explicit Folder(const std::string& name, const char* fake_variant) {
    path = fs::temp_directory_path() / ("kovo-binding-" + name + "-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(path);
    fs::create_directories(path);
    for (const char* file : {"kovo-cli.exe", "Ledra5.dll"}) fs::copy_file(bin_folder() + file, path / file);
    if (fake_variant)
      fs::copy_file(bin_folder() + "fakes\\" + fake_variant + "\\W3BTRV7.DLL", path / "W3BTRV7.DLL");
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string ask(const std::string& request) const {
    const auto run = run_program("\"" + (path / "kovo-cli.exe").string() + "\" --value \"" + request + "\"");
    return run.output;
  }
  fs::path path;
};

std::string read_file(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(BindingLoad, NoLibraryAtAllFailsTheRequestCleanly) {
  Folder folder("none", nullptr);
  const std::string answer = folder.ask("GL;4000-10;This Month;DEMO");
  EXPECT_NE(answer.find("Kovo [CYMA] Btrieve error"), std::string::npos) << answer;
}

TEST(BindingLoad, LibraryWithoutItsFifthEntryIsNotUsed) {
  Folder folder("partial", "partial");
  const fs::path log = folder.path / "calls.log";
  SetEnvironmentVariableA("FAKE_BTRIEVE_LOG", log.string().c_str());
  const std::string answer = folder.ask("GL;4000-10;This Month;DEMO");
  SetEnvironmentVariableA("FAKE_BTRIEVE_LOG", nullptr);
  EXPECT_NE(answer.find("Kovo [CYMA] Btrieve error"), std::string::npos) << answer;
  EXPECT_FALSE(fs::exists(log)) << "no call goes to a library that lacks BTRCALLID";
}

TEST(BindingLoad, ABusyOpenIsRetriedOnceThenGivenUp) {
  Folder folder("busy", "full");
  const fs::path log = folder.path / "calls.log";
  SetEnvironmentVariableA("FAKE_BTRIEVE_LOG", log.string().c_str());
  SetEnvironmentVariableA("FAKE_BTRIEVE_STATUS", "87");
  const std::string answer = folder.ask("GL;4000-10;This Month;DEMO");
  SetEnvironmentVariableA("FAKE_BTRIEVE_LOG", nullptr);
  SetEnvironmentVariableA("FAKE_BTRIEVE_STATUS", nullptr);
  EXPECT_NE(answer.find("Kovo [CYMA] Btrieve error"), std::string::npos) << answer;
  // each attempt on a file is an open and one retry after freeing a handle,
  // then the connector moves on: the open calls come in runs of two
  std::vector<std::pair<std::string, int>> runs;
  std::istringstream lines(read_file(log));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("0 ", 0) != 0) continue;
    const std::string path = line.substr(2);
    if (!runs.empty() && runs.back().first == path) ++runs.back().second;
    else runs.push_back({path, 1});
  }
  ASSERT_GE(runs.size(), 3u);
  for (const auto& [path, count] : runs) EXPECT_EQ(count, 2) << path;
}

}  // namespace
