// Marks on the timeline: the key and the chord in force, the press right
// after the toggle test, marks that belong to their samples, the jump in
// place of the scrub step, the ticks, and what the log says of them.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "TraceTestSupport.h"

using nlohmann::json;
using Calls = std::vector<std::string>;

namespace {

constexpr int kF8 = 119;

// Frames 0 .. recorded-1 record the character at x = the frame's number,
// with the mark pressed in the frames of `marked`; `timeline` follows.
json Recorded(int recorded, int frames, const std::string& settings, const std::vector<int>& marked,
              json timeline) {
  json scenario = ::Recorded(recorded, frames, settings, std::move(timeline));
  for (int m : marked) {
    if (m >= 0 && m < recorded) scenario["timeline"][m]["press"] = {kF8};
  }
  return scenario;
}

// The recorded x placed in each of frames `from` .. `to` ("none" when none).
Calls PlacedX(const Trace& trace, int from, int to) {
  Calls placed;
  for (int f = from; f <= to; ++f) {
    const Calls calls = trace.Frame(f, {"PlaceCharacter"});
    placed.push_back(calls.empty() ? "none"
                                   : calls.at(0).substr(17, calls.at(0).find(',', 17) - 17));
  }
  return placed;
}

// The log's event lines (after the eight of the header), without CR LF.
Calls LogEvents(const json& scenario) {
  std::optional<std::string> log;
  RunScenario(scenario, &log);
  Calls lines;
  if (!log) return lines;
  std::istringstream in(*log);
  std::string line;
  for (int n = 0; std::getline(in, line); ++n) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (n >= 9) lines.push_back(line);
  }
  return lines;
}

TEST(Marks, TheKeyAndChordInForceAreAskedRightAfterTheToggleAndNamedUnderTheHint) {
  struct Row {
    std::string settings;
    std::string hint;  // the second line of frame 0, empty for none
    Calls asked;       // frame 1's key and pad queries
  };
  const Calls toggle = {"GetAsyncKeyState(118)", "GetKeyState(32)"};
  const Calls padToggle = {"XInputGetState(0)", "GetAsyncKeyState(118)", "GetKeyState(32)"};
  const Row rows[] = {
      {"[Keys]\nMarkKey=119\n",
       "F8: mark",
       {"GetAsyncKeyState(118)", "GetKeyState(32)", "GetAsyncKeyState(119)"}},
      {"[Keys]\nMarkKey=119\nHold=1\n",
       "F8: mark",
       {"GetAsyncKeyState(118)", "GetKeyState(32)", "GetAsyncKeyState(119)"}},
      {"[Keys]\nMarkKey=119\n[Pad]\nEnable=1\nMarkButtons=32768\n",
       "F8 or pad Y: mark",
       {"XInputGetState(0)", "GetAsyncKeyState(118)", "GetKeyState(32)", "GetAsyncKeyState(119)"}},
      {"[Pad]\nEnable=1\nMarkButtons=768\n", "pad LB+RB: mark", padToggle},
      // The toggle's key or chord, a code out of range, a chord with the pad off: no marks.
      {"[Keys]\nMarkKey=118\n", "", toggle},
      {"[Keys]\nMarkKey=255\n", "", toggle},
      {"[Pad]\nEnable=1\nMarkButtons=32\n", "", padToggle},
      {"[Pad]\nMarkButtons=32768\n", "", toggle},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.settings);
    const Trace trace = RunScenario(Recorded(2, 2, row.settings + "[Overlay]\nHint=1\n", {}, {}));
    const Calls reads = trace.Frame(0, {"GetPrivateProfileIntW"});
    const bool pad = row.settings.find("Enable=1") != std::string::npos;
    // The marks' reads, then the world's, last.
    EXPECT_EQ(reads[reads.size() - (pad ? 3 : 2)], "GetPrivateProfileIntW(\"Keys\",\"MarkKey\",0)");
    if (pad) {
      EXPECT_EQ(reads[reads.size() - 2], "GetPrivateProfileIntW(\"Pad\",\"MarkButtons\",0)");
    }
    EXPECT_EQ(reads.back(), "GetPrivateProfileIntW(\"World\",\"Vehicles\",0)");
    const Calls texts = trace.Frame(0, {"DrawScreenText"});
    ASSERT_EQ(texts.size(), row.hint.empty() ? 1u : 2u);
    if (!row.hint.empty()) {
      EXPECT_EQ(texts[1],
                "DrawScreenText(0.800000012,0.730000019,\"STRING\",\"" + row.hint + "\")");
    }
    EXPECT_EQ(trace.Frame(1, {"GetAsyncKeyState", "GetKeyState", "XInputGetState"}), row.asked);
  }
}

TEST(Marks, AJumpGoesToTheNearestOlderMarkThenRoundInPlaceOfTheScrubStep) {
  // Marks on the samples of frames 2 and 5 of eleven, at a tenth of a second a
  // frame. The entry frame jumps (with Z held it does not scrub), then the
  // next mark, then round to the newest mark; the keys scrub on from there.
  const json timeline = {
      At(11, {{"press", {"F7", kF8}}, {"hold", {"Z"}}}),
      At(12, {{"press", {kF8}}}),
      At(13, {{"press", {kF8}}}),
      At(15, {{"press", {"F7"}}, {"release", {"Z"}}}),
  };
  json scenario = Recorded(11, 16, "[Keys]\nMarkKey=119\n[Overlay]\nSeconds=1\n[Settings]\nLog=1\n",
                           {2, 5}, timeline);
  scenario["world"]["clockUs"] = 100000;
  const Trace trace = RunScenario(scenario);
  EXPECT_EQ(PlacedX(trace, 11, 14), (Calls{"5", "2", "5", "4"}));
  for (int f : {11, 12, 13}) {
    SCOPED_TRACE(f);
    EXPECT_EQ(trace.Frame(f, {"GetKeyState"}), Calls{"GetKeyState(32)"});  // the resume key only
    EXPECT_EQ(trace.Count(f, "QueryScrubStep") + trace.Count(f, "CueRewindIdle") +
                  trace.Count(f, "TriggerFrontendEvent"),
              0);
    EXPECT_EQ(trace.Count(f, "CueRewindActivity"), 1);
  }
  // A tick a mark, oldest first, after the fill and before the label, which
  // sums the samples newer than the mark.
  const Calls drawn = trace.Frame(11, {"DrawScreenRect", "DrawScreenText"});
  ASSERT_EQ(drawn.size(), 8u);  // the stamp, four shapes, two ticks, the label
  const size_t afterX = drawn[3].find(',') + 1;
  const std::string lineY = drawn[3].substr(afterX, drawn[3].find(',', afterX) - afterX);
  for (int n = 0; n < 2; ++n) {
    const double index = n == 0 ? 8.0 : 5.0;
    char tick[96];
    std::snprintf(
        tick, sizeof tick, "DrawScreenRect(%.9g,%s,0.00400000019,0.0299999993,255,200,0,255)",
        static_cast<double>(static_cast<float>(static_cast<double>(0.6f) - index / 11.0 / 5.0)),
        lineY.c_str());
    EXPECT_EQ(drawn[5 + n], tick);
  }
  EXPECT_EQ(drawn[7].substr(drawn[7].rfind(',') + 1), "\"-0.5 s\")");
  EXPECT_EQ(LogEvents(scenario),
            (Calls{"frame 2: mark, 1 marks kept", "frame 5: mark, 2 marks kept",
                   "frame 11: rewind (F7), 11 samples kept, 1.0 s of play",
                   "frame 11: jump to 5 samples back", "frame 12: jump to 8 samples back",
                   "frame 13: jump to 5 samples back",
                   "frame 15: play on (F7) from 6 samples back, 0.6 s"}));

  // With no mark kept a press does nothing at all in a rewind frame.
  const Trace none = RunScenario(
      Recorded(4, 6, "[Keys]\nMarkKey=119\n", {},
               {At(4, {{"press", {"F7"}}}), At(5, {{"press", {kF8}}, {"hold", {"Z"}}})}));
  EXPECT_EQ(PlacedX(none, 5, 5), Calls{"3"});
  EXPECT_EQ(none.Count(5, "CueRewindActivity"), 0);
  EXPECT_EQ(none.Frame(5, {"GetKeyState"}), Calls{"GetKeyState(32)"});
}

TEST(Marks, BelongToTheirSamplesGoWithTrimsAndSixteenAtMost) {
  // RecSize 3 keeps four samples: the mark of frame 1 goes with its sample,
  // that of frame 4 moves back with each push. A press in a frame that
  // records nothing is spent.
  json timeline = {At(5, {{"press", {kF8}}, {"world", {{"frameStep", 2}}}}),
                   At(6, {{"world", {{"frameStep", 16}, {"charPos", {6, 0, 1}}}}}),
                   At(7, {{"press", {"F7", kF8}}}), At(8, {{"press", {kF8}}})};
  const json trimmed =
      Recorded(5, 9, "[Keys]\nMarkKey=119\n[Settings]\nRecSize=3\nLog=1\n", {1, 4}, timeline);
  EXPECT_EQ(LogEvents(trimmed),
            (Calls{"frame 1: mark, 1 marks kept", "frame 4: mark, 2 marks kept",
                   "frame 7: rewind (F7), 4 samples kept", "frame 7: jump to 1 samples back",
                   "frame 8: jump to 1 samples back"}));

  // Seventeen marks keep the newest sixteen: the jumps go back to frame 1's
  // and then round to the newest.
  std::vector<int> all;
  for (int f = 0; f < 17; ++f) all.push_back(f);
  json jumps = json::array({At(17, {{"press", {"F7"}}})});
  for (int f = 18; f < 34; ++f) jumps.push_back(At(f, {{"press", {kF8}}}));
  const Calls lines =
      LogEvents(Recorded(17, 34, "[Keys]\nMarkKey=119\n[Settings]\nLog=1\n", all, jumps));
  ASSERT_EQ(lines.size(), 17u + 1u + 16u);
  EXPECT_EQ(lines[16], "frame 16: mark, 16 marks kept");
  EXPECT_EQ(lines[18], "frame 18: jump to 1 samples back");
  EXPECT_EQ(lines[32], "frame 32: jump to 15 samples back");
  EXPECT_EQ(lines[33], "frame 33: jump to 0 samples back");
}

TEST(Marks, PlayResumedFromAMarkMovesItToTheResumedState) {
  // Four samples kept; the mark on the oldest is jumped to and played on
  // from: the leave frame's trim takes its sample, but the resumed state
  // takes the mark over, and the press in that frame adds nothing.
  const json timeline = {At(4, {{"press", {"F7", kF8}}}),
                         At(5, {{"press", {"F7", kF8}}, {"world", {{"charPos", {50, 0, 1}}}}}),
                         At(8, {{"press", {"F7", kF8}}})};
  const json scenario =
      Recorded(4, 9, "[Keys]\nMarkKey=119\n[Settings]\nRecSize=3\nLog=1\n", {0}, timeline);
  EXPECT_EQ(PlacedX(RunScenario(scenario), 8, 8), Calls{"50"});
  EXPECT_EQ(LogEvents(scenario),
            (Calls{"frame 0: mark, 1 marks kept", "frame 4: rewind (F7), 4 samples kept",
                   "frame 4: jump to 3 samples back", "frame 5: play on (F7) from 3 samples back",
                   "frame 8: rewind (F7), 4 samples kept", "frame 8: jump to 2 samples back"}));
}

TEST(Marks, HoldingAfterAJumpStaysOnTheMarkUntilANewerKeyMovesIt) {
  const json timeline = {
      At(8, {{"press", {"F7", kF8}}, {"hold", {"F7"}}}),
      At(11, {{"hold", {"X"}}}),
      At(12, {{"release", {"X"}}}),
      At(13, {{"release", {"F7"}}, {"world", {{"charPos", {13, 0, 1}}}}}),
      At(14, {{"press", {"F7", kF8}}, {"hold", {"F7"}}}),  // pinned again ...
      At(15, {{"release", {"F7"}}, {"world", {{"charPos", {15, 0, 1}}}}}),
      At(16, {{"press", {"F7"}}, {"hold", {"F7"}}}),  // ... but not past the leave
  };
  const Trace trace = RunScenario(Recorded(8, 18, "[Keys]\nHold=1\nMarkKey=119\n", {3}, timeline));
  EXPECT_EQ(PlacedX(trace, 8, 12), (Calls{"3", "3", "3", "4", "3"}));
  EXPECT_EQ(PlacedX(trace, 16, 17), (Calls{"13", "7"}));
  EXPECT_EQ(trace.Count(9, "QueryScrubStep") + trace.Count(10, "QueryScrubStep"), 0);
  EXPECT_EQ(trace.Count("CueModeSwitch"), 5);  // in at 8, 14 and 16, out at 13 and 15
}

}  // namespace
