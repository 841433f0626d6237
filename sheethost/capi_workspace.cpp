// Workspace and information: the host itself (version, windows, the
// running add-in), who is calling, messages to the user, and the worksheet
// functions and formulas evaluated for an add-in.
#include <cstdlib>

#include "sheethost/capi_impl.h"
#include "sheethost/evaluator.h"
#include "sheethost/formula.h"
#include "sheethost/functions.h"

namespace kovo::sheet {

int CApi::Impl::abort_check(const Args&, Oper& r) {
  r = Oper::logical(false);
  return xlretSuccess;
}

int CApi::Impl::get_hwnd(const Args&, Oper& r) {
  r = Oper::integer(static_cast<int>(services.main_window()));
  return xlretSuccess;
}

int CApi::Impl::get_inst(const Args&, Oper& r) {
  r = Oper::integer(static_cast<int>(services.instance()));
  return xlretSuccess;
}

int CApi::Impl::get_name(const Args&, Oper& r) {
  if (caller().module.empty()) return xlretFailed;
  r = Oper::text(caller().module);
  return xlretSuccess;
}

int CApi::Impl::messages(const Args&, Oper& r) {
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::stack(const Args&, Oper& r) {
  r = Oper::integer(30000);
  return xlretSuccess;
}

int CApi::Impl::get_workspace(const Args& a, Oper& r) {
  const int type = static_cast<int>(number_arg(a.at(0)).value_or(0));
  switch (type) {
    case 1: r = Oper::text("Windows (64-bit) NT 6.01"); break;
    case 2: r = Oper::text("12.0"); break;
    case 3: r = Oper::number(0); break;
    case 4: r = Oper::logical(false); break;
    case 13: r = Oper::number(1024); break;
    case 14: r = Oper::number(768); break;
    case 23: r = Oper::text(""); break;
    case 26: {
      const char* user = std::getenv("USERNAME");
      r = Oper::text(user ? user : "");
      break;
    }
    case 31: case 36: r = Oper::logical(type == 36); break;
    case 44: {
      const auto& all = registry.all();
      if (all.empty()) {
        r = Oper::error(xlerrNA);
        break;
      }
      r.type = OperType::Multi;
      r.rows = static_cast<int>(all.size());
      r.cols = 3;
      for (const auto& reg : all) {
        r.items.push_back(Oper::text(reg.module));
        r.items.push_back(Oper::text(reg.procedure));
        r.items.push_back(Oper::text(reg.type_text));
      }
      break;
    }
    default: r = Oper::error(xlerrValue); break;
  }
  return xlretSuccess;
}

int CApi::Impl::alert(const Args& a, Oper& r) {
  const std::string text = text_arg(a.at(0)).value_or("");
  const int type = static_cast<int>(number_arg(a.at(1)).value_or(2));
  const bool ok = services.alert(text, type);
  r = Oper::logical(ok);
  return xlretSuccess;
}

int CApi::Impl::message(const Args& a, Oper& r) {
  const bool show = bool_arg(a.at(0)).value_or(false);
  app.status_bar = show ? text_arg(a.at(1)).value_or("") : std::string();
  services.status_text(app.status_bar);
  trace("  status bar: " + (app.status_bar.empty() ? std::string("(ready)") : "\"" + app.status_bar + "\""));
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::echo(const Args& a, Oper& r) {
  app.screen_updating = bool_arg(a.at(0)).value_or(!app.screen_updating);
  r = Oper::logical(true);
  return xlretSuccess;
}

int CApi::Impl::caller_info(const Args&, Oper& r) {
  const CallerInfo& c = caller();
  if ((c.kind == CallerKind::Function || c.kind == CallerKind::MacroFunction) && c.sheet) {
    r = Oper::single_reference(Area::cell(c.cell));
    return xlretSuccess;
  }
  if (c.kind == CallerKind::Command && c.menu > 0) {
    r.type = OperType::Multi;
    r.rows = 1;
    r.cols = 4;
    r.items = {Oper::number(c.menu_bar), Oper::number(c.menu), Oper::number(0), Oper::number(c.command)};
    return xlretSuccess;
  }
  r = Oper::error(xlerrRef);
  return xlretSuccess;
}

int CApi::Impl::builtin(const Args& a, Oper& r, int number) {
  const Builtin* b = find_builtin(number);
  if (!b) return xlretInvXlfn;
  if (static_cast<int>(a.size()) < b->min_args || static_cast<int>(a.size()) > b->max_args) return xlretInvCount;
  Sheet* sheet = current_sheet();
  if (!sheet) return xlretFailed;
  Formula f;
  f.root = std::make_unique<Expr>();
  f.root->kind = ExprKind::Call;
  f.root->builtin = b;
  f.root->text = std::string(b->name);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const Oper& o = a.at(i);
    auto e = std::make_unique<Expr>();
    if (o.is_reference()) {
      Sheet* target = sheet_of(o);
      if (!target) return xlretFailed;
      if (o.areas.size() == 1) {
        e->kind = ExprKind::Ref;
        e->sheet = target;
        e->ref.area = o.areas[0];
      } else {
        e->kind = ExprKind::Union;
        for (const Area& area : o.areas) {
          auto part = std::make_unique<Expr>();
          part->kind = ExprKind::Ref;
          part->sheet = target;
          part->ref.area = area;
          e->args.push_back(std::move(part));
        }
      }
    } else if (o.type == OperType::Missing) {
      e->kind = ExprKind::Missing;
    } else {
      const Value v = oper_to_value(o);
      switch (v.kind) {
        case ValueKind::Number: e->kind = ExprKind::Number; e->number = v.number; break;
        case ValueKind::Text: e->kind = ExprKind::Text; e->text = v.text; break;
        case ValueKind::Bool: e->kind = ExprKind::Bool; e->boolean = v.boolean; break;
        case ValueKind::Error: e->kind = ExprKind::Error; e->error = v.error; break;
        case ValueKind::Empty: e->kind = ExprKind::Missing; break;
      }
    }
    f.root->args.push_back(std::move(e));
  }
  Calculator& calc = app.calculator();
  const Value v = evaluate(f, *sheet, caller().cell, calc);
  if (calc.calculating() && calc.uncalculated()) return xlretUncalced;
  r = value_to_oper(v);
  return xlretSuccess;
}

int CApi::Impl::evaluate_text(const Args& a, Oper& r) {
  auto text = text_arg(a.at(0));
  Sheet* sheet = app.active_sheet();
  if (!text || !sheet) return xlretFailed;
  std::string formula = *text;
  if (formula.empty() || formula[0] != '=') formula = "=" + formula;
  auto parsed = parse_formula_any(formula, parse_options_for(*sheet, sheet->active_cell));
  if (!parsed.formula) {
    r = Oper::error(xlerrValue);
    return xlretSuccess;
  }
  RefValue ref;
  ErrorCode error = ErrorCode::Null;
  if (evaluate_reference(*parsed.formula->root, *sheet, sheet->active_cell, app.calculator(), ref, error)) {
    if (error != ErrorCode::Null) r = Oper::error(static_cast<int>(error));
    else r = reference_oper(*ref.sheet, ref.areas);
    return xlretSuccess;
  }
  r = value_to_oper(evaluate(*parsed.formula, *sheet, sheet->active_cell, app.calculator()));
  return xlretSuccess;
}

}  // namespace kovo::sheet
