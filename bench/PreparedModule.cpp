#include "PreparedModule.h"

#include <unistd.h>

#include <string>
#include <system_error>

#include "log/SupportLog.h"
#include "record/FrameClock.h"

GameDouble* game = nullptr;

namespace {

std::filesystem::path logFolder;

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

// Eight vehicles, all answering the same place, about 7 m from the
// character: well within every distance the module keeps one at.
void PlaceVehiclesAround() {
  GameValues& v = game->values;
  v.nearVehicle = 100;
  v.nearVehicles = 8;
  v.vehPos[0] = v.charPos[0] + 6.0f;
  v.vehPos[1] = v.charPos[1] + 4.0f;
  v.vehPos[2] = v.charPos[2];
  v.vehVel[0] = 4.0f;
  v.vehVel[1] = -2.0f;
  v.vehCondition = 900;
}

}  // namespace

void MakeLogFolder() {
  std::error_code error;
  logFolder =
      std::filesystem::temp_directory_path(error) / ("quorvat-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(logFolder, error);
}

void RemoveLogFolder() {
  CloseSupportLog();
  std::error_code error;
  std::filesystem::remove_all(logFolder, error);
}

void OpenLogInOwnFolder() {
  std::error_code error;
  const std::filesystem::path caller = std::filesystem::current_path(error);
  std::filesystem::current_path(logFolder, error);
  OpenSupportLog();
  std::filesystem::current_path(caller, error);
}

void RestartLog() {
  CloseSupportLog();
  rewindState.logBytes = 0;
  rewindState.logEnded = 0;
  OpenLogInOwnFolder();
}

uint8_t VehicleSlots(unsigned aids) {
  if ((aids & kEightVehicles) != 0) return 8;
  return (aids & kFourVehicles) != 0 ? 4 : 0;
}

bool AllSlotsFollowed() {
  const RewindState& s = rewindState;
  const WorldPartHistory& parts = historySet.worldParts;
  if (s.vehicleCount == 0 || parts.Slots() != s.vehicleCount || parts.SampleCount() == 0 ||
      parts.SampleCount() != historySet.posX.SampleCount()) {
    return false;
  }
  for (uint32_t slot = 0; slot < s.vehicleCount; ++slot) {
    if (s.vehicleSlots[slot] == 0 || parts.Handle(0, slot) == 0) return false;
  }
  return true;
}

void PrepareModule(Scene scene, uint32_t recSize, bool rewinding, unsigned aids) {
  ResetModuleState();
  SetScene(scene);
  if (VehicleSlots(aids) != 0) PlaceVehiclesAround();
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
  if (VehicleSlots(aids) != 0) {
    // As if the settings had asked for them: the first frame's sample,
    // taken without a world part, dropped, and every later one with one.
    rewindState.vehicleCount = VehicleSlots(aids);
    historySet = HistorySet{};
    historySet.worldParts.SetSlots(rewindState.vehicleCount);
  }
  while (rewindState.frameCount < 100) RunFrame();
  // Full, and a little beyond so that every frame trims.
  const uint32_t length = (aids & kRecSeconds) != 0 ? kTenMinutesOfFrames : recSize;
  const uint64_t frames = static_cast<uint64_t>(length) + 1 + 1000;
  for (uint64_t i = 0; i < frames; ++i) RunFrame();
  if (rewinding) {
    game->values.pressed[kToggleKey] = true;
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
}

void SpreadMarks(int marks) {
  RewindState& s = rewindState;
  const HistorySet& h = historySet;
  const uint32_t count = h.posX.SampleCount();
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
}

bool LandedOnAMark() {
  const RewindState& s = rewindState;
  const HistorySet& h = historySet;
  bool onAMark = s.markCount == 0 && s.playIndex == 0 && s.scrubBackMs == 0;
  for (int m = 0; m < s.markCount; ++m) {
    const Mark& mark = s.marks[m];
    onAMark = onAMark || (h.samplesPushed - mark.serial == static_cast<uint64_t>(s.playIndex) &&
                          s.scrubBackMs == h.frameMsPushed - mark.msPushed);
  }
  return onAMark;
}

void ClearMarks() {
  RewindState& s = rewindState;
  s.markKey = 0;
  s.markCount = 0;
  s.playIndex = 0;
  s.scrubBackMs = 0;
}
