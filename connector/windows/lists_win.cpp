// The lists window (DLIST_DIALOG): moves values between its controls and
// the lists controller, which decides everything.
#include <windows.h>

#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/dialog_win.h"
#include "windows/list_catalog.h"
#include "windows/lists_controller.h"
#include "windows/lists_win.h"

namespace kovo::windows {
namespace {

class ListsWindow : public ConnectorDialog {
 protected:
  void on_open() override {
    const lists::ListsView view = controller_.open();
    for (const auto& choice : lists::list_choices()) set_checked(choice.control, choice.control == view.checked_control);
    set_checked(IDC_LIST_TRANSPOSE, view.transpose);
    set_checked(IDC_LIST_DESCRIPTIONS, view.descriptions);
    show_segment_fields(view.segment_fields);
    if (view.company_failed) return;
    set_combo_items(IDC_LIST_SEGMENT, view.segment_items);
    set_combo_items(IDC_LIST_WHERE, view.where_items);
    set_text(IDC_LIST_SEGMENT, view.segment);
    set_text(IDC_LIST_WHERE, view.where);
    set_text(IDC_LIST_IS, view.is);
  }

  void on_command(int control, int notification) override {
    if (notification == BN_CLICKED && controller_.choose(control))
      return show_segment_fields(controller_.segment_fields_enabled());
    switch (control) {
      case IDC_LIST_WHERE:
        if (notification == CBN_EDITCHANGE || notification == CBN_SELCHANGE) where_changed_ = true;
        if (notification == CBN_KILLFOCUS && where_changed_) {
          where_changed_ = false;
          refill_is();
        }
        return;
      case IDC_LIST_TRANSPOSE:
      case IDC_LIST_DESCRIPTIONS:
        if (notification == BN_CLICKED)
          controller_.options_changed(checked(IDC_LIST_TRANSPOSE), checked(IDC_LIST_DESCRIPTIONS));
        return;
      case IDOK: {
        WaitCursor wait;
        return controller_.send({text(IDC_LIST_SEGMENT), text(IDC_LIST_WHERE), text(IDC_LIST_IS)});
      }
      default:
        return;
    }
  }

  void on_quit() override { controller_.quit(); }
  int progress_control() const override { return IDC_LIST_PROGRESS; }

 private:
  void show_segment_fields(bool on) {
    for (const int id : {IDC_LIST_SEGMENT, IDC_LIST_WHERE, IDC_LIST_IS}) enable(id, on);
  }
  // The typed "Is" text stays while its choices change.
  void refill_is() {
    const std::string typed = text(IDC_LIST_IS);
    const auto items = controller_.where_changed(text(IDC_LIST_WHERE));
    if (!items) return;
    set_combo_items(IDC_LIST_IS, *items);
    set_text(IDC_LIST_IS, typed);
  }

  lists::ListsController controller_{settings(), *this};
  bool where_changed_ = false;
};

}  // namespace

void install_lists_window() { install_window<ListsWindow>(kSlotList); }

}  // namespace kovo::windows
