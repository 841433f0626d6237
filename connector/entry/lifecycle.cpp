#include "entry/lifecycle.h"

#include <algorithm>
#include <array>
#include <vector>

namespace kovo {
namespace {

struct CleanupStep {
  CleanupStage stage;
  void (*step)();
};

std::vector<CleanupStep>& cleanup_steps() {
  static std::vector<CleanupStep> steps;
  return steps;
}

std::array<int, 4> g_busy{};  // work under way, by kind

std::vector<BalancesChanged>& balance_listeners() {
  static std::vector<BalancesChanged> listeners;
  return listeners;
}

}  // namespace

LifecycleHooks& lifecycle_hooks() {
  static LifecycleHooks hooks;
  return hooks;
}

void on_cleanup(CleanupStage stage, void (*step)()) {
  if (!step) return;
  auto& steps = cleanup_steps();
  const bool known = std::any_of(steps.begin(), steps.end(), [&](const CleanupStep& s) { return s.step == step; });
  if (known) return;
  // Keeps the list in stage order, later registrations after earlier ones.
  const auto at = std::upper_bound(steps.begin(), steps.end(), stage,
                                   [](CleanupStage s, const CleanupStep& e) { return s < e.stage; });
  steps.insert(at, {stage, step});
}

void run_cleanup() {
  // A step may register further steps; walk a copy.
  const std::vector<CleanupStep> steps = cleanup_steps();
  for (const auto& s : steps) s.step();
}

BusyScope::BusyScope(Work work) : work_(work) { ++g_busy[static_cast<std::size_t>(work)]; }
BusyScope::~BusyScope() { --g_busy[static_cast<std::size_t>(work_)]; }

bool connector_busy() {
  return std::any_of(g_busy.begin(), g_busy.end(), [](int n) { return n > 0; });
}

bool busy_with(Work work) { return g_busy[static_cast<std::size_t>(work)] > 0; }

void on_balances_changed(BalancesChanged listener) {
  auto& listeners = balance_listeners();
  if (listener && std::find(listeners.begin(), listeners.end(), listener) == listeners.end())
    listeners.push_back(listener);
}

void balances_changed(std::string_view company_id) {
  for (const auto listener : balance_listeners()) listener(company_id);
}

}  // namespace kovo
