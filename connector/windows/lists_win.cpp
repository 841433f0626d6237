// The lists window (DLIST_DIALOG): chooses a list, composes its request and
// sends it to the clipboard.
#include <windows.h>

#include <string>
#include <vector>

#include "data/companies.h"
#include "entry/connector_win.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/dialog_win.h"
#include "windows/entities_hook.h"
#include "windows/list_catalog.h"
#include "windows/list_command.h"
#include "windows/lists_win.h"

namespace kovo::windows {
namespace {

constexpr int kMessageSent = 80;
constexpr int kMessageRequestFailed = 81;
constexpr int kMessageReadingAccounts = 82;
constexpr int kMessageSettingsNotWritten = 60;
constexpr std::size_t kMaxSegmentLabels = 10;

// The "Is" text of the financial entities file turned into values.
std::optional<std::string> translate_is(std::string_view where, std::string_view is) {
  const EntitiesHook& hook = entities_hook();
  if (!hook.translate) return std::nullopt;
  data::CompanyContext* company = lists::list_company();
  if (!company) return std::nullopt;
  const auto segment = lists::find_segment(where, lists::segment_names(*company), settings().natural_account_segment);
  if (!segment) return std::nullopt;
  return hook.translate(*company, *segment + 1, is);
}

class ListsWindow : public ConnectorDialog {
 protected:
  void on_open() override;
  void on_command(int control, int notification) override;
  void on_quit() override;

 private:
  void show_choice();
  void refill_is();
  void send_to_clipboard();
  lists::ListWindowFields fields() const;

  std::vector<std::string> names_;
  bool where_changed_ = false;
};

void ListsWindow::on_open() {
  const Settings& s = settings();
  for (const auto& choice : lists::list_choices())
    set_checked(choice.control, choice.selected_value == s.selected_list);
  if (!lists::choice_by_value(s.selected_list)) set_checked(IDC_LIST_SEGMENTS, true);
  set_checked(IDC_LIST_TRANSPOSE, s.list_transpose != 0);
  set_checked(IDC_LIST_DESCRIPTIONS, s.list_generate_descriptions != 0);
  show_choice();
  data::CompanyContext* company = lists::list_company();
  if (!company) return show_pending_failure();
  names_ = lists::segment_names(*company);
  std::vector<std::string> labels;
  for (std::size_t i = 0; i < names_.size() && i < kMaxSegmentLabels; ++i)
    labels.push_back(lists::segment_label(names_, static_cast<int>(i)));
  set_combo_items(IDC_LIST_SEGMENT, labels);
  labels.insert(labels.begin(), std::string(lists::kNoWhere));
  set_combo_items(IDC_LIST_WHERE, labels);
  set_text(IDC_LIST_SEGMENT, s.list_segment_segment);
  set_text(IDC_LIST_WHERE, s.list_segment_where);
  set_text(IDC_LIST_IS, s.list_segment_is);
}

void ListsWindow::show_choice() {
  const bool segments = checked(IDC_LIST_SEGMENTS);
  for (const int id : {IDC_LIST_SEGMENT, IDC_LIST_WHERE, IDC_LIST_IS}) enable(id, segments);
}

lists::ListWindowFields ListsWindow::fields() const {
  lists::ListWindowFields f;
  f.selected_value = settings().selected_list;
  f.segment = text(IDC_LIST_SEGMENT);
  f.where = text(IDC_LIST_WHERE);
  f.is = text(IDC_LIST_IS);
  return f;
}

void ListsWindow::on_command(int control, int notification) {
  Settings& s = settings();
  if (const lists::ListChoice* choice = lists::choice_by_control(control)) {
    if (notification != BN_CLICKED) return;
    s.selected_list = choice->selected_value;
    return show_choice();
  }
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
      if (notification != BN_CLICKED) return;
      s.list_transpose = checked(IDC_LIST_TRANSPOSE) ? 1 : 0;
      s.list_generate_descriptions = checked(IDC_LIST_DESCRIPTIONS) ? 1 : 0;
      lists::value_cache().mark_for_rebuild();
      return;
    case IDOK:
      return send_to_clipboard();
    case IDC_HELP_BUTTON:
      return open_help();
    default:
      return;
  }
}

void ListsWindow::refill_is() {
  const auto segment = lists::find_segment(text(IDC_LIST_WHERE), names_, settings().natural_account_segment);
  const std::string typed = text(IDC_LIST_IS);
  std::vector<std::string> items;
  data::CompanyContext* company = segment ? lists::list_company() : nullptr;
  if (company && settings().list_use_sad_file) {
    if (entities_hook().choices) items = entities_hook().choices(*company, *segment + 1);
  } else if (company) {
    Fill fill(*this, IDC_LIST_PROGRESS, message_string(kMessageReadingAccounts));
    const Settings& s = settings();
    const int status = lists::value_cache().prepare(
        *company, {s.list_generate_descriptions != 0, s.list_use_sad_file != 0}, fill.check());
    if (status == lists::kStopped) return;
    if (status != 0) return show_pending_failure();
    items = lists::value_cache().values(*segment);
  } else {
    show_pending_failure();
  }
  set_combo_items(IDC_LIST_IS, items);
  set_text(IDC_LIST_IS, typed);
}

void ListsWindow::send_to_clipboard() {
  Settings& s = settings();
  if (!lists::list_company()) return show_pending_failure();
  WaitCursor wait;
  if (!automation() || s.list.empty()) {
    const lists::ListWindowFields f = fields();
    if (f.selected_value == 0 || !lists::choice_by_value(f.selected_value)) {
      s.list_segment_segment = f.segment.substr(0, lists::kSegmentFieldLimit);
      s.list_segment_where = f.where.substr(0, lists::kSegmentFieldLimit);
      s.list_segment_is = f.is.substr(0, lists::kSegmentFieldLimit);
    }
    s.list = lists::compose_list_request(f, s.list_use_sad_file ? translate_is : nullptr);
  }
  // With NoClipboard the command itself takes the list as its result.
  if (automation() && s.no_clipboard) return;
  Fill fill(*this, IDC_LIST_PROGRESS, message_string(kMessageReadingAccounts));
  const lists::ClipboardList list = lists::clipboard_list(s.list, fill.check());
  s.list.clear();
  switch (list.status) {
    case lists::BuildStatus::Stopped:
      return;
    case lists::BuildStatus::Failed:
      return show_pending_failure();
    case lists::BuildStatus::NoSuchList:
      return information_box(kMessageRequestFailed);
    case lists::BuildStatus::Built:
      return information_box(put_clipboard_text(list.text, handle()) ? kMessageSent : kMessageRequestFailed);
  }
}

void ListsWindow::on_quit() {
  const LifecycleHooks& hooks = lifecycle_hooks();
  if (hooks.save_settings && !hooks.save_settings()) error_box(kMessageSettingsNotWritten);
  close();
}

}  // namespace

void install_lists_window() { install_window<ListsWindow>(kSlotList); }

}  // namespace kovo::windows
