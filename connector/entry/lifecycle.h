// Process-wide connector state that the entry points share with the pieces
// plugged into them: the settings store's read and write, the clean-up list,
// the busy state, and the news that a company's balances changed.
#pragma once

#include <string>
#include <string_view>

namespace kovo {

// What the settings store and the company list supply at start-up and when
// a window or command saves the settings. Either may be left empty.
struct LifecycleHooks {
  void (*read_settings)() = nullptr;
  bool (*save_settings)() = nullptr;
  void (*build_company_list)() = nullptr;
  // Work once the settings and the company list are read (the automatic
  // data preload).
  void (*after_start)() = nullptr;
};
LifecycleHooks& lifecycle_hooks();

// ---------------------------------------------------------------- clean-up

// When a module's clean-up runs at unload, earliest first. Files still open
// are closed before the data that names them is freed, and the record
// manager stops last of all.
enum class CleanupStage : int {
  kCloseFiles = 10,       // files held open across requests
  kCompanies = 20,        // the company list and each company's cached data
  kFigures = 25,          // caches of figures kept beside the companies
  kLists = 30,            // the lists' segment values and a transfer under way
  kSegmentCollector = 40, // the drill-down's per-segment value chains
  kAccountList = 50,      // the expanded account specifiers
  kCompanyNames = 60,     // the company names read at start-up
  kRecordManager = 90,    // stops the record manager for this process
};

// Adds a step to the clean-up list. A step registered twice runs once.
void on_cleanup(CleanupStage stage, void (*step)());
// Runs every registered step in stage order (registration order within a
// stage). The list stays registered: a library loaded again cleans up again.
void run_cleanup();

// ---------------------------------------------------------------- busy state

// Long work that must not be interrupted by a request: while any runs, a
// request that reaches the connector through a nested message loop (a box,
// a fill's pump) answers the busy message instead of reading, and the
// library refuses to be unloaded.
enum class Work { kFill, kBudgetWrite, kPreload, kCall };

class BusyScope {
 public:
  explicit BusyScope(Work work);
  ~BusyScope();
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  Work work_;
};

bool connector_busy();
bool busy_with(Work work);

// The busy message's number in the string table.
inline constexpr int kMessageBusy = 36;

// ---------------------------------------------------------------- figures

// A write into the ledger (the budget write-back, WGL) announces that the
// balances of a company changed; every holder of figures (a balance cache)
// listens and forgets what it holds of that company. A listener registered
// twice is called once.
using BalancesChanged = void (*)(std::string_view company_id);
void on_balances_changed(BalancesChanged listener);
void balances_changed(std::string_view company_id);

}  // namespace kovo
