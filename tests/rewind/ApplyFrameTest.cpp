// Holding the character or the vehicle at the recorded frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <optional>

#include "TraceTestSupport.h"

using nlohmann::json;
using Calls = std::vector<std::string>;

namespace {

// Records one on-foot frame with `recorded`, then enters rewind mode in
// frame 1 with the world changed by `live`.
Trace FootRewind(json recorded, json live) {
  json world = BaseWorld();
  for (auto& [key, value] : recorded.items()) world[key] = value;
  return RunScenario({{"frames", 2},
                      {"world", world},
                      {"timeline", {At(1, {{"press", {"F7"}}, {"world", live}})}}});
}

const std::vector<std::string> kPull = {"PinCharacter", "ImpelCharacter"};

TEST(FootFrame, ThreeDistanceBands) {
  // Recorded at z 1: the sample holds 0, 0, 0.
  const json recorded = {{"charPos", {0, 0, 1}}};
  EXPECT_EQ(FootRewind(recorded, {{"charPos", {0.25, 0, 0}}}).Frame(1, kPull),
            (Calls{"PinCharacter(5,true)"}));
  EXPECT_EQ(FootRewind(recorded, {{"charPos", {0.5, 0, 0}}}).Frame(1, kPull),
            (Calls{"PinCharacter(5,true)", "PinCharacter(5,false)",
                   "ImpelCharacter(5,3,-50,0,0,0,0,0,0,0,0,1)"}));
  EXPECT_EQ(FootRewind(recorded, {{"charPos", {0, 4.5, 0}}}).Frame(1, kPull),
            (Calls{"PinCharacter(5,true)", "PinCharacter(5,false)",
                   "ImpelCharacter(5,3,0,-450,0,0,0,0,0,0,0,1)"}));
  EXPECT_EQ(FootRewind(recorded, {{"charPos", {0, 0, 5}}}).Frame(1, kPull),
            (Calls{"PinCharacter(5,false)", "ImpelCharacter(5,3,0,0,-500,0,0,0,0,0,0,1)"}));
  // A distance that is not a number pulls like a far one.
  EXPECT_EQ(FootRewind(recorded, {{"charPos", {"nan", 0, 0}}}).Frame(1, kPull),
            (Calls{"PinCharacter(5,false)", "ImpelCharacter(5,3,\"nan\",0,0,0,0,0,0,0,0,1)"}));
}

TEST(FootFrame, TheFullSequenceAndTheProbeBox) {
  const Trace trace =
      FootRewind({{"charPos", {10, 20, 31}}, {"heading", 1.5}}, {{"charPos", {10, 20, 30}}});
  const Calls all = trace.Frame(1);
  const auto first = std::find(all.begin(), all.end(), "IsCharacterInVehicle(5)");
  ASSERT_NE(first, all.end());
  EXPECT_EQ(Calls(first, all.end()),
            (Calls{"IsCharacterInVehicle(5)", "ReadCharacterPosition(5,null,null,null)",
                   "MeasurePointDistance(10,20,30,10,20,30,null)", "PinCharacter(5,true)",
                   "ProbeBoxBlocked(9,9,19,31,21,31,false,true,true,false,false)",
                   "PlaceCharacter(5,10,20,30)", "QueryCharacterBodyMode(5)",
                   "QueryCharacterBodyMode(5)", "TurnCharacterTo(5,1.5)",
                   "ReadCharacterCondition(5,null)", "ReadCharacterSelection(5,null)", "Wait(0)"}));
}

TEST(FootFrame, ABlockedBoxHoldsBackOnlyThePlacement) {
  const Trace trace = FootRewind({}, {{"boxBlocked", true}});
  EXPECT_EQ(trace.Count(1, "PlaceCharacter"), 0);
  EXPECT_EQ(trace.Count(1, "TurnCharacterTo"), 1);
}

TEST(FootFrame, ACharacterInAVehicleIsTakenOutFirst) {
  const Trace trace = FootRewind({{"charPos", {1, 2, 4}}}, {{"inVehicle", true}});
  const Calls all = trace.Frame(
      1, {"IsCharacterInVehicle", "UnseatCharacterAt", "ReadCharacterPosition", "PlaceCharacter"});
  EXPECT_EQ(all, (Calls{"IsCharacterInVehicle(5)", "UnseatCharacterAt(5,1,2,3)",
                        "ReadCharacterPosition(5,null,null,null)", "PlaceCharacter(5,1,2,3)"}));
}

TEST(FootFrame, BodyModeFollowsTheSample) {
  const std::vector<std::string> names = {"EnterCharacterBodyMode", "LeaveCharacterBodyMode",
                                          "TurnCharacterTo"};
  // Recorded in body mode, live not: entered; the game still says no, so turned.
  EXPECT_EQ(FootRewind({{"bodyMode", true}}, {{"bodyMode", false}}).Frame(1, names),
            (Calls{"EnterCharacterBodyMode(5,2000,5000,2,1,1,0)", "TurnCharacterTo(5,0)"}));
  // Both in body mode: nothing to start and no turning.
  EXPECT_EQ(FootRewind({{"bodyMode", true}}, {}).Frame(1, names), Calls{});
  // Recorded out of body mode, live in it.
  EXPECT_EQ(FootRewind({}, {{"bodyMode", true}}).Frame(1, names),
            (Calls{"LeaveCharacterBodyMode(5,true)"}));
}

TEST(FootFrame, TheConditionIsRestoredWithAFloor) {
  const std::vector<std::string> names = {"WriteCharacterCondition"};
  EXPECT_EQ(FootRewind({{"charCondition", 80}}, {{"charCondition", 120}}).Frame(1, names),
            (Calls{"WriteCharacterCondition(5,101)"}));
  EXPECT_EQ(FootRewind({{"charCondition", 150}}, {{"charCondition", 90}}).Frame(1, names),
            (Calls{"WriteCharacterCondition(5,150)"}));
  const Trace same = FootRewind({{"charCondition", 100}}, {});
  EXPECT_EQ(same.Frame(1, names), Calls{});
  // Nothing applied: the overlay counted settleFrames on from 200.
  EXPECT_EQ(same.state["settleFrames"], 201);
}

TEST(FootFrame, TheFootValueIsRestoredWhereItDiffers) {
  const Trace changed = FootRewind({{"footValue", 3}}, {{"footValue", 4}});
  EXPECT_EQ(changed.Frame(1, {"WriteCharacterSelection"}),
            (Calls{"WriteCharacterSelection(5,3,true)"}));
  // Reset after the overlay ran in this frame: counts from the next one.
  EXPECT_EQ(changed.state["settleFrames"], 0);
  EXPECT_EQ(FootRewind({{"footValue", 3}}, {}).Count(1, "WriteCharacterSelection"), 0);
}

// A vehicle world: character 5 sits in vehicle 9 of model 40.
json VehicleWorld() {
  json world = BaseWorld();
  world["inVehicle"] = true;
  world["vehicle"] = 9;
  world["vehicles"] = {
      {"9", {{"pos", {1, 2, 3}}, {"rot", {0.5, 0, 0, 0.5}}, {"condition", 900}, {"model", 40}}}};
  world["models"] = {{"40", {{"a", {-1, -1, -1}}, {"b", {2.0, 4.5, 1.0}}}}};
  return world;
}

Trace VehicleRewind(json live, std::optional<std::string> settings = std::nullopt) {
  json scenario = {{"frames", 2},
                   {"world", VehicleWorld()},
                   {"timeline", {At(1, {{"press", {"F7"}}, {"world", live}})}}};
  if (settings) scenario["settings"] = *settings;
  return RunScenario(scenario);
}

const std::vector<std::string> kVehicleCalls = {
    "IsVehicleValid",         "IsCharacterInThisVehicle",
    "SeatCharacterInVehicle", "TurnVehicleTo",
    "WriteVehicleCondition",  "ReadVehicleModel",
    "ReadModelExtent",        "PlaceVehicle",
    "LocateVehicleNear",      "ProbeVehicleNear",
    "ReadVehiclePosition",    "MeasurePointDistance",
    "ImpelVehicle",           "WriteVehicleRotation"};

TEST(VehicleFrame, PushModeWithNoOtherVehicleNear) {
  const Trace trace = VehicleRewind({});
  EXPECT_EQ(
      trace.Frame(1, kVehicleCalls),
      (Calls{"IsVehicleValid(9)", "IsCharacterInThisVehicle(5,9)", "TurnVehicleTo(9,0.5)",
             "WriteVehicleCondition(9,900)", "ReadVehicleModel(9,null)",
             "ReadModelExtent(40,null,null)", "PlaceVehicle(9,0,0,0)",
             "LocateVehicleNear(1,2,3,10.5,false,70)", "ProbeVehicleNear(1,2,3,10.5,0,70,null)",
             "PlaceVehicle(9,1,2,3)", "IsVehicleValid(0)", "WriteVehicleRotation(9,0.5,0,0,0.5)"}));
}

std::string Nine(float value) {
  char buffer[32];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                           std::chars_format::general, 9)
                 .ptr;
  return std::string(buffer, end);
}

TEST(VehicleFrame, PushModePushesANearVehicleAwayHarderWhenCloser) {
  json live = {{"nearVehicle", 12}, {"vehicles", {{"12", {{"pos", {2, 2, 3}}}}}}};
  const Trace trace = VehicleRewind(live);
  // Distance 1: the factor is 100 / 80.01.
  const float f = static_cast<float>(100.0 / (80.0 + static_cast<double>(0.01f)));
  EXPECT_EQ(Nine(f), "1.24984372");
  EXPECT_EQ(
      trace.Frame(1, {"ReadVehiclePosition", "MeasurePointDistance", "ImpelVehicle"}),
      (Calls{"ReadVehiclePosition(12,null,null,null)", "MeasurePointDistance(1,2,3,2,2,3,null)",
             "ImpelVehicle(12,3," + Nine(f) + ",0,0,0,0,0,0,0,0,1)"}));

  // Distance 0: the factor is 100 / 0.01, stored as 10000, and the push is zero.
  live["vehicles"]["12"]["pos"] = {1, 2, 3};
  EXPECT_EQ(VehicleRewind(live).Frame(1, {"ImpelVehicle"}),
            (Calls{"ImpelVehicle(12,3,0,0,0,0,0,0,0,0,0,1)"}));
}

TEST(VehicleFrame, TheRadiusTakesTheLargerOfTheExtentsXAndY) {
  json live = {{"models", {{"40", {{"b", {7.0, 4.5, 1.0}}}}}}};
  EXPECT_EQ(VehicleRewind(live).Frame(1, {"LocateVehicleNear"}),
            (Calls{"LocateVehicleNear(1,2,3,13,false,70)"}));
}

TEST(VehicleFrame, PlainPlacementForEveryOtherPushSetting) {
  for (const char* push : {"0", "2", "-1"}) {
    const Trace trace = VehicleRewind({}, std::string("[Settings]\nPush=") + push + "\n");
    EXPECT_EQ(trace.Frame(1, kVehicleCalls),
              (Calls{"IsVehicleValid(9)", "IsCharacterInThisVehicle(5,9)", "TurnVehicleTo(9,0.5)",
                     "WriteVehicleCondition(9,900)", "PlaceVehicle(9,1,2,3)",
                     "WriteVehicleRotation(9,0.5,0,0,0.5)"}))
        << push;
  }
}

TEST(VehicleFrame, AVehicleThatNoLongerExistsIsSkipped) {
  const Trace trace = VehicleRewind({{"vehicles", {{"9", nullptr}}}});
  EXPECT_EQ(trace.Frame(1, kVehicleCalls), (Calls{"IsVehicleValid(9)"}));
}

TEST(VehicleFrame, ACharacterOutOfTheVehicleIsSeatedFirst) {
  const Trace trace = VehicleRewind({{"inVehicle", false}});
  EXPECT_EQ(
      trace.Frame(1, kVehicleCalls),
      (Calls{"IsVehicleValid(9)", "IsCharacterInThisVehicle(5,9)", "SeatCharacterInVehicle(5,9)"}));
}

}  // namespace
