#include "windows/fill_pacer.h"

#include <chrono>
#include <utility>

namespace kovo::windows {

std::uint64_t FillPacer::steady_milliseconds() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

FillPacer::FillPacer(bool automation, Hooks hooks, Clock clock, unsigned interval, unsigned show_interval)
    : automation_(automation),
      hooks_(std::move(hooks)),
      clock_(clock ? std::move(clock) : Clock(steady_milliseconds)),
      interval_(interval),
      show_interval_(show_interval) {}

bool FillPacer::row() { return row_at(rows_ + 1); }

bool FillPacer::row_at(std::size_t rows) {
  if (stopped_) return false;
  rows_ = rows;
  if (automation_) return true;
  const std::uint64_t now = clock_();
  if (looked_ && now - last_look_ < interval_) return true;
  const bool show = !looked_ || now - last_show_ >= show_interval_;
  looked_ = true;
  last_look_ = now;
  if (show) last_show_ = now;
  if (show && hooks_.show_progress) hooks_.show_progress(rows_);
  if (hooks_.pump) hooks_.pump();
  return !stopped_;
}

}  // namespace kovo::windows
