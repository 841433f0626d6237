// Menus and toolbars: the add-ins' menus on the menu bars and their
// toolbars, kept and saved.
#include <algorithm>

#include "sheethost/capi_impl.h"
#include "sheethost/files.h"

namespace kovo::sheet {

// Rows of texts from an array or a reference to cells.
bool CApi::Impl::table_of(const Oper& o, std::vector<std::vector<std::string>>& rows) {
  rows.clear();
  if (o.type == OperType::Multi) {
    for (int i = 0; i < o.rows; ++i) {
      rows.emplace_back();
      for (int j = 0; j < o.cols; ++j) {
        const Value v = oper_to_value(o.items[static_cast<std::size_t>(i * o.cols + j)]);
        rows.back().push_back(v.is_empty() ? std::string() : value_to_text(v));
      }
    }
    return !rows.empty();
  }
  Sheet* sheet = nullptr;
  std::vector<Area> areas;
  if (!reference_of(o, sheet, areas, false) || areas.size() != 1 || areas[0].cell_count() > 10000) return false;
  for (int row = areas[0].row1; row <= areas[0].row2; ++row) {
    rows.emplace_back();
    for (int col = areas[0].col1; col <= areas[0].col2; ++col) {
      const Cell* cell = sheet->find(row, col);
      rows.back().push_back(cell && !cell->value.is_empty() ? value_to_text(cell->value) : std::string());
    }
  }
  return true;
}

std::string CApi::Impl::column(const std::vector<std::string>& row, std::size_t i) {
  return i < row.size() ? row[i] : std::string();
}

MenuCommand CApi::Impl::command_of(const std::vector<std::string>& row) {
  MenuCommand c;
  c.text = column(row, 0);
  c.macro = column(row, 1);
  c.shortcut = column(row, 2);
  c.status = column(row, 3);
  c.help = column(row, 4);
  return c;
}

Place CApi::Impl::place_of(const Oper& o) {
  Place p;
  if (o.type == OperType::Str) p.before = o.str;
  else if (auto n = number_arg(o)) p.position = static_cast<int>(*n);
  return p;
}

int CApi::Impl::bar_of(const Oper& o) { return static_cast<int>(number_arg(o).value_or(1)); }

int CApi::Impl::add_menu(const Args& a, Oper& r) {
  const int bar = bar_of(a.at(0));
  std::vector<std::vector<std::string>> rows;
  if (!menus.bar(bar) || !table_of(a.at(1), rows) || column(rows[0], 0).empty()) {
    r = Oper::error(xlerrValue);
    return xlretSuccess;
  }
  Menu menu;
  menu.name = column(rows[0], 0);
  menu.status = column(rows[0], 3);
  menu.help = column(rows[0], 4);
  for (std::size_t i = 1; i < rows.size(); ++i) menu.commands.push_back(command_of(rows[i]));
  r = Oper::number(menus.add_menu(bar, std::move(menu), place_of(a.at(2))));
  return xlretSuccess;
}

std::optional<std::string> CApi::Impl::menu_name(int bar, const Oper& o) {
  if (o.type == OperType::Str) return o.str;
  if (auto n = number_arg(o)) {
    if (Menu* m = menus.menu_at(bar, static_cast<int>(*n))) return m->name;
  }
  return std::nullopt;
}

int CApi::Impl::delete_menu(const Args& a, Oper& r) {
  const int bar = bar_of(a.at(0));
  auto name = menu_name(bar, a.at(1));
  r = name && menus.delete_menu(bar, *name) ? Oper::logical(true) : Oper::error(xlerrValue);
  return xlretSuccess;
}

int CApi::Impl::add_command(const Args& a, Oper& r) {
  const int bar = bar_of(a.at(0));
  auto name = menu_name(bar, a.at(1));
  std::vector<std::vector<std::string>> rows;
  if (!name || !table_of(a.at(2), rows)) {
    r = Oper::error(xlerrValue);
    return xlretSuccess;
  }
  Place place = place_of(a.at(3));
  std::optional<int> first;
  for (const auto& row : rows) {
    auto at = menus.add_command(bar, *name, command_of(row), place);
    if (!at) break;
    if (!first) first = at;
    if (!place.before) place.position = *at + 1;
  }
  r = first ? Oper::number(*first) : Oper::error(xlerrValue);
  return xlretSuccess;
}

int CApi::Impl::delete_command(const Args& a, Oper& r) {
  const int bar = bar_of(a.at(0));
  auto name = menu_name(bar, a.at(1));
  std::optional<std::string> command;
  if (a.at(2).type == OperType::Str) command = a.at(2).str;
  else if (auto n = number_arg(a.at(2)); n && name) {
    Menu* m = menus.menu_at(bar, menus.menu_position(bar, *name));
    if (m && *n >= 1 && *n <= static_cast<double>(m->commands.size()))
      command = m->commands[static_cast<std::size_t>(*n - 1)].text;
  }
  r = name && command && menus.delete_command(bar, *name, *command) ? Oper::logical(true) : Oper::error(xlerrValue);
  return xlretSuccess;
}

int CApi::Impl::get_bar(const Args& a, Oper& r) {
  if (!a.given(0)) {
    r = Oper::number(1);
    return xlretSuccess;
  }
  const int bar = bar_of(a.at(0));
  if (!menus.bar(bar)) {
    r = Oper::error(xlerrValue);
    return xlretSuccess;
  }
  const Oper& menu = a.at(1);
  int position = 0;
  if (menu.type == OperType::Str) position = menus.menu_position(bar, menu.str);
  else if (auto n = number_arg(menu)) position = menus.menu_at(bar, static_cast<int>(*n)) ? static_cast<int>(*n) : 0;
  if (!position) {
    r = Oper::error(xlerrNA);
    return xlretSuccess;
  }
  Menu& m = *menus.menu_at(bar, position);
  const Oper& command = a.at(2);
  const bool menu_itself = !a.given(2) || (command.type != OperType::Str && number_arg(command).value_or(0) == 0);
  if (menu_itself) {
    r = menu.type == OperType::Str ? Oper::number(position) : Oper::text(m.name);
    return xlretSuccess;
  }
  if (command.type == OperType::Str) {
    for (std::size_t i = 0; i < m.commands.size(); ++i)
      if (same_menu_text(m.commands[i].text, command.str)) {
        r = Oper::number(static_cast<double>(i + 1));
        return xlretSuccess;
      }
    r = Oper::error(xlerrNA);
    return xlretSuccess;
  }
  const int n = static_cast<int>(number_arg(command).value_or(0));
  if (n < 1 || static_cast<std::size_t>(n) > m.commands.size()) r = Oper::error(xlerrNA);
  else r = Oper::text(m.commands[static_cast<std::size_t>(n - 1)].text);
  return xlretSuccess;
}

int CApi::Impl::get_toolbar(const Args& a, Oper& r) {
  const int type = static_cast<int>(number_arg(a.at(0)).value_or(0));
  auto names = [&](bool visible_only) {
    Oper list;
    list.type = OperType::Multi;
    list.rows = 1;
    for (const auto& t : toolbars.all())
      if (!visible_only || t.visible) list.items.push_back(Oper::text(t.name));
    list.cols = static_cast<int>(list.items.size());
    return list.items.empty() ? Oper::error(xlerrNA) : list;
  };
  if (type == 9 || type == 10) {
    r = names(type == 10);
    return xlretSuccess;
  }
  auto name = text_arg(a.at(1));
  Toolbar* bar = name ? toolbars.find(*name) : nullptr;
  if (!bar) {
    r = Oper::error(xlerrValue);
    return xlretSuccess;
  }
  switch (type) {
    case 1: {
      if (bar->buttons.empty()) {
        r = Oper::error(xlerrNA);
        break;
      }
      r.type = OperType::Multi;
      r.rows = 1;
      r.cols = static_cast<int>(bar->buttons.size());
      for (std::size_t i = 0; i < bar->buttons.size(); ++i) r.items.push_back(Oper::number(static_cast<double>(i + 1)));
      break;
    }
    case 7: r = Oper::logical(bar->visible); break;
    case 8: r = Oper::number(1); break;
    default: r = Oper::number(0); break;
  }
  return xlretSuccess;
}

int CApi::Impl::delete_toolbar(const Args& a, Oper& r) {
  auto name = text_arg(a.at(0));
  r = name && toolbars.remove(*name) ? Oper::logical(true) : Oper::error(xlerrValue);
  return xlretSuccess;
}

int CApi::Impl::save_toolbar(const Args& a, Oper& r) {
  std::vector<std::string> names;
  const Oper& which = a.at(0);
  if (which.type == OperType::Multi) {
    for (const auto& item : which.items)
      if (auto t = text_arg(item)) names.push_back(*t);
  } else if (auto t = text_arg(which)) {
    names.push_back(*t);
  }
  auto path = text_arg(a.at(1));
  if (!path || path->empty()) return xlretFailed;
  if (auto error = write_file_replacing(*path, toolbars.save(names))) {
    services.report(*error);
    return xlretFailed;
  }
  r = Oper::logical(true);
  return xlretSuccess;
}

}  // namespace kovo::sheet
