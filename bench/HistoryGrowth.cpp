// Does a frame's work grow with the history? Two answers, each for a short
// and a long history of the same case:
//
//   quorvat_growth count CASE SIZE FRAMES
//     under callgrind (--instr-atstart=no): instrumentation runs only for
//     the FRAMES frames, after the history is built, so the instructions
//     callgrind counts are those frames' alone. Instruction counts don't
//     move with the machine's load, so their ratio asks only whether the
//     module does more work with more samples.
//   quorvat_growth wall CASE SMALL LARGE ROUNDS FRAMES
//     both histories built in one process and taken in turns, ROUNDS times
//     FRAMES frames each, timed by the wall clock: the least time of each
//     size. Other work on a shared machine only ever adds time, so the
//     least of interleaved rounds is what the frames themselves cost; their
//     ratio adds what the instruction count can't see, the cache misses of
//     a history far larger than the caches. Also the heap the large
//     history's histories take a sample.
//
// CASE is one of
//   record       a recording frame on foot (recSize SIZE, store full)
//   entry-leave  a rewind entered and left, the two frames as one, with the
//                seconds label and the support log on (each writes a line)
//   mark         a rewind frame with the mark key pressed, 16 marks kept
//                (a jump and 16 ticks), the seconds label on
//   vehicles-4, vehicles-8
//                a recording frame on foot following 4 or 8 vehicles, every
//                slot filled
// Prints one JSON object; exits 1 when the frames did not do what the case
// says.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "PreparedModule.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#define CALLGRIND_ZERO_STATS
#endif

namespace {

enum class Case { kRecord, kEntryLeave, kMark, kFourVehicles, kEightVehicles };

constexpr int kMarksKept = 16;
// An entry and a leave write about 130 bytes between them: the log is
// restarted between timed runs once it holds more than this, far enough
// below its 1 MiB cap for any run of a few thousand.
constexpr uint32_t kLogRestartBytes = 512 * 1024;

bool ParseCase(const char* name, Case* out) {
  if (std::strcmp(name, "record") == 0) {
    *out = Case::kRecord;
  } else if (std::strcmp(name, "entry-leave") == 0) {
    *out = Case::kEntryLeave;
  } else if (std::strcmp(name, "mark") == 0) {
    *out = Case::kMark;
  } else if (std::strcmp(name, "vehicles-4") == 0) {
    *out = Case::kFourVehicles;
  } else if (std::strcmp(name, "vehicles-8") == 0) {
    *out = Case::kEightVehicles;
  } else {
    return false;
  }
  return true;
}

void Prepare(Case c, uint32_t recSize) {
  switch (c) {
    case Case::kRecord:
      PrepareModule(Scene::kFoot, recSize, false);
      break;
    case Case::kEntryLeave:
      PrepareModule(Scene::kFoot, recSize, false, kSeconds | kLog);
      break;
    case Case::kMark:
      PrepareModule(Scene::kFoot, recSize, true, kSeconds);
      SpreadMarks(kMarksKept);
      break;
    case Case::kFourVehicles:
      PrepareModule(Scene::kFoot, recSize, false, kFourVehicles);
      break;
    case Case::kEightVehicles:
      PrepareModule(Scene::kFoot, recSize, false, kEightVehicles);
      break;
  }
}

// One frame of the case (two for an entry and its leave); returns whether
// it did what the case says, checked cheaply.
bool Step(Case c) {
  switch (c) {
    case Case::kRecord:
    case Case::kFourVehicles:
    case Case::kEightVehicles:
      RunFrame();
      return rewindState.rewinding == 0;
    case Case::kEntryLeave: {
      game->values.pressed[kToggleKey] = true;
      RunFrame();
      const bool entered = rewindState.rewinding != 0;
      game->values.pressed[kToggleKey] = true;
      RunFrame();
      return entered && rewindState.rewinding == 0;
    }
    case Case::kMark:
      game->values.pressed[kMarkKey] = true;
      RunFrame();
      return rewindState.rewinding != 0;
  }
  return false;
}

// __attribute__((noinline)) keeps the frames apart from the setup in a
// profile of the count.
__attribute__((noinline)) bool Steps(Case c, uint32_t frames) {
  bool all = true;
  for (uint32_t i = 0; i < frames; ++i) all = Step(c) && all;
  return all;
}

// The state the case leaves must be the one it started from, so that every
// frame of a run is the same work.
const char* Broken(Case c, uint32_t recSize) {
  const RewindState& s = rewindState;
  if (historySet.posX.SampleCount() != recSize + 1) return "the history is not full at recSize";
  switch (c) {
    case Case::kRecord:
      return nullptr;
    case Case::kEntryLeave:
      if (s.logFile == nullptr || s.logEnded != 0) return "the log is not written";
      return nullptr;
    case Case::kMark:
      if (s.markCount != kMarksKept || !LandedOnAMark()) return "not rewinding onto the marks";
      return nullptr;
    case Case::kFourVehicles:
    case Case::kEightVehicles:
      if (!AllSlotsFollowed()) return "not every slot follows a vehicle";
      return nullptr;
  }
  return "no such case";
}

void RestartLogIfLong(Case c) {
  if (c == Case::kEntryLeave && rewindState.logBytes > kLogRestartBytes) RestartLog();
}

int Fail(const char* what) {
  std::fprintf(stderr, "quorvat_growth: %s\n", what);
  return 1;
}

int Count(Case c, uint32_t recSize, uint32_t frames) {
  Prepare(c, recSize);
  CALLGRIND_START_INSTRUMENTATION;
  CALLGRIND_ZERO_STATS;
  const bool done = Steps(c, frames);
  CALLGRIND_STOP_INSTRUMENTATION;
  const char* broken = done ? Broken(c, recSize) : "a frame did not do what the case says";
  if (broken != nullptr) return Fail(broken);
  std::printf("{\"size\": %u, \"samples\": %u, \"frames\": %u}\n", recSize,
              historySet.posX.SampleCount(), frames);
  return 0;
}

// A prepared module put aside while the other runs.
struct KeptModule {
  RewindState state;
  HistorySet histories;
  GameValues values;
};

// Trades the live module for the kept one. The log is one open file, the
// live one, whichever history writes to it.
void Trade(KeptModule& kept) {
  const HANDLE file = rewindState.logFile;
  const uint32_t bytes = rewindState.logBytes;
  const uint8_t ended = rewindState.logEnded;
  std::swap(rewindState, kept.state);
  std::swap(historySet, kept.histories);
  std::swap(game->values, kept.values);
  rewindState.logFile = file;
  rewindState.logBytes = bytes;
  rewindState.logEnded = ended;
}

double TimedNs(Case c, uint32_t frames, bool* done) {
  RestartLogIfLong(c);
  // A few untimed frames first, so that the history just traded in has its
  // ends in the cache as a running module would.
  *done = Steps(c, frames / 10 + 1) && *done;
  const auto start = std::chrono::steady_clock::now();
  *done = Steps(c, frames) && *done;
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(end - start).count() / frames;
}

int Wall(Case c, uint32_t small, uint32_t large, uint32_t rounds, uint32_t frames) {
  auto kept = std::make_unique<KeptModule>();
  Prepare(c, small);
  const std::size_t smallBytes = HistoryMemory::bytesInUse;
  Trade(*kept);
  Prepare(c, large);
  // The histories' heap a sample takes in the large one, the small one's
  // (kept aside, still allocated) taken off.
  const double largeBytesPerSample = static_cast<double>(HistoryMemory::bytesInUse - smallBytes) /
                                     static_cast<double>(historySet.posX.SampleCount());
  // Live: the large history; kept: the small one.
  double leastSmall = 1e300;
  double leastLarge = 1e300;
  bool done = true;
  for (uint32_t r = 0; r < rounds; ++r) {
    // Each size first in every other round.
    for (int turn = 0; turn < 2; ++turn) {
      const bool largeTurn = (turn == 0) == (r % 2 == 0);
      const bool largeLive = historySet.posX.SampleCount() == large + 1;
      if (largeTurn != largeLive) Trade(*kept);
      double& least = largeTurn ? leastLarge : leastSmall;
      const double ns = TimedNs(c, frames, &done);
      if (ns < least) least = ns;
    }
  }
  const char* broken =
      done ? Broken(c, historySet.posX.SampleCount() - 1) : "a frame did not do what the case says";
  if (broken == nullptr) {
    Trade(*kept);
    broken = Broken(c, historySet.posX.SampleCount() - 1);
  }
  if (broken != nullptr) return Fail(broken);
  std::printf(
      "{\"small\": %u, \"large\": %u, \"rounds\": %u, \"frames\": %u, \"small_ns\": %.2f, "
      "\"large_ns\": %.2f, \"large_bytes_per_sample\": %.2f}\n",
      small, large, rounds, frames, leastSmall, leastLarge, largeBytesPerSample);
  return 0;
}

uint32_t Number(const char* text) {
  return static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
}

}  // namespace

int main(int argc, char** argv) {
  Case c;
  const bool count = argc == 5 && std::strcmp(argv[1], "count") == 0;
  const bool wall = argc == 7 && std::strcmp(argv[1], "wall") == 0;
  if ((!count && !wall) || !ParseCase(argv[2], &c)) {
    std::fprintf(stderr,
                 "usage: quorvat_growth count CASE SIZE FRAMES\n"
                 "       quorvat_growth wall CASE SMALL LARGE ROUNDS FRAMES\n"
                 "CASE: record, entry-leave, mark, vehicles-4 or vehicles-8\n");
    return 2;
  }
  MakeLogFolder();
  GameDouble theGame;
  game = &theGame;
  const int status =
      count ? Count(c, Number(argv[3]), Number(argv[4]))
            : Wall(c, Number(argv[3]), Number(argv[4]), Number(argv[5]), Number(argv[6]));
  RemoveLogFolder();
  game = nullptr;
  return status;
}
