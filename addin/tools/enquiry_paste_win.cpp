// GLPaste: the account enquiry on the clipboard becomes labelled parameter
// cells and a GL formula at the active cell (the layout is
// enquiry_paste.cpp's). When the clipboard holds no enquiry, the
// connector's enquiry window is asked once to put one there.
#include <windows.h>

#include <string>

#include "addin/core/addin_win.h"
#include "addin/core/clipboard_win.h"
#include "addin/core/conversations_win.h"
#include "addin/core/excel_win.h"
#include "addin/core/messages.h"
#include "addin/tools/enquiry_paste.h"
#include "addin/tools/tool_commands_win.h"

namespace kovo::addin::tools {
namespace {

using xl::Answer;
using xl::Oper;

constexpr int kEntireRow = 3;
constexpr int kEntireColumn = 4;

void tell(int message, UINT icon) {
  xl::message_box(addin_message(message), std::string(kEnquiryPasteCaption), MB_OK | icon | MB_TASKMODAL);
}

// The enquiry table on the clipboard, or the message that says why there
// is none (shown here when the clipboard could not be opened).
EnquiryReading read_table() {
  const ClipboardText clip = read_clipboard_text(xl::main_window());
  if (!clip.opened) {
    tell(kMsgClipboardNotOpened, MB_ICONEXCLAMATION);
    return {kMsgClipboardNotOpened, {}};
  }
  return read_enquiry_table(clip.text);
}

PasteStyle paste_style() {
  const AddinSettings& s = settings();
  PasteStyle style;
  style.ngl = s.create_ngl_functions != 0;
  style.list_separator = s.list_separator.empty() ? ',' : s.list_separator[0];
  return style;
}

}  // namespace

int enquiry_paste() {
  EnquiryReading reading = read_table();
  if (reading.failure == kMsgClipboardNotOpened) return 1;
  if (reading.failure != 0) {
    conversations::send_command(kInquireNoShow);
    reading = read_table();
    if (reading.failure == kMsgClipboardNotOpened) return 1;
    if (reading.failure != 0) {
      tell(reading.failure, MB_ICONINFORMATION);
      return 1;
    }
  }
  const Answer active = xl::call(xlfActiveCell);
  if (!active.ok() || !active.value.is_reference()) return 1;
  const xl::Area at = active.value.areas().front();
  const PastePlan plan = plan_enquiry_paste(reading.table, at.first_row, at.first_column, paste_style());

  xl::call(xlcSelect, {Oper::cell(0, 0)});
  xl::call(xlcInsert, {Oper::number(kEntireColumn)});
  xl::call(xlcInsert, {Oper::number(kEntireColumn)});
  xl::call(xlcInsert, {Oper::number(kEntireRow)});
  xl::call(xlcSelect, {Oper::cell(0, 0)});
  for (const PasteCell& cell : plan.cells) xl::enter(cell.entry, cell.row, cell.column);
  xl::call(xlcSelect, {Oper::cell(plan.target_row, plan.target_column)});
  xl::enter(plan.formula, plan.target_row, plan.target_column);
  return 1;
}

}  // namespace kovo::addin::tools
