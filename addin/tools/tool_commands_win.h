// The commands that do their work in the spreadsheet: the version box, the
// Options and Analyze dialogs, zero suppression, viewer copies and the
// migration of the older generation's formulas, the report wizard. The command procedures run
// them from the command table (commands_win.cpp). Each answers true to the
// spreadsheet.
#pragma once

#include "sdk/excel/xlcall.h"

namespace kovo::addin::tools {

int version_box();
int options();
int analyze();
int zero_suppress(const XLOPER* argument);
int to_viewer(const XLOPER* argument);
int migrate(const XLOPER* argument);
int report_wizard();
int enquiry_paste();

}  // namespace kovo::addin::tools
