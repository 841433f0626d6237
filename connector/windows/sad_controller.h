// What the financial entities maintenance window decides: the company's
// segments, the values or entity names of one, the text an item shows,
// Add/Update and Delete of one record, the rebuild of the value records
// from the ledger (keeping every entity), and, for the entities setup
// window, where the file lives and its creation anew. The dialogs only
// move values between their controls and these.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/entities_file.h"
#include "entry/settings.h"
#include "windows/window_services.h"

namespace kovo::entities {

struct SadView {
  std::vector<std::string> segments;  // the company's segment names
  int segment = 0;                    // from 0
  bool entity_mode = false;
  std::vector<std::string> items;     // "value; description", or entity names
  std::string item_label, text_label;
  bool rebuild_enabled = true;
  bool company_failed = false;
};

// The labels of the two fields in each mode.
std::string item_label(bool entity_mode);
std::string text_label(bool entity_mode);

class SadController {
 public:
  SadController(Settings& settings, windows::WindowServices& services) : settings_(settings), services_(services) {}

  SadView open();
  SadView select_segment(int segment);
  SadView set_mode(bool entity_mode);

  // The text shown for a chosen item: an entity's specifier, a value's description.
  std::string item_text(std::string_view item);

  // "&Add/Update  Record": the view afterwards (the mode may have switched).
  SadView add_update(std::string_view item, std::string_view text);
  // "&Delete Record": true when the fields are to be cleared.
  bool remove(std::string_view item);
  // "Rebuild Entities File from GL".
  SadView rebuild();

  const SadView& view() const { return view_; }

 private:
  data::CompanyContext* company();
  std::unique_ptr<EntitiesFile> file(bool needed);
  void refill();

  Settings& settings_;
  windows::WindowServices& services_;
  SadView view_;
};

// The ledger's values of every segment with their descriptions into the
// file: existing values updated, new ones inserted, entities untouched.
// 0, or the record manager's status of the write that failed (the file
// keeps every record written before it, whole).
struct LedgerValue {
  int segment = 0;  // from 1
  std::string value, description;
};
int merge_values(EntitiesFile& file, const std::vector<LedgerValue>& values);

// Every segment value of the company's ledger with its description (a full
// scan, whatever the lists' settings say); nothing, with the failure
// pending, when the ledger could not be read.
std::optional<std::vector<LedgerValue>> ledger_values(data::CompanyContext& company,
                                                      const windows::RowCheck& row = {});

// The entities setup window.
struct FeSetupView {
  bool in_gl_path = false;
  std::string other_path;
  bool lists_from_file = false;
};

class FeSetupController {
 public:
  FeSetupController(Settings& settings, windows::WindowServices& services)
      : settings_(settings), services_(services) {}

  FeSetupView open() const;
  // A location chosen (the GL path, or Other with its folder).
  void location(bool in_gl_path, std::string_view other_path);
  void lists_from_file(bool on) { settings_.list_use_sad_file = on ? 1 : 0; }
  // "Create new Financial Entities file": the confirmation's text.
  std::string confirmation_text() const;
  void create_new();
  void ok(bool in_gl_path, std::string_view other_path);

 private:
  Settings& settings_;
  windows::WindowServices& services_;
};

}  // namespace kovo::entities
