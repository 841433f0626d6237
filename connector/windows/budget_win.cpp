// The budget write-back window (BUDGET): moves values between its controls
// and the budget controller, which decides everything.
#include <windows.h>

#include <string>

#include "entry/connector_win.h"
#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/budget_controller.h"
#include "windows/budget_win.h"
#include "windows/dialog_win.h"

namespace kovo::windows {
namespace {

constexpr WPARAM kCompanyLimit = 6;
constexpr WPARAM kYearLimit = 4;

class BudgetWindow : public ConnectorDialog {
 protected:
  void on_open() override {
    SendDlgItemMessageA(handle(), IDC_BUDGET_COMPANY, CB_LIMITTEXT, kCompanyLimit, 0);
    SendDlgItemMessageA(handle(), IDC_BUDGET_YEAR, CB_LIMITTEXT, kYearLimit, 0);
    const budget::BudgetView view = controller_.open();
    set_combo_items(IDC_BUDGET_COMPANY, view.companies);
    set_text(IDC_BUDGET_COMPANY, view.company);
    set_combo_items(IDC_BUDGET_YEAR, view.years);
    set_text(IDC_BUDGET_YEAR, view.year);
    for (const int radio : {IDC_BUDGET_ORIGINAL, IDC_BUDGET_REVISED}) set_checked(radio, radio == view.checked_control);
  }

  void on_command(int control, int notification) override {
    if (notification == BN_CLICKED && controller_.choose(control)) return;
    switch (control) {
      case IDC_BUDGET_COMPANY:
        if (notification == CBN_EDITCHANGE || notification == CBN_SELCHANGE) company_changed_ = true;
        if (notification == CBN_KILLFOCUS && company_changed_) {
          company_changed_ = false;
          refill_years();
        }
        return;
      case IDOK: {
        WaitCursor wait;
        return controller_.write(text(IDC_BUDGET_COMPANY), text(IDC_BUDGET_YEAR));
      }
      default:
        return;
    }
  }

  void on_quit() override { controller_.quit(); }

 private:
  // The typed year stays while the choices change.
  void refill_years() {
    const auto years = controller_.company_changed(text(IDC_BUDGET_COMPANY));
    if (!years) return;
    const std::string typed = text(IDC_BUDGET_YEAR);
    set_combo_items(IDC_BUDGET_YEAR, *years);
    set_text(IDC_BUDGET_YEAR, typed);
  }
  // The counter, brought up to date at once: the write goes on meanwhile.
  void show_count(int written) {
    set_text(IDC_BUDGET_COUNT, std::to_string(written));
    if (HWND counter = control(IDC_BUDGET_COUNT)) UpdateWindow(counter);
  }

  budget::BudgetController controller_{settings(), *this, user_amount_locale(),
                                       [this](int written) { show_count(written); }};
  bool company_changed_ = false;
};

}  // namespace

void install_budget_window() { install_window<BudgetWindow>(kSlotBudget); }

}  // namespace kovo::windows
