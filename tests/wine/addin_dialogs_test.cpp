// The add-in's Options and Analyze dialogs, from its templates, driven by
// window messages: what they show at opening and what OK and Cancel hand back.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "addin/resources/tool_dialog_ids.h"
#include "addin/tools/tool_dialogs_win.h"

namespace {

using namespace kovo::addin::tools;

bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

std::string text_of(HWND dialog, int id) {
  char text[64] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

TEST(AddinDialogs, OptionsShowTheSettingsAndOkReadsTheControls) {
  OptionsDialogState state;
  OptionSettings settings;
  settings.functions_dirty = "N";
  settings.build_toolbar = "N";
  settings.timeout_seconds = 45;
  settings.create_ngl = 0;
  state.controls = controls_from_settings(settings);
  std::vector<bool> save_choices;
  state.save_choice = [&](bool save) { save_choices.push_back(save); };
  HWND dialog = create_options_dialog(GetModuleHandleA(nullptr), nullptr, state);
  ASSERT_NE(dialog, nullptr);
  char caption[64] = {};
  GetWindowTextA(dialog, caption, sizeof caption);
  EXPECT_STREQ(caption, "Add-in Settings");
  EXPECT_FALSE(checked(dialog, IDC_OPT_ALWAYS_CALCULATE));
  EXPECT_TRUE(checked(dialog, IDC_OPT_COLUMN_WISE));
  EXPECT_FALSE(checked(dialog, IDC_OPT_TOOLBAR));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_OPT_SAVE_TOOLBAR))) << "no toolbar, no toolbar choice";
  EXPECT_TRUE(checked(dialog, IDC_OPT_DELETE_TOOLBAR));
  EXPECT_EQ(text_of(dialog, IDC_OPT_TIMEOUT), "45");
  EXPECT_FALSE(checked(dialog, IDC_OPT_CREATE_NGL));

  click(dialog, IDC_OPT_TOOLBAR);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_OPT_SAVE_TOOLBAR))) << "ticking the toolbar enables its choice";
  click(dialog, IDC_OPT_SAVE_TOOLBAR);
  EXPECT_EQ(save_choices, std::vector<bool>{true}) << "the save choice takes effect at once";
  click(dialog, IDC_OPT_ALWAYS_CALCULATE);
  SetDlgItemTextA(dialog, IDC_OPT_TIMEOUT, "60");
  click(dialog, IDOK);
  EXPECT_EQ(state.end, DialogEnd::Ok);
  EXPECT_TRUE(state.controls.always_calculate);
  EXPECT_TRUE(state.controls.toolbar);
  EXPECT_TRUE(state.controls.save_toolbar);
  EXPECT_EQ(state.controls.timeout_text, "60");
  const auto writes = option_writes(state.controls, 45);
  EXPECT_EQ(writes[0].second, "Y");
  EXPECT_EQ(writes[4].second, "60");
  DestroyWindow(dialog);
}

TEST(AddinDialogs, OptionsCancelAndCloseHandBackNothing) {
  for (bool by_close : {false, true}) {
    OptionsDialogState state;
    state.controls = controls_from_settings({});
    HWND dialog = create_options_dialog(GetModuleHandleA(nullptr), nullptr, state);
    ASSERT_NE(dialog, nullptr);
    click(dialog, IDC_OPT_COLUMN_WISE);
    if (by_close) SendMessageA(dialog, WM_CLOSE, 0, 0);
    else click(dialog, IDCANCEL);
    EXPECT_EQ(state.end, DialogEnd::Cancel);
    EXPECT_TRUE(state.controls.column_wise) << "the model keeps what it showed";
    DestroyWindow(dialog);
  }
}

TEST(AddinDialogs, AnalyzeChoicesAndTimingMode) {
  AnalyzeDialogState state;
  std::vector<bool> timing;
  state.timing = [&](bool on) { timing.push_back(on); };
  HWND dialog = create_analyze_dialog(GetModuleHandleA(nullptr), nullptr, state);
  ASSERT_NE(dialog, nullptr);
  char caption[64] = {};
  GetWindowTextA(dialog, caption, sizeof caption);
  EXPECT_STREQ(caption, "Analyze Your Spreadsheet");
  EXPECT_TRUE(checked(dialog, IDC_ANA_THIS_SHEET));
  EXPECT_TRUE(checked(dialog, IDC_ANA_ACCOUNTS));
  click(dialog, IDC_ANA_TIMING);
  click(dialog, IDC_ANA_WHOLE_WORKBOOK);
  click(dialog, IDOK);
  EXPECT_EQ(state.end, DialogEnd::Ok);
  EXPECT_TRUE(state.choice.timing);
  EXPECT_TRUE(state.choice.whole_workbook);
  EXPECT_EQ(timing, (std::vector<bool>{false, true})) << "off at opening, on when chosen";
  DestroyWindow(dialog);

  timing.clear();
  dialog = create_analyze_dialog(GetModuleHandleA(nullptr), nullptr, state);
  click(dialog, IDC_ANA_TIMING);
  click(dialog, IDCANCEL);
  EXPECT_EQ(state.end, DialogEnd::Cancel);
  EXPECT_EQ(timing, (std::vector<bool>{false, true, false})) << "cancel turns timing off";
  DestroyWindow(dialog);
}

}  // namespace
