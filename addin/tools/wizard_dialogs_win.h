// The report wizard's windows from the add-in's resources: the wizard
// ("REPORT_WIZARD") and, asked through WizardWindowUi, its boxes, the
// "Edit Specifier" window and the dialogs of the remaining axes and of the
// report's creation. The windows only show the controller's state and pass
// clicks and selections to it (report_wizard.h).
//
// Each step is entered through a message the wizard posts to itself, so a
// click that changes the step returns at once; the step's set-up (lists
// asked of the connector, a step's own dialog) runs when that message comes.
#pragma once

#include <windows.h>

#include "addin/tools/report_wizard.h"

namespace kovo::addin::tools {

// Posted to the wizard window: enter the controller's current step.
inline constexpr UINT kEnterStepMessage = WM_APP + 1;

// Boxes and sub-dialogs over the wizard window.
class WizardWindowUi : public WizardUi {
 public:
  explicit WizardWindowUi(HINSTANCE module) : module_(module) {}
  void set_owner(HWND owner) { owner_ = owner; }
  HWND owner() const { return owner_; }

  void tell(int message, std::string_view detail = {}) override;
  bool ask(int message) override;
  std::optional<Edited> edit_specifier(const Edited& shown) override;
  bool remaining_axes(std::vector<RemainingAxis>& axes,
                      const std::function<std::vector<std::string>(const RemainingAxis&)>& fetch) override;
  bool report_creation(ReportOptions& options) override;

 private:
  HINSTANCE module_;
  HWND owner_ = nullptr;
};

// Runs the wizard modally over the owner; true when it finished with OK.
bool run_report_wizard(HINSTANCE module, HWND owner, ReportWizard& wizard, WizardWindowUi& ui);

}  // namespace kovo::addin::tools
