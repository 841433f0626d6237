// When the connector's windows may show a message box, and what a box that
// is not shown answers. Every box of every window goes through this rule.
#pragma once

namespace kovo::windows {

enum class BoxKind { Error, Information, YesNo, OkCancel };

// The answers, numbered as the system's box returns them.
enum BoxAnswer : int { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };

// The automation answer of a question that has none of its own. A window
// whose question must go on without a user (the drill-down asking whether
// to keep reading past a full list) passes kAnswerYes instead.
inline constexpr int kNoAutomationAnswer = 0;

struct BoxDecision {
  bool show = false;
  // What the caller gets when the box is not shown.
  int answer = kAnswerOk;
  // An error that is not shown goes to the pending message, so that a
  // command's result text still carries it.
  bool report_failure = false;
};

// no_show is the NoShow setting: any non-zero value means automation, and
// then no box of any kind is shown. A box without an owner is never shown.
// A question that is not asked counts as answered with neither Yes nor OK,
// unless automation_answer names the answer.
BoxDecision decide_box(BoxKind kind, int no_show, bool has_owner,
                       int automation_answer = kNoAutomationAnswer);

}  // namespace kovo::windows
