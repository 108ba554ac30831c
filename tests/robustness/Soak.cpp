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
//   quorvat_soak [--frames N] [--seed S] [--rec-size R] [--aids]
//
// A failure names the seed and the frame; rerun with that seed to replay it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GameDouble.h"
#include "SoakRandom.h"
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

uint32_t failingRequests = 0;  // the next this many history allocations fail

bool FailSome(std::size_t) {
  if (failingRequests == 0) return false;
  --failingRequests;
  return true;
}

struct Stats {
  uint64_t recorded = 0, rewindFrames = 0, entries = 0, maxCount = 0;
  std::size_t maxBytes = 0;
};

// Changes the game a little, as one frame of play would.
void Wander(Rng& rng, GameValues& v, float& t, bool aids) {
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
  if (rng.OneIn(s.rewinding != 0 ? 120 : 300)) v.pressed[scriptThread.enableKey & 0xFF] = true;
  const int scrubKeys[] = {s.olderKey, s.newerKey, VK_LEFT, VK_RIGHT};
  if (rng.OneIn(25)) {
    const int key = scrubKeys[rng.Below(4)] & 0xFF;
    v.held[key] = !v.held[key];
  }
  const int resume = s.resumeKey & 0xFF;
  if (rng.OneIn(800)) v.held[resume] = true;
  if (v.held[resume] && rng.OneIn(10)) v.held[resume] = false;
  if (aids) {
    v.counterStep = SomeFrameLength(rng);
    if (rng.OneIn(20)) {
      v.padConnected = !rng.OneIn(30);
      v.pad.wButtons = static_cast<uint16_t>(rng.OneIn(4) ? 32 : rng.Below(16));
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

int Usage() {
  std::fprintf(stderr, "usage: quorvat_soak [--frames N] [--seed S] [--rec-size R] [--aids]\n");
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
  bool aids = false;
  for (int i = 1; i < argc; i += 2) {
    if (std::strcmp(argv[i], "--aids") == 0) {
      aids = true;
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
  if (aids) {
    // As the settings would turn them on on the first frame: the clock
    // started, and that frame's sample, taken without its length, dropped.
    RewindState& s = rewindState;
    s.secondsEnabled = 1;
    s.hintEnabled = 1;
    s.padEnabled = 1;
    s.padToggleButtons = 32;
    s.olderKey = SomeMovedKey(rng);
    s.newerKey = SomeMovedKey(rng);
    s.resumeKey = SomeMovedKey(rng);
    StartFrameClock();
    historySet = HistorySet{};
  }

  HistoryMemory::failHook = FailSome;

  Stats stats;
  float t = 0;
  for (uint64_t frame = 1; frame < frames; ++frame) {
    Wander(rng, v, t, aids);
    if (rng.OneIn(3000)) failingRequests = 1 + rng.Below(20);
    const uint32_t before = historySet.posX.SampleCount();
    const bool wasRewinding = rewindState.rewinding != 0;
    RunFrame();

    if (const char* broken = BrokenInvariant()) return Fail(seed, frame, broken);
    // The sum walks the history: every frame near its newest end, now and
    // then further back.
    if (rewindState.playIndex < 256 || frame % 2048 == 0) {
      if (const char* broken = BrokenSecondsSum()) return Fail(seed, frame, broken);
    }
    const uint32_t count = historySet.posX.SampleCount();
    if (count > before + 1) return Fail(seed, frame, "more than one sample in a frame");
    if (count + 1 < before) return Fail(seed, frame, "more than one sample dropped in a frame");
    if (HistoryMemory::bytesInUse > HistoryMemoryBound(count, kHistoryCount, aids)) {
      return Fail(seed, frame, "the histories hold more memory than their length needs");
    }
    if (rewindState.rewinding != 0) {
      ++stats.rewindFrames;
      if (!wasRewinding) ++stats.entries;
    }
    if (count > before) ++stats.recorded;
    if (count > stats.maxCount) stats.maxCount = count;
    if (HistoryMemory::bytesInUse > stats.maxBytes) stats.maxBytes = HistoryMemory::bytesInUse;
  }

  std::printf(
      "soak: seed %llu, %llu frames, recSize %u%s: %llu growing, %llu rewind frames in %llu "
      "rewinds, at most %llu samples and %zu history bytes\n",
      static_cast<unsigned long long>(seed), static_cast<unsigned long long>(frames), recSize,
      aids ? ", aids on" : "", static_cast<unsigned long long>(stats.recorded),
      static_cast<unsigned long long>(stats.rewindFrames),
      static_cast<unsigned long long>(stats.entries),
      static_cast<unsigned long long>(stats.maxCount), stats.maxBytes);
  // A soak that never rewound or never filled the store tested little.
  if (stats.entries < 10 || stats.maxCount < std::min<uint64_t>(recSize, frames / 4)) {
    std::fprintf(stderr, "soak: the run did not exercise rewinding and a full store\n");
    return 1;
  }
  // Fresh histories allocate as they are made: the failures the last frames
  // asked for must not reach them.
  HistoryMemory::failHook = nullptr;
  failingRequests = 0;
  ResetModuleState();
  return 0;
}
