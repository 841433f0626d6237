// GL requests through the connector's KovoDLLInterface in one process, over
// a generated company of 5,000 accounts, beside the record manager's bare
// get equal measured in the same run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_library_win.h"
#include "bench/bench_paths_win.h"
#include "data/layouts.h"
#include "recman/btrcall.h"
#include "tools/ledger/builder/ledger_builder.h"

namespace {

using Clock = std::chrono::steady_clock;
using kovo::bench::short_folder;
constexpr auto call = &kovo::bench::record_manager_call;

// 5,000 accounts: 1,000 of them 4xxx, the rest spread over 1xxx-3xxx and 5xxx-9xxx.
std::string description() {
  std::string accounts, balances;
  char code[16];
  int made = 0;
  auto add = [&](int account, int dept, const char* type) {
    std::snprintf(code, sizeof code, "%04d-%02d", account, dept);
    accounts += std::string(made ? "," : "") + R"({"code":")" + code + R"(","type":")" + type + R"("})";
    for (const int year : {2007, 2008})
      balances += std::string(made || year == 2008 ? "," : "") + R"({"account":")" + code + R"(","year":)" +
                  std::to_string(year) + R"(,"actual":[1,2,3,4,5,6,7,8,9,10,11,12]})";
    ++made;
  };
  for (int i = 0; i < 1000; ++i) add(4000 + i, 10, "400");
  for (int i = 0; made < 5000; ++i) add((i % 2 ? 1000 : 5000) + i / 2 % 3000, 20 + i / 6000 % 60, i % 2 ? "100" : "500");
  std::string ends;
  for (int m = 1; m <= 12; ++m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    char d[20];
    std::snprintf(d, sizeof d, "%s\"%%d-%02d-%02d\"", m > 1 ? "," : "", m, m == 2 ? 29 : days[m - 1]);
    ends += d;
  }
  auto year_ends = [&](int y) {
    std::string s = ends;
    for (std::size_t at; (at = s.find("%d")) != std::string::npos;) s.replace(at, 2, std::to_string(y));
    if (y == 2007) for (std::size_t at; (at = s.find("2007-02-29")) != std::string::npos;) s.replace(at, 10, "2007-02-28");
    return s;
  };
  return R"({"companyFile":"sm_cmpny.dat","companies":[{"id":"BENCH","name":"Bench","dataDirectory":".\\BENCH",)"
         R"("accountStructure":"XXXX-XX","segmentNames":["Account","Dept"],"currentYear":2008,"currentPeriod":5,)"
         R"("mainSegment":1,"dataVersion":8,"transactionFiles":"gl_trx","calendar":[)"
         R"({"year":2007,"periods":12,"periodEnds":[)" + year_ends(2007) + R"(]},)"
         R"({"year":2008,"periods":12,"periodEnds":[)" + year_ends(2008) + R"(]}],)"
         R"("accounts":[)" + accounts + R"(],"balances":[)" + balances + "]}]}";
}

double per_second(int count, Clock::time_point start) {
  return count / std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
  const std::string bin = kovo::bench::program_folder();
  if (!kovo::bench::load_record_manager(bin)) return std::puts("WBTRV32.DLL does not load"), 1;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string system = std::string(temp) + "kovo-gl-bench";
  kovo::ledger::BuildOptions options;
  options.replace = true;  // the bench's own folder of an earlier run
  const auto built = kovo::ledger::build_ledger(description(), system, call, &short_folder, options);
  if (!built.ok) return std::printf("build failed: %s\n", built.error.c_str()), 1;

  // bare get equal on the balance file, key (2008, 400010); kept open for the rounds below
  const std::string balance_path = short_folder(system + "\\BENCH") + "\\glperiod.dat";
  unsigned char block[128] = {};
  char key[256] = {};
  std::snprintf(key, sizeof key, "%s", balance_path.c_str());
  std::uint32_t length = 0;
  call(recman::kOpen, block, nullptr, &length, key, 255, -2);
  std::vector<std::uint8_t> record(1500), key_buffer = kovo::layout::balance_year_code_key(2008, "400010");
  key_buffer.resize(1504);
  auto get_equal_rate = [&](int count) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
      length = 1500;
      call(recman::kGetEqual, block, record.data(), &length, key_buffer.data(), 255, 1);
    }
    return per_second(count, start);
  };

  kovo::bench::ConnectorLibrary connector;
  if (!connector.load(bin)) return std::puts("Ledra5.dll does not load"), 1;
  const auto request = connector.request;
  connector.init();
  std::string result(16000, '\0');
  const std::string setup = "NoShow=1,System=" + system;
  request(15, setup.c_str(), nullptr);
  struct Case {
    const char* label;
    const char* text;
    int count;
  } cases[] = {
      {"exact account, This Month", "4000-10;This Month;BENCH", 100000},
      {"exact account, Year to Date Last Year", "4000-10;Year to Date Last Year;BENCH", 100000},
      {"4???-* over 5,000 accounts (1,000 match)", "4???-*;This Month;BENCH", 200},
  };
  // The machine is shared: requests and bare reads are measured in alternating
  // rounds and the best round of each is kept.
  auto request_rate = [&](const Case& c, int count) {
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) request(100, c.text, result.data());
    return per_second(count, start);
  };
  double best_gets = 0, best_exact = 0;
  for (int round = 0; round < 8; ++round) {
    best_gets = std::max(best_gets, get_equal_rate(20000));
    best_exact = std::max(best_exact, request_rate(cases[0], 20000));
  }
  std::printf("record manager get equal: %.0f per second (best of 8 rounds)\n", best_gets);
  for (const auto& c : cases) {
    request(100, c.text, result.data());
    std::printf("  answer of %s: %s", c.label, result.c_str());
    double rate = 0;
    for (int round = 0; round < 3; ++round) rate = std::max(rate, request_rate(c, c.count / 3));
    if (&c == &cases[0]) rate = std::max(rate, best_exact);
    std::printf("GL %s: %.0f requests per second (%.1f us each)\n", c.label, rate, 1e6 / rate);
  }
  std::printf("exact request cost / bare get equal: %.2f\n", best_gets / best_exact);
  call(recman::kClose, block, nullptr, &length, nullptr, 0, 0);
  connector.cleanup();
  return 0;
}
