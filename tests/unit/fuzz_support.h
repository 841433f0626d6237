// Round counts and seeds of the fuzz tests. The defaults keep the ordinary
// test run quick; a soak sets KOVO_FUZZ_ROUNDS (the executions of each fuzz
// test) and KOVO_FUZZ_SEED (mixed into each test's own seed) in the
// environment, as scripts/fuzz does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kovo::testing {

inline long long fuzz_environment_number(const char* name) {
  const char* text = std::getenv(name);
  if (!text || !*text) return -1;
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  return end && *end == '\0' && value >= 0 ? value : -1;
}

// The executions of a fuzz test: KOVO_FUZZ_ROUNDS when set, else its default.
inline long long fuzz_rounds(long long default_rounds) {
  const long long rounds = fuzz_environment_number("KOVO_FUZZ_ROUNDS");
  return rounds >= 0 ? rounds : default_rounds;
}

// The test's own seed, mixed with KOVO_FUZZ_SEED when that is set.
inline std::uint32_t fuzz_seed(std::uint32_t own_seed) {
  const long long seed = fuzz_environment_number("KOVO_FUZZ_SEED");
  if (seed < 0) return own_seed;
  return own_seed ^ static_cast<std::uint32_t>(seed * 2654435761ULL);
}

// Says how many executions a fuzz test ran, for the soak's report.
inline void report_fuzz_executions(long long executions) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::printf("[fuzz] %s.%s executions=%lld\n", info->test_suite_name(), info->name(), executions);
  std::fflush(stdout);
  ::testing::Test::RecordProperty("executions", std::to_string(executions));
}

}  // namespace kovo::testing
