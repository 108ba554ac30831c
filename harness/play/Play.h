// `quorvat-sim play`: the real module in the live world, in a window, at
// the game's pace, driven by a person at the keyboard; the session can be
// kept as a scenario that `demo --script` and `run` play again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "demo/Demo.h"
#include "formats/Scenario.h"

struct PlayOptions {
  std::optional<std::string> script;    // the start: this scenario's world and settings
  std::optional<std::string> settings;  // the settings file, before any other
  std::optional<std::string> record;    // where the session is written as a scenario
  std::optional<std::string> trace;     // where the trace goes; none: nowhere
  // Where the module's support log is kept after the session, when its
  // settings turn the log on: beside the settings of the current directory,
  // as in a game's folder.
  std::string log = "Quorvat.log";
  std::optional<uint32_t> frameMs;  // none: the script's frame step, else 16
  bool virtualPad = false;          // a pad driven from standard input (screen/Pad.h)
  std::string modulePath;
};

// What a session did, for its report.
struct PlaySession {
  int64_t frames = 0;
  double seconds = 0;      // from the first frame to the last
  int64_t lateFrames = 0;  // frames that began more than a frame late
  uint32_t frameMs = 0;
  std::vector<RewindSummary> rewinds;
  Vec3f endPos;
  int32_t endVehicle = 0;
  std::string logPath;  // the module's support log, in full; empty: it made none
};

// The scenario a session starts from: the script's world, settings and
// module time, or a built-in start like the demo's (the player near a car,
// parked cars, one van driving) with two cars driving round a loop. The
// settings are those of `settings`, else the script's, else the working
// directory's Quorvat.ini, else none; the world's frame step is the frame
// time. Its timeline is empty and it lasts
// until the person stops. Throws ScenarioError or RunError.
Scenario PlayStart(const PlayOptions& options);

// Opens the window, plays until Esc or the window is closed, unloads the
// module and checks it as `run` does, and writes the record. A session that
// fails (the module broke the host's rules) is still recorded up to there,
// then the error is thrown. Throws RunError, ScenarioError.
PlaySession RunPlay(const PlayOptions& options);

std::string PlayReport(const PlaySession& session, const PlayOptions& options);
