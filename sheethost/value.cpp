#include "sheethost/value.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kovo::sheet {

namespace {

struct ErrorName {
  ErrorCode code;
  std::string_view text;
};

constexpr std::array<ErrorName, 7> kErrors = {{
    {ErrorCode::Null, "#NULL!"},
    {ErrorCode::Div0, "#DIV/0!"},
    {ErrorCode::Value, "#VALUE!"},
    {ErrorCode::Ref, "#REF!"},
    {ErrorCode::Name, "#NAME?"},
    {ErrorCode::Num, "#NUM!"},
    {ErrorCode::NA, "#N/A"},
}};

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

bool same_text_no_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string_view error_text(ErrorCode code) {
  for (const auto& e : kErrors)
    if (e.code == code) return e.text;
  return "#VALUE!";
}

std::optional<ErrorCode> parse_error_text(std::string_view text) {
  for (const auto& e : kErrors)
    if (same_text_no_case(e.text, text)) return e.code;
  return std::nullopt;
}

std::optional<ErrorCode> error_from_number(int number) {
  for (const auto& e : kErrors)
    if (static_cast<int>(e.code) == number) return e.code;
  return std::nullopt;
}

bool Value::operator==(const Value& other) const {
  if (kind != other.kind) return false;
  switch (kind) {
    case ValueKind::Empty: return true;
    case ValueKind::Number: return number == other.number;
    case ValueKind::Text: return text == other.text;
    case ValueKind::Bool: return boolean == other.boolean;
    case ValueKind::Error: return error == other.error;
  }
  return false;
}

std::string number_to_text(double n) {
  if (n == 0) return "0";  // also -0
  if (!std::isfinite(n)) return "#NUM!";
  // %G drops trailing zeros and switches to the exponent form (two exponent
  // digits at least, as the general format writes it) outside 1E-5 to 1E+15.
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", n);
  return buffer;
}

std::optional<double> text_to_number(std::string_view text) {
  std::string_view s = trim(text);
  if (s.empty()) return std::nullopt;
  bool percent = false;
  if (s.back() == '%') {
    percent = true;
    s.remove_suffix(1);
    s = trim(s);
  }
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    std::size_t exp_digits = 0;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
    i = j;
  }
  if (i != s.size()) return std::nullopt;
  const std::string copy(s);
  const double n = std::strtod(copy.c_str(), nullptr);
  if (!std::isfinite(n)) return std::nullopt;
  return percent ? n / 100 : n;
}

std::string value_to_text(const Value& v) {
  switch (v.kind) {
    case ValueKind::Empty: return {};
    case ValueKind::Number: return number_to_text(v.number);
    case ValueKind::Text: return v.text;
    case ValueKind::Bool: return v.boolean ? "TRUE" : "FALSE";
    case ValueKind::Error: return std::string(error_text(v.error));
  }
  return {};
}

NumberOrError value_to_number(const Value& v) {
  switch (v.kind) {
    case ValueKind::Empty: return {0, std::nullopt};
    case ValueKind::Number: return {v.number, std::nullopt};
    case ValueKind::Bool: return {v.boolean ? 1.0 : 0.0, std::nullopt};
    case ValueKind::Error: return {0, v.error};
    case ValueKind::Text: {
      if (auto n = text_to_number(v.text)) return {*n, std::nullopt};
      return {0, ErrorCode::Value};
    }
  }
  return {0, ErrorCode::Value};
}

Value entry_to_value(std::string_view text) {
  if (!text.empty() && text.front() == '\'') return Value::str(std::string(text.substr(1)));
  if (text.empty()) return Value{};
  if (same_text_no_case(text, "TRUE")) return Value::logical(true);
  if (same_text_no_case(text, "FALSE")) return Value::logical(false);
  if (auto e = parse_error_text(text)) return Value::err(*e);
  if (auto n = text_to_number(text)) return Value::num(*n);
  return Value::str(std::string(text));
}

}  // namespace kovo::sheet
