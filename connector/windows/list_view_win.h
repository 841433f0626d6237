// A list view control in report view driven by a ListModel: the control
// holds no rows of its own (its template must give it LVS_REPORT and
// LVS_OWNERDATA), asks for the texts of the rows it shows, sorts on a header
// click, and draws highlighted rows and alert cells. A ConnectorDialog
// routes the control's notifications here once attach_list names it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <optional>

#include "windows/list_model.h"

namespace kovo::windows {

class ListView {
 public:
  explicit ListView(ListModel& model) : model_(model) {}
  ListView(const ListView&) = delete;
  ListView& operator=(const ListView&) = delete;

  void attach(HWND list);
  HWND handle() const { return list_; }

  // The model's columns become the control's: titles, widths (0 when
  // hidden) and alignment.
  void show_columns();
  // The model's rows changed (more came, or new ones): the control shows
  // their number and draws again. Cheap enough to call after every few rows
  // of a fill.
  void refresh();

  // A notification of the control: true when taken, with its result.
  bool notify(const NMHDR& header, LRESULT& result);

  // The source row of the selected place, if any.
  std::optional<std::size_t> selected_row() const;

  static constexpr COLORREF kHighlight = RGB(192, 192, 192);
  static constexpr COLORREF kAlert = RGB(255, 0, 0);

 private:
  LRESULT custom_draw(NMLVCUSTOMDRAW& draw) const;

  ListModel& model_;
  HWND list_ = nullptr;
  int control_columns_ = 0;
};

}  // namespace kovo::windows
