// Registration and names: procedures of add-ins made callable, names of
// the add-ins' own (SET.NAME) and defined names of workbooks.
#include <algorithm>

#include "sheethost/capi_impl.h"
#include "sheethost/formula.h"

namespace kovo::sheet {

std::string CApi::Impl::resolve_module(const std::string& module) {
  return addins ? addins->resolve_module(module) : std::string();
}

int CApi::Impl::register_function(const Args& a, Oper& r) {
  auto module_text = text_arg(a.at(0));
  if (!module_text || module_text->empty()) return xlretFailed;
  std::string module = resolve_module(*module_text);
  if (module.empty()) {
    std::string error = "the add-in " + *module_text + " cannot be opened here";
    if (!addins || !addins->open_addin(*module_text, error)) {
      trace("  " + error);
      r = Oper::error(xlerrValue);
      return xlretSuccess;
    }
    module = resolve_module(*module_text);
    if (!a.given(1)) {
      r = Oper::logical(true);
      return xlretSuccess;
    }
  }
  if (!a.given(1)) {
    r = Oper::logical(true);
    return xlretSuccess;
  }
  auto procedure = text_arg(a.at(1));
  if (!procedure || procedure->empty()) return xlretFailed;
  if (!a.given(2)) {
    // Excel asks the add-in to register the procedure itself.
    auto answer = addins->auto_register(module, *procedure);
    r = answer ? *answer : Oper::error(xlerrValue);
    return xlretSuccess;
  }
  Registration reg;
  reg.module = module;
  reg.procedure = *procedure;
  reg.type_text = text_arg(a.at(2)).value_or("");
  std::string error;
  auto type = parse_type_text(reg.type_text, error);
  if (!type) {
    trace("  " + reg.procedure + ": " + error);
    r = Oper::error(xlerrValue);
    return xlretSuccess;
  }
  reg.type = *type;
  reg.address = addins->find_procedure(module, reg.procedure);
  if (!reg.address) {
    trace("  " + module + " exports no procedure " + reg.procedure);
    r = Oper::error(xlerrValue);
    return xlretSuccess;
  }
  reg.function_text = text_arg(a.at(3)).value_or("");
  reg.argument_text = text_arg(a.at(4)).value_or("");
  reg.macro_type = static_cast<int>(number_arg(a.at(5)).value_or(1));
  reg.category = text_arg(a.at(6)).value_or("");
  reg.shortcut = text_arg(a.at(7)).value_or("");
  reg.help_topic = text_arg(a.at(8)).value_or("");
  reg.function_help = text_arg(a.at(9)).value_or("");
  for (std::size_t i = 10; i < a.size(); ++i) reg.argument_help.push_back(text_arg(a.at(i)).value_or(""));
  const Registration& added = registry.add(std::move(reg));
  app.calculator().functions_changed();
  r = Oper::number(added.id);
  return xlretSuccess;
}

// The id of a registered procedure, without registering it again (as
// REGISTER with the module and procedure alone would, through the add-in's
// xlAutoRegister); with a type text, one not yet registered is registered.
int CApi::Impl::register_id(const Args& a, Oper& r) {
  auto module_text = text_arg(a.at(0));
  auto procedure = text_arg(a.at(1));
  if (!module_text || module_text->empty() || !procedure || procedure->empty()) return xlretFailed;
  const std::string module = resolve_module(*module_text);
  if (const Registration* known = module.empty() ? nullptr : registry.find_procedure(module, *procedure)) {
    r = Oper::number(known->id);
    return xlretSuccess;
  }
  if (!a.given(2)) {
    r = Oper::error(xlerrValue);
    return xlretSuccess;
  }
  const std::vector<Oper> registration{a.at(0), a.at(1), a.at(2)};
  return register_function(Args{registration}, r);
}

int CApi::Impl::unregister(const Args& a, Oper& r) {
  const Oper& what = a.at(0);
  bool done = false;
  if (what.type == OperType::Num || what.type == OperType::Int) {
    done = registry.remove(what.type == OperType::Num ? what.num : what.w);
  } else if (auto module = text_arg(what)) {
    const std::string resolved = resolve_module(*module);
    done = registry.remove_module(resolved.empty() ? *module : resolved) > 0;
  }
  app.calculator().functions_changed();
  r = Oper::logical(done);
  return xlretSuccess;
}

int CApi::Impl::set_name(const Args& a, Oper& r) {
  auto name = text_arg(a.at(0));
  if (!name || name->empty()) return xlretFailed;
  auto known = std::find_if(dll_names.begin(), dll_names.end(),
                            [&](const auto& n) { return same_text_no_case(n.first, *name); });
  if (a.at(1).type == OperType::Missing) {
    bool found = known != dll_names.end();
    if (found) dll_names.erase(known);
    found = registry.hide_name(*name) || found;
    r = Oper::logical(found);
    return xlretSuccess;
  }
  if (known != dll_names.end()) known->second = a.at(1);
  else dll_names.emplace_back(*name, a.at(1));
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::define_name_command(const Args& a, Oper& r) {
  auto text = text_arg(a.at(0));
  Sheet* active = app.active_sheet();
  if (!text || !active) return xlretFailed;
  std::string name = *text;
  Sheet* scope = bool_arg(a.at(6)).value_or(false) ? active : nullptr;
  if (const auto bang = name.find('!'); bang != std::string::npos) {
    std::string book, sheet_name;
    split_sheet_text(name.substr(0, bang), book, sheet_name);
    scope = app.resolve_sheet(book, sheet_name, &active->book());
    if (!scope) return xlretFailed;
    name = name.substr(bang + 1);
  }
  if (!valid_defined_name(name)) {
    trace("  \"" + name + "\" is not a valid name");
    return xlretFailed;
  }
  Workbook& book = scope ? scope->book() : active->book();
  std::unique_ptr<Formula> refers_to;
  const Oper& target = a.at(1);
  if (target.is_reference() || target.type == OperType::Missing) {
    Sheet* sheet = active;
    std::vector<Area> areas = active->selection;
    if (target.is_reference() && !reference_of(target, sheet, areas, false)) return xlretFailed;
    refers_to = reference_formula(*sheet, areas);
  } else if (target.type == OperType::Str && !target.str.empty() && target.str[0] == '=') {
    auto parsed = parse_formula_any(target.str, parse_options_for(*active, active->active_cell));
    if (!parsed.formula) {
      trace("  " + parsed.error);
      return xlretFailed;
    }
    refers_to = std::move(parsed.formula);
  } else {
    refers_to = std::make_unique<Formula>();
    const Value v = oper_to_value(target);
    auto e = std::make_unique<Expr>();
    switch (v.kind) {
      case ValueKind::Number: e->kind = ExprKind::Number; e->number = v.number; break;
      case ValueKind::Text: e->kind = ExprKind::Text; e->text = v.text; break;
      case ValueKind::Bool: e->kind = ExprKind::Bool; e->boolean = v.boolean; break;
      case ValueKind::Error: e->kind = ExprKind::Error; e->error = v.error; break;
      case ValueKind::Empty: return xlretFailed;
    }
    refers_to->root = std::move(e);
  }
  define_name(book, name, scope, std::move(refers_to), bool_arg(a.at(4)).value_or(false));
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::get_name_definition(const Args& a, Oper& r) {
  auto text = text_arg(a.at(0));
  Sheet* sheet = app.active_sheet();
  if (!text || !sheet) return xlretFailed;
  std::string name = *text;
  Sheet* scope = nullptr;
  if (const auto bang = name.find('!'); bang != std::string::npos) {
    std::string book, sheet_name;
    split_sheet_text(name.substr(0, bang), book, sheet_name);
    scope = app.resolve_sheet(book, sheet_name);
    if (!scope) return xlretFailed;
    name = name.substr(bang + 1);
  }
  const DefinedName* found = nullptr;
  for (const auto& n : sheet->book().names())
    if (same_text_no_case(n.name, name) && (n.scope == scope || (!scope && n.scope == sheet))) found = &n;
  if (!found) found = sheet->book().find_name(name, scope ? scope : sheet);
  if (!found || !found->refers_to) {
    r = Oper::error(xlerrName);
    return xlretSuccess;
  }
  r = Oper::text(print_formula(*found->refers_to, print_options_for(found->scope ? *found->scope : *sheet, {}, RefStyle::R1C1)));
  return xlretSuccess;
}

}  // namespace kovo::sheet
