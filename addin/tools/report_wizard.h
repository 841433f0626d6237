// The report wizard's steps without windows: what each step shows, what
// its buttons do, what it checks before the next step, and the choices the
// build takes at the end. The wizard's window only shows this state and
// passes the user's clicks and selections in; lists and settings go to the
// connector through a WizardLink, questions and the two sub-dialogs through
// a WizardUi.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addin/tools/report_layout.h"

namespace kovo::addin::tools {

// Messages of the wizard (the add-in's string table).
inline constexpr int kMsgStepText = 1;  // steps 0 to 4: messages 1 to 5
inline constexpr int kMsgSelectCompany = 12;
inline constexpr int kMsgSelectVertical = 13;
inline constexpr int kMsgSelectHorizontal = 14;
inline constexpr int kMsgSelectRemaining = 15;
inline constexpr int kMsgAbandonAxis = 16;
inline constexpr int kMsgSelectToEdit = 17;
inline constexpr int kMsgMakeRange = 18;
inline constexpr int kMsgListFailed = 38;
inline constexpr int kMsgAxisCount = 48;
inline constexpr int kMsgSameAxes = 49;
inline constexpr int kMsgDdeAccess = 105;
inline constexpr int kMsgClipboardClosed = 153;

inline constexpr int kLastStep = 4;
// Combo boxes of the remaining-axes dialog.
inline constexpr std::size_t kMaxRemainingShown = 14;
inline constexpr std::size_t kMaxTitle = 50;
inline constexpr std::size_t kMaxMacro = 100;

// The options the last step shows and stores.
struct ReportOptions {
  std::string title = "Report Title";
  std::string formatting_macro = "KovoClassic1";
  bool zero_suppress = false;
  bool run_macro = false;
  bool ngl = true;
};

// The connector, as the wizard uses it.
class WizardLink {
 public:
  virtual ~WizardLink() = default;
  // A list by name or segment request: its items, or nothing when the
  // request failed (the link has said why).
  virtual std::optional<std::vector<std::string>> list(const std::string& request) = 0;
  // A connector setting, sent as a settings command.
  virtual void setting(std::string_view name, std::string_view value) = 0;
  // The list request "RESET": the connector reads its lists anew.
  virtual void reset_lists() = 0;
  // Whether lists come back as answers (else through the clipboard).
  virtual bool lists_as_text() const = 0;
  // The last step's options kept in the settings file.
  virtual void save_options(const ReportOptions& options) = 0;
};

// One combo box of the remaining-axes dialog.
struct RemainingAxis {
  std::string name;
  int code = 0;
  std::string value;                // preselected, then chosen
  std::vector<std::string> items;   // may hold only the preselection until the box is opened
  bool is_segment_axis() const { return code < 0; }
};

// The user, as the wizard asks and tells.
class WizardUi {
 public:
  virtual ~WizardUi() = default;
  virtual void tell(int message, std::string_view detail = {}) = 0;
  // Question 16 (OK/Cancel) or 18 (Yes/No): true for OK or Yes.
  virtual bool ask(int message) = 0;
  // The Edit Specifier window: the specifier and its override; nothing for Cancel.
  struct Edited {
    std::string specifier;
    std::string description;
  };
  virtual std::optional<Edited> edit_specifier(const Edited& shown) = 0;
  // The remaining-axes dialog; fetch gives an axis's list when its box is
  // opened. False for Cancel.
  virtual bool remaining_axes(std::vector<RemainingAxis>& axes,
                              const std::function<std::vector<std::string>(const RemainingAxis&)>& fetch) = 0;
  // The report-creation dialog; false for Cancel.
  virtual bool report_creation(ReportOptions& options) = 0;
};

class ReportWizard {
 public:
  ReportWizard(WizardLink& link, WizardUi& ui, SheetSeed seed, ReportOptions options);

  // What the window shows.
  int step() const { return step_; }
  int step_message() const { return kMsgStepText + step_; }
  const std::vector<std::string>& choices() const { return choices_; }
  std::optional<std::size_t> chosen() const { return chosen_; }
  const std::vector<std::string>& values() const { return values_; }
  const std::vector<std::string>& layout_items() const { return layout_; }
  const std::vector<std::string>& elements() const;
  const std::vector<std::size_t>& selected_elements() const { return selected_; }
  const std::string& model_company() const { return model_company_; }
  const std::string& axis() const;  // the step's axis (steps 1 and 2)

  enum class Outcome { Stay, Finished };
  // The step's set-up, run when the window enters a step; the last step
  // finishes the wizard when its dialog is confirmed.
  Outcome enter_step();
  // A line of the choice list chosen: the company (step 0) or an axis.
  void choose(std::size_t index);
  // The selection of the elements list changed.
  void select_elements(std::vector<std::size_t> selected);
  // ">>": the selected layout items, or else the selected values, after the
  // current element.
  void add(const std::vector<std::size_t>& layout_selected, const std::vector<std::size_t>& values_selected);
  // "<<": the selected elements removed.
  void remove();
  // "&Edit" or a double-click on an element.
  void edit();
  void reset();
  Outcome next();
  void previous();

  // The choices the build takes, once the wizard finished.
  ReportChoices report() const;
  const ReportOptions& options() const { return options_; }

 private:
  struct AxisStep {
    std::string axis;
    std::vector<std::string> elements;
    bool seeded = false;
  };
  AxisStep& axis_step();
  const AxisStep& axis_step() const;
  bool on_axis_step() const { return step_ == 1 || step_ == 2; }
  void fill_choices(const std::string& list, const std::string& preselect);
  void show_values();
  std::string values_request() const;
  void seed_axis_step();
  void clear();
  bool remaining_step();
  Outcome creation_step();
  std::vector<std::string> values_of(const RemainingAxis& axis);
  std::string first_value(const std::string& axis);
  const Axis* find_axis(const std::string& name) const;

  WizardLink& link_;
  WizardUi& ui_;
  SheetSeed seed_;
  ReportOptions options_;
  int step_ = 0;
  bool company_done_ = false;
  std::string model_company_;
  std::vector<std::string> choices_;
  std::optional<std::size_t> chosen_;
  std::string chosen_axis_;
  std::vector<std::string> values_;
  std::string values_request_;
  std::vector<std::string> layout_;
  std::vector<std::size_t> selected_;
  AxisStep vertical_, horizontal_;
  std::vector<Axis> axes_;            // fetched at the remaining-axes step
  std::map<std::string, std::string> remaining_;  // axis -> chosen value
  bool remaining_done_ = false;
  std::optional<std::string> title_seed_;
};

// A range element made of adjacent elements, segment by segment first ".."
// last ("4000" and "4999-10" give "4000..4999-10"; equal segments stay single).
std::string range_element(std::string_view first, std::string_view last);

}  // namespace kovo::addin::tools
