// The pace of a window's long fill: between rows the window shows how far
// it got and looks at its messages, so that it stays responsive and a stop
// is seen at once; in automation the message queue is never looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kovo::windows {

// Called between the rows of a fill; false stops it.
using RowCheck = std::function<bool()>;

class FillPacer {
 public:
  struct Hooks {
    std::function<void(std::size_t rows)> show_progress;  // rows done so far
    std::function<void()> pump;                           // the window's pending messages
  };
  // Milliseconds from any fixed point.
  using Clock = std::function<std::uint64_t()>;
  static std::uint64_t steady_milliseconds();

  // The queue is looked at after the first row and then whenever interval
  // milliseconds have passed since the last look: often enough that a Stop
  // or Quit takes effect at once, seldom enough that a fill of many cheap
  // rows does not spend its time looking.
  static constexpr unsigned kLookInterval = 15;
  // Progress shows at the first look and then at most every show interval:
  // drawing a list and its count takes far longer than a look, and a fill
  // that drew at every look would spend its time drawing.
  static constexpr unsigned kShowInterval = 200;
  FillPacer(bool automation, Hooks hooks, Clock clock = steady_milliseconds, unsigned interval = kLookInterval,
            unsigned show_interval = kShowInterval);

  // After each row: false once a stop was asked for (also from inside pump).
  bool row();
  // The same, for work that counts its own steps (several per row, or rows
  // reported now and then): rows is the count reached.
  bool row_at(std::size_t rows);
  void request_stop() { stopped_ = true; }
  bool stopped() const { return stopped_; }
  std::size_t rows() const { return rows_; }
  RowCheck check() {
    return [this] { return row(); };
  }

 private:
  bool automation_;
  Hooks hooks_;
  Clock clock_;
  unsigned interval_;
  unsigned show_interval_;
  std::size_t rows_ = 0;
  std::uint64_t last_look_ = 0;
  std::uint64_t last_show_ = 0;
  bool looked_ = false;
  bool stopped_ = false;
};

}  // namespace kovo::windows
