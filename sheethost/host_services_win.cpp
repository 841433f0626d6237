#include "sheethost/host_services_win.h"

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "sheethost/xloper_codec.h"

namespace kovo::sheet {

namespace {

constexpr int kClipboardTries = 50;
constexpr wchar_t kBoxCaption[] = L"kovo-sheet";

std::wstring widen(const std::string& text) {
  const std::u16string units = utf8_to_utf16(text);
  return std::wstring(units.begin(), units.end());
}

std::string narrow(const wchar_t* text, std::size_t length) {
  return utf16_to_utf8(reinterpret_cast<const XCHAR*>(text), length);
}

std::string window_text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
  const int n = GetWindowTextW(window, buffer.data(), length + 1);
  std::string text = narrow(buffer.data(), static_cast<std::size_t>(std::max(n, 0)));
  // Boxes break lines with CR LF; the standard error stream takes LF.
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

std::string class_of(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

// The name of a box's button as the box shows it.
const char* button_name(int id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case IDTRYAGAIN: return "Try Again";
    case IDCONTINUE: return "Continue";
    default: return "its default button";
  }
}

}  // namespace

// Answers the message boxes (MessageBox and its kin) that add-ins raise on
// the host's thread in a batch run: each one is written to standard error
// and ended with its default button as soon as it is set up (its
// WM_INITDIALOG has returned), before it could wait for a person. A message box is a dialog of the system's own
// (its instance is user32's or none) with the text control 0xFFFF; dialogs
// of an add-in, made from its own templates, are left alone.
class WindowsServices::BoxAnswerer {
 public:
  explicit BoxAnswerer(std::ostream& err) : err_(err) {
    current_ = this;
    hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, &BoxAnswerer::hook, nullptr, GetCurrentThreadId());
  }
  ~BoxAnswerer() {
    if (hook_) UnhookWindowsHookEx(hook_);
    current_ = nullptr;
  }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;

 private:
  static LRESULT CALLBACK hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION && current_) {
      const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
      if (message->message == WM_INITDIALOG && is_message_box(message->hwnd)) current_->answer(message->hwnd);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }

  static bool is_message_box(HWND window) {
    if (class_of(window) != "#32770") return false;
    const auto instance = reinterpret_cast<HMODULE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    if (instance && instance != GetModuleHandleW(L"user32.dll")) return false;
    const HWND text = GetDlgItem(window, 0xFFFF);
    return text && class_of(text) == "Static";
  }

  // The button a person would press with Enter: the default push button,
  // else the first button.
  static HWND default_button(HWND box) {
    HWND first = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (class_of(child) != "Button") continue;
      if (!first) first = child;
      if ((GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return child;
    }
    return first;
  }

  void answer(HWND box) {
    const HWND button = default_button(box);
    const int id = button ? GetDlgCtrlID(button) : IDCANCEL;
    err_ << "kovo-sheet: box \"" << window_text(box) << "\" (answered " << button_name(id)
         << "): " << window_text(GetDlgItem(box, 0xFFFF)) << "\n";
    err_.flush();
    // Ended while it is being set up, the box is not waited on (nor, on
    // Windows, shown at all); MessageBox answers the button's id.
    EndDialog(box, id);
  }

  static BoxAnswerer* current_;
  std::ostream& err_;
  HHOOK hook_ = nullptr;
};

WindowsServices::BoxAnswerer* WindowsServices::BoxAnswerer::current_ = nullptr;

WindowsServices::WindowsServices(bool interactive, std::ostream& err) : interactive_(interactive), err_(err) {
  if (!interactive_) answerer_ = std::make_unique<BoxAnswerer>(err_);
}

WindowsServices::~WindowsServices() = default;

// ---------------------------------------------------------------- clipboard

bool WindowsServices::open_clipboard() {
  // Another program may hold the clipboard for a moment: try again a while.
  for (int i = 0; i < kClipboardTries; ++i) {
    if (OpenClipboard(window_)) return true;
    Sleep(20);
  }
  return false;
}

std::optional<std::string> WindowsServices::clipboard_text() {
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

bool WindowsServices::set_clipboard_text(const std::string& text) {
  const std::wstring wide = widen(text);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
  if (!block) return false;
  auto* p = static_cast<wchar_t*>(GlobalLock(block));
  if (!p) {
    GlobalFree(block);
    return false;
  }
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

std::uint64_t WindowsServices::clipboard_sequence() { return GetClipboardSequenceNumber(); }

// ------------------------------------------------------- boxes, status, trace

int WindowsServices::box(const std::string& prefix, const std::string& text, UINT style, int batch) {
  if (!interactive_) {
    err_ << "kovo-sheet: " << prefix << text << "\n";
    err_.flush();
    return batch;
  }
  return MessageBoxW(window_, widen(text).c_str(), kBoxCaption, style);
}

bool WindowsServices::alert(const std::string& text, int type) {
  // ALERT's types: 1 a question (OK and Cancel), 2 information, 3 a warning.
  const UINT style = type == 1 ? MB_OKCANCEL | MB_ICONQUESTION : type == 3 ? MB_OK | MB_ICONWARNING : MB_OK | MB_ICONINFORMATION;
  return box("alert: ", text, style, IDOK) == IDOK;  // a batch run takes the box's first button
}

void WindowsServices::report(const std::string& text) { box("", text, MB_OK | MB_ICONWARNING, IDOK); }

void WindowsServices::status_text(const std::string& text) {
  if (status_listener_) status_listener_(text);
}

std::intptr_t WindowsServices::main_window() { return reinterpret_cast<std::intptr_t>(window_); }
std::intptr_t WindowsServices::instance() { return reinterpret_cast<std::intptr_t>(GetModuleHandleW(nullptr)); }

void WindowsServices::trace(const std::string& line) {
  err_ << "trace: " << line << "\n";
  err_.flush();
}

}  // namespace kovo::sheet
