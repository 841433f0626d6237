#include "addin/tools/wizard_lists.h"

#include "addin/core/clipboard_text.h"

namespace kovo::addin::tools {

std::string list_command(std::string_view list, bool as_text) {
  std::string text = "[KovoLIST(NOSHOW=1,";
  if (as_text) text += "NoClipboard=1, MOREDATA=0, ";
  text += "List=";
  text += list;
  return text + ")]";
}

std::string setting_command(std::string_view name, std::string_view value) {
  std::string text = "[Setup(NOSHOW=1,";
  text += name;
  text += "=";
  text += value;
  return text + ")]";
}

std::string segment_request(std::string_view axis, std::string_view where, std::string_view is) {
  std::string text(axis);
  text += ";";
  text += where;
  text += ";";
  text += is;
  return text;
}

bool ListReader::take(std::string_view answer) {
  if (done_) return false;
  if (answer.empty()) {
    failed_ = true;
    done_ = true;
    return false;
  }
  bool first_of_answer = true;
  const bool last_answer = answer.substr(0, kListDone.size()) == kListDone;
  const std::string previous = items_.empty() ? std::string() : items_.back();
  const bool continuing = !items_.empty();
  for (const std::string& line : table_lines(answer)) {
    if (line == kListDone) {
      done_ = true;
      break;
    }
    // A continuation starts with the item that ended the answer before.
    if (first_of_answer && continuing && line == previous) {
      first_of_answer = false;
      continue;
    }
    first_of_answer = false;
    items_.push_back(line);
  }
  if (last_answer) done_ = true;
  return !last_answer;
}

std::vector<std::string> clipboard_list(std::string_view text) {
  std::vector<std::string> items;
  for (std::string& line : table_lines(text))
    if (!line.empty()) items.push_back(std::move(line));
  return items;
}

std::string item_code(std::string_view item) { return std::string(item.substr(0, item.find('\t'))); }

}  // namespace kovo::addin::tools
