// The data preload: reads once every balance record of the accounts that
// an account specifier names, for a year (and the year before, or the
// budget), into the company's balance cache; and the cache's answer to GL
// requests.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "data/companies.h"
#include "requests/gl_core.h"
#include "specifier/period.h"

namespace kovo::requests {

enum PreloadMessage : int {
  kPreloadNothingFound = 4401,  // "DataPreLoad did not find any records for the current key."
  kPreloadFailedMessage = 4402, // "DataPreLoad failed. Check the parameters or try ..."
  kPreloadAlreadyCached = 4403, // "This company is already cached. Cache again?"
  kPreloadAutoOn = 4404,        // "ADPL On"
  kPreloadAutoOff = 4405,       // "ADPL Off"
};

inline constexpr int kPreloadOk = 0;
inline constexpr int kPreloadFailed = -1;
inline constexpr int kPreloadStopped = -2;  // cancelled, or nothing found

// Where a preload shows its progress and its failures.
class PreloadProgress {
 public:
  virtual ~PreloadProgress() = default;
  // A count under an id (the first while reading, the second while
  // sorting); false when the user cancelled.
  virtual bool report(int id, std::size_t count) = 0;
  // A failure box (message number).
  virtual void failure(int message) = 0;
};

// Preloads the key into the company's cache with the cache's flags.
// Without progress nothing is shown and nothing can be cancelled; the
// failure then stays as the pending message.
int DataPreLoad(data::CompanyContext& company, const data::PreloadKey& key, PreloadProgress* progress,
                int first_id, int second_id);

// The GL evaluation's question: the table and the account kind for the
// request's descriptor, or false when the files must be read.
bool cache_lookup(data::CompanyContext& company, const GlRequest& request, const specifier::PeriodDescriptor& period,
                  specifier::AmountTable& table, specifier::AccountKind& kind);

// Frees every set of the company's cache.
void clear_cache(data::CompanyContext& company);

// Plugs the cache into the GL evaluation and into the news of changed
// balances (a write clears the company's cache).
void install_preload();

}  // namespace kovo::requests
