// The data preload window (TURBO): moves values between its controls and
// the preload controller, which decides everything. Also the preload
// command without a user and the automatic preload at start-up.
#include <windows.h>

#include "windows/preload_win.h"

#include "data/companies.h"
#include "data/settings_store_win.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/boxes_win.h"
#include "windows/dialog_win.h"
#include "windows/preload_controller.h"

namespace kovo::windows {
namespace {

constexpr int kMessageAccountsCached = 4409;
constexpr std::size_t kStoredTextSize = 512;

// The per-company choices in the connector's settings store.
class SettingsAutoStore final : public preload::AutoStore {
 public:
  std::string read(const std::string& key, const std::string& fallback) override {
    return read_text_setting(key, fallback, kStoredTextSize);
  }
  void write(const std::string& key, const std::string& value) override { write_setting(key, value); }
};

SettingsAutoStore& auto_store() {
  static SettingsAutoStore store;
  return store;
}

class PreloadWindow : public ConnectorDialog {
 protected:
  void on_open() override {
    const preload::PreloadView view = controller_.open();
    set_combo_items(IDC_TURBO_COMPANY, view.companies);
    set_combo_items(IDC_TURBO_BUDGET_TYPE, {"Budget", "Revised Budget"});
    show(view.fields);
    set_text(IDC_TURBO_ADPL, view.auto_label);
  }

  void on_command(int control, int notification) override {
    switch (control) {
      case IDOK: {
        const preload::PreloadFields f = fields();
        set_text(IDC_TURBO_PROGRESS, "");
        const preload::PreloadOutcome outcome = controller_.preload(f);
        if (outcome.status != 1 && handle())
          set_text(IDC_TURBO_PROGRESS, f.company + ": " + std::to_string(outcome.accounts) + " " +
                                           message_string(kMessageAccountsCached));
        return;
      }
      case IDC_TURBO_CLEAR:
        if (notification != BN_CLICKED) return;
        controller_.clear(fields().company);
        set_text(IDC_TURBO_PROGRESS, fields().company + ": 0 " + message_string(kMessageAccountsCached));
        return;
      case IDC_TURBO_ADPL:
        if (notification == BN_CLICKED) set_text(IDC_TURBO_ADPL, controller_.toggle_auto(fields()));
        return;
      case IDC_TURBO_COMPANY:
        // the button tells the chosen company's automatic preload
        if (notification == CBN_SELCHANGE) {
          HWND combo = control_of(IDC_TURBO_COMPANY);
          const LRESULT at = SendMessageA(combo, CB_GETCURSEL, 0, 0);
          if (at >= 0) {
            char id[64] = {};
            if (SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(at), 0) < static_cast<LRESULT>(sizeof id))
              SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(id));
            set_text(IDC_TURBO_ADPL, controller_.auto_label(id));
          }
        } else if (notification == CBN_KILLFOCUS) {
          set_text(IDC_TURBO_ADPL, controller_.auto_label(fields().company));
        }
        return;
      default:
        return;
    }
  }

  void on_quit() override { controller_.quit(fields()); }
  int progress_control() const override { return IDC_TURBO_PROGRESS; }

 private:
  HWND control_of(int id) const { return control(id); }
  preload::PreloadFields fields() const {
    preload::PreloadFields f;
    f.company = text(IDC_TURBO_COMPANY);
    f.year = text(IDC_TURBO_YEAR);
    f.account = text(IDC_TURBO_ACCOUNT);
    f.budget_type = text(IDC_TURBO_BUDGET_TYPE);
    f.this_year = checked(IDC_TURBO_THIS_YEAR);
    f.last_year = checked(IDC_TURBO_LAST_YEAR);
    f.budget = checked(IDC_TURBO_BUDGET);
    return f;
  }
  void show(const preload::PreloadFields& f) {
    set_text(IDC_TURBO_COMPANY, f.company);
    set_text(IDC_TURBO_YEAR, f.year);
    set_text(IDC_TURBO_ACCOUNT, f.account);
    set_text(IDC_TURBO_BUDGET_TYPE, f.budget_type);
    set_checked(IDC_TURBO_THIS_YEAR, f.this_year);
    set_checked(IDC_TURBO_LAST_YEAR, f.last_year);
    set_checked(IDC_TURBO_BUDGET, f.budget);
  }

  preload::PreloadController controller_{settings(), *this, auto_store(), data::known_cyma_companies()};
};

// The command without a user has no window: boxes follow the NoShow rule
// (none shows, failures stay pending for the result) and nothing can be
// cancelled.
class NoWindow final : public WindowServices {
 public:
  bool automation() const override { return true; }
  int box(BoxKind kind, int number, std::string_view detail, int automation_answer) override {
    return connector_box(nullptr, kind, number, detail, automation_answer);
  }
  bool put_clipboard(std::string_view) override { return false; }
  void empty_clipboard() override {}
  bool save_settings() override {
    const LifecycleHooks& hooks = lifecycle_hooks();
    return hooks.save_settings && hooks.save_settings();
  }
  void hand_back(std::string) override {}
  void open_window(Slot, std::any) override {}
  void close_window(Slot) override {}
  void send_command(Slot, int, std::intptr_t) override {}
  void close() override {}
  void open_help(int) override {}
  std::unique_ptr<FillWork> fill(std::string, int) override {
    struct Work final : FillWork {
      RowCheck check() override {
        return [] { return true; };
      }
      bool reached(std::size_t) override { return true; }
      bool stopped() const override { return false; }
    };
    return std::make_unique<Work>();
  }
};

bool preload_for_command() {
  NoWindow services;
  preload::PreloadController controller(settings(), services, auto_store(), data::known_cyma_companies());
  return controller.run_automated();
}

void preload_at_start() {
  if (settings().adpl_enabled == 0) return;
  WaitCursor wait;
  preload::automatic_preload(data::known_cyma_companies(), auto_store(), settings());
}

}  // namespace

void install_preload_window() {
  install_window<PreloadWindow>(kSlotTurbo);
  install_direct_automation(kSlotTurbo, preload_for_command);
  lifecycle_hooks().after_start = preload_at_start;
}

}  // namespace kovo::windows
