// A long soak of the module: a randomised game (seeded, so that a failure
// replays exactly) runs the real frame loop for many frames with rewinds,
// scrubbing, vehicles and hostile values, and after every frame the
// invariants are checked: the seventeen histories agree, hold at most
// recSize + 1 samples, playIndex stays inside the history while rewinding,
// and the histories' heap stays bounded by their length. Now and then the
// histories' allocations fail for a few requests in a row, as they would
// when the game's process runs out of memory.
//
// With --aids, the player aids are on as the shipped settings have them and
// more: the seconds label (its frame lengths must stay as many as the
// samples, and now and then the label's sum is checked against them), the
// hint, moved scrub and resume keys, and the game pad with its triggers at
// random pressures; the frames' lengths vary, with stalls and a counter
// that jumps.
//
// With --rec-seconds R the history keeps R seconds of play instead of
// recSize samples: the frame clock runs with the same varying lengths and,
// for a short history, now and then long enough a run of frames of 0 ms to
// reach its cap of R x 1000 samples. After every frame it holds at most that
// many samples and R seconds of play, and the running sum of its frame
// lengths is their sum (walked every frame while the history is short, now
// and then on a long one), also after the failed pushes. Marks are on: the
// mark key (and with --aids the pad's mark chord) is pressed at random;
// after every frame at most 16 marks are kept, each on a kept sample, and a
// rewind frame that took the key's press is on a mark. With --hold the
// toggle key is held to rewind, as [Keys] Hold=1 has it, and now and then
// only tapped.
//
// With --vehicles K the module follows K vehicles around the player: eight
// keep near the player, drift, now and then go past 30 or 60 m and come
// back, vanish and reappear, read a value that is not finite, and the
// player gets into them and out. After every frame at most K slots are in
// use, no vehicle in two, one world part a sample, its newest holding only
// finite floats; a kept sample's world step moved the probe on one turn and
// left none of the slots to the vehicle the player sat in.
//
//   quorvat_soak [--frames N] [--seed S] [--rec-size R] [--rec-seconds R] [--aids] [--hold]
//                [--vehicles K]
//
// A failure names the seed and the frame; rerun with that seed to replay it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "GameDouble.h"
#include "SoakRandom.h"
#include "WorldCheck.h"
#include "record/FrameClock.h"

namespace {

using Rng = SoakRng;

float Hostile(Rng& rng, float usual) {
  return HostileFloat(rng, usual, 80);
}

// A bool result word: mostly clean, sometimes with noise in the upper bytes.
uint32_t BoolWord(Rng& rng, bool value) {
  static const uint32_t kNoise[] = {0u, 0xA5A5A500u, 0x100u, 0xFFFFFF00u};
  return kNoise[rng.Below(4)] | (value ? 1u : 0u);
}

uint32_t Quantity(Rng& rng, uint32_t usual) {
  if (rng.OneIn(100)) return static_cast<uint32_t>(rng.Next());
  return HostileQuantity(rng, usual, 33);
}

// After the next passingRequests history allocations, the next
// failingRequests fail: so that any of a frame's pushes may be the one that
// fails, the last one (the frame's length) too.
uint32_t passingRequests = 0;
uint32_t failingRequests = 0;

bool FailSome(std::size_t) {
  if (passingRequests != 0) {
    --passingRequests;
    return false;
  }
  if (failingRequests == 0) return false;
  --failingRequests;
  return true;
}

// What a run turns on beyond the plain module.
struct Options {
  bool aids = false;
  bool hold = false;
  uint32_t recSeconds = 0;
  uint32_t vehicles = 0;
};

// Marks are on in every soak, by this key and, with the aids, by Back+Y.
constexpr int kMarkKey = 119;

struct Stats {
  uint64_t recorded = 0, rewindFrames = 0, entries = 0, maxCount = 0, maxTotal = 0;
  uint64_t jumps = 0;         // rewind frames that took the mark key's press with marks kept
  uint64_t manyTrimmed = 0;   // frames that dropped more than one sample
  uint64_t slotsFull = 0;     // frames that ended with every vehicle slot in use
  uint64_t intoFollowed = 0;  // kept vehicle frames in a vehicle followed before them
  std::size_t maxBytes = 0;
};

// Changes the game a little, as one frame of play would.
void Wander(Rng& rng, GameValues& v, float& t, const Options& run) {
  t += 1.0f / 60.0f;
  const float drift = rng.Unit() - 0.5f;
  for (int i = 0; i < 3; ++i) {
    v.charPos[i] = Hostile(rng, std::sin(t * static_cast<float>(i + 1)) * 500.0f + drift);
    v.charVel[i] = Hostile(rng, drift * 10.0f);
    v.vehPos[i] = Hostile(rng, v.charPos[i] + 2.0f);
    v.vehVel[i] = Hostile(rng, drift * 30.0f);
    v.extentB[i] = Hostile(rng, 1.0f + rng.Unit() * 4.0f);
  }
  for (int i = 0; i < 4; ++i) v.vehRot[i] = Hostile(rng, rng.Unit());
  v.heading = Hostile(rng, std::fmod(t * 30.0f, 360.0f));
  v.distance = Hostile(rng, rng.Unit() * 8.0f);

  if (rng.OneIn(600)) v.inVehicle = BoolWord(rng, (v.inVehicle & 0xFF) == 0);
  if (rng.OneIn(200)) v.vehicle = static_cast<int32_t>(rng.Below(5));
  if (rng.OneIn(50)) v.bodyMode = BoolWord(rng, rng.OneIn(3));
  if (rng.OneIn(50)) v.boxBlocked = BoolWord(rng, rng.OneIn(2));
  if (rng.OneIn(100)) v.vehicleValid = BoolWord(rng, !rng.OneIn(4));
  if (rng.OneIn(100)) v.inThisVehicle = BoolWord(rng, !rng.OneIn(4));
  if (rng.OneIn(100)) v.nearVehicle = static_cast<int32_t>(rng.Below(4));
  v.frameStep = rng.OneIn(20) ? rng.Below(4) : Quantity(rng, 16);
  v.scrubStep = rng.OneIn(10) ? rng.Below(100) : Quantity(rng, 100 + rng.Below(2000));
  v.playerValue = rng.OneIn(100) ? Quantity(rng, rng.Below(8)) : v.playerValue;
  v.charValue = rng.OneIn(100) ? Quantity(rng, rng.Below(8)) : v.charValue;
  v.charCondition = Quantity(rng, 100 + rng.Below(101));
  v.vehCondition = Quantity(rng, rng.Below(1001));
  v.footValue = rng.OneIn(100) ? static_cast<int32_t>(rng.Next()) : v.footValue;
  v.extraPendingVectors = rng.OneIn(500) ? rng.Below(300) : 0;

  // Keys: the toggle now and then, scrub keys held for a while, the resume
  // key rarely.
  const RewindState& s = rewindState;
  const int toggle = scriptThread.enableKey & 0xFF;
  if (!run.hold) {
    if (rng.OneIn(s.rewinding != 0 ? 120 : 300)) v.pressed[toggle] = true;
  } else if (!v.held[toggle]) {
    // Pressed and held for a while, or now and then only tapped.
    if (rng.OneIn(300)) {
      v.pressed[toggle] = true;
      v.held[toggle] = !rng.OneIn(8);
    }
  } else if (rng.OneIn(90)) {
    v.held[toggle] = false;
  }
  const int scrubKeys[] = {s.olderKey, s.newerKey, VK_LEFT, VK_RIGHT};
  if (rng.OneIn(25)) {
    const int key = scrubKeys[rng.Below(4)] & 0xFF;
    v.held[key] = !v.held[key];
  }
  // The mark key: a mark now and then while playing, jumps more often while
  // rewinding.
  if (rng.OneIn(s.rewinding != 0 ? 40 : 250)) v.pressed[kMarkKey] = true;
  const int resume = s.resumeKey & 0xFF;
  if (rng.OneIn(800)) v.held[resume] = true;
  if (v.held[resume] && rng.OneIn(10)) v.held[resume] = false;
  if (run.aids || run.recSeconds != 0) v.counterStep = SomeFrameLength(rng);
  if (run.aids) {
    if (rng.OneIn(20)) {
      v.padConnected = !rng.OneIn(30);
      // The toggle chord, the mark chord (which shares Back with it), or the
      // D-pad.
      static const uint16_t kChords[] = {32, 32 | 32768};
      v.pad.wButtons = static_cast<uint16_t>(rng.OneIn(4) ? kChords[rng.Below(2)] : rng.Below(16));
      v.pad.bLeftTrigger = static_cast<uint8_t>(rng.OneIn(3) ? 0 : rng.Below(256));
      v.pad.bRightTrigger = static_cast<uint8_t>(rng.OneIn(3) ? 0 : rng.Below(256));
    }
  }
  if (rng.OneIn(40)) {
    v.cursor[0] = static_cast<int32_t>(rng.Below(1920));
    v.cursor[1] = static_cast<int32_t>(rng.Below(1080));
  }
  if (rng.OneIn(300)) v.cursorFails = !v.cursorFails;
}

// Where each of the vehicles around the player stands from the player's
// point: mostly within the probes' reach, drifting; now and then past 30 m
// or past 60 m.
struct Around {
  float offset[8][3] = {};
};

void PlaceAround(Rng& rng, float* offset) {
  static const float kFarthest[] = {12.0f, 29.0f, 29.0f, 29.0f, 58.0f, 150.0f};
  const float reach = kFarthest[rng.Below(6)];
  const float turn = rng.Unit() * 6.2831853f;
  const float d = reach * (0.2f + 0.8f * rng.Unit());
  offset[0] = d * std::cos(turn);
  offset[1] = d * std::sin(turn);
  offset[2] = rng.Around(2.0f);
}

// Moves the vehicles with the player as one frame of play would.
void WanderAround(Rng& rng, GameValues& v, Around& around) {
  const bool seated = (v.inVehicle & 0xFF) != 0;
  for (int32_t handle = 1; handle <= 8; ++handle) {
    GameValues::AroundVehicle& a = v.around[handle - 1];
    float* offset = around.offset[handle - 1];
    if (rng.OneIn(300)) PlaceAround(rng, offset);
    for (int i = 0; i < 3; ++i) offset[i] += rng.Around(0.3f);
    if (rng.OneIn(500)) a.valid = BoolWord(rng, (a.valid & 0xFF) == 0);
    // The one the player sits in is where the player is.
    const bool carries = seated && v.vehicle == handle;
    for (int i = 0; i < 3; ++i) {
      a.pos[i] = HostileFloat(rng, v.charPos[i] + (carries ? 0.0f : offset[i]), 3000);
      a.vel[i] = HostileFloat(rng, rng.Around(20.0f), 3000);
    }
    for (float& r : a.rot) r = HostileFloat(rng, rng.Unit(), 3000);
    a.condition = Quantity(rng, rng.Below(1001));
  }
}

int Usage() {
  std::fprintf(stderr,
               "usage: quorvat_soak [--frames N] [--seed S] [--rec-size R] [--rec-seconds R] "
               "[--aids] [--hold] [--vehicles K]\n");
  return 2;
}

int Fail(uint64_t seed, uint64_t frame, const char* what) {
  std::fprintf(stderr, "soak: seed %llu, frame %llu: %s\n", static_cast<unsigned long long>(seed),
               static_cast<unsigned long long>(frame), what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t frames = 1000000;
  uint64_t seed = 1;
  uint32_t recSize = 40;
  Options run;
  for (int i = 1; i < argc; i += 2) {
    const bool aids = std::strcmp(argv[i], "--aids") == 0;
    const bool hold = std::strcmp(argv[i], "--hold") == 0;
    if (aids || hold) {
      run.aids = run.aids || aids;
      run.hold = run.hold || hold;
      --i;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const char* value = argv[i + 1];
    if (std::strcmp(argv[i], "--frames") == 0) {
      frames = std::strtoull(value, nullptr, 10);
    } else if (std::strcmp(argv[i], "--seed") == 0) {
      seed = std::strtoull(value, nullptr, 10);
    } else if (std::strcmp(argv[i], "--rec-size") == 0) {
      recSize = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
    } else if (std::strcmp(argv[i], "--rec-seconds") == 0) {
      run.recSeconds = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
      if (run.recSeconds < 1 || run.recSeconds > 600) return Usage();
    } else if (std::strcmp(argv[i], "--vehicles") == 0) {
      run.vehicles = static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
      if (run.vehicles < 1 || run.vehicles > 8) return Usage();
    } else {
      return Usage();
    }
  }

  GameDouble game;
  GameValues& v = game.values;
  Rng rng{seed};
  ResetModuleState();
  v.hasMtime = true;
  v.mtime = 1700000000;
  RunFrame();  // the first frame reads the settings
  rewindState.recSize = recSize;
  scriptThread.enableKey = 118;
  RewindState& s = rewindState;
  if (run.aids) {
    s.secondsEnabled = 1;
    s.hintEnabled = 1;
    s.padEnabled = 1;
    s.padToggleButtons = 32;
    s.olderKey = SomeMovedKey(rng);
    s.newerKey = SomeMovedKey(rng);
    s.resumeKey = SomeMovedKey(rng);
  }
  s.holdEnabled = run.hold ? 1 : 0;
  s.recSeconds = run.recSeconds;
  s.markKey = kMarkKey;
  if (run.aids) s.markButtons = 32 | 32768;
  const bool clockOn = FrameClockOn(s);
  if (clockOn) {
    // As the settings would turn them on on the first frame: the clock
    // started, and that frame's sample, taken without its length, dropped.
    StartFrameClock();
    historySet = HistorySet{};
  }
  Around around;
  if (run.vehicles != 0) {
    // As [World] Vehicles=K on the first frame: its sample, taken without a
    // world part, dropped.
    s.vehicleCount = static_cast<uint8_t>(run.vehicles);
    historySet = HistorySet{};
    historySet.worldParts.SetSlots(run.vehicles);
    v.aroundOn = true;
    v.locateNearest = true;
    for (float(&offset)[3] : around.offset) PlaceAround(rng, offset);
  }
  // The count cap of the history in seconds: frames of 0 ms never fill it by
  // time. Long runs of them now and then, where the cap is in reach.
  const uint64_t countCap = uint64_t{run.recSeconds} * 1000u;
  const bool deadClockRuns = run.recSeconds != 0 && countCap * 3 <= frames / 10;
  uint64_t deadFramesLeft = 0;

  HistoryMemory::failHook = FailSome;

  Stats stats;
  float t = 0;
  QuorvatSnapshot snapshot{};
  QuorvatReadSnapshot(&snapshot);
  for (uint64_t frame = 1; frame < frames; ++frame) {
    Wander(rng, v, t, run);
    if (run.vehicles != 0) WanderAround(rng, v, around);
    if (deadClockRuns && deadFramesLeft == 0 && rng.OneIn(static_cast<uint32_t>(countCap * 10))) {
      deadFramesLeft = countCap * 3;
    }
    if (deadFramesLeft != 0) {
      --deadFramesLeft;
      v.counterStep = 0;
    }
    if (rng.OneIn(3000)) {
      passingRequests = rng.Below(kHistoryCount + 2);
      failingRequests = 1 + rng.Below(20);
    }
    const uint32_t before = historySet.posX.SampleCount();
    const bool wasRewinding = rewindState.rewinding != 0;
    const bool markPressed = v.pressed[kMarkKey];
    const uint64_t pushedBefore = historySet.samplesPushed;
    RunFrame();

    if (const char* broken = BrokenInvariant()) return Fail(seed, frame, broken);
    const QuorvatSnapshot previous = snapshot;
    QuorvatReadSnapshot(&snapshot);
    const bool jumpAsked = markPressed && !v.pressed[kMarkKey] && rewindState.rewinding != 0;
    if (const char* broken = BrokenMarks(snapshot, jumpAsked)) return Fail(seed, frame, broken);
    const bool kept = historySet.samplesPushed != pushedBefore;
    const int32_t playerVehicle = (v.inVehicle & 0xFF) != 0 ? v.vehicle : 0;
    if (const char* broken = BrokenWorldFrame(previous, snapshot, kept, playerVehicle)) {
      return Fail(seed, frame, broken);
    }
    if (run.vehicles != 0) {
      bool full = true;
      for (uint32_t slot = 0; slot < run.vehicles; ++slot) {
        full = full && snapshot.vehicleSlots[slot] != 0;
        if (kept && playerVehicle != 0 && previous.vehicleSlots[slot] == playerVehicle) {
          ++stats.intoFollowed;
        }
      }
      if (full) ++stats.slotsFull;
    }
    if (jumpAsked && rewindState.markCount != 0) ++stats.jumps;
    // The sum walks the history: every frame near its newest end, now and
    // then further back.
    if (rewindState.playIndex < 256 || frame % 2048 == 0) {
      if (const char* broken = BrokenSecondsSum()) return Fail(seed, frame, broken);
    }
    const uint32_t count = historySet.posX.SampleCount();
    if (count <= 4096 || frame % 1024 == 0) {
      if (const char* broken = BrokenFrameMsTotal()) return Fail(seed, frame, broken);
    }
    if (count > before + 1) return Fail(seed, frame, "more than one sample in a frame");
    // A frame after a pause may trim many samples from a history in seconds.
    if (count + 1 < before && run.recSeconds == 0) {
      return Fail(seed, frame, "more than one sample dropped in a frame");
    }
    // A world part is 12 words a slot, as many as 12 K histories of floats.
    const uint32_t histories = kHistoryCount + 12 * run.vehicles;
    if (HistoryMemory::bytesInUse > HistoryMemoryBound(count, histories, clockOn)) {
      return Fail(seed, frame, "the histories hold more memory than their length needs");
    }
    if (rewindState.rewinding != 0) {
      ++stats.rewindFrames;
      if (!wasRewinding) ++stats.entries;
    }
    if (count > before) ++stats.recorded;
    if (count + 1 < before) ++stats.manyTrimmed;
    if (count > stats.maxCount) stats.maxCount = count;
    if (historySet.frameMsTotal > stats.maxTotal) stats.maxTotal = historySet.frameMsTotal;
    if (HistoryMemory::bytesInUse > stats.maxBytes) stats.maxBytes = HistoryMemory::bytesInUse;
  }

  const std::string length = run.recSeconds != 0 ? "recSeconds " + std::to_string(run.recSeconds)
                                                 : "recSize " + std::to_string(recSize);
  std::printf(
      "soak: seed %llu, %llu frames, %s%s%s: %llu growing, %llu rewind frames in %llu "
      "rewinds, at most %llu samples, %llu ms and %zu history bytes, %llu frames trimming "
      "several, %llu jumps to a mark, %llu frames with every vehicle slot in use, %llu into a "
      "followed vehicle\n",
      static_cast<unsigned long long>(seed), static_cast<unsigned long long>(frames),
      length.c_str(), run.aids ? ", aids on" : "", run.hold ? ", hold" : "",
      static_cast<unsigned long long>(stats.recorded),
      static_cast<unsigned long long>(stats.rewindFrames),
      static_cast<unsigned long long>(stats.entries),
      static_cast<unsigned long long>(stats.maxCount),
      static_cast<unsigned long long>(stats.maxTotal), stats.maxBytes,
      static_cast<unsigned long long>(stats.manyTrimmed),
      static_cast<unsigned long long>(stats.jumps),
      static_cast<unsigned long long>(stats.slotsFull),
      static_cast<unsigned long long>(stats.intoFollowed));
  // A soak that never rewound or never filled the store tested little: a
  // history in seconds must have filled with play, trimmed after pauses,
  // and reached its count cap where the runs of 0 ms frames came.
  bool full = stats.maxCount >= std::min<uint64_t>(recSize, frames / 4);
  if (run.recSeconds != 0) {
    full = stats.maxTotal + 1000 > countCap && stats.manyTrimmed >= 10 &&
           (!deadClockRuns || stats.maxCount == countCap);
  }
  const bool followed = run.vehicles == 0 || (stats.slotsFull != 0 && stats.intoFollowed != 0);
  if (stats.entries < 10 || stats.jumps == 0 || !full || !followed) {
    std::fprintf(stderr, "soak: the run did not exercise rewinding and a full store\n");
    return 1;
  }
  // Fresh histories allocate as they are made: the failures the last frames
  // asked for must not reach them.
  HistoryMemory::failHook = nullptr;
  passingRequests = failingRequests = 0;
  ResetModuleState();
  return 0;
}
