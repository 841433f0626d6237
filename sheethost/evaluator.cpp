#include "sheethost/evaluator.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "sheethost/functions.h"
#include "sheethost/workbook.h"

namespace kovo::sheet {

namespace {

int compare_text(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int x = std::toupper(static_cast<unsigned char>(a[i]));
    const int y = std::toupper(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// Ordering rank of a value's type in comparisons: numbers < texts < logicals.
int type_rank(ValueKind k) {
  switch (k) {
    case ValueKind::Number: return 0;
    case ValueKind::Text: return 1;
    case ValueKind::Bool: return 2;
    default: return 0;
  }
}

Value number_result(double n) {
  if (!std::isfinite(n)) return Value::err(ErrorCode::Num);
  return Value::num(n);
}

// A logical read from a scalar: numbers are true when not 0, the texts TRUE
// and FALSE count, other texts are #VALUE!.
std::optional<bool> to_logical(const Value& v, ErrorCode& error) {
  switch (v.kind) {
    case ValueKind::Bool: return v.boolean;
    case ValueKind::Number: return v.number != 0;
    case ValueKind::Empty: return false;
    case ValueKind::Error: error = v.error; return std::nullopt;
    case ValueKind::Text:
      if (same_text_no_case(v.text, "TRUE")) return true;
      if (same_text_no_case(v.text, "FALSE")) return false;
      error = ErrorCode::Value;
      return std::nullopt;
  }
  return std::nullopt;
}

class Evaluator {
 public:
  Evaluator(Sheet& sheet, CellPos owner, EvalHost& host) : sheet_(sheet), owner_(owner), host_(host) {}

  Value scalar(const Expr& e) {
    switch (e.kind) {
      case ExprKind::Number: return Value::num(e.number);
      case ExprKind::Text: return Value::str(e.text);
      case ExprKind::Bool: return Value::logical(e.boolean);
      case ExprKind::Error: return Value::err(e.error);
      case ExprKind::Missing: return Value{};
      case ExprKind::Ref: return ref_scalar(e);
      case ExprKind::Paren: return scalar(*e.args[0]);
      case ExprKind::Percent: {
        const Value v = scalar(*e.args[0]);
        const auto n = value_to_number(v);
        if (n.error) return Value::err(*n.error);
        return number_result(n.number / 100);
      }
      case ExprKind::Unary: {
        const Value v = scalar(*e.args[0]);
        const auto n = value_to_number(v);
        if (n.error) return Value::err(*n.error);
        return number_result(e.op == Op::Neg ? -n.number : n.number);
      }
      case ExprKind::Binary: return binary(e);
      case ExprKind::Call: return call(e);
      case ExprKind::Name: return name_scalar(e);
      case ExprKind::Union: return Value::err(ErrorCode::Value);
    }
    return Value::err(ErrorCode::Value);
  }

  // The reference an expression stands for, if it is one.
  bool reference(const Expr& e, RefValue& out, ErrorCode& error) {
    switch (e.kind) {
      case ExprKind::Ref: {
        Sheet* sheet = ref_sheet(e);
        if (!sheet) {
          error = ErrorCode::Ref;
          return true;
        }
        if (out.sheet && out.sheet != sheet) {
          error = ErrorCode::Value;
          return true;
        }
        out.sheet = sheet;
        out.areas.push_back(e.ref.area);
        return true;
      }
      case ExprKind::Paren: return reference(*e.args[0], out, error);
      case ExprKind::Union:
        for (const auto& a : e.args)
          if (!reference(*a, out, error)) return false;
        return true;
      case ExprKind::Name: {
        const NameResult* name = resolve_name(e, error);
        if (!name) return true;
        if (!name->is_reference) return false;
        if (name->error != ErrorCode::Null) {
          error = name->error;
          return true;
        }
        if (out.sheet && out.sheet != name->ref.sheet) {
          error = ErrorCode::Value;
          return true;
        }
        out.sheet = name->ref.sheet;
        out.areas.insert(out.areas.end(), name->ref.areas.begin(), name->ref.areas.end());
        return true;
      }
      default: return false;
    }
  }

 private:
  // What a defined name stands for in this evaluation: a reference (or the
  // error of one) or a value. Each name is worked out once per evaluation,
  // however often the formula and the names it uses refer to it.
  struct NameResult {
    bool in_progress = true;
    bool is_reference = false;
    RefValue ref;
    ErrorCode error = ErrorCode::Null;
    Value value;
  };

  Sheet* ref_sheet(const Expr& e) const {
    if (e.ref_error) return nullptr;
    if (e.sheet) return e.sheet;
    if (!e.text.empty()) return nullptr;  // a prefix naming no open sheet
    return &sheet_;
  }

  const Value& read(Sheet& sheet, int row, int col) {
    static const Value kEmpty;
    const Value* v = host_.cell(sheet, row, col);
    return v ? *v : kEmpty;
  }

  // A multi-cell area used where one value is wanted: the cell in the
  // formula's row (a column) or column (a row), else #VALUE!.
  Value area_scalar(Sheet& sheet, const Area& a) {
    if (a.single_cell()) return read(sheet, a.row1, a.col1);
    if (a.col1 == a.col2 && owner_.row >= a.row1 && owner_.row <= a.row2) return read(sheet, owner_.row, a.col1);
    if (a.row1 == a.row2 && owner_.col >= a.col1 && owner_.col <= a.col2) return read(sheet, a.row1, owner_.col);
    return Value::err(ErrorCode::Value);
  }

  Value ref_scalar(const Expr& e) {
    Sheet* sheet = ref_sheet(e);
    if (!sheet) return Value::err(ErrorCode::Ref);
    return area_scalar(*sheet, e.ref.area);
  }

  // The name's meaning, or nullptr (with #NAME?) when no name of that text
  // is defined. A name met again while it is being worked out (a circle of
  // names) and a chain deeper than kMaxNameDepth stand for #REF!.
  const NameResult* resolve_name(const Expr& e, ErrorCode& error) {
    const DefinedName* name = sheet_.book().find_name(e.text, &sheet_);
    if (!name || !name->refers_to || !name->refers_to->root) {
      error = ErrorCode::Name;
      return nullptr;
    }
    static const NameResult kBroken = [] {
      NameResult r;
      r.in_progress = false;
      r.is_reference = true;
      r.error = ErrorCode::Ref;
      return r;
    }();
    auto [it, first] = names_.try_emplace(name);
    if (!first) return it->second.in_progress ? &kBroken : &it->second;
    if (name_depth_ >= kMaxNameDepth) {
      names_.erase(it);
      return &kBroken;
    }
    ++name_depth_;
    NameResult result;
    ErrorCode ref_error = ErrorCode::Null;
    if (reference(*name->refers_to->root, result.ref, ref_error)) {
      result.is_reference = true;
      result.error = ref_error;
    } else {
      result.value = scalar(*name->refers_to->root);
    }
    --name_depth_;
    result.in_progress = false;
    NameResult& stored = names_[name];
    stored = std::move(result);
    return &stored;
  }

  Value name_scalar(const Expr& e) {
    ErrorCode error = ErrorCode::Null;
    const NameResult* name = resolve_name(e, error);
    if (!name) return Value::err(error);
    if (!name->is_reference) return name->value;
    if (name->error != ErrorCode::Null) return Value::err(name->error);
    if (name->ref.areas.size() != 1) return Value::err(ErrorCode::Value);
    return area_scalar(*name->ref.sheet, name->ref.areas[0]);
  }

  Value binary(const Expr& e) {
    const Value a = scalar(*e.args[0]);
    const Value b = scalar(*e.args[1]);
    switch (e.op) {
      case Op::Concat:
        if (a.is_error()) return a;
        if (b.is_error()) return b;
        return Value::str(value_to_text(a) + value_to_text(b));
      case Op::Eq: case Op::Ne: case Op::Lt: case Op::Gt: case Op::Le: case Op::Ge: {
        if (a.is_error()) return a;
        if (b.is_error()) return b;
        const int c = compare_values(a, b);
        switch (e.op) {
          case Op::Eq: return Value::logical(c == 0);
          case Op::Ne: return Value::logical(c != 0);
          case Op::Lt: return Value::logical(c < 0);
          case Op::Gt: return Value::logical(c > 0);
          case Op::Le: return Value::logical(c <= 0);
          default: return Value::logical(c >= 0);
        }
      }
      default: break;
    }
    const auto x = value_to_number(a);
    if (x.error) return Value::err(*x.error);
    const auto y = value_to_number(b);
    if (y.error) return Value::err(*y.error);
    switch (e.op) {
      case Op::Add: return number_result(x.number + y.number);
      case Op::Sub: return number_result(x.number - y.number);
      case Op::Mul: return number_result(x.number * y.number);
      case Op::Div:
        if (y.number == 0) return Value::err(ErrorCode::Div0);
        return number_result(x.number / y.number);
      case Op::Pow:
        if (x.number == 0 && y.number == 0) return Value::err(ErrorCode::Num);
        if (x.number == 0 && y.number < 0) return Value::err(ErrorCode::Div0);
        if (x.number < 0 && y.number != std::floor(y.number)) return Value::err(ErrorCode::Num);
        return number_result(std::pow(x.number, y.number));
      default: return Value::err(ErrorCode::Value);
    }
  }

  // Calls f(value) for every cell of a reference argument; false when the
  // argument is no reference. An error of the reference itself is reported.
  template <typename F>
  bool each_ref_cell(const Expr& e, ErrorCode& error, F&& f) {
    if (e.kind == ExprKind::Ref) {
      Sheet* sheet = ref_sheet(e);
      if (!sheet) {
        error = ErrorCode::Ref;
        return true;
      }
      each_cell(*sheet, e.ref.area, f);
      return true;
    }
    if (e.kind != ExprKind::Union && e.kind != ExprKind::Paren && e.kind != ExprKind::Name) return false;
    RefValue ref;
    if (!reference(e, ref, error)) return false;
    if (error != ErrorCode::Null) return true;
    for (const Area& a : ref.areas) each_cell(*ref.sheet, a, f);
    return true;
  }

  template <typename F>
  void each_cell(Sheet& sheet, const Area& a, F& f) {
    // Only cells that exist can hold anything: stop at the sheet's extent.
    for (int c = a.col1; c <= a.col2; ++c)
      for (int r = a.row1; r <= a.row2; ++r) {
        if (!sheet.find(r, c)) continue;
        f(read(sheet, r, c));
      }
  }

  Value call(const Expr& e) {
    if (!e.builtin) return external(e);
    switch (e.builtin->id) {
      case BuiltinId::Sum: return sum(e);
      case BuiltinId::If: return if_function(e);
      case BuiltinId::Abs: {
        const auto n = value_to_number(scalar(*e.args[0]));
        if (n.error) return Value::err(*n.error);
        return Value::num(std::fabs(n.number));
      }
      case BuiltinId::Round: {
        const auto n = value_to_number(scalar(*e.args[0]));
        if (n.error) return Value::err(*n.error);
        const auto d = value_to_number(scalar(*e.args[1]));
        if (d.error) return Value::err(*d.error);
        return round_number(n.number, d.number);
      }
      case BuiltinId::And: return logical_fold(e, true);
      case BuiltinId::Or: return logical_fold(e, false);
      case BuiltinId::Not: {
        ErrorCode error = ErrorCode::Null;
        const auto b = to_logical(scalar(*e.args[0]), error);
        if (!b) return Value::err(error);
        return Value::logical(!*b);
      }
      case BuiltinId::Concatenate: {
        std::string text;
        for (const auto& a : e.args) {
          const Value v = scalar(*a);
          if (v.is_error()) return v;
          text += value_to_text(v);
        }
        return Value::str(std::move(text));
      }
    }
    return Value::err(ErrorCode::Value);
  }

  Value sum(const Expr& e) {
    double total = 0;
    std::optional<ErrorCode> first_error;
    for (const auto& a : e.args) {
      if (a->kind == ExprKind::Missing) continue;
      ErrorCode ref_error = ErrorCode::Null;
      const bool was_ref = each_ref_cell(*a, ref_error, [&](const Value& v) {
        if (v.is_number()) total += v.number;
        else if (v.is_error() && !first_error) first_error = v.error;
      });
      if (was_ref) {
        if (ref_error != ErrorCode::Null && !first_error) first_error = ref_error;
        continue;
      }
      const auto n = value_to_number(scalar(*a));
      if (n.error && !first_error) first_error = n.error;
      total += n.number;
    }
    if (first_error) return Value::err(*first_error);
    return number_result(total);
  }

  Value if_function(const Expr& e) {
    ErrorCode error = ErrorCode::Null;
    const auto condition = to_logical(scalar(*e.args[0]), error);
    if (!condition) return Value::err(error);
    const std::size_t branch = *condition ? 1 : 2;
    if (branch >= e.args.size()) return Value::logical(false);
    if (e.args[branch]->kind == ExprKind::Missing) return Value::num(0);
    return scalar(*e.args[branch]);
  }

  Value logical_fold(const Expr& e, bool all) {
    bool any_value = false;
    bool result = all;
    std::optional<ErrorCode> first_error;
    auto take = [&](bool b) {
      any_value = true;
      result = all ? (result && b) : (result || b);
    };
    for (const auto& a : e.args) {
      if (a->kind == ExprKind::Missing) continue;
      ErrorCode ref_error = ErrorCode::Null;
      const bool was_ref = each_ref_cell(*a, ref_error, [&](const Value& v) {
        if (v.is_bool()) take(v.boolean);
        else if (v.is_number()) take(v.number != 0);
        else if (v.is_error() && !first_error) first_error = v.error;
      });
      if (was_ref) {
        if (ref_error != ErrorCode::Null && !first_error) first_error = ref_error;
        continue;
      }
      ErrorCode error = ErrorCode::Null;
      const auto b = to_logical(scalar(*a), error);
      if (!b) {
        if (!first_error) first_error = error;
        continue;
      }
      take(*b);
    }
    if (first_error) return Value::err(*first_error);
    if (!any_value) return Value::err(ErrorCode::Value);
    return Value::logical(result);
  }

  Value external(const Expr& e) {
    std::vector<Arg> args;
    args.reserve(e.args.size());
    for (const auto& a : e.args) {
      Arg arg;
      if (a->kind == ExprKind::Missing) {
        arg.kind = Arg::Kind::Missing;
      } else {
        ErrorCode error = ErrorCode::Null;
        RefValue ref;
        if (reference(*a, ref, error)) {
          if (error != ErrorCode::Null) {
            arg.kind = Arg::Kind::Value;
            arg.value = Value::err(error);
          } else {
            arg.kind = Arg::Kind::Reference;
            arg.ref = std::move(ref);
          }
        } else {
          arg.kind = Arg::Kind::Value;
          arg.value = scalar(*a);
        }
      }
      args.push_back(std::move(arg));
    }
    if (host_.uncalculated()) return Value::err(ErrorCode::NA);
    return host_.call_external(e.text, args, sheet_, owner_);
  }

  Sheet& sheet_;
  CellPos owner_;
  EvalHost& host_;
  int name_depth_ = 0;
  std::unordered_map<const DefinedName*, NameResult> names_;
};

}  // namespace

int compare_values(const Value& a, const Value& b) {
  Value x = a, y = b;
  // An empty value compares as the other side's kind of nothing.
  if (x.is_empty() && y.is_empty()) return 0;
  if (x.is_empty()) {
    x = y.is_text() ? Value::str("") : y.is_bool() ? Value::logical(false) : Value::num(0);
  }
  if (y.is_empty()) {
    y = x.is_text() ? Value::str("") : x.is_bool() ? Value::logical(false) : Value::num(0);
  }
  if (x.kind != y.kind) return type_rank(x.kind) < type_rank(y.kind) ? -1 : 1;
  switch (x.kind) {
    case ValueKind::Number: return x.number < y.number ? -1 : x.number > y.number ? 1 : 0;
    case ValueKind::Text: return compare_text(x.text, y.text);
    case ValueKind::Bool: return x.boolean == y.boolean ? 0 : (x.boolean ? 1 : -1);
    default: return 0;
  }
}

Value round_number(double x, double digits_value) {
  if (!std::isfinite(x) || !std::isfinite(digits_value)) return Value::err(ErrorCode::Num);
  const int digits = static_cast<int>(std::trunc(std::max(-400.0, std::min(400.0, digits_value))));
  if (x == 0) return Value::num(0);
  // Round the 15-digit decimal form, halves away from zero, as the
  // spreadsheet does (ROUND(1.005,2) is 1.01).
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(x));
  std::string mantissa;
  mantissa += buffer[0];
  mantissa += std::string(buffer + 2, buffer + 16);
  const int exponent = std::atoi(buffer + 17);
  const int keep = exponent + 1 + digits;  // significant digits that stay
  const double sign = x < 0 ? -1 : 1;
  if (keep >= 15) return Value::num(sign * std::strtod(buffer, nullptr));
  if (keep < 0) return Value::num(0);
  if (keep == 0) return Value::num(mantissa[0] >= '5' ? sign * std::pow(10.0, -digits) : 0.0);
  std::string kept = mantissa.substr(0, static_cast<std::size_t>(keep));
  int value_exponent = exponent;
  if (mantissa[static_cast<std::size_t>(keep)] >= '5') {
    int i = keep - 1;
    while (i >= 0 && kept[static_cast<std::size_t>(i)] == '9') kept[static_cast<std::size_t>(i--)] = '0';
    if (i < 0) {
      kept.insert(kept.begin(), '1');
      ++value_exponent;
    } else {
      ++kept[static_cast<std::size_t>(i)];
    }
  }
  const std::string text = kept.substr(0, 1) + "." + kept.substr(1) + "e" + std::to_string(value_exponent);
  return Value::num(sign * std::strtod(text.c_str(), nullptr));
}

Value evaluate(const Formula& formula, Sheet& sheet, CellPos owner, EvalHost& host) {
  if (!formula.root) return Value::err(ErrorCode::Value);
  Evaluator ev(sheet, owner, host);
  Value v = ev.scalar(*formula.root);
  if (v.is_empty()) return Value::num(0);
  return v;
}

bool evaluate_reference(const Expr& expr, Sheet& sheet, CellPos owner, EvalHost& host, RefValue& out,
                        ErrorCode& error) {
  Evaluator ev(sheet, owner, host);
  error = ErrorCode::Null;
  return ev.reference(expr, out, error);
}

}  // namespace kovo::sheet
