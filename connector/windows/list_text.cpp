#include "windows/list_text.h"

namespace kovo::lists {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
// A chunk's own closing line end, the command's line end and the terminator.
constexpr std::size_t kChunkTail = 2 + 2 + 1;

std::string result_line(const ListText& list, const ListEntry& entry) {
  std::string line;
  if (list.style != ItemStyle::Raw) line += '\'';
  line += entry.item;
  if (list.descriptions && !entry.heading) {
    line += '\t';
    line += entry.description;
  }
  return line;
}

std::string clipboard_item(const ListText& list, const ListEntry& entry) {
  return list.style == ItemStyle::Quoted ? "'" + entry.item : entry.item;
}

}  // namespace

std::string clipboard_text(const ListText& list, bool transpose) {
  std::string text;
  if (list.style == ItemStyle::Plain) {
    for (const auto& entry : list.entries) {
      text += entry.item;
      text += transpose ? std::string_view("\t") : kLineEnd;
    }
    return text;
  }
  if (!(transpose || list.one_row)) {
    for (const auto& entry : list.entries) {
      text += clipboard_item(list, entry);
      if (list.descriptions && !entry.heading) text += "\t" + entry.description;
      text += kLineEnd;
    }
    return text;
  }
  auto row = [&](bool descriptions) {
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
      const ListEntry& entry = list.entries[i];
      if (i) text += '\t';
      text += descriptions ? (entry.heading ? std::string() : entry.description) : clipboard_item(list, entry);
    }
    text += kLineEnd;
  };
  if (list.entries.empty()) return text;
  row(false);
  if (list.descriptions) row(true);
  return text;
}

std::string ListTransfer::next_chunk() {
  const auto& entries = list_.entries;
  if (!active_ || next_ >= entries.size()) {
    release();
    return std::string(kListDone);
  }
  std::string text;
  const std::size_t first = next_;
  for (std::size_t i = first; i < entries.size(); ++i) {
    const std::string line = result_line(list_, entries[i]);
    const std::size_t separator = i > first ? kLineEnd.size() : 0;
    if (i > first && text.size() + separator + line.size() + kChunkTail > kChunkCapacity) {
      // The item does not fit this chunk at all: it starts the next one.
      text += kLineEnd;
      next_ = i;
      return text;
    }
    if (separator) text += kLineEnd;
    text += line;
    const bool last = i + 1 == entries.size();
    if (last && text.size() < kChunkTarget) {
      text += kLineEnd;
      text += kListDone;
      next_ = entries.size();
      return text;
    }
    if (last || text.size() > kChunkTarget) {
      text += kLineEnd;
      // The item just written opens the next chunk too (never the only
      // item of a chunk, so every chunk moves on).
      next_ = i > first ? i : i + 1;
      return text;
    }
  }
  next_ = entries.size();
  return text;
}

}  // namespace kovo::lists
