// Reading the clipboard's text, as the add-in's tools that take tables from
// the connector's windows do (the report wizard's lists, the enquiry paste).
// Another program may hold the clipboard open for a moment: opening is tried
// again a number of times, a fixed interval apart.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kovo::addin {

inline constexpr int kClipboardAttempts = 200;
inline constexpr DWORD kClipboardInterval = 250;  // milliseconds

struct ClipboardText {
  bool opened = false;  // false: message 153, the clipboard could not be opened
  std::string text;     // empty when it held no text
};

ClipboardText read_clipboard_text(HWND owner, int attempts = kClipboardAttempts,
                                  DWORD interval_ms = kClipboardInterval);

}  // namespace kovo::addin
