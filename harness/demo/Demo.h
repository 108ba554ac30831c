// `quorvat-sim demo`: the real module in the live world, driven by a
// built-in script or a scenario file, with a report and pictures of what
// the player sees.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "formats/Scenario.h"
#include "host/Snapshot.h"
#include "world/LiveWorld.h"

struct DemoOptions {
  std::string outDir = "demo-out";
  std::optional<std::string> script;  // a scenario file; none: the built-in script
  std::string modulePath;
  bool pictures = true;
};

// What rewinds: the module's toggle key and, with its pad on, the pad's
// chord (0: the pad can't rewind).
struct RewindTrigger {
  int32_t enableKey = 118;
  uint16_t padMask = 0;
  // The key that jumps to a mark while rewinding (0: none).
  int32_t markKey = 0;
};

// The module's trigger after its first frame: its key from `state`, with its
// pad on the chord that `settings` (the settings text it read) gives, and the
// mark key by the module's rules (1 ... 254, not the toggle key).
RewindTrigger TriggerOf(const QuorvatSnapshot& state, const std::optional<std::string>& settings);
// Names as the module's start-up hint gives them: "F7", "R", "5", "key 36";
// "pad Back", "pad Start+Back".
std::string KeyName(int32_t key);
std::string ChordName(uint16_t mask);

// A vehicle around the player that a rewind put back, as the game saw it:
// where the module last placed it before play resumed, and where it was at
// the resume.
struct VehicleReturn {
  int32_t handle = 0;
  Vec3f recordedPos;
  Vec3f restoredPos;
  double distance = 0;
  // Its condition when the rewind began and at the resume (a wreck mended
  // reads low, then whole).
  uint32_t conditionBefore = 0, conditionAfter = 0;
};

// One rewind as the game saw it.
struct RewindSummary {
  std::string startedBy;  // the key's name, or the pad's chord when it was made that frame
  int64_t enterFrame = 0;
  int64_t leaveFrame = -1;  // -1: still rewinding when the run ended
  bool inVehicle = false;   // the sample play resumed from was recorded in a vehicle
  Vec3f enterPos;
  int32_t samples = 0;         // samples kept when the rewind began
  int32_t playIndex = -1;      // samples back from the newest at the resume; -1 unknown
  int64_t scrubbedFrame = -1;  // the frame in which that sample was recorded
  int64_t deepestFrame = -1;   // the rewind frame that was furthest back
  // The frames whose samples the mark key jumped to, in order.
  std::vector<int64_t> jumpedTo;
  Vec3f recordedPos;     // the player's position when that sample was recorded
  Vec3f restoredPos;     // the player's position at the resume frame
  double distance = -1;  // between the two; -1 unknown
  // The vehicles besides the player's that the last rewind frame placed, by
  // handle.
  std::vector<VehicleReturn> vehicles;
};

// The animation of the first rewind, as the demo wrote it.
struct DemoAnimation {
  std::string path;
  int64_t firstFrame = 0, lastFrame = 0;  // of the run
  size_t pictures = 0;
  double seconds = 0;
  uint32_t width = 0, height = 0;
};

struct DemoRun {
  int64_t frames = 0;
  int64_t recordedFrames = 0;
  uint32_t frameStepMs = 0;
  std::vector<RewindSummary> rewinds;
  std::vector<std::string> pictures;
  std::optional<DemoAnimation> animation;  // none without pictures or a rewind
  std::string tracePath;
  std::string logPath;  // the module's support log beside the trace; empty: it made none
  std::string outDir;
  std::string trace;       // the whole trace as written
  Vec3f endPos;            // where the player (the car when in one) was at the end
  int32_t endVehicle = 0;  // the vehicle the player ended in; 0 on foot
};

// The built-in script: a walk, a drive past parked cars, a rewind in the
// car, driving on, a walk with a mark dropped before a turn, and a rewind on
// foot that jumps back to the mark; with the shipped settings.
Scenario BuiltInDemoScenario();
// The settings file that ships beside the DLL (package/Quorvat.ini), as it
// was when the harness was built: what a player sees.
std::string ShippedSettings();

// Finds the rewinds in the frames the live world saw, one frame at a time
// as they end. Its mirror of the module's histories is trimmed to the
// samples the module held at the frame's end (`samplesHeld`, its snapshot's
// sampleCount), however the module measures its history: in samples
// (RecSize) or in seconds of play (RecSeconds).
class RewindFinder {
 public:
  explicit RewindFinder(RewindTrigger trigger) : trigger_(trigger) {}
  void Add(const LiveFrame& frame, uint32_t samplesHeld);
  const std::vector<RewindSummary>& Rewinds() const { return rewinds_; }

 private:
  struct Sample {
    int64_t frame;
    Vec3f pos;
    bool inVehicle;
  };
  RewindTrigger trigger_;
  uint16_t lastPadButtons_ = 0;
  std::deque<Sample> kept_;  // newest first, as the module keeps them
  std::vector<RewindSummary> rewinds_;
  std::vector<Placement> lastPlaced_;  // by the latest rewind frame
  std::map<int32_t, uint32_t> enterConditions_;
  bool open_ = false;
  float lastFill_ = -1, deepestFill_ = -1;
};

// The same over frames already kept; `samplesHeld[n]` is the module's
// sample count at the end of frame n (a frame past its end: nothing trimmed).
std::vector<RewindSummary> FindRewinds(const std::vector<LiveFrame>& frames,
                                       const std::vector<uint32_t>& samplesHeld,
                                       RewindTrigger trigger);

// Runs the demo; progress goes to `progress` (a bar when `progressIsTerminal`).
// Throws RunError or ScenarioError.
DemoRun RunDemo(const DemoOptions& options, std::ostream& progress, bool progressIsTerminal);

std::string DemoReport(const DemoRun& run);

// The report's lines for the rewinds, with play time counted at
// `frameStepMs` a frame (0: unknown).
std::string RewindReport(const std::vector<RewindSummary>& rewinds, uint32_t frameStepMs);
// Where the player ended, the same for every command that reports it, so
// that two runs' endings compare as text.
std::string EndingLine(Vec3f pos, int32_t vehicle);
