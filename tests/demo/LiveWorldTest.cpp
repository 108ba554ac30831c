#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "world/LiveWorld.h"

namespace {

// One native call as the module makes it: integers, floats and out-targets
// in their slots.
class Call {
 public:
  explicit Call(NativeId id) : info_(NativeById(id)) {
    std::memset(&context_, 0, sizeof context_);
    context_.resultPtr = context_.argSlots;
    context_.argsPtr = context_.argSlots;
    context_.argCount = static_cast<uint32_t>(info_.slots.size());
  }
  Call& Int(int i, int32_t v) {
    context_.argSlots[i] = static_cast<uint32_t>(v);
    return *this;
  }
  Call& Float(int i, float v) {
    std::memcpy(&context_.argSlots[i], &v, sizeof v);
    return *this;
  }
  Call& Out(int i, void* target) {
    context_.argSlots[i] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target));
    return *this;
  }
  Call& Floats(int first, std::initializer_list<float> values) {
    for (float v : values) Float(first++, v);
    return *this;
  }
  uint32_t On(LiveWorld& world) {
    NativeCall call(&context_, info_);
    world.Answer(call);
    return context_.argSlots[0];
  }
  bool BoolOn(LiveWorld& world) { return (On(world) & 0xFF) != 0; }

 private:
  const NativeInfo& info_;
  NativeContext context_;
};

float FlatSpeed(Vec3f v) {
  return std::hypot(v.x, v.y);
}

Vec3f CharacterAt(LiveWorld& world) {
  Vec3f p;
  Call(NativeId::ReadCharacterPosition).Int(0, 1).Out(1, &p.x).Out(2, &p.y).Out(3, &p.z).On(world);
  return p;
}

WorldPatch Walker() {
  WorldPatch p;
  p.frameStep = 20;  // 50 frames a second
  p.charPos = Vec3f{0, 0, 1};
  p.models[7] = {{-1, -2, -0.5f}, {1, 2, 0.5f}};
  ScriptedVehicle car;
  car.pos = {10, 0, 0.5f};
  car.model = 7;
  p.vehicles[11] = car;
  return p;
}

void Steps(LiveWorld& world, int n) {
  for (int i = 0; i < n; ++i) world.Step();
}

TEST(LiveWorld, TheClockRunsBackwardsAtSpeedMinusOneAndTheInputOnlyActsForwards) {
  WorldPatch start = Walker();
  start.charVel = Vec3f{0, 3, 0};
  LiveWorld world(start);
  Steps(world, 100);  // 2 s: up to speed after half a second
  Vec3f forward = CharacterAt(world);
  EXPECT_GT(forward.y, 4.0f);
  EXPECT_FLOAT_EQ(forward.z, 1.0f);

  Call(NativeId::SetGameSpeed).Float(0, -1.0f).On(world);
  Steps(world, 50);
  EXPECT_NEAR(CharacterAt(world).y, forward.y - 3.0f, 1e-3f);

  // Half speed forwards covers half the ground.
  Call(NativeId::SetGameSpeed).Float(0, 0.5f).On(world);
  Vec3f before = CharacterAt(world);
  Steps(world, 50);
  EXPECT_NEAR(CharacterAt(world).y, before.y + 1.5f, 1e-3f);
}

TEST(LiveWorld, PlacingStopsTheBodyAndImpulsesChangeItsVelocity) {
  LiveWorld world(Walker());
  // Feet at the point: the middle stands a metre above it.
  Call(NativeId::PlaceCharacter).Int(0, 1).Floats(1, {5, 6, 0}).On(world);
  Vec3f p = CharacterAt(world);
  EXPECT_FLOAT_EQ(p.x, 5);
  EXPECT_FLOAT_EQ(p.z, 1);

  Call(NativeId::ImpelCharacter).Int(0, 1).Int(1, 3).Floats(2, {2, 0, 0}).On(world);
  Steps(world, 50);
  // 2 m/s, brought to a stand by the input at 6 m/s²: v² / 2a further on.
  EXPECT_NEAR(CharacterAt(world).x, 5 + 4.0f / 12, 0.05f);

  // Pinned, the character does not move and the impulse before it is gone.
  Call(NativeId::ImpelCharacter).Int(0, 1).Int(1, 3).Floats(2, {5, 0, 0}).On(world);
  Call(NativeId::PinCharacter).Int(0, 1).Int(1, 1).On(world);
  Vec3f pinned = CharacterAt(world);
  Steps(world, 10);
  EXPECT_FLOAT_EQ(CharacterAt(world).x, pinned.x);
  Call(NativeId::PinCharacter).Int(0, 1).Int(1, 0).On(world);
  Call(NativeId::ImpelCharacter).Int(0, 1).Int(1, 3).Floats(2, {0, 4, 0}).On(world);
  float vel[3];
  Call(NativeId::ReadCharacterSpeedVector)
      .Int(0, 1)
      .Out(1, &vel[0])
      .Out(2, &vel[1])
      .Out(3, &vel[2])
      .On(world);
  EXPECT_FLOAT_EQ(vel[0], 0);
  EXPECT_FLOAT_EQ(vel[1], 4);
}

TEST(LiveWorld, SeatingUnseatingAndPlacingAVehicle) {
  LiveWorld world(Walker());
  EXPECT_FALSE(Call(NativeId::IsCharacterInVehicle).Int(0, 1).BoolOn(world));
  Call(NativeId::SeatCharacterInVehicle).Int(0, 1).Int(1, 11).On(world);
  EXPECT_TRUE(Call(NativeId::IsCharacterInVehicle).Int(0, 1).BoolOn(world));
  EXPECT_TRUE(Call(NativeId::IsCharacterInThisVehicle).Int(0, 1).Int(1, 11).BoolOn(world));
  EXPECT_FALSE(Call(NativeId::IsCharacterInThisVehicle).Int(0, 1).Int(1, 12).BoolOn(world));
  // Seated, the character is where the car is.
  Call(NativeId::PlaceVehicle).Int(0, 11).Floats(1, {30, 40, 0.5f}).On(world);
  EXPECT_FLOAT_EQ(CharacterAt(world).y, 40);

  // A seat in a vehicle that does not exist is refused.
  Call(NativeId::SeatCharacterInVehicle).Int(0, 1).Int(1, 99).On(world);
  EXPECT_TRUE(Call(NativeId::IsCharacterInThisVehicle).Int(0, 1).Int(1, 11).BoolOn(world));

  Call(NativeId::UnseatCharacterAt).Int(0, 1).Floats(1, {1, 2, 0}).On(world);
  EXPECT_FALSE(Call(NativeId::IsCharacterInVehicle).Int(0, 1).BoolOn(world));
  EXPECT_FLOAT_EQ(CharacterAt(world).x, 1);
  EXPECT_FLOAT_EQ(world.Vehicles().at(11).pos.x, 30);
}

TEST(LiveWorld, VehiclesTurnTakeRotationsAndAreFoundAndPushedByDistance) {
  WorldPatch start = Walker();
  ScriptedVehicle near;
  near.pos = {14, 0, 0.5f};
  start.vehicles[12] = near;
  LiveWorld world(start);

  Call(NativeId::TurnVehicleTo).Int(0, 11).Float(1, 90).On(world);
  float q[4];
  Call(NativeId::ReadVehicleRotation)
      .Int(0, 11)
      .Out(1, &q[0])
      .Out(2, &q[1])
      .Out(3, &q[2])
      .Out(4, &q[3])
      .On(world);
  EXPECT_NEAR(q[2], std::sqrt(0.5f), 1e-6f);
  EXPECT_NEAR(q[3], std::sqrt(0.5f), 1e-6f);
  Call(NativeId::WriteVehicleRotation).Int(0, 11).Floats(1, {0, 0, 1, 0}).On(world);
  EXPECT_FLOAT_EQ(world.Vehicles().at(11).rot[2], 1);

  // The nearest within the radius.
  EXPECT_EQ(
      static_cast<int32_t>(Call(NativeId::LocateVehicleNear).Floats(0, {13, 0, 0.5f, 5}).On(world)),
      12);
  EXPECT_EQ(
      static_cast<int32_t>(Call(NativeId::LocateVehicleNear).Floats(0, {11, 0, 0.5f, 5}).On(world)),
      11);
  EXPECT_EQ(
      static_cast<int32_t>(Call(NativeId::LocateVehicleNear).Floats(0, {50, 0, 0.5f, 5}).On(world)),
      0);

  // Pushed, a parked car rolls away and slows down.
  Call(NativeId::ImpelVehicle).Int(0, 12).Int(1, 3).Floats(2, {3, 0, 0}).On(world);
  Steps(world, 25);
  float moved = world.Vehicles().at(12).pos.x - 14;
  EXPECT_GT(moved, 0.5f);
  EXPECT_LT(moved, 3 * 0.5f);
  EXPECT_LT(world.Vehicles().at(12).vel.x, 3);
}

TEST(LiveWorld, ValuesConditionsBodyModeAndTheClockAnswers) {
  WorldPatch start = Walker();
  start.scrubStep = 200;
  LiveWorld world(start);
  EXPECT_EQ(Call(NativeId::QueryFrameStep).On(world), 20u);
  EXPECT_EQ(Call(NativeId::QueryScrubStep).On(world), 200u);

  // The per-player value changes when it is applied, not when it is written.
  Call(NativeId::WritePlayerValue).Int(0, 0).Int(1, 7).On(world);
  uint32_t value = 1;
  Call(NativeId::ReadPlayerValue).Int(0, 0).Out(1, &value).On(world);
  EXPECT_EQ(value, 0u);
  Call(NativeId::ApplyPlayerValue).Int(0, 0).On(world);
  Call(NativeId::ReadPlayerValue).Int(0, 0).Out(1, &value).On(world);
  EXPECT_EQ(value, 7u);

  Call(NativeId::WriteCharacterValue).Int(0, 1).Int(1, 3).On(world);
  EXPECT_EQ(Call(NativeId::QueryCharacterValue).Int(0, 1).On(world), 3u);
  Call(NativeId::WriteCharacterCondition).Int(0, 1).Int(1, 150).On(world);
  Call(NativeId::ReadCharacterCondition).Int(0, 1).Out(1, &value).On(world);
  EXPECT_EQ(value, 150u);
  Call(NativeId::WriteCharacterSelection).Int(0, 1).Int(1, -4).Int(2, 1).On(world);
  int32_t foot = 0;
  Call(NativeId::ReadCharacterSelection).Int(0, 1).Out(1, &foot).On(world);
  EXPECT_EQ(foot, -4);

  Call(NativeId::EnterCharacterBodyMode).Int(0, 1).On(world);
  EXPECT_TRUE(Call(NativeId::QueryCharacterBodyMode).Int(0, 1).BoolOn(world));
  EXPECT_LT(CharacterAt(world).z, 1.0f);
  Call(NativeId::LeaveCharacterBodyMode).Int(0, 1).Int(1, 1).On(world);
  EXPECT_FALSE(Call(NativeId::QueryCharacterBodyMode).Int(0, 1).BoolOn(world));
  Call(NativeId::TurnCharacterTo).Int(0, 1).Float(1, 45).On(world);
  float heading = 0;
  Call(NativeId::ReadCharacterFacing).Int(0, 1).Out(1, &heading).On(world);
  EXPECT_FLOAT_EQ(heading, 45);
}

TEST(LiveWorld, AFrameEndsWithWhatTheModuleDrewAndWhetherItRecorded) {
  LiveWorld world(Walker());
  world.BeginFrame(0);
  Call(NativeId::QueryFrameStep).On(world);
  Call(NativeId::CueNormalPlay).Int(0, 0).On(world);
  Call(NativeId::DrawScreenRect)
      .Floats(0, {0.5f, 0, 1, 0.1f})
      .Int(4, 0)
      .Int(5, 0)
      .Int(6, 0)
      .Int(7, 255)
      .On(world);
  Call(NativeId::PlaceVehicle).Int(0, 11).Floats(1, {1, 2, 0.5f}).On(world);
  Call(NativeId::PlaceVehicle).Int(0, 11).Floats(1, {3, 4, 0.5f}).On(world);
  float q[4];
  for (int handle : {11, 99, 11}) {
    Call(NativeId::ReadVehicleRotation)
        .Int(0, handle)
        .Out(1, &q[0])
        .Out(2, &q[1])
        .Out(3, &q[2])
        .Out(4, &q[3])
        .On(world);
  }
  const char text[] = ":: 2.000";
  Call(NativeId::DrawScreenText)
      .Floats(0, {0.8f, 0.7f})
      .Out(2, const_cast<char*>("STRING"))
      .Out(3, const_cast<char*>(text))
      .On(world);
  world.BeginFrame(1);
  // The first-frame cue comes before the gate, and a closed gate records nothing.
  Call(NativeId::CueNormalPlay).Int(0, 0).On(world);
  Call(NativeId::CueOverlayFrame).On(world);
  world.BeginFrame(2);

  const auto& frames = world.Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_TRUE(frames[0].recorded);
  ASSERT_EQ(frames[0].rects.size(), 1u);
  EXPECT_FLOAT_EQ(frames[0].rects[0].h, 0.1f);
  ASSERT_EQ(frames[0].texts.size(), 1u);
  EXPECT_EQ(frames[0].texts[0].text, ":: 2.000");
  // A vehicle the module read or placed twice counts once, where it was put
  // last; a handle that names none doesn't count.
  EXPECT_EQ(frames[0].rotationsRead, std::vector<int32_t>{11});
  ASSERT_EQ(frames[0].placed.size(), 1u);
  EXPECT_FLOAT_EQ(frames[0].placed[0].pos.y, 4);
  EXPECT_EQ(FollowedVehicles(frames[0]), std::vector<int32_t>{11});
  EXPECT_TRUE(frames[1].placed.empty());
  EXPECT_FALSE(frames[0].overlay);
  EXPECT_FALSE(frames[1].recorded);
  EXPECT_TRUE(frames[1].overlay);
  EXPECT_TRUE(frames[1].rects.empty());
}

TEST(LiveWorld, KeepsOnlyTheLatestFramesWhenAsked) {
  LiveWorld world(Walker());
  world.KeepLastFrames(3);
  for (int64_t frame = 0; frame <= 20; ++frame) world.BeginFrame(frame);
  const auto& frames = world.Frames();
  ASSERT_GE(frames.size(), 3u);
  EXPECT_LE(frames.size(), 6u);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].frame, 20 - static_cast<int64_t>(frames.size() - i));
  }
}

// A car driving round a 100 x 40 m block at 10 m/s.
WorldPatch LoopTraffic() {
  WorldPatch p = Walker();
  ScriptedVehicle car;
  car.pos = {50, 0, 0.5f};
  car.vel = {10, 0, 0};
  car.model = 7;
  car.route = {{0, 0}, {100, 0}, {100, 40}, {0, 40}};
  p.vehicles[30] = car;
  return p;
}

// How far `p` is from the block's edge.
float OffTheLoop(Vec3f p) {
  float dx = std::fmin(std::fabs(p.x), std::fabs(p.x - 100));
  float dy = std::fmin(std::fabs(p.y), std::fabs(p.y - 40));
  bool besideX = p.x >= 0 && p.x <= 100, besideY = p.y >= 0 && p.y <= 40;
  if (besideX && besideY) return std::fmin(dx, dy);
  if (besideX) return dy;
  if (besideY) return dx;
  return std::hypot(dx, dy);
}

TEST(LiveWorld, TrafficDrivesItsLoopAndDrivesOnFromWhereARewindPutsIt) {
  LiveWorld world(LoopTraffic());
  // Two laps and a half: round every corner, never far off the way.
  float worst = 0;
  for (int i = 0; i < 50 * 70; ++i) {
    world.Step();
    worst = std::fmax(worst, OffTheLoop(world.Vehicles().at(30).pos));
  }
  EXPECT_LT(worst, 3.0f);
  EXPECT_NEAR(FlatSpeed(world.Vehicles().at(30).vel), 10, 0.5f);

  // Running backwards, it goes back the way it came; placed, it holds still
  // there however the clock runs.
  Vec3f before = world.Vehicles().at(30).pos;
  Call(NativeId::SetGameSpeed).Float(0, 1).On(world);
  Steps(world, 25);
  Call(NativeId::SetGameSpeed).Float(0, -1).On(world);
  Steps(world, 25);
  EXPECT_NEAR(world.Vehicles().at(30).pos.x, before.x, 0.05f);
  EXPECT_NEAR(world.Vehicles().at(30).pos.y, before.y, 0.05f);
  Call(NativeId::PlaceVehicle).Int(0, 30).Floats(1, {60, -1, 0.5f}).On(world);
  Steps(world, 10);
  EXPECT_FLOAT_EQ(world.Vehicles().at(30).pos.x, 60);

  // Set going east where it was put, it drives on from there along the
  // loop's south side, not from where it had got to.
  Call(NativeId::SetGameSpeed).Float(0, 1).On(world);
  Call(NativeId::ImpelVehicle).Int(0, 30).Int(1, 3).Floats(2, {10, 0, 0}).On(world);
  Steps(world, 50);
  Vec3f on = world.Vehicles().at(30).pos;
  EXPECT_NEAR(on.x, 70, 0.5f);
  EXPECT_NEAR(on.y, 0, 0.5f);
}

TEST(LiveWorld, TheCarThePlayerHitsIsWreckedAndStopsTillItsConditionIsMended) {
  WorldPatch start = LoopTraffic();
  start.vehicles[30]->pos = {40, 0, 0.5f};
  LiveWorld world(start);
  // The player drives north at 10 m/s into the loop car's side as it passes.
  Call(NativeId::PlaceVehicle).Int(0, 11).Floats(1, {60, -22, 0.5f}).On(world);
  TimelineEntry drive;
  drive.world = WorldPatch{};
  drive.world->vehicle = 11;
  drive.world->inVehicle = true;
  drive.world->charVel = Vec3f{0, 10, 0};
  world.Apply(drive);
  Call(NativeId::ImpelVehicle).Int(0, 11).Int(1, 3).Floats(2, {0, 10, 0}).On(world);
  uint32_t condition = 1000;
  for (int i = 0; i < 150 && condition == 1000; ++i) {
    world.Step();
    Call(NativeId::ReadVehicleCondition).Int(0, 30).Out(1, &condition).On(world);
  }
  EXPECT_LE(condition, kWreckCondition);
  EXPECT_LT(world.Vehicles().at(11).condition, 1000u);
  // A wreck rolls out and stays.
  drive.world->charVel = Vec3f{};
  world.Apply(drive);
  Steps(world, 200);
  EXPECT_LT(FlatSpeed(world.Vehicles().at(30).vel), 0.1f);

  // Mended, it drives its way again.
  Call(NativeId::WriteVehicleCondition).Int(0, 30).Int(1, 1000).On(world);
  Steps(world, 100);
  EXPECT_GT(FlatSpeed(world.Vehicles().at(30).vel), 5);
}

TEST(LiveWorld, ScenarioInputsSeatTheCharacterAndSetTheWantedVelocity) {
  LiveWorld world(Walker());
  TimelineEntry in;
  in.world = WorldPatch{};
  in.world->vehicle = 11;
  in.world->inVehicle = true;
  in.world->charVel = Vec3f{5, 0, 0};
  world.Apply(in);
  EXPECT_TRUE(world.InVehicle());
  Steps(world, 100);
  EXPECT_NEAR(world.Vehicles().at(11).vel.x, 5, 1e-4f);
  // Facing where it drives: east is a quarter turn clockwise.
  EXPECT_NEAR(world.Vehicles().at(11).rot[2], -std::sqrt(0.5f), 1e-4f);

  TimelineEntry out;
  out.world = WorldPatch{};
  out.world->inVehicle = false;
  world.Apply(out);
  EXPECT_FALSE(world.InVehicle());
  // Out through the left door, two metres north of an eastbound car.
  Vec3f car = world.Vehicles().at(11).pos;
  EXPECT_NEAR(CharacterAt(world).x, car.x, 1e-3f);
  EXPECT_NEAR(CharacterAt(world).y, car.y + 2, 1e-3f);
}

}  // namespace
