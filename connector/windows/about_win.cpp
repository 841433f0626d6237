// The connector's About window: the product name, version, special build and
// legal notices of the library's own version resource. OK or Quit closes it.
#include <windows.h>

#include "entry/connector_win.h"
#include "resources/resource_ids.h"
#include "windows/about_text.h"
#include "windows/about_win.h"
#include "windows/dialog_win.h"

namespace kovo::windows {
namespace {

class AboutWindow : public ConnectorDialog {
 protected:
  void on_open() override {
    const HINSTANCE module = connector_module();
    const AboutView view = about_view({version_string(module, "ProductName"), version_string(module, "ProductVersion"),
                                       version_string(module, "SpecialBuild"), version_string(module, "LegalCopyright"),
                                       version_string(module, "LegalTrademarks")});
    SetWindowTextA(handle(), view.caption.c_str());
    set_text(IDC_DLL_ABOUT_PRODUCT, view.product);
    set_text(IDC_DLL_ABOUT_VERSION, view.version);
    set_text(IDC_DLL_ABOUT_SPECIAL_BUILD, view.special_build);
    ShowWindow(control(IDC_DLL_ABOUT_SPECIAL_BUILD), view.special_build.empty() ? SW_HIDE : SW_SHOW);
    set_text(IDC_DLL_ABOUT_LEGAL, view.legal);
  }

  void on_command(int control, int notification) override {
    if (control == IDOK && notification == BN_CLICKED) close();
  }
};

}  // namespace

void install_about_window() { install_window<AboutWindow>(kSlotAbout); }

}  // namespace kovo::windows
