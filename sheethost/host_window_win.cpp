#include "sheethost/host_window_win.h"


#include "sheethost/files.h"
#include "sheethost/xloper_codec.h"

namespace kovo::sheet {

namespace {

constexpr wchar_t kClassName[] = L"XLMAIN";  // the class add-ins look for to find the main window
constexpr int kFirstMenuId = 1000;

std::wstring widen(const std::string& text) {
  const std::u16string units = utf8_to_utf16(text);
  return std::wstring(units.begin(), units.end());
}

}  // namespace

HostWindow::HostWindow() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &HostWindow::window_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  hwnd_ = CreateWindowExW(0, kClassName, L"kovo-sheet", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 900, 600,
                          nullptr, nullptr, wc.hInstance, this);
}

HostWindow::~HostWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (font_) DeleteObject(font_);
}

void HostWindow::attach(CApi& api, Session& session) {
  api_ = &api;
  session_ = &session;
}

LRESULT CALLBACK HostWindow::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && self->hwnd_ == hwnd) return self->handle_message(message, wparam, lparam);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT HostWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      if (text_) MoveWindow(text_, 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE);
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (id >= kFirstMenuId && static_cast<std::size_t>(id - kFirstMenuId) < menu_paths_.size()) {
        run_menu_command(static_cast<std::size_t>(id - kFirstMenuId));
        return 0;
      }
      break;
    }
    case WM_CLOSE:
      ShowWindow(hwnd_, SW_HIDE);
      PostQuitMessage(0);
      return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void HostWindow::run_menu_command(std::size_t index) {
  if (!session_ || !api_) return;
  if (auto error = session_->run_command(menu_paths_[index])) api_->services().report(*error);
  api_->after_change();
  rebuild_menu();
  refresh();
}

void HostWindow::rebuild_menu() {
  if (!api_) return;
  HMENU bar = CreateMenu();
  menu_paths_.clear();
  MenuBar* worksheet = api_->menus().bar(1);
  for (const Menu& menu : worksheet->menus) {
    HMENU popup = CreatePopupMenu();
    for (const MenuCommand& command : menu.commands) {
      if (command.text == "-") {
        AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      const int id = kFirstMenuId + static_cast<int>(menu_paths_.size());
      menu_paths_.push_back(menu_display_text(menu.name) + "/" + menu_display_text(command.text));
      AppendMenuW(popup, MF_STRING | (command.enabled ? 0 : MF_GRAYED), static_cast<UINT_PTR>(id),
                  widen(command.text).c_str());
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), widen(menu.name).c_str());
  }
  HMENU old = GetMenu(hwnd_);
  SetMenu(hwnd_, bar);
  if (old) DestroyMenu(old);
}

void HostWindow::refresh() {
  if (!text_ || !api_) return;
  Sheet* sheet = api_->app().active_sheet();
  std::string shown = sheet ? Application::full_name(*sheet) + "\n\n" + print_sheet(*sheet) : "No workbook is open.";
  if (!api_->app().status_bar.empty()) shown = api_->app().status_bar + "\n\n" + shown;
  std::string crlf;
  for (char c : shown) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  SetWindowTextW(text_, widen(crlf).c_str());
}

void HostWindow::show() {
  if (!text_) {
    text_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY,
                            0, 0, 880, 540, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
    font_ = CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
    SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
  rebuild_menu();
  refresh();
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace kovo::sheet
