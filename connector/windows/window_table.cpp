#include "windows/window_table.h"

#include "entry/command_codes.h"
#include "resources/resource_ids.h"

namespace kovo::windows {
namespace {

using namespace codes;

constexpr int kOk = 1;
constexpr int kQuit = 2;
constexpr int kListsHelpTopic = 15;
constexpr int kDrillHelpTopic = 15;
constexpr int kBudgetHelpTopic = 15;
constexpr int kSetupHelpTopic = 2;
constexpr int kChartHelpTopic = 20;
constexpr int kEnquiryHelpTopic = 21;
constexpr int kPeriodWizardHelpTopic = 22;
constexpr int kEntitiesHelpTopic = 23;
constexpr int kPreloadHelpTopic = 24;

constexpr WindowKind kKinds[] = {
    {kSlotSetup, "SETUP", kSetup, IDM_SETUP, kSetupHelpTopic, Owner::MainWindow, Automation::Direct},
    {kSlotFeSetup, "FESETUP", 0, 0, kEntitiesHelpTopic, Owner::MainWindow, Automation::None},
    {kSlotAbout, "ABOUT", 0, IDM_ABOUT, 0, Owner::MainWindow, Automation::None},
    {kSlotChartCopy, "CHARTCOPY", kChart, IDM_CHART, kChartHelpTopic, Owner::MainWindow, Automation::Presses,
     {{{kOk}, {kQuit}}}},
    {kSlotDrill, "DRILL_LV", kDrillDown, IDM_DRILLDOWN, kDrillHelpTopic, Owner::MainWindow, Automation::Presses,
     {{{IDC_DRILL_DRILL}, {IDC_DRILL_SEND, IDC_DRILL_TO_CHART}, {kQuit}}}},
    {kSlotBudget, "BUDGET", kBudget, IDM_BUDGETS, kBudgetHelpTopic, Owner::MainWindow, Automation::Presses,
     {{{kOk}, {kQuit}}}},
    {kSlotPeriodWizard, "PERIODW", kPeriodWizard, IDM_PERIOD_WIZARD, kPeriodWizardHelpTopic, Owner::Opener, Automation::None},
    {kSlotSad, "SAD", 0, IDM_FE_FILE, kEntitiesHelpTopic, Owner::MainWindow, Automation::None},
    {kSlotEnquiry, "ACCOUNT_INQUIRE", kInquire, IDM_ENQUIRY, kEnquiryHelpTopic, Owner::MainWindow, Automation::Presses,
     {{{kOk}, {kQuit}}}},
    {kSlotCompany, "COMPANY", 0, IDM_COMPANY, kSetupHelpTopic, Owner::MainWindow, Automation::None},
    {kSlotFurther, nullptr, 0, 0, 0, Owner::MainWindow, Automation::None},
    {kSlotTrxFields, "TRXFIELDS", 0, 0, kDrillHelpTopic, Owner::Opener, Automation::None},
    {kSlotTurbo, "TURBO", kDataPreload, IDM_PRELOAD, kPreloadHelpTopic, Owner::Opener, Automation::Direct},
    {kSlotList, "DLIST_DIALOG", kList, IDM_LISTS, kListsHelpTopic, Owner::MainWindow, Automation::Presses,
     {{{kOk}, {kQuit}}}},
};
static_assert(std::size(kKinds) == kSlotCount, "one row per slot");

constexpr MainWindowCommand kMainWindowCommands[] = {
    {kPassword, IDM_PASSWORD, Automation::None},
    {kShowConnector, 0, Automation::None},
    {kDllHelp, IDM_DLLHELP, Automation::Help},
    {kDllSetup, 0, Automation::None},
    {kReset, 0, Automation::None},
};

}  // namespace

std::span<const Press> WindowKind::automation_presses() const {
  std::size_t count = 0;
  while (count < presses.size() && presses[count].command != 0) ++count;
  return {presses.data(), automation == Automation::Presses ? count : 0};
}

std::span<const WindowKind> window_kinds() { return kKinds; }

const WindowKind& kind_of(Slot slot) { return kKinds[slot]; }

const WindowKind* kind_for_code(int command_code) {
  if (command_code == 0) return nullptr;
  for (const auto& kind : kKinds)
    if (kind.command_code == command_code) return &kind;
  return nullptr;
}

const WindowKind* kind_for_menu(int menu_command) {
  if (menu_command == 0) return nullptr;
  for (const auto& kind : kKinds)
    if (kind.menu_command == menu_command) return &kind;
  return nullptr;
}

const MainWindowCommand* main_window_command(int command_code) {
  for (const auto& command : kMainWindowCommands)
    if (command.command_code == command_code) return &command;
  return nullptr;
}

}  // namespace kovo::windows
