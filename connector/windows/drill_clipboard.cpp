#include "windows/drill_clipboard.h"

#include <new>

namespace kovo::drill {

bool ClipboardText::allocate() {
  if (allocated_) return true;
  if (kStep > limit_) return false;
  try {
    text_.reserve(kStep);
  } catch (const std::bad_alloc&) {
    return false;
  }
  capacity_ = kStep;
  allocated_ = true;
  return true;
}

bool ClipboardText::make_room(std::size_t more) {
  if (!allocated_ && !allocate()) return false;
  // room for the piece and the terminating zero
  std::size_t wanted = capacity_;
  while (text_.size() + more + 1 > wanted) {
    if (wanted > limit_ - kStep) return false;
    wanted += kStep;
  }
  // The block is counted in steps; the text itself grows as strings do, so
  // that a long text is not copied once per step.
  capacity_ = wanted;
  return true;
}

bool ClipboardText::piece(std::string_view text, bool ends_line) {
  if (!make_room(text.size() + (ends_line ? 2 : 1))) return false;
  const std::size_t before = text_.size();
  try {
    text_ += text;
    text_ += ends_line ? std::string_view("\r\n") : std::string_view("\t");
  } catch (const std::bad_alloc&) {
    text_.resize(before);
    return false;
  }
  if (ends_line) ++lines_;
  return true;
}

void ClipboardText::begin_block() {
  new_block_due_ = false;
  block_start_ = lines_;
}

std::string ClipboardText::take() {
  std::string out;
  out.swap(text_);
  allocated_ = false;
  capacity_ = 0;
  lines_ = 0;
  block_start_ = 0;
  new_block_due_ = true;
  return out;
}

std::string squeezed_line(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (const char c : line) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    if (c == '\t')
      while (!out.empty() && out.back() == ' ') out.pop_back();
    out += c;
  }
  return out;
}

}  // namespace kovo::drill
