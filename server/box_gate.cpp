#include "server/box_gate.h"

#include <algorithm>

namespace kovo::server {

BoxGate::Decision BoxGate::ask(std::string_view text, unsigned style) {
  if (!up_ && waiting_.empty()) {
    up_ = true;
    showing_.assign(text);
    return Decision::kShow;
  }
  const bool repeated = (up_ && showing_ == text) ||
                        std::any_of(waiting_.begin(), waiting_.end(), [&](const WaitingBox& b) { return b.text == text; });
  if (repeated || waiting_.size() >= max_waiting_) return Decision::kDrop;
  waiting_.push_back({std::string(text), style});
  return Decision::kWait;
}

bool BoxGate::claim() {
  if (busy()) return false;
  up_ = true;
  showing_.clear();
  return true;
}

bool BoxGate::closed() {
  up_ = false;
  showing_.clear();
  return !waiting_.empty();
}

std::optional<WaitingBox> BoxGate::take_next() {
  if (up_ || waiting_.empty()) return std::nullopt;
  WaitingBox next = std::move(waiting_.front());
  waiting_.pop_front();
  up_ = true;
  showing_ = next.text;
  return next;
}

}  // namespace kovo::server
