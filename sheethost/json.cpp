#include "sheethost/json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>

namespace kovo::sheet::json {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the well-formed UTF-8 sequence starting at s[i] (of a
// character from U+0080 up), or 0 when it is not one: no overlong forms, no
// surrogates, nothing past U+10FFFF.
std::size_t utf8_sequence(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u; };
  const unsigned c = byte(0);
  const auto tail = [&](std::size_t k) { return (byte(k) & 0xC0u) == 0x80u; };
  if (c >= 0xC2 && c <= 0xDF) return tail(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    const unsigned c1 = byte(1);
    if (c == 0xE0 && c1 < 0xA0) return 0;
    if (c == 0xED && c1 >= 0xA0) return 0;
    return tail(1) && tail(2) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned c1 = byte(1);
    if (c == 0xF0 && c1 < 0x90) return 0;
    if (c == 0xF4 && c1 >= 0x90) return 0;
    return tail(1) && tail(2) && tail(3) ? 4 : 0;
  }
  return 0;
}

void append_utf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::uint32_t hex4(std::string_view s, std::size_t i) {
  std::uint32_t v = 0;
  for (std::size_t k = 0; k < 4; ++k) v = v * 16 + static_cast<std::uint32_t>(hex_value(s[i + k]));
  return v;
}

}  // namespace

// ------------------------------------------------------------------ reading

class Parser {
 public:
  Parser(std::string_view text, Document& doc, int max_depth) : s_(text), doc_(doc), max_depth_(max_depth) {}

  bool run(std::string& error) {
    if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // a byte order mark some editors write
    if (!value()) return finish(error);
    // The open containers are continued here, one item or member at a
    // time: nesting never deepens the call stack.
    while (!open_.empty()) {
      skip_blanks();
      const Document::Entry& top = doc_.entries_[open_.back()];
      const bool array = top.kind == Kind::Array;
      if (at(array ? ']' : '}')) {
        close();
        if (!failed_.empty()) return finish(error);
        continue;
      }
      if (top.count > 0) {
        if (!at(',')) {
          fail(array ? "\",\" or \"]\" is expected" : "\",\" or \"}\" is expected");
          return finish(error);
        }
        ++pos_;
      }
      if (!(array ? value() : member())) return finish(error);
    }
    skip_blanks();
    if (pos_ < s_.size()) fail("the text goes on after the end of the JSON value");
    return finish(error);
  }

 private:
  bool at(char c) const { return pos_ < s_.size() && s_[pos_] == c; }
  void skip_blanks() {
    while (pos_ < s_.size() && is_blank(s_[pos_])) ++pos_;
  }

  void fail(const std::string& what) { fail_at(pos_, what); }
  void fail_at(std::size_t where, const std::string& what) {
    if (!failed_.empty()) return;
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < where && i < s_.size(); ++i) {
      if (s_[i] == '\n') ++line, column = 1;
      else if ((static_cast<unsigned char>(s_[i]) & 0xC0) != 0x80) ++column;
    }
    failed_ = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
  }
  bool finish(std::string& error) {
    if (failed_.empty()) return true;
    error = failed_;
    return false;
  }

  std::uint32_t add(Kind kind, std::size_t offset, std::size_t length = 0) {
    if (!open_.empty()) ++doc_.entries_[open_.back()].count;
    Document::Entry e;
    e.kind = kind;
    e.offset = static_cast<std::uint32_t>(offset);
    e.length = static_cast<std::uint32_t>(length);
    doc_.entries_.push_back(e);
    const auto index = static_cast<std::uint32_t>(doc_.entries_.size() - 1);
    doc_.entries_[index].next = index + 1;
    return index;
  }

  void close() {
    ++pos_;
    const std::uint32_t index = open_.back();
    open_.pop_back();
    Document::Entry& e = doc_.entries_[index];
    e.next = static_cast<std::uint32_t>(doc_.entries_.size());
    if (e.kind == Kind::Object) check_keys(index);
  }

  // A key given twice in one object would leave one of its values unread.
  // Keys are compared as decoded; most hold no escapes and are compared in
  // place, without a copy each. Small objects (most of them) compare every
  // pair; large ones sort their keys.
  void check_keys(std::uint32_t object) {
    const Document::Entry& o = doc_.entries_[object];
    if (o.count < 2) return;
    struct Key {
      std::string_view text;
      std::uint32_t offset;
    };
    std::vector<Key> keys;
    keys.reserve(o.count);
    std::vector<std::string> decoded;  // reserved whole before the first, so views into it stay valid
    for (std::uint32_t i = object + 1; i < o.next; i = doc_.entries_[i + 1].next) {
      const Document::Entry& k = doc_.entries_[i];
      std::string_view text = s_.substr(k.offset, k.length);
      if (k.escaped) {
        if (decoded.empty()) decoded.reserve(o.count);
        text = decoded.emplace_back(Value(&doc_, i).string());
      }
      keys.push_back({text, k.offset});
    }
    const Key* repeat = nullptr;
    auto note = [&](const Key& k) {
      if (!repeat || k.offset < repeat->offset) repeat = &k;
    };
    constexpr std::size_t kPairwise = 16;
    if (keys.size() <= kPairwise) {
      for (std::size_t i = 1; i < keys.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
          if (keys[i].text == keys[j].text) note(keys[i]);
    } else {
      std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return a.text != b.text ? a.text < b.text : a.offset < b.offset;
      });
      for (std::size_t i = 1; i < keys.size(); ++i)
        if (keys[i].text == keys[i - 1].text) note(keys[i]);
    }
    if (repeat) fail_at(repeat->offset - 1, "the key \"" + std::string(repeat->text) + "\" is given twice");
  }

  // One member: key, ":" and value (a container value stays open).
  bool member() {
    skip_blanks();
    if (!at('"')) {
      fail("a key in quotes is expected");
      return false;
    }
    if (!string(true)) return false;
    skip_blanks();
    if (!at(':')) {
      fail("\":\" is expected after the key");
      return false;
    }
    ++pos_;
    return value(true);
  }

  // One value; a container is opened and left for the caller's loop.
  bool value(bool after_key = false) {
    skip_blanks();
    if (pos_ >= s_.size()) {
      fail("the text ends where a value is expected");
      return false;
    }
    const char c = s_[pos_];
    if (c == '{' || c == '[') {
      if (static_cast<int>(open_.size()) >= max_depth_) {
        fail("the values nest deeper than " + std::to_string(max_depth_) + " levels");
        return false;
      }
      const std::uint32_t index = add(c == '{' ? Kind::Object : Kind::Array, pos_);
      if (after_key) --doc_.entries_[open_.back()].count;  // a member counts once, at its key
      open_.push_back(index);
      ++pos_;
      return true;
    }
    bool ok;
    if (c == '"') ok = string(false);
    else if (c == '-' || is_digit(c)) ok = number();
    else if (s_.substr(pos_, 4) == "true") ok = literal(Kind::True, 4);
    else if (s_.substr(pos_, 5) == "false") ok = literal(Kind::False, 5);
    else if (s_.substr(pos_, 4) == "null") ok = literal(Kind::Null, 4);
    else {
      fail("a value is expected");
      return false;
    }
    if (ok && after_key) --doc_.entries_[open_.back()].count;
    return ok;
  }

  bool literal(Kind kind, std::size_t length) {
    add(kind, pos_, length);
    pos_ += length;
    return true;
  }

  bool number() {
    const std::size_t start = pos_;
    if (at('-')) ++pos_;
    if (at('0')) {
      ++pos_;
    } else if (pos_ < s_.size() && is_digit(s_[pos_])) {
      while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
    } else {
      fail("a digit is expected");
      return false;
    }
    if (at('.')) {
      ++pos_;
      if (pos_ >= s_.size() || !is_digit(s_[pos_])) {
        fail("a digit is expected after the decimal point");
        return false;
      }
      while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
    }
    if (at('e') || at('E')) {
      ++pos_;
      if (at('+') || at('-')) ++pos_;
      if (pos_ >= s_.size() || !is_digit(s_[pos_])) {
        fail("a digit is expected in the exponent");
        return false;
      }
      while (pos_ < s_.size() && is_digit(s_[pos_])) ++pos_;
    }
    add(Kind::Number, start, pos_ - start);
    return true;
  }

  bool string(bool is_key) {
    const std::size_t open = pos_++;
    bool escaped = false;
    while (true) {
      if (pos_ >= s_.size()) {
        fail_at(open, is_key ? "the key's closing quote is missing" : "the text's closing quote is missing");
        return false;
      }
      const auto c = static_cast<unsigned char>(s_[pos_]);
      if (c == '"') break;
      if (c < 0x20) {
        fail("a control character stands inside a text (write it as an escape such as \\n)");
        return false;
      }
      if (c == '\\') {
        escaped = true;
        if (!escape()) return false;
        continue;
      }
      if (c < 0x80) {
        ++pos_;
        continue;
      }
      const std::size_t n = utf8_sequence(s_, pos_);
      if (n == 0) {
        fail("the text is not UTF-8");
        return false;
      }
      pos_ += n;
    }
    const std::uint32_t index = add(Kind::String, open + 1, pos_ - open - 1);
    doc_.entries_[index].escaped = escaped;
    ++pos_;
    return true;
  }

  bool escape() {
    const std::size_t start = pos_;
    ++pos_;
    if (pos_ >= s_.size()) {
      fail_at(start, "the text ends inside an escape");
      return false;
    }
    const char e = s_[pos_];
    if (std::string_view("\"\\/bfnrt").find(e) != std::string_view::npos) {
      ++pos_;
      return true;
    }
    if (e != 'u') {
      fail_at(start, std::string("\\") + e + " is no escape");
      return false;
    }
    auto unit = [&](std::size_t at_u) -> std::optional<std::uint32_t> {
      if (at_u + 5 > s_.size()) return std::nullopt;
      for (std::size_t k = 1; k <= 4; ++k)
        if (hex_value(s_[at_u + k]) < 0) return std::nullopt;
      return hex4(s_, at_u + 1);
    };
    const auto first = unit(pos_);
    if (!first) {
      fail_at(start, "\\u needs four hexadecimal digits");
      return false;
    }
    pos_ += 5;
    if (*first >= 0xDC00 && *first <= 0xDFFF) {
      fail_at(start, "a \\u escape holds half a character (a lone low surrogate)");
      return false;
    }
    if (*first >= 0xD800 && *first <= 0xDBFF) {
      const auto second = s_.substr(pos_, 2) == "\\u" ? unit(pos_ + 1) : std::nullopt;
      if (!second || *second < 0xDC00 || *second > 0xDFFF) {
        fail_at(start, "a \\u escape holds half a character (a high surrogate without its low one)");
        return false;
      }
      pos_ += 6;
    }
    return true;
  }

  std::string_view s_;
  Document& doc_;
  int max_depth_;
  std::size_t pos_ = 0;
  std::vector<std::uint32_t> open_;
  std::string failed_;
};

std::optional<Document> Document::parse(std::string_view text, std::string& error, int max_depth) {
  Document doc;
  doc.text_ = text;
  if (text.size() >= std::numeric_limits<std::uint32_t>::max()) {
    error = "the text is too long to read";
    return std::nullopt;
  }
  try {
    doc.entries_.reserve(std::min<std::size_t>(text.size() / 16, std::size_t{1} << 24) + 16);
    Parser parser(text, doc, max_depth);
    if (!parser.run(error)) return std::nullopt;
  } catch (const std::bad_alloc&) {
    error = "the text holds too many values to read into memory";
    return std::nullopt;
  }
  return doc;
}

Kind Value::kind() const { return doc_->entries_[index_].kind; }
std::uint32_t Value::next() const { return doc_->entries_[index_].next; }
std::size_t Value::offset() const {
  const auto& e = doc_->entries_[index_];
  return e.kind == Kind::String ? e.offset - 1 : e.offset;
}

std::string Value::string() const {
  const auto& e = doc_->entries_[index_];
  if (e.kind != Kind::String) return {};
  const std::string_view raw = doc_->text_.substr(e.offset, e.length);
  if (!e.escaped) return std::string(raw);
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') {
      out += raw[i];
      continue;
    }
    const char c = raw[++i];
    switch (c) {
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        std::uint32_t code = hex4(raw, i + 1);
        i += 4;
        if (code >= 0xD800 && code <= 0xDBFF) {
          const std::uint32_t low = hex4(raw, i + 3);
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          i += 6;
        }
        append_utf8(out, code);
        break;
      }
      default: out += c; break;  // " \ /
    }
  }
  return out;
}

std::string_view Value::literal() const {
  const auto& e = doc_->entries_[index_];
  return e.kind == Kind::Number ? doc_->text_.substr(e.offset, e.length) : std::string_view();
}

std::optional<double> Value::number() const {
  const std::string_view text = literal();
  if (text.empty()) return std::nullopt;
  // strtod wants a terminated text; numbers are short, and a long one is cut
  // only in digits that do not count.
  char buffer[128];
  std::string copy;
  const char* start = buffer;
  if (text.size() < sizeof buffer) {
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = '\0';
  } else {
    copy.assign(text);
    start = copy.c_str();
  }
  const double n = std::strtod(start, nullptr);
  if (!std::isfinite(n)) return std::nullopt;
  return n;
}

std::optional<long long> Value::integer() const {
  const std::string_view text = literal();
  if (text.empty() || text.find_first_of(".eE") != std::string_view::npos) return std::nullopt;
  long long n = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return n;
}

std::size_t Value::size() const {
  const auto& e = doc_->entries_[index_];
  return e.kind == Kind::Array || e.kind == Kind::Object ? e.count : 0;
}

std::vector<Value> Value::items() const {
  std::vector<Value> out;
  if (!is_array()) return out;
  out.reserve(size());
  for (std::uint32_t i = index_ + 1; i < next(); i = Value(doc_, i).next()) out.push_back(Value(doc_, i));
  return out;
}

std::vector<Value::Member> Value::members() const {
  std::vector<Member> out;
  out.reserve(size());
  for_each_member([&](std::string key, const Value& value) { out.push_back({std::move(key), value}); });
  return out;
}

std::optional<Value> Value::find(std::string_view key) const {
  if (!is_object()) return std::nullopt;
  for (std::uint32_t i = index_ + 1; i < next(); i = Value(doc_, i + 1).next()) {
    const auto& k = doc_->entries_[i];
    const bool same = k.escaped ? Value(doc_, i).string() == key : doc_->text_.substr(k.offset, k.length) == key;
    if (same) return Value(doc_, i + 1);
  }
  return std::nullopt;
}

// ------------------------------------------------------------------ writing

std::string number_text(double n) {
  if (!std::isfinite(n)) return "null";
  // The shortest digits that read back the same, laid out as a decimal
  // number when the exponent is moderate ("0.0001", "1234567.0") and in
  // exponent form beyond ("1e+16", "1.5e-05").
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, n, std::chars_format::scientific);
  const std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
  std::string out;
  std::size_t i = 0;
  if (sci[0] == '-') out += '-', i = 1;
  const std::size_t e = sci.find('e');
  std::string digits;
  for (std::size_t k = i; k < e; ++k)
    if (sci[k] != '.') digits += sci[k];
  const int exponent = std::atoi(std::string(sci.substr(e + 1)).c_str());
  const int k = static_cast<int>(digits.size());
  const int point = exponent + 1;  // digits before the decimal point
  constexpr int kMinPoint = -4, kMaxPoint = 15;
  if (k <= point && point <= kMaxPoint) {
    out += digits + std::string(static_cast<std::size_t>(point - k), '0') + ".0";
  } else if (0 < point && point <= kMaxPoint) {
    out += digits.substr(0, static_cast<std::size_t>(point)) + "." + digits.substr(static_cast<std::size_t>(point));
  } else if (kMinPoint < point && point <= 0) {
    out += "0." + std::string(static_cast<std::size_t>(-point), '0') + digits;
  } else {
    out += digits.substr(0, 1);
    if (k > 1) out += "." + digits.substr(1);
    const int shown = point - 1;
    char exp[16];
    std::snprintf(exp, sizeof exp, "e%c%02d", shown < 0 ? '-' : '+', shown < 0 ? -shown : shown);
    out += exp;
  }
  return out;
}

std::string quoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t n = utf8_sequence(text, i);
      if (n == 0) {
        out += "\xEF\xBF\xBD";
        ++i;
      } else {
        out.append(text.substr(i, n));
        i += n;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
  return out;
}

void Writer::newline(std::size_t depth) {
  out_ += '\n';
  out_.append(depth * 2, ' ');
}

void Writer::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (level.count++ > 0) out_ += ',';
  newline(levels_.size());
}

void Writer::begin_object() {
  before_value();
  out_ += '{';
  levels_.push_back({true, 0});
}

void Writer::begin_array() {
  before_value();
  out_ += '[';
  levels_.push_back({false, 0});
}

void Writer::end_object() {
  const bool any = levels_.back().count > 0;
  levels_.pop_back();
  if (any) newline(levels_.size());
  out_ += '}';
}

void Writer::end_array() { end_object(); out_.back() = ']'; }

void Writer::key(std::string_view key) {
  Level& level = levels_.back();
  if (level.count++ > 0) out_ += ',';
  newline(levels_.size());
  out_ += quoted(key);
  out_ += ": ";
  after_key_ = true;
}

void Writer::string(std::string_view text) {
  before_value();
  out_ += quoted(text);
}

void Writer::number(double n) {
  before_value();
  out_ += number_text(n);
}

void Writer::integer(long long n) {
  before_value();
  out_ += std::to_string(n);
}

void Writer::boolean(bool b) {
  before_value();
  out_ += b ? "true" : "false";
}

void Writer::null() {
  before_value();
  out_ += "null";
}

}  // namespace kovo::sheet::json
