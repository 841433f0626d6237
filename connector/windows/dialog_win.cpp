#include "windows/dialog_win.h"

#include <algorithm>
#include <cstring>

#include "resources/resource_ids.h"
#include "entry/messages.h"
#include "entry/settings.h"
#include "windows/boxes_win.h"

namespace kovo::windows {

// ---------------------------------------------------------------- routing

INT_PTR ConnectorDialog::route(HWND window, UINT message, WPARAM wparam, LPARAM lparam, Maker make, Slot slot) {
  auto* self = reinterpret_cast<ConnectorDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (message == WM_INITDIALOG) {
    self = make();
    self->window_ = window;
    self->slot_ = slot;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    set_slot_window(slot, window);
    ++self->depth_;
    self->on_open();
    --self->depth_;
    settle(self);
    return TRUE;
  }
  if (!self) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    if (slot_window(self->slot_) == window) set_slot_window(self->slot_, nullptr);
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
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (id == IDM_CLOSE_NOW) {
        close();
      } else if (id == IDCANCEL) {
        quit_or_wait();
      } else if (fill_depth_ == 0) {
        on_command(id, HIWORD(wparam));
      }
      return TRUE;
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

void ConnectorDialog::stop_fill() {
  if (active_pacer_) active_pacer_->request_stop();
}

bool ConnectorDialog::automation() { return settings().no_show != 0; }

// ---------------------------------------------------------------- fills

ConnectorDialog::Fill::Fill(ConnectorDialog& window, int progress_control, std::string label)
    : window_(window),
      progress_control_(progress_control),
      label_(std::move(label)),
      pacer_(automation(), {[this](std::size_t rows) {
                              if (window_.window_)
                                SetDlgItemTextA(window_.window_, progress_control_,
                                                (label_ + " " + std::to_string(rows)).c_str());
                            },
                            [this] { window_.pump(); }}) {
  ++window_.fill_depth_;
  previous_ = window_.active_pacer_;
  window_.active_pacer_ = &pacer_;
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
}

ConnectorDialog::Fill::~Fill() {
  window_.active_pacer_ = previous_;
  --window_.fill_depth_;
  if (window_.window_) SetDlgItemTextA(window_.window_, progress_control_, "");
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
}

void ConnectorDialog::pump() {
  MSG message;
  while (window_ && !destroyed_ && PeekMessageA(&message, window_, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageA(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  if (!window_ || destroyed_ || quit_waiting_ || close_waiting_) stop_fill();
}

// ---------------------------------------------------------------- controls

std::string ConnectorDialog::text(int id) const {
  HWND item = control(id);
  if (!item) return {};
  std::string value(static_cast<std::size_t>(GetWindowTextLengthA(item)) + 1, '\0');
  const int length = GetWindowTextA(item, value.data(), static_cast<int>(value.size()));
  value.resize(static_cast<std::size_t>(std::max(length, 0)));
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

// ---------------------------------------------------------------- boxes

void ConnectorDialog::error_box(int number, std::string_view detail) {
  connector_box(window_, BoxKind::Error, number, detail);
}

void ConnectorDialog::information_box(int number) { connector_box(window_, BoxKind::Information, number); }

void ConnectorDialog::show_pending_failure() {
  if (!message_pending()) return;
  const int number = pending_number();
  const std::string detail(pending_detail());
  if (!automation()) clear_message();
  error_box(number, detail);
}

int ConnectorDialog::question_box(BoxKind kind, int number, std::string_view detail, int automation_answer) {
  return connector_box(window_, kind, number, detail, automation_answer);
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
