#include "world/PlaceRecordedVehicles.h"

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

void PlaceRecordedVehicles() {
  const WorldPartHistory& parts = historySet.worldParts;
  const uint32_t i = static_cast<uint32_t>(rewindState.playIndex);
  // Nothing recorded, nothing to put back.
  if (i >= parts.SampleCount()) return;
  for (uint32_t slot = 0; slot < parts.Slots(); ++slot) {
    const int32_t handle = parts.Handle(i, slot);
    if (handle == 0 || !IsVehicleValid(handle)) continue;
    auto value = [&](uint32_t word) { return Float(parts.Word(i, slot, word)); };
    PlaceVehicle(handle, value(kWordPosX), value(kWordPosY), value(kWordPosZ));
    WriteVehicleRotation(handle, value(kWordRotX), value(kWordRotY), value(kWordRotZ),
                         value(kWordRotW));
    WriteVehicleCondition(handle, static_cast<int32_t>(parts.Word(i, slot, kWordCondition)));
  }
}
