// The connector setup window (SETUP): moves values between its controls and
// the setup controller, which decides everything.
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "data/settings_store_win.h"
#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/dialog_win.h"
#include "windows/setup_controller.h"
#include "windows/setup_win.h"

namespace kovo::windows {
namespace {

constexpr WPARAM kSystemLimit = 260;
constexpr WPARAM kCompanyLimit = 6;
constexpr WPARAM kYearLimit = 4;
constexpr WPARAM kZeroLabelLimit = 16;

class SetupWindow : public ConnectorDialog {
 protected:
  void on_open() override {
    SendDlgItemMessageA(handle(), IDC_SETUP_SYSTEM, EM_LIMITTEXT, kSystemLimit, 0);
    SendDlgItemMessageA(handle(), IDC_SETUP_COMPANY, CB_LIMITTEXT, kCompanyLimit, 0);
    SendDlgItemMessageA(handle(), IDC_SETUP_YEAR, CB_LIMITTEXT, kYearLimit, 0);
    SendDlgItemMessageA(handle(), IDC_SETUP_ZERO_LABEL, EM_LIMITTEXT, kZeroLabelLimit, 0);
    set_combo_items(IDC_SETUP_PERIOD, setup::period_entries());
    set_combo_items(IDC_SETUP_ROUNDING, setup::rounding_entries());
    set_combo_items(IDC_SETUP_SCALING, setup::scaling_entries());
    const setup::SetupView view = controller_.open();
    quiet_ = true;
    set_text(IDC_SETUP_SYSTEM, view.system);
    set_combo_items(IDC_SETUP_COMPANY, view.companies);
    set_text(IDC_SETUP_COMPANY, view.company);
    select(IDC_SETUP_PERIOD, view.period_index);
    select(IDC_SETUP_ROUNDING, view.rounding);
    select(IDC_SETUP_SCALING, view.scaling);
    set_text(IDC_SETUP_ZERO_LABEL, view.zero_label);
    set_checked(IDC_SETUP_RETURN_ZERO, view.return_zero);
    set_checked(IDC_SETUP_PRELOAD, view.preload);
    set_checked(IDC_SETUP_BUDGET, !view.revised);
    set_checked(IDC_SETUP_REVISED, view.revised);
    set_combo_items(IDC_SETUP_YEAR, view.years);
    set_text(IDC_SETUP_YEAR, view.year);
    quiet_ = false;
  }

  void on_command(int control, int notification) override {
    switch (control) {
      case IDOK:
        if (notification == BN_CLICKED) controller_.ok(fields());
        return;
      case IDC_SETUP_BROWSE:
        if (notification == BN_CLICKED) browse();
        return;
      case IDC_SETUP_SYSTEM:
        if (notification == EN_CHANGE && !quiet_) system_changed_ = true;
        if (notification == EN_KILLFOCUS && system_changed_) {
          system_changed_ = false;
          directory_changed(text(IDC_SETUP_SYSTEM));
        }
        return;
      case IDC_SETUP_COMPANY:
        if (notification == CBN_EDITCHANGE || notification == CBN_SELCHANGE) company_changed_ = true;
        if (notification == CBN_KILLFOCUS && company_changed_) {
          company_changed_ = false;
          refill_years();
        }
        return;
      case IDC_SETUP_PERIOD:
        if (notification == CBN_SELCHANGE) controller_.choose(setup::SetupChoice::Period, selected(control));
        return;
      case IDC_SETUP_ROUNDING:
        if (notification == CBN_SELCHANGE) controller_.choose(setup::SetupChoice::Rounding, selected(control));
        return;
      case IDC_SETUP_SCALING:
        if (notification == CBN_SELCHANGE) controller_.choose(setup::SetupChoice::Scaling, selected(control));
        return;
      case IDC_SETUP_RETURN_ZERO:
        if (notification == BN_CLICKED) controller_.choose(setup::SetupChoice::ReturnZero, checked(control));
        return;
      case IDC_SETUP_PRELOAD:
        if (notification == BN_CLICKED) controller_.choose(setup::SetupChoice::Preload, checked(control));
        return;
      case IDC_SETUP_BUDGET:
      case IDC_SETUP_REVISED:
        if (notification == BN_CLICKED) controller_.choose(setup::SetupChoice::Revised, checked(IDC_SETUP_REVISED));
        return;
      case IDC_SETUP_PROFILE:
        if (notification == BN_CLICKED) controller_.profile(text(IDC_SETUP_COMPANY));
        return;
      case IDC_SETUP_ENTITIES:
        if (notification == BN_CLICKED) controller_.entities_setup(text(IDC_SETUP_COMPANY));
        return;
      default:
        return;
    }
  }

  void on_quit() override { controller_.cancel(); }

 private:
  setup::SetupFields fields() const {
    return {text(IDC_SETUP_SYSTEM), text(IDC_SETUP_COMPANY), text(IDC_SETUP_YEAR), text(IDC_SETUP_ZERO_LABEL)};
  }
  int selected(int id) const { return static_cast<int>(SendDlgItemMessageA(handle(), id, CB_GETCURSEL, 0, 0)); }
  void select(int id, int index) { SendDlgItemMessageA(handle(), id, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

  void directory_changed(const std::string& directory) {
    const auto companies = controller_.directory_changed(directory);
    if (!companies) return;
    const std::string typed = text(IDC_SETUP_COMPANY);
    set_combo_items(IDC_SETUP_COMPANY, *companies);
    set_text(IDC_SETUP_COMPANY, typed);
  }

  // The typed year stays while the choices change.
  void refill_years() {
    const auto years = controller_.company_changed(text(IDC_SETUP_COMPANY));
    if (!years) return;
    const std::string typed = text(IDC_SETUP_YEAR);
    set_combo_items(IDC_SETUP_YEAR, *years);
    set_text(IDC_SETUP_YEAR, typed);
  }

  // A company file chosen: its folder is the data directory.
  void browse() {
    char file[MAX_PATH] = {};
    static constexpr char kFilter[] = "CYMA Files (sm_cmp*.dat)\0sm_cmp*.dat\0All Files(*.*)\0*.*\0";
    const std::string start = text(IDC_SETUP_SYSTEM);
    OPENFILENAMEA choice{};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = handle();
    choice.lpstrFilter = kFilter;
    choice.lpstrFile = file;
    choice.nMaxFile = sizeof file;
    choice.lpstrInitialDir = start.c_str();
    choice.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&choice)) return;
    std::string folder = file;
    folder.resize(choice.nFileOffset > 0 ? choice.nFileOffset : folder.size());
    quiet_ = true;
    set_text(IDC_SETUP_SYSTEM, folder);
    quiet_ = false;
    directory_changed(folder);
  }

  setup::SetupController controller_{settings(), *this, [] { read_all_settings(); }};
  bool quiet_ = false;
  bool system_changed_ = false;
  bool company_changed_ = false;
};

}  // namespace

void install_setup_window() { install_window<SetupWindow>(kSlotSetup); }

}  // namespace kovo::windows
