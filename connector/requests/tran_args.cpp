#include "requests/tran_args.h"

#include <algorithm>
#include <string>

#include "entry/messages.h"
#include "specifier/text_util.h"

namespace kovo::requests {
namespace {

constexpr long kLastSerial = 401768;  // 31 December 2999
constexpr int kMaxYear = 2999;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int days_in_month(int month, int year) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && year % 4 == 0 ? 29 : kDays[month - 1];
}

int fail(int message, std::string_view detail) {
  report(message, detail);
  return message;
}

}  // namespace

CalendarDate date_from_serial(long serial) {
  if (serial <= 0) return {};
  long n = serial - 1;
  int year = 1900 + 4 * static_cast<int>(n / 1461);
  long in_cycle = n % 1461;
  if (in_cycle >= 366) {
    in_cycle -= 366;
    year += 1 + static_cast<int>(in_cycle / 365);
    in_cycle %= 365;
  }
  int month = 1;
  while (in_cycle >= days_in_month(month, year)) in_cycle -= days_in_month(month++, year);
  return {static_cast<int>(in_cycle) + 1, month, year};
}

int parse_request_date(std::string_view text, CalendarDate& out) {
  out = {};
  const std::string_view date = specifier::trim_blanks(text);
  if (!date.empty() && std::all_of(date.begin(), date.end(), is_digit)) {
    if (date.size() > 7) return fail(kInvalidYear, date);
    const long serial = std::stol(std::string(date));
    if (serial > kLastSerial) return fail(kInvalidYear, date);
    out = date_from_serial(serial);
    return 0;
  }
  std::size_t pos = 0;
  int day = 0;
  while (pos < date.size() && pos < 2 && is_digit(date[pos])) day = day * 10 + (date[pos++] - '0');
  if (pos == 0) return fail(kInvalidDay, date);
  int month = 0;
  if (date.size() - pos >= 3) {
    const std::string_view name = date.substr(pos, 3);
    for (int m = 0; m < 12 && month == 0; ++m)
      if (specifier::equal_folded(name, layout::month_abbreviation(m + 1))) month = m + 1;
  }
  if (month == 0) return fail(kInvalidMonth, date);
  pos += 3;
  const std::string_view year_text = date.substr(pos);
  if (year_text.empty() || year_text.size() > 4 ||
      !std::all_of(year_text.begin(), year_text.end(), is_digit))
    return fail(kInvalidYear, date);
  int year = std::stoi(std::string(year_text));
  if (year >= 60 && year <= 1899) year += 1900;  // 60 is taken as 1960
  else if (year < 60) year += 2000;
  if (year < 1 || year > kMaxYear) return fail(kInvalidYear, date);
  if (day == 0 || day > 31) return fail(kUninterpretableDate, date);
  out = {day, month, year};
  return 0;
}

int parse_date_range(std::string_view from, std::string_view to, CalendarDate& from_out,
                     CalendarDate& to_out) {
  if (const int status = parse_request_date(from, from_out); status != 0) return status;
  if (const int status = parse_request_date(to, to_out); status != 0) return status;
  if (to_out.number() < from_out.number()) {
    report(kInvalidDateRange);
    return kInvalidDateRange;
  }
  return 0;
}

std::vector<std::string> value_list(std::string_view field) {
  std::vector<std::string> values;
  std::string current;
  bool any = false;
  for (const char c : field) {
    if (c == ' ' || c == '\t') continue;
    any = true;
    if (c == ',') {
      if (values.size() < kMaxListValues) values.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (any && values.size() < kMaxListValues) values.push_back(current);
  return values;
}

int currency_parts(std::string_view field, CurrencyParts& out) {
  out = {};
  const std::string_view text = specifier::trim_blanks(field);
  if (text.empty()) return 0;
  if (text.front() == '(') {
    std::string parts[2];
    std::size_t pos = 0;
    for (int i = 0; i < 2 && pos < text.size(); ++i) {
      if (text[pos] != '(') break;
      const std::size_t close = text.find(')', pos);
      if (close == std::string_view::npos) return fail(kInvalidArgument, field);
      parts[i] = std::string(text.substr(pos + 1, close - pos - 1));
      pos = close + 1;
    }
    if (pos < text.size() && text.find_first_of("()", pos) != std::string_view::npos)
      return fail(kInvalidArgument, field);
    out.first = parts[0];
    out.second = parts[1];
    return 0;
  }
  if (text.find_first_of("()") != std::string_view::npos) return fail(kInvalidArgument, field);
  const std::size_t comma = text.find(',');
  out.first = std::string(text.substr(0, comma));
  if (comma != std::string_view::npos) out.second = std::string(text.substr(comma + 1));
  return 0;
}

}  // namespace kovo::requests
