// A list view control in report view driven by a ListModel: the control
// holds no rows of its own (its template must give it LVS_REPORT and
// LVS_OWNERDATA), asks for the texts of the rows it shows, sorts on a header
// click, and draws highlighted rows and alert cells. A ConnectorDialog
// routes the control's notifications here once attach_list names it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
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
  // The model's rows changed (new ones, another order): the control shows
  // their number and draws again.
  void refresh();
  // More rows came after the known ones, in the order they came: the
  // control takes their number and draws only those of them in view, so
  // that a long fill costs no drawing once the view is full.
  void rows_appended();

  // A notification of the control: true when taken, with its result.
  bool notify(const NMHDR& header, LRESULT& result);

  // A row chosen by a double click or Enter: its source row.
  void on_activate(std::function<void(std::size_t row)> activated) { activated_ = std::move(activated); }
  // A header click sorted the rows.
  void on_sorted(std::function<void()> sorted) { sorted_ = std::move(sorted); }

  // The source row of the selected place, if any.
  std::optional<std::size_t> selected_row() const;

  static constexpr COLORREF kHighlight = RGB(192, 192, 192);
  static constexpr COLORREF kAlert = RGB(255, 0, 0);

 private:
  LRESULT custom_draw(NMLVCUSTOMDRAW& draw) const;

  bool selected(std::size_t place) const;

  ListModel& model_;
  HWND list_ = nullptr;
  int control_columns_ = 0;
  std::function<void(std::size_t)> activated_;
  std::function<void()> sorted_;
};

}  // namespace kovo::windows
