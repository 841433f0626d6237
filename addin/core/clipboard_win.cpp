#include "addin/core/clipboard_win.h"

#include <cstring>

namespace kovo::addin {

ClipboardText read_clipboard_text(HWND owner, int attempts, DWORD interval_ms) {
  ClipboardText result;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (attempt > 0) Sleep(interval_ms);
    if (OpenClipboard(owner)) {
      result.opened = true;
      break;
    }
  }
  if (!result.opened) return result;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    const SIZE_T size = GlobalSize(data);
    if (const auto* text = static_cast<const char*>(GlobalLock(data))) {
      // The text ends at its zero, or where the block ends.
      result.text.assign(text, strnlen(text, size));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return result;
}

}  // namespace kovo::addin
