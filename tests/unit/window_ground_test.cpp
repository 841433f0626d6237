// The rules every connector window shares: which boxes show and what an
// unshown box answers, and the pace of a long fill.
#include <gtest/gtest.h>

#include <vector>

#include "windows/box_rules.h"
#include "windows/fill_pacer.h"

using namespace kovo::windows;

namespace {

TEST(BoxRules, NoBoxOfAnyKindWhileNoShowIsSet) {
  for (const int no_show : {1, 2, -1}) {
    for (const BoxKind kind : {BoxKind::Error, BoxKind::Information, BoxKind::YesNo, BoxKind::OkCancel})
      EXPECT_FALSE(decide_box(kind, no_show, true).show) << no_show;
  }
  EXPECT_TRUE(decide_box(BoxKind::Error, 0, true).show);
  EXPECT_FALSE(decide_box(BoxKind::Information, 0, false).show) << "a box without an owner is never shown";
}

TEST(BoxRules, UnaskedQuestionsAnswerNeitherYesNorOk) {
  EXPECT_EQ(decide_box(BoxKind::YesNo, 1, true).answer, kAnswerNo);
  EXPECT_EQ(decide_box(BoxKind::OkCancel, 1, true).answer, kAnswerCancel);
  // the drill-down's full-list question counts as Yes in automation
  EXPECT_EQ(decide_box(BoxKind::YesNo, 1, true, kAnswerYes).answer, kAnswerYes);
  // ... but that answer is for automation only: a box without owner asks nobody
  EXPECT_EQ(decide_box(BoxKind::YesNo, 0, false, kAnswerYes).answer, kAnswerNo);
}

TEST(BoxRules, AnUnshownErrorStillReachesTheResult) {
  EXPECT_TRUE(decide_box(BoxKind::Error, 1, true).report_failure);
  EXPECT_FALSE(decide_box(BoxKind::Error, 0, true).report_failure);
  EXPECT_FALSE(decide_box(BoxKind::Information, 1, true).report_failure);
}

TEST(FillPacer, LooksAtTheQueueEveryFewRowsAndStopsWhenAsked) {
  std::vector<std::size_t> progress;
  int pumps = 0;
  FillPacer* self = nullptr;
  FillPacer pacer(false, {[&](std::size_t rows) { progress.push_back(rows); },
                          [&] {
                            if (++pumps == 3) self->request_stop();  // the user pressed Quit
                          }},
                  10);
  self = &pacer;
  int rows = 0;
  while (pacer.row()) ++rows;
  EXPECT_EQ(pumps, 3);
  EXPECT_EQ(rows, 20) << "the first row looks, then every tenth";
  EXPECT_EQ(progress, (std::vector<std::size_t>{1, 11, 21}));
  EXPECT_FALSE(pacer.row()) << "a stopped fill stays stopped";
}

TEST(FillPacer, AutomationNeverLooksAtTheQueue) {
  int pumps = 0, shown = 0;
  FillPacer pacer(true, {[&](std::size_t) { ++shown; }, [&] { ++pumps; }}, 1);
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(pacer.row());
  EXPECT_EQ(pumps + shown, 0);
  pacer.request_stop();
  EXPECT_FALSE(pacer.row());
}

}  // namespace
