#include "record/RecordFrame.h"

#include <new>

#include "host/Natives.h"
#include "log/SupportLog.h"
#include "rewind/Toggle.h"
#include "state/History.h"
#include "state/RewindState.h"
#include "state/Samples.h"
#include "world/FollowVehicles.h"

namespace {

// Adds 1.0 back onto a stored z - 1.0, rounding through the stored value.
float RaiseByOne(float z) {
  return static_cast<float>(static_cast<double>(z) + 1.0);
}

void RecordOnFoot() {
  RewindState& s = rewindState;
  HistorySet& h = historySet;
  const int32_t character = s.playerChar;
  Vector4& cur = s.cur;

  ReadCharacterPosition(character, &cur.x, &cur.y, &cur.z);
  h.posX.PushFront(cur.x);
  h.posY.PushFront(cur.y);
  h.posZ.PushFront(static_cast<float>(static_cast<double>(cur.z) - 1.0));

  ReadCharacterFacing(character, &cur.x);
  h.rotX.PushFront(cur.x);
  h.rotY.PushFront(0.0f);
  h.rotZ.PushFront(0.0f);
  h.rotW.PushFront(0.0f);

  ReadCharacterSpeedVector(character, &cur.x, &cur.y, &cur.z);
  h.velX.PushFront(cur.x);
  h.velY.PushFront(cur.y);
  h.velZ.PushFront(cur.z);

  h.inVehicleFlag.PushFront(0.0f);
  h.vehicleHist.PushFront(0);

  ReadCharacterCondition(character, &s.conditionValue);
  h.conditionHist.PushFront(UnsignedSample(s.conditionValue));

  ReadCharacterSelection(character, &s.footValue);
  h.footValueHist.PushFront(s.footValue);

  if (QueryCharacterBodyMode(character)) {
    h.bodyModeFlag.PushFront(1.0f);
    h.posZ.Newest() = RaiseByOne(h.posZ.Newest());
  } else {
    h.bodyModeFlag.PushFront(0.0f);
  }
}

void RecordInVehicle() {
  RewindState& s = rewindState;
  HistorySet& h = historySet;
  Vector4& cur = s.cur;

  ReadCharacterVehicle(s.playerChar, &s.vehicle);
  const int32_t vehicle = s.vehicle;

  ReadVehiclePosition(vehicle, &cur.x, &cur.y, &cur.z);
  h.posX.PushFront(cur.x);
  h.posY.PushFront(cur.y);
  h.posZ.PushFront(cur.z);

  ReadVehicleRotation(vehicle, &cur.x, &cur.y, &cur.z, &cur.w);
  h.rotX.PushFront(cur.x);
  h.rotY.PushFront(cur.y);
  h.rotZ.PushFront(cur.z);
  h.rotW.PushFront(cur.w);

  ReadVehicleSpeedVector(vehicle, &s.vehVel);
  h.velX.PushFront(s.vehVel.x);
  h.velY.PushFront(s.vehVel.y);
  h.velZ.PushFront(s.vehVel.z);

  h.inVehicleFlag.PushFront(1.0f);
  h.bodyModeFlag.PushFront(0.0f);
  h.vehicleHist.PushFront(vehicle);
  h.footValueHist.PushFront(0);

  ReadVehicleCondition(vehicle, &s.conditionValue);
  h.conditionHist.PushFront(UnsignedSample(s.conditionValue));
}

void RecordSample(int32_t playerId) {
  RewindState& s = rewindState;
  HistorySet& h = historySet;

  ReadPlayerValue(playerId, &s.playerValue);
  h.playerValueHist.PushFront(UnsignedSample(s.playerValue));
  h.charValueHist.PushFront(UnsignedSample(QueryCharacterValue(s.playerChar)));

  const bool vehicleFrame = IsCharacterInVehicle(s.playerChar);
  if (vehicleFrame) {
    RecordInVehicle();
  } else {
    RecordOnFoot();
  }
  if (FrameClockOn(s)) h.frameMsHist.PushFront(s.frameMs);
  // The world part is the sample's last push: once it is in, the whole
  // sample is, and its length counts.
  if (VehiclesOn(s)) FollowVehicles(vehicleFrame);
  if (FrameClockOn(s)) {
    h.frameMsTotal += s.frameMs;
    h.frameMsPushed += s.frameMs;
  }
  h.samplesPushed += 1;
}

// Takes back the pushes of a frame whose sample could not be stored whole,
// so that every history keeps the same count and index i keeps naming the
// same recorded frame in each.
void DropPartialSample(uint32_t countBefore) {
  HistorySet& h = historySet;
  auto undo = [countBefore](auto& history) {
    if (history.SampleCount() > countBefore) history.PopNewest();
  };
  undo(h.posX);
  undo(h.posY);
  undo(h.posZ);
  undo(h.velX);
  undo(h.velY);
  undo(h.velZ);
  undo(h.rotX);
  undo(h.rotY);
  undo(h.rotZ);
  undo(h.rotW);
  undo(h.inVehicleFlag);
  undo(h.bodyModeFlag);
  undo(h.conditionHist);
  undo(h.playerValueHist);
  undo(h.charValueHist);
  undo(h.vehicleHist);
  undo(h.footValueHist);
  undo(h.frameMsHist);
  undo(h.worldParts);
}

// Drops the oldest samples once the store is over its length. With the
// history in seconds on, that is the seconds' worth of milliseconds, and as
// many samples at the most, so that a clock that reads 0 every frame can't
// grow it without end; it always keeps the newest sample. Otherwise the
// oldest sample goes once the store held more than recSize before this
// frame's.
void TrimToLength(uint32_t countBefore) {
  const RewindState& s = rewindState;
  const HistorySet& h = historySet;
  if (s.recSeconds == 0) {
    if (countBefore > s.recSize) TrimHistories();
    return;
  }
  const uint64_t limit = static_cast<uint64_t>(s.recSeconds) * 1000u;
  while (h.posX.SampleCount() > 1 && (h.posX.SampleCount() > limit || h.frameMsTotal > limit)) {
    TrimHistories();
  }
}

}  // namespace

bool RecordFrame(int32_t playerId) {
  // Frames whose step the game reports as 2 or less are not recorded, and the
  // ramp and the fade hold still through them.
  if (QueryFrameStep() <= 2) return false;
  CueNormalPlay();

  // The trim comes after the new sample is in, not before, so that a frame
  // that runs out of memory leaves the store exactly as it found it.
  const uint32_t countBefore = historySet.posX.SampleCount();
  bool kept = true;
  try {
    RecordSample(playerId);
    TrimToLength(countBefore);
  } catch (const std::bad_alloc&) {
    // Out of memory inside someone else's game: skip this frame's sample and
    // try again next frame rather than take the game down.
    DropPartialSample(countBefore);
    if (rewindState.logEnabled != 0) LogOutOfMemory();
    kept = false;
  }

  RampTimeScale();
  return kept;
}
