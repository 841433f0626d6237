// JSON for the host's own files (workbooks, toolbar files): a reader that
// takes the whole text into a flat list of values in one pass, without
// recursion, and a writer that appends to one text. Both work in time
// linear in the text.
//
// The reader refuses what is not strict JSON (RFC 8259) with the line and
// column of the fault: texts must be UTF-8 without control characters,
// numbers keep the form they were written in until read, nesting is
// bounded, and a key given twice in one object is refused. Numbers are
// converted when asked for, so a number out of range is refused by the
// caller, who knows where in its format the number stood.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::sheet::json {

// Deeper nesting is refused; the host's formats need a handful of levels.
constexpr int kMaxDepth = 64;

enum class Kind : std::uint8_t { Null, False, True, Number, String, Array, Object };

class Document;

// A value of a document (which must outlive it).
class Value {
 public:
  Kind kind() const;
  bool is_null() const { return kind() == Kind::Null; }
  bool is_bool() const { return kind() == Kind::True || kind() == Kind::False; }
  bool is_number() const { return kind() == Kind::Number; }
  bool is_string() const { return kind() == Kind::String; }
  bool is_array() const { return kind() == Kind::Array; }
  bool is_object() const { return kind() == Kind::Object; }

  bool boolean() const { return kind() == Kind::True; }
  // A string's text, escapes decoded.
  std::string string() const;
  // A number as written ("1e400", "-0.5").
  std::string_view literal() const;
  // The number, or nothing when it is beyond the range of a double.
  std::optional<double> number() const;
  // A number written without fraction or exponent, within range.
  std::optional<long long> integer() const;

  // Items of an array, members of an object.
  std::size_t size() const;
  // The array's items in order.
  std::vector<Value> items() const;
  struct Member;
  // The object's members in order, keys decoded.
  std::vector<Member> members() const;
  // The member of that key (keys are unique).
  std::optional<Value> find(std::string_view key) const;

  // Calls f(key, value) for each member, in order, without gathering them.
  template <typename F>
  void for_each_member(F&& f) const;

  // Where the value begins in the text.
  std::size_t offset() const;

 private:
  friend class Document;
  friend class Parser;
  Value(const Document* doc, std::uint32_t index) : doc_(doc), index_(index) {}
  std::uint32_t next() const;
  const Document* doc_;
  std::uint32_t index_;
};

struct Value::Member {
  std::string key;
  Value value;
};

class Document {
 public:
  // Reads the text (which must outlive the document); nothing, and a
  // message such as "line 3, column 14: a value is expected", when it is
  // not JSON (or too large to hold in memory).
  static std::optional<Document> parse(std::string_view text, std::string& error, int max_depth = kMaxDepth);
  Value root() const { return Value(this, 0); }

 private:
  friend class Value;
  // Texts are shorter than 4 GB (longer ones are refused), so places in
  // them fit 32 bits: an entry is 20 bytes.
  struct Entry {
    Kind kind;
    bool escaped = false;      // a string holding escapes
    std::uint32_t count = 0;   // items or members of a container
    std::uint32_t next = 0;    // the entry after this value (and all it holds)
    std::uint32_t offset = 0;  // strings: first character after the quote; others: first character
    std::uint32_t length = 0;  // strings: characters between the quotes; numbers: the literal's
  };
  std::string_view text_;
  std::vector<Entry> entries_;  // values in text order; an object's keys stand before their values

  friend class Parser;
};

template <typename F>
void Value::for_each_member(F&& f) const {
  if (!is_object()) return;
  std::uint32_t i = index_ + 1;
  const std::uint32_t end = next();
  while (i < end) {
    const Value key(doc_, i);
    const Value value(doc_, i + 1);
    f(key.string(), value);
    i = value.next();
  }
}

// Appends JSON text laid out two blanks to a level, one member or item to
// a line; empty containers stay on their line ("[]", "{}").
class Writer {
 public:
  void begin_object();
  void end_object();
  void begin_array();
  void end_array();
  // The next member's key; its value follows.
  void key(std::string_view key);
  void string(std::string_view text);  // bytes that are not UTF-8 become U+FFFD
  void number(double n);               // shortest form that reads back the same; integral ones end in ".0"
  void integer(long long n);
  void boolean(bool b);
  void null();

  std::string& text() { return out_; }

 private:
  void before_value();
  void newline(std::size_t depth);

  struct Level {
    bool object;
    std::size_t count;
  };
  std::vector<Level> levels_;
  bool after_key_ = false;
  std::string out_;
};

// Text as a JSON string literal with its quotes.
std::string quoted(std::string_view text);
// A double as the writer writes it.
std::string number_text(double n);

}  // namespace kovo::sheet::json
