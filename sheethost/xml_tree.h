// The XML parts of a package as small element trees, parsed with expat and
// bounded: nesting depth, number of elements and the amount of text, so a
// hostile part is refused with a message that names the limit. Names are
// kept without their namespace ("r:id" and "id" are both "id"): the parts
// read here never use one local name twice on an element.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kovo::sheet {

struct XmlLimits {
  int max_depth = 64;
  std::size_t max_elements = 3'000'000;
  std::size_t max_text_bytes = std::size_t{256} << 20;
};

struct XmlElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;  // character data directly inside the element
  std::vector<XmlElement> children;

  // The first child of that name, or null.
  const XmlElement* child(std::string_view child_name) const;
  // The attribute's value, or null.
  const std::string* attribute(std::string_view attribute_name) const;
  // The attribute's value, or "" when it is missing.
  std::string_view attr(std::string_view attribute_name) const;
  // Calls f(const XmlElement&) for each child of that name.
  template <typename F>
  void each(std::string_view child_name, F&& f) const {
    for (const auto& c : children)
      if (c.name == child_name) f(c);
  }
};

// Parses a whole part; on failure the message says what is wrong and, for
// malformed XML, on which line.
std::optional<std::string> parse_xml(std::string_view bytes, XmlElement& root, const XmlLimits& limits = {});

}  // namespace kovo::sheet
