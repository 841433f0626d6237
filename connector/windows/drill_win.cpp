// The drill-down window (DRILL_LV) and its options window (TRXFIELDS): each
// moves values between its controls and its controller, which decides
// everything.
#include <windows.h>
#include <commctrl.h>

#include <any>
#include <string>

#include "entry/connector_win.h"
#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/dialog_win.h"
#include "windows/drill_controller.h"
#include "windows/drill_win.h"
#include "windows/list_view_win.h"
#include "windows/trx_fields_controller.h"
#include "windows/window_handoffs.h"

namespace kovo::windows {
namespace {

constexpr int kBitmapSize = 31;

constexpr int kJobFields[] = {IDC_DRILL_JOB, IDC_DRILL_COST_TYPE, IDC_DRILL_COST_CODE};
constexpr int kGrantFields[] = {IDC_DRILL_GRANT, IDC_DRILL_COE, IDC_DRILL_FUND_SOURCE, IDC_DRILL_PROGRAM,
                                IDC_DRILL_ACTIVITY};

class DrillWindow : public ConnectorDialog, public drill::DrillDisplay {
 protected:
  void on_open() override {
    up_ = LoadBitmapA(connector_module(), MAKEINTRESOURCEA(IDB_DRILL_UP));
    down_ = LoadBitmapA(connector_module(), MAKEINTRESOURCEA(IDB_DRILL_DOWN));
    attach_list(IDC_DRILL_LIST, list_);
    list_.on_activate([this](std::size_t row) { controller_.row_activated(row); });
    show_opening(controller_.open(std::any_cast<DrillStart>(&start())));
  }

  void on_command(int control, int notification) override {
    switch (control) {
      case IDOK:
      case IDC_DRILL_DRILL:
        if (notification == BN_CLICKED) drill();
        return;
      case IDC_DRILL_SEND: {
        if (notification != BN_CLICKED) return;
        WaitCursor wait;
        return controller_.send();
      }
      case IDC_DRILL_TO_CHART:
        if (notification == BN_CLICKED) controller_.to_chart(fields());
        return;
      case IDC_DRILL_ACCOUNTS:
        if (notification == BN_CLICKED) controller_.accounts();
        return;
      case IDC_DRILL_PERIOD_BUTTON:
        if (notification == BN_CLICKED) controller_.period_wizard(fields());
        return;
      case IDC_DRILL_ADVANCED:
        if (notification == BN_CLICKED) controller_.advanced();
        return;
      case IDC_DRILL_BY:
        if (notification == CBN_SELCHANGE) {
          const auto index = static_cast<int>(SendDlgItemMessageA(handle(), IDC_DRILL_BY, CB_GETCURSEL, 0, 0));
          enable_filters(controller_.select_drill_by(index));
        }
        return;
      case IDC_DRILL_COMPANY:
        return company_notified(notification);
      case IDC_DRILL_YEAR:
        return year_notified(notification);
      case IDC_DRILL_PERIOD:
        if (notification == EN_CHANGE && !quiet_) period_changed_ = true;
        if (notification == EN_KILLFOCUS && period_changed_) {
          period_changed_ = false;
          controller_.period_edited();
        }
        return;
      case IDC_DRILL_BUDGET:
      case IDC_DRILL_REVISED:
        if (notification == BN_CLICKED) controller_.type_changed(checked(IDC_DRILL_REVISED));
        return;
      case IDC_DRILL_UNPOSTED:
        if (notification == BN_CLICKED) controller_.include_unposted_changed(checked(IDC_DRILL_UNPOSTED));
        return;
      case kDrillRecordCount:
        return show_count(static_cast<std::size_t>(command_value()));
      case kDrillSegmentColumns:
        return controller_.options_changed(false);
      case kDrillTransactionColumns:
        return controller_.options_changed(true);
      case kWizardPeriodChosen:
        if (const auto* chosen = reinterpret_cast<const PeriodWizardResult*>(command_value()))
          controller_.wizard_period(chosen->specifier);
        return;
      case kWizardDatesChosen:
        if (const auto* chosen = reinterpret_cast<const PeriodWizardResult*>(command_value()))
          controller_.wizard_dates(chosen->from, chosen->to);
        return;
      case kWizardReinitialise:
        return show_opening(controller_.open());
      default:
        return;
    }
  }

  void on_quit() override { controller_.quit(); }

  bool on_message(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR& result) override {
    switch (message) {
      case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        if (!item || item->CtlID != IDC_DRILL_DRILL) return false;
        draw_drill_button(*item);
        result = TRUE;
        return true;
      }
      case WM_ACTIVATE:
        if (LOWORD(wparam) == WA_INACTIVE)
          controller_.deactivated();
        else
          controller_.activated();
        return false;  // the dialog still puts the focus back
      case WM_DESTROY:
        for (HBITMAP bitmap : {up_, down_})
          if (bitmap) DeleteObject(bitmap);
        up_ = down_ = nullptr;
        return false;
      default:
        return false;
    }
  }

  // While a drill fills the list: the rows so far and their count.
  void show_fill_progress(const std::string&, std::size_t rows) override {
    if (rows == 0) return;
    list_.rows_appended();
    show_count(controller_.record_count());
  }

  // ---------------------------------------------------------------- DrillDisplay

  void show_account(std::string_view account) override { set_text(IDC_DRILL_ACCOUNT, account); }
  void show_period(std::string_view period) override {
    quiet_ = true;
    set_text(IDC_DRILL_PERIOD, period);
    quiet_ = false;
    period_changed_ = false;
  }
  void show_total(std::string_view total) override { set_text(IDC_DRILL_TOTAL, total); }
  void show_count(std::size_t count) override { set_text(IDC_DRILL_RECORD_COUNT, std::to_string(count)); }
  void show_filters(const drill::DrillFilters& filters) override {
    for (std::size_t i = 0; i < std::size(kJobFields); ++i) set_text(kJobFields[i], filters.job[i]);
    for (std::size_t i = 0; i < std::size(kGrantFields); ++i) set_text(kGrantFields[i], filters.grant[i]);
  }
  void focus_account() override {
    if (!automation()) SetFocus(control(IDC_DRILL_ACCOUNT));
  }
  void columns_changed() override {
    list_.show_columns();
    list_.refresh();
  }
  void rows_changed() override { list_.refresh(); }

 private:
  drill::DrillFields fields() const {
    drill::DrillFields f;
    f.company = text(IDC_DRILL_COMPANY);
    f.year = text(IDC_DRILL_YEAR);
    f.period = text(IDC_DRILL_PERIOD);
    f.account = text(IDC_DRILL_ACCOUNT);
    f.filters.job_cost_type = text(IDC_DRILL_JOB_COST_TYPE);
    for (std::size_t i = 0; i < std::size(kJobFields); ++i) f.filters.job[i] = text(kJobFields[i]);
    for (std::size_t i = 0; i < std::size(kGrantFields); ++i) f.filters.grant[i] = text(kGrantFields[i]);
    return f;
  }

  void drill() {
    enable(IDM_STOP_FILL, true);
    controller_.drill(fields());
    if (handle()) enable(IDM_STOP_FILL, false);
  }

  void show_opening(const drill::DrillOpening& opening) {
    set_checked(IDC_DRILL_UNPOSTED, opening.include_unposted);
    set_checked(IDC_DRILL_BUDGET, !opening.revised);
    set_checked(IDC_DRILL_REVISED, opening.revised);
    show_choices(opening.choices);
    set_text(IDC_DRILL_COMPANY, opening.company);
    set_text(IDC_DRILL_YEAR, opening.year);
    show_period(opening.period);
    set_text(IDC_DRILL_ACCOUNT, opening.account);
    show_total(window_amount(0));
    show_count(0);
    company_changed_ = false;
    columns_changed();
  }

  void show_choices(const drill::DrillChoices& choices) {
    set_combo_items(IDC_DRILL_BY, choices.drill_by);
    SendDlgItemMessageA(handle(), IDC_DRILL_BY, CB_SETCURSEL, static_cast<WPARAM>(choices.selected), 0);
    const std::string company = text(IDC_DRILL_COMPANY), year = text(IDC_DRILL_YEAR);
    set_combo_items(IDC_DRILL_COMPANY, choices.companies);
    set_combo_items(IDC_DRILL_YEAR, choices.years);
    set_text(IDC_DRILL_COMPANY, company);
    set_text(IDC_DRILL_YEAR, year);
    enable_filters(choices.filters);
  }

  void enable_filters(drill::FilterGroup group) {
    enable(IDC_DRILL_JOB_COST_TYPE, group == drill::FilterGroup::JobCostType);
    for (const int id : kJobFields) enable(id, group == drill::FilterGroup::JobCost);
    for (const int id : kGrantFields) enable(id, group == drill::FilterGroup::Grant);
    enable(IDC_DRILL_UNPOSTED, controller_.unposted_enabled());
  }

  void company_notified(int notification) {
    if (notification == CBN_EDITCHANGE || notification == CBN_SELCHANGE) company_changed_ = true;
    if (notification != CBN_KILLFOCUS || !company_changed_) return;
    company_changed_ = false;
    if (const auto choices = controller_.company_changed(text(IDC_DRILL_COMPANY))) show_choices(*choices);
  }

  void year_notified(int notification) {
    if (notification == CBN_SELCHANGE) {
      const LRESULT index = SendDlgItemMessageA(handle(), IDC_DRILL_YEAR, CB_GETCURSEL, 0, 0);
      char year[16] = {};
      if (index >= 0 && SendDlgItemMessageA(handle(), IDC_DRILL_YEAR, CB_GETLBTEXTLEN, index, 0) < LRESULT{sizeof year})
        SendDlgItemMessageA(handle(), IDC_DRILL_YEAR, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(year));
      controller_.year_changed(year);
      year_changed_ = false;
    }
    if (notification == CBN_EDITCHANGE) year_changed_ = true;
    if (notification == CBN_KILLFOCUS && year_changed_) {
      year_changed_ = false;
      controller_.year_changed(text(IDC_DRILL_YEAR));
    }
  }

  // The Drill button: its picture, pressed or not, and the focus.
  void draw_drill_button(const DRAWITEMSTRUCT& item) const {
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    RECT r = item.rcItem;
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(item.hDC, &r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    if (HBITMAP bitmap = pressed ? down_ : up_) {
      HDC memory = CreateCompatibleDC(item.hDC);
      HGDIOBJ previous = SelectObject(memory, bitmap);
      BitBlt(item.hDC, (r.left + r.right - kBitmapSize) / 2, (r.top + r.bottom - kBitmapSize) / 2, kBitmapSize,
             kBitmapSize, memory, 0, 0, SRCCOPY);
      SelectObject(memory, previous);
      DeleteDC(memory);
    }
    if (item.itemState & ODS_FOCUS) {
      RECT focus = r;
      InflateRect(&focus, -3, -3);
      DrawFocusRect(item.hDC, &focus);
    }
  }

  drill::DrillController controller_{settings(), *this, *this, [](double v) { return window_amount(v); }};
  ListView list_{controller_.model()};
  HBITMAP up_ = nullptr, down_ = nullptr;
  bool quiet_ = false;
  bool period_changed_ = false, company_changed_ = false, year_changed_ = false;
};

class TrxFieldsWindow : public ConnectorDialog {
 protected:
  void on_open() override {
    const drill::TrxFieldsView view = controller_.open();
    for (std::size_t c = 0; c < view.columns.size(); ++c)
      if (view.columns[c]) set_checked(IDC_TRX_COLUMN_BASE + static_cast<int>(c), *view.columns[c]);
    set_checked(IDC_TRX_FORMULAS_NONE, view.formulas_control == IDC_TRX_FORMULAS_NONE);
    set_checked(IDC_TRX_FORMULAS_EXCEL, view.formulas_control == IDC_TRX_FORMULAS_EXCEL);
    set_checked(IDC_TRX_ABSOLUTE, view.absolute);
    set_text(IDC_TRX_THRESHOLD, view.threshold);
  }

  void on_command(int control, int notification) override {
    if (const auto column = drill::TrxFieldsController::column_of(control)) {
      if (notification == BN_CLICKED) controller_.column_toggled(*column, checked(control));
      return;
    }
    switch (control) {
      case IDC_TRX_FORMULAS_NONE:
      case IDC_TRX_FORMULAS_EXCEL:
        if (notification == BN_CLICKED && checked(control)) controller_.formulas_chosen(control);
        return;
      case IDC_TRX_ABSOLUTE:
        if (notification == BN_CLICKED) controller_.absolute_changed(checked(IDC_TRX_ABSOLUTE));
        return;
      case IDC_TRX_THRESHOLD:
        if (notification == EN_KILLFOCUS) read_threshold();
        return;
      case IDOK:
        read_threshold();
        return controller_.ok();
      default:
        return;
    }
  }

 private:
  void read_threshold() { controller_.threshold_left(text(IDC_TRX_THRESHOLD)); }

  drill::TrxFieldsController controller_{settings(), *this};
};

}  // namespace

void install_drill_windows() {
  install_window<DrillWindow>(kSlotDrill);
  install_window<TrxFieldsWindow>(kSlotTrxFields);
}

}  // namespace kovo::windows
