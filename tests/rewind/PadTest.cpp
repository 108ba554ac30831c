// The game pad: asked only when the settings turn it on, its chord toggling
// on the frame it is made, its triggers and D-pad scrubbing after the keys.
#include <gtest/gtest.h>

#include "TraceTestSupport.h"

using nlohmann::json;
using Calls = std::vector<std::string>;

namespace {

// Any value but 0 turns the pad on; only the mask's low 16 bits count (48:
// Start and Back together).
const char* const kPadOn = "[Pad]\nEnable=-1\nToggleButtons=65584\n";

json PadScenario(int frames, json settings, json timeline) {
  return {{"frames", frames},
          {"settings", std::move(settings)},
          {"world", BaseWorld()},
          {"timeline", std::move(timeline)}};
}

json Pad(int buttons, int lt = 0, int rt = 0) {
  return {{"buttons", buttons}, {"lt", lt}, {"rt", rt}};
}

TEST(Pad, OffItIsNeverAskedAndItsChordIsNotRead) {
  const Trace trace = RunScenario(PadScenario(
      6, nullptr,
      {At(0, {{"pad", Pad(32)}}), At(3, {{"pad", Pad(0)}}), At(4, {{"pad", Pad(32, 255)}})}));
  EXPECT_EQ(trace.Count("XInputGetState"), 0);
  EXPECT_EQ(trace.Frame(0, {"GetPrivateProfileIntW"}).at(3),
            "GetPrivateProfileIntW(\"Pad\",\"Enable\",0)");
  EXPECT_EQ(trace.Count("CueModeSwitch"), 0);
}

TEST(Pad, TheChordTogglesOnlyOnTheFrameItIsMadeAndNeverWhileSpaceIsHeld) {
  const Trace trace = RunScenario(PadScenario(
      16, kPadOn,
      {At(3, {{"pad", Pad(16)}}),                            // one button of the chord alone
       At(4, {{"pad", Pad(48 | 4096)}, {"press", {"F7"}}}),  // and a key press: one toggle
       At(7, {{"pad", Pad(0)}}), At(8, {{"pad", Pad(48)}}),
       At(9, {{"hold", {"SPACE"}}, {"pad", Pad(0)}}), At(10, {{"pad", Pad(48)}}),
       At(11, {{"release", {"SPACE"}}}),  // still held: not made again
       At(12, {{"pad", nullptr}}), At(13, {{"pad", Pad(48)}}),
       At(14, {{"pad", Pad(16)}}),     // Back let go, Start kept down,
       At(15, {{"pad", Pad(48)}})}));  // and Back again: made anew
  EXPECT_EQ(trace.All("CueModeSwitch"), (Calls{"4:CueModeSwitch(250)", "8:CueModeSwitch(500)",
                                               "13:CueModeSwitch(250)", "15:CueModeSwitch(500)"}));
  EXPECT_EQ(trace.Frame(0, {"GetPrivateProfileIntW"}).at(4),
            "GetPrivateProfileIntW(\"Pad\",\"ToggleButtons\",32)");
  // Once a frame, after the player is known and before the toggle key.
  EXPECT_EQ(trace.Count("XInputGetState"), 16);
  EXPECT_EQ(trace.Frame(1, {"ReadPlayerCharacter", "XInputGetState", "GetAsyncKeyState"}),
            (Calls{"ReadPlayerCharacter(7,null)", "XInputGetState(0)", "GetAsyncKeyState(118)"}));
}

TEST(Pad, TriggersAboveThirtyAndTheDpadScrubAfterTheKeysOfTheirDirection) {
  json timeline = json::array();
  for (int f = 0; f < 6; ++f) timeline.push_back(At(f, {{"world", {{"charPos", {f, 0, 1}}}}}));
  timeline.push_back(At(6, {{"press", {"F7"}}}));
  timeline.push_back(At(7, {{"pad", Pad(0, 30)}}));                       // at rest
  timeline.push_back(At(8, {{"pad", Pad(0, 31)}}));                       // older
  timeline.push_back(At(9, {{"pad", Pad(4)}}));                           // D-pad left: older
  timeline.push_back(At(10, {{"pad", Pad(8)}}));                          // D-pad right: newer
  timeline.push_back(At(11, {{"pad", Pad(0, 0, 31)}, {"hold", {"Z"}}}));  // the key's older wins
  timeline.push_back(At(12, {{"pad", Pad(0, 31)}, {"release", {"Z"}}, {"hold", {"X"}}}));
  timeline.push_back(At(13, {{"pad", Pad(0, 0, 40)}, {"release", {"X"}}}));  // newer
  const Trace trace = RunScenario(PadScenario(14, "[Pad]\nEnable=1\n", timeline));
  std::vector<std::string> placed;
  for (int f = 7; f <= 13; ++f) placed.push_back(trace.Frame(f, {"PlaceCharacter"}).at(0));
  EXPECT_EQ(placed,
            (Calls{"PlaceCharacter(5,5,0,0)", "PlaceCharacter(5,4,0,0)", "PlaceCharacter(5,3,0,0)",
                   "PlaceCharacter(5,4,0,0)", "PlaceCharacter(5,3,0,0)", "PlaceCharacter(5,2,0,0)",
                   "PlaceCharacter(5,3,0,0)"}));
  // Nothing scrubbing older, the newer keys are asked before the pad.
  EXPECT_EQ(trace.Frame(10, {"GetKeyState"}),
            (Calls{"GetKeyState(32)", "GetKeyState(90)", "GetKeyState(37)", "GetKeyState(88)",
                   "GetKeyState(39)"}));
  // The pad scrubbing older, the newer keys are not asked at all.
  EXPECT_EQ(trace.Frame(12, {"GetKeyState"}),
            (Calls{"GetKeyState(32)", "GetKeyState(90)", "GetKeyState(37)"}));
}

}  // namespace
