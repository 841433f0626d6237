// What the drill-down's options window decides: which transaction columns
// show, the formulas copied with segment rows, absolute sorting and the
// highlight threshold.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "entry/settings.h"
#include "windows/drill_rows.h"
#include "windows/window_services.h"

namespace kovo::drill {

struct TrxFieldsView {
  // Check box 800 + c, for the columns with a shown flag.
  std::array<std::optional<bool>, kTranColumnCount> columns{};
  int formulas_control = 0;  // the checked radio button; 0 for the older form, which has none
  bool absolute = false;
  std::string threshold;
};

class TrxFieldsController {
 public:
  TrxFieldsController(Settings& settings, windows::WindowServices& services)
      : settings_(settings), services_(services) {}

  TrxFieldsView open() const;
  // The column a check box shows, if it is one.
  static std::optional<std::size_t> column_of(int control);
  void column_toggled(std::size_t column, bool shown);
  // A Formulas radio button: "Excel" warns that the sheet needs R1C1.
  void formulas_chosen(int control);
  void absolute_changed(bool on);
  // The threshold field lost the focus: its number (an unreadable text is
  // 0, no highlighting). The text as it now stands.
  std::string threshold_left(std::string_view text);
  // OK: the settings written, the drill-down told, the window closed.
  void ok();

 private:
  Settings& settings_;
  windows::WindowServices& services_;
};

}  // namespace kovo::drill
