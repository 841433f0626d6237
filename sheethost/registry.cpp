#include "sheethost/registry.h"

#include <algorithm>
#include <cctype>

#include "sheethost/workbook.h"

namespace kovo::sheet {

namespace {

struct Letter {
  char letter;
  bool wide;
  ArgType type;
  std::string_view text;
};

constexpr Letter kLetters[] = {
    {'A', false, ArgType::Bool, "A"},        {'B', false, ArgType::Double, "B"},
    {'C', false, ArgType::CString, "C"},     {'D', false, ArgType::PString, "D"},
    {'E', false, ArgType::DoublePtr, "E"},   {'H', false, ArgType::UShort, "H"},
    {'I', false, ArgType::Short, "I"},       {'J', false, ArgType::Long, "J"},
    {'L', false, ArgType::BoolPtr, "L"},     {'M', false, ArgType::ShortPtr, "M"},
    {'N', false, ArgType::LongPtr, "N"},     {'P', false, ArgType::Oper, "P"},
    {'Q', false, ArgType::Oper12, "Q"},      {'R', false, ArgType::Xloper, "R"},
    {'U', false, ArgType::Xloper12, "U"},    {'C', true, ArgType::WCString, "C%"},
    {'D', true, ArgType::WPString, "D%"},
};

}  // namespace

std::optional<TypeText> parse_type_text(std::string_view text, std::string& error) {
  TypeText t;
  bool have_result = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '!') {
      t.is_volatile = true;
      continue;
    }
    if (c == '#') {
      t.macro_equivalent = true;
      continue;
    }
    if (c == '$') {
      t.thread_safe = true;
      continue;
    }
    if (c == '&') {
      t.cluster_safe = true;
      continue;
    }
    const bool wide = i + 1 < text.size() && text[i + 1] == '%';
    const Letter* found = nullptr;
    for (const auto& l : kLetters)
      if (l.letter == c && l.wide == wide) found = &l;
    if (!found) {
      error = std::string("the type letter \"") + c + (wide ? "%" : "") + "\" is not offered";
      return std::nullopt;
    }
    if (wide) ++i;
    if (!have_result) {
      t.result = found->type;
      have_result = true;
    } else {
      t.args.push_back(found->type);
    }
  }
  if (!have_result) {
    error = "the type text names no result type";
    return std::nullopt;
  }
  const ArgType r = t.result;
  if (r == ArgType::BoolPtr || r == ArgType::ShortPtr || r == ArgType::LongPtr) {
    error = "a result of type " + std::string(type_letters(r)) + " is not offered";
    return std::nullopt;
  }
  if (t.args.size() > kMaxRegisteredArgs) {
    error = "more than 30 arguments";
    return std::nullopt;
  }
  return t;
}

bool passed_as_pointer(ArgType t) {
  return !(t == ArgType::Double || t == ArgType::Bool || t == ArgType::UShort || t == ArgType::Short ||
           t == ArgType::Long);
}

std::string_view type_letters(ArgType t) {
  for (const auto& l : kLetters)
    if (l.type == t) return l.text;
  return "?";
}

Registration& Registry::add(Registration r) {
  ++version_;
  if (Registration* existing = find_procedure(r.module, r.procedure)) {
    r.id = existing->id;
    *existing = std::move(r);
    return *existing;
  }
  r.id = next_id_++;
  items_.push_back(std::move(r));
  return items_.back();
}

bool Registry::remove(double id) {
  auto it = std::find_if(items_.begin(), items_.end(), [&](const Registration& r) { return r.id == id; });
  if (it == items_.end()) return false;
  items_.erase(it);
  ++version_;
  return true;
}

int Registry::remove_module(std::string_view module) {
  const auto before = items_.size();
  items_.erase(std::remove_if(items_.begin(), items_.end(),
                              [&](const Registration& r) { return same_text_no_case(r.module, module); }),
               items_.end());
  ++version_;
  return static_cast<int>(before - items_.size());
}

Registration* Registry::find_id(double id) {
  for (auto& r : items_)
    if (r.id == id) return &r;
  return nullptr;
}

Registration* Registry::find_name(std::string_view name, bool command) {
  auto upper = [](std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
  };
  if (names_version_ != version_) {
    functions_.clear();
    commands_.clear();
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const Registration& r = items_[i];
      if (!r.name_defined || r.function_text.empty()) continue;
      (r.macro_type == 2 ? commands_ : functions_).emplace(upper(r.function_text), i);
    }
    names_version_ = version_;
  }
  auto& table = command ? commands_ : functions_;
  auto it = table.find(upper(name));
  return it == table.end() ? nullptr : &items_[it->second];
}

bool Registry::hide_name(std::string_view name) {
  bool found = false;
  for (auto& r : items_)
    if (r.name_defined && same_text_no_case(r.function_text, name)) {
      r.name_defined = false;
      found = true;
    }
  if (found) ++version_;
  return found;
}

Registration* Registry::find_procedure(std::string_view module, std::string_view procedure) {
  for (auto& r : items_)
    if (same_text_no_case(r.module, module) && same_text_no_case(r.procedure, procedure)) return &r;
  return nullptr;
}

}  // namespace kovo::sheet
