// Drill-downs without a user through the connector's KovoDLLInterface in
// one process: a transaction drill over the 100,000 transactions of one
// account, and a segment drill over a company of 5,000 accounts, each beside
// a bare walk, in the same run, of the records it reads through the record
// manager (the transactions; the balance, account and segment records).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
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

constexpr int kAccounts = 5000;
constexpr int kTransactions = 100000;
constexpr char kLedgerMark[] = "drill bench ledger 1\n";

// DRILL: 5,000 accounts 1000-10 to 5999-10 with 2008's balances and a
// description of each account number; 4000-10 holds 100,000 transactions
// of January to May 2008.
std::string description() {
  std::string accounts, balances, segments, transactions;
  char text[160];
  for (int i = 0; i < kAccounts; ++i) {
    const int account = 1000 + i;
    const char* separator = i ? "," : "";
    std::snprintf(text, sizeof text, R"(%s{"code":"%04d-10","description":"Account %04d","type":"%s"})", separator,
                  account, account, account < 3000 ? "100" : "500");
    accounts += text;
    std::snprintf(text, sizeof text, R"(%s{"account":"%04d-10","year":2008,"actual":[%d,2,3,4,5]})", separator, account,
                  i % 97);
    balances += text;
    std::snprintf(text, sizeof text, R"(%s{"segment":1,"value":"%04d","description":"Account %04d"})", separator,
                  account, account);
    segments += text;
  }
  for (int i = 0; i < kTransactions; ++i) {
    std::snprintf(text, sizeof text,
                  R"(%s{"account":"4000-10","date":"2008-%02d-%02d","amount":%d.%02d,"batch":%d,"description":"Line %d"})",
                  i ? "," : "", 1 + i % 5, 1 + i % 28, (i % 2 ? -1 : 1) * (i % 1000), i % 100, 2008000 + i % 5, i);
    transactions += text;
  }
  std::string ends2008 = R"("2008-01-31","2008-02-29","2008-03-31","2008-04-30","2008-05-31","2008-06-30",)"
                         R"("2008-07-31","2008-08-31","2008-09-30","2008-10-31","2008-11-30","2008-12-31")";
  return R"({"companyFile":"sm_cmpny.dat","companies":[{"id":"DRILL","name":"Drill Bench","dataDirectory":".\\DRILL",)"
         R"("accountStructure":"XXXX-XX","segmentNames":["Account","Dept"],"currentYear":2008,"currentPeriod":5,)"
         R"("mainSegment":1,"dataVersion":8,"transactionFiles":"gl_trx","calendar":[)"
         R"({"year":2008,"periods":12,"periodEnds":[)" + ends2008 + R"(]}],)"
         R"("accounts":[)" + accounts + R"(],"balances":[)" + balances + R"(],"segments":[)" + segments +
         R"(],"transactions":[)" + transactions + "]}]}";
}

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Reads a file's records in the order of a key from a starting key while
// they belong to the walk; returns how many.
template <class Belongs>
int walk(const std::string& path, int key_number, std::vector<std::uint8_t> start, Belongs belongs) {
  unsigned char block[128] = {};
  char name[256] = {};
  std::snprintf(name, sizeof name, "%s", path.c_str());
  std::uint32_t length = 0;
  if (call(recman::kOpen, block, nullptr, &length, name, 255, -2) != 0) return -1;
  std::vector<std::uint8_t> record(4096);
  start.resize(1504);
  int count = 0;
  length = static_cast<std::uint32_t>(record.size());
  short status = call(recman::kGetGreaterOrEqual, block, record.data(), &length, start.data(), 255,
                      static_cast<std::int8_t>(key_number));
  while (status == 0 && belongs(kovo::layout::View(record.data(), length))) {
    ++count;
    length = static_cast<std::uint32_t>(record.size());
    status = call(recman::kGetNext, block, record.data(), &length, start.data(), 255, static_cast<std::int8_t>(key_number));
  }
  call(recman::kClose, block, nullptr, &length, nullptr, 0, 0);
  return count;
}

std::string clipboard_text() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT))
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  CloseClipboard();
  return text;
}

std::size_t lines_of(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

std::size_t peak_memory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
}

}  // namespace

int main() {
  const std::string bin = kovo::bench::program_folder();
  if (!kovo::bench::load_record_manager(bin)) return std::puts("WBTRV32.DLL does not load"), 1;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string system = std::string(temp) + "kovo-drill-bench";
  const std::string mark = system + "\\drill-bench-ledger";
  std::ifstream marked(mark);
  std::string seen((std::istreambuf_iterator<char>(marked)), std::istreambuf_iterator<char>());
  if (seen != kLedgerMark) {
    std::puts("building the bench ledger (5,000 accounts, 100,000 transactions of one account)");
    kovo::ledger::BuildOptions options;
    options.replace = true;  // the bench's own folder of an earlier run
    const auto built = kovo::ledger::build_ledger(description(), system, call, &short_folder, options);
    if (!built.ok) return std::printf("build failed: %s\n", built.error.c_str()), 1;
    std::ofstream(mark) << kLedgerMark;
  }
  const std::string data = short_folder(system + "\\DRILL") + "\\";

  // The bare walks: what each drill reads, once, in key order.
  auto walk_transactions = [&] {
    return walk(data + "gl_trx.dat", kovo::layout::kTransactionAccountDateKey,
                kovo::layout::transaction_account_date_key("400010", {}),
                [](kovo::layout::View r) { return kovo::layout::transaction_account(r) == "400010"; });
  };
  auto walk_segment_records = [&] {
    const int balances = walk(data + "glperiod.dat", kovo::layout::kBalanceYearCodeKey,
                              kovo::layout::balance_year_code_key(2008, ""),
                              [](kovo::layout::View r) { return kovo::layout::balance_year(r) == 2008; });
    const int accounts = walk(data + "glacct.dat", kovo::layout::kAccountCodeKey, kovo::layout::account_code_key(""),
                              [](kovo::layout::View) { return true; });
    const int segments = walk(data + "gl_seg.dat", kovo::layout::kSegmentKey, kovo::layout::segment_key(0, ""),
                              [](kovo::layout::View r) {
                                const auto s = kovo::layout::decode_segment(r);
                                return s && s->segment == 0;
                              });
    return balances + accounts + segments;
  };

  kovo::bench::ConnectorLibrary connector;
  if (!connector.load(bin)) return std::puts("Ledra5.dll does not load"), 1;
  const auto request = connector.request;
  connector.init();
  std::string result(16000, '\0');
  const std::string common = "NoShow=1,System=" + system + ",Drill Company=DRILL,Drill Period=Year to Date,";
  const std::string transaction_drill = common + "Drill Account=4000-10,Drill Segment=2";
  const std::string segment_drill = common + "Drill Account=*-*,Drill Segment=0";

  // The machine is shared: the walks and the drills are measured in
  // alternating rounds and the best round of each is kept.
  struct Measure {
    const char* label;
    std::string parameters;
    std::function<int()> bare;
    double best_bare = 1e9, best_drill = 1e9;
    int records = 0;
    std::size_t lines = 0;
  };
  Measure measures[] = {{"transaction drill, 100,000 transactions of 4000-10", transaction_drill, walk_transactions},
                        {"segment drill by account, 5,000 accounts", segment_drill, walk_segment_records}};
  const std::size_t memory_before = peak_memory();
  for (int round = 0; round < 3; ++round) {
    for (Measure& m : measures) {
      auto start = Clock::now();
      m.records = m.bare();
      m.best_bare = std::min(m.best_bare, seconds_since(start));
      start = Clock::now();
      request(5, m.parameters.c_str(), result.data());
      m.best_drill = std::min(m.best_drill, seconds_since(start));
      m.lines = lines_of(clipboard_text());
      if (result[0] != '\0') std::printf("  the drill answered: %s", result.c_str());
    }
  }
  const std::size_t memory_after = peak_memory();
  for (const Measure& m : measures) {
    std::printf("%s\n", m.label);
    std::printf("  bare walk of its %d records:  %7.3f s\n", m.records, m.best_bare);
    std::printf("  the drill, %zu clipboard lines: %7.3f s  (%.2f x the bare walk)\n", m.lines, m.best_drill,
                m.best_drill / m.best_bare);
  }
  std::printf("peak memory of the process grew by %.1f MB over the drills (%.0f bytes a transaction row)\n",
              (memory_after - memory_before) / 1048576.0,
              static_cast<double>(memory_after - memory_before) / kTransactions);
  connector.cleanup();
  return 0;
}
