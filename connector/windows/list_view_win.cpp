#include "windows/list_view_win.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace kovo::windows {
namespace {

int format_of(Align align) {
  switch (align) {
    case Align::Right: return LVCFMT_RIGHT;
    case Align::Center: return LVCFMT_CENTER;
    case Align::Left: break;
  }
  return LVCFMT_LEFT;
}

// Copies a cell's text into the control's buffer, cut to fit.
void copy_text(const std::string& text, char* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  const std::size_t length = std::min(text.size(), static_cast<std::size_t>(capacity - 1));
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

void copy_text(const std::string& text, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return;
  const int written = text.empty() ? 0
                                   : MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                                         buffer, capacity - 1);
  buffer[std::clamp(written, 0, capacity - 1)] = L'\0';
}

}  // namespace

void ListView::attach(HWND list) {
  list_ = list;
  if (!list_) return;
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  show_columns();
  refresh();
}

void ListView::show_columns() {
  if (!list_) return;
  while (control_columns_ > 0) SendMessageA(list_, LVM_DELETECOLUMN, static_cast<WPARAM>(--control_columns_), 0);
  const auto& columns = model_.columns();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = format_of(columns[c].align);
    column.cx = columns[c].shown ? columns[c].width : 0;
    column.pszText = const_cast<char*>(columns[c].title.c_str());
    column.iSubItem = static_cast<int>(c);
    if (SendMessageA(list_, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column)) >= 0) ++control_columns_;
  }
}

void ListView::refresh() {
  if (!list_) return;
  model_.rows_changed();
  SendMessageA(list_, LVM_SETITEMCOUNT, model_.size(), LVSICF_NOSCROLL);
  InvalidateRect(list_, nullptr, FALSE);
}

void ListView::rows_appended() {
  if (!list_) return;
  model_.rows_changed();
  SendMessageA(list_, LVM_SETITEMCOUNT, model_.size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
}

bool ListView::notify(const NMHDR& header, LRESULT& result) {
  result = 0;
  switch (header.code) {
    case LVN_GETDISPINFOA: {
      auto& info = reinterpret_cast<NMLVDISPINFOA&>(const_cast<NMHDR&>(header));
      if (info.item.mask & LVIF_TEXT)
        copy_text(model_.text(static_cast<std::size_t>(info.item.iItem), static_cast<std::size_t>(info.item.iSubItem)),
                  info.item.pszText, info.item.cchTextMax);
      return true;
    }
    case LVN_GETDISPINFOW: {
      auto& info = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header));
      if (info.item.mask & LVIF_TEXT)
        copy_text(model_.text(static_cast<std::size_t>(info.item.iItem), static_cast<std::size_t>(info.item.iSubItem)),
                  info.item.pszText, info.item.cchTextMax);
      return true;
    }
    case LVN_COLUMNCLICK: {
      const auto& click = reinterpret_cast<const NMLISTVIEW&>(header);
      if (click.iSubItem < 0) return true;
      model_.click_column(static_cast<std::size_t>(click.iSubItem));
      InvalidateRect(list_, nullptr, FALSE);
      if (sorted_) sorted_();
      return true;
    }
    case NM_DBLCLK:
    case NM_RETURN: {
      if (const auto row = selected_row(); row && activated_) activated_(*row);
      return true;
    }
    case LVN_ODFINDITEMA:
    case LVN_ODFINDITEMW:
      result = -1;  // rows are not looked up by their text
      return true;
    case NM_CUSTOMDRAW:
      result = custom_draw(reinterpret_cast<NMLVCUSTOMDRAW&>(const_cast<NMHDR&>(header)));
      return true;
    default:
      return false;
  }
}

LRESULT ListView::custom_draw(NMLVCUSTOMDRAW& draw) const {
  const auto place = static_cast<std::size_t>(draw.nmcd.dwItemSpec);
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      if (place >= model_.size()) return CDRF_DODEFAULT;
      // The selection's colours are drawn here, so that a selected row
      // can still show its emphasis: the control would paint over them.
      draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
      return CDRF_NOTIFYSUBITEMDRAW | CDRF_NEWFONT;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      if (place >= model_.size()) return CDRF_DODEFAULT;
      draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
      const bool alert = model_.alert(place, static_cast<std::size_t>(draw.iSubItem));
      if (selected(place)) {
        draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
        draw.clrText = alert ? kAlert
                       : model_.emphasised_when_selected(place) ? kHighlight
                                                                 : GetSysColor(COLOR_HIGHLIGHTTEXT);
      } else {
        draw.clrTextBk = model_.highlighted(place) ? kHighlight : GetSysColor(COLOR_WINDOW);
        draw.clrText = alert ? kAlert : GetSysColor(COLOR_WINDOWTEXT);
      }
      return CDRF_NEWFONT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

bool ListView::selected(std::size_t place) const {
  return list_ && (SendMessageA(list_, LVM_GETITEMSTATE, place, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

std::optional<std::size_t> ListView::selected_row() const {
  if (!list_) return std::nullopt;
  const LRESULT place = SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  if (place < 0 || static_cast<std::size_t>(place) >= model_.size()) return std::nullopt;
  return model_.row_at(static_cast<std::size_t>(place));
}

}  // namespace kovo::windows
