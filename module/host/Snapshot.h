// The module's state as the harness reports it in a trace's end line: the
// one window into the module that the harness has besides the host
// interface. The module exports QuorvatReadSnapshot under that plain name.
//
// Fields carry the state record's names; `sampleCount` is the common number
// of samples in the histories (the posX count should they ever disagree),
// `historyCounts` each history's count in the order posX, posY, posZ, velX,
// velY, velZ, rotX, rotY, rotZ, rotW, inVehicleFlag, bodyModeFlag,
// conditionHist, playerValueHist, charValueHist, vehicleHist, footValueHist,
// and `historyBytes` the heap memory the histories hold.
//
// The pad fields come last and no trace prints them (a trace shows the pad
// through its XInputGetState lines): `padEnabled` is the [Pad] Enable
// setting as read (0 or 1), `padButtons`, `padLeftTrigger` and
// `padRightTrigger` the pad state of the latest poll, all 0 when the pad
// could not be read.
//
// After them, and in no trace either: `secondsEnabled`, the [Overlay]
// Seconds setting as read (0 or 1), and `frameMsCount`, the count of the
// frame lengths kept beside the seventeen histories for the seconds label
// and the history in seconds (equal to theirs while the frame clock runs, 0
// otherwise); then `holdEnabled`, the [Keys] Hold setting as read (0 or 1),
// `recSeconds`, the [Settings] RecSeconds setting as the module keeps it
// (0 ... 600), and `frameMsTotal`, the running sum of the kept frame lengths
// in milliseconds (at an offset of 160 bytes, a multiple of eight, so that
// every compiler lays it out alike).
//
// Then, and in no trace: `markCount`, the marks kept (0 ... 16), and
// `markIndexes`, the index of each kept mark's sample, oldest mark first
// (the rest 0).
//
// Last, and in no trace either, the vehicles around the player:
// `vehicleCount`, the [World] Vehicles setting in force (0: off, else the
// slots followed, 1 ... 8); `vehicleSlots`, each slot's vehicle handle (0:
// empty; those from vehicleCount on always 0); `probeTurn`, the probe's next
// turn (0 ... 16); and `worldPartCount`, the samples of the vehicles'
// history (equal to sampleCount while they are followed, 0 otherwise).
//
// After them, and in no trace: `newestWorldPart`, the newest sample's world
// part as it is kept, 12 words a slot in slot order (the handle, the
// position, the quaternion and the velocity as float bits, the condition),
// the words past its vehicleCount slots, or all of them with no world part
// kept, 0. One sample only: a frame's checks read what that frame recorded
// without walking the history.
#pragma once

#include <cstdint>

struct QuorvatSnapshot {
  int32_t rewinding;
  int32_t playIndex;
  int32_t playLength;
  float timeScaleRamp;
  float letterboxHeight;
  int32_t settleFrames;
  int32_t cursorIdleFrames;
  int32_t frameCount;
  uint32_t recSize;
  int32_t pushMode;
  int32_t enableKey;
  uint32_t charValue;
  float buildStamp;
  uint32_t sampleCount;
  uint32_t historyCounts[17];
  uint32_t historyBytes;
  int32_t padEnabled;
  uint32_t padButtons;
  uint32_t padLeftTrigger;
  uint32_t padRightTrigger;
  int32_t secondsEnabled;
  uint32_t frameMsCount;
  int32_t holdEnabled;
  uint32_t recSeconds;
  uint64_t frameMsTotal;
  uint32_t markCount;
  int32_t markIndexes[16];
  // Ends on a multiple of eight, as it must: 32-bit Linux compilers align a
  // 64-bit member to four and would end a shorter record short.
  uint32_t vehicleCount;
  int32_t vehicleSlots[8];
  uint32_t probeTurn;
  uint32_t worldPartCount;
  uint32_t newestWorldPart[96];
};
static_assert(sizeof(QuorvatSnapshot) == 664, "the harness and the module share this layout");

#define QUORVAT_SNAPSHOT_SYMBOL "QuorvatReadSnapshot"
extern "C" {
typedef void (*QuorvatReadSnapshotFn)(QuorvatSnapshot* out);
}
