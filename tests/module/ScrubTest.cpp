// Scrub arithmetic at the edges of the index range, where the trace-driven
// tests can't reach: histories that long don't fit in memory.
#include <gtest/gtest.h>

#include <cstdint>

#include "FakeGame.h"
#include "rewind/Scrub.h"

namespace {

constexpr uint32_t kQueryScrubStep = 0x45C8C188;
constexpr uint32_t kTriggerFrontendEvent = 0x4B31CE89;

TEST(Scrub, AStepPastTheEndOfAHugeTimelineClampsInsteadOfWrapping) {
  FakeGame game;
  ResetModule();
  game.answers[kQueryScrubStep] = [](NativeContext& c) { c.argSlots[0] = 0xFFFFFFFFu; };
  game.held.insert('Z');
  rewindState.playLength = INT32_MAX;
  rewindState.playIndex = INT32_MAX - 10;
  // 42949672 samples in one step: in 32 bits the sum would wrap negative and
  // pass as inside the timeline.
  Scrub();
  EXPECT_EQ(rewindState.playIndex, INT32_MAX - 1);
  EXPECT_EQ(game.CallsOf(kTriggerFrontendEvent).size(), 1u);
}

TEST(Scrub, NewerStepsNeverGoBelowTheNewestSample) {
  FakeGame game;
  ResetModule();
  game.answers[kQueryScrubStep] = [](NativeContext& c) { c.argSlots[0] = 0xFFFFFFFFu; };
  game.held.insert('X');
  rewindState.playLength = INT32_MAX;
  rewindState.playIndex = 1;
  Scrub();
  EXPECT_EQ(rewindState.playIndex, 0);
  EXPECT_EQ(game.CallsOf(kTriggerFrontendEvent).size(), 1u);
}

TEST(Scrub, ANewerStepLandingOnTheNewestSampleIsNoBump) {
  FakeGame game;
  ResetModule();
  game.answers[kQueryScrubStep] = [](NativeContext& c) { c.argSlots[0] = 300; };
  game.held.insert('X');
  rewindState.playLength = 10;
  rewindState.playIndex = 3;
  Scrub();
  EXPECT_EQ(rewindState.playIndex, 0);
  EXPECT_TRUE(game.CallsOf(kTriggerFrontendEvent).empty());
}

}  // namespace
