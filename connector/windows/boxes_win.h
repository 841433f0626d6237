// The one message box of the connector: every window and every report that
// reaches the user goes through connector_box, which applies NoShow.
#pragma once

#include <windows.h>

#include <string_view>

#include "windows/box_rules.h"

namespace kovo::windows {

// Shows the string of the message number (when 0 or more), " - " and the
// detail, titled "Kovo [CYMA]", system-modal, with the icon of its kind.
// While NoShow is set nothing is shown: a question answers as the box rules
// say, and an error goes to the pending message instead. A record manager
// error (message 30) is followed by a second box with the record manager's
// own status text. Returns the answer (kAnswerOk and the like).
int connector_box(HWND owner, BoxKind kind, int number, std::string_view detail = {},
                  int automation_answer = kNoAutomationAnswer);

}  // namespace kovo::windows
