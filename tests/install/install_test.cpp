// The setup program and its uninstaller under Wine, in a prefix of their own
// that tests/install/run makes fresh for each run. The cases run in order,
// each starting from what the one before left, as a user's machine would:
// install, use, a refused install, upgrade, removal, and the demo ledger's
// refusals. KOVO_SETUP names the setup program, KOVO_VERSION its version.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "server_fixture.h"

namespace kovo::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kDefaultFolder[] = "C:\\Program Files\\Kovo";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kovo";
constexpr char kExcelOptions[] = "Software\\Microsoft\\Office\\16.0\\Excel\\Options";
const std::vector<std::string> kProgramFiles = {"Kovo.exe",       "Ledra5.dll",    "Kovo.XLL",     "Toolbar_v40.xlb",
                                                "Ledra5.chm",     "kovo-excel.exe", "Uninstall.exe"};

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// ------------------------------------------------------------------ registry

std::optional<std::string> read_text(HKEY root, const std::string& key, const std::string& name) {
  char data[2048] = {};
  DWORD size = sizeof data - 1, type = 0;
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return std::nullopt;
  const LONG status = RegQueryValueExA(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  return std::string(data);
}

std::optional<DWORD> read_number(HKEY root, const std::string& key, const std::string& name) {
  DWORD data = 0, size = sizeof data, type = 0;
  if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, &type, &data, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return data;
}

bool key_exists(HKEY root, const std::string& key) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

void write_text(HKEY root, const std::string& key, const std::string& name, const std::string& data) {
  HKEY handle;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr), ERROR_SUCCESS);
  RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>(data.size() + 1));
  RegCloseKey(handle);
}

// Every value of a key with its text (numbers as text too).
std::map<std::string, std::string> all_values(HKEY root, const std::string& key) {
  std::map<std::string, std::string> values;
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return values;
  for (DWORD i = 0;; ++i) {
    char name[512], data[2048] = {};
    DWORD name_size = sizeof name, data_size = sizeof data - 1, type = 0;
    if (RegEnumValueA(handle, i, name, &name_size, nullptr, &type, reinterpret_cast<BYTE*>(data), &data_size) !=
        ERROR_SUCCESS)
      break;
    values[name] = type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : std::string(data);
  }
  RegCloseKey(handle);
  return values;
}

// ------------------------------------------------------------------ programs

struct SetupRun {
  DWORD exit_code = 0xFFFFFFFF;
  std::string errors;  // what it wrote to standard error
};

// Runs a setup program or uninstaller from C:\ and waits until it and every
// process it started have ended: the uninstaller runs a copy of itself from
// the temporary folder and ends at once, so the process alone is not enough.
// A job holds them all; its process count says when they are done.
// With boxes given, the boxes the program shows are recorded and answered
// with answer (a watcher reads them as a user would).
SetupRun run_setup(const std::string& program, const std::string& arguments, std::vector<SeenBox>* boxes = nullptr,
                   int answer = IDCANCEL, DWORD timeout_ms = 120000) {
  SetupRun run;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const std::string errors_path = (fs::temp_directory_path() / "kovo-setup-errors.txt").string();
  HANDLE errors = CreateFileA(errors_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = errors;
  PROCESS_INFORMATION process{};
  std::string line = "\"" + program + "\" " + arguments;
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  const bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                                      "C:\\", &startup, &process);
  CloseHandle(errors);
  if (!started) {
    run.errors = "could not start " + line;
    CloseHandle(job);
    return run;
  }
  AssignProcessToJobObject(job, process.hProcess);
  std::unique_ptr<BoxWatcher> watcher;
  if (boxes) {
    watcher = std::make_unique<BoxWatcher>(process.dwProcessId);
    watcher->queue_answers({answer});
  }
  ResumeThread(process.hThread);
  const bool process_ended = WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_OBJECT_0;
  GetExitCodeProcess(process.hProcess, &run.exit_code);
  const bool all_ended = process_ended && wait_for(
                                              [&] {
                                                JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
                                                return QueryInformationJobObject(
                                                           job, JobObjectBasicAccountingInformation, &info,
                                                           sizeof info, nullptr) &&
                                                       info.ActiveProcesses == 0;
                                              },
                                              static_cast<int>(timeout_ms));
  if (!all_ended) {
    TerminateJobObject(job, 99);
    run.exit_code = 0xDEAD;
  }
  if (watcher) *boxes = watcher->boxes();
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(job);
  std::ifstream in(errors_path, std::ios::binary);
  run.errors.assign(std::istreambuf_iterator<char>(in), {});
  return run;
}

SetupRun install(const std::string& arguments) { return run_setup(environment("KOVO_SETUP"), arguments); }
SetupRun uninstall(const std::string& folder, const std::string& arguments) {
  return run_setup(folder + "\\Uninstall.exe", arguments);
}

// The installed server, started from its folder as the Start menu does.
class InstalledServer {
 public:
  explicit InstalledServer(const std::string& folder) {
    std::string line = "\"" + folder + "\\Kovo.exe\" MIN";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                              &process_) &&
               wait_for([&] { return client_.connect("Kovo", "LEDRA5") || ended(); }, 30000) && !ended();
  }
  ~InstalledServer() {
    if (!process_.hProcess) return;
    if (!ended()) TerminateProcess(process_.hProcess, 98);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  bool started() const { return started_; }
  std::string ask(const std::string& item) { return client_.request_text(item, 30000).value_or("<no answer>"); }
  // "[CLOSE]", then the conversation ends and the server quits.
  bool close() {
    client_.execute("[CLOSE]", 10000);
    client_.disconnect();
    return WaitForSingleObject(process_.hProcess, 20000) == WAIT_OBJECT_0;
  }
  bool ended() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }

 private:
  PROCESS_INFORMATION process_{};
  dde::Client client_;
  bool started_ = false;
};

std::string common_programs() {
  char folder[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, folder, CSIDL_COMMON_PROGRAMS, FALSE);
  return folder;
}

std::string ini_text(const char* section, const char* key) {
  char text[512] = {};
  GetPrivateProfileStringA(section, key, "<missing>", text, sizeof text, settings_file().c_str());
  return text;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The Excel options key as the user had it before Kovo came.
const std::map<std::string, std::string> kExcelBefore = {{"OPEN", "\"C:\\Add-ins\\Budget Tools.xll\""},
                                                         {"OPEN1", "/R \"C:\\Add-ins\\Rates.xla\""},
                                                         {"Options", "0"}};

void expect_excel_as_before() {
  auto values = all_values(HKEY_CURRENT_USER, kExcelOptions);
  EXPECT_EQ(values, kExcelBefore);
}

// ------------------------------------------------------------------ the cases

TEST(Install, WithoutExcelItSaysSoAndInstallsAll) {
  ASSERT_FALSE(environment("KOVO_SETUP").empty()) << "KOVO_SETUP names the setup program";
  auto run = install("/S");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_NE(run.errors.find("No Excel was found"), std::string::npos) << run.errors;
  EXPECT_TRUE(exists(std::string(kDefaultFolder) + "\\Kovo.XLL"));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, "Software\\Microsoft\\Office"));
  run = uninstall(kDefaultFolder, "/S /PURGE");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_FALSE(exists(kDefaultFolder));
}

TEST(Install, SilentInstallPutsEveryPieceInPlace) {
  for (const auto& [name, data] : kExcelBefore) write_text(HKEY_CURRENT_USER, kExcelOptions, name, data);

  const auto run = install("/S /DEMO");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;

  const std::string folder = kDefaultFolder;
  for (const auto& file : kProgramFiles) EXPECT_TRUE(exists(folder + "\\" + file)) << file;
  EXPECT_TRUE(exists(folder + "\\WBTRV32.DLL"));
  EXPECT_TRUE(exists(folder + "\\Demo Ledger\\kovo-ledger.built"));

  // The list of installed programs.
  EXPECT_EQ(read_text(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), environment("KOVO_VERSION"));
  EXPECT_EQ(read_text(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Kovo - The Ledger Companion");
  EXPECT_EQ(read_text(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), "Talvik Systems Corporation");
  EXPECT_EQ(read_text(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation"), folder);
  EXPECT_EQ(read_text(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString"),
            "\"" + folder + "\\Uninstall.exe\" /S");
  const auto size_kb = read_number(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize");
  ASSERT_TRUE(size_kb.has_value());
  EXPECT_GE(*size_kb, fs::file_size(folder + "\\Kovo.exe") / 1024 + fs::file_size(folder + "\\Ledra5.dll") / 1024);

  // Excel opens the add-in after the user's own two.
  auto excel = kExcelBefore;
  excel["OPEN2"] = "\"" + folder + "\\Kovo.XLL\"";
  EXPECT_EQ(all_values(HKEY_CURRENT_USER, kExcelOptions), excel);

  // The add-in finds the server; the connector reads the demo ledger.
  EXPECT_EQ(ini_text("Kovo Server", "Path"), folder + "\\");
  EXPECT_EQ(read_text(HKEY_CURRENT_USER, kSettingsKey, "System"), folder + "\\Demo Ledger");
  EXPECT_TRUE(exists(common_programs() + "\\Kovo\\Kovo Server.lnk"));
}

TEST(Install, InstalledServerAnswersFromTheDemoLedger) {
  const std::string folder = kDefaultFolder;
  InstalledServer server(folder);
  ASSERT_TRUE(server.started());
  const std::string version = server.ask("KovoVERSION");
  EXPECT_EQ(version.rfind("Kovo Version ", 0), 0u) << version;
  EXPECT_NE(version.find("\tKovo Server Version "), std::string::npos) << version;
  EXPECT_EQ(server.ask("CODATA;NAME;DEMO"), "Demo Manufacturing Inc.\r\n");
  const std::string figure = server.ask("GL;4000-10;This Month;DEMO");
  // The same request answered in process by the installed connector.
  const auto local = run_console("--library \"" + folder + "\\Ledra5.dll\" --value \"GL;4000-10;This Month;DEMO\"");
  const auto first_line = [](const std::string& text) { return text.substr(0, text.find_first_of("\r\n\\")); };
  EXPECT_EQ(first_line(figure), first_line(local.output));
  EXPECT_NE(figure.find_first_of("0123456789"), std::string::npos) << figure;
  EXPECT_EQ(figure.find("Kovo ["), std::string::npos) << figure;
  EXPECT_TRUE(server.close());
  EXPECT_EQ(ini_text("Kovo Server", "Path"), folder + "\\");
}

TEST(Install, NothingIsReplacedWhileTheServerRuns) {
  const std::string folder = kDefaultFolder;
  const auto written = fs::last_write_time(folder + "\\Kovo.exe");
  InstalledServer server(folder);
  ASSERT_TRUE(server.started());

  // Silent: refused at once, the reason on standard error.
  const auto silent = install("/S");
  EXPECT_EQ(silent.exit_code, 2u);
  EXPECT_NE(silent.errors.find("The Kovo Server (Kovo.exe) is running"), std::string::npos) << silent.errors;
  EXPECT_NE(silent.errors.find("Quit Server"), std::string::npos) << silent.errors;
  // With a user: the box says how to close it; Cancel gives up.
  std::vector<SeenBox> boxes;
  EXPECT_EQ(run_setup(environment("KOVO_SETUP"), "", &boxes, IDCANCEL).exit_code, 2u);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("Quit Server"), std::string::npos) << boxes[0].text;
  // The uninstaller refuses as well (run in place, as it otherwise hands over
  // to a copy of itself and its own status says nothing).
  EXPECT_EQ(uninstall(folder, "/S _?=" + folder).exit_code, 2u);
  EXPECT_TRUE(exists(folder + "\\Uninstall.exe"));
  EXPECT_EQ(fs::last_write_time(folder + "\\Kovo.exe"), written);
  EXPECT_TRUE(server.close());
}

TEST(Install, UpgradeKeepsTheUsersSettingsAndLedger) {
  const std::string folder = kDefaultFolder;
  WritePrivateProfileStringA("Kovo Excel", "DDE Time Out", "42", settings_file().c_str());
  write_text(HKEY_CURRENT_USER, kSettingsKey, "Company", "MFG2");
  const std::string ledger_file = folder + "\\Demo Ledger\\kovo-ledger.built";
  const auto ledger_written = fs::last_write_time(ledger_file);
  std::ofstream(folder + "\\Demo Ledger\\my notes.txt") << "budget ideas\n";

  // The demo ledger of the earlier installation comes along without /DEMO.
  const auto run = install("/S");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_EQ(ini_text("Kovo Excel", "DDE Time Out"), "42");
  EXPECT_EQ(read_text(HKEY_CURRENT_USER, kSettingsKey, "Company"), "MFG2");
  EXPECT_EQ(read_text(HKEY_CURRENT_USER, kSettingsKey, "System"), folder + "\\Demo Ledger");
  EXPECT_EQ(fs::last_write_time(ledger_file), ledger_written);
  EXPECT_TRUE(exists(folder + "\\Demo Ledger\\my notes.txt"));
  EXPECT_TRUE(exists(folder + "\\WBTRV32.DLL"));
  // Attached once, not twice.
  auto excel = kExcelBefore;
  excel["OPEN2"] = "\"" + folder + "\\Kovo.XLL\"";
  EXPECT_EQ(all_values(HKEY_CURRENT_USER, kExcelOptions), excel);
}

TEST(Install, SilentUninstallRemovesWhatSetupInstalledAndKeepsSettingsAndLedger) {
  const std::string folder = kDefaultFolder;
  const auto run = uninstall(folder, "/S");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  for (const auto& file : kProgramFiles) EXPECT_FALSE(exists(folder + "\\" + file)) << file;
  EXPECT_FALSE(exists(folder + "\\WBTRV32.DLL"));
  EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_FALSE(exists(common_programs() + "\\Kovo"));
  expect_excel_as_before();
  // The user's settings and the ledger stay.
  EXPECT_EQ(ini_text("Kovo Excel", "DDE Time Out"), "42");
  EXPECT_EQ(read_text(HKEY_CURRENT_USER, kSettingsKey, "Company"), "MFG2");
  EXPECT_TRUE(exists(folder + "\\Demo Ledger\\kovo-ledger.built"));
  EXPECT_TRUE(exists(folder + "\\Demo Ledger\\my notes.txt"));
}

TEST(Install, DemoLedgerNeverGoesOverALedgerOrARecordManager) {
  // The ledger the removal kept is in the way: Kovo installs, the demo does not.
  const std::string folder = kDefaultFolder;
  auto run = install("/S /DEMO");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_NE(run.errors.find("demo ledger was not installed"), std::string::npos) << run.errors;
  EXPECT_TRUE(exists(folder + "\\Kovo.exe"));
  EXPECT_FALSE(exists(folder + "\\WBTRV32.DLL"));
  EXPECT_FALSE(read_text(HKEY_LOCAL_MACHINE, kUninstallKey, "DemoLedger").has_value());
  // Removing everything, settings too, still leaves a ledger it did not install.
  run = uninstall(folder, "/S /PURGE");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_FALSE(exists(settings_file()));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kSettingsKey));
  EXPECT_TRUE(exists(folder + "\\Demo Ledger\\my notes.txt"));
  fs::remove_all(folder);

  // A record manager of the accounting system on the machine: the stand-in
  // stays out, in a folder of the user's choosing too.
  const std::string elsewhere = "C:\\Kovo Elsewhere";
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string record_manager = std::string(system) + "\\W3BTRV7.DLL";
  std::ofstream(record_manager) << "a record manager";
  run = install("/S /DEMO /D=" + elsewhere);
  DeleteFileA(record_manager.c_str());
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_NE(run.errors.find("W3BTRV7.DLL"), std::string::npos) << run.errors;
  EXPECT_TRUE(exists(elsewhere + "\\Kovo.exe"));
  EXPECT_FALSE(exists(elsewhere + "\\WBTRV32.DLL"));
  EXPECT_FALSE(exists(elsewhere + "\\Demo Ledger"));
  EXPECT_FALSE(read_text(HKEY_CURRENT_USER, kSettingsKey, "System").has_value());
  EXPECT_EQ(all_values(HKEY_CURRENT_USER, kExcelOptions).at("OPEN2"), "\"" + elsewhere + "\\Kovo.XLL\"");
  run = uninstall(elsewhere, "/S");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_FALSE(exists(elsewhere));
  expect_excel_as_before();
}

TEST(Install, PurgeRemovesTheDemoLedgerAndSettingsToo) {
  const std::string folder = kDefaultFolder;
  auto run = install("/S /DEMO");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  ASSERT_TRUE(exists(folder + "\\Demo Ledger\\kovo-ledger.built"));
  run = uninstall(folder, "/S /PURGE");
  ASSERT_EQ(run.exit_code, 0u) << run.errors;
  EXPECT_FALSE(exists(folder));
  EXPECT_FALSE(exists(settings_file()));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, kSettingsKey));
  EXPECT_FALSE(key_exists(HKEY_LOCAL_MACHINE, kUninstallKey));
  expect_excel_as_before();
}

}  // namespace
}  // namespace kovo::testing
