#include "sheethost/grid_window_win.h"

#include <windowsx.h>

#include <algorithm>

#include "sheethost/xloper_codec.h"

namespace kovo::sheet {

namespace {

constexpr wchar_t kGridClass[] = L"KovoSheetGrid";

const COLORREF kGridLine = RGB(218, 220, 224);
const COLORREF kHeaderFill = RGB(240, 240, 240);
const COLORREF kHeaderSelected = RGB(211, 223, 240);
const COLORREF kSelectedFill = RGB(225, 235, 250);
const COLORREF kActiveBorder = RGB(33, 115, 70);
const COLORREF kNoteMark = RGB(200, 30, 30);
const COLORREF kNoteFill = RGB(255, 255, 225);

std::wstring widen(const std::string& text) {
  const std::u16string units = utf8_to_utf16(text);
  return std::wstring(units.begin(), units.end());
}

void fill(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

void draw_text(HDC dc, const std::string& text, RECT r, Align align) {
  const std::wstring wide = widen(text);
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
  format |= align == Align::Right ? DT_RIGHT : align == Align::Center ? DT_CENTER : DT_LEFT;
  r.left += 3;
  r.right -= 3;
  DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r, format);
}

bool shift_down() { return GetKeyState(VK_SHIFT) < 0; }
bool control_down() { return GetKeyState(VK_CONTROL) < 0; }

}  // namespace

GridWindow::GridWindow(HWND parent, GridState& state, GridEvents events) : state_(state), events_(std::move(events)) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &GridWindow::window_proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32515));  // IDC_CROSS
  wc.lpszClassName = kGridClass;
  RegisterClassExW(&wc);
  font_ = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
  bold_ = CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
  hwnd_ = CreateWindowExW(WS_EX_CLIENTEDGE, kGridClass, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP,
                          0, 0, 100, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlId)),
                          wc.hInstance, this);
}

GridWindow::~GridWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (font_) DeleteObject(font_);
  if (bold_) DeleteObject(bold_);
}

LRESULT CALLBACK GridWindow::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* self = static_cast<GridWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<GridWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && self->hwnd_ == hwnd) return self->handle_message(message, wparam, lparam);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void GridWindow::update() {
  set_scroll_bars();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT GridWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SIZE:
      state_.set_size(LOWORD(lparam), HIWORD(lparam));
      update();
      return 0;
    case WM_ERASEBKGND: return 1;  // painted whole, off screen
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      RECT client;
      GetClientRect(hwnd_, &client);
      // Drawn into a bitmap first so that scrolling does not flicker.
      HDC memory = CreateCompatibleDC(dc);
      HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right), std::max<LONG>(1, client.bottom));
      HGDIOBJ old_bitmap = SelectObject(memory, bitmap);
      paint(memory, client);
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old_bitmap);
      DeleteObject(bitmap);
      DeleteDC(memory);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_WANTTAB;
    case WM_KEYDOWN:
      if (key_down(wparam)) return 0;
      break;
    case WM_CHAR: {
      const wchar_t c = static_cast<wchar_t>(wparam);
      if (c < 0x20 || c == 0x7F) return 0;  // control characters come as keys
      const XCHAR unit = c;
      state_.type(utf16_to_utf8(&unit, 1));
      if (events_.changed) events_.changed({});
      update();
      return 0;
    }
    case WM_LBUTTONDOWN:
      SetFocus(hwnd_);
      state_.click(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam), (wparam & MK_SHIFT) != 0);
      SetCapture(hwnd_);
      if (events_.changed) events_.changed({true, {}});
      update();
      return 0;
    case WM_MOUSEMOVE:
      if ((wparam & MK_LBUTTON) && GetCapture() == hwnd_) {
        const auto h = state_.hit(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
        if (h.kind == GridState::Hit::Kind::Cell && !(h.cell == state_.active())) {
          // Dragging stretches the selection; the anchor stays where the press was.
          state_.select(h.cell, true);
          if (events_.changed) events_.changed({});
          update();
        }
      }
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd_) ReleaseCapture();
      return 0;
    case WM_LBUTTONDBLCLK:
      state_.key(GridKey::Edit, false);
      if (events_.changed) events_.changed({});
      update();
      return 0;
    case WM_VSCROLL: scroll(SB_VERT, wparam); return 0;
    case WM_HSCROLL: scroll(SB_HORZ, wparam); return 0;
    case WM_MOUSEWHEEL: {
      const int notches = GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA;
      state_.scroll_by(-3 * notches, 0);
      update();
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(hwnd_, nullptr, FALSE); return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

bool GridWindow::key_down(WPARAM key) {
  const bool control = control_down();
  if (control) {
    int command = 0;
    switch (key) {
      case 'C': command = kCmdCopy; break;
      case 'V': command = kCmdPaste; break;
      case 'S': command = kCmdSave; break;
      case 'O': command = kCmdOpen; break;
      default: break;
    }
    if (command && events_.command) {
      events_.command(command);
      return true;
    }
  }
  if (key == VK_F9) {
    if (events_.command) events_.command(kCmdCalculateNow);
    return true;
  }
  GridKey grid_key;
  switch (key) {
    case VK_LEFT: grid_key = GridKey::Left; break;
    case VK_RIGHT: grid_key = GridKey::Right; break;
    case VK_UP: grid_key = GridKey::Up; break;
    case VK_DOWN: grid_key = GridKey::Down; break;
    case VK_TAB: grid_key = GridKey::Tab; break;
    case VK_RETURN: grid_key = GridKey::Enter; break;
    case VK_HOME: grid_key = GridKey::Home; break;
    case VK_PRIOR: grid_key = GridKey::PageUp; break;
    case VK_NEXT: grid_key = GridKey::PageDown; break;
    case VK_ESCAPE: grid_key = GridKey::Escape; break;
    case VK_F2: grid_key = GridKey::Edit; break;
    case VK_DELETE: grid_key = GridKey::Delete; break;
    case VK_BACK: grid_key = GridKey::Backspace; break;
    default: return false;
  }
  const GridOutcome outcome = state_.key(grid_key, shift_down());
  if (events_.changed) events_.changed(outcome);
  update();
  return true;
}

void GridWindow::scroll(int bar, WPARAM request) {
  SCROLLINFO info{sizeof info, SIF_ALL};
  GetScrollInfo(hwnd_, bar, &info);
  int position = info.nPos;
  const int page = std::max<int>(1, static_cast<int>(info.nPage) - 1);
  switch (LOWORD(request)) {
    case SB_LINEUP: position -= 1; break;
    case SB_LINEDOWN: position += 1; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = info.nTrackPos; break;
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = info.nMax; break;
    default: return;
  }
  if (bar == SB_VERT)
    state_.scroll_to(position, state_.left_col());
  else
    state_.scroll_to(state_.top_row(), position);
  update();
}

void GridWindow::set_scroll_bars() {
  SCROLLINFO v{sizeof v, SIF_RANGE | SIF_PAGE | SIF_POS};
  v.nMin = 0;
  v.nMax = std::max(state_.scroll_rows(), state_.top_row() + 1);
  v.nPage = static_cast<UINT>(std::max<std::size_t>(1, state_.visible_rows().size()));
  v.nPos = state_.top_row();
  SetScrollInfo(hwnd_, SB_VERT, &v, TRUE);
  SCROLLINFO h{sizeof h, SIF_RANGE | SIF_PAGE | SIF_POS};
  h.nMin = 0;
  h.nMax = std::max(state_.scroll_cols(), state_.left_col() + 1);
  h.nPage = static_cast<UINT>(std::max<std::size_t>(1, state_.visible_cols().size()));
  h.nPos = state_.left_col();
  SetScrollInfo(hwnd_, SB_HORZ, &h, TRUE);
}

void GridWindow::paint(HDC dc, const RECT& area) {
  fill(dc, area, RGB(255, 255, 255));
  Sheet* sheet = state_.sheet();
  if (!sheet) return;
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old_font = SelectObject(dc, font_);
  const auto rows = state_.visible_rows();
  const auto cols = state_.visible_cols();
  const Area selected = state_.selection();
  const CellPos active = state_.active();
  const int right = cols.empty() ? 0 : cols.back().start + cols.back().size;
  const int bottom = rows.empty() ? 0 : rows.back().start + rows.back().size;

  // Cells: selection fill, then text clipped to the cell.
  for (const auto& r : rows)
    for (const auto& c : cols) {
      const RECT cell{c.start, r.start, c.start + c.size, r.start + r.size};
      const bool is_active = r.index == active.row && c.index == active.col;
      if (selected.contains(r.index, c.index) && !is_active) fill(dc, cell, kSelectedFill);
      if (is_active && state_.editing()) {
        SetTextColor(dc, RGB(0, 0, 0));
        draw_text(dc, state_.entry(), cell, Align::Left);
        continue;
      }
      const ShownCell shown = shown_cell(*sheet, r.index, c.index);
      if (!shown.text.empty()) {
        SetTextColor(dc, RGB(0, 0, 0));
        draw_text(dc, shown.text, cell, shown.align);
      }
      if (shown.has_note) {
        // A red corner marks a cell that carries a note.
        HBRUSH brush = CreateSolidBrush(kNoteMark);
        HGDIOBJ old = SelectObject(dc, brush);
        HGDIOBJ old_pen = SelectObject(dc, GetStockObject(NULL_PEN));
        const POINT corner[3] = {{cell.right - 7, cell.top}, {cell.right, cell.top}, {cell.right, cell.top + 7}};
        Polygon(dc, corner, 3);
        SelectObject(dc, old_pen);
        SelectObject(dc, old);
        DeleteObject(brush);
      }
    }

  HPEN grid_pen = CreatePen(PS_SOLID, 1, kGridLine);
  HGDIOBJ old_pen = SelectObject(dc, grid_pen);
  for (const auto& r : rows) line(dc, 0, r.start + r.size - 1, right, r.start + r.size - 1);
  for (const auto& c : cols) line(dc, c.start + c.size - 1, 0, c.start + c.size - 1, bottom);
  SelectObject(dc, old_pen);
  DeleteObject(grid_pen);

  paint_headers(dc, rows, cols);

  // The active cell's frame.
  for (const auto& r : rows)
    for (const auto& c : cols)
      if (r.index == active.row && c.index == active.col) {
        HPEN pen = CreatePen(PS_SOLID, 2, kActiveBorder);
        HGDIOBJ old = SelectObject(dc, pen);
        HGDIOBJ old_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, c.start, r.start, c.start + c.size, r.start + r.size);
        SelectObject(dc, old_brush);
        SelectObject(dc, old);
        DeleteObject(pen);
      }
  paint_note(dc, rows, cols);
  SelectObject(dc, old_font);
}

void GridWindow::paint_headers(HDC dc, const std::vector<GridState::Line>& rows,
                               const std::vector<GridState::Line>& cols) {
  const GridMetrics& m = state_.metrics();
  const Area selected = state_.selection();
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(190, 190, 190));
  HGDIOBJ old_pen = SelectObject(dc, pen);
  SetTextColor(dc, RGB(60, 60, 60));
  fill(dc, RECT{0, 0, state_.width(), m.col_header_height}, kHeaderFill);
  fill(dc, RECT{0, 0, m.row_header_width, state_.height()}, kHeaderFill);
  for (const auto& c : cols) {
    const RECT r{c.start, 0, c.start + c.size, m.col_header_height};
    if (c.index >= selected.col1 && c.index <= selected.col2) fill(dc, r, kHeaderSelected);
    draw_text(dc, column_name(c.index), r, Align::Center);
    line(dc, r.right - 1, 0, r.right - 1, r.bottom);
  }
  for (const auto& row : rows) {
    const RECT r{0, row.start, m.row_header_width, row.start + row.size};
    if (row.index >= selected.row1 && row.index <= selected.row2) fill(dc, r, kHeaderSelected);
    draw_text(dc, std::to_string(row.index + 1), r, Align::Right);
    line(dc, 0, r.bottom - 1, r.right, r.bottom - 1);
  }
  line(dc, 0, m.col_header_height - 1, state_.width(), m.col_header_height - 1);
  line(dc, m.row_header_width - 1, 0, m.row_header_width - 1, state_.height());
  SelectObject(dc, old_pen);
  DeleteObject(pen);
}

// The active cell's note, in a box beside it.
void GridWindow::paint_note(HDC dc, const std::vector<GridState::Line>& rows,
                            const std::vector<GridState::Line>& cols) {
  const CellPos active = state_.active();
  const Cell* cell = state_.sheet()->find(active.row, active.col);
  if (!cell || cell->note.empty() || state_.editing()) return;
  for (const auto& r : rows)
    for (const auto& c : cols) {
      if (r.index != active.row || c.index != active.col) continue;
      const std::wstring text = widen(cell->note);
      RECT box{c.start + c.size + 6, r.start, c.start + c.size + 6 + 200, r.start + 20};
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
      box.right += 8;
      box.bottom += 6;
      HPEN pen = CreatePen(PS_SOLID, 1, RGB(120, 120, 120));
      HBRUSH brush = CreateSolidBrush(kNoteFill);
      HGDIOBJ old_pen = SelectObject(dc, pen);
      HGDIOBJ old_brush = SelectObject(dc, brush);
      Rectangle(dc, box.left, box.top, box.right, box.bottom);
      SelectObject(dc, old_brush);
      SelectObject(dc, old_pen);
      DeleteObject(brush);
      DeleteObject(pen);
      RECT inner{box.left + 4, box.top + 3, box.right - 4, box.bottom - 3};
      SetTextColor(dc, RGB(0, 0, 0));
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inner, DT_WORDBREAK | DT_NOPREFIX);
      // A line from the box to the cell's corner.
      line(dc, c.start + c.size, r.start + 2, box.left, box.top + 4);
    }
}

}  // namespace kovo::sheet
