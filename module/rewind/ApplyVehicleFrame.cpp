#include "rewind/ApplyVehicleFrame.h"

#include "host/Natives.h"
#include "state/History.h"
#include "state/RewindState.h"
#include "state/Samples.h"

namespace {
constexpr double kRadiusMargin = 6.0;
constexpr float kPushSoftening = 0.01f;  // keeps the push finite at distance 0

// Push mode: clears the recorded spot of other vehicles before the recorded
// one is put there. The vehicle is parked at the origin while the spot is
// searched, so that the search does not find the vehicle itself.
void PlaceAndPush(int32_t vehicle, float x, float y, float z) {
  RewindState& s = rewindState;
  Vector4& cur = s.cur;

  // Locals start zeroed: a native that writes nothing leaves them defined.
  int32_t unusedSlot = 0;
  int32_t model = 0;
  Vector3 a = {0.0f, 0.0f, 0.0f};
  Vector3 b = {0.0f, 0.0f, 0.0f};
  ReadVehicleModel(vehicle, &model);
  ReadModelExtent(model, &a, &b);
  const float larger = b.y < b.x ? b.x : b.y;
  const float radius = static_cast<float>(static_cast<double>(larger) + kRadiusMargin);

  PlaceVehicle(vehicle, 0.0f, 0.0f, 0.0f);
  cur.x = x;
  cur.y = y;
  cur.z = z;
  const int32_t other = LocateVehicleNear(x, y, z, radius);
  ProbeVehicleNear(x, y, z, radius, &unusedSlot);
  PlaceVehicle(vehicle, x, y, z);

  // A vehicle the world part puts back at the frame's end needs no push.
  if (VehiclesOn(s) && historySet.worldParts.Holds(static_cast<uint32_t>(s.playIndex), other)) {
    return;
  }
  if (!IsVehicleValid(other)) return;
  float ox = 0.0f;
  float oy = 0.0f;
  float oz = 0.0f;
  ReadVehiclePosition(other, &ox, &oy, &oz);
  DistanceFromCurrent(ox, oy, oz);
  // Stronger the closer the other vehicle stands.
  cur.w = static_cast<float>(
      100.0 / (80.0 * static_cast<double>(cur.w) + static_cast<double>(kPushSoftening)));
  const double f = cur.w;
  ImpelVehicle(other,
               static_cast<float>((static_cast<double>(ox) - static_cast<double>(cur.x)) * f),
               static_cast<float>((static_cast<double>(oy) - static_cast<double>(cur.y)) * f),
               static_cast<float>((static_cast<double>(oz) - static_cast<double>(cur.z)) * f));
}
}  // namespace

void ApplyVehicleFrame() {
  RewindState& s = rewindState;
  const HistorySet& h = historySet;
  const uint32_t i = static_cast<uint32_t>(s.playIndex);

  if (h.inVehicleFlag[i] != 1.0f) return;
  s.vehicle = h.vehicleHist[i];
  const int32_t vehicle = s.vehicle;
  if (!IsVehicleValid(vehicle)) return;
  // Seating takes effect by the next frame; the rest waits for it.
  if (!IsCharacterInThisVehicle(s.playerChar, vehicle)) {
    SeatCharacterInVehicle(s.playerChar, vehicle);
    return;
  }

  TurnVehicleTo(vehicle, h.rotX[i]);
  WriteVehicleCondition(vehicle, SampleToInt(h.conditionHist[i]));

  const float x = h.posX[i];
  const float y = h.posY[i];
  const float z = h.posZ[i];
  if (s.pushMode == 1) {
    PlaceAndPush(vehicle, x, y, z);
  } else {
    PlaceVehicle(vehicle, x, y, z);
  }
  // Last, so the position change can't disturb the orientation.
  WriteVehicleRotation(vehicle, h.rotX[i], h.rotY[i], h.rotZ[i], h.rotW[i]);
}
