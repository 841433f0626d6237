#include "windows/trx_fields_controller.h"

#include <cstdlib>

#include "data/settings_store.h"
#include "resources/resource_ids.h"
#include "windows/drill_controller.h"
#include "windows/window_handoffs.h"

namespace kovo::drill {
namespace {

constexpr std::size_t kThresholdLimit = 18;
constexpr int kFormulasNone = 0;
constexpr int kFormulasExcel = 2;

}  // namespace

TrxFieldsView TrxFieldsController::open() const {
  TrxFieldsView view;
  const auto columns = transaction_columns();
  for (std::size_t c = 0; c < columns.size(); ++c)
    if (columns[c].shown) view.columns[c] = settings_.*columns[c].shown != 0;
  view.formulas_control = settings_.formulas == kFormulasNone    ? IDC_TRX_FORMULAS_NONE
                          : settings_.formulas == kFormulasExcel ? IDC_TRX_FORMULAS_EXCEL
                                                                 : 0;
  view.absolute = settings_.sort_drill_absolute != 0;
  view.threshold = threshold_text(settings_.highlight_amount);
  return view;
}

std::optional<std::size_t> TrxFieldsController::column_of(int control) {
  const int c = control - IDC_TRX_COLUMN_BASE;
  if (c < 0 || c >= static_cast<int>(kTranColumnCount)) return std::nullopt;
  if (!transaction_columns()[static_cast<std::size_t>(c)].shown) return std::nullopt;
  return static_cast<std::size_t>(c);
}

void TrxFieldsController::column_toggled(std::size_t column, bool shown) {
  const auto columns = transaction_columns();
  if (column >= columns.size() || !columns[column].shown) return;
  settings_.*columns[column].shown = shown ? 1 : 0;
}

void TrxFieldsController::formulas_chosen(int control) {
  if (control == IDC_TRX_FORMULAS_NONE) settings_.formulas = kFormulasNone;
  if (control != IDC_TRX_FORMULAS_EXCEL) return;
  settings_.formulas = kFormulasExcel;
  services_.box(windows::BoxKind::Information, kMessageR1C1Warning);
}

void TrxFieldsController::absolute_changed(bool on) { settings_.sort_drill_absolute = on ? 1 : 0; }

std::string TrxFieldsController::threshold_left(std::string_view text) {
  const std::string typed(text.substr(0, kThresholdLimit));
  char* end = nullptr;
  const double value = std::strtod(typed.c_str(), &end);
  settings_.highlight_amount = end == typed.c_str() ? 0.0 : value;
  settings_.highlight_threshold = threshold_text(settings_.highlight_amount);
  return settings_.highlight_threshold;
}

void TrxFieldsController::ok() {
  if (!services_.save_settings()) services_.box(windows::BoxKind::Error, kMessageSettingsNotWritten);
  services_.send_command(windows::kSlotDrill, windows::kDrillTransactionColumns);
  services_.close();
}

}  // namespace kovo::drill
