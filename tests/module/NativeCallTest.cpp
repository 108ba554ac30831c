// The call record as the host receives it, and what the module makes of the
// host's answers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "FakeGame.h"
#include "host/Natives.h"

namespace {

constexpr uint32_t kQueryFrameStep = 0x330A9C0C;
constexpr uint32_t kImpelCharacter = 0x343ABB0E;
constexpr uint32_t kIsVehicleValid = 0x8737CC23;
constexpr uint32_t kReadModelExtent = 0x91ABB8E0;
constexpr uint32_t kMeasurePointDistance = 0x9032AA79;
constexpr uint32_t kDrawScreenText = 0x247F4D85;
constexpr uint32_t kLocateVehicleNear = 0xCBCEC322;

TEST(NativeCall, RecordLayoutMatchesTheHost) {
  EXPECT_EQ(sizeof(NativeContext), 164u);
  EXPECT_EQ(offsetof(NativeContext, argSlots), 0x60u);
  EXPECT_EQ(offsetof(NativeContext, vectorScratch), 0x20u);
}

TEST(NativeCall, SlotsAreEncodedByKindInRowOrder) {
  FakeGame game;
  ImpelCharacter(7, 1.5f, -2.0f, 0.25f);
  PinCharacter(7, true);
  PinCharacter(7, false);

  ASSERT_EQ(game.calls.size(), 3u);
  const RecordedCall& impel = game.calls[0];
  EXPECT_EQ(impel.hash, kImpelCharacter);
  ASSERT_EQ(impel.argCount, 12u);
  const uint32_t expected[12] = {
      7, 3, FloatBits(1.5f), FloatBits(-2.0f), FloatBits(0.25f), 0, 0, 0, 0, 0, 0, 1};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(impel.slots[i], expected[i]) << "slot " << i;

  EXPECT_EQ(game.calls[1].slots[1], 0x00000001u);  // bytes 01 00 00 00
  EXPECT_EQ(game.calls[2].slots[1], 0x00000000u);
}

TEST(NativeCall, NoArgumentsStillPointsAtSlotZero) {
  FakeGame game;
  game.answers[kQueryFrameStep] = [](NativeContext& c) { c.argSlots[0] = 0xFFFFFFFFu; };
  EXPECT_EQ(QueryFrameStep(), 0xFFFFFFFFu);  // a quantity, taken as unsigned
  ASSERT_EQ(game.calls.size(), 1u);
  EXPECT_EQ(game.calls[0].argCount, 0u);
  EXPECT_TRUE(game.calls[0].pointersAtSlot0);
}

TEST(NativeCall, BoolResultsReadOnlyTheLowByte) {
  FakeGame game;
  uint32_t answer = 0;
  game.answers[kIsVehicleValid] = [&answer](NativeContext& c) { c.argSlots[0] = answer; };
  answer = 0x00000100u;
  EXPECT_FALSE(IsVehicleValid(1));
  answer = 0xA5A5A501u;
  EXPECT_TRUE(IsVehicleValid(1));
  answer = 0xA5A5A500u;
  EXPECT_FALSE(IsVehicleValid(1));
}

TEST(NativeCall, HandleResultsKeepTheWholeSlot) {
  FakeGame game;
  game.answers[kLocateVehicleNear] = [](NativeContext& c) { c.argSlots[0] = 0x80000123u; };
  EXPECT_EQ(LocateVehicleNear(1, 2, 3, 4), static_cast<int32_t>(0x80000123u));
  EXPECT_EQ(game.calls[0].slots[4], 0u);  // false
  EXPECT_EQ(game.calls[0].slots[5], 70u);
}

TEST(NativeCall, PendingVectorsAreCopiedBackHighestIndexFirst) {
  FakeGame game;
  // Both results aimed at one target: whichever is copied last wins.
  Vector3 shared = {0, 0, 0};
  Vector3 guard[2] = {{9, 9, 9}, {9, 9, 9}};
  game.answers[kReadModelExtent] = [&](NativeContext& c) {
    c.vectorScratch[0] = {1.0f, 2.0f, 3.0f, std::numeric_limits<float>::quiet_NaN()};
    c.vectorScratch[1] = {4.0f, 5.0f, 6.0f, std::numeric_limits<float>::quiet_NaN()};
    c.vectorTargets[0] = &shared;
    c.vectorTargets[1] = &shared;
    c.pendingVectorCount = 2;
  };
  ReadModelExtent(3, &guard[0], &guard[1]);
  EXPECT_EQ(shared.x, 1.0f);
  EXPECT_EQ(shared.y, 2.0f);
  EXPECT_EQ(shared.z, 3.0f);

  // Exactly 12 bytes per result: the float after the target is untouched.
  float block[4] = {0, 0, 0, 42.0f};
  game.answers[kReadModelExtent] = [&](NativeContext& c) {
    c.vectorScratch[0] = {7.0f, 8.0f, 9.0f, 10.0f};
    c.vectorTargets[0] = block;
    c.pendingVectorCount = 1;
  };
  ReadModelExtent(3, &guard[0], &guard[1]);
  EXPECT_EQ(block[2], 9.0f);
  EXPECT_EQ(block[3], 42.0f);
  EXPECT_EQ(guard[0].x, 9.0f);  // the host's targets are what counts
}

TEST(NativeCall, APendingCountBeyondTheRecordIsBounded) {
  FakeGame game;
  Vector3 targets[4] = {};
  game.answers[kReadModelExtent] = [&](NativeContext& c) {
    for (int i = 0; i < 4; ++i) {
      c.vectorScratch[i] = {float(i), float(i), float(i), 0};
      c.vectorTargets[i] = &targets[i];
    }
    c.pendingVectorCount = 0xFFFFFFFFu;
  };
  Vector3 a{}, b{};
  ReadModelExtent(1, &a, &b);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(targets[i].x, float(i));
}

TEST(NativeCall, DistanceFromCurrentChangesOnlyW) {
  FakeGame game;
  ResetModule();
  rewindState.cur = {1.0f, 2.0f, 3.0f, -1.0f};
  game.answers[kMeasurePointDistance] = [](NativeContext& c) { WriteOut(c, 6, 5.0f); };
  DistanceFromCurrent(4.0f, 6.0f, 3.0f);
  EXPECT_EQ(rewindState.cur.x, 1.0f);
  EXPECT_EQ(rewindState.cur.y, 2.0f);
  EXPECT_EQ(rewindState.cur.z, 3.0f);
  EXPECT_EQ(rewindState.cur.w, 5.0f);
  const RecordedCall& call = game.calls.at(0);
  EXPECT_EQ(SlotFloat(call.slots[0]), 1.0f);
  EXPECT_EQ(SlotFloat(call.slots[3]), 4.0f);
  EXPECT_EQ(call.slots[6], static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&rewindState.cur.w)));
}

TEST(NativeCall, TextsAreNulTerminatedAddresses) {
  FakeGame game;
  DrawScreenText(0.8f, 0.7f, ":: 2.000");
  const RecordedCall& call = game.calls.at(0);
  EXPECT_EQ(call.hash, kDrawScreenText);
  ASSERT_EQ(call.argCount, 4u);
  EXPECT_STREQ(reinterpret_cast<const char*>(static_cast<uintptr_t>(call.slots[2])), "STRING");
}

}  // namespace
