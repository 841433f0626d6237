#include "sheethost/host_window_win.h"

#include <cstring>
#include <ostream>

#include "sheethost/files.h"
#include "sheethost/xll_host_win.h"

namespace kovo::sheet {

namespace {

constexpr wchar_t kClassName[] = L"XLMAIN";  // the class add-ins look for to find the main window
constexpr int kFirstMenuId = 1000;
constexpr int kClipboardTries = 50;

std::wstring widen(const std::string& text) {
  const std::u16string units = utf8_to_utf16(text);
  return std::wstring(units.begin(), units.end());
}

std::string narrow(const wchar_t* text, std::size_t length) {
  return utf16_to_utf8(reinterpret_cast<const XCHAR*>(text), length);
}

}  // namespace

HostWindow::HostWindow(bool interactive, std::ostream& err) : interactive_(interactive), err_(err) {
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

void HostWindow::attach(XllHost& host, CApi& api, Session& session) {
  host_ = &host;
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
      if (id >= kFirstMenuId && static_cast<std::size_t>(id - kFirstMenuId) < menu_paths_.size() && session_) {
        if (auto error = session_->run_command(menu_paths_[static_cast<std::size_t>(id - kFirstMenuId)]))
          report(*error);
        if (api_) api_->after_change();
        rebuild_menu();
        refresh();
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

// ---------------------------------------------------------------- clipboard

bool HostWindow::open_clipboard() {
  for (int i = 0; i < kClipboardTries; ++i) {
    if (OpenClipboard(hwnd_)) return true;
    Sleep(20);
  }
  return false;
}

std::optional<std::string> HostWindow::clipboard_text() {
  if (!open_clipboard()) return std::nullopt;
  std::optional<std::string> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
      const std::size_t limit = GlobalSize(data) / sizeof(wchar_t);
      std::size_t n = 0;
      while (n < limit && p[n]) ++n;
      text = narrow(p, n);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

bool HostWindow::set_clipboard_text(const std::string& text) {
  const std::wstring wide = widen(text);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
  if (!block) return false;
  auto* p = static_cast<wchar_t*>(GlobalLock(block));
  std::memcpy(p, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(block);
  if (!open_clipboard()) {
    GlobalFree(block);
    return false;
  }
  EmptyClipboard();
  const bool handed_over = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
  CloseClipboard();
  if (!handed_over) GlobalFree(block);
  return handed_over;
}

std::uint64_t HostWindow::clipboard_sequence() { return GetClipboardSequenceNumber(); }

// ------------------------------------------------------------- boxes, trace

bool HostWindow::alert(const std::string& text, int type) {
  if (!interactive_) {
    err_ << "kovo-sheet: alert: " << text << "\n";
    err_.flush();
    return true;  // a batch run takes the box's first button
  }
  UINT style = type == 1 ? MB_OKCANCEL | MB_ICONQUESTION : type == 3 ? MB_OK | MB_ICONWARNING : MB_OK | MB_ICONINFORMATION;
  return MessageBoxW(hwnd_, widen(text).c_str(), L"kovo-sheet", style) == IDOK;
}

void HostWindow::report(const std::string& text) {
  if (!interactive_) {
    err_ << "kovo-sheet: " << text << "\n";
    err_.flush();
    return;
  }
  MessageBoxW(hwnd_, widen(text).c_str(), L"kovo-sheet", MB_OK | MB_ICONWARNING);
}

std::intptr_t HostWindow::main_window() { return reinterpret_cast<std::intptr_t>(hwnd_); }
std::intptr_t HostWindow::instance() { return reinterpret_cast<std::intptr_t>(GetModuleHandleW(nullptr)); }

void HostWindow::trace(const std::string& line) {
  err_ << "trace: " << line << "\n";
  err_.flush();
}

std::string HostWindow::resolve_module(const std::string& module) { return host_ ? host_->resolve_module(module) : ""; }

bool HostWindow::open_addin(const std::string& path, std::string& error) {
  return host_ && host_->open_addin(path, false, error);
}

void* HostWindow::find_procedure(const std::string& module, const std::string& procedure) {
  return host_ ? host_->find_procedure(module, procedure) : nullptr;
}

std::optional<Oper> HostWindow::auto_register(const std::string& module, const std::string& procedure) {
  return host_ ? host_->auto_register(module, procedure) : std::nullopt;
}

}  // namespace kovo::sheet
