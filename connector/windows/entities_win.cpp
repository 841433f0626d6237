// The financial entities maintenance window (SAD) and the entities setup
// window (FESETUP): each moves values between its controls and its
// controller, which decides everything.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "entry/messages.h"
#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/dialog_win.h"
#include "windows/entities_win.h"
#include "windows/sad_controller.h"

namespace kovo::windows {
namespace {

class SadWindow : public ConnectorDialog {
 protected:
  void on_open() override {
    SendDlgItemMessageA(handle(), IDC_SAD_ITEM, CB_LIMITTEXT, entities::kSpecifierLimit, 0);
    SendDlgItemMessageA(handle(), IDC_SAD_TEXT, EM_LIMITTEXT, entities::kSpecifierLimit, 0);
    const entities::SadView view = controller_.open();
    set_combo_items(IDC_SAD_SEGMENT, view.segments);
    SendDlgItemMessageA(handle(), IDC_SAD_SEGMENT, CB_SETCURSEL, 0, 0);
    show(view);
  }

  void on_command(int control, int notification) override {
    switch (control) {
      case IDC_SAD_SEGMENT:
        if (notification == CBN_SELCHANGE)
          show(controller_.select_segment(
              static_cast<int>(SendDlgItemMessageA(handle(), IDC_SAD_SEGMENT, CB_GETCURSEL, 0, 0))));
        return;
      case IDC_SAD_ENTITY_MODE:
        if (notification == BN_CLICKED) show(controller_.set_mode(checked(IDC_SAD_ENTITY_MODE)));
        return;
      case IDC_SAD_ITEM:
        if (notification == CBN_SELCHANGE) {
          const auto index = SendDlgItemMessageA(handle(), IDC_SAD_ITEM, CB_GETCURSEL, 0, 0);
          const auto& items = controller_.view().items;
          if (index >= 0 && static_cast<std::size_t>(index) < items.size())
            set_text(IDC_SAD_TEXT, controller_.item_text(items[static_cast<std::size_t>(index)]));
        }
        return;
      case IDC_SAD_ADD_UPDATE:
        if (notification == BN_CLICKED) {
          const std::string item = text(IDC_SAD_ITEM);
          show(controller_.add_update(item, text(IDC_SAD_TEXT)));
          set_text(IDC_SAD_ITEM, item);
        }
        return;
      case IDC_SAD_DELETE:
        if (notification == BN_CLICKED && controller_.remove(text(IDC_SAD_ITEM))) {
          show(controller_.view());
          set_text(IDC_SAD_TEXT, "");
        }
        return;
      case IDC_SAD_REBUILD:
        if (notification == BN_CLICKED) {
          WaitCursor wait;
          show(controller_.rebuild());
        }
        return;
      default:
        return;
    }
  }

 private:
  void show(const entities::SadView& view) {
    set_checked(IDC_SAD_ENTITY_MODE, view.entity_mode);
    set_text(IDC_SAD_ITEM_LABEL, view.item_label);
    set_text(IDC_SAD_TEXT_LABEL, view.text_label);
    enable(IDC_SAD_REBUILD, view.rebuild_enabled);
    set_combo_items(IDC_SAD_ITEM, view.items);
    set_text(IDC_SAD_ITEM, "");
    set_text(IDC_SAD_TEXT, "");
  }

  entities::SadController controller_{settings(), *this};
};

class FeSetupWindow : public ConnectorDialog {
 protected:
  void on_open() override {
    SendDlgItemMessageA(handle(), IDC_FE_PATH, EM_LIMITTEXT, 259, 0);
    const entities::FeSetupView view = controller_.open();
    set_checked(IDC_FE_GL_PATH, view.in_gl_path);
    set_checked(IDC_FE_OTHER, !view.in_gl_path);
    set_text(IDC_FE_PATH, view.other_path);
    set_checked(IDC_FE_LISTS, view.lists_from_file);
  }

  void on_command(int control, int notification) override {
    if (notification != BN_CLICKED) return;
    switch (control) {
      case IDC_FE_GL_PATH:
      case IDC_FE_OTHER:
        return controller_.location(checked(IDC_FE_GL_PATH), text(IDC_FE_PATH));
      case IDC_FE_BROWSE:
        return browse();
      case IDC_FE_LISTS:
        return controller_.lists_from_file(checked(IDC_FE_LISTS));
      case IDC_FE_CREATE: {
        WaitCursor wait;
        return controller_.create_new();
      }
      case IDOK:
        return controller_.ok(checked(IDC_FE_GL_PATH), text(IDC_FE_PATH));
      default:
        return;
    }
  }

 private:
  void browse() {
    const std::string prompt = message_string(2105);
    BROWSEINFOA info{};
    info.hwndOwner = handle();
    info.lpszTitle = prompt.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    if (!chosen) return;
    char folder[MAX_PATH] = {};
    const bool named = SHGetPathFromIDListA(chosen, folder);
    CoTaskMemFree(chosen);
    if (!named) return;
    set_text(IDC_FE_PATH, folder);
    set_checked(IDC_FE_GL_PATH, false);
    set_checked(IDC_FE_OTHER, true);
    controller_.location(false, folder);
  }

  entities::FeSetupController controller_{settings(), *this};
};

}  // namespace

void install_entities_windows() {
  install_window<SadWindow>(kSlotSad);
  install_window<FeSetupWindow>(kSlotFeSetup);
}

}  // namespace kovo::windows
