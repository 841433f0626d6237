// The period wizard (PERIODW): moves its choices between the radio buttons
// and the wizard controller, which composes the specifier and the dates.
#include <windows.h>

#include <optional>
#include <string>

#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/dialog_win.h"
#include "windows/window_handoffs.h"
#include "windows/wizard_controller.h"
#include "windows/wizard_win.h"

namespace kovo::windows {
namespace {

using wizard::WizardState;

constexpr int kValueControls[] = {IDC_PW_OPENING, IDC_PW_ENDING, IDC_PW_CHANGE};
constexpr int kDurationControls[] = {IDC_PW_MONTH, IDC_PW_QUARTER, IDC_PW_HALF_YEAR, IDC_PW_YEAR};

int period_control(int period) {
  if (period >= 1 && period <= 13) return IDC_PW_PERIOD_BASE + period - 1;
  return period == wizard::kLastPeriod ? IDC_PW_LAST_PERIOD
         : period == wizard::kAllPeriods ? IDC_PW_ALL_PERIODS
                                         : IDC_PW_THIS_PERIOD;
}

class WizardWindow : public ConnectorDialog, public wizard::WizardDisplay {
 protected:
  void on_open() override {
    controller_.open(std::any_cast<PeriodWizardStart>(&start()), opener_slot());
  }

  void on_command(int control, int notification) override {
    switch (control) {
      case IDOK:
        if (notification == BN_CLICKED) controller_.ok();
        return;
      case IDC_PW_TO_CLIPBOARD:
        if (notification == BN_CLICKED) controller_.to_clipboard();
        return;
      case IDC_PW_FROM:
      case IDC_PW_TO:
        if (notification == EN_CHANGE && !quiet_) dates_changed_ = true;
        if (notification == EN_KILLFOCUS && dates_changed_) {
          dates_changed_ = false;
          controller_.dates_edited(text(IDC_PW_FROM), text(IDC_PW_TO));
        }
        return;
      default:
        if (notification == BN_CLICKED && is_choice(control)) controller_.choose(choices());
        return;
    }
  }

  bool on_message(UINT message, WPARAM, LPARAM, INT_PTR&) override {
    if (message == WM_DESTROY) controller_.closing();
    return false;
  }

  // ---------------------------------------------------------------- WizardDisplay

  void show_state(const WizardState& s) override {
    set_checked(IDC_PW_ACTUAL, s.actual);
    set_checked(IDC_PW_BUDGET, !s.actual);
    set_checked(IDC_PW_THIS_YEAR, s.this_year);
    set_checked(IDC_PW_LAST_YEAR, !s.this_year);
    for (int i = 0; i < 3; ++i) set_checked(kValueControls[i], s.value == i);
    for (int i = 0; i < 4; ++i) set_checked(kDurationControls[i], s.duration == i);
    set_checked(IDC_PW_RUNNING, s.running);
    for (int p = 1; p <= wizard::kAllPeriods; ++p) set_checked(period_control(p), s.period == p);
    set_checked(IDC_PW_AGO, s.ago);
  }
  void show_text(std::string_view t) override { set_text(IDC_PW_SPECIFIER, t); }
  void show_dates(std::string_view from, std::string_view to) override {
    quiet_ = true;
    set_text(IDC_PW_FROM, from);
    set_text(IDC_PW_TO, to);
    quiet_ = false;
    dates_changed_ = false;
  }

 private:
  // The window that opened the wizard (its owner) gets its answers.
  std::optional<Slot> opener_slot() const {
    HWND owner = GetWindow(handle(), GW_OWNER);
    for (const WindowKind& kind : window_kinds())
      if (kind.slot != kSlotPeriodWizard && owner && window_of(kind.slot) == owner) return kind.slot;
    return std::nullopt;
  }

  static bool is_choice(int control) {
    return (control >= IDC_PW_ACTUAL && control <= IDC_PW_ALL_PERIODS && control != IDC_PW_SPECIFIER) ||
           control == IDC_PW_AGO;
  }

  WizardState choices() const {
    WizardState s;
    s.actual = !checked(IDC_PW_BUDGET);
    s.this_year = !checked(IDC_PW_LAST_YEAR);
    for (int i = 0; i < 3; ++i)
      if (checked(kValueControls[i])) s.value = i;
    for (int i = 0; i < 4; ++i)
      if (checked(kDurationControls[i])) s.duration = i;
    s.running = checked(IDC_PW_RUNNING);
    for (int p = 1; p <= wizard::kAllPeriods; ++p)
      if (checked(period_control(p))) s.period = p;
    s.ago = checked(IDC_PW_AGO);
    return s;
  }

  wizard::WizardController controller_{settings(), *this, *this};
  bool quiet_ = false, dates_changed_ = false;
};

}  // namespace

void install_wizard_window() { install_window<WizardWindow>(kSlotPeriodWizard); }

}  // namespace kovo::windows
