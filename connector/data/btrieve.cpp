#include "data/btrieve.h"

#include "entry/messages.h"

namespace kovo::btrv {
namespace {

struct StatusState {
  int last = 0;
  std::string text;
};
StatusState g_status;

}  // namespace

int status_string_id(int status) {
  if (status == -1) return 3002;
  if ((status >= 1001 && status <= 1015) || (status >= 2001 && status <= 2006)) return status;
  if (status < 98) return status + 10000;
  return 3001;
}

std::string error_text(int status, const char* name) {
  std::string text;
  if (name) {
    text.append(std::string_view(name).substr(0, kMaxNameInText));
    text += " - ";
  }
  text += "Btrieve Error " + std::to_string(status) + " - ";
  std::string status_text = message_string(status_string_id(status));
  if (status_text.empty()) status_text = message_string(3001);
  text += status_text;
  if (text.size() > kErrorTextSize - 1) text.resize(kErrorTextSize - 1);
  return text;
}

int check_status(int status, const char* name) {
  g_status.last = status;
  if (status == 0) return 0;
  g_status.text = error_text(status, name);
  return kBtrieveError;
}

int last_status() { return g_status.last; }
bool ran_out(int status) { return status == 9 || status == 4; }
const std::string& last_error_text() { return g_status.text; }
std::string last_status_text() { return error_text(g_status.last, nullptr); }

std::string make_btrieve_path(std::string path, const ShortForm& short_form) {
  const std::size_t slash = path.find_last_of('\\');
  const std::size_t last_start = slash == std::string::npos ? 0 : slash;
  for (std::size_t i = last_start; i < path.size(); ++i)
    if (path[i] == ' ') path[i] = '_';
  const std::string last_component = path.substr(last_start);
  if (path.find(' ') == std::string::npos) return path;
  if (short_form) {
    const std::string shorter = short_form(path);
    if (!shorter.empty() && shorter.size() <= path.size()) path = shorter;
  }
  const std::size_t cut = path.find_last_of('\\');
  path.resize(cut == std::string::npos ? 0 : cut);
  return path + last_component;
}

}  // namespace kovo::btrv
