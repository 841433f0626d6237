// A built list written out: the clipboard table, and the result text of the
// list command sent in chunks with a continuation.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "windows/list_contents.h"

namespace kovo::lists {

inline constexpr std::string_view kListDone = "KovoListDone";
// A chunk ends once its text has grown beyond this many characters.
inline constexpr std::size_t kChunkTarget = 15500;
// No chunk, with the line end the command appends and the terminator,
// outgrows the result buffer of this size.
inline constexpr std::size_t kChunkCapacity = 16000;

// The clipboard table: items with a leading apostrophe (not for periods and
// years), one per line, or transposed in one row ended by CR LF with the
// descriptions in a second row.
std::string clipboard_text(const ListText& list, bool transpose);

// Where a chunked transfer stands: the list and the next item to write.
class ListTransfer {
 public:
  void start(ListText list) {
    list_ = std::move(list);
    next_ = 0;
    active_ = true;
  }
  void release() {
    list_ = {};
    next_ = 0;
    active_ = false;
  }
  bool active() const { return active_; }

  // The next chunk: items separated by CR LF, the item at a chunk's end
  // repeated at the start of the next one, and "KovoListDone" after the
  // last item. Exactly "KovoListDone" once nothing is left, which also
  // releases the transfer.
  std::string next_chunk();

 private:
  ListText list_;
  std::size_t next_ = 0;
  bool active_ = false;
};

}  // namespace kovo::lists
