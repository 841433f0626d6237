// Process-wide connector state shared by the entry points and the pieces
// that plug into initialisation, window commands and clean-up.
#pragma once

#include <string>

namespace kovo {

// Steps that other parts of the connector supply. Any may be left empty.
struct LifecycleHooks {
  void (*read_settings)() = nullptr;        // deferred initialisation
  bool (*save_settings)() = nullptr;        // command 3 without interaction
  void (*build_company_list)() = nullptr;   // deferred initialisation
  void (*close_held_files)() = nullptr;     // clean-up, step 3
  void (*free_all)() = nullptr;             // clean-up, step 4, in its order
  void (*stop_record_manager)() = nullptr;  // clean-up, end of step 4
  void (*run_data_preload)() = nullptr;     // command 20 without interaction
  // The list text a NoShow list run produced (code 19 with "NoClipboard").
  std::string (*take_list_text)() = nullptr;
};

LifecycleHooks& lifecycle_hooks();

// Busy flags: while either is set the library refuses to be unloaded.
struct BusyFlags {
  bool chart_fill = false;
  bool budget_write = false;
};
BusyFlags& busy_flags();

}  // namespace kovo
