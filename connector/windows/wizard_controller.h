// What the period wizard window decides: its choices from the opener's
// specifier, the specifier and dates each change of choice gives, typed
// dates, the clipboard, and what it tells the window it reports to.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "entry/settings.h"
#include "windows/period_wizard.h"
#include "windows/window_handoffs.h"
#include "windows/window_services.h"

namespace kovo::wizard {

class WizardDisplay {
 public:
  virtual ~WizardDisplay() = default;
  virtual void show_state(const WizardState& state) = 0;
  virtual void show_text(std::string_view text) = 0;
  virtual void show_dates(std::string_view from, std::string_view to) = 0;
};

class WizardController {
 public:
  WizardController(Settings& settings, windows::WindowServices& services, WizardDisplay& display)
      : settings_(settings), services_(services), display_(display) {}

  // Opens on the opener's specifier ("Month" for the wizard's own command);
  // reports_to is the window that gets the wizard's answers.
  void open(const windows::PeriodWizardStart* start, std::optional<windows::Slot> reports_to);
  // A choice changed: the specifier composed again, or message 63 with the
  // previous text and choices kept.
  void choose(const WizardState& next);
  // A date field lost the focus after a change.
  void dates_edited(std::string_view from, std::string_view to);
  // "To Clipboard".
  void to_clipboard();
  // "OK": the specifier to the window reported to, and the wizard closes.
  void ok();
  // The wizard goes (by OK or otherwise).
  void closing();

  const WizardState& state() const { return state_; }
  const std::string& text() const { return text_; }
  const std::string& from() const { return from_; }
  const std::string& to() const { return to_; }

 private:
  void recompute_dates();
  void tell(int command);

  Settings& settings_;
  windows::WindowServices& services_;
  WizardDisplay& display_;
  WizardState state_;
  std::string text_, from_, to_;
  std::string company_, year_;
  bool dates_given_ = false;
  std::optional<windows::Slot> reports_to_;
  windows::PeriodWizardResult result_;  // valid while a command that carries it is handled
};

}  // namespace kovo::wizard
