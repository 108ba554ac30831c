// The vehicles around the player as the state snapshot shows them, checked
// after a frame by the world's trace tests (and for the soaks and the
// module's fuzz target to take up).
#pragma once

#include <cstdint>

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
