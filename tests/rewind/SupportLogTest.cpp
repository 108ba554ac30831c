// The support log as a player gets it: the settings in force, how each
// rewind started and ended, and a log that is written once per load.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TraceTestSupport.h"

using nlohmann::json;
using Lines = std::vector<std::string>;

namespace {

// The log's lines without their CR LF, the path after "XInput from " as
// PATH; the first four (the start time and the paths) differ from machine
// to machine and are left out unless `all`.
Lines LogLines(const std::optional<std::string>& log, bool all = false) {
  if (!log) return {"no log"};
  Lines lines;
  std::istringstream in(*log);
  std::string line;
  while (std::getline(in, line)) {
    EXPECT_TRUE(!line.empty() && line.back() == '\r') << "not ended by CR LF: " << line;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t from = line.find("XInput from ");
    if (from != std::string::npos) line = line.substr(0, from + 12) + "PATH";
    lines.push_back(line);
  }
  if (!all && lines.size() >= 4) lines.erase(lines.begin(), lines.begin() + 4);
  return lines;
}

// Six recorded frames at x = 0 ... 5, then `timeline`.
json Scenario(int frames, const std::string& settings, json timeline) {
  json all = json::array();
  for (int f = 0; f < 6; ++f) all.push_back(At(f, {{"world", {{"charPos", {f, 0, 1}}}}}));
  for (json& entry : timeline) all.push_back(entry);
  return {{"frames", frames}, {"settings", settings}, {"world", BaseWorld()}, {"timeline", all}};
}

Lines LogOf(const json& scenario, bool all = false) {
  std::optional<std::string> log;
  RunScenario(scenario, &log);
  return LogLines(log, all);
}

TEST(SupportLog, TheHeaderShowsTheSettingsInForceNotAsWritten) {
  const std::string settings =
      "[Keys]\nEnableKey=36\nOlderKey=300\nNewerKey=65\nResumeKey=0\nHold=2\n"
      "[Settings]\nLog=7\nRecSeconds=900\nRecSize=-1\nPush=-2\n"
      "[Pad]\nEnable=2\nToggleButtons=65584\n[Overlay]\nSeconds=3\n[World]\nVehicles=12\n";
  EXPECT_EQ(LogOf(Scenario(1, settings, json::array())),
            (Lines{"[Keys] EnableKey=36 (key 36) OlderKey=90 (Z) NewerKey=65 (A) ResumeKey=32 "
                   "(Space) Hold=1 MarkKey=0 (none)",
                   "[Settings] RecSize=4294967295 Push=-2 RecSeconds=600 Log=1",
                   "[Pad] Enable=1 ToggleButtons=48 (Start+Back) MarkButtons=0 (none), XInput "
                   "from PATH",
                   "[Overlay] Hint=0 Seconds=1", "[World] Vehicles=8"}));
  // Vehicles read as signed: a negative count is off, not all eight.
  EXPECT_EQ(LogOf(Scenario(1, "[Settings]\nLog=1\n[World]\nVehicles=-3\n", json::array())).back(),
            "[World] Vehicles=0");
  // Off, or without a settings file to turn it on: no log at all.
  EXPECT_EQ(LogOf(Scenario(1, "[Settings]\nLog=0\n", json::array())), Lines{"no log"});
  json none = Scenario(1, "", json::array());
  none["settings"] = nullptr;
  EXPECT_EQ(LogOf(none), Lines{"no log"});
}

TEST(SupportLog, SaysHowEachRewindStartedAndEnded) {
  // Pressed: the key, the pad's chord or the resume key; held: let go or
  // the resume key.
  const json pressed = {
      At(6, {{"press", {"F7"}}}),
      At(7, {{"press", {"F7"}}}),
      At(8, {{"pad", {{"buttons", 32}}}}),
      At(9, {{"hold", {"SPACE"}}}),
      At(10, {{"release", {"SPACE"}}, {"pad", {{"buttons", 0}}}}),
      At(11, {{"pad", {{"buttons", 32}}}}),
      At(12, {{"pad", {{"buttons", 0}}}}),
      At(13, {{"pad", {{"buttons", 32}}}}),
  };
  EXPECT_EQ(
      LogOf(Scenario(14, "[Settings]\nLog=1\n[Pad]\nEnable=1\n", pressed)),
      (Lines{"[Keys] EnableKey=118 (F7) OlderKey=90 (Z) NewerKey=88 (X) ResumeKey=32 "
             "(Space) Hold=0 MarkKey=0 (none)",
             "[Settings] RecSize=2000 Push=1 RecSeconds=0 Log=1",
             "[Pad] Enable=1 ToggleButtons=32 (Back) MarkButtons=0 (none), XInput from PATH",
             "[Overlay] Hint=0 Seconds=0", "[World] Vehicles=0",
             "frame 6: rewind (F7), 6 samples kept", "frame 7: play on (F7) from 0 samples back",
             "frame 8: rewind (pad Back), 7 samples kept",
             "frame 9: play on (Space) from 0 samples back",
             "frame 11: rewind (pad Back), 9 samples kept",
             "frame 13: play on (pad Back) from 0 samples back"}));

  const json held = {
      At(6, {{"press", {"F7"}}, {"hold", {"F7"}}}),
      At(8, {{"release", {"F7"}}}),
      At(9, {{"press", {"F7"}}, {"hold", {"F7"}}}),
      At(10, {{"hold", {82}}}),
  };
  const Lines lines =
      LogOf(Scenario(11, "[Keys]\nHold=1\nResumeKey=82\n[Settings]\nLog=1\nRecSeconds=5\n", held));
  EXPECT_EQ(Lines(lines.begin() + 5, lines.end()),
            (Lines{"frame 6: rewind (F7), 6 samples kept, 0.1 s of play",
                   "frame 8: play on (let go) from 2 samples back, 0.0 s",
                   "frame 9: rewind (F7), 7 samples kept, 0.1 s of play",
                   "frame 10: play on (R) from 1 samples back, 0.0 s"}));
}

TEST(SupportLog, OneHeaderPerLoadAndTheEntrysSecondsAreThoseKept) {
  // A tenth of a second a frame, a second of history: ten samples kept at
  // the entry, whatever was trimmed before it. A second entry of the script
  // body goes on logging, with no second header.
  json scenario = Scenario(30, "[Settings]\nLog=1\nRecSeconds=1\n",
                           {At(25, {{"press", {"F7"}}}), At(31, {{"press", {"F7"}}})});
  scenario["world"]["clockUs"] = 100000;
  scenario["reenter"] = 5;
  const Lines lines = LogOf(scenario, true);
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0].rfind("Quorvat " QUORVAT_TEST_VERSION " log, started 20", 0), 0u) << lines[0];
  EXPECT_EQ(Lines(lines.begin() + 9, lines.end()),
            (Lines{"frame 25: rewind (F7), 10 samples kept, 1.0 s of play",
                   "frame 31: play on (F7) from 0 samples back, 0.0 s"}));
}

}  // namespace
