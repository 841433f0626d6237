#include "windows/ground_win.h"

#include <array>

#include "data/settings_store_win.h"
#include "entry/command_codes.h"
#include "entry/connector_win.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/html_help_win.h"

namespace kovo::windows {
namespace {

constexpr int kMessageNotProcessed = 31;
constexpr int kOpeningTopic = 1;  // the help file's first topic

struct SlotState {
  DLGPROC procedure = nullptr;
  DirectAutomation direct = nullptr;
  HWND window = nullptr;
};

struct Ground {
  std::array<SlotState, kSlotCount> slots{};
  std::string* answer = nullptr;  // the automated command's answer, while one runs
  help::HtmlHelpLibrary help;
};
Ground g;

HWND owner_for(const WindowKind& kind, HWND opener) {
  if (kind.owner == Owner::Opener && opener) return opener;
  return connector_main_window();
}

// Makes the window of a kind, hidden; its procedure puts it in the slot.
HWND create(Slot slot, HWND owner, const std::any& start) {
  const WindowKind& kind = kind_of(slot);
  const SlotState& state = g.slots[slot];
  if (!kind.name || !state.procedure) return nullptr;
  HWND window = CreateDialogParamA(connector_module(), kind.name, owner, state.procedure,
                                   reinterpret_cast<LPARAM>(&start));
  if (!window || !IsWindow(window)) return nullptr;
  g.slots[slot].window = window;
  return window;
}

void press(HWND window, int command) {
  if (window && IsWindow(window)) SendMessageA(window, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
}

// The answer of a window command that could not be carried out: the reason
// pending, or that the command was not processed, naming the window.
int refuse(std::string& answer, const WindowKind& kind) {
  answer = message_pending() ? std::string(pending_message()) : format_message(kMessageNotProcessed, kind.name);
  clear_message();
  return kStatusNotProcessed;
}

int automate_presses(const WindowKind& kind, std::string& answer) {
  if (!window_built(kind.slot)) return refuse(answer, kind);
  close_window(kind.slot);
  if (!create(kind.slot, connector_main_window(), {})) return refuse(answer, kind);
  std::string handed_back;
  g.answer = &handed_back;
  for (const Press& step : kind.automation_presses()) {
    const int command = settings().alternate_drill && step.with_unnamed_key ? step.with_unnamed_key : step.command;
    press(window_of(kind.slot), command);
  }
  g.answer = nullptr;
  // A failure the window could not show (no box without a user) reaches
  // the caller instead of an empty answer.
  if (handed_back.empty() && message_pending()) {
    handed_back = pending_message();
    clear_message();
  }
  // Whatever the presses left behind goes before the command returns.
  if (HWND left = window_of(kind.slot)) {
    set_window_of(kind.slot, nullptr);
    DestroyWindow(left);
  }
  answer = std::move(handed_back);
  return kStatusProcessed;
}

int automate_directly(const WindowKind& kind, std::string& answer) {
  const DirectAutomation run = g.slots[kind.slot].direct;
  if (!run) return refuse(answer, kind);
  if (!run()) return refuse(answer, kind);
  return kStatusProcessed;
}

}  // namespace

void register_dialog(Slot slot, DLGPROC procedure) { g.slots[slot].procedure = procedure; }
void install_direct_automation(Slot slot, DirectAutomation run) { g.slots[slot].direct = run; }

bool window_built(Slot slot) { return kind_of(slot).name && g.slots[slot].procedure; }

HWND window_of(Slot slot) {
  HWND window = slot < kSlotCount ? g.slots[slot].window : nullptr;
  return window && IsWindow(window) ? window : nullptr;
}

void set_window_of(Slot slot, HWND window) {
  if (slot < kSlotCount) g.slots[slot].window = window;
}

HWND open_window(Slot slot, HWND opener, std::any start) {
  if (HWND open = window_of(slot)) {
    ShowWindow(open, SW_SHOWNORMAL);
    SetForegroundWindow(open);
    return open;
  }
  HWND window = create(slot, owner_for(kind_of(slot), opener), start);
  if (window) ShowWindow(window, SW_SHOWNORMAL);
  return window;
}

void close_window(Slot slot) {
  HWND window = window_of(slot);
  if (!window) return;
  press(window, IDCANCEL);
  if (IsWindow(window)) SendMessageA(window, WM_COMMAND, IDM_CLOSE_NOW, 0);
  // A window still finishing a fill goes by itself; the slot is free now.
  if (window_of(slot) == window) set_window_of(slot, nullptr);
}

void send_command(HWND target, int command, LPARAM value) {
  if (target && IsWindow(target)) SendMessageA(target, WM_COMMAND, static_cast<WPARAM>(command), value);
}

void hand_back(std::string text) {
  if (g.answer) *g.answer = std::move(text);
}

void open_help(HWND caller, int topic) {
  const std::string file = help_file_path(connector_module());
  g.help.open(caller, file, help::kHelpContext, static_cast<DWORD_PTR>(topic > 0 ? topic : kOpeningTopic));
}

void close_help() { g.help.close_all(); }

bool open_for_menu(int menu_command, HWND receiver) {
  const WindowKind* kind = kind_for_menu(menu_command);
  if (!kind) return false;
  open_window(kind->slot, receiver);
  return true;
}

int menu_command_for(int command_code) {
  if (const WindowKind* kind = kind_for_code(command_code)) return kind->menu_command;
  if (const MainWindowCommand* command = main_window_command(command_code)) return command->menu_command;
  return 0;
}

int automate(int command_code, std::string& answer) {
  if (const WindowKind* kind = kind_for_code(command_code)) {
    switch (kind->automation) {
      case Automation::Presses: return automate_presses(*kind, answer);
      case Automation::Direct: return automate_directly(*kind, answer);
      case Automation::Help: open_help(connector_main_window(), kind->help_topic); return kStatusProcessed;
      case Automation::None: return kStatusProcessed;
    }
  }
  const MainWindowCommand* command = main_window_command(command_code);
  if (command && command->automation == Automation::Help) open_help(connector_main_window(), kOpeningTopic);
  return kStatusProcessed;
}

bool offer_message(MSG* message) {
  for (const SlotState& state : g.slots)
    if (state.window && IsWindow(state.window) && IsDialogMessageA(state.window, message)) return true;
  return false;
}

void close_all_now() {
  for (SlotState& state : g.slots) {
    if (state.window && IsWindow(state.window)) SendMessageA(state.window, WM_COMMAND, IDM_CLOSE_NOW, 0);
    state.window = nullptr;
  }
}

void forget_all() {
  for (SlotState& state : g.slots) state.window = nullptr;
}

}  // namespace kovo::windows
