#include "sheethost/number_format.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

#include "sheethost/evaluator.h"
#include "sheethost/workbook.h"

namespace kovo::sheet {

namespace {

std::vector<std::string> split_sections(std::string_view format) {
  std::vector<std::string> sections(1);
  bool quoted = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '\\' && i + 1 < format.size()) {
      sections.back() += c;
      sections.back() += format[++i];
      continue;
    }
    if (!quoted && c == ';') {
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

// Removes [Red], [$-409] and the like.
std::string drop_brackets(const std::string& section) {
  std::string out;
  bool quoted = false;
  for (std::size_t i = 0; i < section.size(); ++i) {
    const char c = section[i];
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '[') {
      const auto close = section.find(']', i);
      if (close == std::string::npos) break;
      i = close;
      continue;
    }
    out += c;
  }
  return out;
}

bool is_date_format(const std::string& section) {
  bool quoted = false;
  for (std::size_t i = 0; i < section.size(); ++i) {
    const char c = section[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\\') {
      ++i;
      continue;
    }
    const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (l == 'y' || l == 'd' || l == 'h' || l == 's' || l == 'm') return true;
  }
  return false;
}

struct Civil {
  int year, month, day;
};

// Serial day of the 1900 date system (1 = 1 January 1900, 60 the spreadsheet's
// 29 February 1900) to a calendar date.
Civil civil_from_serial(long serial) {
  if (serial == 60) return {1900, 2, 29};
  if (serial < 60) ++serial;  // before the non-existent leap day
  // Days since 1899-12-31 -> days since 1970-01-01.
  long z = serial - 25569 + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long y = yoe + era * 400;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const long d = doy - (153 * mp + 2) / 5 + 1;
  const long m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

std::string two(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

std::string format_date(double serial_value, const std::string& section) {
  static const char* kMonths[] = {"January", "February", "March", "April", "May", "June", "July",
                                  "August", "September", "October", "November", "December"};
  static const char* kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  if (serial_value < 0 || serial_value > 2958465) return "#VALUE!";
  const long serial = static_cast<long>(std::floor(serial_value));
  const Civil c = civil_from_serial(serial);
  long seconds = std::lround((serial_value - serial) * 86400);
  if (seconds >= 86400) seconds = 86399;
  const int hour = static_cast<int>(seconds / 3600), minute = static_cast<int>(seconds / 60 % 60),
            second = static_cast<int>(seconds % 60);
  std::string out;
  bool after_hour = false;
  bool quoted = false;
  for (std::size_t i = 0; i < section.size();) {
    const char ch = section[i];
    if (ch == '"') {
      quoted = !quoted;
      ++i;
      continue;
    }
    if (quoted) {
      out += ch;
      ++i;
      continue;
    }
    if (ch == '\\' && i + 1 < section.size()) {
      out += section[i + 1];
      i += 2;
      continue;
    }
    const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::size_t run = 1;
    while (i + run < section.size() && std::tolower(static_cast<unsigned char>(section[i + run])) == l) ++run;
    switch (l) {
      case 'y': out += run <= 2 ? two(c.year % 100) : std::to_string(c.year); break;
      case 'd':
        if (run == 1) out += std::to_string(c.day);
        else if (run == 2) out += two(c.day);
        else {
          const int weekday = static_cast<int>((serial + 6) % 7);  // serial 1 was a Sunday
          out += run == 3 ? std::string(kDays[weekday]).substr(0, 3) : kDays[weekday];
        }
        break;
      case 'm':
        if (after_hour && run <= 2) {
          out += run == 1 ? std::to_string(minute) : two(minute);
          after_hour = false;
        } else if (run == 1) out += std::to_string(c.month);
        else if (run == 2) out += two(c.month);
        else if (run == 3) out += std::string(kMonths[c.month - 1]).substr(0, 3);
        else out += kMonths[c.month - 1];
        break;
      case 'h':
        out += run == 1 ? std::to_string(hour) : two(hour);
        after_hour = true;
        break;
      case 's': out += run == 1 ? std::to_string(second) : two(second); break;
      default: out.append(section, i, run); break;
    }
    i += run;
  }
  return out;
}

// Digits of a non-negative number rounded to the given decimals, as
// integer part and fraction part.
void fixed_digits(double n, int decimals, std::string& integer, std::string& fraction) {
  const Value rounded = round_number(n, decimals);
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, rounded.number);
  std::string text = buffer;
  const auto dot = text.find('.');
  integer = dot == std::string::npos ? text : text.substr(0, dot);
  fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
}

std::string format_numeric(double n, const std::string& section, bool& shows_sign) {
  std::string prefix, suffix;
  int int_zeros = 0, dec_zeros = 0, dec_hashes = 0, percents = 0, scale = 0;
  bool grouping = false, seen_digit = false, seen_point = false, after_digits = false;
  bool exponent = false;
  int exp_digits = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < section.size(); ++i) {
    const char c = section[i];
    std::string literal;
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted) literal = std::string(1, c);
    else if (c == '\\' && i + 1 < section.size()) literal = std::string(1, section[++i]);
    else if (c == '_' && i + 1 < section.size()) ++i, literal = " ";
    else if (c == '*' && i + 1 < section.size()) ++i;
    else if ((c == 'E' || c == 'e') && seen_digit && i + 1 < section.size() &&
             (section[i + 1] == '+' || section[i + 1] == '-')) {
      exponent = true;
      ++i;
      while (i + 1 < section.size() && (section[i + 1] == '0' || section[i + 1] == '#')) ++i, ++exp_digits;
      after_digits = true;
    } else if (c == '0' || c == '#' || c == '?') {
      if (after_digits && !exponent) {
        // Digits after a literal in the middle: count them all the same.
      }
      seen_digit = true;
      if (seen_point) {
        if (c == '#') ++dec_hashes;
        else ++dec_zeros;
      } else if (c != '#') {
        ++int_zeros;
      }
      scale = 0;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
      seen_digit = true;
    } else if (c == ',') {
      if (seen_digit && i + 1 < section.size() && (section[i + 1] == '0' || section[i + 1] == '#')) grouping = true;
      else if (seen_digit) ++scale;
    } else if (c == '%') {
      ++percents;
      literal = "%";
    } else {
      literal = std::string(1, c);
    }
    if (!literal.empty()) (seen_digit ? suffix : prefix) += literal;
    if (seen_digit && !literal.empty()) after_digits = true;
  }
  if (!seen_digit) {
    shows_sign = true;
    return prefix + suffix;
  }
  double value = std::fabs(n);
  for (int i = 0; i < percents; ++i) value *= 100;
  for (int i = 0; i < scale; ++i) value /= 1000;
  std::string integer, fraction, exp_text;
  const int decimals = dec_zeros + dec_hashes;
  if (exponent) {
    int e = value == 0 ? 0 : static_cast<int>(std::floor(std::log10(value)));
    double mantissa = value == 0 ? 0 : value / std::pow(10.0, e);
    fixed_digits(mantissa, decimals, integer, fraction);
    if (integer.size() > 1) {  // rounding carried to 10
      ++e;
      fixed_digits(value / std::pow(10.0, e), decimals, integer, fraction);
    }
    std::string digits = std::to_string(std::abs(e));
    while (static_cast<int>(digits.size()) < exp_digits) digits.insert(digits.begin(), '0');
    exp_text = std::string("E") + (e < 0 ? "-" : "+") + digits;
  } else {
    fixed_digits(value, decimals, integer, fraction);
  }
  // Optional decimals drop their trailing zeros.
  while (static_cast<int>(fraction.size()) > dec_zeros && !fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (integer == "0" && int_zeros == 0) integer.clear();
  while (static_cast<int>(integer.size()) < int_zeros) integer.insert(integer.begin(), '0');
  if (grouping && integer.size() > 3) {
    std::string grouped;
    const int len = static_cast<int>(integer.size());
    for (int i = 0; i < len; ++i) {
      if (i > 0 && (len - i) % 3 == 0) grouped += ',';
      grouped += integer[static_cast<std::size_t>(i)];
    }
    integer = grouped;
  }
  std::string number = integer;
  if (seen_point && (!fraction.empty() || dec_zeros > 0 || decimals == 0)) {
    if (decimals > 0 || section.find('.') != std::string::npos) number += '.';
    number += fraction;
  }
  const bool all_zero = number.find_first_of("123456789") == std::string::npos;
  shows_sign = !all_zero;
  return prefix + number + exp_text + suffix;
}

}  // namespace

std::string format_value(const Value& value, std::string_view format) {
  if (value.is_empty()) return {};
  if (value.is_bool() || value.is_error()) return value_to_text(value);
  const auto sections = split_sections(format);
  if (value.is_text()) {
    if (sections.size() >= 4) {
      std::string out;
      bool quoted = false;
      for (char c : drop_brackets(sections[3])) {
        if (c == '"') {
          quoted = !quoted;
          continue;
        }
        if (c == '@' && !quoted) out += value.text;
        else out += c;
      }
      return out;
    }
    return value.text;
  }
  const double n = value.number;
  std::string section = sections[0];
  bool negative_section = false;
  if (n < 0 && sections.size() >= 2 && !sections[1].empty()) {
    section = sections[1];
    negative_section = true;
  } else if (n == 0 && sections.size() >= 3 && !sections[2].empty()) {
    section = sections[2];
  }
  section = drop_brackets(section);
  if (section.empty() || same_text_no_case(section, "General")) return number_to_text(n);
  if (is_date_format(section)) return format_date(n, section);
  bool shows_sign = true;
  std::string text = format_numeric(n, section, shows_sign);
  if (n < 0 && !negative_section && shows_sign) text = "-" + text;
  return text;
}

}  // namespace kovo::sheet
