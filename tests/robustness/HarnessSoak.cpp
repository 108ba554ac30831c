// The soak as a user's run sees it: a randomised scenario (seeded, so that a
// failure replays exactly) runs the built module through the harness, the
// stand-in host, its fibers, the scripted world and the trace writer, as
// `quorvat-sim run` does. At the end of every frame the module's state, read
// through the trace's snapshot, must hold the invariants: the seventeen
// histories agree, hold at most recSize + 1 samples and grow by at most one
// a frame, playIndex stays inside the history while rewinding, and the
// histories' heap stays bounded by their length. The settings turn marks on
// (MarkKey=119), the mark key is pressed now and then: at most 16 marks are
// kept, each on a kept sample, and a rewind frame that pressed it is on a
// mark.
//
// With --aids the settings also move the scrub and resume keys (now and then
// to a value out of range, which keeps the default) and turn the hint and
// the seconds label on; the scenario's clock varies its frame length. The
// frame lengths the label keeps must then stay as many as the samples (and
// none be kept with it off).
//
// With --rec-seconds R the settings keep R seconds of play instead of
// recSize samples, and the clock varies as with the aids, now and then
// standing still for long enough to reach the cap of R x 1000 samples in a
// short history. With --hold the toggle key is held to rewind ([Keys]
// Hold=1) and now and then only tapped; --reenter N runs the script body
// once more for N frames. Whenever the frame clock runs, the checker keeps
// its own account of the kept frame lengths: the length each recorded frame
// must have by the scenario's clock, trimmed by the history's rule. The
// snapshot's count of lengths and their running sum must match it after
// every frame, and with the history in seconds the count and the sum stay
// within R x 1000.
//
//   quorvat_harness_soak MODULE [--frames N] [--seed S] [--rec-size R] [--rec-seconds R]
//                        [--aids] [--hold] [--reenter N]
//
// The scenario is built in memory rather than written as JSON so that it can
// carry what no scenario file can: NaN and infinite positions.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <set>
#include <string>

#include "FrameLength.h"
#include "MarkCheck.h"
#include "SoakRandom.h"
#include "formats/Scenario.h"
#include "run/Runner.h"

namespace {

constexpr int kToggleKey = 118;  // the settings name it below
constexpr int kMarkKey = 119;    // and this one: marks are on in every run
constexpr int kSpace = 0x20, kLeft = 0x25, kRight = 0x27;
constexpr uint32_t kHistories = 17;

using Rng = SoakRng;

float Hostile(Rng& rng, float usual) {
  return HostileFloat(rng, usual, 75);
}

Vec3f HostileVec(Rng& rng, float scale) {
  return {Hostile(rng, rng.Around(scale)), Hostile(rng, rng.Around(scale)),
          Hostile(rng, rng.Around(scale))};
}

uint32_t Quantity(Rng& rng, uint32_t usual) {
  return HostileQuantity(rng, usual, 20);
}

ScriptedVehicle SomeVehicle(Rng& rng) {
  ScriptedVehicle v;
  v.pos = HostileVec(rng, 800.0f);
  for (float& r : v.rot) r = Hostile(rng, rng.Around(1.0f));
  v.vel = HostileVec(rng, 30.0f);
  v.condition = Quantity(rng, rng.Below(1001));
  v.model = static_cast<int32_t>(rng.Below(3));
  return v;
}

// A frame's change to the world: a little of everything, now and then.
WorldPatch SomeChange(Rng& rng) {
  WorldPatch p;
  p.charPos = HostileVec(rng, 1000.0f);
  if (rng.OneIn(2)) p.charVel = HostileVec(rng, 10.0f);
  if (rng.OneIn(2)) p.heading = Hostile(rng, rng.Unit() * 360.0f);
  if (rng.OneIn(5)) p.frameStep = rng.OneIn(4) ? rng.Below(5) : Quantity(rng, 16 + rng.Below(18));
  if (rng.OneIn(5)) p.scrubStep = rng.OneIn(6) ? rng.Below(100) : Quantity(rng, rng.Below(2000));
  if (rng.OneIn(40)) p.playerValue = Quantity(rng, rng.Below(8));
  if (rng.OneIn(40)) p.charValue = Quantity(rng, rng.Below(8));
  if (rng.OneIn(6)) p.charCondition = Quantity(rng, 90 + rng.Below(111));
  if (rng.OneIn(40)) p.footValue = static_cast<int32_t>(rng.Next());
  if (rng.OneIn(15)) p.bodyMode = rng.OneIn(3);
  if (rng.OneIn(15)) p.boxBlocked = rng.OneIn(2);
  if (rng.OneIn(20)) p.nearVehicle = static_cast<int32_t>(rng.Below(5));
  if (rng.OneIn(60)) p.inVehicle = !rng.OneIn(2);
  if (rng.OneIn(60)) p.vehicle = static_cast<int32_t>(rng.Below(5));
  if (rng.OneIn(3)) {
    const int32_t handle = 1 + static_cast<int32_t>(rng.Below(4));
    if (rng.OneIn(50)) {
      p.vehicles[handle] = std::nullopt;  // gone from the world
    } else {
      p.vehicles[handle] = SomeVehicle(rng);
    }
  }
  return p;
}

// The scrub and resume keys the settings give, and the keys the player then
// uses.
struct Keys {
  std::string settings;
  int older = 'Z', newer = 'X', resume = kSpace;
};

Keys SomeKeys(Rng& rng) {
  Keys keys;
  int* const used[] = {&keys.older, &keys.newer, &keys.resume};
  const char* const names[] = {"OlderKey", "NewerKey", "ResumeKey"};
  for (int i = 0; i < 3; ++i) {
    // One time in five a value that names no key: the default holds.
    static const char* const kOutOfRange[] = {"0", "255", "-5", "4294967296", "x"};
    if (rng.OneIn(5)) {
      keys.settings += std::string(names[i]) + "=" + kOutOfRange[rng.Below(5)] + "\r\n";
    } else {
      *used[i] = SomeMovedKey(rng);
      keys.settings += std::string(names[i]) + "=" + std::to_string(*used[i]) + "\r\n";
    }
  }
  return keys;
}

// What a run turns on beyond the plain module.
struct Options {
  uint32_t recSize = 40;
  uint32_t recSeconds = 0;
  bool aids = false;
  bool hold = false;
  int64_t reenter = 0;

  bool ClockOn() const { return aids || recSeconds != 0; }
  uint64_t Limit() const { return uint64_t{recSeconds} * 1000u; }
  // Runs of frames of 0 ms, long enough to reach the count cap, where it is
  // in reach of the run.
  bool DeadClockRuns(int64_t frames) const {
    return recSeconds != 0 && Limit() * 3 <= static_cast<uint64_t>(frames) / 10;
  }
};

Scenario RandomScenario(Rng& rng, int64_t frames, const Options& run) {
  const bool aids = run.aids;
  Scenario s;
  s.frames = frames;
  s.reenter = run.reenter;
  s.moduleMtime = 1700000000;
  const Keys keys = aids ? SomeKeys(rng) : Keys{};
  s.settings = "[Keys]\r\nEnableKey=" + std::to_string(kToggleKey) +
               "\r\nMarkKey=" + std::to_string(kMarkKey) + "\r\n" + keys.settings +
               (run.hold ? "Hold=1\r\n" : "") +
               "[Settings]\r\nRecSize=" + std::to_string(run.recSize) +
               "\r\nPush=" + std::to_string(static_cast<int>(rng.Below(3))) + "\r\n";
  if (run.recSeconds != 0) *s.settings += "RecSeconds=" + std::to_string(run.recSeconds) + "\r\n";
  if (aids)
    *s.settings += "[Overlay]\r\nHint=1\r\nSeconds=" + std::to_string(1 + rng.Below(9)) + "\r\n";
  // Half the runs with the game pad on, some with an odd chord.
  if (rng.OneIn(2)) {
    const uint32_t chord = rng.OneIn(4) ? rng.Below(65536) : 32;
    *s.settings += "[Pad]\r\nEnable=1\r\nToggleButtons=" + std::to_string(chord) + "\r\n";
  }
  s.world.inVehicle = false;
  for (int32_t handle = 1; handle <= 4; ++handle) s.world.vehicles[handle] = SomeVehicle(rng);
  for (int32_t model = 0; model < 3; ++model) {
    s.world.models[model] = {{-1.0f, -2.5f, -0.8f}, {1.0f + model, 2.5f, 1.2f}};
  }

  const int scrubKeys[] = {keys.older, keys.newer, kLeft, kRight};
  const int resume = keys.resume;
  bool held[256] = {};
  const bool deadClockRuns = run.DeadClockRuns(frames + run.reenter);
  int64_t deadUntil = 0;  // the frame that ends a run of 0 ms frames
  for (int64_t frame = 1; frame < frames + run.reenter; ++frame) {
    std::optional<uint32_t> clockUs;
    if (deadClockRuns && deadUntil == 0 && rng.OneIn(static_cast<uint32_t>(run.Limit() * 10))) {
      deadUntil = frame + static_cast<int64_t>(run.Limit() * 3);
      clockUs = 0;
    } else if (frame == deadUntil) {
      deadUntil = 0;
      clockUs = 16667;
    }
    if (!clockUs && !rng.OneIn(6)) continue;
    TimelineEntry e;
    e.frame = frame;
    e.world = SomeChange(rng);
    if (run.ClockOn() && deadUntil == 0 && rng.OneIn(4)) {
      // Frames of 8 to 48 ms, and now and then none, or a stall past the
      // one-second cap.
      static const uint32_t kOdd[] = {0, 2000000, 0xFFFFFFFFu};
      e.world->clockUs = rng.OneIn(20) ? kOdd[rng.Below(3)] : 8000 + rng.Below(40000);
    }
    if (clockUs) e.world->clockUs = clockUs;
    if (!run.hold) {
      // Rewinds often: a press every few hundred frames enters or leaves.
      if (rng.OneIn(40)) e.press.push_back(kToggleKey);
    } else if (!held[kToggleKey]) {
      // Pressed and held for a while, or now and then only tapped.
      if (rng.OneIn(40)) {
        e.press.push_back(kToggleKey);
        if (!rng.OneIn(8)) {
          e.hold.push_back(kToggleKey);
          held[kToggleKey] = true;
        }
      }
    } else if (rng.OneIn(12)) {
      e.release.push_back(kToggleKey);
      held[kToggleKey] = false;
    }
    // A mark now and then; in a rewind, a jump.
    if (rng.OneIn(5)) e.press.push_back(kMarkKey);
    int scrubbed = -1;
    if (rng.OneIn(4)) {
      const int key = scrubKeys[rng.Below(4)];
      (held[key] ? e.release : e.hold).push_back(key);
      held[key] = !held[key];
      scrubbed = key;
    }
    // Moved keys may coincide: an entry holds or releases a key once.
    if ((rng.OneIn(120) || (held[resume] && rng.OneIn(3))) && resume != scrubbed) {
      (held[resume] ? e.release : e.hold).push_back(resume);
      held[resume] = !held[resume];
    }
    if (rng.OneIn(8)) {
      e.setsCursor = true;
      if (!rng.OneIn(30)) {
        e.cursor =
            CursorPos{static_cast<int32_t>(rng.Below(1920)), static_cast<int32_t>(rng.Below(1080))};
      }
    }
    if (rng.OneIn(10)) {
      e.setsPad = true;
      if (!rng.OneIn(20)) {  // else unplugged
        e.pad =
            ScriptedPad{static_cast<uint16_t>(rng.OneIn(3) ? 32 : rng.Below(65536)),
                        static_cast<uint8_t>(rng.Below(256)), static_cast<uint8_t>(rng.Below(256))};
      }
    }
    s.timeline.push_back(std::move(e));
  }
  return s;
}

// The frame lengths the module must keep, by the scenario's clock: the world
// as each frame ran it (the timeline's entries up to that frame), the
// counter it read, and which frames recorded a sample.
struct KeptLengths {
  explicit KeptLengths(const Scenario& scenario) : timeline(scenario.timeline) {}

  const std::vector<TimelineEntry>& timeline;
  size_t nextEntry = 0;
  uint32_t frameStep = WorldState{}.frameStep;
  uint32_t clockUs = WorldState{}.clockUs;
  int64_t counter = 1000000000;  // frame 0's reading
  bool hasReading = false;
  int64_t lastReading = 0;
  std::deque<uint16_t> lengths;  // newest first
  uint64_t total = 0;

  // After frame `frame`, which recorded a sample unless it rewound or the
  // game's frame step closed the gate.
  void FrameRan(int64_t frame, bool rewinding, const Options& run) {
    while (nextEntry < timeline.size() && timeline[nextEntry].frame <= frame) {
      const std::optional<WorldPatch>& world = timeline[nextEntry++].world;
      if (!world) continue;
      if (world->frameStep) frameStep = *world->frameStep;
      if (world->clockUs) clockUs = *world->clockUs;
    }
    if (frame > 0) counter += clockUs;
    const uint16_t ms = ExpectedFrameMs(hasReading, lastReading, counter, 1000000);
    hasReading = true;
    lastReading = counter;
    if (rewinding || frameStep <= 2) return;
    const size_t before = lengths.size();
    lengths.push_front(ms);
    total += ms;
    if (run.recSeconds != 0) {
      while (lengths.size() > 1 && (lengths.size() > run.Limit() || total > run.Limit())) Trim();
    } else if (before > run.recSize) {
      Trim();
    }
  }
  void Trim() {
    total -= lengths.back();
    lengths.pop_back();
  }
};

struct Checker {
  explicit Checker(const Scenario& scenario, const Options& options)
      : run(options), kept(scenario) {
    for (const TimelineEntry& e : scenario.timeline) {
      if (std::find(e.press.begin(), e.press.end(), kMarkKey) != e.press.end()) {
        markPressed.insert(e.frame);
      }
    }
  }

  const Options run;
  KeptLengths kept;
  uint32_t lastCount = 0;
  int32_t wasRewinding = 0;
  uint64_t rewinds = 0, rewindFrames = 0, maxCount = 0, maxBytes = 0, maxTotal = 0;
  uint64_t manyTrimmed = 0;       // frames that dropped more than one sample
  std::set<int64_t> markPressed;  // the frames that press the mark key
  uint64_t jumps = 0;             // rewind frames that pressed it with marks kept

  std::string operator()(int64_t frame, const QuorvatSnapshot& s) {
    const std::string at = " at frame " + std::to_string(frame);
    const bool jumpAsked = s.rewinding != 0 && markPressed.count(frame) != 0;
    if (const char* broken = BrokenMarks(s, jumpAsked)) return broken + at;
    if (jumpAsked && s.markCount != 0) ++jumps;
    const uint32_t count = s.historyCounts[0];
    for (uint32_t c : s.historyCounts) {
      if (c != count) return "the histories hold different sample counts" + at;
    }
    if (s.secondsEnabled != (run.aids ? 1 : 0) || s.recSeconds != run.recSeconds ||
        s.holdEnabled != (run.hold ? 1 : 0)) {
      return "the settings were not read as written" + at;
    }
    if (s.frameMsCount != (run.ClockOn() ? count : 0u)) {
      return "the frame lengths' count " + std::to_string(s.frameMsCount) + " beside " +
             std::to_string(count) + " samples" + at;
    }
    if (run.recSeconds == 0) {
      if (count > static_cast<uint64_t>(s.recSize) + 1) return "more than recSize + 1 samples" + at;
    } else {
      if (count > run.Limit()) return "more than R x 1000 samples" + at;
      if (count > 1 && s.frameMsTotal > run.Limit()) return "more than R seconds of play" + at;
    }
    if (run.ClockOn()) {
      kept.FrameRan(frame, s.rewinding != 0, run);
      if (s.frameMsCount != kept.lengths.size() || s.frameMsTotal != kept.total) {
        return std::to_string(s.frameMsCount) + " frame lengths summing to " +
               std::to_string(s.frameMsTotal) + " ms kept, not the " +
               std::to_string(kept.lengths.size()) + " of the recorded frames summing to " +
               std::to_string(kept.total) + at;
      }
    } else if (s.frameMsTotal != 0) {
      return "a sum of frame lengths with the frame clock off" + at;
    }
    if (count > lastCount + 1) return "more than one sample in a frame" + at;
    // A frame after a pause may trim many samples from a history in seconds.
    if (count + 1 < lastCount && run.recSeconds == 0) {
      return "more than one sample dropped in a frame" + at;
    }
    if (s.rewinding != 0) {
      if (static_cast<int64_t>(count) != s.playLength)
        return "the count moved while rewinding" + at;
      if (s.playIndex < 0 || s.playIndex >= s.playLength) {
        return "playIndex is outside the history while rewinding" + at;
      }
      ++rewindFrames;
      if (wasRewinding == 0) ++rewinds;
    }
    if (s.historyBytes > HistoryMemoryBound(count, kHistories, run.ClockOn())) {
      return "the histories hold " + std::to_string(s.historyBytes) + " bytes for " +
             std::to_string(count) + " samples" + at;
    }
    if (count + 1 < lastCount) ++manyTrimmed;
    lastCount = count;
    wasRewinding = s.rewinding;
    if (count > maxCount) maxCount = count;
    if (s.frameMsTotal > maxTotal) maxTotal = s.frameMsTotal;
    if (s.historyBytes > maxBytes) maxBytes = s.historyBytes;
    return {};
  }
};

int Usage() {
  std::fprintf(stderr,
               "usage: quorvat_harness_soak MODULE [--frames N] [--seed S] [--rec-size R] "
               "[--rec-seconds R] [--aids] [--hold] [--reenter N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  int64_t frames = 1000000;
  uint64_t seed = 1;
  Options run;
  for (int i = 2; i < argc; i += 2) {
    const bool aids = std::strcmp(argv[i], "--aids") == 0;
    const bool hold = std::strcmp(argv[i], "--hold") == 0;
    if (aids || hold) {
      run.aids = run.aids || aids;
      run.hold = run.hold || hold;
      --i;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    char* end = nullptr;
    const unsigned long long value = std::strtoull(argv[i + 1], &end, 10);
    if (end == argv[i + 1] || *end != '\0') return Usage();
    if (std::strcmp(argv[i], "--frames") == 0 && value >= 2 && value <= 100000000) {
      frames = static_cast<int64_t>(value);
    } else if (std::strcmp(argv[i], "--seed") == 0) {
      seed = value;
    } else if (std::strcmp(argv[i], "--rec-size") == 0 && value <= 0xFFFFFFFFull) {
      run.recSize = static_cast<uint32_t>(value);
    } else if (std::strcmp(argv[i], "--rec-seconds") == 0 && value >= 1 && value <= 600) {
      run.recSeconds = static_cast<uint32_t>(value);
    } else if (std::strcmp(argv[i], "--reenter") == 0 && value <= 100000000) {
      run.reenter = static_cast<int64_t>(value);
    } else {
      return Usage();
    }
  }

  Rng rng{seed};
  const Scenario scenario = RandomScenario(rng, frames, run);
  Checker checker(scenario, run);
  RunOptions options;
  options.modulePath = argv[1];
  options.trace = std::fopen("/dev/null", "wb");
  if (options.trace == nullptr) {
    std::perror("harness soak: /dev/null");
    return 1;
  }
  options.frameCheck = [&checker](int64_t frame, const QuorvatSnapshot& s) {
    return checker(frame, s);
  };

  RunResult result;
  try {
    result = RunScriptedScenario(scenario, options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "harness soak: seed %llu: %s\n", static_cast<unsigned long long>(seed),
                 error.what());
    return 1;
  }
  std::fclose(options.trace);

  const std::string length = run.recSeconds != 0 ? "recSeconds " + std::to_string(run.recSeconds)
                                                 : "recSize " + std::to_string(run.recSize);
  std::printf(
      "harness soak: seed %llu, %lld frames, %s%s%s: %llu rewind frames in %llu rewinds, at "
      "most %llu samples, %llu ms and %llu history bytes, %llu frames trimming several, %llu "
      "jumps to a mark\n",
      static_cast<unsigned long long>(seed), static_cast<long long>(result.frames), length.c_str(),
      run.aids ? ", aids on" : "", run.hold ? ", hold" : "",
      static_cast<unsigned long long>(checker.rewindFrames),
      static_cast<unsigned long long>(checker.rewinds),
      static_cast<unsigned long long>(checker.maxCount),
      static_cast<unsigned long long>(checker.maxTotal),
      static_cast<unsigned long long>(checker.maxBytes),
      static_cast<unsigned long long>(checker.manyTrimmed),
      static_cast<unsigned long long>(checker.jumps));
  // A soak that never rewound or never filled the store tested little: a
  // history in seconds must have filled with play, trimmed after pauses,
  // and reached its count cap where the runs of 0 ms frames came.
  bool full =
      checker.maxCount >= std::min<uint64_t>(run.recSize, static_cast<uint64_t>(frames) / 4);
  if (run.recSeconds != 0) {
    full = checker.maxTotal + 1000 > run.Limit() && checker.manyTrimmed >= 10 &&
           (!run.DeadClockRuns(frames + run.reenter) || checker.maxCount == run.Limit());
  }
  if (result.frames != frames + run.reenter || checker.rewinds < 10 || checker.jumps == 0 ||
      !full) {
    std::fprintf(stderr, "harness soak: the run did not exercise rewinding and a full store\n");
    return 1;
  }
  return 0;
}
