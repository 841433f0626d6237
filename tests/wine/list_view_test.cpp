// The ground's list view in a real list view control: a virtual list of
// 100,000 rows asks only for the rows it shows, a click on a column's
// header sorts by it and a second one turns it round, texts never overrun
// the control's buffer, highlighted rows and alert cells get their colours,
// and the selection maps back to the window's own rows.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "windows/list_model.h"
#include "windows/list_view_win.h"

using namespace kovo::windows;

namespace {

constexpr int kList = 100;

class CountingRows : public ListRows {
 public:
  std::size_t row_count() const override { return 100000; }
  std::string text(std::size_t row, std::size_t column) const override {
    ++asked;
    return column == 0 ? "row " + std::to_string(row) : std::to_string(number(row, column));
  }
  double number(std::size_t row, std::size_t) const override { return static_cast<double>((row * 7919) % 100000) - 50000; }
  mutable std::size_t asked = 0;
};

struct Window {
  CountingRows rows;
  ListModel model{rows, {{"Row", 120, Align::Left, SortKey::Text}, {"Amount", 90, Align::Right, SortKey::Number}}};
  ListView view{model};
  HWND dialog = nullptr;

  static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<Window*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      self->view.attach(GetDlgItem(dialog, kList));
      return TRUE;
    }
    if (self && message == WM_NOTIFY) {
      LRESULT result = 0;
      if (self->view.notify(*reinterpret_cast<NMHDR*>(lparam), result)) {
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, result);
        return TRUE;
      }
    }
    return FALSE;
  }
  Window() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    dialog = CreateDialogParamA(GetModuleHandleA(nullptr), "LISTVIEWTEST", nullptr, procedure,
                                reinterpret_cast<LPARAM>(this));
  }
  ~Window() {
    if (dialog) DestroyWindow(dialog);
  }
  HWND list() const { return GetDlgItem(dialog, kList); }
  std::string item_text(int place, int column, int capacity = 64) const {
    std::string buffer(static_cast<std::size_t>(capacity), '\0');
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = capacity;
    const auto length = SendMessageA(list(), LVM_GETITEMTEXTA, static_cast<WPARAM>(place), reinterpret_cast<LPARAM>(&item));
    return std::string(item.pszText, static_cast<std::size_t>(length));
  }
  // Clicks a column's header as a user does.
  void click_header(int column) const {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list(), LVM_GETHEADER, 0, 0));
    RECT r{};
    SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(header, WM_LBUTTONUP, 0, at);
  }
  void pump() const {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
};

TEST(ListView, AHundredThousandRowsAskOnlyForTheRowsShown) {
  Window w;
  ASSERT_TRUE(w.dialog);
  ShowWindow(w.dialog, SW_SHOW);
  UpdateWindow(w.dialog);
  w.pump();
  EXPECT_EQ(SendMessageA(w.list(), LVM_GETITEMCOUNT, 0, 0), 100000);
  EXPECT_LT(w.rows.asked, 1000u) << "only the rows on screen were asked for";
  EXPECT_EQ(w.item_text(99999, 0), "row 99999");
  EXPECT_EQ(w.item_text(99999, 0, 4), "row") << "cut to the control's buffer";
  HWND header = reinterpret_cast<HWND>(SendMessageA(w.list(), LVM_GETHEADER, 0, 0));
  EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 2);
}

TEST(ListView, HeaderClicksSortUpThenDownAndTheSelectionFindsItsRow) {
  Window w;
  ShowWindow(w.dialog, SW_SHOW);
  w.pump();
  w.click_header(1);
  w.pump();
  ASSERT_EQ(w.model.sort_column(), 1u);
  EXPECT_EQ(w.item_text(0, 1), std::to_string(-50000.0)) << "the lowest amount first";
  w.click_header(1);
  w.pump();
  EXPECT_TRUE(w.model.descending());
  EXPECT_EQ(w.item_text(0, 1), std::to_string(49999.0));

  LVITEMA state{};
  state.stateMask = LVIS_SELECTED;
  state.state = LVIS_SELECTED;
  SendMessageA(w.list(), LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));
  ASSERT_TRUE(w.view.selected_row().has_value());
  EXPECT_EQ(*w.view.selected_row(), w.model.row_at(2));
  EXPECT_EQ(w.item_text(2, 0), "row " + std::to_string(w.model.row_at(2)));
}

TEST(ListView, HighlightedRowsAndAlertCellsGetTheirColours) {
  Window w;
  ShowWindow(w.dialog, SW_SHOW);
  w.pump();
  w.model.set_highlight([&](std::size_t row) { return w.rows.number(row, 1) >= 40000; });
  w.model.set_alert([&](std::size_t row, std::size_t column) { return column == 1 && w.rows.number(row, 1) < 0; });
  w.click_header(1);
  w.click_header(1);  // descending: the highest amounts first
  // The drawing stages as the control sends them to its window.
  NMLVCUSTOMDRAW draw{};
  draw.nmcd.hdr.hwndFrom = w.list();
  draw.nmcd.hdr.idFrom = kList;
  draw.nmcd.hdr.code = NM_CUSTOMDRAW;
  auto send = [&] {
    SendMessageA(w.dialog, WM_NOTIFY, kList, reinterpret_cast<LPARAM>(&draw));
    return GetWindowLongPtrA(w.dialog, DWLP_MSGRESULT);
  };
  draw.nmcd.dwDrawStage = CDDS_PREPAINT;
  EXPECT_EQ(send(), CDRF_NOTIFYITEMDRAW);
  draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
  draw.nmcd.dwItemSpec = 0;
  draw.iSubItem = 1;
  send();
  EXPECT_EQ(draw.clrTextBk, ListView::kHighlight);
  EXPECT_NE(draw.clrText, ListView::kAlert);
  draw.nmcd.dwItemSpec = 99999;  // the lowest amount
  send();
  EXPECT_NE(draw.clrTextBk, ListView::kHighlight);
  EXPECT_EQ(draw.clrText, ListView::kAlert);
  draw.iSubItem = 0;
  send();
  EXPECT_NE(draw.clrText, ListView::kAlert) << "only the amount cell";
  draw.nmcd.dwItemSpec = 200000;  // past the rows: drawn as the control likes
  draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
  EXPECT_EQ(send(), CDRF_DODEFAULT);
}

}  // namespace
