// The slots of the connector's modeless windows and everything that opens,
// shows, drives and closes them: the main window's menu, window commands
// with and without a user, windows opening one another, and clean-up. What
// each kind is comes from the window table; a window's module installs its
// dialog procedure (install_window in dialog_win.h) and, for a kind whose
// automation works without a window, that work.
#pragma once

#include <windows.h>

#include <any>
#include <string>

#include "windows/window_table.h"

namespace kovo::windows {

// ---------------------------------------------------------------- installing

void register_dialog(Slot slot, DLGPROC procedure);
// The work of a kind whose automation is Direct: false when it failed, with
// the reason pending as a message.
using DirectAutomation = bool (*)();
void install_direct_automation(Slot slot, DirectAutomation run);

// A kind's window can be made in this build (its procedure is installed).
bool window_built(Slot slot);

// ---------------------------------------------------------------- windows

HWND window_of(Slot slot);
void set_window_of(Slot slot, HWND window);

// Opens the window of a kind for the user, or shows the open one again
// (it then keeps its state; start is not applied). The new window's
// on_open sees start. opener is the asking window (the main window when
// null): it owns the new one when the kind is owned by its opener.
HWND open_window(Slot slot, HWND opener = nullptr, std::any start = {});
// Closes the window of a kind as its Quit does; the slot is free afterwards
// (a window still finishing a fill goes once the fill has stopped).
void close_window(Slot slot);
// A command from one window to another, taken even while the target fills.
void send_command(HWND target, int command, LPARAM value = 0);

// The text an automated window hands back to the command's caller; ignored
// when no automated command runs.
void hand_back(std::string text);

// Opens the connector's help file at a topic (0: its first topic).
void open_help(HWND caller, int topic);
// Closes help windows the connector opened, before the library goes.
void close_help();

// ---------------------------------------------------------------- the shell's side

// The main menu's command for a window kind: opens it. False for others.
bool open_for_menu(int menu_command, HWND receiver);
// The menu command the main window is sent for a window command shown to a
// user; 0 when none.
int menu_command_for(int command_code);
// A window command carrying NoShow: the kind's automation. Returns
// kStatusProcessed, or kStatusNotProcessed with the reason in answer (a
// window that is not part of this build, a direct run that failed).
int automate(int command_code, std::string& answer);
// ModelessFix: offers the message to each window in slot order.
bool offer_message(MSG* message);
// Clean-up: every window is told to close at once.
void close_all_now();
// The main window went, and with it every window it owned.
void forget_all();

}  // namespace kovo::windows
