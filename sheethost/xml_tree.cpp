// Element trees built by expat's callbacks. A part with a document type
// declaration is refused before any entity could be declared: the package
// format has no use for one, and entity expansion is the classic way to
// turn a small part into gigabytes.
#include "sheethost/xml_tree.h"

#include <expat.h>

#include <algorithm>

namespace kovo::sheet {

namespace {

// Without its namespace: expat gives "uri\x01local" for a qualified name.
std::string local_name(const XML_Char* name) {
  std::string_view text(name);
  const auto mark = text.rfind('\x01');
  return std::string(mark == std::string_view::npos ? text : text.substr(mark + 1));
}

class TreeBuilder {
 public:
  TreeBuilder(XmlElement& root, const XmlLimits& limits) : root_(root), limits_(limits) {}

  std::optional<std::string> parse(std::string_view bytes) {
    XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
    if (!parser) return "out of memory for the XML reader";
    parser_ = parser;
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &TreeBuilder::on_start, &TreeBuilder::on_end);
    XML_SetCharacterDataHandler(parser, &TreeBuilder::on_text);
    XML_SetStartDoctypeDeclHandler(parser, &TreeBuilder::on_doctype);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    constexpr std::size_t kChunk = 1 << 20;
    std::size_t at = 0;
    bool ok = true;
    do {
      const std::size_t n = std::min(kChunk, bytes.size() - at);
      const bool last = at + n == bytes.size();
      ok = XML_Parse(parser, bytes.data() + at, static_cast<int>(n), last ? XML_TRUE : XML_FALSE) == XML_STATUS_OK;
      at += n;
    } while (ok && at < bytes.size());
    std::optional<std::string> error;
    if (!refusal_.empty()) error = refusal_;
    else if (!ok)
      error = std::string("the XML is malformed at line ") + std::to_string(XML_GetCurrentLineNumber(parser)) + " (" +
              XML_ErrorString(XML_GetErrorCode(parser)) + ")";
    else if (!seen_root_) error = "the XML holds no element";
    XML_ParserFree(parser);
    return error;
  }

 private:
  void refuse(std::string message) {
    if (refusal_.empty()) refusal_ = std::move(message);
    XML_StopParser(parser_, XML_FALSE);
  }

  static void XMLCALL on_start(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* self = static_cast<TreeBuilder*>(data);
    if (!self->refusal_.empty()) return;
    if (static_cast<int>(self->open_.size()) >= self->limits_.max_depth)
      return self->refuse("the XML is nested deeper than " + std::to_string(self->limits_.max_depth) + " levels");
    if (++self->elements_ > self->limits_.max_elements)
      return self->refuse("the XML holds more than " + std::to_string(self->limits_.max_elements) + " elements");
    XmlElement* element;
    if (self->open_.empty()) {
      element = &self->root_;
      self->seen_root_ = true;
    } else {
      // Only the innermost open element gains children, so the pointers to
      // its ancestors on the stack stay valid.
      element = &self->open_.back()->children.emplace_back();
    }
    element->name = local_name(name);
    for (const XML_Char** a = attributes; a[0] && a[1]; a += 2) element->attributes.emplace_back(local_name(a[0]), a[1]);
    self->open_.push_back(element);
  }

  static void XMLCALL on_end(void* data, const XML_Char*) {
    auto* self = static_cast<TreeBuilder*>(data);
    if (!self->open_.empty()) self->open_.pop_back();
  }

  static void XMLCALL on_text(void* data, const XML_Char* text, int length) {
    auto* self = static_cast<TreeBuilder*>(data);
    if (!self->refusal_.empty() || self->open_.empty() || length <= 0) return;
    self->text_bytes_ += static_cast<std::size_t>(length);
    if (self->text_bytes_ > self->limits_.max_text_bytes)
      return self->refuse("the XML holds more than " + std::to_string(self->limits_.max_text_bytes >> 20) +
                          " MB of text");
    self->open_.back()->text.append(text, static_cast<std::size_t>(length));
  }

  static void XMLCALL on_doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<TreeBuilder*>(data)->refuse("the XML has a document type declaration, which a workbook part never has");
  }

  XmlElement& root_;
  const XmlLimits& limits_;
  XML_Parser parser_ = nullptr;
  std::vector<XmlElement*> open_;
  std::size_t elements_ = 0, text_bytes_ = 0;
  bool seen_root_ = false;
  std::string refusal_;
};

}  // namespace

const XmlElement* XmlElement::child(std::string_view child_name) const {
  for (const auto& c : children)
    if (c.name == child_name) return &c;
  return nullptr;
}

const std::string* XmlElement::attribute(std::string_view attribute_name) const {
  for (const auto& [key, value] : attributes)
    if (key == attribute_name) return &value;
  return nullptr;
}

std::string_view XmlElement::attr(std::string_view attribute_name) const {
  const std::string* value = attribute(attribute_name);
  return value ? std::string_view(*value) : std::string_view();
}

std::optional<std::string> parse_xml(std::string_view bytes, XmlElement& root, const XmlLimits& limits) {
  root = XmlElement{};
  if (bytes.size() > static_cast<std::size_t>(1) << 31) return "the XML part is too large";
  return TreeBuilder(root, limits).parse(bytes);
}

}  // namespace kovo::sheet
