// Menu bars with their menus and commands, and toolbars, as add-ins change
// them; commands can be listed and found by "Menu/Item" text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovo::sheet {

struct MenuCommand {
  std::string text;  // with its "&" accelerator
  std::string macro;
  std::string shortcut, status, help;
  bool enabled = true;
  bool checked = false;
};

struct Menu {
  std::string name;  // with its "&" accelerator
  std::string status, help;
  std::vector<MenuCommand> commands;
  bool built_in = false;
};

struct MenuBar {
  int id = 0;
  std::vector<Menu> menus;
};

// A menu text as shown: accelerator "&" dropped, "&&" shown as "&".
std::string menu_display_text(std::string_view text);

// "Kov&o" and "kovo" are the same menu: accelerators are ignored and case does not count.
bool same_menu_text(std::string_view a, std::string_view b);

// Where a command goes: before a named item or at a 1-based position (0 or
// past the end: at the end).
struct Place {
  std::optional<std::string> before;
  int position = 0;
};

class MenuBars {
 public:
  MenuBars();
  // Bar 1 is the worksheet menu bar, bar 10 the same bar by its later
  // number; 2 the chart bar, 3 the bar without documents.
  MenuBar* bar(int id);
  // The menu's 1-based position.
  int add_menu(int bar_id, Menu menu, const Place& place);
  bool delete_menu(int bar_id, std::string_view name);
  bool delete_menu(int bar_id, int position);
  // The command's 1-based position, or nothing when the menu is not there.
  std::optional<int> add_command(int bar_id, std::string_view menu, MenuCommand command, const Place& place);
  bool delete_command(int bar_id, std::string_view menu, std::string_view command);
  // 1-based position of a menu by name; 0 when absent.
  int menu_position(int bar_id, std::string_view name);
  Menu* menu_at(int bar_id, int position);
  // "Kovo/Zero Suppress": the command's macro and its menu and command positions.
  struct Found {
    std::string macro;
    int bar = 1, menu = 0, command = 0;
  };
  std::optional<Found> find_command(std::string_view path);
  // Every menu of the worksheet bar with its commands, one per line.
  std::string listing();

 private:
  std::vector<MenuBar> bars_;
};

struct ToolButton {
  std::string macro;
  std::string tip;
};

struct Toolbar {
  std::string name;
  bool visible = true;
  bool built_in = false;
  std::vector<ToolButton> buttons;
};

class Toolbars {
 public:
  Toolbars();
  Toolbar* find(std::string_view name);
  bool remove(std::string_view name);  // built-in toolbars stay
  const std::vector<Toolbar>& all() const { return bars_; }
  // A toolbar file: {"kovoToolbars":1,"toolbars":[{"name":..,"visible":..,"buttons":[{"macro":..,"tip":..}]}]}.
  // Toolbars of the same name are replaced; nothing changes on a refusal.
  std::optional<std::string> load(const std::string& json_text);
  // The named toolbars (all custom ones when none is named) as a toolbar file.
  std::string save(const std::vector<std::string>& names) const;

 private:
  std::vector<Toolbar> bars_;
};

}  // namespace kovo::sheet
