// A game that answers every native from a table of plain values and does
// nothing else: no recording, no allocation, no behaviour of its own. The
// benchmarks use it with fixed values so that a frame's time is the module's
// own; the fuzz target and the soak change the values between frames.
//
// Results travel as the real host sends them: bools and integers through
// slot 0 as raw 32-bit words (so odd bool bytes reach the module), out-values
// through the slot's address, and the two vector results through the call
// record's copy-back.
#pragma once

#include <bitset>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "HostControl.h"
#include "MarkCheck.h"
#include "WinApiControl.h"
#include "host/CustomFiberThread.h"
#include "host/Snapshot.h"
#include "log/SupportLog.h"
#include "state/History.h"
#include "state/RewindState.h"

// The double and the checks are no subject of a fuzz target's coverage:
// tracing them would cost about as much as the module's own code, and steer
// the fuzzer toward the double's answers.
#if defined(__clang__)
#define GAME_DOUBLE_NOT_COVERED __attribute__((no_sanitize("coverage")))
#else
#define GAME_DOUBLE_NOT_COVERED
#endif

struct GameValues {
  // Player and frame.
  int32_t localPlayer = 0;
  int32_t playerIndex = 0;
  int32_t character = 1;
  uint32_t playerValue = 0;
  uint32_t frameStep = 16;
  uint32_t scrubStep = 100;
  uint32_t charValue = 0;

  // The character. Bool results are whole slot words: only the low byte
  // should count.
  uint32_t inVehicle = 0;
  int32_t vehicle = 0;
  float charPos[3] = {0, 0, 0};
  float heading = 0;
  float charVel[3] = {0, 0, 0};
  uint32_t charCondition = 200;
  int32_t footValue = 0;
  uint32_t bodyMode = 0;
  uint32_t boxBlocked = 0;
  float distance = 0;  // what MeasurePointDistance reports

  // Vehicles: every handle answers with the same vehicle.
  uint32_t vehicleValid = 1;
  uint32_t inThisVehicle = 1;
  float vehPos[3] = {0, 0, 0};
  float vehRot[4] = {0, 0, 0, 1};
  float vehVel[3] = {0, 0, 0};
  uint32_t vehCondition = 1000;
  int32_t model = 0;
  float extentA[3] = {0, 0, 0};
  float extentB[3] = {0, 0, 0};
  int32_t nearVehicle = 0;
  // More than one: LocateVehicleNear answers nearVehicle, nearVehicle + 1,
  // ... in turn, this many handles, as if that many stood around the point.
  uint32_t nearVehicles = 0;

  // The vehicles around the player, once `aroundOn`: handles 1 ... 8 answer
  // from their own entry (the player may sit in one), every other handle
  // from the shared values above; with `locateNearest` LocateVehicleNear
  // answers the nearest valid one within its radius (0 for none) instead
  // of nearVehicle.
  struct AroundVehicle {
    uint32_t valid = 1;
    float pos[3] = {0, 0, 0};
    float rot[4] = {0, 0, 0, 1};
    float vel[3] = {0, 0, 0};
    uint32_t condition = 1000;
  };
  bool aroundOn = false;
  bool locateNearest = false;
  AroundVehicle around[8];

  // What a misbehaving host may claim on top of the real vector results: a
  // pending count above the real one (the module must not copy past four).
  uint32_t extraPendingVectors = 0;

  // The operating system.
  std::bitset<256> held;
  std::bitset<256> pressed;  // reported once by GetAsyncKeyState, then cleared
  int32_t cursor[2] = {0, 0};
  bool cursorFails = false;
  bool hasMtime = false;
  int64_t mtime = 0;
  bool padConnected = false;
  XINPUT_GAMEPAD pad = {};
  // The performance counter: counts a second, and a counter read once a
  // frame that moves on by counterStep after each reading (wrapping, so any
  // step may be given: backwards, or a jump of 2^62). Without clockWorks
  // both functions fail and write nothing.
  bool clockWorks = true;
  int64_t clockFrequency = 1000000;
  int64_t counter = 1000000000;
  int64_t counterStep = 16667;
};

class GameDouble : public HostHandler, public WinApiHandler {
 public:
  GameValues values;
  uint64_t nativeCalls = 0;

  GameDouble() {
    HostSetHandler(this);
    WinApiSetHandler(this);
  }
  ~GameDouble() override {
    HostSetHandler(nullptr);
    WinApiSetHandler(nullptr);
  }
  GameDouble(const GameDouble&) = delete;
  GameDouble& operator=(const GameDouble&) = delete;

  void OnSetName(ScriptThread*, const char*) override {}
  void OnRegisterThread(ScriptThread*) override {}
  bool OnIsThreadAlive(ScriptThread*) override { return false; }
  bool OnWait(ScriptThread*, unsigned int) override { return true; }

  GAME_DOUBLE_NOT_COVERED void OnNative(NativeContext* c, uint32_t hash) override {
    ++nativeCalls;
    const GameValues& v = values;
    uint32_t* slot = c->argSlots;
    switch (hash) {
      case 0x1CC648EA:
        Return(c, v.localPlayer);
        break;  // QueryLocalPlayerId
      case 0x8035E327:
        Return(c, v.playerIndex);
        break;  // PlayerIndexFromId
      case 0x6B86410E:
        Out(slot[1], v.character);
        break;  // ReadPlayerCharacter
      case 0xEA6A8B1C:
        Out(slot[1], v.playerValue);
        break;  // ReadPlayerValue
      case 0x330A9C0C:
        Return(c, v.frameStep);
        break;  // QueryFrameStep
      case 0x45C8C188:
        Return(c, v.scrubStep);
        break;  // QueryScrubStep
      case 0xFF316392:
        Return(c, v.charValue);
        break;  // QueryCharacterValue
      case 0x74C3E7A5:
        Return(c, v.inVehicle);
        break;  // IsCharacterInVehicle
      case 0x73EA87E1:
        Out(slot[1], v.vehicle);
        break;  // ReadCharacterVehicle
      case 0xC5892F5F:
        Out3(slot + 1, v.charPos);
        break;  // ReadCharacterPosition
      case 0x96843575:
        Out(slot[1], v.heading);
        break;  // ReadCharacterFacing
      case 0xAFA40D33:
        Out3(slot + 1, v.charVel);
        break;  // ReadCharacterSpeedVector
      case 0xA1DFED67:
        Out(slot[1], v.charCondition);
        break;  // ReadCharacterCondition
      case 0x0C058FF9:
        Out(slot[1], v.footValue);
        break;  // ReadCharacterSelection
      case 0xC833BBE1:
        Return(c, v.bodyMode);
        break;  // QueryCharacterBodyMode
      case 0xC013972F:
        Return(c, v.boxBlocked);
        break;  // ProbeBoxBlocked
      case 0x9032AA79:
        Out(slot[6], v.distance);
        break;  // MeasurePointDistance
      case 0x8737CC23:
        Return(c, Around(slot[0]) != nullptr ? Around(slot[0])->valid : v.vehicleValid);
        break;  // IsVehicleValid
      case 0xD60A5A37:
        Return(c, v.inThisVehicle);
        break;  // IsCharacterInThisVehicle
      case 0xBFD2172A:
        Out(slot[1], v.model);
        break;          // ReadVehicleModel
      case 0x91ABB8E0:  // ReadModelExtent
        Vector(c, slot[1], v.extentA);
        Vector(c, slot[2], v.extentB);
        break;
      case 0xCBCEC322:
        if (v.aroundOn && v.locateNearest) {
          Return(c, Nearest(slot));
        } else {
          Return(c, v.nearVehicles > 1
                        ? v.nearVehicle + static_cast<int32_t>(locateTurn_++ % v.nearVehicles)
                        : v.nearVehicle);
        }
        break;          // LocateVehicleNear
      case 0x19EAD428:  // ProbeVehicleNear
        Out(slot[6], int32_t{0});
        Return(c, 0u);
        break;
      case 0x6D72044F:
        Out3(slot + 1, Around(slot[0]) != nullptr ? Around(slot[0])->pos : v.vehPos);
        break;            // ReadVehiclePosition
      case 0xD30891FA: {  // ReadVehicleRotation
        const float* rot = Around(slot[0]) != nullptr ? Around(slot[0])->rot : v.vehRot;
        Out3(slot + 1, rot);
        Out(slot[4], rot[3]);
        break;
      }
      case 0x373119B2:
        Vector(c, slot[1], Around(slot[0]) != nullptr ? Around(slot[0])->vel : v.vehVel);
        break;  // ReadVehicleSpeedVector
      case 0xBCF5C60B:
        Out(slot[1], Around(slot[0]) != nullptr ? Around(slot[0])->condition : v.vehCondition);
        break;  // ReadVehicleCondition
      default:
        break;  // natives that act on the game or draw: nothing to answer
    }
    if (v.extraPendingVectors != 0) {
      // Every target stays a valid Vector3, so only a copy past the record's
      // four entries could go wrong.
      for (int i = static_cast<int>(c->pendingVectorCount); i < 4; ++i) {
        c->vectorTargets[i] = &spare_[i];
      }
      c->pendingVectorCount += v.extraPendingVectors;
    }
  }

  GAME_DOUBLE_NOT_COVERED SHORT OnGetAsyncKeyState(int vk) override {
    if (vk < 0 || vk > 255) return 0;
    SHORT state = values.held[vk] ? static_cast<SHORT>(0x8000) : 0;
    if (values.pressed[vk]) {
      values.pressed[vk] = false;
      state = static_cast<SHORT>(state | 1);
    }
    return state;
  }
  GAME_DOUBLE_NOT_COVERED SHORT OnGetKeyState(int vk) override {
    return vk >= 0 && vk <= 255 && values.held[vk] ? static_cast<SHORT>(0x8000) : 0;
  }
  BOOL OnGetCursorPos(POINT* point) override {
    if (values.cursorFails) return FALSE;
    point->x = values.cursor[0];
    point->y = values.cursor[1];
    return TRUE;
  }
  DWORD OnXInputGetState(DWORD, XINPUT_STATE* state) override {
    if (!values.padConnected) return ERROR_DEVICE_NOT_CONNECTED;
    *state = {};
    state->Gamepad = values.pad;
    return ERROR_SUCCESS;
  }
  BOOL OnQueryPerformanceFrequency(LARGE_INTEGER* frequency) override {
    if (!values.clockWorks || frequency == nullptr) return FALSE;
    frequency->QuadPart = values.clockFrequency;
    return TRUE;
  }
  BOOL OnQueryPerformanceCounter(LARGE_INTEGER* counter) override {
    if (!values.clockWorks || counter == nullptr) return FALSE;
    counter->QuadPart = values.counter;
    values.counter = static_cast<int64_t>(static_cast<uint64_t>(values.counter) +
                                          static_cast<uint64_t>(values.counterStep));
    return TRUE;
  }
  bool OnFileModificationTime(const char*, int64_t* seconds) override {
    if (values.hasMtime) *seconds = values.mtime;
    return values.hasMtime;
  }
  void OnGetFullPathNameW(const char16_t*, DWORD) override {}
  void OnGetPrivateProfileIntW(const char16_t*, const char16_t*, INT) override {}

 private:
  GAME_DOUBLE_NOT_COVERED const GameValues::AroundVehicle* Around(uint32_t handle) const {
    if (!values.aroundOn || handle < 1 || handle > 8) return nullptr;
    return &values.around[handle - 1];
  }
  // The point and the radius in slots 0 to 3; distances as the scripted
  // world measures them, the lower handle winning a tie.
  GAME_DOUBLE_NOT_COVERED int32_t Nearest(const uint32_t* slot) const {
    float at[4];
    std::memcpy(at, slot, sizeof at);
    int32_t found = 0;
    double nearest = 0.0;
    for (int32_t handle = 1; handle <= 8; ++handle) {
      const GameValues::AroundVehicle& a = values.around[handle - 1];
      if ((a.valid & 0xFF) == 0) continue;
      double d2 = 0.0;
      for (int i = 0; i < 3; ++i) {
        const double d = static_cast<double>(a.pos[i]) - static_cast<double>(at[i]);
        d2 += d * d;
      }
      const double d = std::sqrt(d2);
      if (d <= static_cast<double>(at[3]) && (found == 0 || d < nearest)) {
        found = handle;
        nearest = d;
      }
    }
    return found;
  }

  template <typename T>
  static void Return(NativeContext* c, T value) {
    static_assert(sizeof(T) == 4, "slot 0 is one 32-bit word");
    std::memcpy(&c->argSlots[0], &value, 4);
  }
  template <typename T>
  static void Out(uint32_t address, T value) {
    std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &value, sizeof value);
  }
  static void Out3(const uint32_t* slots, const float* xyz) {
    for (int i = 0; i < 3; ++i) Out(slots[i], xyz[i]);
  }
  static void Vector(NativeContext* c, uint32_t target, const float* xyz) {
    const uint32_t i = c->pendingVectorCount++;
    c->vectorTargets[i] = reinterpret_cast<void*>(static_cast<uintptr_t>(target));
    c->vectorScratch[i] = NativeScratchVector{xyz[0], xyz[1], xyz[2], 0.0f};
  }

  Vector3 spare_[4] = {};
  uint32_t locateTurn_ = 0;
};

extern "C" void QuorvatReadSnapshot(QuorvatSnapshot* out);

// Puts the module's static state back to how a fresh load finds it.
inline void ResetModuleState() {
  CloseSupportLog();  // its descriptor, and the file's lock with it
  rewindState = RewindState{};
  historySet = HistorySet{};
  scriptThread.enableKey = 0;
  HistoryMemory::failHook = nullptr;
}

// The seventeen counts agree, and the frame lengths' count with them while
// the frame clock runs (none kept with it off); the history holds at most
// recSize + 1 samples, or with the history in seconds at most L = R x 1000
// samples and at most L milliseconds of play (unless it holds one sample);
// while rewinding, the count is playLength and playIndex names a sample.
// Returns null when all hold, else what broke. `counts` are the histories'
// sample counts after the frame, as HistoryCounts or the snapshot gives them.
GAME_DOUBLE_NOT_COVERED inline const char* BrokenInvariant(
    const uint32_t (&counts)[kHistoryCount]) {
  const RewindState& s = rewindState;
  for (uint32_t count : counts) {
    if (count != counts[0]) return "the histories hold different sample counts";
  }
  const bool clockOn = FrameClockOn(s);
  const uint32_t lengths = historySet.frameMsHist.SampleCount();
  if (lengths != (clockOn ? counts[0] : 0u)) {
    return clockOn ? "the frame lengths' count left the histories'"
                   : "frame lengths kept with the frame clock off";
  }
  if (s.recSeconds == 0) {
    const uint64_t limit = static_cast<uint64_t>(s.recSize) + 1;
    if (counts[0] > limit) return "a history holds more than recSize + 1 samples";
  } else {
    const uint64_t limit = static_cast<uint64_t>(s.recSeconds) * 1000u;
    if (counts[0] > limit) return "the history in seconds holds more than R x 1000 samples";
    if (counts[0] > 1 && historySet.frameMsTotal > limit) {
      return "the history in seconds holds more than R seconds of play";
    }
  }
  if (s.rewinding != 0) {
    if (static_cast<int64_t>(counts[0]) != s.playLength) return "the count moved while rewinding";
    if (s.playIndex < 0 || static_cast<int64_t>(s.playIndex) >= s.playLength) {
      return "playIndex is outside the history while rewinding";
    }
  }
  return nullptr;
}

GAME_DOUBLE_NOT_COVERED inline const char* BrokenInvariant() {
  uint32_t counts[kHistoryCount];
  HistoryCounts(counts);
  return BrokenInvariant(counts);
}

// The running sum of the kept frame lengths is their sum, each at most a
// second (and 0 with the clock off). Walks the whole history: on a long one,
// call it now and then; a sum once out of step stays out.
inline const char* BrokenFrameMsTotal() {
  const DurationHistory& lengths = historySet.frameMsHist;
  uint64_t sum = 0;
  for (uint32_t i = 0; i < lengths.SampleCount(); ++i) {
    if (lengths[i] > 1000) return "a frame length above a second";
    sum += lengths[i];
  }
  return sum == historySet.frameMsTotal ? nullptr
                                        : "the running sum of the frame lengths is not their sum";
}

// While rewinding with the seconds label on, the label's running sum is the
// frame lengths of samples 0 ... playIndex - 1, each at most a second.
// Walks the history: call it now and then on a long one. Returns null when
// it holds (or doesn't apply), else what broke.
inline const char* BrokenSecondsSum() {
  const RewindState& s = rewindState;
  if (s.secondsEnabled == 0 || s.rewinding == 0) return nullptr;
  const DurationHistory& lengths = historySet.frameMsHist;
  if (s.playIndex < 0 || static_cast<uint32_t>(s.playIndex) > lengths.SampleCount()) {
    return "playIndex is past the frame lengths";
  }
  uint64_t sum = 0;
  for (uint32_t i = 0; i < static_cast<uint32_t>(s.playIndex); ++i) {
    if (lengths[i] > 1000) return "a frame length above a second";
    sum += lengths[i];
  }
  return sum == s.scrubBackMs ? nullptr : "the seconds label's sum is not the scrubbed lengths'";
}

// The marks' invariants (MarkCheck.h) on the module's state now.
inline const char* BrokenMarks(bool jumpAsked) {
  QuorvatSnapshot snapshot{};
  QuorvatReadSnapshot(&snapshot);
  return BrokenMarks(snapshot, jumpAsked);
}
