#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "HarnessTestSupport.h"

namespace {

constexpr uint32_t kUntouched = 0xCDCDCDCD;

WorldPatch BusyWorld() {
  WorldPatch w;
  w.localPlayer = 11;
  w.playerIndex = 12;
  w.character = 13;
  w.playerValue = 0xFFFFFFF0u;
  w.frameStep = 3;
  w.scrubStep = 250;
  w.charValue = 4000000000u;
  w.inVehicle = true;
  w.vehicle = 55;
  w.charPos = Vec3f{1.5f, -2.25f, 3};
  w.heading = 90.5f;
  w.charVel = Vec3f{0.1f, 0.2f, 0.3f};
  w.charCondition = 150;
  w.footValue = -4;
  w.bodyMode = true;
  w.boxBlocked = false;
  w.nearVehicle = 77;
  ScriptedVehicle car;
  car.pos = {10, 20, 30};
  car.rot[0] = 0.1f;
  car.rot[1] = 0.2f;
  car.rot[2] = 0.3f;
  car.rot[3] = 0.9f;
  car.vel = {4, 5, 6};
  car.condition = 800;
  car.model = 9001;
  w.vehicles[55] = car;
  w.models[9001] = ScriptedModel{{-1, -2, -3}, {1, 2, 3}};
  return w;
}

// Out-targets the module would own, all filled with a marker.
struct Targets {
  uint32_t word[5];
  float vec[2][3];
  Targets() {
    for (auto& w : word) w = kUntouched;
    std::memset(vec, 0xCD, sizeof vec);
  }
  float F(int i) const {
    float f;
    std::memcpy(&f, &word[i], sizeof f);
    return f;
  }
};

// A record for `info` with arguments 13 (ints), 0.5 (floats), true, "x" and
// out-targets in `targets`, in slot order.
Record RecordFor(const NativeInfo& info, Targets& targets) {
  Record record({});
  static const char kText[] = "x";
  int outs = 0, vecs = 0;
  for (size_t i = 0; i < info.slots.size(); ++i) {
    uint32_t slot = 0;
    switch (info.slots[i]) {
      case 'I':
        slot = 13;
        break;
      case 'F':
        slot = Bits(0.5f);
        break;
      case 'B':
        slot = 1;
        break;
      case 'T':
        slot = Address(kText);
        break;
      case 'O':
        slot = Address(&targets.word[outs++]);
        break;
      case 'V':
        slot = Address(targets.vec[vecs++]);
        break;
    }
    record.context.argSlots[i] = slot;
  }
  record.context.argCount = static_cast<uint32_t>(info.slots.size());
  return record;
}

TEST(NativeTable, FiftySixNativesEachFoundByItsHash) {
  std::set<uint32_t> hashes;
  int count = 0;
  for (const NativeInfo* info = NativeTableBegin(); info != NativeTableEnd(); ++info, ++count) {
    hashes.insert(info->hash);
    EXPECT_EQ(FindNative(info->hash), info) << info->name;
    EXPECT_LE(info->slots.size(), 12u) << info->name;
  }
  EXPECT_EQ(count, 56);
  EXPECT_EQ(hashes.size(), 56u);
  EXPECT_EQ(FindNative(0x12345678), nullptr);
}

// Runs one native of the busy world and hands back the record and targets.
struct Answered {
  Record record{{}};
  Targets targets;
};

Answered Ask(TestGame& game, NativeId id,
             std::initializer_list<std::pair<int, uint32_t>> args = {}) {
  Answered a;
  const NativeInfo& info = NativeById(id);
  a.record = RecordFor(info, a.targets);
  for (auto [slot, value] : args) a.record.context.argSlots[slot] = value;
  game.Call(a.record, info.hash);
  EXPECT_TRUE(game.host.Fault().empty()) << game.host.Fault();
  return a;
}

TEST(ScriptedWorld, QueriesAnswerFromTheWorld) {
  TestGame game(BusyWorld());
  EXPECT_EQ(Ask(game, NativeId::QueryLocalPlayerId).record.Result(), 11u);
  EXPECT_EQ(Ask(game, NativeId::PlayerIndexFromId, {{0, 999}}).record.Result(), 12u);
  EXPECT_EQ(Ask(game, NativeId::ReadPlayerCharacter).targets.word[0], 13u);
  EXPECT_EQ(Ask(game, NativeId::ReadPlayerValue).targets.word[0], 0xFFFFFFF0u);
  EXPECT_EQ(Ask(game, NativeId::QueryFrameStep).record.Result(), 3u);
  EXPECT_EQ(Ask(game, NativeId::QueryScrubStep).record.Result(), 250u);
  EXPECT_EQ(Ask(game, NativeId::QueryCharacterValue).record.Result(), 4000000000u);
  EXPECT_EQ(Ask(game, NativeId::ReadCharacterVehicle).targets.word[0], 55u);
  EXPECT_EQ(Ask(game, NativeId::ReadCharacterCondition).targets.word[0], 150u);
  EXPECT_EQ(Ask(game, NativeId::ReadCharacterSelection).targets.word[0], static_cast<uint32_t>(-4));
  EXPECT_EQ(Ask(game, NativeId::ReadCharacterFacing).targets.F(0), 90.5f);
  EXPECT_EQ(Ask(game, NativeId::LocateVehicleNear).record.Result(), 77u);

  Answered pos = Ask(game, NativeId::ReadCharacterPosition);
  EXPECT_EQ(pos.targets.F(0), 1.5f);
  EXPECT_EQ(pos.targets.F(1), -2.25f);
  EXPECT_EQ(pos.targets.F(2), 3.0f);
  EXPECT_EQ(pos.targets.word[3], kUntouched);
  Answered vel = Ask(game, NativeId::ReadCharacterSpeedVector);
  EXPECT_EQ(vel.targets.F(0), 0.1f);
  EXPECT_EQ(vel.targets.F(2), 0.3f);
}

TEST(ScriptedWorld, BoolsCarryTheAnswerInTheLowByteOnly) {
  TestGame game(BusyWorld());
  EXPECT_EQ(Ask(game, NativeId::IsCharacterInVehicle).record.Result(), 0xA5A5A501u);
  EXPECT_EQ(Ask(game, NativeId::QueryCharacterBodyMode).record.Result(), 0xA5A5A501u);
  EXPECT_EQ(Ask(game, NativeId::ProbeBoxBlocked).record.Result(), 0xA5A5A500u);
  EXPECT_EQ(Ask(game, NativeId::IsVehicleValid, {{0, 55}}).record.Result(), 0xA5A5A501u);
  EXPECT_EQ(Ask(game, NativeId::IsVehicleValid, {{0, 56}}).record.Result(), 0xA5A5A500u);
  EXPECT_EQ(Ask(game, NativeId::IsCharacterInThisVehicle, {{1, 55}}).record.Result(), 0xA5A5A501u);
  EXPECT_EQ(Ask(game, NativeId::IsCharacterInThisVehicle, {{1, 77}}).record.Result(), 0xA5A5A500u);
  Answered probe = Ask(game, NativeId::ProbeVehicleNear);
  EXPECT_EQ(probe.record.Result(), 0xA5A5A500u);
  EXPECT_EQ(probe.targets.word[0], 0u);
}

TEST(ScriptedWorld, VehiclesAnswerOnlyForHandlesThatExist) {
  TestGame game(BusyWorld());
  Answered pos = Ask(game, NativeId::ReadVehiclePosition, {{0, 55}});
  EXPECT_EQ(pos.targets.F(0), 10.0f);
  EXPECT_EQ(pos.targets.F(2), 30.0f);
  Answered rot = Ask(game, NativeId::ReadVehicleRotation, {{0, 55}});
  EXPECT_EQ(rot.targets.F(0), 0.1f);
  EXPECT_EQ(rot.targets.F(3), 0.9f);
  EXPECT_EQ(Ask(game, NativeId::ReadVehicleCondition, {{0, 55}}).targets.word[0], 800u);
  EXPECT_EQ(Ask(game, NativeId::ReadVehicleModel, {{0, 55}}).targets.word[0], 9001u);

  for (NativeId id : {NativeId::ReadVehiclePosition, NativeId::ReadVehicleRotation,
                      NativeId::ReadVehicleCondition, NativeId::ReadVehicleModel,
                      NativeId::ReadVehicleSpeedVector}) {
    Answered none = Ask(game, id, {{0, 56}});
    for (uint32_t word : none.targets.word) EXPECT_EQ(word, kUntouched) << NativeById(id).name;
    EXPECT_EQ(none.record.context.pendingVectorCount, 0u) << NativeById(id).name;
  }
}

TEST(ScriptedWorld, VectorResultsTravelThroughTheCopyBackInSlotOrder) {
  TestGame game(BusyWorld());
  Answered extent = Ask(game, NativeId::ReadModelExtent, {{0, 9001}});
  const NativeContext& c = extent.record.context;
  ASSERT_EQ(c.pendingVectorCount, 2u);
  EXPECT_EQ(c.vectorTargets[0], extent.targets.vec[0]);
  EXPECT_EQ(c.vectorTargets[1], extent.targets.vec[1]);
  EXPECT_EQ(c.vectorScratch[0].x, -1.0f);
  EXPECT_EQ(c.vectorScratch[0].z, -3.0f);
  EXPECT_EQ(c.vectorScratch[1].y, 2.0f);
  EXPECT_TRUE(std::isnan(c.vectorScratch[0].unused));
  EXPECT_TRUE(std::isnan(c.vectorScratch[1].unused));
  // The host leaves the targets for the caller to fill.
  uint32_t first;
  std::memcpy(&first, extent.targets.vec[0], sizeof first);
  EXPECT_EQ(first, kUntouched);

  Answered unknown = Ask(game, NativeId::ReadModelExtent, {{0, 1234}});
  ASSERT_EQ(unknown.record.context.pendingVectorCount, 2u);
  EXPECT_EQ(unknown.record.context.vectorScratch[1].x, 0.0f);

  Answered speed = Ask(game, NativeId::ReadVehicleSpeedVector, {{0, 55}, {2, 0}});
  ASSERT_EQ(speed.record.context.pendingVectorCount, 1u);
  EXPECT_EQ(speed.record.context.vectorTargets[0], speed.targets.vec[0]);
  EXPECT_EQ(speed.record.context.vectorScratch[0].x, 4.0f);
  EXPECT_EQ(speed.record.context.vectorScratch[0].z, 6.0f);
}

TEST(ScriptedWorld, DistanceInDoublePrecisionRoundedToFloat) {
  TestGame game;
  Answered d =
      Ask(game, NativeId::MeasurePointDistance,
          {{0, Bits(1)}, {1, Bits(2)}, {2, Bits(3)}, {3, Bits(4)}, {4, Bits(6)}, {5, Bits(3)}});
  EXPECT_EQ(d.targets.F(0), 5.0f);
  float big = 1e20f;
  Answered far = Ask(
      game, NativeId::MeasurePointDistance,
      {{0, Bits(-big)}, {1, Bits(0)}, {2, Bits(0)}, {3, Bits(big)}, {4, Bits(0)}, {5, Bits(0)}});
  EXPECT_EQ(far.targets.F(0), 2e20f);
}

TEST(ScriptedWorld, LocateNearestAnswersTheClosestVehicleWithinItsRadius) {
  auto at = [](float x, float y, float z) {
    ScriptedVehicle v;
    v.pos = {x, y, z};
    return v;
  };
  const float nan = std::nanf("");
  const struct {
    const char* what;
    std::map<int32_t, ScriptedVehicle> vehicles;
    float x, radius;  // the point is (x, 0, 0)
    int32_t answer;
  } rows[] = {
      {"the nearest", {{3, at(5, 0, 0)}, {4, at(0, 4, 0)}}, 0, 10, 4},
      {"a tie: the lower signed handle",
       {{7, at(0, 3, 0)}, {-2, at(3, 0, 0)}, {5, at(0, 0, 3)}},
       0,
       10,
       -2},
      {"at the radius", {{3, at(3, 4, 0)}}, 0, 5, 3},
      {"just past it", {{3, at(3, 4, 0.001f)}}, 0, 5, 0},
      {"a distance not a number", {{1, at(nan, 0, 0)}, {9, at(8, 0, 0)}}, 0, 10, 9},
      {"vehicle 0", {{0, at(0, 0, 0)}, {9, at(8, 0, 0)}}, 0, 10, 9},
      {"squares in doubles, not floats", {{6, at(1e20f, 0, 0)}}, -1e20f, 3e20f, 6},
      {"none", {}, 0, 10, 0},
  };
  for (const auto& row : rows) {
    WorldPatch w;
    w.locate = Locate::Nearest;
    w.nearVehicle = 77;  // not used
    for (const auto& [handle, v] : row.vehicles) w.vehicles[handle] = v;
    TestGame game(w);
    Answered a = Ask(game, NativeId::LocateVehicleNear,
                     {{0, Bits(row.x)}, {1, Bits(0)}, {2, Bits(0)}, {3, Bits(row.radius)}});
    EXPECT_EQ(static_cast<int32_t>(a.record.Result()), row.answer) << row.what;
  }
}

TEST(ScriptedWorld, ActingNativesChangeNothingALaterQueryAnswers) {
  TestGame game(BusyWorld());
  std::set<NativeId> answering = {
      NativeId::QueryLocalPlayerId,     NativeId::PlayerIndexFromId,
      NativeId::ReadPlayerCharacter,    NativeId::ReadPlayerValue,
      NativeId::QueryFrameStep,         NativeId::IsCharacterInVehicle,
      NativeId::ReadCharacterVehicle,   NativeId::ReadCharacterPosition,
      NativeId::ReadCharacterFacing,    NativeId::ReadCharacterSpeedVector,
      NativeId::ReadCharacterCondition, NativeId::ReadCharacterSelection,
      NativeId::QueryCharacterValue,    NativeId::QueryCharacterBodyMode,
      NativeId::MeasurePointDistance,   NativeId::ProbeBoxBlocked,
      NativeId::IsVehicleValid,         NativeId::IsCharacterInThisVehicle,
      NativeId::ReadVehicleModel,       NativeId::ReadModelExtent,
      NativeId::LocateVehicleNear,      NativeId::ProbeVehicleNear,
      NativeId::ReadVehiclePosition,    NativeId::ReadVehicleRotation,
      NativeId::ReadVehicleSpeedVector, NativeId::ReadVehicleCondition,
      NativeId::QueryScrubStep};
  WorldState before = game.scripted.State();
  for (const NativeInfo* info = NativeTableBegin(); info != NativeTableEnd(); ++info) {
    if (answering.count(info->id)) continue;
    Answered a = Ask(game, info->id);
    EXPECT_EQ(a.record.context.pendingVectorCount, 0u) << info->name;
    for (uint32_t word : a.targets.word) EXPECT_EQ(word, kUntouched) << info->name;
  }
  const WorldState& after = game.scripted.State();
  EXPECT_EQ(after.charPos.x, before.charPos.x);
  EXPECT_EQ(after.vehicle, before.vehicle);
  EXPECT_EQ(after.vehicles.size(), before.vehicles.size());
  EXPECT_EQ(Ask(game, NativeId::ReadCharacterPosition).targets.F(0), 1.5f);
}

TEST(ScriptedWorld, TimelineReplacesAndRemovesWholeVehicles) {
  TimelineEntry entry;
  entry.frame = 2;
  entry.world.emplace();
  entry.world->vehicles[55] = std::nullopt;
  ScriptedVehicle bike;
  bike.condition = 5;
  entry.world->vehicles[60] = bike;
  entry.world->heading = -1.0f;
  TestGame game(BusyWorld(), {entry});
  game.trace.SetFrame(1);
  game.host.StartFrame();
  EXPECT_EQ(Ask(game, NativeId::IsVehicleValid, {{0, 55}}).record.Result(), 0xA5A5A501u);
  game.trace.SetFrame(2);
  game.host.StartFrame();
  EXPECT_EQ(Ask(game, NativeId::IsVehicleValid, {{0, 55}}).record.Result(), 0xA5A5A500u);
  EXPECT_EQ(Ask(game, NativeId::ReadVehicleCondition, {{0, 60}}).targets.word[0], 5u);
  EXPECT_EQ(Ask(game, NativeId::ReadCharacterFacing).targets.F(0), -1.0f);
  EXPECT_EQ(Ask(game, NativeId::ReadCharacterCondition).targets.word[0], 150u);
}

// The counter holds still through a frame and moves on once at the start of
// the next, by the clockUs in force after that frame's entries.
TEST(ScriptedWorld, ClockMovesOnByEachFramesClockUsAfterItsEntries) {
  WorldPatch atLoad;
  atLoad.clockUs = 1000;
  TimelineEntry pause;
  pause.frame = 2;
  pause.world.emplace();
  pause.world->clockUs = 3000000;
  TestGame game(atLoad, {pause});
  game.trace.SetFrame(0);
  game.host.StartFrame();
  game.host.BeginEntry(4);
  std::vector<int64_t> readings;
  for (int frame = 0; frame < 4; ++frame) {
    for (int twice = 0; twice < 2; ++twice) {
      LARGE_INTEGER count{};
      EXPECT_EQ(game.os.OnQueryPerformanceCounter(&count), TRUE);
      readings.push_back(count.QuadPart);
    }
    EXPECT_TRUE(game.host.OnWait(nullptr, 0));
  }
  const int64_t start = 1000000000;
  EXPECT_EQ(readings,
            (std::vector<int64_t>{start, start, start + 1000, start + 1000, start + 3001000,
                                  start + 3001000, start + 6001000, start + 6001000}));
}

TEST(GameHostFaults, UnknownHashWrongCountAndNullTargetsStopTheRun) {
  {
    TestGame game;
    game.trace.SetFrame(4);
    Record record({});
    game.Call(record, 0xDEADBEEF);
    EXPECT_EQ(game.host.Fault(), "unknown native hash 0xDEADBEEF at frame 4");
    // Nothing more is traced once the run has failed.
    Record later({});
    game.Call(later, 0x1CC648EA);
    EXPECT_EQ(game.trace.Text(), "");
    EXPECT_FALSE(game.host.OnWait(nullptr, 0));
  }
  {
    TestGame game;
    Record record({1, 2, 3});
    game.Call(record, 0x6410A13F);
    EXPECT_EQ(game.host.Fault(),
              "native PinCharacter (0x6410A13F) called with 3 argument slots, expected 2 at "
              "frame -1");
  }
  {
    TestGame game;
    Record record({13, 0});
    game.Call(record, 0x6B86410E);
    EXPECT_NE(game.host.Fault().find("slot 1 holds a null address"), std::string::npos);
  }
  {
    TestGame game;
    Record record({});
    record.context.resultPtr = &record.context.argSlots[1];
    game.Call(record, 0x1CC648EA);
    EXPECT_NE(game.host.Fault().find("slot 0"), std::string::npos);
  }
}

TEST(GameHostFaults, WaitingPastTheLastFrameIsAFault) {
  TestGame game;
  game.trace.SetFrame(0);
  game.host.BeginEntry(1);
  EXPECT_TRUE(game.host.OnWait(nullptr, 0));
  EXPECT_FALSE(game.host.OnWait(nullptr, 0));
  EXPECT_EQ(game.host.Fault(),
            "the script body waited for frame 2 after IsThreadAlive had answered false");
}

}  // namespace
