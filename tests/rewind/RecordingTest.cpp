// What a recorded frame asks of the game, and what it keeps: seen through the
// samples that rewinding applies again.
#include <gtest/gtest.h>

#include "TraceTestSupport.h"

using nlohmann::json;
using Calls = std::vector<std::string>;

namespace {

TEST(Recording, TheFirstFrameRunsEveryStepInOrder) {
  const Trace trace = RunScenario({{"frames", 2}, {"world", BaseWorld()}});
  EXPECT_EQ(trace.Frame(-1), (Calls{"SetName(\"Quorvat\")", "RegisterThread()"}));
  EXPECT_EQ(trace.Frame(0), (Calls{
                                "IsThreadAlive()",
                                "CueNormalPlay(0)",
                                "GetFullPathNameW(\"Quorvat.ini\",500)",
                                "GetPrivateProfileIntW(\"Keys\",\"EnableKey\",118)",
                                "GetPrivateProfileIntW(\"Settings\",\"RecSize\",2000)",
                                "GetPrivateProfileIntW(\"Settings\",\"Push\",1)",
                                "GetPrivateProfileIntW(\"Pad\",\"Enable\",0)",
                                "GetPrivateProfileIntW(\"Keys\",\"OlderKey\",90)",
                                "GetPrivateProfileIntW(\"Keys\",\"NewerKey\",88)",
                                "GetPrivateProfileIntW(\"Keys\",\"ResumeKey\",32)",
                                "GetPrivateProfileIntW(\"Overlay\",\"Hint\",0)",
                                "GetPrivateProfileIntW(\"Overlay\",\"Seconds\",0)",
                                "GetPrivateProfileIntW(\"Keys\",\"Hold\",0)",
                                "GetPrivateProfileIntW(\"Settings\",\"RecSeconds\",0)",
                                "GetPrivateProfileIntW(\"Settings\",\"Log\",0)",
                                "GetPrivateProfileIntW(\"Keys\",\"MarkKey\",0)",
                                "GetPrivateProfileIntW(\"World\",\"Vehicles\",0)",
                                "DrawScreenText(0.800000012,0.699999988,\"STRING\",\":: 2.000\")",
                                "QueryLocalPlayerId()",
                                "PlayerIndexFromId(3)",
                                "ReadPlayerCharacter(7,null)",
                                "GetAsyncKeyState(118)",
                                "GetKeyState(32)",
                                "QueryFrameStep()",
                                "CueNormalPlay(0)",
                                "ReadPlayerValue(7,null)",
                                "QueryCharacterValue(5)",
                                "IsCharacterInVehicle(5)",
                                "ReadCharacterPosition(5,null,null,null)",
                                "ReadCharacterFacing(5,null)",
                                "ReadCharacterSpeedVector(5,null,null,null)",
                                "ReadCharacterCondition(5,null)",
                                "ReadCharacterSelection(5,null)",
                                "QueryCharacterBodyMode(5)",
                                "Wait(0)",
                            }));
  // The second frame skips the first-frame block.
  EXPECT_EQ(trace.Count(1, "CueNormalPlay"), 1);
  EXPECT_EQ(trace.Count(1, "GetPrivateProfileIntW"), 0);
  EXPECT_EQ(trace.state["sampleCount"], 2);
}

TEST(Recording, AVehicleFrameReadsTheVehicleTheCharacterIsIn) {
  json world = BaseWorld();
  world["inVehicle"] = true;
  world["vehicle"] = 9;
  const Trace trace = RunScenario({{"frames", 2}, {"world", world}});
  EXPECT_EQ(
      trace.Frame(1, {"IsCharacterInVehicle", "ReadCharacterVehicle", "ReadVehiclePosition",
                      "ReadVehicleRotation", "ReadVehicleSpeedVector", "ReadVehicleCondition",
                      "ReadCharacterPosition"}),
      (Calls{"IsCharacterInVehicle(5)", "ReadCharacterVehicle(5,null)",
             "ReadVehiclePosition(9,null,null,null)", "ReadVehicleRotation(9,null,null,null,null)",
             "ReadVehicleSpeedVector(9,null,false)", "ReadVehicleCondition(9,null)"}));
}

TEST(Recording, TheGateRecordsOnlyAboveTwo) {
  for (int step : {0, 2, 3}) {
    json world = BaseWorld();
    world["frameStep"] = step;
    const Trace trace = RunScenario({{"frames", 3}, {"world", world}});
    EXPECT_EQ(trace.state["sampleCount"], step > 2 ? 3 : 0) << step;
    // A closed gate ends the frame at the query.
    EXPECT_EQ(trace.Count(2, "CueNormalPlay"), step > 2 ? 1 : 0) << step;
  }
}

TEST(Recording, TheHistoriesKeepRecSizePlusOneSamples) {
  const Trace trace = RunScenario(
      {{"frames", 12}, {"world", BaseWorld()}, {"settings", "[Settings]\nRecSize=4\n"}});
  EXPECT_EQ(trace.state["recSize"], 4);
  EXPECT_EQ(trace.state["sampleCount"], 5);
}

// Records one frame with `recorded` world values, then rewinds onto it with
// the world changed by `live`.
Trace RecordThenRewind(json recorded, json live = json::object(), int rewindFrames = 1) {
  json world = BaseWorld();
  for (auto& [key, value] : recorded.items()) world[key] = value;
  return RunScenario({{"frames", 1 + rewindFrames},
                      {"world", world},
                      {"timeline", {At(1, {{"press", {"F7"}}, {"world", live}})}}});
}

TEST(Recording, OnFootZIsStoredOneBelowUnlessInBodyMode) {
  const Trace standing = RecordThenRewind({{"charPos", {1, 2, 10}}});
  EXPECT_EQ(standing.Frame(1, {"PlaceCharacter"}), (Calls{"PlaceCharacter(5,1,2,9)"}));

  const Trace bodyMode = RecordThenRewind({{"charPos", {1, 2, 10.25}}, {"bodyMode", true}});
  EXPECT_EQ(bodyMode.Frame(1, {"PlaceCharacter"}), (Calls{"PlaceCharacter(5,1,2,10.25)"}));
}

TEST(Recording, UnsignedValuesStayPositive) {
  // 4294967295 is stored as the float 4294967296.0: written back, its low 32
  // bits are 0. Stored as a signed value it would come back as -1.
  const Trace trace = RecordThenRewind({{"playerValue", 4294967295u}});
  EXPECT_EQ(trace.Frame(1, {"WritePlayerValue", "ApplyPlayerValue"}),
            (Calls{"WritePlayerValue(7,0)", "ApplyPlayerValue(7)"}));
}

TEST(Recording, ConditionsAboveTwoToThe31StayPositive) {
  const Trace trace = RecordThenRewind({{"charCondition", 3000000000u}}, {{"charCondition", 120}});
  EXPECT_EQ(trace.Frame(1, {"WriteCharacterCondition"}),
            (Calls{"WriteCharacterCondition(5,-1294967296)"}));
}

TEST(Recording, GettingOutOfAVehicleSwitchesToOnFootAtOnce) {
  json world = BaseWorld();
  world["inVehicle"] = true;
  world["vehicle"] = 9;
  const Trace trace = RunScenario({{"frames", 3},
                                   {"world", world},
                                   {"timeline", {At(1, {{"world", {{"inVehicle", false}}}})}}});
  EXPECT_EQ(trace.Count(0, "ReadVehiclePosition"), 1);
  EXPECT_EQ(trace.Count(1, "ReadVehiclePosition"), 0);
  EXPECT_EQ(trace.Count(1, "ReadCharacterPosition"), 1);
}

}  // namespace
