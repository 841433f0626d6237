// The pace of a window's long fill: between rows the window shows how far
// it got and looks at its messages, so that it stays responsive and the user
// can stop it; in automation the message queue is never looked at.
#pragma once

#include <cstddef>
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

  // every: rows between two looks at the queue (the first row always looks).
  FillPacer(bool automation, Hooks hooks, std::size_t every = 50);

  // After each row: false once a stop was asked for (also from inside pump).
  bool row();
  void request_stop() { stopped_ = true; }
  bool stopped() const { return stopped_; }
  std::size_t rows() const { return rows_; }
  RowCheck check() {
    return [this] { return row(); };
  }

 private:
  bool automation_;
  Hooks hooks_;
  std::size_t every_;
  std::size_t rows_ = 0;
  bool stopped_ = false;
};

}  // namespace kovo::windows
