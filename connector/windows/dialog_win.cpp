#include "windows/dialog_win.h"

#include <algorithm>
#include <cstring>

#include "entry/connector_win.h"
#include "entry/lifecycle.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "resources/resource_ids.h"
#include "windows/boxes_win.h"
#include "windows/list_view_win.h"

namespace kovo::windows {

// ---------------------------------------------------------------- fills

class ConnectorDialog::Fill final : public FillWork {
 public:
  Fill(ConnectorDialog& window, std::string label, int stop_question)
      : window_(window),
        label_(std::move(label)),
        stop_question_(stop_question),
        pacer_(window.automation(), {[this](std::size_t rows) { show_progress(rows); }, [this] { pump(); }}) {
    ++window_.fill_depth_;
    previous_ = window_.active_pacer_;
    window_.active_pacer_ = &pacer_;
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
  }
  ~Fill() override {
    window_.active_pacer_ = previous_;
    --window_.fill_depth_;
    if (window_.window_ && !window_.destroyed_) window_.show_fill_progress(label_, 0);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
  }
  Fill(const Fill&) = delete;
  Fill& operator=(const Fill&) = delete;

  RowCheck check() override { return pacer_.check(); }
  bool reached(std::size_t count) override { return pacer_.row_at(count); }
  bool stopped() const override { return pacer_.stopped(); }

 private:
  void show_progress(std::size_t rows) {
    if (window_.window_ && !window_.destroyed_) window_.show_fill_progress(label_, rows);
  }
  // A press that asks the stop question; Quit and Stop themselves act at once.
  bool interrupts(const MSG& message) const {
    switch (message.message) {
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
        if (is_stop_button(message.hwnd)) return false;
        return true;
      case WM_KEYDOWN:
        if (message.wParam == VK_ESCAPE) return false;
        if (message.wParam == VK_SPACE || message.wParam == VK_RETURN) return !is_stop_button(GetFocus());
        return true;
      case WM_NCLBUTTONDOWN:
        return message.wParam != HTCLOSE;
      case WM_NCRBUTTONDOWN:
        return true;
      default:
        return false;
    }
  }
  bool is_stop_button(HWND control) const {
    if (!control || GetParent(control) != window_.window_) return false;
    const int id = GetDlgCtrlID(control);
    return id == IDCANCEL || id == IDM_STOP_FILL;
  }
  // Only this window's own messages are taken (those of its controls
  // included): other windows and DDE wait until the fill is over.
  void pump() {
    MSG message;
    while (window_.window_ && !window_.destroyed_ && PeekMessageA(&message, window_.window_, 0, 0, PM_REMOVE)) {
      // the Stop (Cancel) button stops without being asked
      if (stop_question_ != 0 && interrupts(message) && GetDlgCtrlID(message.hwnd) != IDM_STOP_FILL) {
        if (window_.box(BoxKind::YesNo, stop_question_) == kAnswerYes) pacer_.request_stop();
        continue;
      }
      if (!IsDialogMessageA(window_.window_, &message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
    if (!window_.window_ || window_.destroyed_ || window_.quit_waiting_ || window_.close_waiting_)
      pacer_.request_stop();
  }

  ConnectorDialog& window_;
  std::string label_;
  int stop_question_;
  BusyScope busy_{Work::kFill};
  FillPacer pacer_;
  FillPacer* previous_ = nullptr;
};

void ConnectorDialog::show_fill_progress(const std::string& label, std::size_t rows) {
  if (progress_control() == 0) return;
  SetDlgItemTextA(window_, progress_control(), rows == 0 ? "" : (label + " " + std::to_string(rows)).c_str());
}

std::unique_ptr<FillWork> ConnectorDialog::fill(std::string label, int stop_question) {
  return std::make_unique<Fill>(*this, std::move(label), stop_question);
}

void ConnectorDialog::stop_fill() {
  if (active_pacer_) active_pacer_->request_stop();
}

// ---------------------------------------------------------------- routing

INT_PTR ConnectorDialog::route(HWND window, UINT message, WPARAM wparam, LPARAM lparam, Maker make, Slot slot) {
  auto* self = reinterpret_cast<ConnectorDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = make();
    self->window_ = window;
    self->slot_ = slot;
    if (const auto* start = reinterpret_cast<const std::any*>(lparam)) self->start_ = *start;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    set_window_of(slot, window);
    ++self->depth_;
    self->on_open();
    --self->depth_;
    settle(self);
    return TRUE;
  }
  if (!self) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    if (window_of(self->slot_) == window) set_window_of(self->slot_, nullptr);
    self->window_ = nullptr;
    self->destroyed_ = true;
    self->stop_fill();
    if (self->depth_ == 0) delete self;
    return FALSE;
  }
  ++self->depth_;
  const INT_PTR result = self->handle_message(message, wparam, lparam);
  --self->depth_;
  if (self->depth_ == 0) settle(self);
  return result;
}

INT_PTR ConnectorDialog::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      take_command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      for (auto& [id, view] : lists_) {
        LRESULT answer = 0;
        if (header && static_cast<int>(header->idFrom) == id && view->notify(*header, answer)) {
          SetWindowLongPtrA(window_, DWLP_MSGRESULT, answer);
          return TRUE;
        }
      }
      break;
    }
    case WM_SETCURSOR:
      if (fill_depth_ == 0) break;
      SetCursor(LoadCursor(nullptr, IDC_WAIT));
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    default:
      break;
  }
  INT_PTR result = FALSE;
  return on_message(message, wparam, lparam, result) ? result : FALSE;
}

void ConnectorDialog::take_command(int id, int notification, HWND from) {
  // A control's own notification comes from a child window; automation
  // presses and other windows' commands come without one.
  const bool from_user = from && IsChild(window_, from);
  command_value_ = reinterpret_cast<LPARAM>(from);
  switch (id) {
    case IDM_CLOSE_NOW:
      return close();
    case IDCANCEL:
      return quit_or_wait();
    case IDM_STOP_FILL:
      return stop_fill();
    case IDC_HELP_BUTTON:
      if (notification == BN_CLICKED) on_help();
      return;
    default:
      if (fill_depth_ == 0 || !from_user) on_command(id, notification);
      return;
  }
}

void ConnectorDialog::quit_or_wait() {
  if (fill_depth_ == 0) return on_quit();
  quit_waiting_ = true;
  stop_fill();
}

void ConnectorDialog::settle(ConnectorDialog* self) {
  if (!self->destroyed_ && self->fill_depth_ == 0 && (self->quit_waiting_ || self->close_waiting_)) {
    ++self->depth_;
    if (self->quit_waiting_) {
      self->quit_waiting_ = false;
      self->on_quit();
    }
    if (self->close_waiting_ && self->window_) {
      self->close_waiting_ = false;
      DestroyWindow(self->window_);
    }
    --self->depth_;
  }
  if (self->destroyed_ && self->depth_ == 0) delete self;
}

void ConnectorDialog::close() {
  if (!window_) return;
  if (fill_depth_ > 0) {
    close_waiting_ = true;
    stop_fill();
    return;
  }
  DestroyWindow(window_);
}

// ---------------------------------------------------------------- services

bool ConnectorDialog::automation() const { return settings().no_show != 0; }

int ConnectorDialog::box(BoxKind kind, int number, std::string_view detail, int automation_answer) {
  return connector_box(window_, kind, number, detail, automation_answer);
}

bool ConnectorDialog::put_clipboard(std::string_view text) { return put_clipboard_text(text, window_); }

void ConnectorDialog::empty_clipboard() {
  if (!OpenClipboard(connector_main_window())) return;
  EmptyClipboard();
  CloseClipboard();
}

ClipboardText ConnectorDialog::clipboard_text() {
  if (!OpenClipboard(connector_main_window())) return {kClipboardNotOpened, {}};
  ClipboardText out;
  if (HANDLE data = GetClipboardData(CF_TEXT); !data) {
    out.failure = kClipboardEmpty;
  } else if (const auto* bytes = static_cast<const char*>(GlobalLock(data)); !bytes) {
    out.failure = kClipboardNotLocked;
  } else {
    // The text ends at its terminator, and never beyond the block.
    const SIZE_T size = GlobalSize(data);
    const void* end = std::memchr(bytes, '\0', size);
    out.text.assign(bytes, end ? static_cast<std::size_t>(static_cast<const char*>(end) - bytes) : size);
    GlobalUnlock(data);
  }
  CloseClipboard();
  return out;
}

bool ConnectorDialog::save_settings() {
  const LifecycleHooks& hooks = lifecycle_hooks();
  return hooks.save_settings && hooks.save_settings();
}

void ConnectorDialog::hand_back(std::string text) { windows::hand_back(std::move(text)); }

void ConnectorDialog::open_window(Slot kind, std::any start) { windows::open_window(kind, window_, std::move(start)); }

void ConnectorDialog::close_window(Slot kind) { windows::close_window(kind); }

void ConnectorDialog::send_command(Slot kind, int command, std::intptr_t value) {
  windows::send_command(window_of(kind), command, static_cast<LPARAM>(value));
}

void ConnectorDialog::open_help(int topic) { windows::open_help(window_, topic); }

// ---------------------------------------------------------------- controls

std::string ConnectorDialog::text(int id) const {
  HWND item = control(id);
  if (!item) return {};
  std::string value(static_cast<std::size_t>(GetWindowTextLengthA(item)) + 1, '\0');
  const int length = GetWindowTextA(item, value.data(), static_cast<int>(value.size()));
  value.resize(static_cast<std::size_t>(std::clamp(length, 0, static_cast<int>(value.size()) - 1)));
  return value;
}

void ConnectorDialog::set_text(int id, std::string_view text) {
  SetDlgItemTextA(window_, id, std::string(text).c_str());
}

bool ConnectorDialog::checked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }

void ConnectorDialog::set_checked(int id, bool on) { CheckDlgButton(window_, id, on ? BST_CHECKED : BST_UNCHECKED); }

void ConnectorDialog::enable(int id, bool on) { EnableWindow(control(id), on ? TRUE : FALSE); }

void ConnectorDialog::set_combo_items(int id, const std::vector<std::string>& items) {
  HWND combo = control(id);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const auto& item : items) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void ConnectorDialog::attach_list(int id, ListView& view) {
  lists_.emplace_back(id, &view);
  view.attach(control(id));
}

// ---------------------------------------------------------------- clipboard

bool put_clipboard_text(std::string_view text, HWND box_owner) {
  constexpr std::size_t kStep = 16000;
  const std::size_t capacity = (text.size() + 1 + kStep - 1) / kStep * kStep;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, capacity);
  char* bytes = block ? static_cast<char*>(GlobalLock(block)) : nullptr;
  if (!bytes) {
    if (block) GlobalFree(block);
    connector_box(box_owner, BoxKind::Error, 62);
    return false;
  }
  std::memcpy(bytes, text.data(), text.size());
  bytes[text.size()] = '\0';
  GlobalUnlock(block);
  if (!OpenClipboard(connector_main_window())) {
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  const bool handed_over = SetClipboardData(CF_TEXT, block) != nullptr;
  CloseClipboard();
  if (!handed_over) GlobalFree(block);
  return handed_over;
}

}  // namespace kovo::windows
