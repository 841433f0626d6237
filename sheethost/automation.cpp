#include "sheethost/automation.h"

#include <vector>

namespace kovo::sheet {

namespace {

// A cursor over the macro text.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}
  void blanks() {
    while (at_ < text_.size() && text_[at_] == ' ') ++at_;
  }
  bool take(char c) {
    blanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool word(std::string_view w) {
    blanks();
    if (text_.size() - at_ < w.size() || !same_text_no_case(text_.substr(at_, w.size()), w)) return false;
    at_ += w.size();
    return true;
  }
  // A text in double quotes, a doubled quote standing for one.
  std::optional<std::string> quoted() {
    if (!take('"')) return std::nullopt;
    std::string out;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c != '"') {
        out += c;
        continue;
      }
      if (at_ < text_.size() && text_[at_] == '"') {
        out += '"';
        ++at_;
        continue;
      }
      return out;
    }
    return std::nullopt;  // no closing quote
  }
  bool done() {
    blanks();
    return at_ == text_.size();
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<CallMacro> parse_call_macro(std::string_view text) {
  Reader r(text);
  r.take('=');
  if (!r.word("CALL") || !r.take('(')) return std::nullopt;
  std::vector<std::string> parts;
  for (;;) {
    auto part = r.quoted();
    if (!part) return std::nullopt;
    parts.push_back(std::move(*part));
    if (r.take(')')) break;
    if (!r.take(',')) return std::nullopt;
  }
  // Arguments to the procedure are not offered: only a procedure without any.
  if (!r.done() || parts.size() != 3 || parts[0].empty() || parts[1].empty() || parts[2].empty()) return std::nullopt;
  return CallMacro{parts[0], parts[1], parts[2]};
}

long automation_error_code(ErrorCode error) {
  return static_cast<long>(0x800A0000UL + 2000 + static_cast<unsigned>(error));
}

}  // namespace kovo::sheet
