#include "windows/fill_pacer.h"

#include <utility>

namespace kovo::windows {

FillPacer::FillPacer(bool automation, Hooks hooks, std::size_t every)
    : automation_(automation), hooks_(std::move(hooks)), every_(every == 0 ? 1 : every) {}

bool FillPacer::row() {
  if (stopped_) return false;
  const bool look = rows_ % every_ == 0;
  ++rows_;
  if (automation_ || !look) return true;
  if (hooks_.show_progress) hooks_.show_progress(rows_);
  if (hooks_.pump) hooks_.pump();
  return !stopped_;
}

}  // namespace kovo::windows
