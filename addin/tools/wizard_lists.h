// The report wizard's traffic with the connector: list requests (answered
// as text over DDE, or placed on the clipboard by connectors that cannot
// answer lists as text) and the settings commands of its steps.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kovo::addin::tools {

inline constexpr std::string_view kListDone = "KovoListDone";
// Asked once per run: whether the server hands lists back as request answers.
inline constexpr std::string_view kClipToDdeProbe = "[CLIP_TO_DDE,(NOSHOW=1]";
inline constexpr std::string_view kResetList = "RESET";

// "[KovoLIST(NOSHOW=1," then, for answers as text, "NoClipboard=1, " and
// "MOREDATA=0, ", then "List=" the list name or segment request and ")]".
std::string list_command(std::string_view list, bool as_text);
// "[Setup(NOSHOW=1," name "=" value ")]".
std::string setting_command(std::string_view name, std::string_view value);

// The segment request of the values of one axis for the accounts whose
// other axis holds a value: axis ";" other ";" value.
std::string segment_request(std::string_view axis, std::string_view where, std::string_view is);

// Reads the answers of a list request and its continuations: each line an
// item (its apostrophe dropped, cut at 200 characters), "KovoListDone"
// ending the list, the item that starts a continuation dropped when it
// repeats the one that ended the answer before.
class ListReader {
 public:
  // Takes one answer; true while more answers follow (until one begins with
  // "KovoListDone"). An empty answer (the request failed) ends the list as failed.
  bool take(std::string_view answer);
  bool failed() const { return failed_; }
  const std::vector<std::string>& items() const { return items_; }

 private:
  std::vector<std::string> items_;
  bool done_ = false;
  bool failed_ = false;
};

// A list read from the clipboard: every non-empty line an item.
std::vector<std::string> clipboard_list(std::string_view text);

// The code of a list item: its text before any tab.
std::string item_code(std::string_view item);

}  // namespace kovo::addin::tools
