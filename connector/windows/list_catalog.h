// The lists the list command knows: their names and numbers, how a "List"
// request names a list, and the lists window's choices.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::lists {

enum ListNumber : int {
  kLists = 0, kAxisData = 1, kAccounts = 2, kBwbHeaders = 3, kGrants = 4,
  kCompanies = 5, kPeriods = 6, kBudgets = 7, kYears = 8, kSegDefs = 9,
  kFirstSegment = 10,  // segment s (0-based) is 10 + s
};

// The fixed list names, matched without regard to case; nullopt for others.
std::optional<int> fixed_list_number(std::string_view name);
std::string_view fixed_list_name(int number);

// The label of a segment in the lists: its name, or "Segment " and its
// number (from 1) when it has none.
std::string segment_label(const std::vector<std::string>& names, int segment);

// A segment named in a request: "Natural" (the segment of the "Natural
// Account Segment" setting, from 1), then a segment name, a segment label,
// then a segment number ("1", "2", ...). All without regard to case or
// surrounding blanks. The 0-based segment, or nullopt.
std::optional<int> find_segment(std::string_view name, const std::vector<std::string>& names,
                                int natural_segment);

// A "List" request taken apart: "name", or for a segment list
// "segment;where;is".
struct ListRequest {
  int number = -1;         // list number, segment lists included
  int where_segment = -1;  // 0-based; -1 without a where part
  std::string is_text;     // the criteria of the where part
  int segment() const { return number - kFirstSegment; }
  bool is_segment_list() const { return number >= kFirstSegment; }
};

// The request, or nullopt when the name (or the where segment) matches
// nothing. names are the company's segment names (one per segment).
std::optional<ListRequest> parse_list_request(std::string_view text,
                                              const std::vector<std::string>& names,
                                              int natural_segment);
// Whether resolving the request needs the company's segments.
bool names_a_fixed_list(std::string_view text);

bool is_reset_request(std::string_view text);

// The lists window's radio buttons: control, "Selected List" value and the
// list each stands for (none for Segments, which composes its request).
struct ListChoice {
  int control;
  int selected_value;
  const char* list_name;  // nullptr for Segments
};
const std::vector<ListChoice>& list_choices();
const ListChoice* choice_by_control(int control);
const ListChoice* choice_by_value(int selected_value);

inline constexpr std::string_view kNoWhere = "(None)";
inline constexpr std::size_t kSegmentFieldLimit = 50;

// The lists window's fields, from which a request is composed.
struct ListWindowFields {
  int selected_value = 0;
  std::string segment, where, is;
};
// The "List" text the window asks for. For Segments: the segment, ";", and
// unless Where is "(None)" (or empty), the where segment, ";" and the Is
// text; translate, when given, turns the Is text (up to its first ";") into
// values through the financial entities file.
using IsTranslation = std::optional<std::string> (*)(std::string_view where, std::string_view is);
std::string compose_list_request(const ListWindowFields& fields, IsTranslation translate = nullptr);

// Period phrases: string-table entries from 6000 on.
inline constexpr int kFirstPeriodString = 6000;
inline constexpr int kLastPeriodString = 6999;
// Phrases that never answer (a budget of the year before); the result-text
// form of the period list leaves them out.
bool is_unanswerable_period(std::string_view phrase);

}  // namespace kovo::lists
