// The ReportW command: the report wizard over the active sheet, its lists
// and settings sent to the connector over the add-in's DDE link, the names
// of a previous report read back as the wizard's starting point, and the
// report built from the planner's cells, names and formats.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "addin/core/addin_win.h"
#include "addin/core/clipboard_win.h"
#include "addin/core/conversations_win.h"
#include "addin/core/excel_win.h"
#include "addin/core/messages.h"
#include "addin/tools/report_layout.h"
#include "addin/tools/report_wizard.h"
#include "addin/tools/tool_commands_win.h"
#include "addin/tools/wizard_dialogs_win.h"
#include "addin/tools/wizard_lists.h"

namespace kovo::addin::tools {

namespace {

using xl::Answer;
using xl::Oper;

constexpr int kMsgNoWorksheet = 47;
constexpr int kMsgWizardTitle = 50;

std::optional<ReportOptions>& kept_options();

// ------------------------------------------------------------ the connector

class DdeWizardLink : public WizardLink {
 public:
  DdeWizardLink(bool as_text, WizardWindowUi& ui) : as_text_(as_text), ui_(ui) {}

  std::optional<std::vector<std::string>> list(const std::string& request) override {
    if (as_text_) {
      ListReader reader;
      conversations::list_with_continuation(list_command(request, true),
                                            [&reader](const std::string& answer) { return reader.take(answer); });
      if (reader.failed()) return std::nullopt;
      return reader.items();
    }
    // The connector puts the list on the clipboard; a clipboard it left
    // alone holds someone else's text, not the list.
    const DWORD before = GetClipboardSequenceNumber();
    if (!conversations::send_command(list_command(request, false))) return std::nullopt;
    std::vector<std::string> items;
    if (GetClipboardSequenceNumber() != before) {
      const ClipboardText clip = read_clipboard_text(ui_.owner());
      if (!clip.opened) {
        ui_.tell(kMsgClipboardClosed);
        return std::nullopt;
      }
      items = clipboard_list(clip.text);
    }
    if (items.empty()) {
      ui_.tell(kMsgListFailed);
      return std::nullopt;
    }
    return items;
  }

  void setting(std::string_view name, std::string_view value) override {
    conversations::send_command(setting_command(name, value));
  }

  void reset_lists() override {
    if (as_text_) {
      ListReader reader;
      conversations::list_with_continuation(list_command(kResetList, true),
                                            [&reader](const std::string& answer) { return reader.take(answer); });
    } else {
      conversations::send_command(list_command(kResetList, false));
    }
  }

  bool lists_as_text() const override { return as_text_; }

  void save_options(const ReportOptions& o) override {
    WizardSettings w;
    w.report_title = o.title;
    w.formatting_macro = o.formatting_macro;
    w.do_zero_suppress = o.zero_suppress ? 1 : 0;
    w.run_macro = o.run_macro ? 1 : 0;
    write_wizard_settings(settings_profile(), w);
    write_setting(settings_profile(), kExcelSection, "Create NGL Functions", o.ngl ? "1" : "0");
    settings().create_ngl_functions = o.ngl ? 1 : 0;
    kept_options() = o;
  }

 private:
  bool as_text_;
  WizardWindowUi& ui_;
};

// ------------------------------------------------------------ the previous report

std::string text_of(const Oper& value) {
  if (value.is_text()) return value.text();
  if (value.is_number() || value.type() == xltypeInt) {
    const double n = value.number();
    char text[32];
    if (n == std::floor(n) && std::fabs(n) < 1e15) std::snprintf(text, sizeof text, "%.0f", n);
    else std::snprintf(text, sizeof text, "%.15g", n);
    return text;
  }
  return {};
}

// The reference a name of the active sheet stands for.
std::optional<Oper> named(std::string_view name) {
  const Answer a = xl::call(xlfEvaluate, {Oper::text("=" + std::string(name))});
  if (!a.ok() || !a.value.is_reference() || a.value.areas().empty()) return std::nullopt;
  return a.value;
}

// The texts of a reference's first area, row by row.
std::vector<std::vector<std::string>> texts_of(const Oper& reference) {
  std::vector<std::vector<std::string>> rows;
  // One cell is read as its value: not every spreadsheet makes an array of it.
  const xl::Area& a = reference.areas().front();
  const bool one_cell = a.first_row == a.last_row && a.first_column == a.last_column;
  const Answer values = one_cell ? xl::coerce(reference) : xl::coerce(reference, xltypeMulti);
  if (!values.ok()) return rows;
  if (!values.value.is_array()) return {{text_of(values.value)}};
  for (int r = 0; r < values.value.rows(); ++r) {
    rows.emplace_back();
    for (int c = 0; c < values.value.columns(); ++c) rows.back().push_back(text_of(values.value.element(r, c)));
  }
  return rows;
}

Oper shifted(const Oper& reference, int rows) {
  xl::Area a = reference.areas().front();
  a.first_row += rows;
  a.last_row += rows;
  return Oper::references({a}, reference.sheet());
}

std::string cell_formula(int row, int col, IDSHEET sheet) {
  const Answer f = xl::call(xlfGetFormula, {Oper::references({{row, row, col, col}}, sheet)});
  return f.ok() ? f.value.text() : std::string();
}

SheetSeed read_seed() {
  SheetSeed seed;
  if (const auto r = named(kNameModelCompany)) {
    const auto t = texts_of(*r);
    if (!t.empty() && !t[0].empty() && !t[0][0].empty()) seed.model_company = t[0][0];
  }
  if (const auto r = named(kNameOtherAxes))
    for (const auto& row : texts_of(*r))
      if (row.size() >= 2 && !row[0].empty()) seed.other_axes.push_back({row[0], row[1]});
  if (const auto r = named(kNameReportTitle)) {
    const auto t = texts_of(*r);
    if (!t.empty() && !t[0].empty()) seed.title = t[0][0];
  }
  std::optional<Oper> horizontal = named(kNameHorizontalAxis);
  if (horizontal) {
    const auto headers = texts_of(*horizontal);
    if (!headers.empty()) seed.horizontal = headers[0];
    if (horizontal->areas().front().first_row > 0) {
      const auto above = texts_of(shifted(*horizontal, -1));
      if (!above.empty()) seed.horizontal_axes = above[0];
    }
  }
  if (const auto r = named(kNameVerticalAxis)) {
    const xl::Area area = r->areas().front();
    for (const auto& row : texts_of(*r)) seed.vertical.push_back({row.empty() ? "" : row[0], row.size() > 1 ? row[1] : ""});
    // Overrides stand in the body's description column (a sub-row's moved
    // one column right when the report was built).
    std::optional<int> column;
    for (std::size_t j = 0; horizontal && j < seed.horizontal.size() && !column; ++j)
      if (seed.horizontal[j] == layout_name(ElementKind::Description))
        column = horizontal->areas().front().first_column + static_cast<int>(j);
    if (column)
      for (std::size_t i = 0; i < seed.vertical.size(); ++i) {
        const Element e = parse_element(seed.vertical[i].first.empty() ? std::string()
                                        : seed.vertical[i].second.empty()
                                            ? seed.vertical[i].first
                                            : sub_element(seed.vertical[i].second, seed.vertical[i].first));
        const int row = area.first_row + static_cast<int>(i);
        seed.vertical_descriptions.push_back(
            description_in_cell(cell_formula(row, *column + (e.is_sub() ? 1 : 0), r->sheet()), e.kind));
      }
  }
  return seed;
}

// ------------------------------------------------------------ the build

FormulaStyle formula_style(bool ngl) {
  const AddinSettings& s = settings();
  FormulaStyle style;
  style.list_separator = s.list_separator.empty() ? ',' : s.list_separator[0];
  style.row_symbol = s.row_symbol.empty() ? "R" : s.row_symbol.substr(0, 1);
  style.column_symbol = s.column_symbol.empty() ? "C" : s.column_symbol.substr(0, 1);
  style.sum_function = s.sum_function_text.empty() ? "SUM" : s.sum_function_text.substr(0, 10);
  style.ngl = ngl;
  return style;
}

void echo(bool on) { xl::call(xlcEcho, {Oper::boolean(on)}); }

void build(const ReportWizard& wizard, int row, int col) {
  const std::string caption = addin_message(kMsgWizardTitle);
  const PlanResult result = plan_report(wizard.report(), formula_style(wizard.options().ngl), row, col);
  if (!result.plan) {
    xl::message_box(result.error, caption, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  const ReportPlan& plan = *result.plan;
  int failed = 0;
  echo(false);
  for (const auto& cell : plan.cells)
    if (!xl::enter(cell.entry, cell.row, cell.col)) ++failed;
  for (const auto& f : plan.formats) {
    xl::call(xlcSelect, {Oper::cell(f.row, f.col)});
    xl::call(xlcFormatNumber, {Oper::text(f.format)});
  }
  for (const auto& n : plan.names) {
    const xl::Area area{n.area.row1, n.area.row2, n.area.col1, n.area.col2};
    xl::call(xlcDefineName, {Oper::text(n.name), Oper::reference(area), Oper(), Oper(), Oper::boolean(false), Oper(),
                             Oper::boolean(true)});
  }
  echo(true);
  if (wizard.options().zero_suppress) {
    const Oper body = Oper::reference({plan.body.row1, plan.body.row2, plan.body.col1, plan.body.col2});
    zero_suppress(body.get());
  }
  for (const auto& d : plan.description_columns) {
    xl::call(xlcSelect, {Oper::cell(d.header_row, d.column + 1)});
    xl::call(xlcInsert, {Oper::number(4)});
    echo(false);
    for (int r : d.sub_rows) xl::call(xlcCut, {Oper::cell(r, d.column), Oper::cell(r, d.column + 1)});
    echo(true);
  }
  xl::call(xlcCalculateDocument);
  if (failed > 0)
    xl::message_box("The report was built, but " + std::to_string(failed) +
                        " of its cells could not be written: their formulas are too long for this spreadsheet.",
                    caption, MB_OK | MB_ICONEXCLAMATION);
}

// The options are read on the wizard's first run in a session; after that
// the ones it last stored hold.
std::optional<ReportOptions>& kept_options() {
  static std::optional<ReportOptions> kept;
  return kept;
}

ReportOptions options_at_start() {
  if (!kept_options()) {
    const WizardSettings w = read_wizard_settings(settings_profile());
    ReportOptions o;
    o.title = w.report_title.substr(0, kMaxTitle);
    o.formatting_macro = w.formatting_macro.substr(0, kMaxMacro);
    o.zero_suppress = w.do_zero_suppress != 0;
    o.run_macro = w.run_macro != 0;
    kept_options() = o;
  }
  ReportOptions o = *kept_options();
  o.ngl = settings().create_ngl_functions != 0;
  return o;
}

}  // namespace

int report_wizard() {
  const Answer sheet = xl::call(xlSheetId);
  if (!sheet.ok() || sheet.value.is_error() || !sheet.value.is_reference()) {
    xl::message_box(addin_message(kMsgNoWorksheet), addin_message(kMsgCaption), MB_OK | MB_ICONEXCLAMATION);
    return 1;
  }
  xl::call(xlEnableXLMsgs);
  set_manual_calculation();
  const Answer active = xl::call(xlfActiveCell);
  const std::optional<Oper> anchor =
      active.ok() && active.value.is_reference() ? std::optional<Oper>(active.value) : std::nullopt;

  WizardWindowUi ui(module_handle());
  DdeWizardLink link(conversations::ask_supported(kClipToDdeProbe), ui);
  {
    ReportWizard wizard(link, ui, read_seed(), options_at_start());
    if (run_report_wizard(module_handle(), xl::main_window(), wizard, ui) && anchor) {
      const xl::Area at = anchor->areas().front();
      build(wizard, at.first_row, at.first_column);
    }
  }
  if (anchor) xl::call(xlcSelect, {*anchor});
  xl::call(xlDisableXLMsgs);
  return 1;
}

}  // namespace kovo::addin::tools
