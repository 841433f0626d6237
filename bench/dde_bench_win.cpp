// Round trips from a client process to the server: "KovoVERSION" and an
// exact GL request on the demo ledger, beside the same client's round trip
// to a bare DDEML echo server measured in the same run. The GL request is
// also timed in process, straight through KovoDLLInterface, to show how the
// time divides between DDE and the connector.
//
// Runs from the build's bin folder: builds the demo ledger into a folder of
// its own with kovo-ledger, starts the echo server and Kovo.exe, and stops
// both at the end.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_paths_win.h"
#include "bench/bench_process_win.h"
#include "ddeclient/dde_client_win.h"

namespace {

using Clock = std::chrono::steady_clock;
using kovo::bench::Best;
using kovo::bench::connect_with_patience;
using kovo::bench::program_folder;
using kovo::bench::source_folder;
using kovo::bench::start_detached;
using kovo::dde::Client;

constexpr DWORD kTimeout = 10000;
constexpr int kRounds = 7;
constexpr int kPerRound = 800;
constexpr char kGlItem[] = "GL;4000-10;This Month;DEMO";

// Microseconds per round trip of one round of requests; -1 when one failed.
double round_trip_us(Client& client, const std::string& item, const std::string& expected_start) {
  const auto begin = Clock::now();
  for (int i = 0; i < kPerRound; ++i) {
    const auto answer = client.request_text(item, kTimeout);
    if (!answer || answer->compare(0, expected_start.size(), expected_start) != 0) return -1;
  }
  return std::chrono::duration<double, std::micro>(Clock::now() - begin).count() / kPerRound;
}

}  // namespace

int main() {
  const std::string bin = program_folder();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string system = std::string(temp) + "kovo-dde-bench";
  if (!kovo::bench::run_and_wait("\"" + bin + "kovo-ledger.exe\" build --replace \"" + source_folder() +
                                      "examples\\demo.json\" \"" + system + "\"",
                                  120000))
    return std::puts("the demo ledger could not be built"), 1;

  Client echo, server, generic;
  if (!start_detached(bin + "dde_echo_server.exe") || !connect_with_patience(echo, "KovoEcho", "Echo"))
    return std::puts("the echo server does not answer"), 1;
  // The bench points the connector at its own ledger, so it wants a server of its own.
  if (generic.connect("Kovo", "Kovo")) {
    echo.execute("[QUIT]", kTimeout);
    return std::puts("a Kovo server is running already: close it first"), 1;
  }
  if (!start_detached(bin + "Kovo.exe") || !connect_with_patience(generic, "Kovo", "Kovo"))
    return std::puts("Kovo.exe does not answer"), 1;
  if (!server.connect("Kovo", "LEDRA5")) return std::puts("the server offers no LEDRA5 topic"), 1;
  // Points the connector at the bench's ledger for this run only.
  server.request_text("[DLLSETUP(NoShow=1,System=" + system + ")]", kTimeout);
  const auto gl_answer = server.request_text(kGlItem, kTimeout);
  const auto version_answer = server.request_text("KovoVERSION", kTimeout);
  if (!gl_answer || !version_answer) return std::puts("the server does not answer"), 1;
  std::printf("%s -> %s", kGlItem, gl_answer->c_str());
  std::printf("KovoVERSION -> %s\n", version_answer->c_str());

  // The machine is shared: the three kinds run in alternating rounds and the
  // best round of each counts.
  // The echo is asked with both items: the item text travels as a string
  // handle, whose cost depends on whether both sides hold it already.
  Best bare, bare_version, version, gl, gl_invalid;
  for (int round = 0; round < kRounds; ++round) {
    bare.take(round_trip_us(echo, kGlItem, "GL;"));
    bare_version.take(round_trip_us(echo, "KovoVERSION", "KovoVERSION"));
    version.take(round_trip_us(server, "KovoVERSION", "Kovo Version"));
    gl.take(round_trip_us(server, kGlItem, gl_answer->substr(0, 4)));
    gl_invalid.take(round_trip_us(server, "GL;1", "Kovo"));
  }

  // The same GL request in process: the connector's share of the round trip.
  double in_process = -1;
  if (HMODULE connector = LoadLibraryA((bin + "Ledra5.dll").c_str())) {
    using InterfaceFn = int(WINAPI*)(int, const char*, char*);
    using VoidFn = int(WINAPI*)();
    auto init = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(connector, "KovoDoDLLInit")));
    auto call = reinterpret_cast<InterfaceFn>(reinterpret_cast<void*>(GetProcAddress(connector, "KovoDLLInterface")));
    auto cleanup = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(connector, "DLLCleanupFunc")));
    if (init && call && cleanup && init() == 0) {
      call(15, ("NoShow=1,System=" + system).c_str(), nullptr);
      std::vector<char> result(16000);
      Best best;
      for (int round = 0; round < kRounds; ++round) {
        const auto begin = Clock::now();
        for (int i = 0; i < kPerRound; ++i) {
          std::fill(result.begin(), result.end(), '\0');
          call(100, "4000-10;This Month;DEMO", result.data());
        }
        best.take(std::chrono::duration<double, std::micro>(Clock::now() - begin).count() / kPerRound);
      }
      in_process = best.value;
      cleanup();
    }
  }

  std::printf("bare DDE echo, item of the GL request: %8.1f us\n", bare.value);
  std::printf("bare DDE echo, item KovoVERSION:       %8.1f us\n", bare_version.value);
  std::printf("KovoVERSION round trip:                %8.1f us  (%.2f x its echo)\n", version.value,
              version.value / bare_version.value);
  std::printf("exact GL round trip:                   %8.1f us  (%.2f x its echo)\n", gl.value, gl.value / bare.value);
  std::printf("GL;1 round trip (error answer):        %8.1f us\n", gl_invalid.value);
  if (in_process >= 0) std::printf("the GL request in process:             %8.1f us\n", in_process);
  std::printf("(best of %d rounds of %d requests each)\n", kRounds, kPerRound);

  echo.execute("[QUIT]", kTimeout);
  generic.execute("[CLOSE]", kTimeout);  // the server quits once both conversations end
  return 0;
}
