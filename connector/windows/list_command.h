// The list command: the lists built for the clipboard or sent back as the
// command's result text, with the state that lives between its requests
// (the segment value cache and a chunked transfer under way).
#pragma once

#include <string>
#include <string_view>

#include "windows/fill_pacer.h"
#include "windows/list_contents.h"

namespace kovo::lists {

SegmentValueCache& value_cache();

// The result text of a NoShow run with "NoClipboard" set, from the settings
// "List" and "MoreData": "RESET" releases everything and answers
// "KovoListDone"; MoreData 0 builds the list and answers its first chunk,
// MoreData 1 the next chunk of the list under way. A list that cannot be
// built for a failure answers the failure's message.
std::string list_result_text();

// The clipboard table of the list a request names, with the settings'
// transposition.
struct ClipboardList {
  BuildStatus status = BuildStatus::Built;
  std::string text;
};
ClipboardList clipboard_list(std::string_view request, const windows::RowCheck& row = {});

// Frees the segment value cache and any transfer.
void release_lists();

// Frees the lists' state at clean-up, after the companies.
void install_lists();

}  // namespace kovo::lists
