#include "sheethost/menus.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

namespace kovo::sheet {

namespace {

// The text compared: as shown, in lower case.
std::string plain(std::string_view text) {
  std::string out = menu_display_text(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // Trailing ellipses and blanks do not count.
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  return out;
}

int insert_at(std::size_t size, const Place& place, const std::vector<std::string>& names) {
  if (place.before) {
    for (std::size_t i = 0; i < names.size(); ++i)
      if (same_menu_text(names[i], *place.before)) return static_cast<int>(i);
    return static_cast<int>(size);
  }
  if (place.position >= 1 && static_cast<std::size_t>(place.position) <= size) return place.position - 1;
  return static_cast<int>(size);
}

}  // namespace

std::string menu_display_text(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

bool same_menu_text(std::string_view a, std::string_view b) { return plain(a) == plain(b); }

MenuBars::MenuBars() {
  MenuBar worksheet{1, {}};
  for (const char* name : {"&File", "&Edit", "&View", "&Insert", "F&ormat", "&Tools", "&Data", "&Window", "&Help"}) {
    Menu m;
    m.name = name;
    m.built_in = true;
    worksheet.menus.push_back(m);
  }
  bars_.push_back(worksheet);
  MenuBar chart{2, {}};
  for (const char* name : {"&File", "&Edit", "&View", "&Insert", "F&ormat", "&Tools", "&Chart", "&Window", "&Help"}) {
    Menu m;
    m.name = name;
    m.built_in = true;
    chart.menus.push_back(m);
  }
  bars_.push_back(chart);
  MenuBar empty{3, {}};
  for (const char* name : {"&File", "&Help"}) {
    Menu m;
    m.name = name;
    m.built_in = true;
    empty.menus.push_back(m);
  }
  bars_.push_back(empty);
}

MenuBar* MenuBars::bar(int id) {
  if (id == 10) id = 1;
  for (auto& b : bars_)
    if (b.id == id) return &b;
  return nullptr;
}

int MenuBars::add_menu(int bar_id, Menu menu, const Place& place) {
  MenuBar* b = bar(bar_id);
  if (!b) return 0;
  std::vector<std::string> names;
  for (const auto& m : b->menus) names.push_back(m.name);
  const int at = insert_at(b->menus.size(), place, names);
  b->menus.insert(b->menus.begin() + at, std::move(menu));
  return at + 1;
}

bool MenuBars::delete_menu(int bar_id, std::string_view name) {
  const int position = menu_position(bar_id, name);
  return position > 0 && delete_menu(bar_id, position);
}

bool MenuBars::delete_menu(int bar_id, int position) {
  MenuBar* b = bar(bar_id);
  if (!b || position < 1 || static_cast<std::size_t>(position) > b->menus.size()) return false;
  b->menus.erase(b->menus.begin() + (position - 1));
  return true;
}

std::optional<int> MenuBars::add_command(int bar_id, std::string_view menu, MenuCommand command, const Place& place) {
  const int position = menu_position(bar_id, menu);
  if (!position) return std::nullopt;
  Menu& m = bar(bar_id)->menus[static_cast<std::size_t>(position - 1)];
  std::vector<std::string> names;
  for (const auto& c : m.commands) names.push_back(c.text);
  const int at = insert_at(m.commands.size(), place, names);
  m.commands.insert(m.commands.begin() + at, std::move(command));
  return at + 1;
}

bool MenuBars::delete_command(int bar_id, std::string_view menu, std::string_view command) {
  const int position = menu_position(bar_id, menu);
  if (!position) return false;
  auto& commands = bar(bar_id)->menus[static_cast<std::size_t>(position - 1)].commands;
  for (auto it = commands.begin(); it != commands.end(); ++it)
    if (same_menu_text(it->text, command)) {
      commands.erase(it);
      return true;
    }
  return false;
}

int MenuBars::menu_position(int bar_id, std::string_view name) {
  MenuBar* b = bar(bar_id);
  if (!b) return 0;
  for (std::size_t i = 0; i < b->menus.size(); ++i)
    if (same_menu_text(b->menus[i].name, name)) return static_cast<int>(i) + 1;
  return 0;
}

Menu* MenuBars::menu_at(int bar_id, int position) {
  MenuBar* b = bar(bar_id);
  if (!b || position < 1 || static_cast<std::size_t>(position) > b->menus.size()) return nullptr;
  return &b->menus[static_cast<std::size_t>(position - 1)];
}

std::optional<MenuBars::Found> MenuBars::find_command(std::string_view path) {
  const auto slash = path.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view menu = path.substr(0, slash), item = path.substr(slash + 1);
  for (int bar_id : {1, 2, 3}) {
    const int position = menu_position(bar_id, menu);
    if (!position) continue;
    const auto& commands = bar(bar_id)->menus[static_cast<std::size_t>(position - 1)].commands;
    for (std::size_t i = 0; i < commands.size(); ++i)
      if (same_menu_text(commands[i].text, item)) return Found{commands[i].macro, bar_id, position, static_cast<int>(i) + 1};
  }
  return std::nullopt;
}

std::string MenuBars::listing() {
  std::string out;
  for (const auto& m : bar(1)->menus) {
    out += menu_display_text(m.name) + "\n";
    for (const auto& c : m.commands) {
      if (c.text == "-") {
        out += "  ----\n";
        continue;
      }
      out += "  " + menu_display_text(c.text);
      if (!c.macro.empty()) out += "  -> " + c.macro;
      if (!c.enabled) out += "  (disabled)";
      out += "\n";
    }
  }
  return out;
}

// --------------------------------------------------------------------- toolbars

Toolbars::Toolbars() {
  for (const char* name : {"Standard", "Formatting"}) {
    Toolbar t;
    t.name = name;
    t.built_in = true;
    bars_.push_back(t);
  }
}

Toolbar* Toolbars::find(std::string_view name) {
  for (auto& t : bars_)
    if (same_menu_text(t.name, name) || t.name == name) return &t;
  return nullptr;
}

bool Toolbars::remove(std::string_view name) {
  for (auto it = bars_.begin(); it != bars_.end(); ++it)
    if ((same_menu_text(it->name, name) || it->name == name) && !it->built_in) {
      bars_.erase(it);
      return true;
    }
  return false;
}

std::optional<std::string> Toolbars::load(const std::string& json_text) {
  using Json = nlohmann::json;
  Json root;
  try {
    root = Json::parse(json_text);
  } catch (const Json::parse_error&) {
    return std::string("the toolbar file is not a toolbar file of this program");
  }
  std::vector<Toolbar> loaded;
  try {
    if (!root.is_object() || root.value("kovoToolbars", 0) != 1 || !root.contains("toolbars") ||
        !root["toolbars"].is_array())
      return std::string("the toolbar file is not a toolbar file of this program");
    for (std::size_t i = 0; i < root["toolbars"].size(); ++i) {
      const Json& j = root["toolbars"][i];
      const std::string where = "toolbars[" + std::to_string(i) + "]";
      if (!j.is_object() || !j.contains("name") || !j["name"].is_string() || j["name"].get<std::string>().empty())
        return where + ": a toolbar needs a name";
      Toolbar t;
      t.name = j["name"].get<std::string>();
      if (j.contains("visible")) {
        if (!j["visible"].is_boolean()) return where + ".visible: true or false is expected";
        t.visible = j["visible"].get<bool>();
      }
      if (j.contains("buttons")) {
        if (!j["buttons"].is_array()) return where + ".buttons: a list is expected";
        for (const Json& b : j["buttons"]) {
          if (!b.is_object()) return where + ".buttons: a button is an object";
          ToolButton button;
          if (b.contains("macro")) {
            if (!b["macro"].is_string()) return where + ".buttons: a macro is a text";
            button.macro = b["macro"].get<std::string>();
          }
          if (b.contains("tip")) {
            if (!b["tip"].is_string()) return where + ".buttons: a tip is a text";
            button.tip = b["tip"].get<std::string>();
          }
          t.buttons.push_back(button);
        }
      }
      loaded.push_back(std::move(t));
    }
  } catch (const Json::exception& e) {
    return std::string("the toolbar file breaks the toolbar format (") + e.what() + ")";
  }
  for (auto& t : loaded) {
    if (Toolbar* existing = find(t.name); existing && !existing->built_in) *existing = std::move(t);
    else if (!existing) bars_.push_back(std::move(t));
  }
  return std::nullopt;
}

std::string Toolbars::save(const std::vector<std::string>& names) const {
  using Json = nlohmann::ordered_json;
  Json root = Json::object();
  root["kovoToolbars"] = 1;
  Json list = Json::array();
  for (const auto& t : bars_) {
    if (t.built_in) continue;
    if (!names.empty() && std::none_of(names.begin(), names.end(), [&](const std::string& n) {
          return same_menu_text(n, t.name) || n == t.name;
        }))
      continue;
    Json j = Json::object();
    j["name"] = t.name;
    j["visible"] = t.visible;
    Json buttons = Json::array();
    for (const auto& b : t.buttons) buttons.push_back({{"macro", b.macro}, {"tip", b.tip}});
    j["buttons"] = buttons;
    list.push_back(j);
  }
  root["toolbars"] = list;
  return root.dump(2) + "\n";
}

}  // namespace kovo::sheet
