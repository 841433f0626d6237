#include "server/window_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "server/topics.h"

namespace kovo::server {
namespace {

constexpr Rect kFallbackRect{100, 100, 425, 142};
constexpr std::string_view kAddinName = "Kovo.XLL";

int read_number(std::string_view field) {
  const std::string text(field);
  return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

std::string four_digits(int value) {
  char field[16];
  std::snprintf(field, sizeof field, "%4d", std::clamp(value, -999, 9999));
  std::string text(field);
  std::replace(text.begin(), text.end(), ' ', '0');
  return text;
}

}  // namespace

std::optional<Rect> parse_coords(std::string_view text) {
  text = text.substr(0, kMaxCoordsLength);
  if (text.size() <= 15) return std::nullopt;
  const std::size_t n = text.size();
  Rect rect;
  rect.bottom = read_number(text.substr(n - 4));
  rect.top = read_number(text.substr(n - 8, 4));
  rect.right = read_number(text.substr(n - 12, 4));
  rect.left = read_number(text.substr(0, n - 12));
  return rect;
}

std::string format_coords(const Rect& rect) {
  return four_digits(rect.left) + four_digits(rect.right) + four_digits(rect.top) + four_digits(rect.bottom);
}

Rect default_rect(const Rect& desktop) {
  const int left = desktop.left + (desktop.width() - kDefaultWidth) / 2;
  const int top = desktop.top + (desktop.height() - kDefaultHeight) / 2;
  return {left, top, left + kDefaultWidth, top + kDefaultHeight};
}

bool usable(const Rect& rect, const Rect& desktop) {
  return rect.left >= 0 && rect.top >= 0 && rect.right > 0 && rect.bottom > 0 && rect.left >= desktop.left &&
         rect.top >= desktop.top && rect.right <= desktop.right && rect.bottom <= desktop.bottom &&
         rect.left < rect.right && rect.top < rect.bottom;
}

Rect validated(const Rect& rect, const Rect& desktop) {
  if (usable(rect, desktop)) return rect;
  const Rect fallback = default_rect(desktop);
  return usable(fallback, desktop) ? fallback : kFallbackRect;
}

StartOptions parse_command_line(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  StartOptions options;
  if (line.empty() || starts_with_nocase(line, "MIN")) {
    options.show = ShowMode::kMinimisedNoActivate;
  } else if (starts_with_nocase(line, "HIDE") || starts_with_nocase(line, "HIDDEN")) {
    options.show = ShowMode::kHidden;
    options.hidden = true;
  } else if (starts_with_nocase(line, "M")) {
    options.show = ShowMode::kNormal;
  }
  if (line.find_first_of("sS") != std::string_view::npos) {
    options.open_addin = true;
    options.show = ShowMode::kMinimised;
  }
  return options;
}

std::string addin_path(std::string_view executable_path) {
  const std::size_t slash = executable_path.find_last_of('\\');
  if (slash == std::string_view::npos) return std::string(kAddinName);
  return std::string(executable_path.substr(0, slash + 1)) + std::string(kAddinName);
}

std::string start_directory(std::string_view executable_path) {
  const std::size_t slash = executable_path.find_last_of('\\');
  if (slash == std::string_view::npos) return {};
  return std::string(executable_path.substr(0, slash + 1));
}

}  // namespace kovo::server
