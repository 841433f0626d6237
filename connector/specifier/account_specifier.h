// Account specifiers: expansion into simple specifiers, validation against
// a company's account structure, and segment matching.
//
// A simple specifier holds one value per segment, joined by "-": an exact
// value, a pattern with "*" and "?", or a range low..high.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "specifier/account_structure.h"

namespace kovo::specifier {

enum AccountMessage : int {
  kInvalidCharacter = 3,
  kInvalidWildcardInRange = 9,
  kInvalidSpecifierLength = 13,
  kNoMatchingAccounts = 15,
};

// Turns a financial-entity name of a segment position (counted from 1) into
// its list of values ("a,b,c"), or nothing when the name is not an entity.
using EntityLookup = std::function<std::optional<std::string>(int position, std::string_view name)>;

inline constexpr int kSyntaxError = -1;
inline constexpr int kMaxEntityRounds = 100;
inline constexpr std::size_t kMaxExpandedSpecifiers = 100000;

// Expands a specifier into simple specifiers in walking order (the last
// position varies fastest). Returns 0, or kSyntaxError after reporting the
// offending item with no message number (report(kMsgNoMessageNumber, item):
// the message is the item alone). Unbalanced parentheses expand to nothing
// without a message. A specifier that would expand to more than
// kMaxExpandedSpecifiers is refused with kSyntaxError too, reported as
// 26 "Account specifier expands to too many accounts" with the item.
int expand_specifier(std::string_view text, int segment_count, std::vector<std::string>& out,
                     const EntityLookup& entities = {});

// Upper-cases the simple specifier in place and checks it against the
// structure: 0, 3, 9 or 13. A failure is reported with the specifier as
// detail, after emptying the message buffer.
int validate_specifier(std::string& simple, const AccountStructure& structure);

struct SegmentValue {
  enum class Kind { Exact, Pattern, Range } kind = Kind::Exact;
  std::string text;  // exact or pattern value
  std::string low, high;
};

// A validated simple specifier, ready to match account codes (segments run
// together without separators).
class SpecifierMatcher {
 public:
  SpecifierMatcher(std::string_view simple, const AccountStructure& structure);

  bool all_exact() const { return all_exact_; }
  // False when a segment value can match no code at all (an exact value
  // longer than its segment); the walk then reads nothing.
  bool can_match() const { return can_match_; }
  // Segments padded (or cut) to their widths, run together: the key of an
  // exact read, and the low and high scan keys.
  const std::string& exact_code() const { return exact_code_; }
  const std::string& low_key() const { return low_; }
  const std::string& high_key() const { return high_; }
  // Whether a code (as stored) lies beyond the high scan key.
  bool beyond_high(std::string_view code) const;
  bool matches(std::string_view code) const;

 private:
  AccountStructure structure_;
  std::vector<SegmentValue> segments_;
  bool all_exact_ = true;
  bool can_match_ = true;
  std::string exact_code_, low_, high_;
};

// "?" one character, "*" any run, other characters without regard to case;
// the whole text must be consumed.
bool pattern_matches(std::string_view pattern, std::string_view text);

// A value matched against one segment of a code, as the walk and the
// transaction filters do: ranges compare, other values match as patterns
// after padding both sides to the width (a value holding "*" is not padded).
bool segment_value_matches(std::string_view value, std::string_view segment, std::size_t width);

}  // namespace kovo::specifier
