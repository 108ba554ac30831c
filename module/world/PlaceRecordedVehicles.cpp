#include "world/PlaceRecordedVehicles.h"

#include "host/Natives.h"
#include "state/History.h"
#include "state/RewindState.h"

void PlaceRecordedVehicles() {
  const WorldPartHistory& parts = historySet.worldParts;
  const uint32_t i = static_cast<uint32_t>(rewindState.playIndex);
  // Nothing recorded, nothing to put back.
  if (i >= parts.SampleCount()) return;
  for (uint32_t slot = 0; slot < parts.Slots(); ++slot) {
    const int32_t handle = parts.Handle(i, slot);
    if (handle == 0 || !IsVehicleValid(handle)) continue;
    auto value = [&](uint32_t word) { return parts.Value(i, slot, word); };
    PlaceVehicle(handle, value(kWordPosX), value(kWordPosY), value(kWordPosZ));
    WriteVehicleRotation(handle, value(kWordRotX), value(kWordRotY), value(kWordRotZ),
                         value(kWordRotW));
    WriteVehicleCondition(handle, static_cast<int32_t>(parts.Word(i, slot, kWordCondition)));
  }
}
