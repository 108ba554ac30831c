// The vehicles around the player as the state snapshot shows them, checked
// after a frame by the world's trace tests, the in-process soak and the
// module's fuzz target.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "host/Snapshot.h"

// At most vehicleCount (0 ... 8) slots in use, none after them, no handle in
// two slots, a probe turn of 0 ... 16, and one world part a sample while the
// vehicles are followed (none otherwise). Returns null when all hold, else
// what broke.
inline const char* BrokenWorld(const QuorvatSnapshot& snapshot) {
  if (snapshot.vehicleCount > 8) return "more than 8 vehicle slots";
  for (uint32_t i = 0; i < 8; ++i) {
    const int32_t handle = snapshot.vehicleSlots[i];
    if (handle == 0) continue;
    if (i >= snapshot.vehicleCount) return "a vehicle in a slot past the setting";
    for (uint32_t j = 0; j < i; ++j) {
      if (snapshot.vehicleSlots[j] == handle) return "a vehicle in two slots";
    }
  }
  if (snapshot.probeTurn > 16) return "a probe turn past 16";
  const uint32_t parts = snapshot.vehicleCount != 0 ? snapshot.sampleCount : 0;
  if (snapshot.worldPartCount != parts) return "world parts not one a sample";
  return nullptr;
}

// The newest world part: a slot's floats finite (an unreadable vehicle is
// let go, not recorded) and an empty slot all zeros. After a frame whose
// world step kept its sample (`stepKept`), the slots are that part's
// handles, and none is `playerVehicle`, the vehicle the player sat in while
// it recorded (0: on foot). Returns null when all hold, else what broke.
inline const char* BrokenNewestWorldPart(const QuorvatSnapshot& snapshot, bool stepKept,
                                         int32_t playerVehicle) {
  for (uint32_t slot = 0; slot < snapshot.vehicleCount && slot < 8; ++slot) {
    const uint32_t* words = &snapshot.newestWorldPart[slot * 12];
    for (uint32_t word = 1; word < 12; ++word) {
      if (words[0] == 0 && words[word] != 0) return "an empty slot's world part holds values";
      float value;
      std::memcpy(&value, &words[word], sizeof value);
      if (word < 11 && !std::isfinite(value)) return "a world part holds a float not finite";
    }
    if (!stepKept) continue;
    const int32_t handle = snapshot.vehicleSlots[slot];
    if (static_cast<uint32_t>(handle) != words[0]) return "a slot is not its newest world part's";
    if (handle != 0 && handle == playerVehicle) return "the player's vehicle kept in a slot";
  }
  return nullptr;
}

// All of the above over one frame, from the snapshots before and after it:
// `kept` says the frame kept a sample (and so ran its world step), and
// `playerVehicle` is the vehicle the player sat in then (0: on foot). A
// kept sample moved the probe on one turn; any other frame left the turn,
// and but for the leave the slots, as they were.
inline const char* BrokenWorldFrame(const QuorvatSnapshot& before, const QuorvatSnapshot& after,
                                    bool kept, int32_t playerVehicle) {
  if (const char* broken = BrokenWorld(after)) return broken;
  if (after.vehicleCount == 0) return nullptr;
  if (after.probeTurn != (kept ? (before.probeTurn + 1) % 17 : before.probeTurn)) {
    return "the probe turn did not move on with the kept sample alone";
  }
  const bool left = before.rewinding != 0 && after.rewinding == 0;
  if (!kept && !left &&
      std::memcmp(before.vehicleSlots, after.vehicleSlots, sizeof after.vehicleSlots) != 0) {
    return "the vehicle slots changed in a frame that kept no sample";
  }
  return BrokenNewestWorldPart(after, kept, playerVehicle);
}
