// The account enquiry as the spreadsheet takes it: the small table the
// enquiry window leaves on the clipboard when it closes, from which the
// add-in's enquiry paste builds a GL formula, and the account specifier the
// window's segment choices make.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kovo::enquiry {

// "Create GL Function by:" codes: minus the segment number (from 2 on),
// the period, the company.
inline constexpr int kByPeriod = 2;
inline constexpr int kByCompany = 3;

struct EnquiryBlock {
  int by = kByPeriod;
  // Each segment's name and chosen value, in segment order.
  std::vector<std::pair<std::string, std::string>> segments;
  std::string period, company, year, type;
};

// The table, cells separated by a tab, rows ended by CR LF: "1", the by
// code, the segment count, a row per segment, then Period, Company, Year
// and Type. Segments stop at the first without a value, and the count says
// how many rows follow, so that a reader never takes the period row for a
// segment.
std::string block_text(const EnquiryBlock& block);

// A choice of a segment list as the account takes it: the text before its
// first ";" (a list shows "value; description"), without surrounding blanks.
std::string chosen_value(std::string_view choice);

// The account specifier of the chosen values: each value in parentheses,
// "(1000)(20)". Nothing when a segment has no value.
std::optional<std::string> account_of(const std::vector<std::string>& values);

// A specifier taken apart into the values of its segments, when it names
// one account: "1000-20" or "(1000)(20)". Nothing for anything with
// wildcards, ranges or lists.
std::optional<std::vector<std::string>> plain_segments(std::string_view account);

}  // namespace kovo::enquiry
