// The add-in's own commands in the spreadsheet: the Options and Analyze
// dialogs, the version box, zero suppression, viewer copies and the
// migration of the older generation's formulas. The decisions are the portable models'
// (dialog_models, zero_suppress, formula_rewrite); this file only asks
// Excel for values and carries out what they decided.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "addin/core/addin_win.h"
#include "addin/core/conversations_win.h"
#include "addin/core/excel_win.h"
#include "addin/core/messages.h"
#include "addin/tools/command_table.h"
#include "addin/tools/dialog_models.h"
#include "addin/tools/formula_rewrite.h"
#include "addin/tools/tool_commands_win.h"
#include "addin/tools/tool_dialogs_win.h"
#include "addin/tools/zero_suppress.h"

namespace kovo::addin::tools {

namespace {

using xl::Answer;
using xl::Oper;

std::string caption() { return addin_message(kMsgCaption); }

int box(const std::string& text, UINT style) { return xl::message_box(text, caption(), style); }

// ------------------------------------------------------------ references

CellArea cell_area(const xl::Area& a) { return {a.first_row, a.first_column, a.last_row, a.last_column}; }
xl::Area xl_area(const CellArea& a) { return {a.row1, a.row2, a.col1, a.col2}; }

// The command's reference argument, else the current selection; nothing
// for anything else.
std::optional<Oper> target_of(const XLOPER* argument) {
  if (argument) {
    const Oper given = Oper::copy_of(*argument);
    if (given.is_reference()) return given;
    if (!given.is_missing() && given.type() != xltypeNil) return std::nullopt;
  }
  Answer selection = xl::call(xlfSelection);
  if (!selection.ok() || !selection.value.is_reference()) return std::nullopt;
  return selection.value;
}

// The sheet a reference lies on: its own, or the current sheet's.
IDSHEET sheet_of(const Oper& reference) {
  if (reference.sheet() != 0) return reference.sheet();
  const Answer current = xl::call(xlSheetId);
  return current.ok() ? current.value.sheet() : 0;
}

Oper on_sheet(const std::vector<CellArea>& areas, IDSHEET sheet) {
  std::vector<xl::Area> a;
  for (const auto& c : areas) a.push_back(xl_area(c));
  return Oper::references(a, sheet);
}

Oper cell_on_sheet(int row, int col, IDSHEET sheet) { return on_sheet({CellArea{row, col, row, col}}, sheet); }

// Every row and column of the target shown again; false when the
// spreadsheet refused (a protected sheet).
bool unhide(const Oper& target) {
  const bool rows = xl::call(xlcRowHeight, {Oper(), target, Oper::boolean(false), Oper::number(2)}).ok();
  const bool columns = xl::call(xlcColumnWidth, {Oper(), target, Oper::boolean(false), Oper::number(2)}).ok();
  return rows && columns;
}

CellValue cell_value_of(const Oper& v) {
  switch (v.type()) {
    case xltypeNum: return {CellKind::Number, v.number()};
    case xltypeInt: return {CellKind::Integer, v.number()};
    case xltypeBool: return {CellKind::Logical, v.boolean() ? 1.0 : 0.0};
    case xltypeStr: return {CellKind::Text, 0};
    case xltypeErr: return {CellKind::Error, 0};
    default: return {};
  }
}

// One area's values: read at once on first use when the area is of a
// reasonable size, else cell by cell.
class AreaValues {
 public:
  AreaValues(const CellArea& area, IDSHEET sheet) : area_(area), sheet_(sheet) {}
  CellValue at(int row, int col) {
    constexpr long long kReadAtOnce = 1 << 18;
    const long long cells = static_cast<long long>(area_.row2 - area_.row1 + 1) * (area_.col2 - area_.col1 + 1);
    if (!read_ && cells <= kReadAtOnce) {
      read_ = true;
      Answer a = xl::coerce(on_sheet({area_}, sheet_), xltypeMulti);
      if (a.ok() && a.value.is_array()) values_ = std::move(a.value);
    }
    if (values_.is_array()) return cell_value_of(values_.element(row - area_.row1, col - area_.col1));
    const Answer one = xl::coerce(cell_on_sheet(row, col, sheet_));
    return one.ok() ? cell_value_of(one.value) : CellValue{};
  }

 private:
  CellArea area_;
  IDSHEET sheet_;
  bool read_ = false;
  Oper values_;
};

}  // namespace

// ------------------------------------------------------------ zero suppression

int zero_suppress(const XLOPER* argument) {
  const auto target = target_of(argument);
  if (!target) return 1;
  std::vector<CellArea> areas;
  for (const auto& a : target->areas()) areas.push_back(cell_area(a));
  const IDSHEET sheet = sheet_of(*target);
  std::vector<AreaValues> values;
  for (const auto& a : areas) values.emplace_back(a, sheet);
  const ZeroPlan plan = plan_zero_suppress(
      areas,
      [&](int row, int col) {
        for (std::size_t i = 0; i < areas.size(); ++i) {
          const CellArea& a = areas[i];
          if (row >= a.row1 && row <= a.row2 && col >= a.col1 && col <= a.col2) return values[i].at(row, col);
        }
        return CellValue{};
      },
      settings().column_wise_zero_suppress != 0);
  // The plan reads values only, which showing rows does not change: a
  // refused command has changed nothing.
  if (plan.whole_sheet) {
    box(addin_message(kMsgWholeSheetSuppress), MB_OK | MB_ICONEXCLAMATION);
    return 1;
  }
  bool done = unhide(*target);
  for (std::size_t i = 0; done && i < plan.batches.size(); ++i) {
    const HideBatch& batch = plan.batches[i];
    done = xl::call(batch.rows ? xlcRowHeight : xlcColumnWidth,
                    {Oper(), on_sheet(batch.cells, sheet), Oper::boolean(false), Oper::number(1)})
               .ok();
  }
  if (!done) box(addin_message(kMsgSheetProtected), MB_OK | MB_ICONEXCLAMATION);
  return 1;
}

// ------------------------------------------------------------ viewer copies

int to_viewer(const XLOPER* argument) {
  const Answer selection = xl::call(xlfSelection);
  if (!selection.ok() || !selection.value.is_reference()) return 1;
  const IDSHEET sheet = sheet_of(selection.value);
  std::vector<CellArea> areas;
  for (const auto& a : selection.value.areas()) areas.push_back(cell_area(a));
  for (const auto& a : areas)
    if (a.whole_sheet()) {
      box(addin_message(kMsgSmallerArea), MB_OK | MB_ICONEXCLAMATION);
      return 1;
    }
  const Oper given = argument ? Oper::copy_of(*argument) : Oper();
  if (!skips_question(given.text()) &&
      box(addin_message(kMsgViewerQuestion), MB_OKCANCEL | MB_ICONINFORMATION | MB_TASKMODAL) != IDOK)
    return 1;

  RequestCapture capture;
  auto& modes = conversations::modes();
  for (const auto& a : areas) {
    xl::call(xlcSelect, {cell_on_sheet(a.row1, a.col1, sheet)});
    for (int row = a.row1; row <= a.row2; ++row)
      for (int col = a.col1; col <= a.col2; ++col) {
        const Oper cell = cell_on_sheet(row, col, sheet);
        const Answer formula = xl::call(xlfGetFormula, {cell});
        if (!formula.ok() || !formula.value.is_text()) continue;
        const std::string text = formula.value.text();
        if (text.empty() || text[0] != '=' || !is_product_formula(text)) continue;
        const Answer value = xl::coerce(cell);
        if (!value.ok()) continue;
        capture.begin();
        modes.capture = [&capture](const std::string& request) {
          capture.record(request);
          return request;
        };
        xl::call(xlcFormula, {formula.value, cell});
        xl::call(xlSet, {cell, value.value});
        modes.capture = nullptr;
        if (const auto note = capture.end()) xl::call(xlfNote, {Oper::text(*note), cell});
      }
  }
  return 1;
}

// ------------------------------------------------------------ migration

namespace {

bool set_calculation(double mode) {
  if (xl::call(xlcCalculation, {Oper::number(mode)}).ok()) return true;
  return xl::call(xlcOptionsCalculation, {Oper::number(mode)}).ok();
}

void status(const std::string_view text) {
  if (text.empty()) xl::call(xlcMessage, {Oper::boolean(false)});
  else xl::call(xlcMessage, {Oper::boolean(true), Oper::text(text)});
}

// Rewrites the target's cells; false when a whole-sheet area ends the run.
bool migrate_target(const Oper& target) {
  unhide(target);
  const IDSHEET sheet = sheet_of(target);
  for (const auto& xa : target.areas()) {
    const CellArea a = cell_area(xa);
    if (a.whole_sheet()) {
      box(std::string(kWholeSheetMigrate), MB_OK | MB_ICONEXCLAMATION);
      return false;
    }
    xl::call(xlcEcho, {Oper::boolean(false)});
    for (int row = a.row1; row <= a.row2; ++row)
      for (int col = a.col1; col <= a.col2; ++col) {
        const Oper cell = cell_on_sheet(row, col, sheet);
        const Answer formula = xl::call(xlfGetFormula, {cell});
        if (!formula.ok() || !formula.value.is_text() || !needs_migration(formula.value.text())) continue;
        xl::call(xlcFormula, {Oper::text(migrate_formula(formula.value.text())), cell});
      }
    xl::call(xlcEcho, {Oper::boolean(true)});
  }
  return true;
}

}  // namespace

int migrate(const XLOPER* argument) {
  auto& modes = conversations::modes();
  modes.migration = true;
  std::vector<std::string> sheets;
  const Answer list = xl::call(xlfGetWorkbook, {Oper::number(1)});
  if (list.ok() && list.value.is_array())
    for (int c = 0; c < list.value.columns(); ++c)
      for (int r = 0; r < list.value.rows(); ++r) sheets.push_back(list.value.element(r, c).text());
  const Answer mode = xl::call(xlfGetDocument, {Oper::number(14)});
  const double saved = mode.ok() && mode.value.is_number() ? mode.value.number() : 0;
  set_calculation(3);
  const Oper given = argument ? Oper::copy_of(*argument) : Oper();
  for (const auto& name : sheets) {
    if (!xl::call(xlcWorkbookActivate, {Oper::text(name)}).ok()) continue;
    const auto used = [&](int type) {
      const Answer a = xl::call(xlfGetDocument, {Oper::number(type), Oper::text(name)});
      return a.ok() && a.value.is_number() ? static_cast<int>(a.value.number()) : 0;
    };
    const int first_row = used(9), last_row = used(10), first_col = used(11), last_col = used(12);
    if (first_row < 1 || last_row < first_row || first_col < 1 || last_col < first_col) continue;
    if (!xl::call(xlcSelect, {Oper::reference({first_row - 1, last_row - 1, first_col - 1, last_col - 1})}).ok())
      continue;
    status(kMigrating);
    const Answer locked = xl::call(xlfGetDocument, {Oper::number(7), Oper::text(name)});
    if (locked.ok() && locked.value.is_bool() && locked.value.boolean()) continue;
    std::optional<Oper> target = given.is_reference() ? std::optional<Oper>(given) : target_of(nullptr);
    if (target && !migrate_target(*target)) break;
  }
  if (saved >= 1) set_calculation(saved);
  status(kMigrated);
  modes.migration = false;
  status({});
  return 1;
}

// ------------------------------------------------------------ version box

namespace {

std::string product_version() {
  char path[MAX_PATH] = {};
  if (!GetModuleFileNameA(module_handle(), path, sizeof path)) return {};
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return {};
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path, 0, size, data.data())) return {};
  for (const auto translation : kVersionTranslations) {
    const std::string key = "\\StringFileInfo\\" + std::string(translation) + "\\ProductVersion";
    char* value = nullptr;
    UINT length = 0;
    if (VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) && value && length > 0)
      return std::string(value, strnlen(value, length));
  }
  return {};
}

}  // namespace

int version_box() {
  const auto out = conversations::evaluate(kVersionRequest, "", {});
  using Kind = conversations::Outcome::Kind;
  if (out.kind == Kind::Uncalculated) return 1;
  std::optional<std::string> answer;
  if (out.kind == Kind::Text) answer = out.text;
  box(version_box_text(product_version(), answer), MB_OK | MB_ICONWARNING);
  return 1;
}

// ------------------------------------------------------------ options

int options() {
  AddinSettings& s = settings();
  OptionSettings shown;
  shown.functions_dirty = read_back(kExcelSection, "Functions Dirty", "Y");
  shown.column_wise = s.column_wise_zero_suppress;
  shown.build_toolbar = read_back(kExcelSection, "BuildToolBar", "Y");
  shown.save_toolbar = s.save_toolbar;
  shown.timeout_seconds = s.dde_time_out;
  shown.create_ngl = s.create_ngl_functions;
  shown.create_new_workbook = s.create_new_workbook;
  OptionsDialogState state;
  state.controls = controls_from_settings(shown);
  state.save_choice = [&s](bool save) { s.save_toolbar = save ? 1 : 0; };
  if (!run_options_dialog(module_handle(), xl::main_window(), state)) return 1;
  for (const auto& [key, value] : option_writes(state.controls, shown.timeout_seconds))
    write_setting(settings_profile(), kExcelSection, key, value);
  // Everything but "Functions Dirty" takes effect now; that one when Excel
  // opens the add-in again and registers its functions.
  const OptionSettings now = settings_from_controls(state.controls, shown);
  s.column_wise_zero_suppress = now.column_wise;
  s.build_toolbar = now.build_toolbar;
  s.save_toolbar = now.save_toolbar;
  s.dde_time_out = static_cast<int>(now.timeout_seconds);
  s.create_ngl_functions = now.create_ngl;
  s.create_new_workbook = now.create_new_workbook;
  conversations::set_time_out_ms(s.dde_time_out_ms());
  return 1;
}

// ------------------------------------------------------------ analysis

int analyze() {
  set_manual_calculation();
  auto& modes = conversations::modes();
  AnalyzeDialogState state;
  state.timing = [&modes](bool on) { modes.timing = on; };
  if (!run_analyze_dialog(module_handle(), xl::main_window(), state)) {
    modes.timing = false;
    return 1;
  }
  DWORD clipboard = 0;
  for (const AnalyzeStep step : analyze_steps(state.choice, !analysis_warning_armed())) {
    switch (step) {
      case AnalyzeStep::WarnNotDirty: box(addin_message(kMsgDirtyOnly), MB_OK | MB_ICONINFORMATION); break;
      case AnalyzeStep::TimingOn: modes.timing = true; break;
      case AnalyzeStep::TimingOff: modes.timing = false; break;
      case AnalyzeStep::StartCalc:
        clipboard = GetClipboardSequenceNumber();
        conversations::send_command(kStartCalc);
        break;
      case AnalyzeStep::FinishCalc: conversations::send_command(kFinishCalc); break;
      case AnalyzeStep::CalculateNow: xl::call(xlcCalculateNow); break;
      case AnalyzeStep::CalculateDocument: xl::call(xlcCalculateDocument); break;
      case AnalyzeStep::Command302:
        // Only an analysis the connector placed on the clipboard is pasted,
        // never what the clipboard held before.
        if (GetClipboardSequenceNumber() == clipboard) return 1;
        xl::call(xlcWorkbookNew, {Oper::number(1), Oper::number(1)});
        break;
      case AnalyzeStep::Paste: xl::call(xlcPaste); break;
    }
  }
  return 1;
}

}  // namespace kovo::addin::tools
