#include "specifier/account_specifier.h"

#include <algorithm>
#include <cstring>

#include "entry/messages.h"
#include "specifier/specifier_messages.h"
#include "specifier/text_util.h"

namespace kovo::specifier {
namespace {

using Alternatives = std::vector<std::string>;  // of one segment position

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    parts.emplace_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return parts;
    start = at + 1;
  }
}

void add_distinct(Alternatives& list, const std::string& value) {
  if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
}

// Items at the commas outside parentheses; nothing when they do not balance.
std::optional<std::vector<std::string>> cut_items(std::string_view text) {
  std::vector<std::string> items;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '(') ++depth;
    else if (text[i] == ')' && --depth < 0) return std::nullopt;
    else if (text[i] == ',' && depth == 0) {
      items.emplace_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (depth != 0) return std::nullopt;
  items.emplace_back(text.substr(start));
  return items;
}

// The parenthesized groups of a text in order, from a position on; nothing
// when text other than blanks stands between them.
std::optional<std::vector<std::string>> groups_from(std::string_view text, std::size_t pos) {
  std::vector<std::string> groups;
  while (pos < text.size()) {
    if (text[pos] == ' ') {
      ++pos;
      continue;
    }
    if (text[pos] != '(') return std::nullopt;
    const std::size_t close = text.find(')', pos);
    if (close == std::string_view::npos) return std::nullopt;
    groups.emplace_back(text.substr(pos + 1, close - pos - 1));
    pos = close + 1;
  }
  return groups;
}

bool syntax_error(std::string_view item) {
  report(kMsgNoMessageNumber, item);
  return false;
}

bool too_many(std::string_view item) {
  report(kMsgTooManyAccounts, item);
  return false;
}

// Template form: each "^" of the template takes every alternative of the next group.
// A per-segment specifier (its template made from the segment count) may not
// carry more groups than the company has segments.
bool template_positions(std::string_view item, int segment_count, std::vector<Alternatives>& out,
                        bool per_segment = false) {
  const std::size_t caret = item.find('^');
  const std::size_t open_before = item.rfind('(', caret);
  const std::size_t start = open_before == std::string_view::npos ? 0 : open_before + 1;
  const std::size_t end = item.find_first_of("()", start);
  const std::string_view tmpl = item.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
  // a template written inside parentheses, "(^-^)(a)(b)", closes before its groups
  std::size_t groups_at = end == std::string_view::npos ? item.size() : end;
  if (open_before != std::string_view::npos && groups_at < item.size() && item[groups_at] == ')') ++groups_at;
  auto groups = groups_from(item, groups_at);
  if (!groups) return syntax_error(item);
  std::vector<std::string> texts{std::string(tmpl)};
  std::size_t next_group = 0;
  for (std::size_t c = tmpl.find('^'); c != std::string_view::npos; c = tmpl.find('^', c + 1)) {
    // a caret without a group of its own stands for any value
    const auto alternatives = next_group < groups->size() ? split((*groups)[next_group++], ',')
                                                          : std::vector<std::string>{"*"};
    std::vector<std::string> grown;
    for (const auto& t : texts)
      for (const auto& a : alternatives) {
        std::string s = t;
        const std::size_t at = s.find('^');
        s.replace(at, 1, a);
        grown.push_back(std::move(s));
        if (grown.size() > kMaxExpandedSpecifiers) return too_many(item);
      }
    texts = std::move(grown);
  }
  if (per_segment && next_group < groups->size()) return syntax_error(item.substr(item.find('(')));
  out.assign(static_cast<std::size_t>(std::max(segment_count, 1)), {});
  for (const auto& t : texts) {
    const auto values = split(t, '-');
    if (values.size() > out.size()) return syntax_error(item);
    for (std::size_t p = 0; p < values.size(); ++p) add_distinct(out[p], values[p]);
  }
  for (auto& position : out)
    if (position.empty()) position.push_back("*");
  return true;
}

bool group_positions(std::string_view item, int segment_count, std::vector<Alternatives>& out) {
  const auto groups = groups_from(item, 0);
  if (!groups || groups->empty() || static_cast<int>(groups->size()) > segment_count) return syntax_error(item);
  for (const auto& g : *groups) out.push_back(split(g, ','));
  return true;
}

bool plain_positions(std::string_view item, int segment_count, std::vector<Alternatives>& out) {
  const auto values = split(item, '-');
  if (static_cast<int>(values.size()) > std::max(segment_count, 1)) return syntax_error(item);
  for (const auto& v : values) out.push_back({v});
  return true;
}

// Replaces entity names by their values, names within names, for a bounded number of rounds.
void translate_entities(std::vector<Alternatives>& positions, const EntityLookup& entities) {
  if (!entities) return;
  for (std::size_t p = 0; p < positions.size(); ++p) {
    for (int round = 0; round < kMaxEntityRounds; ++round) {
      bool replaced = false;
      Alternatives next;
      for (const auto& a : positions[p]) {
        std::optional<std::string> values;
        if (a != " ") {
          std::string name(trim_right(a));
          upper_in_place(name);
          values = entities(static_cast<int>(p) + 1, name);
        }
        if (values) {
          replaced = true;
          for (auto& v : split(*values, ',')) next.push_back(std::move(v));
        } else {
          next.push_back(a);
        }
        if (next.size() > kMaxExpandedSpecifiers) break;
      }
      positions[p] = std::move(next);
      if (!replaced) break;
    }
  }
}

bool combine(const std::vector<Alternatives>& positions, std::vector<std::string>& out) {
  std::size_t total = 1;
  for (const auto& p : positions) {
    if (p.empty()) return true;
    total *= p.size();
    if (total + out.size() > kMaxExpandedSpecifiers) return false;
  }
  std::vector<std::size_t> index(positions.size(), 0);
  for (std::size_t n = 0; n < total; ++n) {
    std::string simple;
    for (std::size_t p = 0; p < positions.size(); ++p) {
      if (p) simple += '-';
      simple += positions[p][index[p]];
    }
    out.push_back(std::move(simple));
    for (std::size_t p = positions.size(); p-- > 0;) {
      if (++index[p] < positions[p].size()) break;
      index[p] = 0;
    }
  }
  return true;
}

std::string padded(std::string_view s, std::size_t width, char pad = ' ') {
  std::string out(s.substr(0, std::max(width, s.size())));
  if (out.size() < width) out.append(width - out.size(), pad);
  return out;
}

// A scan-key segment: exactly the width, cut or padded.
std::string fitted(std::string_view s, std::size_t width, char pad = ' ') {
  return padded(s.substr(0, std::min(width, s.size())), width, pad);
}

SegmentValue classify(std::string_view value) {
  SegmentValue v;
  if (const std::size_t dots = value.find(".."); dots != std::string_view::npos) {
    v.kind = SegmentValue::Kind::Range;
    v.low = std::string(value.substr(0, dots));
    std::string_view rest = value.substr(dots + 2);
    while (!rest.empty() && rest.front() == '.') rest.remove_prefix(1);
    v.high = std::string(rest);
  } else if (value.find_first_of("*?") != std::string_view::npos) {
    v.kind = SegmentValue::Kind::Pattern;
    v.text = std::string(value);
  } else {
    v.text = std::string(value);
  }
  return v;
}

int compare_bytes(std::string_view a, std::string_view b) {
  const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return c;
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

int expand_specifier(std::string_view text, int segment_count, std::vector<std::string>& out,
                     const EntityLookup& entities) {
  out.clear();
  std::string whole(text);
  const bool per_segment = !whole.empty() && whole.front() == '(';
  if (per_segment) {
    std::string tmpl = "^";
    for (int i = 1; i < segment_count; ++i) tmpl += "-^";
    whole = tmpl + whole;
  }
  const auto items = cut_items(whole);
  if (!items) return 0;
  for (const auto& item : *items) {
    std::vector<Alternatives> positions;
    const bool has_group = item.find('(') != std::string::npos;
    const bool ok = has_group && item.find('^') != std::string::npos
                        ? template_positions(item, segment_count, positions, per_segment && &item == &items->front())
                        : has_group ? group_positions(item, segment_count, positions)
                                    : plain_positions(item, segment_count, positions);
    if (!ok) {
      out.clear();
      return kSyntaxError;
    }
    if (!has_group)  // a plain item's values may still list alternatives after translation
      for (auto& p : positions) p = split(p.front(), ',');
    translate_entities(positions, entities);
    if (!combine(positions, out)) {
      out.clear();
      too_many(item);
      return kSyntaxError;
    }
  }
  return 0;
}

int validate_specifier(std::string& simple, const AccountStructure& structure) {
  upper_in_place(simple);
  const auto values = split(simple, '-');
  auto fail = [&](int message) {
    clear_message();
    report(message, simple);
    return message;
  };
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::string& v = values[i];
    const int width = i < static_cast<std::size_t>(kMaxSegments) && static_cast<int>(i) < structure.segment_count
                          ? structure.width[i]
                          : 0;
    if (v.find('~') != std::string::npos) return fail(kInvalidCharacter);
    if (const std::size_t dot = v.find('.'); dot != std::string::npos) {
      if (v.find_first_of("*?") != std::string::npos) return fail(kInvalidWildcardInRange);
      const auto dots = std::count(v.begin(), v.end(), '.');
      std::size_t after = dot;
      while (after < v.size() && v[after] == '.') ++after;
      const std::size_t tail = v.size() - after;
      const bool ok = !v.empty() && static_cast<int>(v.size()) <= 2 * width + 2 && dot >= 1 &&
                      static_cast<int>(dot) <= width && dots <= 2 && static_cast<int>(tail) <= width &&
                      (i != 0 || tail > 0);
      if (!ok) return fail(kInvalidSpecifierLength);
    } else if (static_cast<int>(v.size()) > width) {
      return fail(kInvalidSpecifierLength);
    }
  }
  if (static_cast<int>(values.size()) != structure.segment_count) return fail(kInvalidSpecifierLength);
  return 0;
}

bool pattern_matches(std::string_view pattern, std::string_view text) {
  // iterative matcher with one backtrack point: linear in practice, never recursive
  std::size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || to_upper(pattern[p]) == to_upper(text[t]))) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool segment_value_matches(std::string_view value, std::string_view segment, std::size_t width) {
  const SegmentValue v = classify(value);
  if (v.kind == SegmentValue::Kind::Range) {
    const std::string s = padded(trim_right(segment), width);
    return compare_bytes(s, padded(v.low, width)) >= 0 && compare_bytes(s, padded(v.high, width)) <= 0;
  }
  const std::string s = padded(segment, width);
  if (v.text.find('*') != std::string::npos) return pattern_matches(v.text, trim_right(s));
  return pattern_matches(padded(v.text, width), s);
}

SpecifierMatcher::SpecifierMatcher(std::string_view simple, const AccountStructure& structure)
    : structure_(structure) {
  const auto values = split(simple, '-');
  for (std::size_t i = 0; i < values.size() && static_cast<int>(i) < structure.segment_count; ++i) {
    const std::size_t width = static_cast<std::size_t>(structure.width[i]);
    SegmentValue v = classify(values[i]);
    switch (v.kind) {
      case SegmentValue::Kind::Exact:
        // a single-dot value passes validation up to twice the width, but a
        // value longer than its segment matches no account
        if (v.text.size() > width) can_match_ = false;
        exact_code_ += fitted(v.text, width);
        low_ += fitted(v.text, width);
        high_ += fitted(v.text, width);
        break;
      case SegmentValue::Kind::Pattern: {
        all_exact_ = false;
        std::string low, high;
        for (const char c : v.text) {
          if (c == '*') {
            const std::size_t fixed = v.text.size() - static_cast<std::size_t>(std::count(v.text.begin(), v.text.end(), '*'));
            const std::size_t fill = width > fixed ? width - fixed : 0;
            low.append(fill, ' ');
            high.append(fill, 'z');
          } else if (c == '?') {
            low += ' ';
            high += 'z';
          } else {
            low += c;
            high += c;
          }
        }
        low_ += fitted(low, width);
        high_ += fitted(high, width, 'z');
        break;
      }
      case SegmentValue::Kind::Range:
        all_exact_ = false;
        low_ += fitted(v.low, width);
        high_ += fitted(v.high, width);
        break;
    }
    segments_.push_back(std::move(v));
  }
  if (segments_.size() != values.size() || static_cast<int>(segments_.size()) != structure.segment_count)
    all_exact_ = false;
}

bool SpecifierMatcher::beyond_high(std::string_view code) const {
  const std::string c = padded(code.substr(0, std::min<std::size_t>(code.size(), 25)), high_.size());
  return compare_folded(c.substr(0, std::min<std::size_t>(c.size(), 25)),
                        std::string_view(high_).substr(0, std::min<std::size_t>(high_.size(), 25))) > 0;
}

bool SpecifierMatcher::matches(std::string_view code) const {
  std::size_t at = 0;
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    const std::size_t width = static_cast<std::size_t>(structure_.width[i]);
    const std::string_view segment = at < code.size() ? code.substr(at, width) : std::string_view{};
    at += width;
    const SegmentValue& v = segments_[i];
    const std::string value = v.kind == SegmentValue::Kind::Range ? v.low + ".." + v.high : v.text;
    if (!segment_value_matches(value, segment, width)) return false;
  }
  return true;
}

}  // namespace kovo::specifier
