#include "addin/core/request_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "addin/core/messages.h"
#include "ddeclient/dde_errors.h"

namespace kovo::addin {

namespace {

// A whole number in decimal, "-0" written as "0".
std::string whole_text(double n) {
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.0f", n);
  std::string s = buffer;
  if (s == "-0") s = "0";
  return s;
}

std::string truncated(double n) { return whole_text(std::trunc(n)); }

std::string drop_apostrophe(std::string text) {
  if (!text.empty() && text[0] == '\'') text.erase(0, 1);
  return text;
}

// The text of a value in a request; false for the kinds a cell of a
// reference may not hold.
// The refusal of a text that would not reach the connector as written: a
// ";" would start another field of the request, a NUL would end it there.
std::optional<int> unsafe_text(std::string_view text) {
  if (text.find(';') != std::string_view::npos) return kMsgSemicolonArgument;
  if (text.find('\0') != std::string_view::npos) return kMsgNulArgument;
  return std::nullopt;
}

bool cell_text(const CellValue& v, std::string& out) {
  switch (v.kind) {
    case CellValue::Kind::Number: out = truncated(v.number); return true;
    case CellValue::Kind::Text: out = drop_apostrophe(v.text); return true;
    case CellValue::Kind::Logical: out = v.logical ? "1" : "0"; return true;
    case CellValue::Kind::Integer: out = std::to_string(v.integer); return true;
    default: return false;
  }
}

}  // namespace

BuiltRequest build_request(std::string_view item, const std::vector<Argument>& arguments, bool value_first) {
  BuiltRequest built;
  std::string request(item);
  request += ';';
  const auto refuse = [&](std::string text) {
    built.ok = false;
    built.text = std::move(text);
    return built;
  };
  // Appending must leave the request below 256 characters.
  const auto fits = [&](std::size_t more) { return request.size() + more <= kMaxRequest; };
  int position = 0;
  for (const auto& argument : arguments) {
    ++position;
    if (argument.kind == Argument::Kind::Uncalculated) {
      built.uncalculated = true;
      return built;
    }
    if (argument.kind == Argument::Kind::Value) {
      const CellValue& v = argument.value;
      std::string text;
      switch (v.kind) {
        case CellValue::Kind::Error: return refuse(addin_message(kMsgErrorArgument));
        case CellValue::Kind::Flow: return refuse(addin_message(kMsgFlowArgument));
        case CellValue::Kind::Nil: return refuse(addin_message(kMsgEmptyArgument));
        case CellValue::Kind::Number:
          if (value_first && position == 1) {
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.20g", v.number);
            text = buffer;
          } else {
            text = truncated(v.number);
          }
          break;
        default: cell_text(v, text); break;
      }
      if (const auto unsafe = unsafe_text(text)) return refuse(addin_message(*unsafe));
      if (!fits(text.size() + 1)) return refuse(addin_message(kMsgBufferOverflow));
      request += text;
    } else {
      for (std::size_t a = 0; a < argument.areas.size(); ++a) {
        const auto& area = argument.areas[a];
        for (std::size_t c = 0; c < area.size(); ++c) {
          std::string text;
          if (!cell_text(area[c], text)) return refuse("Parameter " + std::to_string(position) + "not a string.");
          if (const auto unsafe = unsafe_text(text)) return refuse(addin_message(*unsafe));
          if (text.empty()) continue;
          const bool last = a + 1 == argument.areas.size() && c + 1 == area.size();
          if (!last) text += ',';
          if (!fits(text.size() + 1)) return refuse(addin_message(kMsgBufferOverflow));
          request += text;
        }
      }
    }
    request += ';';
  }
  while (!request.empty() && request.back() == ';') request.pop_back();
  built.ok = true;
  built.text = std::move(request);
  return built;
}

std::string first_line(std::string_view answer) {
  const std::size_t end = answer.find_first_of(std::string_view("\0\r\n", 3));
  return std::string(answer.substr(0, end));
}

bool is_number_answer(std::string_view text) {
  static constexpr std::string_view kNumberCharacters = "Ee0123456789.+- ";
  bool digit = false;
  for (char c : text) {
    if (kNumberCharacters.find(c) == std::string_view::npos) return false;
    if (c >= '0' && c <= '9') digit = true;
  }
  return digit;
}

double number_of(std::string_view text) {
  const std::string s(text);
  return std::strtod(s.c_str(), nullptr);
}

Result result_of_answer(std::string_view answer) {
  Result r;
  std::string line = first_line(answer);
  if (is_number_answer(line)) {
    r.is_number = true;
    r.number = number_of(line);
    return r;
  }
  if (line.size() > kMaxResult) line.resize(kMaxResult);
  r.text = std::move(line);
  return r;
}

std::optional<std::string> pack_argument(const Argument& argument) {
  std::string packed;
  switch (argument.kind) {
    case Argument::Kind::Uncalculated: return std::nullopt;
    case Argument::Kind::Value:
      if (argument.value.kind == CellValue::Kind::Number) packed = truncated(argument.value.number);
      if (argument.value.kind == CellValue::Kind::Text) packed = argument.value.text;
      break;
    case Argument::Kind::Cells: {
      const bool several = argument.areas.size() > 1;
      for (std::size_t a = 0; a < argument.areas.size(); ++a) {
        const auto& area = argument.areas[a];
        for (std::size_t c = 0; c < area.size(); ++c) {
          const CellValue& v = area[c];
          const bool last = a + 1 == argument.areas.size() && c + 1 == area.size();
          std::string text;
          switch (v.kind) {
            case CellValue::Kind::Integer: text = std::to_string(v.integer); break;
            case CellValue::Kind::Logical: text = v.logical ? "1" : "0"; break;
            case CellValue::Kind::Text: text = v.text; break;
            case CellValue::Kind::Number: text = several ? truncated(v.number) : whole_text(std::round(v.number)); break;
            default: text = " "; break;
          }
          if (text.empty() && !several) continue;
          if (!last) text += ',';
          if (packed.size() + text.size() >= 256) break;
          packed += text;
        }
      }
      break;
    }
  }
  if (!packed.empty() && packed.back() == ',') packed.pop_back();
  if (packed.size() > kMaxResult) packed.resize(kMaxResult);
  return packed;
}

std::optional<std::string> bspec(const Argument& spec, const std::vector<Argument>& lists) {
  auto packed = pack_argument(spec);
  if (!packed) return std::nullopt;
  if (packed->empty()) return std::string();
  std::string result = drop_apostrophe(*packed);
  if (result.find('^') == std::string::npos) result = "(" + result + ")";
  for (const auto& list : lists) {
    auto items = pack_argument(list);
    if (!items) return std::nullopt;
    if (items->empty() || result.size() + items->size() + 2 >= 256) continue;
    std::string clean;
    for (char c : drop_apostrophe(*items))
      if (c != '\'') clean += c;
    result += "(" + clean + ")";
  }
  return result;
}

std::string command_string(std::string_view word, std::string_view packed) {
  std::string s = "[";
  s += word;
  if (!packed.empty()) {
    s += '(';
    s += packed;
    s += ')';
  }
  s += ']';
  return s;
}

std::string list_continuation(std::string_view command) {
  std::string upper(command);
  for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::size_t at = upper.find("MOREDATA=0");
  if (at != std::string::npos) upper[at + 9] = '1';
  return upper;
}

std::string dde_error_name(unsigned code) {
  constexpr std::size_t kNameWidth = 26;
  std::string name(dde::error_name_of(code));
  if (name.empty()) return "DDEMLL Uncatalogued Error";
  if (name.size() < kNameWidth) name.append(kNameWidth - name.size(), ' ');
  return name;
}

std::optional<std::string> dde_error_text(unsigned code) {
  constexpr unsigned kNoError = 0;  // DMLERR_NO_ERROR
  if (code == kNoError) return std::nullopt;
  return dde_error_name(code);
}

char list_separator(std::string_view locale_value, std::string_view fallback) {
  if (!locale_value.empty()) return locale_value[0];
  return fallback.empty() ? ',' : fallback[0];
}

}  // namespace kovo::addin
