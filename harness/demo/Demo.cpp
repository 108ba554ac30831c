#include "demo/Demo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <iomanip>
#include <sstream>

#include "ProfileReader.h"
#include "demo/DemoPictures.h"
#include "demo/ShippedSettings.h"
#include "run/ModuleLoader.h"
#include "run/RunError.h"
#include "run/Runner.h"
#include "screenlink/ScreenLink.h"

namespace fs = std::filesystem;

namespace {

// 30 frames a second. The player walks north to a parked car, drives east
// past three parked cars while a van comes the other way, rewinds four
// seconds with 'Z', goes forward a little with 'X' and resumes with F7;
// later, on foot, drops a mark with F8 just before turning, rewinds, jumps
// back to the mark with F8 and resumes from it with Space.
constexpr const char* kBuiltInScript = R"({
  "frames": 960,
  "moduleMtime": 1767270840,
  "world": {
    "frameStep": 33, "scrubStep": 200,
    "charPos": [20, 0, 1], "heading": 0, "charVel": [0, 1.6, 0],
    "models": {"7": {"a": [-1, -2.3, -0.7], "b": [1, 2.3, 0.7]},
               "8": {"a": [-1.2, -3, -1], "b": [1.2, 3, 1]}},
    "vehicles": {
      "11": {"pos": [22.5, 11, 0.7], "rot": [0, 0, -0.70710678, 0.70710678], "model": 7},
      "12": {"pos": [48, 15, 0.7], "rot": [0, 0, -0.70710678, 0.70710678], "model": 7},
      "13": {"pos": [70, 7, 0.7], "rot": [0, 0, 0.70710678, 0.70710678], "model": 7},
      "14": {"pos": [92, 15, 0.7], "rot": [0, 0, -0.70710678, 0.70710678], "model": 7},
      "20": {"pos": [160, 4, 0.7], "rot": [0, 0, 0.70710678, 0.70710678], "vel": [-9, 0, 0],
             "model": 8}
    }
  },
  "timeline": [
    {"frame": 180, "world": {"charVel": [0, 0, 0]}},
    {"frame": 195, "world": {"vehicle": 11, "inVehicle": true}},
    {"frame": 200, "world": {"charVel": [13, 0, 0]}},
    {"frame": 400, "press": ["F7"]},
    {"frame": 415, "hold": ["Z"]},
    {"frame": 465, "release": ["Z"]},
    {"frame": 480, "hold": ["X"]},
    {"frame": 490, "release": ["X"]},
    {"frame": 505, "press": ["F7"]},
    {"frame": 620, "world": {"charVel": [0, 0, 0]}},
    {"frame": 700, "world": {"inVehicle": false, "charVel": [1.2, 1.2, 0]}},
    {"frame": 755, "press": [119]},
    {"frame": 760, "world": {"charVel": [1.6, -0.6, 0]}},
    {"frame": 840, "press": ["F7"]},
    {"frame": 845, "press": [119]},
    {"frame": 895, "hold": ["SPACE"]},
    {"frame": 897, "release": ["SPACE"]}
  ]
})";

// The progress of a run on standard error: a bar that redraws itself on a
// terminal, a line every tenth otherwise.
class Progress {
 public:
  Progress(std::ostream& out, bool terminal, int64_t total)
      : out_(out), terminal_(terminal), total_(total > 0 ? total : 1) {}

  void Update(int64_t done) {
    int tenths = static_cast<int>(done * 10 / total_);
    int percent = static_cast<int>(done * 100 / total_);
    if (terminal_) {
      if (percent == lastPercent_) return;
      lastPercent_ = percent;
      int filled = percent * 30 / 100;
      out_ << "\r  [" << std::string(filled, '#') << std::string(30 - filled, '.') << "] "
           << std::setw(3) << percent << "%  frame " << done << " of " << total_ << std::flush;
    } else if (tenths > lastTenths_) {
      lastTenths_ = tenths;
      out_ << "  " << tenths * 10 << "% (frame " << done << " of " << total_ << ")\n" << std::flush;
    }
  }

  void Done() {
    if (terminal_ && lastPercent_ >= 0) out_ << '\n' << std::flush;
  }

 private:
  std::ostream& out_;
  bool terminal_;
  int64_t total_;
  int lastPercent_ = -1;
  int lastTenths_ = 0;
};

double Distance(Vec3f a, Vec3f b) {
  double dx = static_cast<double>(a.x) - b.x;
  double dy = static_cast<double>(a.y) - b.y;
  double dz = static_cast<double>(a.z) - b.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The module's marks show as ticks on the timeline, in their own colour.
bool DrewTicks(const LiveFrame& frame) {
  for (const ScreenRect& r : frame.rects) {
    if (r.r == 255 && r.g == 200 && r.b == 0) return true;
  }
  return false;
}

bool Pressed(const LiveFrame& frame, int32_t key) {
  for (int k : frame.presses) {
    if (k == key) return true;
  }
  return false;
}

// The timeline fill's width, or -1 when the frame drew none. The fill is
// the one grey rectangle; its width is (playIndex / samples) / 5.
float FillWidth(const LiveFrame& frame) {
  for (const ScreenRect& r : frame.rects) {
    if (r.r == 100 && r.g == 100 && r.b == 100) return r.w;
  }
  return -1;
}

std::string Point(Vec3f p) {
  std::ostringstream s;
  s << std::fixed << std::setprecision(1) << '(' << p.x << ", " << p.y << ')';
  return s.str();
}

}  // namespace

RewindTrigger TriggerOf(const QuorvatSnapshot& state, const std::optional<std::string>& settings) {
  RewindTrigger trigger;
  trigger.enableKey = state.enableKey;
  const uint32_t markKey = ProfileIntFromText(settings.value_or(""), u"Keys", u"MarkKey", 0);
  if (markKey >= 1 && markKey <= 254 && static_cast<int32_t>(markKey) != state.enableKey) {
    trigger.markKey = static_cast<int32_t>(markKey);
  }
  if (state.padEnabled != 0) {
    // The module reads the setting through the stand-in, which answers from
    // this text by the same rules.
    uint32_t mask = ProfileIntFromText(settings.value_or(""), u"Pad", u"ToggleButtons", 32);
    trigger.padMask = static_cast<uint16_t>(mask & 0xFFFF);
  }
  return trigger;
}

std::string KeyName(int32_t key) {
  if (key >= 112 && key <= 135) return "F" + std::to_string(key - 111);
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, char(key));
  return "key " + std::to_string(key);
}

std::string ChordName(uint16_t mask) {
  static const char* const kButtons[16] = {"Up", "Down", "Left", "Right", "Start", "Back",
                                           "LS", "RS",   "LB",   "RB",    "1024",  "2048",
                                           "A",  "B",    "X",    "Y"};
  std::string name = "pad";
  char joint = ' ';
  for (int bit = 0; bit < 16; ++bit) {
    if ((mask & (1u << bit)) == 0) continue;
    name += joint;
    name += kButtons[bit];
    joint = '+';
  }
  return name;
}

Scenario BuiltInDemoScenario() {
  Scenario scenario = ParseScenario(kBuiltInScript, "(built-in demo script)");
  scenario.settings = ShippedSettings();
  return scenario;
}

std::string ShippedSettings() {
  return kShippedSettings;
}

void RewindFinder::Add(const LiveFrame& f, uint32_t samplesHeld) {
  if (f.modeSwitch == 250 && !open_) {
    RewindSummary r;
    r.enterFrame = f.frame;
    r.enterPos = f.bodyPos;
    r.samples = static_cast<int32_t>(kept_.size());
    uint16_t mask = trigger_.padMask;
    bool chordMade = mask != 0 && (f.padButtons & mask) == mask && (lastPadButtons_ & mask) != mask;
    r.startedBy = chordMade ? ChordName(mask) : KeyName(trigger_.enableKey);
    rewinds_.push_back(r);
    open_ = true;
    lastFill_ = deepestFill_ = -1;
    lastPlaced_.clear();
    enterConditions_.clear();
    for (const auto& [handle, v] : f.vehicles) enterConditions_[handle] = v.condition;
  }
  if (open_ && f.overlay) {
    lastFill_ = FillWidth(f);
    // The player's own vehicle is placed with the player; the others placed
    // are the vehicles around the player, put back where they were.
    lastPlaced_.clear();
    for (const Placement& p : f.placed) {
      if (!(f.inVehicle && p.handle == f.vehicle)) lastPlaced_.push_back(p);
    }
    // The mark key in a rewind frame with marks kept jumps to one; the fill
    // then ends where the mark's tick stands.
    RewindSummary& r = rewinds_.back();
    if (trigger_.markKey != 0 && Pressed(f, trigger_.markKey) && DrewTicks(f) && lastFill_ >= 0) {
      long index = std::lround(static_cast<double>(lastFill_) * 5.0 * r.samples);
      if (index >= 0 && index < r.samples)
        r.jumpedTo.push_back(kept_[static_cast<size_t>(index)].frame);
    }
    if (lastFill_ > deepestFill_) {
      deepestFill_ = lastFill_;
      rewinds_.back().deepestFrame = f.frame;
    }
  }
  if (f.modeSwitch == 500 && open_) {
    RewindSummary& r = rewinds_.back();
    open_ = false;
    r.leaveFrame = f.frame;
    r.restoredPos = f.bodyPos;
    for (const Placement& p : lastPlaced_) {
      auto now = f.vehicles.find(p.handle);
      if (now == f.vehicles.end()) continue;  // gone by the resume
      VehicleReturn back;
      back.handle = p.handle;
      back.recordedPos = p.pos;
      back.restoredPos = now->second.pos;
      back.distance = Distance(p.pos, now->second.pos);
      auto before = enterConditions_.find(p.handle);
      back.conditionBefore =
          before != enterConditions_.end() ? before->second : now->second.condition;
      back.conditionAfter = now->second.condition;
      r.vehicles.push_back(back);
    }
    std::sort(r.vehicles.begin(), r.vehicles.end(),
              [](const VehicleReturn& a, const VehicleReturn& b) { return a.handle < b.handle; });
    if (lastFill_ >= 0 && r.samples > 0) {
      long index = std::lround(static_cast<double>(lastFill_) * 5.0 * r.samples);
      if (index >= 0 && index < r.samples) {
        const Sample& s = kept_[static_cast<size_t>(index)];
        r.playIndex = static_cast<int32_t>(index);
        r.scrubbedFrame = s.frame;
        r.recordedPos = s.pos;
        r.inVehicle = s.inVehicle;
        r.distance = Distance(r.recordedPos, r.restoredPos);
      }
    }
  }
  if (f.recorded) kept_.push_front({f.frame, f.bodyPos, f.inVehicle});
  // The module trims the oldest samples: by count, or by their seconds of
  // play, several at once after a long frame.
  while (kept_.size() > samplesHeld) kept_.pop_back();
  lastPadButtons_ = f.padButtons;
}

std::vector<RewindSummary> FindRewinds(const std::vector<LiveFrame>& frames,
                                       const std::vector<uint32_t>& samplesHeld,
                                       RewindTrigger trigger) {
  RewindFinder finder(trigger);
  for (const LiveFrame& f : frames) {
    bool known = f.frame >= 0 && static_cast<uint64_t>(f.frame) < samplesHeld.size();
    finder.Add(f, known ? samplesHeld[static_cast<size_t>(f.frame)] : UINT32_MAX);
  }
  return finder.Rewinds();
}

DemoRun RunDemo(const DemoOptions& options, std::ostream& progress, bool progressIsTerminal) {
  // The script is read and checked before anything is written.
  Scenario scenario = options.script ? LoadScenarioFile(*options.script) : BuiltInDemoScenario();

  // A screen program that isn't there is told before the run, not after it.
  if (options.pictures) ScreenProgramPath();

  DemoRun run;
  run.outDir = options.outDir;
  std::error_code error;
  fs::create_directories(options.outDir, error);
  if (error || !fs::is_directory(options.outDir)) {
    throw RunError(options.outDir + ": cannot create the output folder: " + error.message());
  }
  run.tracePath = (fs::path(options.outDir) / "trace.jsonl").string();
  // The module writes its log beside itself, in the run's own folder; the
  // demo keeps it beside the trace. One from an earlier demo would pass for
  // this run's when this run's settings turn the log off.
  const std::string logPath = (fs::path(options.outDir) / "Quorvat.log").string();
  fs::remove(logPath, error);

  LiveWorld world(scenario.world);
  Progress bar(progress, progressIsTerminal, scenario.frames + scenario.reenter);
  // Each frame's length as the module's clock measured it, for the
  // animation's pace.
  std::vector<uint32_t> frameUs;
  world.OnFrameEnd([&bar, &frameUs, &world](const LiveFrame& f) {
    frameUs.push_back(world.ClockStepUs());
    bar.Update(f.frame + 1);
  });

  RunOptions runOptions;
  runOptions.modulePath = options.modulePath.empty() ? DefaultModulePath() : options.modulePath;
  runOptions.logCopy = logPath;
  // The samples the module holds at the end of each frame (each ends in a
  // Wait), for the report's mirror of its histories.
  std::vector<uint32_t> samplesHeld;
  runOptions.frameCheck = [&samplesHeld](int64_t frame, const QuorvatSnapshot& state) {
    if (frame >= 0) {
      samplesHeld.resize(static_cast<size_t>(frame) + 1, UINT32_MAX);
      samplesHeld[static_cast<size_t>(frame)] = state.sampleCount;
    }
    return std::string();
  };
  RunResult result = RunScenario(scenario, world, runOptions);
  bar.Done();
  if (result.logCopied) run.logPath = logPath;

  run.trace = std::move(result.trace);
  std::FILE* out = std::fopen(run.tracePath.c_str(), "wb");
  bool written =
      out != nullptr && std::fwrite(run.trace.data(), 1, run.trace.size(), out) == run.trace.size();
  if (out != nullptr && std::fclose(out) != 0) written = false;
  if (!written) throw RunError(run.tracePath + ": cannot write the trace");

  const std::vector<LiveFrame>& frames = world.Frames();
  run.frames = result.frames;
  for (const LiveFrame& f : frames) run.recordedFrames += f.recorded ? 1 : 0;
  run.frameStepMs = 0;
  {
    WorldState answers;
    scenario.world.ApplyTo(answers);
    run.frameStepMs = answers.frameStep;
  }
  run.rewinds = FindRewinds(frames, samplesHeld, TriggerOf(result.state, scenario.settings));
  if (!frames.empty()) {
    run.endPos = frames.back().bodyPos;
    run.endVehicle = frames.back().inVehicle ? frames.back().vehicle : 0;
  }

  if (options.pictures && !frames.empty()) {
    std::vector<PictureRequest> requests;
    for (const PictureMoment& moment : ChooseMoments(frames, run.rewinds)) {
      requests.push_back({moment.frame, (fs::path(options.outDir) / moment.name).string()});
    }
    requests.push_back({-1, (fs::path(options.outDir) / "overview.png").string()});
    AnimationChoice animation = ChooseAnimation(frames, run.rewinds, frameUs);
    const std::string animationPath = (fs::path(options.outDir) / "rewind.gif").string();
    // One from an earlier run would pass for this one's.
    fs::remove(animationPath, error);
    DrawPictures(frames, run.rewinds, world.Models(), requests, animation, animationPath);
    for (const PictureRequest& r : requests) run.pictures.push_back(r.path);
    if (!animation.shots.empty()) {
      run.animation =
          DemoAnimation{animationPath,          animation.firstFrame,     animation.lastFrame,
                        animation.shots.size(), animation.lengthUs / 1e6, kAnimationWidth,
                        kAnimationHeight};
    }
  }
  return run;
}

std::string DemoReport(const DemoRun& run) {
  std::ostringstream s;
  s << "Frames run: " << run.frames << ", recorded: " << run.recordedFrames;
  if (run.frameStepMs > 0) s << " (" << run.frameStepMs << " ms a frame)";
  s << "\n" << RewindReport(run.rewinds, run.frameStepMs);
  s << EndingLine(run.endPos, run.endVehicle);
  s << "Trace and pictures in " << run.outDir << "/:\n";
  s << "  " << run.tracePath << "\n";
  for (const std::string& p : run.pictures) s << "  " << p << "\n";
  if (run.animation) {
    const DemoAnimation& a = *run.animation;
    s << "  " << a.path << ": rewind 1, frames " << a.firstFrame << " to " << a.lastFrame << ", "
      << a.pictures << " pictures of " << a.width << " x " << a.height << ", " << std::fixed
      << std::setprecision(1) << a.seconds << " s\n";
  }
  if (!run.logPath.empty()) s << "The module's support log: " << run.logPath << "\n";
  return s.str();
}

std::string RewindReport(const std::vector<RewindSummary>& rewinds, uint32_t frameStepMs) {
  std::ostringstream s;
  s << std::fixed;
  if (rewinds.empty()) s << "No rewind happened.\n";
  int n = 0;
  for (const RewindSummary& r : rewinds) {
    ++n;
    s << "Rewind " << n << ": " << r.startedBy << " at frame " << r.enterFrame << " at "
      << Point(r.enterPos) << ", " << r.samples << " samples kept\n";
    for (int64_t frame : r.jumpedTo) s << "  jumped to the mark of frame " << frame << "\n";
    if (r.leaveFrame < 0) {
      s << "  still rewinding when the run ended\n";
      continue;
    }
    s << "  resumed at frame " << r.leaveFrame;
    if (r.playIndex < 0) {
      s << "; the scrubbed sample could not be told from the timeline\n";
      continue;
    }
    double seconds = r.playIndex * frameStepMs / 1000.0;
    s << ", " << r.playIndex << " samples back (" << std::setprecision(1) << seconds
      << " s of play), " << (r.inVehicle ? "in the car" : "on foot")
      << ", from the sample of frame " << r.scrubbedFrame << "\n";
    s << "  recorded there " << Point(r.recordedPos) << ", restored " << Point(r.restoredPos)
      << ": " << std::setprecision(3) << r.distance << " m apart\n";
    if (r.vehicles.empty()) continue;
    s << "  " << r.vehicles.size() << (r.vehicles.size() == 1 ? " vehicle" : " vehicles")
      << " around the player put back:\n";
    for (const VehicleReturn& v : r.vehicles) {
      s << "    vehicle " << v.handle << ": recorded there " << Point(v.recordedPos)
        << ", at the resume " << Point(v.restoredPos) << ": " << std::setprecision(3) << v.distance
        << " m apart";
      if (v.conditionAfter != v.conditionBefore) {
        s << (v.conditionAfter > v.conditionBefore ? ", mended" : ", condition") << " from "
          << v.conditionBefore << " to " << v.conditionAfter;
      }
      s << "\n";
    }
  }
  return s.str();
}

std::string EndingLine(Vec3f pos, int32_t vehicle) {
  char text[160];
  std::snprintf(text, sizeof text, "The player ended at (%.3f, %.3f, %.3f), %s", pos.x, pos.y,
                pos.z, vehicle == 0 ? "on foot" : "in vehicle ");
  return text + (vehicle == 0 ? std::string() : std::to_string(vehicle)) + ".\n";
}
