#include "windows/box_rules.h"

namespace kovo::windows {

BoxDecision decide_box(BoxKind kind, int no_show, bool has_owner, int automation_answer) {
  BoxDecision decision;
  decision.show = no_show == 0 && has_owner;
  switch (kind) {
    case BoxKind::Error:
      decision.answer = kAnswerOk;
      decision.report_failure = !decision.show;
      break;
    case BoxKind::Information:
      decision.answer = kAnswerOk;
      break;
    case BoxKind::YesNo:
      decision.answer = no_show != 0 && automation_answer != kNoAutomationAnswer ? automation_answer : kAnswerNo;
      break;
    case BoxKind::OkCancel:
      decision.answer = no_show != 0 && automation_answer != kNoAutomationAnswer ? automation_answer : kAnswerCancel;
      break;
  }
  return decision;
}

}  // namespace kovo::windows
