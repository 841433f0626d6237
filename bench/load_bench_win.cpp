// A load run of the server on the demo ledger: for a given time N client
// processes at once connect, send requests and disconnect in a loop, and
// every few seconds one of them is killed in the middle of a request (as a
// spreadsheet that crashes) and another takes its place.
//
//   load_bench_win [--seconds S] [--clients N] [--kill-every S]
//
// Every request is one of a few thousand distinct ones whose answers were
// worked out beforehand by the connector loaded into this process, so a
// wrong answer, or one that belongs to another request, is caught. At the
// end: the answers counted, wrong and refused ones, the server's open
// conversations (which must come back to 0 although the killed clients never
// ended theirs) and its memory at the start and the end of the load. The
// exit status is 0 when all of that holds.
//
// Runs from the build's bin folder with no server running: builds the demo
// ledger into a folder of its own with kovo-ledger, points the connector's
// stored "System" at it for the run (the previous value is put back at the
// end), starts Kovo.exe, and closes it at the end.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_paths_win.h"
#include "bench/bench_process_win.h"
#include "ddeclient/dde_client_win.h"

namespace {

using Clock = std::chrono::steady_clock;
using kovo::bench::kConnectorKey;
using kovo::bench::program_folder;
using kovo::bench::source_folder;
using kovo::dde::Client;

constexpr DWORD kRequestTimeout = 20000;
constexpr std::size_t kMaxClients = 4096;  // client processes over a whole run, killed ones included
constexpr UINT kStatusQueryMessage = WM_USER + 103;

// ------------------------------------------------------------ shared counters

// One record per client process, in memory shared with the driver, so that
// what a killed client counted is not lost with it.
struct ClientRecord {
  volatile LONG in_request;  // 1 while a request is on its way
  volatile LONG finished;    // 1 once it ended by itself
  volatile LONG64 answered, wrong, refused, failed, connections;
  char first_wrong[400];
};

struct SharedState {
  volatile LONG stop;  // set by the driver at the end of the run
  volatile LONG clients;
  ClientRecord records[kMaxClients];
};

std::string shared_name(DWORD driver) { return "KovoLoadBench-" + std::to_string(driver); }

SharedState* map_shared(HANDLE mapping) {
  return static_cast<SharedState*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedState)));
}

// ---------------------------------------------------------------- the table

struct Request {
  std::string item;
  std::string answer;
};

// Answers hold line ends; the table file keeps one request a line.
std::string escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

std::string unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

std::vector<Request> read_table(const std::string& path) {
  std::vector<Request> table;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const std::size_t tab = line.find('\t');
    if (tab != std::string::npos) table.push_back({line.substr(0, tab), unescape(line.substr(tab + 1))});
  }
  return table;
}

// Every account of the demo description with its company, in file order.
std::vector<std::pair<std::string, std::string>> demo_accounts(const std::string& description) {
  std::vector<std::pair<std::string, std::string>> accounts;
  std::string company;
  const auto value_after = [&](std::size_t at) {
    const std::size_t open = description.find('"', description.find(':', at) + 1);
    const std::size_t close = description.find('"', open + 1);
    return description.substr(open + 1, close - open - 1);
  };
  for (std::size_t at = 0; (at = description.find('"', at)) != std::string::npos; ++at) {
    if (description.compare(at, 5, "\"id\":") == 0) company = value_after(at);
    if (description.compare(at, 7, "\"code\":") == 0) accounts.emplace_back(company, value_after(at));
  }
  return accounts;
}

// The distinct requests of the run.
std::vector<std::string> request_items(const std::string& description) {
  static const char* const kPeriods[] = {
      "This Month",          "Last Month",          "Year to Date",        "Month 1",
      "Month 2",             "Month 3",             "Month 7",             "Month 12",
      "This Quarter",        "Quarter 1",           "2 Months Ago",        "This Month Last Year",
      "Year to Date Last Year", "This Month Budget", "Year to Date Budget", "Month 12 Last Year"};
  std::vector<std::string> items;
  for (const auto& [company, code] : demo_accounts(description)) {
    for (const char* period : kPeriods) items.push_back("GL;" + code + ";" + period + ";" + company);
    for (const char* period : {"This Month", "Year to Date", "Year to Date Last Year"})
      items.push_back("NGL;" + code + ";" + period + ";" + company);
    items.push_back("DESC;" + code + ";" + company);
    items.push_back("ACCTDATA;Type;" + code + ";" + company);
  }
  // "?" escaped where three in a row would otherwise read as a trigraph
  for (const char* group : {"1?\?\?-*", "2?\?\?-*", "4?\?\?-*", "5?\?\?-*", "6?\?\?-*", "4000..7999-*", "6000..6999-*"})
    for (const char* period : kPeriods) items.push_back(std::string("GL;") + group + ";" + period + ";DEMO");
  for (const char* field : {"NAME", "YEAR", "PERIOD", "Start1", "End5", "TSO"})
    for (const char* company : {"DEMO", "MFG2"}) items.push_back(std::string("CODATA;") + field + ";" + company);
  return items;
}

// The items as the server would answer them, from the connector in process:
// the same call, and the item name after a refusal as the server adds it.
std::optional<std::vector<Request>> answer_in_process(const std::string& bin, const std::vector<std::string>& items) {
  using InterfaceFn = int(WINAPI*)(int, const char*, char*);
  using VoidFn = int(WINAPI*)();
  HMODULE connector = LoadLibraryA((bin + "Ledra5.dll").c_str());
  if (!connector) return std::nullopt;
  auto init = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(connector, "KovoDoDLLInit")));
  auto call = reinterpret_cast<InterfaceFn>(reinterpret_cast<void*>(GetProcAddress(connector, "KovoDLLInterface")));
  auto cleanup = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(connector, "DLLCleanupFunc")));
  if (!init || !call || !cleanup || init() != 0) {
    FreeLibrary(connector);
    return std::nullopt;
  }
  static const struct {
    const char* name;
    int code;
  } kCodes[] = {{"GL", 100}, {"NGL", 102}, {"DESC", 103}, {"CODATA", 115}, {"ACCTDATA", 116}};
  std::vector<Request> table;
  std::vector<char> result(16000);
  for (const auto& item : items) {
    const std::string name = item.substr(0, item.find(';'));
    const std::string arguments = item.substr(item.find(';') + 1);
    int code = 0;
    for (const auto& c : kCodes)
      if (name == c.name) code = c.code;
    std::fill(result.begin(), result.end(), '\0');
    const int status = call(code, arguments.c_str(), result.data());
    std::string answer(result.data(), strnlen(result.data(), result.size()));
    if (status == 1 && !answer.empty()) answer += name;
    table.push_back({item, answer});
  }
  cleanup();
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  FreeLibrary(connector);
  return table;
}

// --------------------------------------------------------------- the client

int run_client(std::size_t index, const std::string& table_path, DWORD driver, unsigned seed) {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, shared_name(driver).c_str());
  SharedState* shared = mapping ? map_shared(mapping) : nullptr;
  if (!shared || index >= kMaxClients) return 1;
  ClientRecord& me = shared->records[index];
  const std::vector<Request> table = read_table(table_path);
  if (table.empty()) return 1;
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> pick(0, table.size() - 1);
  std::uniform_int_distribution<int> batch(10, 120);
  Client client;
  const bool generic = index % 2 == 1;  // half of them bind the generic topic as the add-in does
  while (!shared->stop) {
    if (!client.connect("Kovo", generic ? "Kovo" : "LEDRA5") || (generic && !client.execute("[SETTOPIC]", kRequestTimeout))) {
      InterlockedIncrement64(&me.refused);
      if (!me.first_wrong[0])
        std::snprintf(me.first_wrong, sizeof me.first_wrong, "refused: %s", client.last_error_name().c_str());
      Sleep(50);
      continue;
    }
    InterlockedIncrement64(&me.connections);
    for (int n = batch(random); n > 0 && !shared->stop; --n) {
      const Request& request = table[pick(random)];
      InterlockedExchange(&me.in_request, 1);
      const auto answer = client.request_text(request.item, kRequestTimeout);
      InterlockedExchange(&me.in_request, 0);
      if (!answer) {
        InterlockedIncrement64(&me.failed);
      } else if (*answer != request.answer) {
        if (InterlockedIncrement64(&me.wrong) == 1)
          std::snprintf(me.first_wrong, sizeof me.first_wrong, "%s -> \"%s\", expected \"%s\"", request.item.c_str(),
                        escape(*answer).c_str(), escape(request.answer).c_str());
      } else {
        InterlockedIncrement64(&me.answered);
      }
    }
    client.disconnect();
  }
  InterlockedExchange(&me.finished, 1);
  return 0;
}

// --------------------------------------------------------------- the driver

struct Options {
  int seconds = 60;
  int clients = 4;
  int kill_every = 5;
};

// Waits, taking this thread's messages (a connect asks every window).
void pause_ms(DWORD ms) {
  const DWORD start = GetTickCount();
  for (DWORD waited = 0; waited < ms; waited = GetTickCount() - start) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - waited, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
}

// Starts a program without a console of its own (the clients print nothing).
HANDLE start(const std::string& command_line) { return kovo::bench::start_process(command_line, CREATE_NO_WINDOW); }

// The connector's stored "System", put back as it was at the end.
class StoredSystem {
 public:
  explicit StoredSystem(const std::string& system) {
    HKEY key = nullptr;
    existed_ = RegOpenKeyExA(HKEY_CURRENT_USER, kConnectorKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (existed_) {
      char value[1024] = {};
      DWORD size = sizeof value - 1;
      had_value_ = RegQueryValueExA(key, "System", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                   ERROR_SUCCESS;
      previous_ = value;
      RegCloseKey(key);
    }
    set(system);
  }
  ~StoredSystem() {
    if (!existed_) {
      RegDeleteKeyA(HKEY_CURRENT_USER, kConnectorKey);
    } else if (had_value_) {
      set(previous_);
    } else {
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, kConnectorKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "System");
        RegCloseKey(key);
      }
    }
  }

 private:
  static void set(const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kConnectorKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
      return;
    RegSetValueExA(key, "System", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
  }
  bool existed_ = false, had_value_ = false;
  std::string previous_;
};

double megabytes(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// The server's private memory: its commit charge (PagefileUsage, which is
// what PrivateUsage holds on Windows; under Wine only the former is filled,
// with the process's anonymous resident and swapped memory).
SIZE_T memory_of(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return 0;
  return counters.PagefileUsage;
}

HWND server_window(HANDLE process) {
  struct Search {
    DWORD pid;
    HWND found;
  } search{GetProcessId(process), nullptr};
  EnumWindows(
      [](HWND window, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char class_name[64] = {};
        GetClassNameA(window, class_name, sizeof class_name);
        if (owner == s->pid && std::strcmp(class_name, "KovoMainServerClass") == 0) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

long long status_count(HANDLE server, int which) {
  DWORD_PTR answer = 0;
  HWND window = server_window(server);
  if (!window || !SendMessageTimeoutA(window, kStatusQueryMessage, which, 0, SMTO_ABORTIFHUNG, 5000, &answer)) return -1;
  return static_cast<long long>(answer);
}

struct RunningClient {
  HANDLE process = nullptr;
  std::size_t index = 0;
};

int run_driver(const Options& options) {
  const std::string bin = program_folder();
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "kovo-load-bench-" + std::to_string(GetCurrentProcessId());
  const std::string system = folder + "\\Cyma4";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string description_path = source_folder() + "examples\\demo.json";
  if (!kovo::bench::run_and_wait(
          "\"" + bin + "kovo-ledger.exe\" build \"" + description_path + "\" \"" + system + "\"", 180000))
    return std::puts("the demo ledger could not be built"), 1;

  {
    // A server that was told to quit may take a moment to go.
    Client probe;
    bool running = true;
    for (int attempt = 0; attempt < 50 && running; ++attempt) {
      running = probe.connect("Kovo", "Kovo");
      probe.disconnect();
      if (running) pause_ms(200);
    }
    if (running) return std::puts("a Kovo server is running already: close it first"), 1;
  }
  const StoredSystem stored(system);
  std::ifstream description_file(description_path, std::ios::binary);
  std::stringstream description;
  description << description_file.rdbuf();
  const auto table = answer_in_process(bin, request_items(description.str()));
  if (!table || table->empty()) return std::puts("the connector could not be loaded in process"), 1;
  const std::string table_path = folder + "\\requests.txt";
  {
    std::ofstream out(table_path, std::ios::binary);
    for (const auto& r : *table) out << r.item << '\t' << escape(r.answer) << '\n';
  }
  std::printf("%zu distinct requests, answered beforehand in process; %d clients for %d s, one killed every %d s\n",
              table->size(), options.clients, options.seconds, options.kill_every);

  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedState),
                                      shared_name(GetCurrentProcessId()).c_str());
  SharedState* shared = mapping ? map_shared(mapping) : nullptr;
  if (!shared) return std::puts("no shared memory"), 1;

  HANDLE server = start("\"" + bin + "Kovo.exe\"");
  Client generic;
  bool up = false;
  for (int attempt = 0; attempt < 100 && !up; ++attempt) {
    up = generic.connect("Kovo", "Kovo");
    if (!up) pause_ms(100);
  }
  if (!server || !up) return std::puts("Kovo.exe does not answer"), 1;
  generic.disconnect();
  const SIZE_T idle_memory = memory_of(server);

  const std::string self = bin + "load_bench_win.exe";
  std::vector<RunningClient> running;
  std::size_t next_index = 0;
  const auto start_client = [&] {
    const std::size_t index = next_index++;
    const std::string line = "\"" + self + "\" --client " + std::to_string(index) + " \"" + table_path + "\" " +
                             std::to_string(GetCurrentProcessId()) + " " + std::to_string(1234567u + index * 7919u);
    if (HANDLE process = start(line)) running.push_back({process, index});
  };
  for (int i = 0; i < options.clients; ++i) start_client();

  const auto begin = Clock::now();
  const auto elapsed_s = [&] { return std::chrono::duration<double>(Clock::now() - begin).count(); };
  const double warm_up = std::min(10.0, options.seconds / 5.0);
  SIZE_T start_memory = 0, peak_memory = 0;
  int kills = 0, killed_mid_request = 0;
  double next_kill = options.kill_every, next_report = 60;
  while (elapsed_s() < options.seconds && next_index < kMaxClients) {
    pause_ms(100);
    const SIZE_T now_memory = memory_of(server);
    peak_memory = std::max(peak_memory, now_memory);
    if (!start_memory && elapsed_s() >= warm_up) start_memory = now_memory;
    if (elapsed_s() >= next_report) {
      long long answered = 0;
      for (std::size_t i = 0; i < next_index; ++i) answered += shared->records[i].answered;
      std::printf("  %4.0f s: %lld answers, %d clients killed, server %.1f MB\n", elapsed_s(), answered, kills,
                  megabytes(now_memory));
      std::fflush(stdout);
      next_report += 60;
    }
    if (elapsed_s() < next_kill || running.empty()) continue;
    next_kill += options.kill_every;
    // The oldest client dies while its request is on the way (a newer one
    // may still be starting).
    RunningClient& doomed = *std::min_element(running.begin(), running.end(),
                                              [](const RunningClient& a, const RunningClient& b) { return a.index < b.index; });
    const DWORD wait_start = GetTickCount();
    while (!shared->records[doomed.index].in_request && GetTickCount() - wait_start < 5000) Sleep(1);
    killed_mid_request += shared->records[doomed.index].in_request ? 1 : 0;
    TerminateProcess(doomed.process, 9);
    WaitForSingleObject(doomed.process, 10000);
    CloseHandle(doomed.process);
    doomed = running.back();
    running.pop_back();
    ++kills;
    start_client();
  }

  // The end: the clients finish their request and end their conversation.
  InterlockedExchange(&shared->stop, 1);
  int stragglers = 0;
  for (auto& client : running) {
    const DWORD wait_start = GetTickCount();
    while (WaitForSingleObject(client.process, 0) == WAIT_TIMEOUT && GetTickCount() - wait_start < 30000) pause_ms(50);
    if (WaitForSingleObject(client.process, 0) == WAIT_TIMEOUT) {
      ++stragglers;
      TerminateProcess(client.process, 9);
    }
    CloseHandle(client.process);
  }
  const double seconds = elapsed_s();

  // Every conversation is over, the killed clients' too: the server finds
  // those by itself within a few seconds.
  long long open = status_count(server, 0);
  for (int i = 0; i < 100 && open != 0; ++i) {
    pause_ms(100);
    open = status_count(server, 0);
  }
  const long long served = status_count(server, 1);
  const SIZE_T end_memory = memory_of(server);

  long long answered = 0, wrong = 0, refused = 0, failed = 0, connections = 0;
  std::string first_problem;
  for (std::size_t i = 0; i < next_index; ++i) {
    const ClientRecord& r = shared->records[i];
    answered += r.answered;
    wrong += r.wrong;
    refused += r.refused;
    failed += r.failed;
    connections += r.connections;
    if (first_problem.empty() && r.first_wrong[0]) first_problem = r.first_wrong;
  }

  if (generic.connect("Kovo", "Kovo")) generic.execute("[CLOSE]", 10000);
  generic.disconnect();
  if (WaitForSingleObject(server, 20000) == WAIT_TIMEOUT) TerminateProcess(server, 9);
  CloseHandle(server);

  // Flat: no more than a few megabytes above the start of the load, and not
  // more than a tenth of it.
  const double growth = megabytes(end_memory) - megabytes(start_memory);
  const bool flat = start_memory && end_memory && growth < std::max(4.0, megabytes(start_memory) / 10);
  std::printf("%.0f s, %d clients at once, %zu client processes, %d killed (%d in the middle of a request)\n", seconds,
              options.clients, next_index, kills, killed_mid_request);
  std::printf("requests answered:           %lld (%.0f a second), over %lld conversations\n", answered,
              answered / seconds, connections);
  std::printf("wrong or mixed answers:      %lld\n", wrong);
  std::printf("requests without an answer:  %lld\n", failed);
  std::printf("refused connections:         %lld\n", refused);
  std::printf("clients that did not finish: %d\n", stragglers);
  if (!first_problem.empty()) std::printf("first problem: %s\n", first_problem.c_str());
  std::printf("server: %lld requests served, %lld conversations open at the end\n", served, open);
  std::printf("server memory (private):     %.1f MB idle, %.1f MB at the start of the load, %.1f MB at the end, "
              "%.1f MB at most\n",
              megabytes(idle_memory), megabytes(start_memory), megabytes(end_memory), megabytes(peak_memory));
  const bool ok = answered > 0 && wrong == 0 && failed == 0 && refused == 0 && stragglers == 0 && open == 0 && flat;
  std::printf("%s\n", ok ? "load run passed" : "load run FAILED");

  UnmapViewOfFile(shared);
  CloseHandle(mapping);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 5 && args[0] == "--client")
    return run_client(std::strtoul(args[1].c_str(), nullptr, 10), args[2],
                      static_cast<DWORD>(std::strtoul(args[3].c_str(), nullptr, 10)),
                      static_cast<unsigned>(std::strtoul(args[4].c_str(), nullptr, 10)));
  Options options;
  for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
    const int value = std::atoi(args[i + 1].c_str());
    if (args[i] == "--seconds") options.seconds = value;
    else if (args[i] == "--clients") options.clients = value;
    else if (args[i] == "--kill-every") options.kill_every = value;
    else return std::puts("usage: load_bench_win [--seconds S] [--clients N] [--kill-every S]"), 2;
  }
  if (args.size() % 2 != 0 || options.seconds < 1 || options.clients < 1 || options.clients > 64 ||
      options.kill_every < 1)
    return std::puts("usage: load_bench_win [--seconds S] [--clients N] [--kill-every S]"), 2;
  return run_driver(options);
}
