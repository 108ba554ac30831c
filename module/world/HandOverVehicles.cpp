#include "world/HandOverVehicles.h"

#include <cstring>

#include "host/Natives.h"
#include "state/History.h"
#include "state/RewindState.h"

namespace {
float Float(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
}  // namespace

void HandOverVehicles(int32_t impelled) {
  RewindState& s = rewindState;
  const WorldPartHistory& parts = historySet.worldParts;
  const uint32_t i = static_cast<uint32_t>(s.playIndex);
  // With nothing recorded there is nothing to resume from: the slots stay.
  if (i >= parts.SampleCount()) return;
  for (uint32_t slot = 0; slot < parts.Slots(); ++slot) {
    s.vehicleSlots[slot] = parts.Handle(i, slot);
  }
  for (uint32_t slot = 0; slot < parts.Slots(); ++slot) {
    const int32_t handle = s.vehicleSlots[slot];
    // The player's own vehicle has its momentum already; it stays in its
    // slot until a vehicle frame lets go of it.
    if (handle == 0 || (impelled != 0 && handle == impelled)) continue;
    // One found invalid stays too: the next world step asks again.
    if (!IsVehicleValid(handle)) continue;
    ImpelVehicle(handle, Float(parts.Word(i, slot, kWordVelX)),
                 Float(parts.Word(i, slot, kWordVelY)), Float(parts.Word(i, slot, kWordVelZ)));
  }
}
