// Cell values of the sheet host: number, text, logical, error or empty, with
// the error codes the C API uses and the conversions between values and text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kovo::sheet {

// Error values, numbered as the C API numbers them.
enum class ErrorCode : std::uint8_t { Null = 0, Div0 = 7, Value = 15, Ref = 23, Name = 29, Num = 36, NA = 42 };

// "#DIV/0!" and the like, written as the spreadsheet writes them.
std::string_view error_text(ErrorCode code);
// The error named by a text such as "#n/a" (case-insensitive), if any.
std::optional<ErrorCode> parse_error_text(std::string_view text);
// The error of a C API error number, if it is one.
std::optional<ErrorCode> error_from_number(int number);

// Texts equal but for case (ASCII letters), as names and error values compare.
bool same_text_no_case(std::string_view a, std::string_view b);

enum class ValueKind : std::uint8_t { Empty, Number, Text, Bool, Error };

struct Value {
  ValueKind kind = ValueKind::Empty;
  bool boolean = false;
  ErrorCode error = ErrorCode::Null;
  double number = 0;
  std::string text;

  static Value num(double n) {
    Value v;
    v.kind = ValueKind::Number;
    v.number = n;
    return v;
  }
  static Value str(std::string s) {
    Value v;
    v.kind = ValueKind::Text;
    v.text = std::move(s);
    return v;
  }
  static Value logical(bool b) {
    Value v;
    v.kind = ValueKind::Bool;
    v.boolean = b;
    return v;
  }
  static Value err(ErrorCode e) {
    Value v;
    v.kind = ValueKind::Error;
    v.error = e;
    return v;
  }
  bool is_empty() const { return kind == ValueKind::Empty; }
  bool is_number() const { return kind == ValueKind::Number; }
  bool is_text() const { return kind == ValueKind::Text; }
  bool is_bool() const { return kind == ValueKind::Bool; }
  bool is_error() const { return kind == ValueKind::Error; }
  bool operator==(const Value& other) const;
};

// A number as the general format writes it: up to 15 significant digits,
// no trailing zeros, exponent form for very large or very small magnitudes.
std::string number_to_text(double n);
// A text read as a number the way cell entry and coercion read one: optional
// blanks, sign, digits with one decimal point, exponent, and a trailing "%".
std::optional<double> text_to_number(std::string_view text);
// The text a value turns into where text is wanted ("TRUE", "12.5", "#N/A", "").
std::string value_to_text(const Value& v);

// Coercions of a single value as the operators apply them; an error value or
// a text that is no number gives the error to answer.
struct NumberOrError {
  double number = 0;
  std::optional<ErrorCode> error;
};
NumberOrError value_to_number(const Value& v);

// A typed entry read as cell input: "'text" stays text without the
// apostrophe, numbers, TRUE/FALSE and error literals become those values,
// anything else is text. Formulas ("=...") are not handled here.
Value entry_to_value(std::string_view text);

}  // namespace kovo::sheet
