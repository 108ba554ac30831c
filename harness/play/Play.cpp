#include "play/Play.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/ScenarioWriter.h"
#include "play/PlayInput.h"
#include "play/PlayWindow.h"
#include "run/ModuleLoader.h"
#include "run/RunError.h"
#include "run/Runner.h"
#include "world/LiveWorld.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kDefaultFrameMs = 16;
// The window draws the path of about a minute of play; older frames go.
constexpr size_t kFramesKept = 4000;

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RunError(path + ": cannot read the settings file");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw RunError(path + ": cannot read the settings file");
  return text.str();
}

std::optional<int64_t> FileTime(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  return static_cast<int64_t>(status.st_mtime);
}

// The vehicles around the player the module has in hand, as the game sees
// them: those it sampled in its latest recorded frame, or, while rewinding,
// those it put back this frame.
struct VehicleCount {
  size_t followed = 0;
  void Add(const LiveFrame& f) {
    if (f.recorded) followed = FollowedVehicles(f).size();
  }
};

size_t PutBack(const LiveFrame& f) {
  size_t count = 0;
  for (const Placement& p : f.placed) count += f.inVehicle && p.handle == f.vehicle ? 0 : 1;
  return count;
}

// Short: the strip has room for little more than it already holds.
std::string Cars(size_t count) {
  return std::to_string(count) + (count == 1 ? " car" : " cars");
}

std::string StatusLine(const LiveFrame& f, const QuorvatSnapshot& state, double rate, bool pad,
                       size_t followed) {
  char text[256];
  std::snprintf(text, sizeof text, "frame %lld | speed %.2f | %u samples | ",
                static_cast<long long>(f.frame), static_cast<double>(f.gameSpeed),
                state.sampleCount);
  std::string line = text;
  if (state.rewinding != 0) {
    line += "REWINDING, " + std::to_string(state.playIndex) + " back";
  } else {
    line += "recording";
  }
  std::snprintf(text, sizeof text, " | %.0f fps | (%.1f, %.1f) ", rate,
                static_cast<double>(f.bodyPos.x), static_cast<double>(f.bodyPos.y));
  line += text;
  line += f.inVehicle ? "in car " + std::to_string(f.vehicle) : "on foot";
  line += state.rewinding != 0 ? " | " + Cars(PutBack(f)) + " held"
                               : " | " + Cars(followed) + " followed";
  line += pad ? " | pad" : " | no pad";
  return line;
}

// The line has room for the keys or the pad, not both: the pad's while one
// is connected. With [Keys] Hold=1 holding rewinds: back on its own, forward
// with the newer key (or the right trigger) held as well.
std::string HelpLine(const ModuleKeys& keys, bool pad) {
  if (pad && keys.hold) {
    return "Pad ([Pad] Enable=1): stick walk/drive  hold Back/ToggleButtons rewind, with "
           "RT/D-right forward, let go play on  E car  Esc quit";
  }
  if (pad) {
    return "Pad ([Pad] Enable=1): stick walk/drive  Back or ToggleButtons rewind/resume  "
           "LT/D-left back  RT/D-right forward  E car  Esc quit";
  }
  auto name = [](int key) { return key == kVkSpace ? std::string("Space") : KeyName(key); };
  std::string rewind = keys.hold ? "hold " + name(keys.enableKey) + " rewind, with " +
                                       name(keys.newerKey) + "/Right forward, let go play on  "
                                 : name(keys.enableKey) + " rewind/resume  " + name(keys.olderKey) +
                                       "/Left back  " + name(keys.newerKey) + "/Right forward  ";
  const std::string mark = keys.markKey != 0 ? name(keys.markKey) + " mark/jump  " : "";
  return "WASD walk (Shift runs) or drive  E car in/out  " + rewind + name(keys.resumeKey) +
         " resume  " + mark + "Esc quit";
}

// Two cars that drive round the block the parked cars stand in, counter-
// clockwise and half a lap apart, for a person to meet, crash into and
// rewind.
void AddLoopTraffic(WorldPatch& world) {
  const std::vector<RoutePoint> loop = {{0, -12}, {120, -12}, {120, 24}, {0, 24}};
  ScriptedVehicle car;
  car.model = 7;
  car.route = loop;
  car.pos = {40, -12, 0.7f};
  car.vel = {10, 0, 0};
  car.rot[2] = -0.70710678f;  // facing east
  car.rot[3] = 0.70710678f;
  world.vehicles[30] = car;
  car.pos = {80, 24, 0.7f};
  car.vel = {-10, 0, 0};
  car.rot[2] = 0.70710678f;  // facing west
  world.vehicles[31] = car;
}

}  // namespace

Scenario PlayStart(const PlayOptions& options) {
  Scenario start;
  if (options.script) {
    start = LoadScenarioFile(*options.script);
  } else {
    Scenario demo = BuiltInDemoScenario();
    start.world = demo.world;
    start.world.charVel = Vec3f{};  // the demo's walk is the person's now
    start.world.frameStep.reset();  // the demo's 30 frames a second are a film's
    AddLoopTraffic(start.world);
    start.moduleMtime = FileTime(options.modulePath);
  }
  start.frames = kMaxFrames;
  start.reenter = 0;
  start.timeline.clear();
  if (options.settings) {
    start.settings = ReadWhole(*options.settings);
  } else if (!start.settings && fs::exists("Quorvat.ini")) {
    start.settings = ReadWhole("Quorvat.ini");
  }
  if (!options.script && !start.settings) start.settings = ShippedSettings();
  if (options.frameMs) {
    start.world.frameStep = *options.frameMs;
  } else if (!start.world.frameStep) {
    start.world.frameStep = kDefaultFrameMs;
  }
  return start;
}

PlaySession RunPlay(const PlayOptions& options) {
  PlayOptions resolved = options;
  if (resolved.modulePath.empty()) resolved.modulePath = DefaultModulePath();
  Scenario start = PlayStart(resolved);
  uint32_t frameMs = *start.world.frameStep;
  if (frameMs == 0 || frameMs > 1000) {
    throw RunError("play: a frame of " + std::to_string(frameMs) +
                   " ms can't be played in real time; give --frame-ms 1 ... 1000");
  }

  PlayWindow window(frameMs, options.virtualPad);
  // Whatever can't be kept is found out before anyone plays.
  Scenario record = start;
  if (options.record) {
    try {
      ScenarioText(record);
    } catch (const std::runtime_error& e) {
      throw RunError(*options.record + ": cannot record this session: " + e.what());
    }
    std::ofstream probe(*options.record, std::ios::app);
    if (!probe) throw RunError(*options.record + ": cannot write the record there");
  }
  std::FILE* trace = std::fopen(options.trace ? options.trace->c_str() : "/dev/null", "wb");
  if (trace == nullptr) throw RunError(options.trace.value_or("/dev/null") + ": cannot write");
  std::unique_ptr<std::FILE, decltype(&std::fclose)> traceOwner(trace, &std::fclose);

  LiveWorld world(start.world);
  world.KeepLastFrames(kFramesKept);
  window.SetModels(world.Models());
  // The screen's last answer: the keys and the pad for the frame to come,
  // and its clock.
  ScreenInput screen;
  // Why the screen stopped the session, when it did.
  std::optional<RunError> screenGone;
  PlayControls controls;
  std::optional<RewindFinder> finder;
  VehicleCount vehicles;
  ModuleKeys moduleKeys;
  int64_t lastFrame = -1;
  // The module's clock runs in real time: each frame's real length goes to
  // the world as clockUs, and into the record whenever it changes, so that a
  // replay measures the same frames.
  uint32_t clockUs = world.ClockStepUs();

  RunOptions run;
  run.modulePath = resolved.modulePath;
  run.trace = trace;
  run.logCopy = options.log;
  run.liveInput = [&](int64_t frame, const QuorvatSnapshot& state,
                      std::vector<TimelineEntry>& now) {
    lastFrame = frame;
    try {
      if (world.Frames().empty()) {
        // Nothing to see yet: the keys wait for the first frame.
        screen = window.Show(nullptr, "", "");
        return true;
      }
      const LiveFrame& last = world.Frames().back();
      // The module has read its settings by the end of the first frame.
      if (!finder) {
        finder.emplace(TriggerOf(state, start.settings));
        moduleKeys = KeysOf(state, start.settings);
      }
      finder->Add(last, state.sampleCount);
      vehicles.Add(last);
      bool pad = screen.pad.pad.has_value();
      screen =
          window.Show(&last, StatusLine(last, state, screen.framesASecond, pad, vehicles.followed),
                      HelpLine(moduleKeys, pad));
    } catch (const RunError& e) {
      // The session ends as if the person had quit: the module is unloaded
      // and checked, the record and trace kept; then the person is told.
      screenGone.emplace(std::string("play: ") + e.what());
      return false;
    }
    const LiveFrame& last = world.Frames().back();
    std::optional<TimelineEntry> entry =
        NextEntry(controls, screen.keys, screen.pad, last, moduleKeys, frameMs / 1000.0f);
    if (controls.quit) return false;
    if (screen.stepUs != clockUs) {
      clockUs = screen.stepUs;
      if (!entry) entry.emplace();
      if (!entry->world) entry->world.emplace();
      entry->world->clockUs = clockUs;
    }
    if (entry) {
      entry->frame = frame;
      record.timeline.push_back(*entry);
      now.push_back(std::move(*entry));
    }
    return true;
  };

  PlaySession session;
  session.frameMs = frameMs;
  auto keep = [&](int64_t frames) {
    record.frames = frames;
    if (options.record) WriteScenarioFile(record, *options.record);
  };
  try {
    RunResult result = RunScenario(start, world, run);
    session.frames = result.frames;
    if (result.logCopied) session.logPath = fs::absolute(options.log).string();
  } catch (...) {
    // The frames up to the failure reproduce it; the failure is what the
    // person is told.
    try {
      keep(lastFrame + 1);
    } catch (const std::exception&) {
    }
    throw;
  }
  keep(session.frames);
  if (screenGone) throw *screenGone;
  session.seconds = screen.seconds;
  session.lateFrames = screen.lateFrames;
  if (finder) session.rewinds = finder->Rewinds();
  if (!world.Frames().empty()) {
    const LiveFrame& end = world.Frames().back();
    session.endPos = end.bodyPos;
    session.endVehicle = end.inVehicle ? end.vehicle : 0;
  }
  return session;
}

std::string PlayReport(const PlaySession& s, const PlayOptions& options) {
  std::ostringstream out;
  char text[200];
  std::snprintf(text, sizeof text,
                "Played %lld frames in %.1f s: %.1f frames a second (one every %u ms wanted), "
                "%lld late.\n",
                static_cast<long long>(s.frames), s.seconds,
                s.seconds > 0 ? s.frames / s.seconds : 0.0, s.frameMs,
                static_cast<long long>(s.lateFrames));
  out << text << RewindReport(s.rewinds, s.frameMs) << EndingLine(s.endPos, s.endVehicle);
  if (options.record) {
    out << "Recorded in " << *options.record << ": `quorvat-sim demo --script " << *options.record
        << "` plays it again, `quorvat-sim run " << *options.record << "` traces it.\n";
  }
  if (!s.logPath.empty()) out << "The module's support log: " << s.logPath << "\n";
  return out.str();
}
