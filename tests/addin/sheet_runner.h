// Runs the sheet host from a test. The add-in in it announces its
// conversations to every window of the prefix and waits for each to answer,
// this process's windows among them (DDE windows that a client left, for
// one): so this thread keeps taking its messages while the sheet host runs.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "program_runner.h"
#include "server_fixture.h"

namespace kovo::testing {

inline ProgramResult run_sheet_host(const std::string& command_line) {
  ProgramResult result;
  std::atomic<bool> done{false};
  std::thread runner([&] {
    result = run_program(command_line, {}, 150000);
    done = true;
  });
  wait_for([&] { return done.load(); }, 160000);
  runner.join();
  return result;
}

}  // namespace kovo::testing
