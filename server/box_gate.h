// Lets at most one of the server's boxes be up at a time.
//
// A box's modal loop keeps delivering DDE transactions, so every execute that
// arrives while a box is up would otherwise raise its own box inside the
// previous one's loop: a flood of refused commands nests boxes until the
// stack runs out. Through the gate, a box that asks while another is up
// waits its turn in a short queue, or is dropped when the same text is up or
// waiting already or the queue is full (the caller logs what it dropped).
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace kovo::server {

inline constexpr std::size_t kMaxWaitingBoxes = 8;

struct WaitingBox {
  std::string text;
  unsigned style = 0;  // the box's buttons and icon, opaque here
};

class BoxGate {
 public:
  enum class Decision { kShow, kWait, kDrop };

  explicit BoxGate(std::size_t max_waiting = kMaxWaitingBoxes) : max_waiting_(max_waiting) {}

  // A box asks to go up. kShow: it is up now, and the caller must call
  // closed() once it is down. kWait: it is queued. kDrop: it is not shown.
  Decision ask(std::string_view text, unsigned style = 0);
  // Something modal other than a box (a dialog) takes the place of one; false
  // when a box is up or waiting already.
  bool claim();
  // The box (or claim) that was up went down. True when a waiting box should
  // now be shown (take_next gives it).
  bool closed();
  // The next waiting box, which is then up; nothing while one is up.
  std::optional<WaitingBox> take_next();

  bool busy() const { return up_ || !waiting_.empty(); }
  bool up() const { return up_; }
  std::size_t waiting() const { return waiting_.size(); }

 private:
  std::size_t max_waiting_;
  bool up_ = false;
  std::string showing_;
  std::deque<WaitingBox> waiting_;
};

}  // namespace kovo::server
