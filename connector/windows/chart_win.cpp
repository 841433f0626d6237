// The chart of accounts copy window (CHARTCOPY): moves values between its
// controls and the chart controller, which decides everything.
#include <windows.h>

#include <any>
#include <string>

#include "entry/connector_win.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/chart_controller.h"
#include "windows/chart_win.h"
#include "windows/dialog_win.h"
#include "windows/window_handoffs.h"

namespace kovo::windows {
namespace {

constexpr WPARAM kCompanyLimit = 6;
constexpr WPARAM kYearLimit = 4;
constexpr WPARAM kTextLimit = 661;

class ChartWindow : public ConnectorDialog {
 protected:
  void on_open() override {
    SendDlgItemMessageA(handle(), IDC_CHART_COMPANY, EM_LIMITTEXT, kCompanyLimit, 0);
    SendDlgItemMessageA(handle(), IDC_CHART_YEAR, EM_LIMITTEXT, kYearLimit, 0);
    SendDlgItemMessageA(handle(), IDC_CHART_ACCOUNT, EM_LIMITTEXT, kTextLimit, 0);
    SendDlgItemMessageA(handle(), IDC_CHART_PERIODS, EM_LIMITTEXT, kTextLimit, 0);
    set_text(IDC_CHART_NOTE, message_string(chart::kMessageChartObsolete));
    show(controller_.open(std::any_cast<ChartStart>(&start())));
  }

  void on_command(int control, int notification) override {
    switch (control) {
      case IDOK:
        if (notification == BN_CLICKED) {
          WaitCursor wait;
          controller_.find(fields());
        }
        return;
      case IDC_CHART_RESET:
        if (notification == BN_CLICKED) show(controller_.reset());
        return;
      case IDC_CHART_ACCOUNTS_BUTTON:
        if (notification == BN_CLICKED) controller_.accounts();
        return;
      case IDC_CHART_PERIODS_BUTTON:
        if (notification == BN_CLICKED) controller_.periods(fields());
        return;
      case IDC_CHART_SHOW_ACCOUNT:
        if (notification == BN_CLICKED) show_options(controller_.checked(chart::ChartCheck::ShowAccount,
                                                                         checked(control), options()));
        return;
      case IDC_CHART_SEGMENT_COLUMNS:
        if (notification == BN_CLICKED) show_options(controller_.checked(chart::ChartCheck::SegmentColumns,
                                                                         checked(control), options()));
        return;
      case kChartMatchCount:
        return show_count(static_cast<std::size_t>(command_value()));
      case kWizardPeriodChosen:
        if (const auto* chosen = reinterpret_cast<const PeriodWizardResult*>(command_value()))
          set_text(IDC_CHART_PERIODS, chosen->specifier);
        return;
      case kWizardReinitialise:
        return show(controller_.open());
      default:
        return;
    }
  }

  void on_quit() override { controller_.quit(); }

 private:
  chart::ChartOptions options() const {
    chart::ChartOptions o = controller_options_;
    o.show_account = checked(IDC_CHART_SHOW_ACCOUNT);
    o.segment_columns = checked(IDC_CHART_SEGMENT_COLUMNS);
    o.show_description = checked(IDC_CHART_SHOW_DESCRIPTION);
    o.show_origin = checked(IDC_CHART_SHOW_ORIGIN);
    o.prepend_quote = checked(IDC_CHART_PREPEND);
    o.skip_zero = checked(IDC_CHART_SKIP_ZERO);
    return o;
  }

  chart::ChartFields fields() const {
    chart::ChartFields f;
    f.account = text(IDC_CHART_ACCOUNT);
    f.periods = text(IDC_CHART_PERIODS);
    f.company = text(IDC_CHART_COMPANY);
    f.year = text(IDC_CHART_YEAR);
    f.revised = checked(IDC_CHART_REVISED);
    f.options = options();
    return f;
  }

  void show_options(const chart::ChartOptions& o) {
    set_checked(IDC_CHART_SHOW_ACCOUNT, o.show_account);
    set_checked(IDC_CHART_SEGMENT_COLUMNS, o.segment_columns);
    set_checked(IDC_CHART_SHOW_DESCRIPTION, o.show_description);
    set_checked(IDC_CHART_SHOW_ORIGIN, o.show_origin);
    set_checked(IDC_CHART_PREPEND, o.prepend_quote);
    set_checked(IDC_CHART_SKIP_ZERO, o.skip_zero);
  }

  void show(const chart::ChartFields& f) {
    controller_options_ = f.options;  // the formulas' style, which has no control
    set_text(IDC_CHART_ACCOUNT, f.account);
    set_text(IDC_CHART_PERIODS, f.periods);
    set_text(IDC_CHART_COMPANY, f.company);
    set_text(IDC_CHART_YEAR, f.year);
    set_checked(IDC_CHART_BUDGET, !f.revised);
    set_checked(IDC_CHART_REVISED, f.revised);
    show_options(f.options);
  }

  // The counter, brought up to date at once: the fill goes on meanwhile.
  void show_count(std::size_t lines) {
    set_text(IDC_CHART_MATCH_COUNT, std::to_string(lines));
    if (HWND counter = control(IDC_CHART_MATCH_COUNT)) UpdateWindow(counter);
  }

  chart::ChartOptions controller_options_;
  chart::ChartController controller_{settings(), *this, user_amount_locale(),
                                     [this](std::size_t lines) { show_count(lines); }};
};

}  // namespace

void install_chart_window() { install_window<ChartWindow>(kSlotChartCopy); }

}  // namespace kovo::windows
