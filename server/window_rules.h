// The main window's rules that need no window: where it goes, how its saved
// placement reads and writes, and what the command line asks for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovo::server {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};

inline constexpr int kDefaultWidth = 425;
inline constexpr int kDefaultHeight = 142;
inline constexpr std::size_t kMaxCoordsLength = 31;

// "Kovo ServerCoords": left, right, top and bottom, four digits each. A value
// of 15 characters or fewer is no placement.
std::optional<Rect> parse_coords(std::string_view text);
std::string format_coords(const Rect& rect);

// 425 by 142, centred on the desktop.
Rect default_rect(const Rect& desktop);
// Inside the desktop, left and top not negative, right and bottom positive.
bool usable(const Rect& rect, const Rect& desktop);
// The rectangle itself when usable, else the default one, else a fixed one.
Rect validated(const Rect& rect, const Rect& desktop);

enum class ShowMode { kMinimisedNoActivate, kMinimised, kNormal, kHidden };

struct StartOptions {
  ShowMode show = ShowMode::kMinimisedNoActivate;
  bool hidden = false;    // HIDE or HIDDEN
  bool open_addin = false;  // the letter s anywhere
};

StartOptions parse_command_line(std::string_view command_line);

// The add-in beside the server: the executable's path with its file part
// replaced by "Kovo.XLL".
std::string addin_path(std::string_view executable_path);

// The folder of an executable's path, with its trailing backslash; empty when
// the path has none.
std::string start_directory(std::string_view executable_path);

}  // namespace kovo::server
