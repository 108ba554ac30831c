// Entering and leaving rewind mode, and moving through the recorded frames.
#include <gtest/gtest.h>

#include "TraceTestSupport.h"

using nlohmann::json;
using Calls = std::vector<std::string>;

namespace {

// Frames 0 .. recorded-1 record the character at x = the frame's number
// with velocity (frame, 0, 0); F7 is pressed at frame `recorded`.
json Recorded(int recorded, int totalFrames) {
  json timeline = json::array();
  for (int f = 0; f < recorded; ++f) {
    timeline.push_back(At(f, {{"world", {{"charPos", {f, 0, 1}}, {"charVel", {f, 0, 0}}}}}));
  }
  timeline.push_back(At(recorded, {{"press", {"F7"}}}));
  return {{"frames", totalFrames}, {"world", BaseWorld()}, {"timeline", timeline}};
}

// The x of the sample being applied in `frame`: the recorded frame.
std::vector<std::string> Placed(const Trace& trace, int64_t frame) {
  return trace.Frame(frame, {"PlaceCharacter"});
}

TEST(Toggle, EnteringSetsTheSpeedAndRunsTheRewindBranchAtOnce) {
  const Trace trace = RunScenario(Recorded(5, 6));
  const Calls frame5 = trace.Frame(5);
  const Calls expectedStart = {"IsThreadAlive()",
                               "DrawScreenText(0.800000012,0.699999988,\"STRING\",\":: 2.000\")",
                               "QueryLocalPlayerId()",
                               "PlayerIndexFromId(3)",
                               "ReadPlayerCharacter(7,null)",
                               "GetAsyncKeyState(118)",
                               "GetKeyState(32)",
                               "SetGameSpeed(-1)",
                               "CueModeSwitch(250)",
                               "GetKeyState(90)",
                               "GetKeyState(37)",
                               "GetKeyState(88)",
                               "GetKeyState(39)",
                               "CueRewindIdle()",
                               "CueRewindIdleLevel(100)",
                               "ReadPlayerValue(7,null)",
                               "GetCursorPos()",
                               "CueOverlayFrame()"};
  ASSERT_GE(frame5.size(), expectedStart.size());
  EXPECT_EQ(Calls(frame5.begin(), frame5.begin() + expectedStart.size()), expectedStart);
  EXPECT_EQ(trace.Count(5, "QueryFrameStep"), 0);  // a rewind frame records nothing
  EXPECT_EQ(Placed(trace, 5), (Calls{"PlaceCharacter(5,4,0,0)"}));  // the newest sample
  EXPECT_EQ(trace.state["rewinding"], 1);
  EXPECT_EQ(trace.state["playIndex"], 0);
  EXPECT_EQ(trace.state["playLength"], 5);
  EXPECT_EQ(trace.state["sampleCount"], 5);
}

TEST(Toggle, LeavingHandsOverTheRecordedVelocityAndRecordsInTheSameFrame) {
  json scenario = Recorded(5, 8);
  scenario["timeline"].push_back(At(6, {{"hold", {"Z"}}}));
  scenario["timeline"].push_back(At(7, {{"release", {"Z"}}, {"press", {"F7"}}}));
  const Trace trace = RunScenario(scenario);
  // Frame 6 scrubbed one sample back, to the frame recorded with velocity 3.
  EXPECT_EQ(trace.Frame(7, {"CueRewindActivity", "IsCharacterInVehicle", "PinCharacter",
                            "ImpelCharacter", "CueModeSwitch", "QueryFrameStep", "SetGameSpeed"}),
            (Calls{"CueRewindActivity()", "IsCharacterInVehicle(5)", "PinCharacter(5,true)",
                   "PinCharacter(5,false)", "ImpelCharacter(5,3,3,0,0,0,0,0,0,0,0,1)",
                   "CueModeSwitch(500)", "QueryFrameStep()", "IsCharacterInVehicle(5)",
                   "SetGameSpeed(0)"}));
  // The new sample goes in front of everything kept, also the newer samples.
  EXPECT_EQ(trace.state["sampleCount"], 6);
  EXPECT_EQ(trace.state["rewinding"], 0);
}

TEST(Toggle, LeavingInAVehicleImpelsTheVehicleTheCharacterIsInNow) {
  json scenario = Recorded(3, 5);
  scenario["timeline"].push_back(
      At(4, {{"press", {"F7"}}, {"world", {{"inVehicle", true}, {"vehicle", 12}}}}));
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(trace.Frame(4, {"ReadCharacterVehicle", "ImpelVehicle", "PinCharacter"}),
            (Calls{"ReadCharacterVehicle(5,null)", "ImpelVehicle(12,3,2,0,0,0,0,0,0,0,0,1)",
                   "ReadCharacterVehicle(5,null)"}));
}

TEST(Toggle, OnlyThePressBitToggles) {
  json scenario = Recorded(3, 6);
  scenario["timeline"].push_back(At(4, {{"hold", {"F7"}}}));  // held, never pressed again
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(trace.Count("CueModeSwitch"), 1);
  EXPECT_EQ(trace.state["rewinding"], 1);
}

TEST(Toggle, SpaceLeavesAndKeepsPlayRecordingWhileHeld) {
  json scenario = Recorded(3, 8);
  scenario["timeline"].push_back(At(5, {{"hold", {"SPACE"}}}));
  scenario["timeline"].push_back(At(6, {{"press", {"F7"}}}));  // dropped: Space is down
  scenario["timeline"].push_back(At(7, {{"release", {"SPACE"}}}));
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(trace.All("CueModeSwitch"), (Calls{"3:CueModeSwitch(250)", "5:CueModeSwitch(500)"}));
  EXPECT_EQ(trace.Count(5, "QueryFrameStep"), 1);
  EXPECT_EQ(trace.Count(6, "QueryFrameStep"), 1);
  // The dropped press is not remembered for frame 7.
  EXPECT_EQ(trace.state["rewinding"], 0);
  EXPECT_EQ(trace.state["sampleCount"], 6);
}

TEST(Toggle, NothingRecordedMeansNothingToRewindTo) {
  json world = BaseWorld();
  world["frameStep"] = 1;
  const Trace trace =
      RunScenario({{"frames", 3}, {"world", world}, {"timeline", {At(1, {{"press", {"F7"}}})}}});
  EXPECT_EQ(trace.Frame(1, {"GetAsyncKeyState", "SetGameSpeed", "CueModeSwitch", "QueryFrameStep"}),
            (Calls{"GetAsyncKeyState(118)", "QueryFrameStep()"}));
  EXPECT_EQ(trace.state["rewinding"], 0);
  // The press was spent: it does not enter later either.
  EXPECT_EQ(trace.Count("SetGameSpeed"), 0);
}

TEST(Toggle, TheConfiguredKeyIsPolledAsGiven) {
  json scenario = Recorded(2, 3);
  scenario["settings"] = "[Keys]\nEnableKey=-1\n";
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(trace.Frame(0, {"GetAsyncKeyState"}), (Calls{"GetAsyncKeyState(-1)"}));
  EXPECT_EQ(trace.state["enableKey"], -1);
}

// Six samples, x = 0 .. 5 (index 0 is x = 5); each entry holds `key` from
// the frame after entering.
Trace Scrubbing(std::vector<std::pair<int, std::string>> holds, uint32_t scrubStep, int frames) {
  json scenario = Recorded(6, frames);
  scenario["world"]["scrubStep"] = scrubStep;
  std::string last;
  for (const auto& [frame, key] : holds) {
    json entry = {{"hold", json::array()}};
    if (!last.empty()) entry["release"] = {last};
    if (!key.empty()) entry["hold"] = {key};
    scenario["timeline"].push_back(At(frame, entry));
    last = key;
  }
  return RunScenario(scenario);
}

TEST(Scrub, OlderStepsStopAtTheOldestSampleAndBumpEveryFrame) {
  const Trace trace = Scrubbing({{7, "Z"}}, 250, 11);
  EXPECT_EQ(Placed(trace, 7), (Calls{"PlaceCharacter(5,3,0,0)"}));
  EXPECT_EQ(Placed(trace, 8), (Calls{"PlaceCharacter(5,1,0,0)"}));
  EXPECT_EQ(Placed(trace, 9), (Calls{"PlaceCharacter(5,0,0,0)"}));
  EXPECT_EQ(trace.Frame(9, {"QueryScrubStep", "TriggerFrontendEvent", "CueRewindActivity"}),
            (Calls{"QueryScrubStep()", "TriggerFrontendEvent(\"FRONTEND_GAME_DROP_WEAPON\")",
                   "CueRewindActivity()"}));
  // Still held at the oldest sample: another step, another bump.
  EXPECT_EQ(Placed(trace, 10), (Calls{"PlaceCharacter(5,0,0,0)"}));
  EXPECT_EQ(trace.Count(10, "TriggerFrontendEvent"), 1);
  EXPECT_EQ(trace.Count(8, "TriggerFrontendEvent"), 0);
  EXPECT_EQ(trace.Count(7, "CueRewindIdle"), 0);
}

TEST(Scrub, NewerStepsStopAtTheNewestSampleAndThenCallNothing) {
  const Trace trace = Scrubbing({{7, "LEFT"}, {9, "X"}}, 300, 12);
  // LEFT: 0 -> 3 -> 5 (clamped); X: 5 -> 2 -> 0 (clamped) -> stays.
  EXPECT_EQ(Placed(trace, 9), (Calls{"PlaceCharacter(5,3,0,0)"}));
  EXPECT_EQ(Placed(trace, 10), (Calls{"PlaceCharacter(5,5,0,0)"}));
  EXPECT_EQ(trace.Count(10, "TriggerFrontendEvent"), 1);
  EXPECT_EQ(trace.Frame(11, {"QueryScrubStep", "TriggerFrontendEvent", "CueRewindActivity",
                             "CueRewindIdle"}),
            Calls{});
  EXPECT_EQ(Placed(trace, 11), (Calls{"PlaceCharacter(5,5,0,0)"}));
}

TEST(Scrub, OlderWinsWhenBothDirectionsAreHeld) {
  json scenario = Recorded(6, 8);
  scenario["world"]["scrubStep"] = 100;
  scenario["timeline"].push_back(At(7, {{"hold", {"X", "Z"}}}));
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(trace.Frame(7, {"GetKeyState"}), (Calls{"GetKeyState(32)", "GetKeyState(90)"}));
  EXPECT_EQ(Placed(trace, 7), (Calls{"PlaceCharacter(5,4,0,0)"}));
}

TEST(Scrub, AStepBelowOneSampleCuesActivityButDoesNotMove) {
  const Trace trace = Scrubbing({{7, "Z"}}, 99, 9);
  EXPECT_EQ(Placed(trace, 8), (Calls{"PlaceCharacter(5,5,0,0)"}));
  EXPECT_EQ(trace.Frame(8, {"QueryScrubStep", "TriggerFrontendEvent", "CueRewindActivity"}),
            (Calls{"QueryScrubStep()", "CueRewindActivity()"}));
}

TEST(Scrub, AHugeStepLandsOnTheEndWithoutWrappingAround) {
  const Trace trace = Scrubbing({{7, "Z"}}, 4294967295u, 8);
  EXPECT_EQ(Placed(trace, 7), (Calls{"PlaceCharacter(5,0,0,0)"}));
  EXPECT_EQ(trace.Count(7, "TriggerFrontendEvent"), 1);
  EXPECT_EQ(trace.state["playIndex"], 5);
}

TEST(CommonValues, AppliedOnlyWhereTheyDiffer) {
  json scenario = Recorded(3, 7);
  scenario["world"]["charValue"] = 4;
  scenario["world"]["playerValue"] = 10;
  scenario["timeline"].push_back(At(5, {{"world", {{"playerValue", 11}}}}));
  const Trace trace = RunScenario(scenario);
  const std::vector<std::string> names = {"WritePlayerValue", "ApplyPlayerValue",
                                          "WriteCharacterValue"};
  // The character value differs from the 0 applied before any rewind.
  EXPECT_EQ(trace.Frame(3, names), (Calls{"WriteCharacterValue(5,4)"}));
  EXPECT_EQ(trace.Frame(4, names), Calls{});
  // The game's per-player value drifted: applied again, every frame it differs.
  EXPECT_EQ(trace.Frame(5, names), (Calls{"WritePlayerValue(7,10)", "ApplyPlayerValue(7)"}));
  EXPECT_EQ(trace.Frame(6, names), (Calls{"WritePlayerValue(7,10)", "ApplyPlayerValue(7)"}));
  EXPECT_EQ(trace.state["charValue"], 4);
  EXPECT_EQ(trace.state["settleFrames"], 1);
}

}  // namespace
