#include "entry/request_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "entry/messages.h"

namespace kovo {

int split_arguments(std::string_view text, std::size_t min_count, std::size_t max_count,
                    RequestFields& out) {
  max_count = std::min(max_count, kMaxFields);
  for (auto& f : out.field) f.clear();
  out.count = 0;
  std::size_t pos = 0;
  while (pos < text.size() && out.count < max_count) {
    std::size_t end = text.find(';', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view piece = text.substr(pos, end - pos);
    const std::size_t size = out.count == 0 ? kAccountFieldSize : kFieldSize;
    if (piece.size() >= size) {
      report(kArgumentTooLong, piece.substr(0, 40));
      return kArgumentTooLong;
    }
    out.field[out.count++] = std::string(piece);
    pos = end + 1;
  }
  if (out.count < min_count) {
    report(kTooFewArguments);
    return kTooFewArguments;
  }
  return kOk;
}

double rounding_step(int choice) {
  static constexpr double kSteps[] = {0.01, 0.1, 1, 10, 100, 1000, 10000, 100000, 1000000};
  return choice >= 1 && choice <= 9 ? kSteps[choice - 1] : 0.0;
}

double scaling_divisor(int choice) {
  return choice >= 1 && choice <= 7 ? std::pow(10.0, choice) : 1.0;
}

std::string general_number(double value) {
  char text[64];
  for (int digits = 15; digits <= 21; ++digits) {
    std::snprintf(text, sizeof text, "%.*G", digits, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  const char* start = text;
  while (*start == ' ') ++start;
  return start;
}

void write_number(double value, const Settings& s, std::string& result) {
  if (value == 0.0) {
    result = s.zero_label != "0" ? s.zero_label : "0.0";
    return;
  }
  if (const double step = rounding_step(s.rounding); step != 0.0) {
    const double shifted = value >= 0 ? (value + step / 2) / step : (value - step / 2) / step;
    value = std::trunc(shifted) * step;
  }
  value /= scaling_divisor(s.scaling);
  if (value == 0.0) value = 0.0;  // no "-0"
  result = general_number(value);
}

void write_no_accounts(const Settings& s, std::string& result) {
  if (s.na_label != 0) {
    result = "0.0";
    return;
  }
  char text[kMessageBufferSize];
  result = take_message(text, sizeof text) ? text : "NA";
}

void write_request_result(int status, double value, const Settings& s, std::string& result) {
  if (status == kOk) return write_number(value, s, result);
  if (status == kNoAccounts) return write_no_accounts(s, result);
  char text[kMessageBufferSize];
  result = take_message(text, sizeof text) ? text : "ERR";
}

std::string window_amount_text(double value, const Settings& s, const AmountLocale& locale) {
  if (value == 0.0 || std::fabs(value) < 0.00001) return "0" + locale.decimal + "00";
  const bool negative = value < 0;
  double amount = std::fabs(value);
  if (s.scaling == 0) amount = std::trunc((amount + 0.005) * 100) / 100;
  char text[400];
  std::snprintf(text, sizeof text, "%f", amount);
  std::string digits = text;
  std::string whole = digits, fraction;
  if (const auto point = digits.find('.'); point != std::string::npos) {
    whole = digits.substr(0, point);
    std::string decimals = digits.substr(point + 1);
    if (s.scaling == 0 && s.rounding == 0) {
      decimals.resize(2, '0');
    }
    fraction = locale.decimal + decimals;
  } else {
    fraction = locale.decimal + "00";
  }
  if (locale.grouping > 0) {
    std::string grouped;
    const std::size_t n = whole.size();
    for (std::size_t i = 0; i < n; ++i) {
      grouped += whole[i];
      const std::size_t left = n - i - 1;
      if (left > 0 && left % static_cast<std::size_t>(locale.grouping) == 0)
        grouped += locale.thousands;
    }
    whole = grouped;
  }
  return negative ? "(" + whole + fraction + ")" : whole + fraction;
}

void copy_to_buffer(std::string_view text, char* buffer, std::size_t capacity) {
  if (!buffer || capacity == 0) return;
  const std::size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

}  // namespace kovo
