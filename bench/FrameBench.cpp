// The module's cost per frame, measured through RunFrame() against a game
// that answers every native from fixed values and does nothing else, so the
// time is the module's own (plus one virtual call per native in the stand-in
// host). Also the histories' heap memory per recorded frame.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "PreparedModule.h"
#include "log/SupportLog.h"

namespace {

// Preparing a million samples takes a while under emulation, so a scene is
// kept from one run of a benchmark to the next and only rebuilt when it
// changes.
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
  PrepareModule(scene, recSize, rewinding, aids);
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
    game->values.pressed[kToggleKey] = true;
    RunFrame();
    entries += s.rewinding;
    game->values.pressed[kToggleKey] = true;
    RunFrame();
    if (log && s.logBytes > 1048576 - 4096) {
      state.PauseTiming();
      RestartLog();
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
// that hold sixteen marks, one a sample): bench/HistoryGrowth.cpp counts it.
void BM_RewindFrameMarkPressed(benchmark::State& state) {
  const auto recSize = static_cast<uint32_t>(state.range(0));
  const auto marks = static_cast<int>(state.range(1));
  Prepare(Scene::kFoot, recSize, true, kSeconds);
  const RewindState& s = rewindState;
  const uint32_t count = historySet.posX.SampleCount();
  SpreadMarks(marks);
  const uint64_t callsBefore = game->nativeCalls;
  for (auto _ : state) {
    game->values.pressed[kMarkKey] = true;
    RunFrame();
  }
  state.counters["natives_per_frame"] = static_cast<double>(game->nativeCalls - callsBefore) /
                                        static_cast<double>(state.iterations());
  state.counters["samples"] = count;
  if (s.rewinding != 1 || s.markCount != marks || !LandedOnAMark()) {
    state.SkipWithError("not rewinding onto the marks");
  }
  ClearMarks();
}

// The vehicles around the player followed in K slots, all of them filled:
// each recorded frame probes once and reads every followed vehicle, and its
// sample carries a world part of 48 bytes a slot. Arguments: K, recSize.
// (Their heap with a million samples comes from quorvat_growth, which builds
// that history anyway.)
void BM_RecordFootFrameVehicles(benchmark::State& state) {
  const auto slots = static_cast<int>(state.range(0));
  const auto recSize = static_cast<uint32_t>(state.range(1));
  Prepare(Scene::kFoot, recSize, false, slots == 8 ? kEightVehicles : kFourVehicles);
  RunFrames(state);
  if (rewindState.rewinding != 0 || !AllSlotsFollowed()) {
    state.SkipWithError("not recording with every slot following a vehicle");
  }
  const uint32_t count = historySet.posX.SampleCount();
  state.counters["samples"] = count;
  state.counters["history_bytes_per_frame"] =
      static_cast<double>(HistoryMemory::bytesInUse) / static_cast<double>(count);
}

// A rewind frame putting the K vehicles of the sample it shows back where
// they were. Argument: K.
void BM_RewindFootFrameVehicles(benchmark::State& state) {
  const auto slots = static_cast<int>(state.range(0));
  Prepare(Scene::kFoot, 2000, true, slots == 8 ? kEightVehicles : kFourVehicles);
  RunFrames(state);
  if (rewindState.rewinding != 1 || !AllSlotsFollowed()) {
    state.SkipWithError("not rewinding with every slot's vehicle recorded");
  }
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
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RewindFrameMarkPressed)
    ->Args({2000, 0})
    ->Args({2000, 16})
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RecordFootFrameVehicles)
    ->Args({4, 2000})
    ->Args({8, 2000})
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RewindFootFrameVehicles)
    ->Arg(4)
    ->Arg(8)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  MakeLogFolder();
  GameDouble theGame;
  game = &theGame;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  RemoveLogFolder();
  game = nullptr;
  return 0;
}
