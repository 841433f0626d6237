#include "addin/tools/dialog_models.h"

#include "addin/core/addin_settings.h"

namespace kovo::addin::tools {

bool setting_is_yes(std::string_view value) { return value.size() == 1 && (value[0] == 'Y' || value[0] == 'y'); }

OptionControls controls_from_settings(const OptionSettings& s) {
  OptionControls c;
  c.always_calculate = setting_is_yes(s.functions_dirty);
  c.column_wise = s.column_wise != 0;
  c.toolbar = setting_is_yes(s.build_toolbar);
  c.save_toolbar = s.save_toolbar == 1;
  c.toolbar_choice_enabled = c.toolbar;
  c.timeout_text = std::to_string(s.timeout_seconds);
  c.create_ngl = s.create_ngl != 0;
  c.new_workbook = s.create_new_workbook != 0;
  return c;
}

std::vector<std::pair<std::string_view, std::string>> option_writes(const OptionControls& c, long long previous_timeout) {
  const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
  const auto yes = [](bool on) { return std::string(on ? "Y" : "N"); };
  return {
      {"Functions Dirty", yes(c.always_calculate)},
      {"Column Wise Zero Suppress", flag(c.column_wise)},
      {"BuildToolBar", yes(c.toolbar)},
      {"Save ToolBar", flag(c.save_toolbar)},
      {"DDE Time Out", std::to_string(timeout_from_text(c.timeout_text, previous_timeout))},
      {"Create NGL Functions", flag(c.create_ngl)},
      {"Create New Workbook", flag(c.new_workbook)},
  };
}

OptionSettings settings_from_controls(const OptionControls& c, const OptionSettings& previous) {
  OptionSettings s;
  s.functions_dirty = c.always_calculate ? "Y" : "N";
  s.column_wise = c.column_wise ? 1 : 0;
  s.build_toolbar = c.toolbar ? "Y" : "N";
  s.save_toolbar = c.save_toolbar ? 1 : 0;
  s.timeout_seconds = timeout_from_text(c.timeout_text, previous.timeout_seconds);
  s.create_ngl = c.create_ngl ? 1 : 0;
  s.create_new_workbook = c.new_workbook ? 1 : 0;
  return s;
}

std::vector<AnalyzeStep> analyze_steps(const AnalyzeChoice& choice, bool registered_volatile) {
  using S = AnalyzeStep;
  std::vector<S> steps;
  if (!registered_volatile) steps.push_back(S::WarnNotDirty);
  const S calc = choice.whole_workbook ? S::CalculateNow : S::CalculateDocument;
  if (choice.timing) {
    steps.insert(steps.end(), {S::TimingOn, calc, S::TimingOff});
  } else {
    steps.insert(steps.end(), {S::StartCalc, calc, S::FinishCalc, S::Command302, S::Paste});
  }
  return steps;
}

std::string version_box_text(std::string_view client_version, const std::optional<std::string>& server_answer) {
  std::string text = "Excel Kovo Client Version ";
  text += client_version;
  if (server_answer) {
    text += '\n';
    text += *server_answer;
    for (auto& c : text)
      if (c == '\t') c = '\n';
  }
  return text;
}

}  // namespace kovo::addin::tools
