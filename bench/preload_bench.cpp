// The data preload on a generated company of 20,000 accounts (XXXX-XX, the
// demo's kind: twelve different monthly figures a year, two years): the
// preload's time, the memory it holds per account, and GL requests -- an
// exact account and "4???-*" (4,000 accounts) -- answered from the files and
// then from the cache in the same run.
//
// Targets: the wide request at least 10 times faster from the cache, the
// exact request no slower, at most 200 bytes per cached account.
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "data/btrieve_ops.h"
#include "data/companies.h"
#include "entry/dispatch.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "recman/btrcall.h"
#include "requests/install.h"
#include "requests/preload.h"
#include "tools/ledger/builder/ledger_builder.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace kovo;

constexpr int kNaturalAccounts = 2000;  // 400 of them 4000 to 4399
constexpr int kDepartments = 10;

std::string amount(std::mt19937& random) {
  char b[32];
  std::snprintf(b, sizeof b, "%.2f", static_cast<double>(static_cast<int>(random() % 20000000) - 10000000) / 100.0);
  return b;
}

std::string twelve(std::mt19937& random) {
  std::string s = "[";
  for (int m = 0; m < 12; ++m) s += (m ? "," : "") + amount(random);
  return s + "]";
}

std::string ledger_json() {
  std::mt19937 random(2008);
  std::vector<int> naturals;
  for (int n = 4000; n < 4400; ++n) naturals.push_back(n);
  for (int n = 1000; static_cast<int>(naturals.size()) < kNaturalAccounts; n += 3)
    if (n < 4000 || n >= 4400) naturals.push_back(n);
  std::string accounts, balances;
  bool first = true;
  for (const int natural : naturals)
    for (int d = 0; d < kDepartments; ++d) {
      char code[16];
      std::snprintf(code, sizeof code, "%04d-%02d", natural, 10 + d * 9);
      const bool balance = natural < 4000;
      accounts += std::string(first ? "" : ",") + R"({"code":")" + code + R"(","description":"Account )" + code +
                  R"(","type":")" + (balance ? "100" : "400") + "\"}";
      for (const int year : {2007, 2008}) {
        balances += std::string(first ? "" : ",") + R"({"account":")" + code + R"(","year":)" + std::to_string(year) +
                    (balance ? R"(,"opening":)" + amount(random) : std::string()) + R"(,"actual":)" + twelve(random) +
                    R"(,"budget":)" + twelve(random) + "}";
        first = false;
      }
    }
  std::string ends2007, ends2008;
  const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) {
    char d[48];
    std::snprintf(d, sizeof d, "%s\"2007-%02d-%02d\"", m > 1 ? "," : "", m, days[m - 1]);
    ends2007 += d;
    std::snprintf(d, sizeof d, "%s\"2008-%02d-%02d\"", m > 1 ? "," : "", m, m == 2 ? 29 : days[m - 1]);
    ends2008 += d;
  }
  return R"({"companyFile":"sm_cmpny.dat","companies":[{"id":"BIG","name":"Generated","dataDirectory":".\\BIG",)"
         R"("accountStructure":"XXXX-XX","segmentNames":["Account","Dept"],"currentYear":2008,"currentPeriod":12,)"
         R"("mainSegment":1,"dataVersion":8,"transactionFiles":"gl_trx","calendar":[)"
         R"({"year":2007,"periods":12,"periodEnds":[)" + ends2007 + R"(],"flag":1},)"
         R"({"year":2008,"periods":12,"periodEnds":[)" + ends2008 + R"(],"flag":0}],)"
         R"("accounts":[)" + accounts + R"(],"balances":[)" + balances + "]}]}";
}

std::string gl(const std::string& args) {
  std::string buffer(16000, '\0');
  connector_interface(100, args.c_str(), buffer.data(), buffer.size());
  return buffer.c_str();
}

// Seconds per request over rounds of the same list of requests.
double time_requests(const std::vector<std::string>& requests, int rounds, std::string& last_answer) {
  const auto begin = Clock::now();
  for (int r = 0; r < rounds; ++r)
    for (const auto& q : requests) last_answer = gl(q);
  return std::chrono::duration<double>(Clock::now() - begin).count() / (rounds * static_cast<double>(requests.size()));
}

std::size_t heap_in_use() { return mallinfo2().uordblks; }

}  // namespace

int main() {
  const auto root = std::filesystem::temp_directory_path() / "kovo-preload-bench";
  std::filesystem::remove_all(root);
  const std::string system = (root / "Cyma4").string();
  const auto built = ledger::build_ledger(ledger_json(), system, &recman::btrcall);
  if (!built.ok) {
    std::fprintf(stderr, "preload_bench: the ledger was not built: %s\n", built.error.c_str());
    return 1;
  }
  btrv::set_record_manager_call(&recman::btrcall);
  settings().system = system;
  requests::install_requests();

  std::mt19937 random(7);
  std::vector<std::string> exact;
  for (int i = 0; i < 2000; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "%04d-%02d", 4000 + static_cast<int>(random() % 400), 10 + static_cast<int>(random() % kDepartments) * 9);
    exact.push_back(std::string(code) + ";Year to Date;BIG");
  }
  const std::vector<std::string> wide = {"4???-*;Year to Date;BIG", "4???-*;This Month;BIG",
                                         "4???-*;Year to Date Last Year;BIG"};

  std::string a;
  gl(exact.front());  // opens the company and its files
  const double exact_files = time_requests(exact, 3, a);
  const double wide_files = time_requests(wide, 3, a);
  const std::string wide_answer_files = gl(wide.front());

  // every account's type known beforehand, as after any wide request: the
  // heap then grows by the cache alone
  gl("*-*;Year to Date;BIG");
  data::CompanyContext& c = *data::find_or_open_company("BIG");
  c.balance_cache.flags = {true, false, false};
  data::PreloadKey key;
  key.account_spec = "*-*";
  const std::size_t heap_before = heap_in_use();
  auto begin = Clock::now();
  int status = requests::DataPreLoad(c, key, nullptr, 1, 2);
  const double preload_this = std::chrono::duration<double>(Clock::now() - begin).count();
  const std::size_t heap_this = heap_in_use() - heap_before;
  const std::size_t entries = c.balance_cache.sets().empty() ? 0 : c.balance_cache.sets().front().entry_count();
  if (status != 0 || entries != kNaturalAccounts * kDepartments) {
    std::fprintf(stderr, "preload_bench: the preload failed (%d, %zu accounts)\n", status, entries);
    return 1;
  }
  const std::size_t counted_this = c.balance_cache.memory_bytes();

  // both years, the usual choice for reports that compare with last year
  c.balance_cache.flags = {true, true, false};
  const std::size_t heap_before_both = heap_in_use();
  begin = Clock::now();
  status = requests::DataPreLoad(c, key, nullptr, 1, 2);
  const double preload_both = std::chrono::duration<double>(Clock::now() - begin).count();
  const std::size_t heap_both = heap_in_use() - heap_before_both;
  if (status != 0) return 1;
  // the first set (this year only) stays; the requests take the newest, holding both years

  const double exact_cache = time_requests(exact, 3, a);
  const double wide_cache = time_requests(wide, 20, a);
  const std::string wide_answer_cache = gl(wide.front());

  std::printf("company of %zu accounts, XXXX-XX, two years of twelve different monthly figures\n", entries);
  std::printf("preload, this year:            %.3f s, heap %zu bytes = %.0f bytes per account (counted %.0f)\n",
              preload_this, heap_this, static_cast<double>(heap_this) / static_cast<double>(entries),
              static_cast<double>(counted_this) / static_cast<double>(entries));
  std::printf("preload, this and last year:   %.3f s, heap %zu bytes = %.0f bytes per account\n", preload_both,
              heap_both, static_cast<double>(heap_both) / static_cast<double>(entries));
  std::printf("exact request:   files %.1f us, cache %.1f us, ratio %.1f\n", exact_files * 1e6, exact_cache * 1e6,
              exact_files / exact_cache);
  std::printf("4???-* request:  files %.2f ms, cache %.3f ms, ratio %.1f\n", wide_files * 1e3, wide_cache * 1e3,
              wide_files / wide_cache);
  std::printf("answers equal:   %s (%s)\n", wide_answer_files == wide_answer_cache ? "yes" : "NO",
              wide_answer_cache.substr(0, wide_answer_cache.find('\r')).c_str());

  data::close_all_companies();
  std::uint32_t none = 0;
  recman::btrcall(recman::kStop, nullptr, nullptr, &none, nullptr, 0, 0);
  std::filesystem::remove_all(root);
  return wide_answer_files == wide_answer_cache ? 0 : 1;
}
