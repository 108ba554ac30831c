// Rewinding by holding the toggle key, the history measured in seconds of
// play, and the frame clock both rely on.
#include <gtest/gtest.h>

#include <string>

#include "TraceTestSupport.h"

using nlohmann::json;
using Calls = std::vector<std::string>;

namespace {

Calls PlacedX(const Trace& trace, int from, int to) {
  Calls placed;
  for (int f = from; f <= to; ++f) {
    const Calls calls = trace.Frame(f, {"PlaceCharacter"});
    placed.push_back(calls.empty() ? "none" : calls.at(0));
  }
  return placed;
}

TEST(Hold, HoldingRewindsBackUnlessNewerIsHeldAndLettingGoOrTheResumeKeyPlaysOn) {
  const json timeline = {
      At(6, {{"press", {"F7"}}, {"hold", {"F7"}}}),  // enters, one step back
      At(7, {{"press", {"F7"}}}),                    // a press while holding doesn't leave
      At(8, {{"hold", {"X"}}}),                      // forward ...
      At(10, json::object()),                        // ... up against the newest: held there
      At(11, {{"release", {"X", "F7"}}}),            // let go: plays on, recording again
      At(12, {{"press", {"F7"}}, {"hold", {"F7"}}}),
      At(13, {{"hold", {"SPACE"}}}),  // the resume key leaves while holding
  };
  const Trace trace = RunScenario(Recorded(6, 14, "[Keys]\nHold=1\n[Overlay]\nHint=1\n", timeline));

  EXPECT_EQ(trace.All("CueModeSwitch"), (Calls{"6:CueModeSwitch(250)", "11:CueModeSwitch(500)",
                                               "12:CueModeSwitch(250)", "13:CueModeSwitch(500)"}));
  EXPECT_EQ(PlacedX(trace, 6, 10),
            (Calls{"PlaceCharacter(5,4,0,0)", "PlaceCharacter(5,3,0,0)", "PlaceCharacter(5,4,0,0)",
                   "PlaceCharacter(5,5,0,0)", "PlaceCharacter(5,5,0,0)"}));
  EXPECT_EQ(trace.Count(10, "QueryScrubStep"), 0);  // at the newest, nothing more is asked
  // Held: the toggle key, the resume key, then only the newer keys; let go,
  // the toggle key alone.
  EXPECT_EQ(trace.Frame(7, {"GetKeyState"}),
            (Calls{"GetKeyState(118)", "GetKeyState(32)", "GetKeyState(88)", "GetKeyState(39)"}));
  EXPECT_EQ(trace.Frame(11, {"GetKeyState"}), (Calls{"GetKeyState(118)"}));
  EXPECT_EQ(trace.Count("CueRewindIdle"), 0);
  EXPECT_EQ(trace.Frame(0, {"DrawScreenText"}),
            (Calls{"DrawScreenText(0.800000012,0.699999988,\"STRING\",\"Hold F7: rewind\")"}));
}

TEST(Hold, ThePadsChordHeldKeepsRewindingAndTheKeyCanTakeOverFromIt) {
  const json timeline = {
      At(6, {{"pad", {{"buttons", 48}}}}),               // Start and Back: the chord, made and held
      At(7, {{"pad", {{"buttons", 48}, {"rt", 255}}}}),  // the right trigger: newer, 4 steps
      At(8, {{"hold", {"F7"}}}),                         // the key held too ...
      At(9, {{"pad", {{"buttons", 16}}}}),               // ... keeps it going once the chord breaks
      At(10, {{"release", {"F7"}}}),
  };
  const Trace trace =
      RunScenario(Recorded(6, 11, "[Keys]\nHold=1\n[Pad]\nEnable=1\nToggleButtons=48\n", timeline));
  EXPECT_EQ(trace.All("CueModeSwitch"), (Calls{"6:CueModeSwitch(250)", "10:CueModeSwitch(500)"}));
  // The press bit is polled and the key asked even while the chord holds.
  EXPECT_EQ(trace.Frame(7, {"GetAsyncKeyState", "GetKeyState"}),
            (Calls{"GetAsyncKeyState(118)", "GetKeyState(118)", "GetKeyState(32)",
                   "GetKeyState(88)", "GetKeyState(39)"}));
  EXPECT_EQ(PlacedX(trace, 6, 7), (Calls{"PlaceCharacter(5,4,0,0)", "PlaceCharacter(5,5,0,0)"}));
}

// With an empty mask the pad has no chord: the hint names none, and letting
// go of the key leaves.
TEST(Hold, APadMaskOfZeroIsNoChord) {
  const json timeline = {At(6, {{"press", {"F7"}}, {"hold", {"F7"}}}),
                         At(7, {{"release", {"F7"}}})};
  const Trace trace = RunScenario(Recorded(
      6, 8, "[Keys]\nHold=1\n[Pad]\nEnable=1\nToggleButtons=0\n[Overlay]\nHint=1\n", timeline));
  EXPECT_EQ(trace.Frame(0, {"DrawScreenText"}),
            (Calls{"DrawScreenText(0.800000012,0.699999988,\"STRING\",\"Hold F7: rewind\")"}));
  EXPECT_EQ(trace.All("CueModeSwitch"), (Calls{"6:CueModeSwitch(250)", "7:CueModeSwitch(500)"}));
}

// The frame lengths of a run at `clockUs` a frame, summed by scrubbing the
// whole history back in one step: the label then shows them all.
std::string LabelAfter(int recorded, int clockUs,
                       const std::string& settings = "[Overlay]\nSeconds=1\n") {
  json scenario = Recorded(recorded, recorded + 1, settings,
                           {At(recorded, {{"press", {"F7"}}, {"hold", {"Z"}}})});
  scenario["world"]["clockUs"] = clockUs;
  scenario["world"]["scrubStep"] = 100 * (recorded - 1);
  const Calls texts = RunScenario(scenario).Frame(recorded, {"DrawScreenText"});
  return texts.empty() ? "none" : texts.back().substr(texts.back().rfind(',') + 1);
}

TEST(FrameClock, FramesAddUpToTheRealTimeAtAnyFrameRate) {
  // 1441 samples, the first without a length: 1440 frames of 6.944 ms and
  // of 16.667 ms, 10.0 s and 24.0 s. Each frame's length truncated alone
  // would read 8.6 s and 23.0 s.
  EXPECT_EQ(LabelAfter(1441, 6944), "\"-10.0 s\")");
  EXPECT_EQ(LabelAfter(1441, 16667), "\"-24.0 s\")");
}

int SamplesKept(const std::string& settings, int frames, int clockUs,
                json timeline = json::array()) {
  json scenario = Recorded(0, frames, settings, timeline);
  scenario["world"]["clockUs"] = clockUs;
  return RunScenario(scenario).state["sampleCount"];
}

TEST(RecSeconds, KeepsThatManySecondsOfPlayAndAsManySamplesAtTheMost) {
  // A second a frame (the first frame none): 600 s of play at the most.
  EXPECT_EQ(SamplesKept("[Settings]\nRecSeconds=601\n", 605, 1000000), 600);
  // A clock that reads 0 every frame: the count caps it.
  EXPECT_EQ(SamplesKept("[Settings]\nRecSeconds=1\n", 1005, 0), 1000);
  // Zero or negative: off, and RecSize counts.
  EXPECT_EQ(SamplesKept("[Settings]\nRecSize=5\nRecSeconds=-1\n", 20, 1000000), 6);
  EXPECT_EQ(SamplesKept("[Settings]\nRecSize=5\nRecSeconds=0\n", 20, 1000000), 6);
  // A frame of a whole second at R = 1 leaves only its own sample.
  EXPECT_EQ(SamplesKept("[Settings]\nRecSeconds=1\n", 11, 16667,
                        {At(10, {{"world", {{"clockUs", 1000000}}}})}),
            1);
  // The clock runs for the history, but the label waits for Seconds.
  EXPECT_EQ(LabelAfter(100, 16667, "[Settings]\nRecSeconds=60\n"), "none");
}

}  // namespace
