// Reading a cell's value through the running spreadsheet application's
// automation interface, for when the C API cannot read a reference
// directly. The application found must be the one that loaded the add-in:
// it is made to call the add-in's CheckInstance, which only this process's
// copy of the add-in notices.
#pragma once

#include <optional>

#include "addin/core/excel_win.h"

namespace kovo::addin::automation {

// The value of a one-area reference in the type a coercion asks for (0: as
// it is), or nothing when it cannot be read this way either: no running
// application, another instance that stays in the way, a workbook or sheet
// it does not know, any failing call.
std::optional<xl::Oper> read_reference(const xl::Oper& reference, int type);

// Ends the automation layer's use by the add-in (at closing).
void shut_down();

}  // namespace kovo::addin::automation
