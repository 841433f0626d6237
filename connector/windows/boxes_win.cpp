#include "windows/boxes_win.h"

#include <string>

#include "data/btrieve.h"
#include "entry/messages.h"
#include "entry/settings.h"

namespace kovo::windows {
namespace {

constexpr char kTitle[] = "Kovo [CYMA]";

UINT style_of(BoxKind kind) {
  switch (kind) {
    case BoxKind::Information: return MB_OK | MB_ICONINFORMATION;
    case BoxKind::YesNo: return MB_YESNO | MB_ICONQUESTION;
    case BoxKind::OkCancel: return MB_OKCANCEL | MB_ICONQUESTION;
    case BoxKind::Error: break;
  }
  return MB_OK | MB_ICONEXCLAMATION;
}

}  // namespace

int connector_box(HWND owner, BoxKind kind, int number, std::string_view detail, int automation_answer) {
  const BoxDecision decision = decide_box(kind, settings().no_show, owner != nullptr, automation_answer);
  if (!decision.show) {
    if (decision.report_failure) report(number, detail);
    return decision.answer;
  }
  const std::string text = box_text(number, detail);
  const int answer = MessageBoxA(owner, text.c_str(), kTitle, style_of(kind) | MB_SYSTEMMODAL);
  if (kind == BoxKind::Error && number == btrv::kBtrieveError && btrv::last_status() != 0) {
    const std::string status = btrv::last_status_text();
    MessageBoxA(owner, status.c_str(), kTitle, MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
  }
  return answer;
}

}  // namespace kovo::windows
