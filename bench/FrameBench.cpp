// The module's cost per frame, measured through RunFrame() against a game
// that answers every native from fixed values and does nothing else, so the
// time is the module's own (plus one virtual call per native in the stand-in
// host). Also the histories' heap memory per recorded frame.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "GameDouble.h"
#include "log/SupportLog.h"
#include "record/FrameClock.h"

namespace {

GameDouble* game = nullptr;

enum class Scene { kFoot, kVehicle };

void SetScene(Scene scene) {
  GameValues& v = game->values;
  v = GameValues{};
  v.playerValue = 3;
  v.charValue = 7;
  v.charPos[0] = 1520.25f;
  v.charPos[1] = -812.5f;
  v.charPos[2] = 34.75f;
  v.heading = 87.5f;
  v.charVel[0] = 1.5f;
  v.charVel[1] = -0.25f;
  v.charVel[2] = 0.0f;
  v.charCondition = 200;
  v.footValue = 5;
  // Away from the recorded spot: the rewind frame pulls the character.
  v.distance = 2.0f;
  if (scene == Scene::kVehicle) {
    v.inVehicle = 1;
    v.vehicle = 42;
    v.vehPos[0] = 1530.0f;
    v.vehPos[1] = -800.0f;
    v.vehPos[2] = 35.0f;
    v.vehRot[0] = 0.0f;
    v.vehRot[1] = 0.0f;
    v.vehRot[2] = 0.38f;
    v.vehRot[3] = 0.92f;
    v.vehVel[0] = 12.0f;
    v.vehVel[1] = 3.0f;
    v.vehCondition = 950;
    v.model = 7;
    v.extentB[0] = 2.0f;
    v.extentB[1] = 4.5f;
    v.extentB[2] = 1.0f;
    // Another vehicle stands near the recorded spot: push mode pushes it.
    v.nearVehicle = 43;
    v.distance = 3.0f;
  }
}

// The module writes its log beside "its file", which the stand-in puts in
// the current directory: a folder of the bench's own, not the caller's (who
// may have named files relative to theirs). Once open, the file is written
// wherever the current directory is.
std::filesystem::path logFolder;

void OpenLogInOwnFolder() {
  std::error_code error;
  const std::filesystem::path caller = std::filesystem::current_path(error);
  std::filesystem::current_path(logFolder, error);
  OpenSupportLog();
  std::filesystem::current_path(caller, error);
}

// Fresh module, first frame and the stamp frames behind it, then recording
// until the store is full at `recSize` (recSize + 1 samples). Preparing a
// million samples takes a while under emulation, so a scene is kept from one
// run of a benchmark to the next and only rebuilt when it changes.
// What a benchmark turns on beyond the plain module.
enum Aids : unsigned {
  kNone = 0,
  // A pad is plugged in and its triggers rest just above zero: every frame
  // asks it and tests its chord and triggers.
  kPad = 1,
  // The seconds label, as the shipped settings have it: every frame reads
  // the performance counter (16.667 ms a frame here) and a recorded frame
  // keeps its length; a rewind frame draws the label.
  kSeconds = 2,
  // Rewinding, scrubbed to the oldest sample first, so that the label sums
  // the whole history: a rewind frame must cost the same there as anywhere.
  kAtOldest = 4,
  // The history in seconds at its longest (RecSeconds=600) instead of
  // recSize: the clock runs, every sample keeps its frame's length, and the
  // store is full once it holds ten minutes of 16.667 ms frames, about
  // 36,000 samples.
  kRecSeconds = 8,
  // The support log, as the shipped settings have it: created with its
  // header after the first frame, in the bench's own folder.
  kLog = 16,
};

constexpr uint32_t kLongestRecSeconds = 600;
// Ten minutes of frames at 60 a second, and a little beyond so that every
// frame trims.
constexpr uint32_t kTenMinutesOfFrames = kLongestRecSeconds * 60;

struct Prepared {
  Scene scene;
  uint32_t recSize;
  bool rewinding;
  unsigned aids;
};
std::unique_ptr<Prepared> prepared;

void Prepare(Scene scene, uint32_t recSize, bool rewinding, unsigned aids = kNone) {
  if (prepared && prepared->scene == scene && prepared->recSize == recSize &&
      prepared->rewinding == rewinding && prepared->aids == aids) {
    return;
  }
  ResetModuleState();
  SetScene(scene);
  game->values.padConnected = (aids & kPad) != 0;
  game->values.pad.wButtons = 4096;
  game->values.pad.bLeftTrigger = 3;
  RunFrame();
  rewindState.recSize = recSize;
  rewindState.padEnabled = (aids & kPad) != 0 ? 1 : 0;
  if ((aids & kLog) != 0) {
    rewindState.logEnabled = 1;
    OpenLogInOwnFolder();
  }
  if ((aids & (kSeconds | kRecSeconds)) != 0) {
    // As if the settings had turned it on: the clock started, and the first
    // frame's sample, taken without its length, dropped.
    if ((aids & kSeconds) != 0) rewindState.secondsEnabled = 1;
    if ((aids & kRecSeconds) != 0) rewindState.recSeconds = kLongestRecSeconds;
    StartFrameClock();
    historySet = HistorySet{};
  }
  while (rewindState.frameCount < 100) RunFrame();
  // Full, and a little beyond so that every frame trims.
  const uint32_t length = (aids & kRecSeconds) != 0 ? kTenMinutesOfFrames : recSize;
  const uint64_t frames = static_cast<uint64_t>(length) + 1 + 1000;
  for (uint64_t i = 0; i < frames; ++i) RunFrame();
  if (rewinding) {
    game->values.pressed[118] = true;
    RunFrame();
  }
  if (rewinding && (aids & kAtOldest) != 0) {
    // One step past the oldest sample, then no key held.
    GameValues& v = game->values;
    const uint32_t scrubStep = v.scrubStep;
    v.scrubStep = 0xFFFFFFFFu;
    v.held[rewindState.olderKey] = true;
    RunFrame();
    v.held[rewindState.olderKey] = false;
    v.scrubStep = scrubStep;
  }
  prepared = std::make_unique<Prepared>(Prepared{scene, recSize, rewinding, aids});
}

void RunFrames(benchmark::State& state) {
  const uint64_t callsBefore = game->nativeCalls;
  for (auto _ : state) RunFrame();
  state.counters["natives_per_frame"] = static_cast<double>(game->nativeCalls - callsBefore) /
                                        static_cast<double>(state.iterations());
}

void BM_RecordFootFrame(benchmark::State& state) {
  const auto recSize = static_cast<uint32_t>(state.range(0));
  Prepare(Scene::kFoot, recSize, false);
  RunFrames(state);
  if (rewindState.rewinding != 0) state.SkipWithError("left recording");
  const uint32_t count = historySet.posX.SampleCount();
  state.counters["samples"] = count;
  state.counters["history_bytes_per_frame"] =
      static_cast<double>(HistoryMemory::bytesInUse) / static_cast<double>(count);
}

void BM_RecordFootFramePadOn(benchmark::State& state) {
  Prepare(Scene::kFoot, 2000, false, kPad);
  RunFrames(state);
  if (rewindState.rewinding != 0) state.SkipWithError("left recording");
}

// With the seconds label on; at recSize 1,000,000 also the histories' memory
// with the eighteenth, the frame lengths, beside the seventeen.
void BM_RecordFootFrameSecondsOn(benchmark::State& state) {
  const auto recSize = static_cast<uint32_t>(state.range(0));
  Prepare(Scene::kFoot, recSize, false, kSeconds);
  RunFrames(state);
  if (rewindState.rewinding != 0) state.SkipWithError("left recording");
  const uint32_t count = historySet.posX.SampleCount();
  // 16.667 ms frames count 16 or 17 ms, adding up to the time that passed.
  const uint16_t newest = historySet.frameMsHist[0];
  if (historySet.frameMsHist.SampleCount() != count || newest < 16 || newest > 17) {
    state.SkipWithError("the frame lengths are not kept beside the samples");
  }
  state.counters["samples"] = count;
  state.counters["history_bytes_per_frame"] =
      static_cast<double>(HistoryMemory::bytesInUse) / static_cast<double>(count);
}

// Ten minutes of history at 60 frames a second: each frame pushes one sample
// and trims one, found by the running sum of the lengths, not by a count.
void BM_RecordFootFrameRecSeconds(benchmark::State& state) {
  Prepare(Scene::kFoot, 0, false, kRecSeconds);
  RunFrames(state);
  const uint32_t count = historySet.posX.SampleCount();
  const uint64_t limit = uint64_t{kLongestRecSeconds} * 1000u;
  if (rewindState.rewinding != 0 || count < kTenMinutesOfFrames - 2 ||
      historySet.frameMsTotal > limit || historySet.frameMsTotal + 17 < limit) {
    state.SkipWithError("the history does not hold ten minutes of frames");
  }
  state.counters["samples"] = count;
  state.counters["history_bytes_per_frame"] =
      static_cast<double>(HistoryMemory::bytesInUse) / static_cast<double>(count);
}

// The frame after a one-second pause, ten minutes of 16.667 ms frames held:
// it keeps a second's length, so about sixty of the oldest samples go in
// that one frame. Each timed frame follows the same pause, and its trim
// reaches only 16.667 ms samples as long as the pauses' own samples stay
// clear of the oldest end, which these iterations leave them; the history
// is made anew for each repetition.
constexpr int kPauseFrames = 500;

void BM_RecordFootFrameAfterPause(benchmark::State& state) {
  prepared.reset();
  Prepare(Scene::kFoot, 0, false, kRecSeconds);
  // The counter moves a second after each reading from now on: this frame
  // is the last of 16.667 ms, every later one comes after a pause.
  game->values.counterStep = 1000000;
  RunFrame();
  const uint32_t before = historySet.posX.SampleCount();
  RunFrames(state);
  const uint32_t after = historySet.posX.SampleCount();
  const double frames = static_cast<double>(state.iterations());
  state.counters["trimmed_per_frame"] =
      (static_cast<double>(before) + frames - static_cast<double>(after)) / frames;
  if (rewindState.rewinding != 0 || rewindState.frameMs != 1000 ||
      historySet.frameMsHist.Oldest() > 17 ||
      historySet.frameMsTotal > uint64_t{kLongestRecSeconds} * 1000u) {
    state.SkipWithError("not one-second frames trimming 16.667 ms samples");
  }
  // The history is spent: the next benchmark prepares its own.
  prepared.reset();
}

void BM_RecordVehicleFrame(benchmark::State& state) {
  Prepare(Scene::kVehicle, 2000, false);
  RunFrames(state);
}

void BM_RewindFootFrame(benchmark::State& state) {
  Prepare(Scene::kFoot, 2000, true);
  RunFrames(state);
  if (rewindState.rewinding != 1) state.SkipWithError("left rewind mode");
}

// The label drawn every frame at the oldest of 1,000,001 samples: its sum
// covers the whole history.
void BM_RewindFootFrameSecondsOnAtOldest(benchmark::State& state) {
  Prepare(Scene::kFoot, 1000000, true, kSeconds | kAtOldest);
  RunFrames(state);
  const RewindState& s = rewindState;
  if (s.rewinding != 1 || s.playIndex != s.playLength - 1 ||
      s.scrubBackMs != historySet.frameMsTotal - historySet.frameMsHist.Oldest()) {
    state.SkipWithError("not rewinding at the oldest sample with the label's sum");
  }
}

void BM_RewindVehiclePushFrame(benchmark::State& state) {
  Prepare(Scene::kVehicle, 2000, true);
  RunFrames(state);
  if (rewindState.rewinding != 1 || rewindState.pushMode != 1) {
    state.SkipWithError("not rewinding in push mode");
  }
}

// The support log on: a recorded frame does no file work, so it should cost
// what it costs with the log off.
void BM_RecordFootFrameLogOn(benchmark::State& state) {
  Prepare(Scene::kFoot, 2000, false, kLog);
  const uint32_t bytes = rewindState.logBytes;
  RunFrames(state);
  if (rewindState.rewinding != 0 || rewindState.logFile == nullptr ||
      rewindState.logBytes != bytes) {
    state.SkipWithError("not recording with the log open and untouched");
  }
}

// A rewind entered and left again at once, the two frames timed together,
// with the seconds label on as shipped; with the log on each writes its
// line (the entry's seconds from the running sum of the kept lengths).
// Arguments: recSize, and the log off (0) or on (1). The log is started
// afresh, untimed, before it would reach its cap.
void BM_RewindEntryAndLeave(benchmark::State& state) {
  const auto recSize = static_cast<uint32_t>(state.range(0));
  const bool log = state.range(1) != 0;
  Prepare(Scene::kFoot, recSize, false, kSeconds | (log ? kLog : kNone));
  RewindState& s = rewindState;
  const uint32_t samples = historySet.posX.SampleCount();
  uint64_t entries = 0;
  for (auto _ : state) {
    game->values.pressed[118] = true;
    RunFrame();
    entries += s.rewinding;
    game->values.pressed[118] = true;
    RunFrame();
    if (log && s.logBytes > 1048576 - 4096) {
      state.PauseTiming();
      CloseSupportLog();
      s.logBytes = 0;
      s.logEnded = 0;
      OpenLogInOwnFolder();
      state.ResumeTiming();
    }
  }
  if (entries != static_cast<uint64_t>(state.iterations()) || s.rewinding != 0 ||
      historySet.posX.SampleCount() != samples || (log && (s.logFile == nullptr || s.logEnded))) {
    state.SkipWithError("not one entry and one leave an iteration, each logged with the log on");
  }
  state.counters["samples"] = samples;
}

// A rewind frame in which the mark key is pressed, the seconds label on:
// with 16 marks spread over the history it jumps to the next (round and
// round) and draws 16 ticks; with none the press does nothing. Arguments:
// recSize, and the marks kept. Finding the next mark, setting the label's
// sum and drawing the ticks cost in the marks, not in the samples, so the
// frame costs the same with a million samples as with sixteen (the fewest
// that hold sixteen marks, one a sample).
constexpr int kMarkKey = 119;

void BM_RewindFrameMarkPressed(benchmark::State& state) {
  const auto recSize = static_cast<uint32_t>(state.range(0));
  const auto marks = static_cast<int>(state.range(1));
  Prepare(Scene::kFoot, recSize, true, kSeconds);
  RewindState& s = rewindState;
  const HistorySet& h = historySet;
  const uint32_t count = h.posX.SampleCount();
  // The marks, oldest first, spread from the oldest sample to the newest,
  // each with the running total its sample's push left: set here, untimed,
  // as recording frames with the key pressed would have set them.
  s.markKey = kMarkKey;
  s.markCount = 0;
  uint64_t newerMs = 0;  // the lengths of the samples newer than index i
  uint32_t i = 0;
  for (int m = marks - 1; m >= 0; --m) {
    const uint32_t index = static_cast<uint32_t>(uint64_t{count - 1} * static_cast<uint32_t>(m) /
                                                 static_cast<uint32_t>(kMostMarks - 1));
    for (; i < index; ++i) newerMs += h.frameMsHist[i];
    s.marks[s.markCount++] = {h.samplesPushed - index, h.frameMsPushed - newerMs};
  }
  const uint64_t callsBefore = game->nativeCalls;
  for (auto _ : state) {
    game->values.pressed[kMarkKey] = true;
    RunFrame();
  }
  state.counters["natives_per_frame"] = static_cast<double>(game->nativeCalls - callsBefore) /
                                        static_cast<double>(state.iterations());
  state.counters["samples"] = count;
  // The last jump landed on a mark, with the label's sum of the lengths
  // newer than it; without marks the press moved nothing.
  bool onAMark = marks == 0 && s.playIndex == 0 && s.scrubBackMs == 0;
  for (int m = 0; m < s.markCount; ++m) {
    const Mark& mark = s.marks[m];
    onAMark = onAMark || (h.samplesPushed - mark.serial == static_cast<uint64_t>(s.playIndex) &&
                          s.scrubBackMs == h.frameMsPushed - mark.msPushed);
  }
  if (s.rewinding != 1 || s.markCount != marks || !onAMark) {
    state.SkipWithError("not rewinding onto the marks");
  }
  // Back to the prepared rewind, which kept no marks.
  s.markKey = 0;
  s.markCount = 0;
  s.playIndex = 0;
  s.scrubBackMs = 0;
}

constexpr int kRepetitions = 5;

BENCHMARK(BM_RecordFootFrame)
    ->Arg(2000)
    ->Arg(1000000)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kNanosecond);
BENCHMARK(BM_RecordFootFramePadOn)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_RecordFootFrameSecondsOn)
    ->Arg(2000)
    ->Arg(1000000)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RecordFootFrameRecSeconds)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_RecordFootFrameAfterPause)
    ->Iterations(kPauseFrames)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RecordVehicleFrame)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_RewindFootFrame)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_RewindFootFrameSecondsOnAtOldest)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RewindVehiclePushFrame)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_RecordFootFrameLogOn)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_RewindEntryAndLeave)
    ->Args({2000, 0})
    ->Args({2000, 1})
    ->Args({10, 1})
    ->Args({1000000, 1})
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RewindFrameMarkPressed)
    ->Args({2000, 0})
    ->Args({2000, 16})
    ->Args({15, 16})
    ->Args({1000000, 16})
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::error_code error;
  logFolder =
      std::filesystem::temp_directory_path(error) / ("quorvat-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(logFolder, error);
  GameDouble theGame;
  game = &theGame;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CloseSupportLog();
  game = nullptr;
  std::filesystem::remove_all(logFolder, error);
  return 0;
}
