#include "addin/core/automation_value.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kovo::addin::automation {

AutoValue AutoValue::of_number(double n) {
  AutoValue v;
  v.kind = Kind::Number;
  v.number = n;
  return v;
}

AutoValue AutoValue::of_integer(int n) {
  AutoValue v;
  v.kind = Kind::Integer;
  v.number = n;
  return v;
}

AutoValue AutoValue::of_text(std::string t) {
  AutoValue v;
  v.kind = Kind::Text;
  v.text = std::move(t);
  return v;
}

AutoValue AutoValue::of_boolean(bool b) {
  AutoValue v;
  v.kind = Kind::Boolean;
  v.boolean = b;
  return v;
}

AutoValue AutoValue::of_error(int code) {
  AutoValue v;
  v.kind = Kind::Error;
  v.error = code;
  return v;
}

AutoValue AutoValue::unsupported() {
  AutoValue v;
  v.kind = Kind::Unsupported;
  return v;
}

AutoValue AutoValue::array(int rows, int columns, std::vector<AutoValue> items) {
  if (rows <= 0 || columns <= 0 || items.size() != static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns))
    return unsupported();
  AutoValue v;
  v.kind = Kind::Array;
  v.rows = rows;
  v.columns = columns;
  v.items = std::move(items);
  return v;
}

namespace {

// The spreadsheet's error values in automation: 2000 + the C API's code,
// in the facility the spreadsheet's automation errors use.
constexpr long kErrorBase = static_cast<long>(0x800A0000UL);
constexpr int kErrorCodes[] = {0, 7, 15, 23, 29, 36, 42};

bool same_no_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// A text that is a number as a whole (blanks around it allowed).
std::optional<double> number_in(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  if (begin == end) return std::nullopt;
  const std::string inner = text.substr(begin, end - begin);
  // Only what a cell would read as a number: no hexadecimal, no infinities.
  for (char c : inner)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E')
      return std::nullopt;
  errno = 0;
  char* stop = nullptr;
  const double n = std::strtod(inner.c_str(), &stop);
  if (stop != inner.c_str() + inner.size() || errno == ERANGE || !std::isfinite(n)) return std::nullopt;
  return n;
}

int own_type(AutoValue::Kind kind) {
  switch (kind) {
    case AutoValue::Kind::Empty: return kTypeNil;
    case AutoValue::Kind::Number: return kTypeNumber;
    case AutoValue::Kind::Integer: return kTypeInteger;
    case AutoValue::Kind::Text: return kTypeText;
    case AutoValue::Kind::Boolean: return kTypeBoolean;
    case AutoValue::Kind::Error: return kTypeError;
    case AutoValue::Kind::Array: return kTypeArray;
    case AutoValue::Kind::Unsupported: return 0;
  }
  return 0;
}

// A single value (not an array) in one of the types asked for, tried in
// the order number, text, logical, integer, nil.
std::optional<AutoValue> convert_single(const AutoValue& v, int type) {
  if (v.kind == AutoValue::Kind::Unsupported) return std::nullopt;
  if (type & own_type(v.kind)) return v;
  if (v.kind == AutoValue::Kind::Error) return std::nullopt;  // an error is only ever an error
  std::optional<double> number;
  switch (v.kind) {
    case AutoValue::Kind::Number:
    case AutoValue::Kind::Integer: number = v.number; break;
    case AutoValue::Kind::Boolean: number = v.boolean ? 1 : 0; break;
    case AutoValue::Kind::Empty: number = 0; break;
    case AutoValue::Kind::Text: number = number_in(v.text); break;
    default: break;
  }
  if ((type & kTypeNumber) && number) return AutoValue::of_number(*number);
  if (type & kTypeText) {
    switch (v.kind) {
      case AutoValue::Kind::Number:
      case AutoValue::Kind::Integer: return AutoValue::of_text(general_text(v.number));
      case AutoValue::Kind::Boolean: return AutoValue::of_text(v.boolean ? "TRUE" : "FALSE");
      case AutoValue::Kind::Empty: return AutoValue::of_text("");
      default: break;
    }
  }
  if (type & kTypeBoolean) {
    if (v.kind == AutoValue::Kind::Text) {
      if (same_no_case(v.text, "TRUE")) return AutoValue::of_boolean(true);
      if (same_no_case(v.text, "FALSE")) return AutoValue::of_boolean(false);
    } else if (number) {
      return AutoValue::of_boolean(*number != 0);
    }
  }
  if ((type & kTypeInteger) && number) {
    // The C API's integer is 16 bits wide.
    const double whole = std::trunc(*number);
    if (whole >= -32768 && whole <= 32767) return AutoValue::of_integer(static_cast<int>(whole));
  }
  if ((type & kTypeNil) && v.kind == AutoValue::Kind::Empty) return v;
  return std::nullopt;
}

}  // namespace

std::optional<int> error_from_automation(long code) {
  for (int e : kErrorCodes)
    if (code == kErrorBase + 2000 + e) return e;
  return std::nullopt;
}

std::optional<AutoValue> coerce_to(const AutoValue& value, int type) {
  if (value.kind == AutoValue::Kind::Unsupported) return std::nullopt;
  if (type == 0) {
    // As it is; an array of one cell is that cell, as a one-cell reference reads.
    if (value.kind == AutoValue::Kind::Array && value.items.size() == 1) return value.items.front();
    if (value.kind == AutoValue::Kind::Array)
      for (const AutoValue& item : value.items)
        if (item.kind == AutoValue::Kind::Array || item.kind == AutoValue::Kind::Unsupported) return std::nullopt;
    return value;
  }
  if (value.kind == AutoValue::Kind::Array) {
    if (!(type & kTypeArray)) return value.items.empty() ? std::nullopt : convert_single(value.items.front(), type);
    const int item_type = type & ~kTypeArray;
    AutoValue out = value;
    for (AutoValue& item : out.items) {
      if (item.kind == AutoValue::Kind::Array) return std::nullopt;
      auto converted = item_type ? convert_single(item, item_type) : std::optional<AutoValue>(item);
      if (!converted || converted->kind == AutoValue::Kind::Unsupported) return std::nullopt;
      item = *converted;
    }
    return out;
  }
  if (type == kTypeArray) {
    if (value.kind == AutoValue::Kind::Unsupported) return std::nullopt;
    return AutoValue::array(1, 1, {value});
  }
  return convert_single(value, type & ~kTypeArray);
}

std::string general_text(double number) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15G", number);
  std::string out = text;
  // "1E+20" rather than the C library's "1E+020" on some runtimes.
  const auto e = out.find('E');
  if (e != std::string::npos) {
    std::size_t digits = e + 2;
    while (digits + 1 < out.size() && out[digits] == '0') out.erase(digits, 1);
  }
  return out;
}

bool split_sheet_name(std::string_view full, std::string& book, std::string& sheet) {
  if (full.size() < 3 || full.front() != '[') return false;
  const auto close = full.find(']');
  if (close == std::string_view::npos || close == 1 || close + 1 >= full.size()) return false;
  book = std::string(full.substr(1, close - 1));
  sheet = std::string(full.substr(close + 1));
  return true;
}

namespace {
std::string column_letters(int column) {
  std::string letters;
  for (int c = column + 1; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  return letters;
}
std::string a1_cell(int row, int column) { return "$" + column_letters(column) + "$" + std::to_string(row + 1); }
}  // namespace

std::string a1_address(int first_row, int first_column, int last_row, int last_column) {
  const std::string first = a1_cell(first_row, first_column);
  if (first_row == last_row && first_column == last_column) return first;
  return first + ":" + a1_cell(last_row, last_column);
}

std::string check_instance_macro(std::string_view addin_path) {
  std::string quoted;
  for (char c : addin_path) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return "CALL(\"" + quoted + "\",\"CheckInstance\",\"j\")";
}

}  // namespace kovo::addin::automation
