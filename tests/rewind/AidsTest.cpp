// The player aids: movable scrub and resume keys, the start-up hint, the
// seconds label by the timeline and the pad's trigger speed.
#include <gtest/gtest.h>

#include <cstdio>

#include "TraceTestSupport.h"

using nlohmann::json;
using Calls = std::vector<std::string>;

namespace {

// Frames 0 .. recorded-1 record the character at x = the frame's number; F7
// is pressed at frame `recorded`, then `timeline` follows.
json RecordedThenF7(int recorded, int frames, json settings, json timeline) {
  json all = json::array({At(recorded, {{"press", {"F7"}}})});
  for (json& entry : timeline) all.push_back(entry);
  return Recorded(recorded, frames, std::move(settings), all);
}

// The recorded x placed in each of frames `from` .. `to`.
Calls PlacedX(const Trace& trace, int from, int to) {
  Calls placed;
  for (int f = from; f <= to; ++f) placed.push_back(trace.Frame(f, {"PlaceCharacter"}).at(0));
  return placed;
}

TEST(Aids, TheScrubAndResumeKeysAreTheSettingsOwnAndOutOfRangeOnesKeepTheirDefaults) {
  const json moves = {At(7, {{"hold", {65}}}), At(9, {{"release", {65}}, {"hold", {68}}}),
                      At(10, {{"release", {68}}, {"hold", {254}}})};  // the range's top: a key
  const Trace moved = RunScenario(
      RecordedThenF7(6, 11, "[Keys]\nOlderKey=65\nNewerKey=68\nResumeKey=254\n", moves));
  EXPECT_EQ(PlacedX(moved, 6, 9), (Calls{"PlaceCharacter(5,5,0,0)", "PlaceCharacter(5,4,0,0)",
                                         "PlaceCharacter(5,3,0,0)", "PlaceCharacter(5,4,0,0)"}));
  EXPECT_EQ(moved.All("CueModeSwitch"), (Calls{"6:CueModeSwitch(250)", "10:CueModeSwitch(500)"}));
  for (const std::string& call : moved.All("GetKeyState")) {
    const std::string key = call.substr(call.find('('));
    EXPECT_TRUE(key == "(65)" || key == "(68)" || key == "(254)" || key == "(37)" || key == "(39)")
        << call;
  }

  const Trace fallen =
      RunScenario(RecordedThenF7(6, 8, "[Keys]\nOlderKey=0\nNewerKey=255\nResumeKey=-1\n", {}));
  EXPECT_EQ(fallen.Frame(7, {"GetKeyState"}),
            (Calls{"GetKeyState(32)", "GetKeyState(90)", "GetKeyState(37)", "GetKeyState(88)",
                   "GetKeyState(39)"}));
}

TEST(Aids, TheHintTakesTheStampsFramesAndNamesTheToggleKeyAndChord) {
  // A file time the runtime can't break down leaves no stamp to show; the
  // hint shows all the same.
  json scenario = {{"frames", 101},
                   {"moduleMtime", -1},
                   {"settings",
                    "[Keys]\nEnableKey=82\n[Pad]\nEnable=1\nToggleButtons=48\n"
                    "[Overlay]\nHint=1\n"},
                   {"world", BaseWorld()}};
  const Trace chord = RunScenario(scenario);
  const Calls texts = chord.All("DrawScreenText");
  ASSERT_EQ(texts.size(), 99u);
  EXPECT_EQ(texts.front(),
            "0:DrawScreenText(0.800000012,0.699999988,\"STRING\",\"R or pad "
            "Start+Back: rewind\")");
  EXPECT_EQ(texts.back().substr(0, 3), "98:");

  scenario["settings"] = "[Overlay]\nHint=1\n";
  scenario["frames"] = 1;
  EXPECT_EQ(RunScenario(scenario).Frame(0, {"DrawScreenText"}),
            (Calls{"DrawScreenText(0.800000012,0.699999988,\"STRING\",\"F7: rewind\")"}));

  // The last of the F keys, and the top bit of the mask.
  scenario["settings"] =
      "[Keys]\nEnableKey=135\n[Pad]\nEnable=1\nToggleButtons=32800\n[Overlay]\nHint=1\n";
  EXPECT_EQ(
      RunScenario(scenario).Frame(0, {"DrawScreenText"}),
      (Calls{"DrawScreenText(0.800000012,0.699999988,\"STRING\",\"F24 or pad Back+Y: rewind\")"}));
}

TEST(Aids, TheLabelSumsTheRecordedFrameLengthsUpToTheScrubPositionEachCappedAtASecond) {
  // The samples' frame lengths, newest first: 16, 40, 1000 (a 3 s pause),
  // 250, 144 and 0 (the module's first frame has no earlier reading). Left
  // at frame 14 and entered again at 15. Any value but 0 turns the label on.
  json timeline = {At(7, {{"hold", {"Z"}}}), At(12, {{"release", {"Z"}}, {"hold", {"X"}}}),
                   At(14, {{"release", {"X"}}, {"press", {"F7"}}}), At(15, {{"press", {"F7"}}})};
  json scenario = RecordedThenF7(6, 16, "[Overlay]\nSeconds=-1\n", timeline);
  const int clockUs[] = {0, 144000, 250000, 3000000, 40000, 16667};
  for (int f = 1; f <= 5; ++f) scenario["timeline"][f]["world"]["clockUs"] = clockUs[f];
  const Trace trace = RunScenario(scenario);

  auto label = [&trace](int f) {  // the frame's last text, after the stamp's
    const Calls texts = trace.Frame(f, {"DrawScreenText"});
    return texts.empty() ? std::string() : texts.back().substr(texts.back().rfind(',') + 1);
  };
  Calls labels;
  for (int f = 6; f <= 13; ++f) labels.push_back(label(f));
  // 1450 ms: a half rounds up.
  EXPECT_EQ(labels, (Calls{"\"-0.0 s\")", "\"-0.0 s\")", "\"-0.1 s\")", "\"-1.1 s\")",
                           "\"-1.3 s\")", "\"-1.5 s\")", "\"-1.3 s\")", "\"-1.1 s\")"}));
  EXPECT_EQ(label(15), "\"-0.0 s\")");  // the sum starts afresh with the scrub position

  // Drawn last, just above the timeline: its y is the fill's less 0.02.
  const float height = static_cast<float>(0.1 / 20.0);  // the bars' first step from 0
  const float lineY = static_cast<float>(1.0 - static_cast<double>(height) / 1.5);
  char expected[96];
  std::snprintf(expected, sizeof expected, "DrawScreenText(0.620000005,%.9g,\"STRING\",\"-0.0 s\")",
                static_cast<double>(static_cast<float>(static_cast<double>(lineY) - 0.02)));
  const Calls drawn = trace.Frame(6, {"DrawScreenRect", "DrawScreenText", "PlaceCharacter"});
  ASSERT_EQ(drawn.size(), 7u);  // the stamp, four shapes, the label, the frame applied
  EXPECT_EQ(drawn[5], expected);
  // One clock reading a frame, the frequency once.
  EXPECT_EQ(trace.Count("QueryPerformanceCounter"), 16);
  EXPECT_EQ(trace.All("QueryPerformanceFrequency"), (Calls{"0:QueryPerformanceFrequency()"}));
}

TEST(Aids, APulledTriggerScrubsFasterUnlessAKeyOfItsDirectionIsHeld) {
  // A scrub step of 160 hundredths: q quarters move 0.4 q samples, truncated.
  json pad = {{"buttons", 0}, {"lt", 255}, {"rt", 0}};
  json timeline = {At(21, {{"pad", pad}, {"hold", {"Z"}}}),           // the key's step: one
                   At(22, {{"release", {"Z"}}}),                      // 16 quarters: six
                   At(23, {{"pad", {{"buttons", 4}, {"lt", 128}}}}),  // 9 quarters: three
                   At(24, {{"pad", {{"buttons", 0}, {"lt", 49}}}})};  // still 4 quarters: one
  json scenario = RecordedThenF7(20, 25, "[Pad]\nEnable=1\n", timeline);
  scenario["world"]["scrubStep"] = 160;
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(PlacedX(trace, 21, 24), (Calls{"PlaceCharacter(5,18,0,0)", "PlaceCharacter(5,12,0,0)",
                                           "PlaceCharacter(5,9,0,0)", "PlaceCharacter(5,8,0,0)"}));
}

}  // namespace
