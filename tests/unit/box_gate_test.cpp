// The server's box gate: one box up at a time, a short queue behind it, and
// repeats and overflow dropped rather than nested.
#include <gtest/gtest.h>

#include "server/box_gate.h"

namespace {

using kovo::server::BoxGate;
using Decision = BoxGate::Decision;

TEST(BoxGate, OneUpTheNextInTurnRepeatsAndOverflowDropped) {
  BoxGate gate(2);
  EXPECT_FALSE(gate.busy());
  EXPECT_EQ(gate.ask("first", 1), Decision::kShow);
  EXPECT_EQ(gate.ask("first"), Decision::kDrop) << "the same text is up already";
  EXPECT_EQ(gate.ask("second", 2), Decision::kWait);
  EXPECT_EQ(gate.ask("second"), Decision::kDrop) << "the same text waits already";
  EXPECT_EQ(gate.ask("third", 3), Decision::kWait);
  EXPECT_EQ(gate.ask("fourth"), Decision::kDrop) << "the queue is full";
  EXPECT_FALSE(gate.take_next()) << "nothing goes up while one is up";
  EXPECT_TRUE(gate.closed());
  EXPECT_EQ(gate.ask("late"), Decision::kDrop) << "down, but the queue is still full";
  const auto next = gate.take_next();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->text, "second");
  EXPECT_EQ(next->style, 2u);
  EXPECT_EQ(gate.ask("late"), Decision::kWait) << "waits behind those queued before it";
  EXPECT_TRUE(gate.closed());
  ASSERT_TRUE(gate.take_next());
  EXPECT_TRUE(gate.closed());
  const auto last = gate.take_next();
  ASSERT_TRUE(last);
  EXPECT_EQ(last->text, "late");
  EXPECT_FALSE(gate.closed());
  EXPECT_FALSE(gate.busy());
  EXPECT_EQ(gate.ask("first"), Decision::kShow) << "a text shown before may go up again";
}

TEST(BoxGate, ADialogClaimsThePlaceOfABox) {
  BoxGate gate;
  EXPECT_TRUE(gate.claim());
  EXPECT_FALSE(gate.claim()) << "never two at once";
  EXPECT_EQ(gate.ask("box"), Decision::kWait);
  EXPECT_TRUE(gate.closed());
  EXPECT_FALSE(gate.claim()) << "the waiting box goes first";
  EXPECT_EQ(gate.take_next()->text, "box");
  EXPECT_FALSE(gate.closed());
  EXPECT_TRUE(gate.claim());
}

TEST(BoxGate, AFloodLeavesAtMostTheQueueBehindOneBox) {
  BoxGate gate;
  EXPECT_EQ(gate.ask("The command sent is unknown to kovo - [X0]"), Decision::kShow);
  std::size_t waiting = 0;
  for (int i = 1; i < 10000; ++i)
    waiting += gate.ask("The command sent is unknown to kovo - [X" + std::to_string(i) + "]") == Decision::kWait;
  EXPECT_EQ(waiting, kovo::server::kMaxWaitingBoxes);
  EXPECT_EQ(gate.waiting(), kovo::server::kMaxWaitingBoxes);
}

}  // namespace
