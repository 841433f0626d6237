#include "addin/tools/report_layout.h"

#include <charconv>

namespace kovo::addin::tools {

// ------------------------------------------------------------- elements

std::optional<ElementKind> layout_item(std::string_view text) {
  constexpr ElementKind kinds[] = {ElementKind::Total,    ElementKind::SubTotal,        ElementKind::Description,
                                   ElementKind::Variance, ElementKind::PercentVariance, ElementKind::BlankLine};
  for (std::size_t i = 0; i < kLayoutItems.size(); ++i)
    if (text == kLayoutItems[i]) return kinds[i];
  return std::nullopt;
}

std::string_view layout_name(ElementKind kind) {
  switch (kind) {
    case ElementKind::Total: return kLayoutItems[0];
    case ElementKind::SubTotal: return kLayoutItems[1];
    case ElementKind::Description: return kLayoutItems[2];
    case ElementKind::Variance: return kLayoutItems[3];
    case ElementKind::PercentVariance: return kLayoutItems[4];
    case ElementKind::BlankLine: return kLayoutItems[5];
    case ElementKind::Value: break;
  }
  return {};
}

Element parse_element(std::string_view text) {
  Element e;
  const auto tab = text.find('\t');
  std::string_view spec = text.substr(0, tab);
  if (tab != std::string_view::npos) e.description = std::string(text.substr(tab + 1));
  if (spec.empty()) return e;  // an empty element is a blank line
  if (const auto item = layout_item(spec)) {
    e.kind = *item;
    e.value = std::string(spec);
    return e;
  }
  e.kind = ElementKind::Value;
  // "(" axis ") " value: a value of another axis under the element before it.
  if (spec.front() == '(') {
    const auto close = spec.find(") ");
    if (close != std::string_view::npos && close > 1) {
      e.axis = std::string(spec.substr(1, close - 1));
      e.value = std::string(spec.substr(close + 2));
      return e;
    }
  }
  e.value = std::string(spec);
  return e;
}

std::string sub_element(std::string_view axis, std::string_view value) {
  std::string text = "(";
  text += axis;
  text += ") ";
  text += value;
  return text;
}

std::string element_specifier(const Element& e) {
  if (e.is_layout()) return std::string(layout_name(e.kind));
  return e.is_sub() ? sub_element(e.axis, e.value) : e.value;
}

std::string element_text(const Element& e) {
  std::string text = element_specifier(e);
  if (!e.description.empty()) text += "\t" + e.description;
  return text;
}

// ------------------------------------------------------------- axes

std::optional<std::vector<Axis>> pair_axes(const std::vector<std::string>& names, const std::vector<std::string>& codes) {
  if (names.size() != codes.size()) return std::nullopt;
  std::vector<Axis> axes;
  for (std::size_t i = 0; i < names.size(); ++i) {
    int code = 0;
    const std::string& text = codes[i];
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (error != std::errc() || end != text.data() + text.size() || code == 0) return std::nullopt;
    axes.push_back({names[i], code});
  }
  return axes;
}

bool axis_count_allowed(std::size_t count) { return count >= kMinAxes && count <= kMaxAxes; }

// ------------------------------------------------------------- the plan

namespace {

std::string label(std::string_view text) { return "'" + std::string(text); }

// One axis of the body: its elements, the axis they belong to, where its
// headers stand (1-based, for references) and which line is whose parent.
struct Line {
  Element element;
  std::optional<std::size_t> parent;  // the nearest element before it that is not a sub-element
};

std::vector<Line> lines_of(const std::vector<std::string>& texts) {
  std::vector<Line> lines;
  std::optional<std::size_t> last_main;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    Line line{parse_element(texts[i]), std::nullopt};
    if (line.element.is_sub()) line.parent = last_main;
    else last_main = i;
    lines.push_back(std::move(line));
  }
  return lines;
}

// Runs of consecutive indices in [first, last] that pass a test.
template <typename Test>
std::vector<std::pair<std::size_t, std::size_t>> runs(std::size_t first, std::size_t last, const Test& test) {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  bool open = false;
  for (std::size_t i = first; i <= last; ++i) {
    if (test(i)) {
      if (!open) out.push_back({i, i});
      out.back().second = i;
      open = true;
    } else {
      open = false;
    }
  }
  return out;
}

class Planner {
 public:
  Planner(const ReportChoices& c, const FormulaStyle& s, int r, int col) : c_(c), s_(s), r_(r) {
    // At the first column the parameter block cannot start left of the
    // anchor: it and everything after it move two columns right.
    const int shift = col == 0 ? 2 : 0;
    company_col_ = col;
    param_col_ = col - 1 + shift;
    v_ = r + 5 + static_cast<int>(c.axes.size());
    header_col_ = col + 2 + shift;
    body_col_ = col + 5 + shift;
    rows_ = lines_of(c.vertical);
    cols_ = lines_of(c.horizontal);
    std::size_t next = 0;
    for (const auto& a : c.axes) {
      std::string value;
      if (a.name == c.vertical_axis) value = "Vertical";
      else if (a.name == c.horizontal_axis) value = "Horizontal";
      else if (next < c.remaining.size()) value = c.remaining[next++];
      else ++next;
      values_.push_back(std::move(value));
    }
  }

  PlanResult plan(int sheet_rows, int sheet_columns) {
    PlanResult result;
    const int last_row = v_ + static_cast<int>(rows_.size()) - 1;
    int descriptions = 0;
    for (const auto& l : cols_) descriptions += l.element.kind == ElementKind::Description ? 1 : 0;
    const int last_col = std::max(body_col_ + static_cast<int>(cols_.size()) - 1 + descriptions, header_col_ + 1);
    if (rows_.empty() || cols_.empty()) {
      result.error = "The report has no rows or no columns.";
      return result;
    }
    if (last_row >= sheet_rows || last_col >= sheet_columns) {
      result.error = "The report does not fit on the sheet from the active cell: it needs rows " +
                     std::to_string(r_ + 1) + " to " + std::to_string(last_row + 1) + " and " +
                     std::to_string(last_col + 1) + " columns.";
      return result;
    }
    ReportPlan& p = result.plan.emplace();
    company(p);
    parameters(p);
    headers(p);
    body(p);
    descriptions_to_widen(p);
    return result;
  }

 private:
  // ---- positions and references (1-based in the text)
  std::string R() const { return s_.row_symbol; }
  std::string C() const { return s_.column_symbol; }
  std::string abs(int row, int col) const { return R() + std::to_string(row + 1) + C() + std::to_string(col + 1); }
  std::string row_here_col(int col) const { return R() + C() + std::to_string(col + 1); }
  std::string row_col_here(int row) const { return R() + std::to_string(row + 1) + C(); }
  std::string rows_up(int d, int col) const { return R() + "[-" + std::to_string(d) + "]" + C() + std::to_string(col + 1); }
  std::string cols_left(int row, int d) const { return R() + std::to_string(row + 1) + C() + "[-" + std::to_string(d) + "]"; }
  std::string sep() const { return std::string(1, s_.list_separator); }
  int header_row() const { return v_ - 1; }
  int row_of(std::size_t i) const { return v_ + static_cast<int>(i); }
  int col_of(std::size_t j) const { return body_col_ + static_cast<int>(j); }
  int param_row(std::size_t k) const { return r_ + 2 + static_cast<int>(k); }
  std::string model_company_ref() const { return abs(r_, company_col_ + 1); }

  const std::string& row_axis(std::size_t i) const {
    return rows_[i].element.is_sub() ? rows_[i].element.axis : c_.vertical_axis;
  }
  const std::string& col_axis(std::size_t j) const {
    return cols_[j].element.is_sub() ? cols_[j].element.axis : c_.horizontal_axis;
  }
  const Axis* axis_named(const std::string& name) const {
    for (const auto& a : c_.axes)
      if (a.name == name) return &a;
    return nullptr;
  }

  void write(ReportPlan& p, int row, int col, std::string entry) { p.cells.push_back({row, col, std::move(entry)}); }

  // ---- blocks

  void company(ReportPlan& p) {
    write(p, r_, company_col_, label("Company:"));
    write(p, r_, company_col_ + 1, label(c_.model_company));
    p.names.push_back({std::string(kNameModelCompany), {r_, company_col_ + 1, r_, company_col_ + 1}});
  }

  void parameters(ReportPlan& p) {
    for (std::size_t k = 0; k < c_.axes.size(); ++k) {
      write(p, param_row(k), param_col_, label(c_.axes[k].name));
      if (!values_[k].empty()) write(p, param_row(k), param_col_ + 1, label(values_[k]));
    }
    if (!c_.axes.empty())
      p.names.push_back({std::string(kNameOtherAxes),
                         {param_row(0), param_col_, param_row(c_.axes.size() - 1), param_col_ + 1}});
  }

  void headers(ReportPlan& p) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      const Element& e = rows_[i].element;
      if (e.kind == ElementKind::BlankLine) continue;
      write(p, row_of(i), header_col_, label(e.is_layout() ? layout_name(e.kind) : std::string_view(e.value)));
      if (e.is_sub()) write(p, row_of(i), header_col_ + 1, label(e.axis));
    }
    p.names.push_back({std::string(kNameVerticalAxis),
                       {v_, header_col_, row_of(rows_.size() - 1), header_col_ + 1}});
    for (std::size_t j = 0; j < cols_.size(); ++j) {
      const Element& e = cols_[j].element;
      if (e.kind == ElementKind::BlankLine) continue;
      write(p, header_row(), col_of(j), label(e.is_layout() ? layout_name(e.kind) : std::string_view(e.value)));
      // A sub-column names its axis in the row above its header, as a
      // sub-row does beside it.
      if (e.is_sub()) write(p, header_row() - 1, col_of(j), label(e.axis));
    }
    p.names.push_back({std::string(kNameHorizontalAxis),
                       {header_row(), body_col_, header_row(), col_of(cols_.size() - 1)}});
    write(p, v_ - 3, body_col_, label(c_.title));
    p.names.push_back({std::string(kNameReportTitle), {v_ - 3, body_col_, v_ - 3, body_col_}});
  }

  void body(ReportPlan& p) {
    for (std::size_t i = 0; i < rows_.size(); ++i)
      for (std::size_t j = 0; j < cols_.size(); ++j) {
        std::string entry = cell(i, j);
        if (entry.empty()) continue;
        if (is_percent(i, j)) p.formats.push_back({row_of(i), col_of(j), std::string(kPercentFormat)});
        write(p, row_of(i), col_of(j), std::move(entry));
      }
    p.body = {v_, body_col_, row_of(rows_.size() - 1), col_of(cols_.size() - 1)};
    p.names.push_back({std::string(kNameReportBody), p.body});
  }

  void descriptions_to_widen(ReportPlan& p) {
    for (std::size_t j = cols_.size(); j-- > 0;) {
      if (cols_[j].element.kind != ElementKind::Description) continue;
      DescriptionColumn d{col_of(j), header_row(), {}};
      for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].element.is_sub()) d.sub_rows.push_back(row_of(i));
      p.description_columns.push_back(std::move(d));
    }
  }

  // ---- body cells

  bool is_percent(std::size_t i, std::size_t j) const {
    const ElementKind rk = rows_[i].element.kind, ck = cols_[j].element.kind;
    if (rk == ElementKind::PercentVariance) return ck == ElementKind::Value;
    return rk == ElementKind::Value && ck == ElementKind::PercentVariance;
  }

  std::string cell(std::size_t i, std::size_t j) const {
    const Element& row = rows_[i].element;
    const Element& col = cols_[j].element;
    const bool col_sums = col.is_value() || col.kind == ElementKind::Total || col.kind == ElementKind::SubTotal;
    switch (row.kind) {
      case ElementKind::Total:
        if (col.kind == ElementKind::Description) return label(row.description.empty() ? "Total" : row.description);
        return col_sums ? total_of_rows(i) : std::string();
      case ElementKind::SubTotal:
        if (col.kind == ElementKind::Description)
          return label(row.description.empty() ? "Sub Total" : row.description);
        return col_sums ? subtotal_of_rows(i) : std::string();
      case ElementKind::Description:
        if (!col.is_value()) return {};
        if (!col.description.empty()) return label(col.description);
        return description_formula(col_axis(j), row_col_here(header_row()));
      case ElementKind::Variance:
        if (!col.is_value()) return {};
        return "=((" + R() + "[-2]" + C() + ")-(" + R() + "[-1]" + C() + "))";
      case ElementKind::PercentVariance: {
        if (!col.is_value()) return {};
        const std::string a = R() + "[-2]" + C(), b = R() + "[-1]" + C();
        return "=(if(" + b + "<>0" + sep() + "(" + a + "-" + b + ")/" + b + sep() + "0))";
      }
      case ElementKind::BlankLine: return {};
      case ElementKind::Value: break;
    }
    switch (col.kind) {
      case ElementKind::Total: return total_of_columns(j);
      case ElementKind::SubTotal: return subtotal_of_columns(j);
      case ElementKind::Description:
        if (!row.description.empty()) return label(row.description);
        return description_formula(row_axis(i), row_here_col(header_col_));
      case ElementKind::Variance: return "=(" + R() + C() + "[-2]-" + R() + C() + "[-1])";
      case ElementKind::PercentVariance: {
        const std::string a = R() + C() + "[-2]", b = R() + C() + "[-1]";
        return "=(if(" + b + "<>0" + sep() + "(" + a + "-" + b + ")/" + b + sep() + "0))";
      }
      case ElementKind::BlankLine: return {};
      case ElementKind::Value: break;
    }
    return gl_formula(i, j);
  }

  std::string description_formula(const std::string& axis_name, const std::string& header) const {
    const Axis* axis = axis_named(axis_name);
    if (!axis) return {};
    if (axis->is_segment())
      return "=SDESC(" + header + sep() + std::to_string(axis->segment()) + sep() + model_company_ref() + ")";
    if (axis->code == kCompanyAxis) return "=CODATA(\"Name\"" + sep() + header + ")";
    return {};
  }

  std::string sum(const std::vector<std::string>& parts) const {
    if (parts.empty()) return {};
    std::string text = "=" + s_.sum_function + "(";
    for (std::size_t k = 0; k < parts.size(); ++k) text += (k ? sep() : std::string()) + parts[k];
    return text + ")";
  }

  // A Total sums every run of plain value lines from the first line of the
  // body to the total itself.
  std::string total_of_rows(std::size_t i) const {
    if (i == 0) return {};
    std::vector<std::string> parts;
    for (const auto& [a, b] : runs(0, i - 1, [&](std::size_t k) { return rows_[k].element.is_plain_value(); }))
      parts.push_back(row_col_here(row_of(a)) + ":" + row_col_here(row_of(b)));
    return sum(parts);
  }
  std::string total_of_columns(std::size_t j) const {
    if (j == 0) return {};
    std::vector<std::string> parts;
    for (const auto& [a, b] : runs(0, j - 1, [&](std::size_t k) { return cols_[k].element.is_plain_value(); }))
      parts.push_back(row_here_col(col_of(a)) + ":" + row_here_col(col_of(b)));
    return sum(parts);
  }

  // A Sub Total's group: from the line after the last layout line other
  // than a blank line, to the last line before it that is not a blank line.
  // Sub-lines break a value down and are left out of the sum, or it would
  // count their amounts twice.
  static std::optional<std::pair<std::size_t, std::size_t>> group(const std::vector<Line>& lines, std::size_t at) {
    std::size_t first = 0;
    for (std::size_t k = at; k-- > 0;)
      if (lines[k].element.is_layout() && lines[k].element.kind != ElementKind::BlankLine) {
        first = k + 1;
        break;
      }
    std::size_t last = at;
    while (last > first && lines[last - 1].element.kind == ElementKind::BlankLine) --last;
    if (last == first) return std::nullopt;
    return std::pair{first, last - 1};
  }
  std::vector<std::pair<std::size_t, std::size_t>> group_parts(const std::vector<Line>& lines, std::size_t at) const {
    const auto g = group(lines, at);
    if (!g) return {};
    std::vector<std::pair<std::size_t, std::size_t>> parts;
    for (const auto& run : runs(g->first, g->second, [&](std::size_t k) { return !lines[k].element.is_sub(); })) {
      bool values = false;
      for (std::size_t k = run.first; k <= run.second; ++k) values = values || lines[k].element.is_value();
      if (values) parts.push_back(run);
    }
    return parts;
  }
  std::string subtotal_of_rows(std::size_t i) const {
    std::vector<std::string> parts;
    for (const auto& [a, b] : group_parts(rows_, i))
      parts.push_back(row_col_here(row_of(a)) + ":" + row_col_here(row_of(b)));
    return sum(parts);
  }
  std::string subtotal_of_columns(std::size_t j) const {
    std::vector<std::string> parts;
    for (const auto& [a, b] : group_parts(cols_, j))
      parts.push_back(row_here_col(col_of(a)) + ":" + row_here_col(col_of(b)));
    return sum(parts);
  }

  // ---- the GL formula of a value cell

  // The reference that supplies an axis to the cell (i, j): the row's
  // header, the column's header, the parent row or column of a sub-line,
  // or the axis's cell in the parameter block; empty when none does.
  std::string supplier(const std::string& axis, std::size_t i, std::size_t j) const {
    const Line& row = rows_[i];
    const Line& col = cols_[j];
    if (row_axis(i) == axis) return row_here_col(header_col_);
    if (row.element.is_sub() && axis == c_.vertical_axis && row.parent)
      return rows_up(static_cast<int>(i - *row.parent), header_col_);
    if (col_axis(j) == axis) return row_col_here(header_row());
    if (col.element.is_sub() && axis == c_.horizontal_axis && col.parent)
      return cols_left(header_row(), static_cast<int>(j - *col.parent));
    // An axis left without a value takes the connector's default: a blank
    // cell as the argument would refuse the whole request.
    for (std::size_t k = 0; k < c_.axes.size(); ++k)
      if (c_.axes[k].name == axis) return values_[k].empty() ? std::string() : abs(param_row(k), param_col_ + 1);
    return {};
  }

  std::string gl_formula(std::size_t i, std::size_t j) const {
    // A sub-line without a value above it has nothing to break down.
    if ((rows_[i].element.is_sub() && (!rows_[i].parent || !rows_[*rows_[i].parent].element.is_value())) ||
        (cols_[j].element.is_sub() && (!cols_[j].parent || !cols_[*cols_[j].parent].element.is_value())))
      return {};
    int segments = 0;
    for (const auto& a : c_.axes)
      if (a.is_segment()) segments = std::max(segments, a.segment());
    std::string text = s_.ngl ? "=NGL(BSPEC(" : "=GL(BSPEC(";
    for (int k = 1; k <= segments; ++k) {
      if (k > 1) text += sep();
      for (const auto& a : c_.axes)
        if (a.code == -k) {
          text += supplier(a.name, i, j);
          break;
        }
    }
    text += ")";
    bool extra = false;
    for (const auto& a : c_.axes) extra = extra || a.code == kExtraAxis;
    for (int code = kPeriodAxis; code <= (extra ? kExtraAxis : kBudgetAxis); ++code) {
      text += sep();
      for (const auto& a : c_.axes)
        if (a.code == code) {
          text += supplier(a.name, i, j);
          break;
        }
    }
    return text + ")";
  }

  const ReportChoices& c_;
  const FormulaStyle& s_;
  int r_;
  int company_col_ = 0, param_col_ = 0, v_ = 0, header_col_ = 0, body_col_ = 0;
  std::vector<Line> rows_, cols_;
  std::vector<std::string> values_;  // the parameter block's values, one per axis
};

}  // namespace

PlanResult plan_report(const ReportChoices& choices, const FormulaStyle& style, int anchor_row, int anchor_col,
                       int sheet_rows, int sheet_columns) {
  return Planner(choices, style, anchor_row, anchor_col).plan(sheet_rows, sheet_columns);
}

// ------------------------------------------------------------- reading back

std::optional<std::string> seeded_axis(const SheetSeed& seed, bool vertical) {
  for (const auto& [axis, value] : seed.other_axes)
    if (value == (vertical ? "Vertical" : "Horizontal")) return axis;
  return std::nullopt;
}

std::optional<std::string> seeded_value(const SheetSeed& seed, std::string_view axis) {
  for (const auto& [name, value] : seed.other_axes)
    if (name == axis) return value;
  return std::nullopt;
}

std::vector<std::string> seeded_vertical(const SheetSeed& seed) {
  std::vector<std::string> elements;
  for (std::size_t i = 0; i < seed.vertical.size(); ++i) {
    const auto& [value, axis] = seed.vertical[i];
    std::string text = value.empty() ? std::string(layout_name(ElementKind::BlankLine))
                                     : axis.empty() ? value : sub_element(axis, value);
    if (i < seed.vertical_descriptions.size() && !seed.vertical_descriptions[i].empty())
      text += "\t" + seed.vertical_descriptions[i];
    elements.push_back(std::move(text));
  }
  return elements;
}

std::vector<std::string> seeded_horizontal(const SheetSeed& seed) {
  std::vector<std::string> elements;
  for (std::size_t j = 0; j < seed.horizontal.size(); ++j) {
    const std::string& header = seed.horizontal[j];
    if (header.empty() && j > 0 && seed.horizontal[j - 1] == layout_name(ElementKind::Description)) continue;
    const std::string axis = j < seed.horizontal_axes.size() ? seed.horizontal_axes[j] : std::string();
    if (header.empty()) elements.emplace_back(layout_name(ElementKind::BlankLine));
    else elements.push_back(axis.empty() || layout_item(header) ? header : sub_element(axis, header));
  }
  return elements;
}

std::string description_in_cell(std::string_view text, ElementKind row_kind) {
  if (text.empty() || text.front() == '=') return {};
  if (text.front() == '\'') text.remove_prefix(1);
  if ((row_kind == ElementKind::Total || row_kind == ElementKind::SubTotal) && text == layout_name(row_kind)) return {};
  return std::string(text);
}

}  // namespace kovo::addin::tools
