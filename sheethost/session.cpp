#include "sheethost/session.h"

#include <cstdlib>
#include <ostream>

#include "sheethost/calc.h"
#include "sheethost/edit.h"
#include "sheethost/files.h"

namespace kovo::sheet {

namespace {

struct OptionInfo {
  const char* name;
  Action::Kind kind;
  bool takes_argument;
};

constexpr OptionInfo kOptions[] = {
    {"--addin", Action::Kind::Addin, true},        {"--install-addin", Action::Kind::InstallAddin, true},
    {"--remove-addin", Action::Kind::RemoveAddin, true}, {"--open", Action::Kind::Open, true},
    {"--import", Action::Kind::Import, true},      {"--sheet", Action::Kind::Sheet, true},
    {"--select", Action::Kind::Select, true},      {"--run", Action::Kind::Run, true},
    {"--calc", Action::Kind::Calc, false},         {"--save", Action::Kind::Save, true},
    {"--export", Action::Kind::Export, true},      {"--print", Action::Kind::Print, false},
    {"--menus", Action::Kind::Menus, false},       {"--refuse-direct-read", Action::Kind::RefuseDirectRead, true},
};

std::string command_list(Registry& registry) {
  std::string names;
  for (const auto& r : registry.all())
    if (r.macro_type == 2 && r.name_defined && !r.function_text.empty()) names += (names.empty() ? "" : ", ") + r.function_text;
  return names.empty() ? "no command macros are registered" : "registered commands: " + names;
}

}  // namespace

std::string usage_text() {
  return "usage: kovo-sheet [BOOK.json | BOOK.xlsx]            (opens the window)\n"
         "       kovo-sheet [--addin XLL]... [--open BOOK.json | BOOK.xlsx | SHEET.csv] [--sheet NAME]\n"
         "                  [--select RANGE] [--run COMMAND[(ARGUMENT)]]... [--calc]\n"
         "                  [--save BOOK.json | BOOK.xlsx | OUT.csv]\n"
         "                  [--export OUT.csv] [--print] [--trace]\n"
         "       further options: --import (as --open), --install-addin XLL, --remove-addin XLL, --menus,\n"
         "       --window, --help, --refuse-direct-read BOOK (add-ins' xlCoerce of its cells fails)\n"
         "Files are read and written as their extension says: " + file_kinds_text() + ".\n"
         "Options are carried out in the order given; the first failure ends the run with status 1.\n";
}

std::optional<std::string> parse_command_line(const std::vector<std::string>& args, CommandLine& out) {
  out = CommandLine{};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--trace") {
      out.trace = true;
      continue;
    }
    if (a == "--window") {
      out.window = true;
      continue;
    }
    if (a == "--help" || a == "-h" || a == "/?") {
      out.help = true;
      continue;
    }
    if (!a.empty() && a.front() != '-') {
      // A file named alone is opened, as a double-click on it would.
      out.actions.push_back({Action::Kind::Open, a});
      continue;
    }
    const OptionInfo* option = nullptr;
    for (const auto& o : kOptions)
      if (a == o.name) option = &o;
    if (!option) return "unknown option \"" + a + "\"";
    Action action{option->kind, {}};
    if (option->takes_argument) {
      if (i + 1 >= args.size() || args[i + 1].empty()) return std::string(option->name) + " needs an argument";
      action.argument = args[++i];
    }
    out.actions.push_back(std::move(action));
  }
  return std::nullopt;
}

bool shows_window(const CommandLine& line) {
  if (line.window) return true;
  if (line.help) return false;
  for (const Action& action : line.actions)
    switch (action.kind) {
      case Action::Kind::Run:  // commands run for a script, as before the window existed
      case Action::Kind::Calc:
      case Action::Kind::Save:
      case Action::Kind::Export:
      case Action::Kind::Print:
      case Action::Kind::Menus:
      case Action::Kind::InstallAddin:
      case Action::Kind::RemoveAddin: return false;
      default: break;
    }
  return true;
}

Session::Session(CApi& api, AddinLoader& addins, std::ostream& out, std::ostream& err)
    : api_(api), addins_(addins), out_(out), err_(err) {}

Sheet* Session::active_sheet_or(std::string& error) {
  Sheet* sheet = api_.app().active_sheet();
  if (!sheet) error = "no workbook is open (use --open or --import first)";
  return sheet;
}

std::optional<std::string> Session::run_command(const std::string& text) {
  Registry& registry = api_.registry();
  CallerInfo caller;
  caller.kind = CallerKind::Command;
  std::string name = text;
  std::vector<Arg> args;
  if (const auto open = text.find('('); open != std::string::npos && text.back() == ')') {
    name = text.substr(0, open);
    const std::string inside = text.substr(open + 1, text.size() - open - 2);
    if (!inside.empty()) {
      Arg arg;
      arg.kind = Arg::Kind::Value;
      Sheet* at = nullptr;
      std::vector<Area> areas;
      char* end = nullptr;
      const double number = std::strtod(inside.c_str(), &end);
      if (inside.size() >= 2 && inside.front() == '"' && inside.back() == '"') {
        std::string unquoted;
        for (std::size_t i = 1; i + 1 < inside.size(); ++i) {
          unquoted += inside[i];
          if (inside[i] == '"' && inside[i + 1] == '"') ++i;
        }
        arg.value = Value::str(unquoted);
      } else if (Sheet* active = api_.app().active_sheet();
                 active && parse_reference_text(*active, inside, at, areas) && at) {
        arg.kind = Arg::Kind::Reference;
        arg.ref = RefValue{at, areas};
      } else if (end && *end == '\0') {
        arg.value = Value::num(number);
      } else {
        arg.value = Value::str(inside);
      }
      args.push_back(std::move(arg));
    }
  }
  std::string macro = name;
  if (name.find('/') != std::string::npos) {
    auto found = api_.menus().find_command(name);
    if (!found) return "no menu command \"" + name + "\"";
    if (found->macro.empty()) return "the menu command \"" + name + "\" runs no macro";
    macro = found->macro;
    caller.menu_bar = found->bar;
    caller.menu = found->menu;
    caller.command = found->command;
  }
  const Registration* command = registry.find_name(macro, true);
  if (!command) return "no command macro \"" + macro + "\" (" + command_list(registry) + ")";
  caller.module = command->module;
  std::string error;
  if (!addins_.run_command(*command, caller, std::move(args), error)) return error;
  return std::nullopt;
}

std::optional<std::string> Session::perform(const Action& action) {
  Application& app = api_.app();
  std::string error;
  switch (action.kind) {
    case Action::Kind::Addin:
    case Action::Kind::InstallAddin:
      if (!addins_.open_addin(action.argument, action.kind == Action::Kind::InstallAddin, error)) return error;
      return std::nullopt;
    case Action::Kind::RemoveAddin:
      if (!addins_.remove_addin(action.argument, error)) return error;
      return std::nullopt;
    case Action::Kind::Open:
    case Action::Kind::Import: return api_.open_document(action.argument);
    case Action::Kind::Sheet: {
      Sheet* sheet = active_sheet_or(error);
      if (!sheet) return error;
      Workbook& book = sheet->book();
      Sheet* wanted = book.find_sheet(action.argument);
      if (!wanted) {
        std::string names;
        for (const auto& s : book.sheets()) names += (names.empty() ? "" : ", ") + s->name();
        return "the workbook " + book.name() + " has no sheet \"" + action.argument + "\" (its sheets: " + names + ")";
      }
      book.activate(*wanted);
      return std::nullopt;
    }
    case Action::Kind::Select: {
      Sheet* sheet = active_sheet_or(error);
      if (!sheet) return error;
      Sheet* target = nullptr;
      std::vector<Area> areas;
      if (!parse_reference_text(*sheet, action.argument, target, areas))
        return "\"" + action.argument + "\" is not a range such as B2:D10";
      if (target != sheet) return "\"" + action.argument + "\" is not on the active sheet " + Application::full_name(*sheet);
      sheet->selection = areas;
      sheet->active_cell = areas.front().top_left();
      return std::nullopt;
    }
    case Action::Kind::Run: return run_command(action.argument);
    case Action::Kind::Calc: app.calculator().recalculate_all(); return std::nullopt;
    case Action::Kind::Save: {
      Sheet* sheet = active_sheet_or(error);
      if (!sheet) return error;
      return save_document(sheet->book(), action.argument);
    }
    case Action::Kind::Export: {
      Sheet* sheet = active_sheet_or(error);
      if (!sheet) return error;
      return export_csv_file(*sheet, action.argument);
    }
    case Action::Kind::Print: {
      Sheet* sheet = active_sheet_or(error);
      if (!sheet) return error;
      out_ << print_sheet(*sheet);
      out_.flush();
      return std::nullopt;
    }
    case Action::Kind::Menus: out_ << api_.menus().listing(); return std::nullopt;
    case Action::Kind::RefuseDirectRead: api_.refuse_direct_read(action.argument); return std::nullopt;
  }
  return std::nullopt;
}

int Session::run(const CommandLine& line) {
  api_.set_tracing(line.trace);
  int status = 0;
  for (const Action& action : line.actions) {
    if (auto error = perform(action)) {
      err_ << "kovo-sheet: " << *error << "\n";
      status = 1;
      break;
    }
    api_.after_change();
  }
  err_.flush();
  return status;
}

}  // namespace kovo::sheet
