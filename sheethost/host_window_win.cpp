#include "sheethost/host_window_win.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>

#include "sdk/excel/xlcall.h"
#include "sheethost/calc.h"
#include "sheethost/files.h"
#include "sheethost/grid_window_win.h"
#include "sheethost/xloper_codec.h"

namespace kovo::sheet {

namespace {

constexpr wchar_t kClassName[] = L"XLMAIN";  // the class add-ins look for to find the main window
constexpr wchar_t kTitle[] = L"kovo-sheet";
constexpr int kFirstMenuId = 1000;
constexpr int kFormulaBarHeight = 24;
constexpr int kNameBoxWidth = 90;
constexpr int kTabsHeight = 26;

std::wstring widen(const std::string& text) {
  const std::u16string units = utf8_to_utf16(text);
  return std::wstring(units.begin(), units.end());
}

std::string narrow(const std::wstring& text) {
  return utf16_to_utf8(reinterpret_cast<const XCHAR*>(text.data()), text.size());
}

std::string window_text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(std::max(0, length)) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(0, got)));
  return narrow(text);
}

// The host's own items, before what add-ins put into the same menus.
struct HostItem {
  const char* menu;
  const wchar_t* text;  // nullptr: a separator
  int command;
};
constexpr HostItem kHostItems[] = {
    {"File", L"&Open...\tCtrl+O", kCmdOpen},
    {"File", L"&Save\tCtrl+S", kCmdSave},
    {"File", L"Save &As...", kCmdSaveAs},
    {"File", nullptr, 0},
    {"File", L"&Import CSV...", kCmdImport},
    {"File", L"&Export CSV...", kCmdExport},
    {"Edit", L"&Copy\tCtrl+C", kCmdCopy},
    {"Edit", L"&Paste\tCtrl+V", kCmdPaste},
    {"Edit", L"Clear Co&ntents\tDel", kCmdClear},
    {"Tools", L"Calculate &Now\tF9", kCmdCalculateNow},
    {"Tools", L"&Automatic Calculation", kCmdAutomatic},
    {"Tools", L"&Manual Calculation", kCmdManual},
};

}  // namespace

HostWindow::HostWindow() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &HostWindow::window_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  hwnd_ = CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                          1000, 680, nullptr, nullptr, wc.hInstance, this);
}

HostWindow::~HostWindow() {
  grid_window_.reset();
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

// The formula bar's own keys: Enter enters the text into the active cell,
// Escape drops it; both hand the keyboard back to the grid.
LRESULT CALLBACK HostWindow::formula_bar_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<HostWindow*>(GetPropW(hwnd, L"KovoHostWindow"));
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_KEYDOWN && (wparam == VK_RETURN || wparam == VK_ESCAPE)) {
    if (wparam == VK_RETURN) {
      if (!self->grid_.editing()) self->grid_.begin_entry(window_text(hwnd));
      self->grid_.set_entry(window_text(hwnd));
      const GridOutcome outcome = self->grid_.commit(1, 0);
      self->grid_changed(outcome);
      if (outcome.error) return 0;
    } else {
      self->grid_.cancel_entry();
      self->grid_changed({});
    }
    SetFocus(self->grid_window_->handle());
    return 0;
  }
  if (message == WM_CHAR && (wparam == '\r' || wparam == 27)) return 0;  // no beep for the keys above
  return CallWindowProcW(self->formula_bar_default_, hwnd, message, wparam, lparam);
}

void HostWindow::create_children() {
  if (grid_window_) return;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  font_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
  auto child = [&](DWORD ex, const wchar_t* cls, DWORD style, int id) {
    HWND h = CreateWindowExW(ex, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return h;
  };
  name_box_ = child(WS_EX_CLIENTEDGE, L"STATIC", SS_CENTER | SS_CENTERIMAGE, kNameBoxId);
  formula_bar_ = child(WS_EX_CLIENTEDGE, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, kFormulaBarId);
  SetPropW(formula_bar_, L"KovoHostWindow", this);
  formula_bar_default_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(formula_bar_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostWindow::formula_bar_proc)));
  tabs_ = child(0, WC_TABCONTROLW, TCS_BOTTOM | TCS_FOCUSNEVER, kTabsId);
  status_ = child(0, STATUSCLASSNAMEW, SBARS_SIZEGRIP, kStatusId);
  GridEvents events;
  events.changed = [this](const GridOutcome& outcome) { grid_changed(outcome); };
  events.command = [this](int command) { run_host_command(command); };
  grid_window_ = std::make_unique<GridWindow>(hwnd_, grid_, std::move(events));
}

void HostWindow::layout() {
  if (!grid_window_) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  SendMessageW(status_, WM_SIZE, 0, 0);
  RECT status_rect{};
  GetWindowRect(status_, &status_rect);
  const int status_height = status_rect.bottom - status_rect.top;
  const int width = client.right;
  const int grid_top = kFormulaBarHeight + 2;
  const int tabs_top = std::max(grid_top, static_cast<int>(client.bottom) - status_height - kTabsHeight);
  MoveWindow(name_box_, 2, 2, kNameBoxWidth, kFormulaBarHeight - 2, TRUE);
  MoveWindow(formula_bar_, kNameBoxWidth + 6, 2, std::max(10, width - kNameBoxWidth - 8), kFormulaBarHeight - 2, TRUE);
  MoveWindow(grid_window_->handle(), 0, grid_top, width, tabs_top - grid_top, TRUE);
  MoveWindow(tabs_, 0, tabs_top, width, kTabsHeight, TRUE);
}

LRESULT HostWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE: layout(); return 0;
    case WM_SETFOCUS:
      if (grid_window_) SetFocus(grid_window_->handle());
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      if (reinterpret_cast<HWND>(lparam) == formula_bar_ && formula_bar_) {
        // Typing in the formula bar is an entry into the active cell.
        if (HIWORD(wparam) == EN_CHANGE && !setting_formula_bar_) {
          grid_.set_entry(window_text(formula_bar_));
          grid_window_->update();
        }
        return 0;
      }
      if (id >= kFirstMenuId && static_cast<std::size_t>(id - kFirstMenuId) < menu_paths_.size()) {
        run_menu_command(static_cast<std::size_t>(id - kFirstMenuId));
        return 0;
      }
      if (id >= kCmdOpen && id <= kCmdManual) {
        run_host_command(id);
        return 0;
      }
      break;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE && api_) {
        Workbook* book = api_->app().active_book();
        const int index = static_cast<int>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
        if (book && index >= 0 && static_cast<std::size_t>(index) < book->sheets().size()) {
          if (grid_.editing()) grid_changed(grid_.commit(0, 0));
          book->activate(*book->sheets()[static_cast<std::size_t>(index)]);
          refresh();
          SetFocus(grid_window_->handle());
        }
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

void HostWindow::report(const std::string& text) {
  if (api_) api_->services().report(text);
}

void HostWindow::run_menu_command(std::size_t index) {
  if (!session_ || !api_) return;
  if (grid_.editing()) grid_changed(grid_.commit(0, 0));
  if (auto error = session_->run_command(menu_paths_[index])) report(*error);
  api_->after_change();
  rebuild_menu();
  refresh();
}

void HostWindow::run_host_command(int command) {
  if (!api_) return;
  if (grid_.editing() && command != kCmdCopy) grid_changed(grid_.commit(0, 0));
  Oper result;
  switch (command) {
    case kCmdOpen: open_file(false); break;
    case kCmdImport: open_file(true); break;
    case kCmdSave: save(false); break;
    case kCmdSaveAs: save(true); break;
    case kCmdExport: export_csv(); break;
    case kCmdExit: PostMessageW(hwnd_, WM_CLOSE, 0, 0); break;
    case kCmdCopy:
      if (api_->call(xlcCopy, {}, result) != xlretSuccess) report("The selection could not be copied.");
      break;
    case kCmdPaste:
      if (api_->call(xlcPaste, {}, result) != xlretSuccess) report("The clipboard holds nothing to paste here.");
      break;
    case kCmdClear: grid_changed(grid_.key(GridKey::Delete, false)); break;
    case kCmdCalculateNow: api_->call(xlcCalculateNow, {}, result); break;
    case kCmdAutomatic:
      api_->app().calc_mode = CalcMode::Automatic;
      api_->after_change();
      break;
    case kCmdManual: api_->app().calc_mode = CalcMode::Manual; break;
    default: break;
  }
  rebuild_menu();
  refresh();
}

void HostWindow::open_file(bool import) {
  const std::string path = import ? ask_file_name(false, L"CSV files (*.csv)\0*.csv\0All files\0*.*\0", L"csv")
                                  : ask_file_name(false,
                                                  L"Workbooks (*.json;*.xlsx;*.csv)\0*.json;*.xlsx;*.csv\0All files\0*.*\0",
                                                  L"json");
  if (path.empty()) return;
  if (auto error = api_->open_document(path)) report(*error);
}

void HostWindow::save(bool ask) {
  Workbook* book = api_->app().active_book();
  if (!book) return;
  std::string path = book->path();
  if (ask || path.empty() || (file_kind(path) != FileKind::Workbook && file_kind(path) != FileKind::Xlsx))
    path = ask_file_name(true, L"Workbooks (*.json)\0*.json\0Excel workbooks (*.xlsx)\0*.xlsx\0CSV (*.csv)\0*.csv\0",
                         L"json");
  if (path.empty()) return;
  if (auto error = save_document(*book, path)) report(*error);
}

void HostWindow::export_csv() {
  Sheet* sheet = api_->app().active_sheet();
  if (!sheet) return;
  const std::string path = ask_file_name(true, L"CSV files (*.csv)\0*.csv\0", L"csv");
  if (path.empty()) return;
  if (auto error = export_csv_file(*sheet, path)) report(*error);
}

std::string HostWindow::ask_file_name(bool saving, const wchar_t* filter, const wchar_t* extension) {
  wchar_t file[MAX_PATH] = {};
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = hwnd_;
  dialog.lpstrFilter = filter;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = extension;
  dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | (saving ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  const BOOL chosen = saving ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  return chosen ? narrow(file) : std::string();
}

void HostWindow::rebuild_menu() {
  if (!api_) return;
  HMENU bar = CreateMenu();
  menu_paths_.clear();
  MenuBar* worksheet = api_->menus().bar(1);
  for (const Menu& menu : worksheet->menus) {
    HMENU popup = CreatePopupMenu();
    bool has_items = false;
    for (const HostItem& item : kHostItems) {
      if (!same_menu_text(menu.name, item.menu)) continue;
      UINT flags = item.text ? MF_STRING : MF_SEPARATOR;
      const CalcMode mode = api_->app().calc_mode;
      if ((item.command == kCmdAutomatic && mode == CalcMode::Automatic) ||
          (item.command == kCmdManual && mode == CalcMode::Manual))
        flags |= MF_CHECKED;
      AppendMenuW(popup, flags, static_cast<UINT_PTR>(item.command), item.text);
      has_items = true;
    }
    if (has_items && !menu.commands.empty()) AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    for (const MenuCommand& command : menu.commands) {
      if (command.text == "-") {
        AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        continue;
      }
      const int id = kFirstMenuId + static_cast<int>(menu_paths_.size());
      menu_paths_.push_back(menu_display_text(menu.name) + "/" + menu_display_text(command.text));
      AppendMenuW(popup, MF_STRING | (command.enabled ? 0 : MF_GRAYED) | (command.checked ? MF_CHECKED : 0),
                  static_cast<UINT_PTR>(id), widen(command.text).c_str());
      has_items = true;
    }
    if (same_menu_text(menu.name, "File")) {
      AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(popup, MF_STRING, kCmdExit, L"E&xit");
      has_items = true;
    }
    // Built-in menus that nothing fills stay off the bar.
    if (!has_items && menu.built_in) {
      DestroyMenu(popup);
      continue;
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), widen(menu.name).c_str());
  }
  HMENU old = GetMenu(hwnd_);
  SetMenu(hwnd_, bar);
  if (old) DestroyMenu(old);
}

void HostWindow::follow_active_sheet() {
  Application& app = api_->app();
  if (!app.active_book()) app.new_workbook();
  Sheet* active = app.active_sheet();
  Sheet* shown = shown_sheet_ ? app.find_sheet(shown_sheet_) : nullptr;
  if (shown != active || shown != grid_.sheet()) {
    grid_.show(active);
    shown_sheet_ = active ? active->id() : 0;
    return;
  }
  // A command may have moved the selection: the grid takes it over, keeping its place.
  const bool moved = !(active->active_cell == grid_.active()) || active->selection.size() != 1 ||
                     !(active->selection.front() == grid_.selection());
  if (moved && !grid_.editing()) {
    const int top = grid_.top_row(), left = grid_.left_col();
    grid_.show(active);
    grid_.scroll_to(top, left);
    grid_.ensure_visible(grid_.active());
  }
}

void HostWindow::rebuild_tabs() {
  Workbook* book = api_->app().active_book();
  std::vector<std::string> names;
  if (book)
    for (const auto& sheet : book->sheets()) names.push_back(sheet->name());
  if (names != tab_names_) {
    SendMessageW(tabs_, TCM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < names.size(); ++i) {
      std::wstring text = widen(names[i]);
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = text.data();
      SendMessageW(tabs_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    tab_names_ = std::move(names);
  }
  if (book) SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(book->sheet_index(&book->active_sheet())), 0);
}

void HostWindow::show_formula_bar() {
  const CellPos active = grid_.active();
  const Area selected = grid_.selection();
  const std::string name = selected.single_cell() ? column_name(active.col) + std::to_string(active.row + 1)
                                                  : std::to_string(selected.rows()) + "R x " +
                                                        std::to_string(selected.cols()) + "C";
  SetWindowTextW(name_box_, widen(name).c_str());
  // While the formula bar is being typed in, its text is the entry itself.
  if (GetFocus() == formula_bar_ && grid_.editing()) return;
  setting_formula_bar_ = true;
  SetWindowTextW(formula_bar_, widen(grid_.formula_bar_text()).c_str());
  setting_formula_bar_ = false;
}

void HostWindow::show_status() {
  const Application& app = api_->app();
  std::string text = app.status_bar.empty() ? (grid_.editing() ? "Enter" : "Ready") : app.status_bar;
  if (app.calc_mode == CalcMode::Manual && api_->app().calculator().needs_recalculation()) text += "    Calculate";
  SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(widen(text).c_str()));
  std::string title = "kovo-sheet";
  if (Workbook* book = app.active_book()) title += " - " + book->name();
  SetWindowTextW(hwnd_, widen(title).c_str());
}

void HostWindow::grid_changed(const GridOutcome& outcome) {
  if (!api_) return;
  if (outcome.cells_changed) api_->after_change();
  show_formula_bar();
  show_status();
  if (outcome.error) report("The formula has an error: " + *outcome.error);
}

void HostWindow::refresh() {
  if (!api_ || !grid_window_) return;
  follow_active_sheet();
  rebuild_tabs();
  show_formula_bar();
  show_status();
  grid_window_->update();
}

void HostWindow::show() {
  create_children();
  rebuild_menu();
  layout();
  refresh();
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  SetFocus(grid_window_->handle());
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace kovo::sheet
