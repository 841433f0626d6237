// The contents of every list of the list command, built from the settings'
// company and the ledger.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "windows/fill_pacer.h"
#include "windows/list_catalog.h"
#include "windows/segment_values.h"

namespace kovo::data {
struct CompanyContext;
}

namespace kovo::lists {

struct ListEntry {
  std::string item;
  std::string description;
  bool heading = false;  // a "#...#" heading of a segment list
};

enum class ItemStyle {
  Quoted,  // items carry a leading apostrophe
  Plain,   // periods and years: no apostrophe on the clipboard
  Raw,     // written exactly as they stand (the segment definitions line)
};

struct ListText {
  std::vector<ListEntry> entries;
  bool descriptions = false;  // each item is followed by its description
  ItemStyle style = ItemStyle::Quoted;
  bool one_row = false;       // always one row on the clipboard (the budget headings)
};

// The clipboard's list, or the one sent back as the command's result text.
enum class ListForm { Clipboard, Result };

enum class BuildStatus {
  Built,
  NoSuchList,  // the request names no list
  Failed,      // the company or the ledger failed; the message is pending
  Stopped,     // the user stopped the fill
};

struct BuiltList {
  BuildStatus status = BuildStatus::Built;
  ListText list;
};

// The settings' company, opened; nullptr with the message pending.
data::CompanyContext* list_company();

// The company's segment names, one per segment.
std::vector<std::string> segment_names(const data::CompanyContext& company);

// Builds the list a "List" request names, with the list settings in force.
BuiltList build_list(std::string_view request, ListForm form, SegmentValueCache& cache,
                     const windows::RowCheck& row = {});

// The criteria of a where part: "+" separates them; "#text#" is a heading;
// inside parentheses a "+" joins alternatives, as "," does anywhere.
struct Criterion {
  bool heading = false;
  std::string heading_text;
  std::vector<std::string> alternatives;
};
std::vector<Criterion> parse_criteria(std::string_view is_text);

}  // namespace kovo::lists
