#include "windows/lists_controller.h"

#include "data/companies.h"
#include "entry/messages.h"
#include "windows/entities_hook.h"
#include "windows/list_catalog.h"
#include "windows/list_command.h"

namespace kovo::lists {
namespace {

constexpr int kMessageSent = 80;
constexpr int kMessageRequestFailed = 81;
constexpr int kMessageReadingAccounts = 82;
constexpr int kMessageSettingsNotWritten = 60;
constexpr std::size_t kMaxSegmentLabels = 10;
constexpr int kSegmentsValue = 0;

// The "Is" text of the financial entities file turned into values.
std::optional<std::string> translate_is(std::string_view where, std::string_view is) {
  const windows::EntitiesHook& hook = windows::entities_hook();
  if (!hook.translate) return std::nullopt;
  data::CompanyContext* company = list_company();
  if (!company) return std::nullopt;
  const auto segment = find_segment(where, segment_names(*company), settings().natural_account_segment);
  if (!segment) return std::nullopt;
  return hook.translate(*company, *segment + 1, is);
}

}  // namespace

ListsView ListsController::open() {
  ListsView view;
  const ListChoice* choice = choice_by_value(settings_.selected_list);
  view.checked_control = choice ? choice->control : choice_by_value(kSegmentsValue)->control;
  view.segment_fields = segment_fields_enabled();
  view.transpose = settings_.list_transpose != 0;
  view.descriptions = settings_.list_generate_descriptions != 0;
  data::CompanyContext* company = list_company();
  if (!company) {
    view.company_failed = true;
    windows::show_pending_failure(services_);
    return view;
  }
  names_ = segment_names(*company);
  for (std::size_t i = 0; i < names_.size() && i < kMaxSegmentLabels; ++i)
    view.segment_items.push_back(segment_label(names_, static_cast<int>(i)));
  view.where_items = view.segment_items;
  view.where_items.insert(view.where_items.begin(), std::string(kNoWhere));
  view.segment = settings_.list_segment_segment;
  view.where = settings_.list_segment_where;
  view.is = settings_.list_segment_is;
  return view;
}

bool ListsController::choose(int control) {
  const ListChoice* choice = choice_by_control(control);
  if (!choice) return false;
  settings_.selected_list = choice->selected_value;
  return true;
}

bool ListsController::segment_fields_enabled() const {
  const ListChoice* choice = choice_by_value(settings_.selected_list);
  return !choice || choice->selected_value == kSegmentsValue;
}

std::optional<std::vector<std::string>> ListsController::where_changed(std::string_view where) {
  const auto segment = find_segment(where, names_, settings_.natural_account_segment);
  if (!segment) return std::vector<std::string>{};
  data::CompanyContext* company = list_company();
  if (!company) {
    windows::show_pending_failure(services_);
    return std::nullopt;
  }
  if (settings_.list_use_sad_file) {
    const windows::EntitiesHook& hook = windows::entities_hook();
    return hook.choices ? hook.choices(*company, *segment + 1) : std::vector<std::string>{};
  }
  const auto fill = services_.fill(message_string(kMessageReadingAccounts));
  const int status = value_cache().prepare(
      *company, {settings_.list_generate_descriptions != 0, settings_.list_use_sad_file != 0}, fill->check());
  if (status == kStopped) return std::nullopt;
  if (status != 0) {
    windows::show_pending_failure(services_);
    return std::nullopt;
  }
  return value_cache().values(*segment);
}

void ListsController::options_changed(bool transpose, bool descriptions) {
  settings_.list_transpose = transpose ? 1 : 0;
  settings_.list_generate_descriptions = descriptions ? 1 : 0;
  value_cache().mark_for_rebuild();
}

void ListsController::compose(const SegmentFields& fields) {
  ListWindowFields f;
  f.selected_value = settings_.selected_list;
  f.segment = fields.segment;
  f.where = fields.where;
  f.is = fields.is;
  if (segment_fields_enabled()) {
    settings_.list_segment_segment = f.segment.substr(0, kSegmentFieldLimit);
    settings_.list_segment_where = f.where.substr(0, kSegmentFieldLimit);
    settings_.list_segment_is = f.is.substr(0, kSegmentFieldLimit);
  }
  settings_.list = compose_list_request(f, settings_.list_use_sad_file ? translate_is : nullptr);
}

void ListsController::send(const SegmentFields& fields) {
  const bool automated = services_.automation();
  // Whoever runs the command reads the clipboard afterwards: it must not
  // find an earlier list there when this one fails or goes elsewhere.
  if (automated) services_.empty_clipboard();
  // Without a user the command's parameters may name the list; otherwise
  // the window's choice does.
  const bool compose_from_window = !automated || settings_.list.empty();
  if (automated && settings_.no_clipboard) {
    // The caller gets the list, its next part, or why there is none.
    if (compose_from_window) compose(fields);
    services_.hand_back(list_result_text());
    settings_.list.clear();
    return;
  }
  if (!list_company()) return windows::show_pending_failure(services_);
  if (compose_from_window) compose(fields);
  send_for_user();
}

void ListsController::send_for_user() {
  const auto fill = services_.fill(message_string(kMessageReadingAccounts));
  const ClipboardList list = clipboard_list(settings_.list, fill->check());
  settings_.list.clear();
  switch (list.status) {
    case BuildStatus::Stopped:
      return;
    case BuildStatus::Failed:
      return windows::show_pending_failure(services_);
    case BuildStatus::NoSuchList:
      services_.box(windows::BoxKind::Information, kMessageRequestFailed);
      return;
    case BuildStatus::Built:
      services_.box(windows::BoxKind::Information,
                    services_.put_clipboard(list.text) ? kMessageSent : kMessageRequestFailed);
      return;
  }
}

void ListsController::quit() {
  if (!services_.save_settings()) services_.box(windows::BoxKind::Error, kMessageSettingsNotWritten);
  services_.close();
}

}  // namespace kovo::lists
