#include "sheethost/menus.h"

#include <algorithm>
#include <cctype>

#include "sheethost/json.h"

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
  const std::string not_ours = "the toolbar file is not a toolbar file of this program";
  std::string error;
  const auto doc = json::Document::parse(json_text, error);
  if (!doc) return not_ours + " (" + error + ")";
  const json::Value root = doc->root();
  const auto version = root.find("kovoToolbars");
  const auto list = root.find("toolbars");
  if (!version || version->integer() != 1 || !list || !list->is_array()) return not_ours;
  // Read whole before anything changes.
  std::vector<Toolbar> loaded;
  const auto bars = list->items();
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const json::Value& j = bars[i];
    const std::string where = "toolbars[" + std::to_string(i) + "]";
    const auto name = j.find("name");
    if (!name || !name->is_string() || name->string().empty()) return where + ": a toolbar needs a name";
    Toolbar t;
    t.name = name->string();
    if (const auto visible = j.find("visible")) {
      if (!visible->is_bool()) return where + ".visible: true or false is expected";
      t.visible = visible->boolean();
    }
    if (const auto buttons = j.find("buttons")) {
      if (!buttons->is_array()) return where + ".buttons: a list is expected";
      for (const json::Value& b : buttons->items()) {
        if (!b.is_object()) return where + ".buttons: a button is an object";
        ToolButton button;
        if (const auto macro = b.find("macro")) {
          if (!macro->is_string()) return where + ".buttons: a macro is a text";
          button.macro = macro->string();
        }
        if (const auto tip = b.find("tip")) {
          if (!tip->is_string()) return where + ".buttons: a tip is a text";
          button.tip = tip->string();
        }
        t.buttons.push_back(button);
      }
    }
    loaded.push_back(std::move(t));
  }
  for (auto& t : loaded) {
    if (Toolbar* existing = find(t.name); existing && !existing->built_in) *existing = std::move(t);
    else if (!existing) bars_.push_back(std::move(t));
  }
  return std::nullopt;
}

std::string Toolbars::save(const std::vector<std::string>& names) const {
  json::Writer w;
  w.begin_object();
  w.key("kovoToolbars");
  w.integer(1);
  w.key("toolbars");
  w.begin_array();
  for (const auto& t : bars_) {
    if (t.built_in) continue;
    if (!names.empty() && std::none_of(names.begin(), names.end(), [&](const std::string& n) {
          return same_menu_text(n, t.name) || n == t.name;
        }))
      continue;
    w.begin_object();
    w.key("name");
    w.string(t.name);
    w.key("visible");
    w.boolean(t.visible);
    w.key("buttons");
    w.begin_array();
    for (const auto& b : t.buttons) {
      w.begin_object();
      w.key("macro");
      w.string(b.macro);
      w.key("tip");
      w.string(b.tip);
      w.end_object();
    }
    w.end_array();
    w.end_object();
  }
  w.end_array();
  w.end_object();
  w.text() += '\n';
  return std::move(w.text());
}

}  // namespace kovo::sheet
