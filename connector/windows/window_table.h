// The connector's windows, one row per kind: the window command that opens
// it, its slot, its dialog template, the main menu's command, its help topic
// and what a run without a user does. Everything that opens, shows, drives
// or closes a window looks here; a new window is one row.
#pragma once

#include <array>
#include <span>

namespace kovo::windows {

// Modeless window slots, in the order ModelessFix offers a message.
enum Slot : int {
  kSlotSetup, kSlotFeSetup, kSlotAbout, kSlotChartCopy, kSlotDrill, kSlotBudget,
  kSlotPeriodWizard, kSlotSad, kSlotEnquiry, kSlotCompany, kSlotFurther, kSlotTrxFields,
  kSlotTurbo, kSlotList, kSlotCount
};

// Whose window a new one belongs to.
enum class Owner {
  MainWindow,  // the connector's main window
  Opener,      // the window that asked for it (the main window for menu commands)
};

// What a window command carrying NoShow does.
enum class Automation {
  None,     // nothing more: the command succeeds without a window
  Presses,  // the window is made hidden, receives its presses in order, and goes
  Direct,   // the window's module does the work itself, without a window
  Help,     // the connector's help file opens
};

// One press of an automated run. When the command's parameters gave the
// key without a name, with_unnamed_key (when set) is pressed instead.
struct Press {
  int command = 0;
  int with_unnamed_key = 0;
};

inline constexpr std::size_t kMaxPresses = 3;

struct WindowKind {
  Slot slot;
  const char* name;   // the dialog template; nullptr for the slot without one
  int command_code;   // the window command that opens it; 0 when none does
  int menu_command;   // the main window's menu command; 0 when none
  int help_topic;     // context of its Help button; 0 opens the help file's first topic
  Owner owner;
  Automation automation;
  std::array<Press, kMaxPresses> presses{};  // Automation::Presses, unused ones 0

  std::span<const Press> automation_presses() const;
};

// Every kind, in slot order.
std::span<const WindowKind> window_kinds();
const WindowKind& kind_of(Slot slot);
const WindowKind* kind_for_code(int command_code);
const WindowKind* kind_for_menu(int menu_command);

// Window commands that concern the main window alone: it is shown and, for
// a user, sent the menu command; NoShow runs the automation (None or Help).
struct MainWindowCommand {
  int command_code;
  int menu_command;  // 0: none is posted
  Automation automation;
};
const MainWindowCommand* main_window_command(int command_code);

}  // namespace kovo::windows
