#include "windows/sad_controller.h"

#include "data/companies.h"
#include "entry/messages.h"
#include "windows/list_command.h"
#include "windows/segment_values.h"
#include "specifier/text_util.h"

namespace kovo::entities {
namespace {

using windows::BoxKind;

constexpr int kMessageBtrieve = 30;
constexpr int kMessageSettingsNotWritten = 60;
constexpr int kMessageLocationNote = 2169;
constexpr char kDeletingRecord[] = "Deleting Record";
constexpr std::size_t kMaxSegments = 10;

using specifier::trimmed;

}  // namespace

std::string item_label(bool entity_mode) { return entity_mode ? "Financial Entity:" : "Segment Value:"; }
std::string text_label(bool entity_mode) { return entity_mode ? "Segment Specifier:" : "Segment Description:"; }

int merge_values(EntitiesFile& file, const std::vector<LedgerValue>& values) {
  for (const auto& v : values)
    if (const int status = file.put_value(v.segment, v.value, v.description); status != 0) return status;
  note_written();
  return 0;
}

std::optional<std::vector<LedgerValue>> ledger_values(data::CompanyContext& company, const windows::RowCheck& row) {
  lists::SegmentValueCache cache;
  if (cache.prepare(company, {true, false}, row) != 0) return std::nullopt;
  std::vector<LedgerValue> out;
  for (int s = 0; s < company.structure.segment_count; ++s)
    for (const auto& value : cache.values(s))
      out.push_back({s + 1, value, std::string(cache.description(s, value))});
  return out;
}

data::CompanyContext* SadController::company() {
  data::CompanyContext* c = data::find_or_open_company(settings_.company);
  if (data::company_error_check(c) != 0) {
    windows::show_pending_failure(services_);
    return nullptr;
  }
  return c;
}

// The company's file; when needed and missing, message 2104 says so.
std::unique_ptr<EntitiesFile> SadController::file(bool needed) {
  data::CompanyContext* c = company();
  if (!c) return nullptr;
  if (!c->has_entities_file) {
    if (needed) services_.box(BoxKind::Error, kMessageNoFile, c->id);
    return nullptr;
  }
  auto f = company_file(*c);
  if (!f) {
    clear_message();
    services_.box(BoxKind::Error, kMessageCannotOpen, c->id);
  }
  return f;
}

void SadController::refill() {
  view_.item_label = item_label(view_.entity_mode);
  view_.text_label = text_label(view_.entity_mode);
  view_.rebuild_enabled = !view_.entity_mode;
  view_.items.clear();
  data::CompanyContext* c = company();
  if (!c) return;
  view_.items = list_segment(*c, view_.segment + 1, view_.entity_mode ? ListMode::Entities : ListMode::Values);
  clear_message();
}

SadView SadController::open() {
  view_ = SadView{};
  data::CompanyContext* c = company();
  if (!c) {
    view_.company_failed = true;
    return view_;
  }
  for (int s = 0; s < c->structure.segment_count && s < static_cast<int>(kMaxSegments); ++s)
    view_.segments.push_back(trimmed(c->segment_names[static_cast<std::size_t>(s)]));
  if (!c->has_entities_file) services_.box(BoxKind::Error, kMessageNoFile, c->id);
  refill();
  return view_;
}

SadView SadController::select_segment(int segment) {
  if (segment >= 0 && segment < static_cast<int>(view_.segments.size())) view_.segment = segment;
  refill();
  return view_;
}

SadView SadController::set_mode(bool entity_mode) {
  view_.entity_mode = entity_mode;
  refill();
  return view_;
}

std::string SadController::item_text(std::string_view item) {
  auto f = file(false);
  if (!f) return {};
  const int segment = view_.segment + 1;
  if (view_.entity_mode) {
    const auto r = f->by_name(segment + kEntityOffset, trimmed(item));
    return r ? r->specifier() : std::string();
  }
  const std::string value = entry_value(item);
  if (const auto r = f->by_value(segment, value)) return r->text_b;
  const std::size_t semicolon = item.find(';');
  return semicolon == std::string_view::npos ? std::string() : trimmed(item.substr(semicolon + 1));
}

SadView SadController::add_update(std::string_view item, std::string_view text) {
  auto f = file(true);
  if (!f) return view_;
  const int segment = view_.segment + 1;
  int status = f->delete_unnamed(segment);
  if (view_.entity_mode) {
    const std::string name = trimmed(item);
    const std::string specifier = trimmed(text);
    if (status == 0 && !name.empty() && !specifier.empty()) status = f->put_entity(segment, name, specifier);
  } else {
    const std::string description = trimmed(text);
    const std::string value = entry_value(item).substr(0, kTextA);
    if (status == 0 && !description.empty() && !value.empty()) {
      if (looks_like_entity(value)) {
        if (services_.box(BoxKind::YesNo, kMessageLooksLikeEntity) != windows::kAnswerYes) return view_;
        status = f->put_entity(segment, description, value);
        view_.entity_mode = true;
      } else {
        status = f->put_value(segment, value, description);
      }
    }
  }
  note_written();
  if (status != 0) services_.box(BoxKind::Error, kMessageUpdateFailed);
  refill();
  return view_;
}

bool SadController::remove(std::string_view item) {
  auto f = file(true);
  if (!f) return false;
  const int segment = view_.segment + 1;
  const int status = view_.entity_mode ? f->delete_entity(segment, trimmed(item))
                                       : f->delete_value(segment, entry_value(item));
  note_written();
  if (status != 0) {
    services_.box(BoxKind::Error, kMessageBtrieve, kDeletingRecord);
    return false;
  }
  refill();
  return true;
}

SadView SadController::rebuild() {
  data::CompanyContext* c = company();
  if (!c) return view_;
  std::optional<std::vector<LedgerValue>> values;
  {
    const auto fill = services_.fill({});
    values = ledger_values(*c, fill->check());
  }
  // Read first: a ledger that cannot be read leaves the file as it was.
  if (!values) {
    windows::show_pending_failure(services_);
    return view_;
  }
  const std::string path = file_path(*c, settings_);
  std::unique_ptr<EntitiesFile> f;
  if (c->has_entities_file) {
    f = company_file(*c);
  } else {
    f = std::make_unique<EntitiesFile>(c->slot(data::Slot::Entities));
    if (path.empty() || f->create(path) != 0) f.reset();
    c->has_entities_file = f != nullptr;
  }
  clear_message();
  if (!f) {
    services_.box(BoxKind::Error, kMessageCannotCreate, path);
    return view_;
  }
  if (merge_values(*f, *values) != 0) services_.box(BoxKind::Error, kMessageUpdateFailed);
  else services_.box(BoxKind::Information, kMessageUpdated);
  refill();
  return view_;
}

FeSetupView FeSetupController::open() const {
  FeSetupView view;
  view.in_gl_path = settings_.fe_file_in_gl_path != 0;
  view.other_path = settings_.fe_file_path;
  view.lists_from_file = settings_.list_use_sad_file != 0;
  return view;
}

void FeSetupController::location(bool in_gl_path, std::string_view other_path) {
  services_.box(BoxKind::Information, kMessageLocationNote);
  settings_.fe_file_in_gl_path = in_gl_path ? 1 : 0;
  if (!in_gl_path) settings_.fe_file_path = trimmed(other_path).substr(0, 259);
  // The company is read again: whether it has a file follows the location.
  if (data::CompanyContext* c = data::find_company(settings_.company)) data::close_entities_file(*c);
  data::refresh_entities_flags();
}

std::string FeSetupController::confirmation_text() const {
  std::string name;
  if (data::CompanyContext* c = data::find_or_open_company(settings_.company); c && c->status == 0) name = c->name;
  clear_message();
  return "Building  new FE file using segment  values  for: \r\r   " + settings_.company + "\r   " + name + "\r   " +
         (is_revised_budget(settings_.type) ? "Revised Budget" : "Budget") +
         "\r\r(based  on  Kovo  Setup).\r\rWarning! Any existing file will be overwritten.";
}

void FeSetupController::create_new() {
  if (services_.box(BoxKind::OkCancel, -1, confirmation_text()) != windows::kAnswerOk) return;
  data::CompanyContext* c = data::find_or_open_company(settings_.company);
  if (data::company_error_check(c) != 0) return windows::show_pending_failure(services_);
  std::optional<std::vector<LedgerValue>> values;
  {
    const auto fill = services_.fill({});
    values = ledger_values(*c, fill->check());
  }
  // The ledger is read before the old file goes, so a failure keeps it.
  if (!values) return windows::show_pending_failure(services_);
  data::close_entities_file(*c);
  const std::string path = file_path(*c, settings_);
  auto f = std::make_unique<EntitiesFile>(c->slot(data::Slot::Entities));
  if (path.empty() || f->create(path) != 0) {
    clear_message();
    c->has_entities_file = false;
    services_.box(BoxKind::Error, kMessageCannotCreate, path);
    return;
  }
  c->has_entities_file = true;
  if (merge_values(*f, *values) != 0) return (void)services_.box(BoxKind::Error, kMessageUpdateFailed);
  services_.box(BoxKind::Information, kMessageUpdated);
}

void FeSetupController::ok(bool in_gl_path, std::string_view other_path) {
  const bool moved = (in_gl_path ? 1 : 0) != settings_.fe_file_in_gl_path ||
                     (!in_gl_path && trimmed(other_path) != settings_.fe_file_path);
  settings_.fe_file_in_gl_path = in_gl_path ? 1 : 0;
  if (!in_gl_path) settings_.fe_file_path = trimmed(other_path).substr(0, 259);
  if (!services_.save_settings()) services_.box(BoxKind::Error, kMessageSettingsNotWritten);
  if (moved) {
    if (data::CompanyContext* c = data::find_company(settings_.company)) data::close_entities_file(*c);
    data::refresh_entities_flags();
  }
  services_.close();
}

}  // namespace kovo::entities
