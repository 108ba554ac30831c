// The letterbox bars, the timeline, the cursor cue and the game-speed ramp.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "TraceTestSupport.h"

using nlohmann::json;
using Calls = std::vector<std::string>;

namespace {

// Records `recorded` frames, enters rewind mode at frame `recorded` and stays
// in it until `leave` (if any), running `frames` frames in all.
json Rewind(int recorded, int frames, int leave = -1) {
  json timeline = json::array();
  for (int f = 0; f < recorded; ++f)
    timeline.push_back(At(f, {{"world", {{"charPos", {f, 0, 1}}}}}));
  timeline.push_back(At(recorded, {{"press", {"F7"}}}));
  if (leave >= 0) timeline.push_back(At(leave, {{"press", {"F7"}}}));
  return {{"frames", frames}, {"world", BaseWorld()}, {"timeline", timeline}};
}

// The arguments of the n-th DrawScreenRect of `frame`, parsed.
std::vector<double> Rect(const Trace& trace, int64_t frame, size_t n) {
  const Calls rects = trace.Frame(frame, {"DrawScreenRect"});
  if (n >= rects.size()) return {};
  const std::string& call = rects[n];
  const json args =
      json::parse("[" + call.substr(call.find('(') + 1, call.size() - call.find('(') - 2) + "]");
  return args.get<std::vector<double>>();
}

TEST(Overlay, TheBarsEaseInTowardTheirTargets) {
  const Trace trace = RunScenario(Rewind(2, 52));
  // Frame 2 is the first rewind frame: settleFrames goes 200 -> 201 and the
  // bars aim at 0.1; from then on at 0.2, cueing that things have settled.
  EXPECT_EQ(trace.Frame(2, {"CueRewindSettled", "CueOverlayFrame", "DrawScreenRect"}),
            (Calls{"CueOverlayFrame()", "DrawScreenRect(0.5,0,1,0.00499999989,0,0,0,255)",
                   "DrawScreenRect(0.5,1,1,0.00499999989,0,0,0,255)",
                   "DrawScreenRect(0.5,0.99666667,0.200000003,0.00999999978,255,255,255,255)",
                   "DrawScreenRect(0.600000024,0.99666667,0,0.00999999978,100,100,100,255)"}));
  EXPECT_EQ(trace.Count(3, "CueRewindSettled"), 1);
  EXPECT_NEAR(Rect(trace, 21, 0)[3], 0.126, 5e-4);  // after 20 frames
  EXPECT_NEAR(Rect(trace, 51, 0)[3], 0.184, 5e-4);  // after 50 frames
  // The timeline rides above the bottom bar: at 1 - h / 1.5.
  const double h = Rect(trace, 51, 0)[3];
  EXPECT_NEAR(Rect(trace, 51, 2)[1], 1.0 - h / 1.5, 1e-6);
}

TEST(Overlay, TheFillReachesLeftByAFifthOfTheWayBack) {
  json scenario = Rewind(10, 12);
  scenario["world"]["scrubStep"] = 500;
  scenario["timeline"].push_back(At(11, {{"hold", {"Z"}}}));
  const Trace trace = RunScenario(scenario);
  const std::vector<double> fill = Rect(trace, 11, 3);  // playIndex 5 of 10 samples
  ASSERT_EQ(fill.size(), 8u);
  EXPECT_NEAR(fill[0], 0.55, 1e-6);
  EXPECT_NEAR(fill[2], 0.1, 1e-6);
  EXPECT_EQ(fill[4], 100);
}

TEST(Overlay, OneCursorMoveCuesActivityInThirtyFrames) {
  json scenario = Rewind(2, 40);
  scenario["timeline"].push_back(At(3, {{"cursor", {640, 360}}}));
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(trace.Count(3, "CueRewindActivity"), 2);
  EXPECT_EQ(trace.Count("CueRewindActivity"), 31);
  EXPECT_EQ(trace.Count(32, "CueRewindActivity"), 1);
  EXPECT_EQ(trace.Count(33, "CueRewindActivity"), 0);
  EXPECT_EQ(trace.state["cursorIdleFrames"], 30);
}

TEST(Overlay, ACursorMovedAlongOneAxisCountsAsMoved) {
  json scenario = Rewind(2, 60);
  scenario["timeline"].push_back(At(3, {{"cursor", {0, 360}}}));     // down only
  scenario["timeline"].push_back(At(40, {{"cursor", {640, 360}}}));  // across only
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(trace.Count(3, "CueRewindActivity"), 2);
  EXPECT_EQ(trace.Count(40, "CueRewindActivity"), 2);
}

TEST(Overlay, ACursorThatCannotBeReadCountsAsStill) {
  json scenario = Rewind(2, 10);
  scenario["timeline"].push_back(At(3, {{"cursor", nullptr}}));
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(trace.Count("CueRewindActivity"), 0);
}

TEST(Overlay, AppliedValuesThinTheBarsFor201Frames) {
  json scenario = Rewind(2, 6);
  scenario["world"]["charValue"] = 9;  // differs from the 0 applied before
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(trace.Count("CueRewindSettled"), 0);
  EXPECT_EQ(trace.state["settleFrames"], 4);
}

TEST(Ramp, SixtySevenRecordedFramesBringTheSpeedBack) {
  const Trace trace = RunScenario(Rewind(2, 80, 4));
  const Calls speeds = trace.All("SetGameSpeed");
  ASSERT_EQ(speeds.size(), 1u + 67u);
  EXPECT_EQ(speeds[0], "2:SetGameSpeed(-1)");
  EXPECT_EQ(speeds[1], "4:SetGameSpeed(0)");  // the leave frame itself
  EXPECT_EQ(speeds[2], "5:SetGameSpeed(0.0149999997)");
  EXPECT_EQ(speeds[67], "70:SetGameSpeed(0.989999294)");
  EXPECT_NEAR(trace.state["timeScaleRamp"].get<double>(), 1.0049993, 1e-6);
  // Each ramp frame fades the bars: two bars, no timeline, shrinking.
  EXPECT_EQ(trace.Count(4, "DrawScreenRect"), 2);
  EXPECT_LT(Rect(trace, 70, 0)[3], Rect(trace, 4, 0)[3]);
  EXPECT_EQ(trace.Count(71, "DrawScreenRect"), 0);
}

TEST(Ramp, AClosedGateHoldsTheRampAndTheFade) {
  json scenario = Rewind(2, 10, 4);
  scenario["timeline"].push_back(At(6, {{"world", {{"frameStep", 2}}}}));
  scenario["timeline"].push_back(At(8, {{"world", {{"frameStep", 3}}}}));
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(trace.All("SetGameSpeed"),
            (Calls{"2:SetGameSpeed(-1)", "4:SetGameSpeed(0)", "5:SetGameSpeed(0.0149999997)",
                   "8:SetGameSpeed(0.0299999993)", "9:SetGameSpeed(0.0449999981)"}));
  EXPECT_EQ(trace.Count(6, "DrawScreenRect") + trace.Count(7, "DrawScreenRect"), 0);
}

TEST(Ramp, EnteringDuringTheFadeGrowsTheBarsFromWhereTheyAre) {
  json scenario = Rewind(2, 30, 20);
  scenario["timeline"].push_back(At(25, {{"press", {"F7"}}}));
  const Trace trace = RunScenario(scenario);
  const double faded = Rect(trace, 24, 0)[3];
  const double grown = Rect(trace, 25, 0)[3];
  EXPECT_NEAR(grown, faded + (0.2 - faded) / 20.0, 1e-6);
  EXPECT_EQ(trace.Count(25, "SetGameSpeed"), 1);  // -1 on entering, no ramp step
  EXPECT_EQ(trace.Frame(25, {"SetGameSpeed"}), (Calls{"SetGameSpeed(-1)"}));
}

}  // namespace
