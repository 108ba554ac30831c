// The module itself, in-process: the fuzz input is a stream of commands that
// change what the game answers (world values, bool words with noise in their
// upper bytes, NaN, infinities, huge and negative numbers, claims of more
// pending vector results than the record holds), press and hold keys, move
// or break the cursor, plug, unplug and work the game pad and turn it on or
// off with any chord, make the histories' allocations fail, move the
// performance counter by any step (backwards, by 2^62) or break it, and run
// frames. Before the first frame the input may give a settings file with the
// player aids: the scrub and resume keys (in and out of range), the hint and
// the seconds label, rewinding by holding the toggle key, the history in
// seconds (mostly a few seconds, else any number: 0, negative, past 600),
// and a clock of any frequency (0, negative, huge). After every frame the
// histories must agree (the frame lengths too, while the frame clock runs),
// hold at most recSize + 1 samples, or with the history in seconds at most
// R x 1000 samples and R seconds of play, and grow by at most one sample
// (shrink by at most one, but for the history in seconds), playIndex must
// name a sample while rewinding, the running sum of the kept frame lengths
// must be their sum, the label's sum that of the scrubbed frames' lengths,
// and the frame's length the millisecond marks passed between this frame's
// reading of the counter and the last one, whatever the two readings and
// the frequency. The two sums are checked every frame against the target's
// own copy of the frame lengths, which follows each push and trim, and at
// the end of the input by a walk of the whole history: a frame's checks
// cost what it changed, not the history's length, so that long inputs stay
// fast. A read outside a history stops at the standard library's bounds
// check; a write outside anything stops at the sanitizer.
//
// The vehicles around the player: the settings file follows 0 to 8 of them
// (or a count out of range), and the input makes vehicles 1 to 8 appear,
// vanish and come back, go anywhere from the player's side to past 60 m,
// read as any float, take the player in and let them out, and the probe
// answer the nearest of them. After every frame at most K slots are in use,
// no vehicle in two, one world part a sample; the newest world part holds
// only finite floats (and zeros for an empty slot); a frame that kept a
// sample moved the probe on one turn and left the slots as that part
// names them, none the vehicle the player sat in; any other frame but the
// leave changed neither the slots nor the turn.
//
// The support log: the first run of an input has it off and must create
// and write no file. An input that writes a settings file runs again with
// Log on (any value but 0), with the disk refusing a write part-way or the
// log counted as nearly full as its hash picks: every call the module makes
// of the game and of the traced Windows functions, with its arguments, and
// its state after every frame must be those of the first run; the log must
// never pass 1 MiB, get a write after a failed one, or a line after the
// line that says it is full.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "FrameLength.h"
#include "GameDouble.h"
#include "WorldCheck.h"
#include "host/Snapshot.h"

extern "C" void QuorvatReadSnapshot(QuorvatSnapshot* out);

namespace {

[[noreturn]] void Broken(int frame, const char* what) {
  std::fprintf(stderr, "module fuzz: frame %d: %s\n", frame, what);
  std::abort();
}

constexpr uint64_t kFnvBasis = 14695981039346656037u;
constexpr uint32_t kLogCap = 1048576;
const char kLogFull[] = "log full: nothing more is written\r\n";

// The target's own bookkeeping (the transcript, the copy of the frame
// lengths) is left out of the coverage: tracing its loops cost more than the
// module's frames, and its values would only steer the fuzzer toward them.
#define QUORVAT_NOT_COVERED __attribute__((no_sanitize("coverage")))

// FNV-1a over 64-bit words (the tail byte by byte), once an input: the hash
// that picks what the log's run does to the log.
uint64_t Fnv(uint64_t digest, const void* bytes, size_t count) {
  const auto* b = static_cast<const uint8_t*>(bytes);
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word;
    std::memcpy(&word, b + i, sizeof word);
    digest = (digest ^ word) * 1099511628211u;
  }
  for (; i < count; ++i) digest = (digest ^ b[i]) * 1099511628211u;
  return digest;
}

// What the log's run does to the log, picked by the input's hash, so that
// the commands read the same bytes in both runs.
struct LogPlan {
  int32_t value = 1;                                       // Log=value, never 0
  uint32_t failAt = std::numeric_limits<uint32_t>::max();  // the write that fails, from 0
  uint32_t failTake = 0;    // of which the disk takes this many, modulo its length
  bool nearlyFull = false;  // after the header, the log counts as holding all but
  uint32_t room = 0;        // this many bytes of its mebibyte
};

LogPlan PlanFrom(uint64_t hash) {
  LogPlan plan;
  plan.value = (hash & 1) != 0 ? 1 : static_cast<int32_t>(hash >> 32) | 1;
  const uint32_t k = (hash >> 8) & 63;
  if (k >= 24) plan.failAt = k - 24;  // the header's eight writes, then events
  plan.failTake = (hash >> 16) & 0xFFFF;
  plan.nearlyFull = ((hash >> 40) & 1) != 0;
  plan.room = (hash >> 44) & 511;  // a few lines
  return plan;
}

// Every call the module makes of the game and the operating system, with its
// arguments and the answer, and the module's state after each frame, as
// words: the first run of an input that gets a log run writes them down, the
// log's run must say them again word for word. Words, not a digest: writing
// and comparing them costs less than hashing, and a difference stops the
// log's run at the very call.
class Transcript {
 public:
  enum class Mode { kOff, kWrite, kCheck };

  void Start(Mode mode) {
    mode_ = mode;
    if (mode == Mode::kWrite) written_ = 0;
    read_ = 0;
  }
  // Whether the log's run said every word the first run wrote.
  bool Complete() const { return mode_ != Mode::kCheck || read_ == written_; }

  // False when the log's run says other words than the first run wrote.
  // Plain loops over a buffer of its own, bounded here, without the
  // sanitizers' checks on each word: the standard containers' code, and
  // checked loads and stores, cost more than the module's frames.
  __attribute__((no_sanitize("coverage", "address", "undefined"))) bool Words(const uint32_t* words,
                                                                              size_t count) {
    if (mode_ == Mode::kWrite) {
      if (count > room_ - written_) Grow(count);
      uint32_t* to = words_ + written_;
      for (size_t i = 0; i < count; ++i) to[i] = words[i];
      written_ += count;
    } else if (mode_ == Mode::kCheck) {
      if (count > written_ - read_) return false;
      const uint32_t* said = words_ + read_;
      for (size_t i = 0; i < count; ++i) {
        if (said[i] != words[i]) return false;
      }
      read_ += count;
    }
    return true;
  }
  // Any value as whole words, its last one filled out with zeros.
  template <typename T>
  QUORVAT_NOT_COVERED bool Value(const T& value) {
    if (mode_ == Mode::kOff) return true;
    uint32_t words[(sizeof value + 3) / 4] = {};
    std::memcpy(words, &value, sizeof value);
    return Words(words, std::size(words));
  }

 private:
  void Grow(size_t count) {
    const size_t room = 2 * (room_ + count);
    std::unique_ptr<uint32_t[]> store(new uint32_t[room]);
    std::copy(store_.get(), store_.get() + written_, store.get());
    store_ = std::move(store);
    words_ = store_.get();
    room_ = room;
  }

  Mode mode_ = Mode::kOff;
  std::unique_ptr<uint32_t[]> store_;  // kept from input to input: only grows
  uint32_t* words_ = nullptr;          // store_'s, read without a call
  size_t room_ = 0;
  size_t written_ = 0;
  size_t read_ = 0;
};

// The game and the operating system, putting every call the module makes of
// them into the transcript; in the log's run also the disk, which takes what
// the plan says.
class FuzzGame : public GameDouble {
 public:
  Transcript transcript;
  const LogPlan* plan = nullptr;  // null: the log is off
  int frame = 0;
  uint32_t filesCreated = 0;
  uint32_t writes = 0;
  bool writeFailed = false;
  uint64_t bytesTaken = 0;
  uint32_t countedAhead = 0;  // bytes the log counts beyond the file's

  template <typename T>
  QUORVAT_NOT_COVERED void Say(const T& value) {
    if (!transcript.Value(value)) Differs();
  }
  QUORVAT_NOT_COVERED void SayText(const char16_t* text) {
    for (; text != nullptr && *text != 0; ++text) Say(*text);
    Say(char16_t{0});
  }
  [[noreturn]] void Differs() const {
    Broken(frame, "with the log on the module's calls or state differ from the run without");
  }

  // The answers follow from the game's values, the same in both runs; a
  // slot past the arguments holds whatever an earlier call left there.
  QUORVAT_NOT_COVERED void OnNative(NativeContext* c, uint32_t hash) override {
    const uint32_t count = c->argCount < 17 ? c->argCount : 17;
    const uint32_t call[2] = {hash, c->argCount};
    if (!transcript.Words(call, 2) || !transcript.Words(c->argSlots, count)) Differs();
    GameDouble::OnNative(c, hash);
  }
  SHORT OnGetAsyncKeyState(int vk) override {
    return Answer('A', vk, GameDouble::OnGetAsyncKeyState(vk));
  }
  SHORT OnGetKeyState(int vk) override { return Answer('K', vk, GameDouble::OnGetKeyState(vk)); }
  BOOL OnGetCursorPos(POINT* point) override {
    const BOOL ok = GameDouble::OnGetCursorPos(point);
    Say('C');
    Say(ok);
    if (ok) Say(*point);
    return ok;
  }
  DWORD OnXInputGetState(DWORD user, XINPUT_STATE* state) override {
    return Answer('X', user, GameDouble::OnXInputGetState(user, state));
  }
  BOOL OnQueryPerformanceFrequency(LARGE_INTEGER* frequency) override {
    return Answer('F', 0, GameDouble::OnQueryPerformanceFrequency(frequency));
  }
  BOOL OnQueryPerformanceCounter(LARGE_INTEGER* counter) override {
    return Answer('Q', 0, GameDouble::OnQueryPerformanceCounter(counter));
  }
  bool OnFileModificationTime(const char* path, int64_t* seconds) override {
    return Answer('M', 0, GameDouble::OnFileModificationTime(path, seconds));
  }
  void OnGetFullPathNameW(const char16_t* name, DWORD length) override {
    Say('P');
    SayText(name);
    Say(length);
  }
  void OnGetPrivateProfileIntW(const char16_t* section, const char16_t* key, INT value) override {
    Say('I');
    SayText(section);
    SayText(key);
    Say(value);
  }

  // The settings file of the run, as the reader returns its values: made
  // once, not read from the disk and parsed anew for every key. No entry:
  // the key is not in the file (or there is no file).
  struct Setting {
    std::u16string_view section;
    std::u16string_view key;
    UINT value;
  };
  std::vector<Setting> settings;
  QUORVAT_NOT_COVERED bool OnProfileInt(const char16_t* section, const char16_t* key,
                                        INT defaultValue, UINT* value) override {
    *value = static_cast<UINT>(defaultValue);
    for (const Setting& setting : settings) {
      if (setting.section == section && setting.key == key) *value = setting.value;
    }
    return true;
  }

  void OnFileCreated(const char16_t*) override {
    if (plan == nullptr) Broken(frame, "a file created with the log off");
    if (++filesCreated > 1) Broken(frame, "a second log created");
  }
  DWORD OnWriteFile(DWORD bytes) override {
    if (plan == nullptr) Broken(frame, "a file written with the log off");
    if (writeFailed) Broken(frame, "a write after a failed write");
    DWORD taken = bytes;
    if (writes++ == plan->failAt && bytes != 0) {
      taken = plan->failTake % bytes;
      writeFailed = true;
    }
    bytesTaken += taken;
    if (bytesTaken + countedAhead > kLogCap) Broken(frame, "the log passed 1 MiB");
    return taken;
  }

 private:
  template <typename T>
  QUORVAT_NOT_COVERED T Answer(char what, uint32_t asked, T answer) {
    uint32_t words[2 + (sizeof answer + 3) / 4] = {static_cast<uint32_t>(what), asked};
    std::memcpy(words + 2, &answer, sizeof answer);
    if (!transcript.Words(words, std::size(words))) Differs();
    return answer;
  }
};

FuzzGame* game = nullptr;
// After the next passingRequests history allocations, the next
// failingRequests fail: any of a frame's pushes may be the one that fails.
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

float AnyFloat(FuzzedDataProvider& in) {
  static const float kOdd[] = {
      std::numeric_limits<float>::quiet_NaN(),
      std::numeric_limits<float>::infinity(),
      -std::numeric_limits<float>::infinity(),
      std::numeric_limits<float>::max(),
      -std::numeric_limits<float>::max(),
      std::numeric_limits<float>::denorm_min(),
      -0.0f,
      0.0f,
      1.0f,
      4294967296.0f,
      2147483648.0f,
      -2147483904.0f,
  };
  if (in.ConsumeBool()) return kOdd[in.ConsumeIntegralInRange<size_t>(0, std::size(kOdd) - 1)];
  const uint32_t bits = in.ConsumeIntegral<uint32_t>();
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

float* FloatField(GameValues& v, uint8_t which) {
  float* fields[] = {&v.charPos[0], &v.charPos[1], &v.charPos[2], &v.heading,    &v.charVel[0],
                     &v.charVel[1], &v.charVel[2], &v.distance,   &v.vehPos[0],  &v.vehPos[1],
                     &v.vehPos[2],  &v.vehRot[0],  &v.vehRot[1],  &v.vehRot[2],  &v.vehRot[3],
                     &v.vehVel[0],  &v.vehVel[1],  &v.vehVel[2],  &v.extentA[0], &v.extentB[0],
                     &v.extentB[1], &v.extentB[2]};
  return fields[which % std::size(fields)];
}

uint32_t* WordField(GameValues& v, uint8_t which) {
  uint32_t* fields[] = {
      &v.playerValue,
      &v.frameStep,
      &v.scrubStep,
      &v.charValue,
      &v.inVehicle,
      &v.charCondition,
      &v.bodyMode,
      &v.boxBlocked,
      &v.vehicleValid,
      &v.inThisVehicle,
      &v.vehCondition,
      &v.extraPendingVectors,
      reinterpret_cast<uint32_t*>(&v.localPlayer),
      reinterpret_cast<uint32_t*>(&v.playerIndex),
      reinterpret_cast<uint32_t*>(&v.character),
      reinterpret_cast<uint32_t*>(&v.vehicle),
      reinterpret_cast<uint32_t*>(&v.footValue),
      reinterpret_cast<uint32_t*>(&v.model),
      reinterpret_cast<uint32_t*>(&v.nearVehicle),
  };
  return fields[which % std::size(fields)];
}

// The settings file's mark key: any input that writes the file has marks.
constexpr int kMarkKey = 119;

int Key(FuzzedDataProvider& in) {
  const RewindState& s = rewindState;
  const int keys[] = {118,      VK_SPACE,   'Z',        'X',         VK_LEFT,
                      VK_RIGHT, s.olderKey, s.newerKey, s.resumeKey, kMarkKey};
  if (in.ConsumeBool()) {
    return keys[in.ConsumeIntegralInRange<size_t>(0, std::size(keys) - 1)] & 0xFF;
  }
  return in.ConsumeIntegral<uint8_t>();
}

// A 64-bit clock value: one of the odd ones, or any.
int64_t ClockValue(FuzzedDataProvider& in, int64_t usual) {
  static const int64_t kOdd[] = {0, -1, 1, std::numeric_limits<int64_t>::min(),
                                 std::numeric_limits<int64_t>::max(), int64_t{1} << 62,
                                 -(int64_t{1} << 62), 3579545, 10000000,
                                 // The fastest frequency the frame clock takes, and one past it.
                                 1000000000000000, 1000000000000001};
  const size_t pick = in.ConsumeIntegralInRange<size_t>(0, std::size(kOdd) + 1);
  if (pick == 0) return usual;
  if (pick <= std::size(kOdd)) return kOdd[pick - 1];
  return in.ConsumeIntegral<int64_t>();
}

// Any 32-bit value as the settings reader returns it.
UINT AnyValue(FuzzedDataProvider& in) {
  return in.ConsumeIntegral<uint32_t>();
}

// The settings file the first frame reads: the aids' five keys, Hold and
// RecSeconds with any values, or no file at all. Each value is written in
// decimal, which the reader returns as its 32 bits.
bool WriteSettings(FuzzedDataProvider& in, const LogPlan* log) {
  auto& file = game->settings;
  file.clear();
  if (!in.ConsumeBool()) return false;
  for (const char16_t* key : {u"OlderKey", u"NewerKey", u"ResumeKey"}) {
    // Mostly a byte (0 and 255 out of range), else any number.
    const UINT value =
        in.ConsumeBool() ? in.ConsumeIntegral<uint8_t>() : in.ConsumeIntegral<uint32_t>();
    file.push_back({u"Keys", key, value});
  }
  file.push_back({u"Keys", u"Hold", AnyValue(in)});
  file.push_back({u"Keys", u"MarkKey", kMarkKey});
  for (const char16_t* key : {u"Hint", u"Seconds"}) file.push_back({u"Overlay", key, AnyValue(in)});
  // Mostly a few seconds, which an input's frames fill and trim (a frame
  // of a second fills one of them at once, a thousand of 0 ms reach the
  // count cap of a one-second history); else any number.
  const UINT seconds = in.ConsumeBool()
                           ? static_cast<UINT>(in.ConsumeIntegralInRange<int32_t>(-1, 4))
                           : AnyValue(in);
  file.push_back({u"Settings", u"RecSeconds", seconds});
  // Half the files leave the vehicles around the player off; the rest
  // follow 1 to 8, or give a count the setting clamps (negative, past 8).
  static const int32_t kOddCounts[] = {-1, 9, 1000};
  const uint8_t vehicles = in.ConsumeIntegral<uint8_t>();
  UINT count = 0;
  if (vehicles >= 128) count = vehicles >= 248 ? kOddCounts[vehicles % 3] : 1 + vehicles % 8;
  file.push_back({u"World", u"Vehicles", count});
  if (log != nullptr) file.push_back({u"Settings", u"Log", static_cast<UINT>(log->value)});
  return true;
}

// The player's point as the module records it: the vehicle's while in one,
// else the character's.
const float* PlayerPoint(const GameValues& v) {
  if ((v.inVehicle & 0xFF) == 0) return v.charPos;
  if (v.vehicle >= 1 && v.vehicle <= 8) return v.around[v.vehicle - 1].pos;
  return v.vehPos;
}

// One of the vehicles around the player (handles 1 to 8, which turns them
// on in the game) appears or vanishes, goes to any distance from the player
// (inside the probes' reach, past 30 m, past 60 m), moves a little, reads
// as any float, takes the player in or lets them out, or the probe answers
// the nearest one instead of the fixed handle (or again the fixed one).
void ChangeVehicle(FuzzedDataProvider& in, GameValues& v) {
  static const float kDistances[] = {0.0f,  1.5f,  6.5f,  12.0f,  20.0f,  29.9f,
                                     30.5f, 45.0f, 59.9f, 60.25f, 100.0f, 5000.0f};
  v.aroundOn = true;
  const uint8_t pick = in.ConsumeIntegral<uint8_t>();
  const int32_t handle = 1 + pick % 8;
  GameValues::AroundVehicle& a = v.around[handle - 1];
  switch (pick / 8 % 6) {
    case 0:
      a.valid = (a.valid & 0xFF) != 0 ? 0xA5A5A500u : 1u;
      break;
    case 1: {
      const float d = kDistances[in.ConsumeIntegralInRange<size_t>(0, std::size(kDistances) - 1)];
      const float turn = static_cast<float>(in.ConsumeIntegral<uint8_t>()) * (6.2831853f / 256);
      const float* at = PlayerPoint(v);
      a.pos[0] = at[0] + d * std::cos(turn);
      a.pos[1] = at[1] + d * std::sin(turn);
      a.pos[2] = at[2];
      break;
    }
    case 2:
      for (float& x : a.pos) x += static_cast<float>(in.ConsumeIntegral<int8_t>()) / 8.0f;
      break;
    case 3: {
      float* fields[] = {&a.pos[0], &a.pos[1], &a.pos[2], &a.rot[0], &a.rot[1],
                         &a.rot[2], &a.rot[3], &a.vel[0], &a.vel[1], &a.vel[2]};
      // The field first, then its value: the order the bytes are read in.
      float* field = fields[in.ConsumeIntegralInRange<size_t>(0, std::size(fields) - 1)];
      *field = AnyFloat(in);
      break;
    }
    case 4:
      v.locateNearest = !v.locateNearest;
      break;
    default: {
      const bool inIt = (v.inVehicle & 0xFF) != 0 && v.vehicle == handle;
      v.inVehicle = inIt ? 0u : 1u;
      v.vehicle = handle;
      break;
    }
  }
}

// Past the 2,000-sample cap of a two-second history (a three-second one at
// 0 ms frames holds up to 2,499 samples), and no further: the fuzzer's time
// goes on more inputs rather than on ever longer ones. Only stretches reach
// that far: an input ends once its short runs have run 1,200 frames, past
// every count the module keeps (the settle, the cursor, the stamp) and any
// history in frames, so that many short runs cost no more than that.
constexpr int kMaxFrames = 2500;
constexpr int kMaxShortRunFrames = 1200;

// How many frames a run command runs: mostly 1 to 16; with a history of one
// to four seconds, one run in 64 is a long stretch of up to 512 to 2,048
// frames, so that a few bytes reach the long histories only such a history
// holds (with the history in frames, at most 51 samples, a stretch reaches
// nothing new). A stretch ends after a frame that neither lengthened the
// history nor moved the scrub. Every frame of it is checked like any other.
int RunLength(FuzzedDataProvider& in) {
  const uint8_t b = in.ConsumeIntegral<uint8_t>();
  const uint32_t seconds = rewindState.recSeconds;
  if (b >= 252 && seconds >= 1 && seconds <= 4) return 512 * (b - 251);
  return 1 + b % 16;  // as ConsumeIntegralInRange(1, 16) reads the byte
}

// QUORVAT_FUZZ_TRACE=1 prints what an input does, to read a finding.
const bool tracing = std::getenv("QUORVAT_FUZZ_TRACE") != nullptr;

void Trace(int frame, int command, size_t remaining) {
  if (!tracing) return;
  const RewindState& s = rewindState;
  std::fprintf(stderr,
               "frame %d command %d (%u bytes left): samples %u rewinding %d playIndex %d "
               "seconds %d recSeconds %u hold %d (%u lengths of %llu ms, %llu ms back) keys %d %d "
               "%d\n",
               frame, command, static_cast<unsigned>(remaining), historySet.posX.SampleCount(),
               s.rewinding, s.playIndex, s.secondsEnabled, s.recSeconds, s.holdEnabled,
               historySet.frameMsHist.SampleCount(),
               static_cast<unsigned long long>(historySet.frameMsTotal),
               static_cast<unsigned long long>(s.scrubBackMs), s.olderKey, s.newerKey, s.resumeKey);
  if (s.vehicleCount == 0) return;
  std::fprintf(stderr, "  vehicles: turn %d slots", s.probeTurn);
  for (int slot = 0; slot < s.vehicleCount; ++slot)
    std::fprintf(stderr, " %d", s.vehicleSlots[slot]);
  std::fprintf(stderr, "\n");
}

// The counter as the module reads it, once a frame while the frame clock
// runs, and the length it must give each frame from it.
struct ClockReadings {
  int64_t frequency = 0;
  bool hasReading = false;
  int64_t last = 0;

  // Runs one frame; false when its length is not the one due.
  bool Frame(const GameValues& v) {
    // A failed call writes nothing: the module reads its zeroed value.
    const int64_t reading = v.clockWorks ? v.counter : 0;
    RunFrame();
    if (!FrameClockOn(rewindState)) return true;
    const uint16_t due = ExpectedFrameMs(hasReading, last, reading, frequency);
    hasReading = true;
    last = reading;
    return rewindState.frameMs == due;
  }
};

// Frame lengths newest first, index 0 the newest, in a ring that never
// allocates: one is pushed a frame at most, so an input never holds more
// than its frames.
class LengthRing {
 public:
  uint32_t Size() const { return count_; }
  void PushFront(uint16_t length) {
    head_ = (head_ - 1) & kMask;
    ring_[head_] = length;
    ++count_;
  }
  uint16_t PopOldest() {
    --count_;
    return ring_[(head_ + count_) & kMask];
  }
  uint16_t operator[](uint32_t index) const { return ring_[(head_ + index) & kMask]; }

 private:
  static constexpr uint32_t kMask = 4095;
  static_assert(kMaxFrames <= kMask, "the ring holds an input's frames");
  uint16_t ring_[kMask + 1];
  uint32_t head_ = 0;
  uint32_t count_ = 0;
};

// The frame lengths as the target saw them pushed and trimmed, beside the
// module's history, and from them the two sums the module keeps running:
// the history's and, while rewinding with the label on, the scrubbed
// samples'. A frame's check costs what the frame changed.
struct LengthsCopy {
  LengthRing lengths;
  uint64_t sum = 0;
  const uint16_t* newest = nullptr;  // the module's newest length before the frame
  bool scrubbing = false;
  uint32_t scrubbed = 0;  // lengths[0 ... scrubbed - 1] are in scrubSum
  uint64_t scrubSum = 0;

  QUORVAT_NOT_COVERED void BeforeFrame() {
    DurationHistory& history = historySet.frameMsHist;
    newest = history.SampleCount() != 0 ? &history.Newest() : nullptr;
  }

  // Null when the module's history and sums are the copy's, else what broke.
  QUORVAT_NOT_COVERED const char* AfterFrame() {
    DurationHistory& history = historySet.frameMsHist;
    const uint32_t count = history.SampleCount();
    bool changed = false;
    // The deque never moves a sample it holds, and a pushed one is there
    // before any trim: a newest sample at another address is this frame's.
    // Newest() and Oldest() rather than indexes: the deque's index
    // arithmetic, traced for coverage, cost more than the check.
    if (count != 0 && &history.Newest() != newest) {
      const uint16_t pushed = history.Newest();
      if (pushed > 1000) return "a frame length above a second";
      if (pushed != rewindState.frameMs) return "the newest frame length is not the frame's";
      lengths.PushFront(pushed);
      sum += pushed;
      changed = true;
    }
    if (count > lengths.Size()) return "the frame lengths grew by more than this frame's";
    while (lengths.Size() > count) {
      sum -= lengths.PopOldest();
      changed = true;
    }
    if (count != 0 && (history.Newest() != lengths[0] || history.Oldest() != lengths[count - 1])) {
      return "the frame lengths changed other than by a push and trims";
    }
    if (sum != historySet.frameMsTotal) {
      return "the running sum of the frame lengths is not their sum";
    }
    return ScrubbedSum(changed);
  }

  QUORVAT_NOT_COVERED const char* ScrubbedSum(bool changed) {
    const RewindState& s = rewindState;
    if (s.secondsEnabled == 0 || s.rewinding == 0) {
      scrubbing = false;
      return nullptr;
    }
    if (!scrubbing || changed) {
      scrubbing = true;
      scrubbed = 0;
      scrubSum = 0;
    }
    if (s.playIndex < 0 || static_cast<uint32_t>(s.playIndex) > lengths.Size()) {
      return "playIndex is past the frame lengths";
    }
    const auto to = static_cast<uint32_t>(s.playIndex);
    while (scrubbed < to) scrubSum += lengths[scrubbed++];
    while (scrubbed > to) scrubSum -= lengths[--scrubbed];
    return scrubSum == s.scrubBackMs ? nullptr
                                     : "the seconds label's sum is not the scrubbed lengths'";
  }

  // At the end of an input: the whole history walked, against the copy too.
  const char* Walk() const {
    if (const char* broken = BrokenFrameMsTotal()) return broken;
    if (const char* broken = BrokenSecondsSum()) return broken;
    const DurationHistory& history = historySet.frameMsHist;
    if (history.SampleCount() != lengths.Size()) return "the frame lengths' copy lost count";
    for (uint32_t i = 0; i < history.SampleCount(); ++i) {
      if (history[i] != lengths[i]) return "the frame lengths differ from their copy";
    }
    return nullptr;
  }
};

// The module's state after a frame, into the transcript, with the frame's
// one read of the snapshot: what the trace's end line holds, and what the
// frame loop keeps for later frames.
QUORVAT_NOT_COVERED void FrameDone(const QuorvatSnapshot& snapshot) {
  static_assert(sizeof snapshot % 4 == 0, "the snapshot is whole words, filled out by hand");
  if (!game->transcript.Words(reinterpret_cast<const uint32_t*>(&snapshot), sizeof snapshot / 4)) {
    game->Differs();
  }
  const RewindState& s = rewindState;
  game->Say(s.scrubBackMs);
  game->Say(s.frameMs);
  game->Say(s.lastClockReading);
  game->Say(s.clockRead);
  game->Say(s.olderKey);
  game->Say(s.newerKey);
  game->Say(s.resumeKey);
  game->Say(s.hintEnabled);
  game->Say(s.padToggleButtons);
  game->Say(s.framesRun);
}

// What the log's run left: the bytes the disk took, whole lines but for one
// cut by the failed write, and nothing after the line that says it is full.
void CheckLogFile() {
  std::ifstream file("Quorvat.log", std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  const std::string log = bytes.str();
  if (game->filesCreated == 0) Broken(0, "the log on, but no log created");
  if (log.size() != game->bytesTaken) Broken(-1, "the log holds other bytes than were written");
  if (!game->writeFailed && !log.empty() && log.compare(log.size() - 2, 2, "\r\n") != 0) {
    Broken(-1, "the log's last line has no CR LF");
  }
  const size_t full = log.find(kLogFull);
  if (full != std::string::npos && full + sizeof kLogFull - 1 != log.size()) {
    Broken(-1, "a line after the log said it was full");
  }
}

// One run of the input: the log off (`plan` null), or on as `plan` says.
// Returns whether the input wrote a settings file.
bool RunInput(const uint8_t* data, size_t size, const LogPlan* plan) {
  FuzzedDataProvider in(data, size);
  GameValues& v = game->values;

  ResetModuleState();
  game->plan = plan;
  game->frame = 0;
  game->filesCreated = game->writes = 0;
  game->writeFailed = false;
  game->bytesTaken = 0;
  game->countedAhead = 0;
  passingRequests = failingRequests = 0;
  v = GameValues{};
  v.hasMtime = in.ConsumeBool();
  v.mtime = in.ConsumeIntegral<int64_t>();
  const bool settings = WriteSettings(in, plan);
  // Only an input with a settings file runs again with the log on.
  using Mode = Transcript::Mode;
  game->transcript.Start(plan != nullptr ? Mode::kCheck : settings ? Mode::kWrite : Mode::kOff);
  v.clockFrequency = ClockValue(in, 1000000);
  v.counter = in.ConsumeIntegral<int64_t>();
  ClockReadings clock;
  clock.frequency = v.clockFrequency;  // asked once, in the first frame, while the clock works
  LengthsCopy lengths;
  lengths.BeforeFrame();
  if (!clock.Frame(v)) Broken(0, "the first frame's length is not 0");  // stamp and settings
  if (const char* broken = lengths.AfterFrame()) Broken(0, broken);
  QuorvatSnapshot snapshot{};
  QuorvatReadSnapshot(&snapshot);
  FrameDone(snapshot);
  if (plan != nullptr && plan->nearlyFull && rewindState.logEnded == 0 &&
      rewindState.logBytes + plan->room < kLogCap) {
    // As if a long run of rewinds had filled it: the cap comes within the
    // frames an input runs.
    game->countedAhead = kLogCap - plan->room - rewindState.logBytes;
    rewindState.logBytes += game->countedAhead;
  }
  HistoryMemory::failHook = FailSome;
  rewindState.recSize = in.ConsumeIntegralInRange<uint32_t>(0, 50);
  static const int32_t kPushModes[] = {1, 0, 2, -1};
  rewindState.pushMode = kPushModes[in.ConsumeIntegralInRange<size_t>(0, 3)];
  if (in.ConsumeBool()) rewindState.frameCount = 100;  // past the stamp frames

  int frame = 1;
  int shortRunFrames = 0;
  while (in.remaining_bytes() > 0 && frame < kMaxFrames && shortRunFrames < kMaxShortRunFrames) {
    const int command = in.ConsumeIntegralInRange<int>(0, 11);
    Trace(frame, command, in.remaining_bytes());
    switch (command) {
      case 0: {
        // The field first, then its value: the order the bytes are read in.
        float* field = FloatField(v, in.ConsumeIntegral<uint8_t>());
        *field = AnyFloat(in);
        break;
      }
      case 1: {
        uint32_t* field = WordField(v, in.ConsumeIntegral<uint8_t>());
        *field = in.ConsumeIntegral<uint32_t>();
        break;
      }
      case 2:
        v.pressed[static_cast<size_t>(Key(in))] = true;
        break;
      case 3: {
        const size_t key = static_cast<size_t>(Key(in));
        v.held[key] = !v.held[key];
        break;
      }
      case 4:
        v.cursor[0] = in.ConsumeIntegral<int32_t>();
        v.cursor[1] = in.ConsumeIntegral<int32_t>();
        v.cursorFails = in.ConsumeBool();
        break;
      case 5:
        failingRequests = in.ConsumeIntegralInRange<uint32_t>(0, 40);
        passingRequests = in.ConsumeIntegralInRange<uint32_t>(0, 40);
        break;
      case 7:
        ChangeVehicle(in, v);
        break;
      case 8:
        v.padConnected = in.ConsumeBool();
        v.pad.wButtons = in.ConsumeIntegral<uint16_t>();
        v.pad.bLeftTrigger = in.ConsumeIntegral<uint8_t>();
        v.pad.bRightTrigger = in.ConsumeIntegral<uint8_t>();
        break;
      case 9:
        // What the settings file's [Pad] section may say, any chord included.
        rewindState.padEnabled = in.ConsumeBool() ? 1 : 0;
        rewindState.padToggleButtons = in.ConsumeIntegral<uint16_t>();
        // A mark chord that shares all but one of the toggle chord's
        // buttons, as the settings may set it (never the toggle chord).
        // Once on, marks stay on, as settings read once keep them: marks
        // turned off mid-run would leave kept marks that no trim looks after.
        if (const auto chord = static_cast<uint16_t>(rewindState.padToggleButtons ^ 0x8000u);
            rewindState.padEnabled != 0 && chord != 0) {
          rewindState.markButtons = chord;
        }
        break;
      case 10:
        v.counterStep = ClockValue(in, 16667);
        break;
      case 11:
        // The counter jumps to any value, and maybe stops answering.
        v.counter = in.ConsumeIntegral<int64_t>();
        v.clockWorks = in.ConsumeBool();
        break;
      default: {
        const int run = RunLength(in);
        bool moving = true;
        for (int i = 0; i < run && moving && frame < kMaxFrames; ++i, ++frame) {
          const uint32_t before = historySet.posX.SampleCount();
          const uint64_t pushedBefore = historySet.samplesPushed;
          const QuorvatSnapshot previous = snapshot;
          const int32_t indexBefore = rewindState.playIndex;
          game->frame = frame;
          lengths.BeforeFrame();
          const bool markPressed = rewindState.markKey != 0 && v.pressed[kMarkKey];
          if (!clock.Frame(v)) {
            Broken(frame, "a frame's length is not the millisecond marks its counter passed");
          }
          snapshot =
              QuorvatSnapshot{};  // as fresh as the first frame's: no stale bytes written down
          QuorvatReadSnapshot(&snapshot);
          if (const char* broken = BrokenInvariant(snapshot.historyCounts)) Broken(frame, broken);
          if (const char* broken = lengths.AfterFrame()) Broken(frame, broken);
          const bool jumpAsked = markPressed && !v.pressed[kMarkKey] && rewindState.rewinding != 0;
          if (const char* broken = BrokenMarks(snapshot, jumpAsked)) Broken(frame, broken);
          // A kept sample had its world step; the player sat in a vehicle as
          // the game says.
          const bool kept = historySet.samplesPushed != pushedBefore;
          const int32_t playerVehicle = (v.inVehicle & 0xFF) != 0 ? v.vehicle : 0;
          if (const char* broken = BrokenWorldFrame(previous, snapshot, kept, playerVehicle)) {
            Broken(frame, broken);
          }
          const uint32_t after = historySet.posX.SampleCount();
          // A frame after a pause trims many samples from a history in seconds.
          if (after > before + 1 || (after + 1 < before && rewindState.recSeconds == 0)) {
            Broken(frame, "the sample count changed by more than one");
          }
          FrameDone(snapshot);
          // A stretch is there to lengthen the history or to scrub far
          // through it: once a frame does neither, the rest of it would
          // only repeat that frame, which short runs reach for a byte.
          if (run <= 16) ++shortRunFrames;
          moving = run <= 16 ? shortRunFrames < kMaxShortRunFrames
                             : after != before || rewindState.playIndex != indexBefore;
        }
        break;
      }
    }
  }
  HistoryMemory::failHook = nullptr;
  if (const char* broken = lengths.Walk()) Broken(frame, broken);
  if (!game->transcript.Complete()) Broken(frame, "the log's run ended before the first run's");
  if (plan != nullptr) {
    CloseSupportLog();
    if (settings) CheckLogFile();
    std::remove("Quorvat.log");
  }
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (game == nullptr) {
    game = new FuzzGame;  // lives for the whole fuzzing run
    // A log left by an earlier process; from here on each log run removes
    // its own, so no run starts with one.
    std::remove("Quorvat.log");
  }
  if (RunInput(data, size, nullptr)) {
    const LogPlan plan = PlanFrom(Fnv(kFnvBasis, data, size));
    RunInput(data, size, &plan);
  }
  return 0;
}
