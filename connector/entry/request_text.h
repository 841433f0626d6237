// Argument fields of value requests and the text of their answers.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "entry/settings.h"

namespace kovo {

inline constexpr std::size_t kResultCapacity = 16000;   // the server's result buffer
inline constexpr std::size_t kAccountFieldSize = 2048;  // bytes, terminator included
inline constexpr std::size_t kFieldSize = 512;
inline constexpr std::size_t kMaxFields = 10;  // GTTRAN has the most

enum Status : int {
  kOk = 0,
  kNoAccounts = 15,
  kTooFewArguments = 121,
  kArgumentTooLong = 122,
};

// The fields of one request: account specifier, period, company, year, type
// and a sixth. Absent and empty fields are the same (empty).
struct RequestFields {
  std::array<std::string, kMaxFields> field;
  std::size_t count = 0;
  const std::string& operator[](std::size_t i) const { return field[i]; }
};

// Splits at ";" (no quoting; blanks belong to the field). Returns kOk,
// kTooFewArguments when fewer than min_count fields were found, or
// kArgumentTooLong when a field does not fit its buffer (the failure is
// reported as a message either way).
int split_arguments(std::string_view text, std::size_t min_count, std::size_t max_count,
                    RequestFields& out);

// The "Rounding" setting's step (1 = 0.01 ... 9 = 1000000; 0 for no
// rounding) and the "Scaling" setting's divisor (1 = 10 ... 7 = 10000000;
// 1 otherwise).
double rounding_step(int choice);
double scaling_divisor(int choice);

// Result writers. Each replaces the result text.
void write_number(double value, const Settings& s, std::string& result);
void write_no_accounts(const Settings& s, std::string& result);
// Final answer of a value request from the handler's status.
void write_request_result(int status, double value, const Settings& s, std::string& result);

// Number in general notation that reads back to the same double.
std::string general_number(double value);

struct AmountLocale {
  std::string decimal = ".";
  std::string thousands = ",";
  int grouping = 3;
};
// Amount as the connector's windows show it: grouped, two or six decimals,
// negatives in parentheses.
std::string window_amount_text(double value, const Settings& s, const AmountLocale& locale);

// Copies text into a caller's buffer of the given capacity, always terminated.
void copy_to_buffer(std::string_view text, char* buffer, std::size_t capacity);

}  // namespace kovo
