// A workbook of 10,000 GL cells (exact accounts of the demo company, a mix
// of periods) recalculated end to end: the sheet host, Kovo.XLL, DDE,
// Kovo.exe, the connector and the ledger. Beside it, in the same run, the
// same 10,000 request items as round trips to the bare DDEML echo server,
// and the same requests through the connector in process.
//
// The recalculation's time is the difference between a sheet host run that
// imports the workbook (which calculates it) and recalculates it once more,
// and a run that does the same and recalculates a second time.
//
// Runs from the build's bin folder: builds the demo ledger into a folder of
// its own and starts the echo server; the add-in starts Kovo.exe itself (the
// bench points "Path" in Kovo.ini at its folder and the connector's stored
// "System" at the ledger, and removes the connector's stored settings at the end).
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_paths_win.h"
#include "bench/bench_process_win.h"
#include "ddeclient/dde_client_win.h"

namespace {

using Clock = std::chrono::steady_clock;
using kovo::bench::Best;
using kovo::bench::connect_with_patience;
using kovo::bench::kConnectorKey;
using kovo::bench::program_folder;
using kovo::bench::source_folder;
using kovo::bench::start_detached;
using kovo::dde::Client;

constexpr DWORD kTimeout = 10000;
constexpr int kCells = 10000;
constexpr int kColumns = 100;
constexpr int kRounds = 2;

// Runs a program to its end; its duration in seconds, or -1 when it failed.
double run_timed(const std::string& command_line) {
  const auto begin = Clock::now();
  HANDLE process = kovo::bench::start_process(command_line);
  if (!process) return -1;
  // The sheet host's add-in announces its conversations to every window,
  // this program's DDE windows among them: their messages are taken meanwhile.
  while (MsgWaitForMultipleObjects(1, &process, FALSE, 600000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
  return kovo::bench::ended_well(process) ? seconds : -1;
}

}  // namespace

int main() {
  const std::string bin = program_folder();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "kovo-addin-bench";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string system = folder + "\\Cyma4";
  if (run_timed("\"" + bin + "kovo-ledger.exe\" build \"" + source_folder() + "examples\\demo.json\" \"" + system +
                "\"") < 0)
    return std::puts("the demo ledger could not be built"), 1;

  // The cells: exact accounts of the demo company, a mix of periods.
  const char* accounts[] = {"1000-10", "1100-10", "1200-10", "2000-10", "2900-10", "4000-10", "4000-20", "4000-30",
                            "4100-10", "4100-20", "5000-10", "5100-20", "5200-30", "6000-10", "6000-20", "6100-30",
                            "6200-10", "6300-20", "6400-30", "6500-10"};
  const char* periods[] = {"This Month", "Year to Date", "Last Month", "Month 1", "Month 2", "Month 3",
                           "Month 4", "Year to Date Last Year", "This Month Budget", "Year to Date Budget"};
  std::vector<std::string> items;
  std::string csv;
  for (int i = 0; i < kCells; ++i) {
    const std::string account = accounts[i % 20], period = periods[(i / 20) % 10];
    items.push_back("GL;" + account + ";" + period + ";DEMO");
    csv += "\"=GL(\"\"" + account + "\"\",\"\"" + period + "\"\",\"\"DEMO\"\")\"";
    csv += (i + 1) % kColumns == 0 ? "\r\n" : ",";
  }
  const std::string book = folder + "\\gl10000.csv";
  std::ofstream(book, std::ios::binary) << csv;

  // The bare echo first, then the sheet host alone with the server: the
  // add-in starts Kovo.exe from the "Path" setting at each opening (that
  // start is in both runs and drops out of their difference), and the
  // connector reads the bench's ledger from its stored "System" setting.
  Best echo_s, once_s, twice_s, in_process_s;
  {
    Client echo, probe;
    if (!start_detached(bin + "dde_echo_server.exe") || !connect_with_patience(echo, "KovoEcho", "Echo"))
      return std::puts("the echo server does not answer"), 1;
    if (probe.connect("Kovo", "Kovo")) {
      echo.execute("[QUIT]", kTimeout);
      return std::puts("a Kovo server is running already: close it first"), 1;
    }
    for (int round = 0; round < kRounds; ++round) {
      const auto begin = Clock::now();
      bool ok = true;
      for (const auto& item : items) ok = ok && echo.request_text(item, kTimeout).has_value();
      if (ok) echo_s.take(std::chrono::duration<double>(Clock::now() - begin).count());
    }
    echo.execute("[QUIT]", kTimeout);
  }
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kConnectorKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) ==
      ERROR_SUCCESS) {
    RegSetValueExA(key, "System", 0, REG_SZ, reinterpret_cast<const BYTE*>(system.c_str()),
                   static_cast<DWORD>(system.size() + 1));
    RegCloseKey(key);
  }
  char appdata[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, appdata, CSIDL_APPDATA, TRUE);
  const std::string settings = std::string(appdata) + "\\Kovo.ini";
  WritePrivateProfileStringA("Kovo Server", "Path", bin.c_str(), settings.c_str());

  const std::string sheet = "\"" + bin + "kovo-sheet.exe\" --addin \"" + bin + "Kovo.XLL\" --import \"" + book + "\" ";
  for (int round = 0; round < kRounds; ++round) {
    once_s.take(run_timed(sheet + "--calc"));
    twice_s.take(run_timed(sheet + "--calc --calc"));
  }
  // A sample of the recalculated values, to show that they are the ledger's.
  const std::string sample = folder + "\\gl10000.out.csv";
  run_timed(sheet + "--export \"" + sample + "\"");
  std::string head;
  std::getline(std::ifstream(sample), head);

  if (HMODULE connector = LoadLibraryA((bin + "Ledra5.dll").c_str())) {
    using InterfaceFn = int(WINAPI*)(int, const char*, char*);
    using VoidFn = int(WINAPI*)();
    auto init = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(connector, "KovoDoDLLInit")));
    auto call = reinterpret_cast<InterfaceFn>(reinterpret_cast<void*>(GetProcAddress(connector, "KovoDLLInterface")));
    auto cleanup = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(connector, "DLLCleanupFunc")));
    if (init && call && cleanup && init() == 0) {
      call(15, ("NoShow=1,System=" + system).c_str(), nullptr);
      std::vector<char> result(16000);
      for (int round = 0; round < kRounds; ++round) {
        const auto begin = Clock::now();
        for (const auto& item : items) {
          std::fill(result.begin(), result.end(), '\0');
          call(100, item.c_str() + 3, result.data());
        }
        in_process_s.take(std::chrono::duration<double>(Clock::now() - begin).count());
      }
      cleanup();
    }
  }

  const double recalc = twice_s.value - once_s.value;
  std::printf("first row of values: %.100s...\n", head.c_str());
  std::printf("10,000 bare DDE echo round trips:       %8.2f s  (%6.1f us each)\n", echo_s.value, echo_s.value * 100);
  std::printf("10,000 GL cells recalculated end to end: %7.2f s  (%6.1f us each, %.2f x the echo)\n", recalc,
              recalc * 100, recalc / echo_s.value);
  std::printf("10,000 GL requests in process:          %8.2f s  (%6.1f us each)\n", in_process_s.value,
              in_process_s.value * 100);
  std::printf("(sheet host runs: import+calc %.2f s, import+calc+calc %.2f s; best of %d rounds)\n", once_s.value,
              twice_s.value, kRounds);

  RegDeleteKeyA(HKEY_CURRENT_USER, kConnectorKey);  // back to the connector's defaults
  return 0;
}
