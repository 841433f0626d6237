// The drill-down's clipboard text: the rows of every Send gathered as
// tab-separated lines into blocks, each block opened by a header, until
// the text is handed to the clipboard.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kovo::drill {

class ClipboardText {
 public:
  // The text is counted in blocks grown by 16384 bytes, its terminator
  // included, up to a limit past which a piece is refused.
  static constexpr std::size_t kStep = 16384;
  static constexpr std::size_t kDefaultLimit = std::size_t{1} << 30;
  explicit ClipboardText(std::size_t limit = kDefaultLimit) : limit_(limit) {}

  // The text exists once a Send has begun one; false when even the first
  // step cannot be had.
  bool allocated() const { return allocated_; }
  bool allocate();

  // A piece of a line: its text and a tab, or, when it ends the line, CR LF
  // (the line is counted). False when the text cannot grow to hold it: the
  // piece is not written.
  bool piece(std::string_view text, bool ends_line);
  // The pieces of one line: each followed by a tab, the last by CR LF.
  template <class Range>
  bool line(const Range& pieces) {
    std::size_t left = std::size(pieces);
    for (const auto& p : pieces)
      if (!piece(p, --left == 0)) return false;
    return left == 0 || piece({}, true);
  }

  // A new block opens the next Send with a header; otherwise Sends follow
  // one another after an empty line.
  bool new_block_due() const { return new_block_due_; }
  void make_new_block_due() { new_block_due_ = true; }
  // The next Send opens its block here.
  void begin_block();
  std::size_t lines() const { return lines_; }
  std::size_t lines_in_block() const { return lines_ - block_start_; }

  const std::string& text() const { return text_; }
  std::size_t capacity() const { return capacity_; }
  // The text goes (to the clipboard, or nowhere): nothing is held and a new
  // block is due.
  std::string take();
  void reset() { take(); }

 private:
  bool make_room(std::size_t more);

  std::size_t limit_;
  bool allocated_ = false;
  std::string text_;
  std::size_t capacity_ = 0;
  std::size_t lines_ = 0;
  std::size_t block_start_ = 0;
  bool new_block_due_ = true;
};

// A line as a fill that no longer lists its rows writes it: runs of blanks
// become one and blanks before a tab go.
std::string squeezed_line(std::string_view line);

}  // namespace kovo::drill
