#include "world/FollowVehicles.h"

#include <cmath>
#include <cstring>
#include <new>

#include "host/Natives.h"
#include "state/History.h"
#include "state/RewindState.h"

namespace {

struct ProbePoint {
  float dx;
  float dy;
  float radius;
};

// Turn 0 is the player's own point; the outer ring, 20 m out, reaches
// vehicles some 7 to 30 m away; the inner one, 7 m out with a radius under
// 7 m, never answers the vehicle the player sits in. 14.142136 and
// 4.9497476 are the floats nearest 20 / sqrt(2) and 7 / sqrt(2).
constexpr ProbePoint kProbe[kProbeTurns] = {
    {0.0f, 0.0f, 14.0f},
    {20.0f, 0.0f, 14.0f},
    {14.142136f, 14.142136f, 14.0f},
    {0.0f, 20.0f, 14.0f},
    {-14.142136f, 14.142136f, 14.0f},
    {-20.0f, 0.0f, 14.0f},
    {-14.142136f, -14.142136f, 14.0f},
    {0.0f, -20.0f, 14.0f},
    {14.142136f, -14.142136f, 14.0f},
    {7.0f, 0.0f, 6.0f},
    {4.9497476f, 4.9497476f, 6.0f},
    {0.0f, 7.0f, 6.0f},
    {-4.9497476f, 4.9497476f, 6.0f},
    {-7.0f, 0.0f, 6.0f},
    {-4.9497476f, -4.9497476f, 6.0f},
    {0.0f, -7.0f, 6.0f},
    {4.9497476f, -4.9497476f, 6.0f},
};

// Beyond 60 m a vehicle is dropped; beyond 30 m too while a nearer one the
// probe found waits for a slot.
constexpr double kFarthest2 = 3600.0;
constexpr double kFarUnderDemand2 = 900.0;

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Squared distance from the player's point: each operation on doubles,
// rounded to double (the build forbids fused and wider intermediates).
double Distance2(float vx, float vy, float vz, float x, float y, float z) {
  const double dx = static_cast<double>(vx) - static_cast<double>(x);
  const double dy = static_cast<double>(vy) - static_cast<double>(y);
  const double dz = static_cast<double>(vz) - static_cast<double>(z);
  return (dx * dx + dy * dy) + dz * dz;
}

bool Holds(const RewindState& s, int32_t handle) {
  for (int slot = 0; slot < s.vehicleCount; ++slot) {
    if (s.vehicleSlots[slot] == handle) return true;
  }
  return false;
}

int EmptySlot(const RewindState& s) {
  for (int slot = 0; slot < s.vehicleCount; ++slot) {
    if (s.vehicleSlots[slot] == 0) return slot;
  }
  return -1;
}

// One probe at the turn's point; true when what it found waits for a slot.
bool Probe(RewindState& s, bool vehicleFrame, float x, float y, float z) {
  const int turn = s.probeTurn;
  const ProbePoint& p = kProbe[turn];
  float px = x;
  float py = y;
  if (turn != 0) {
    // 32-bit additions, a zero offset included: -0.0 becomes 0.0 there.
    px = x + p.dx;
    py = y + p.dy;
  }
  const int32_t found = LocateVehicleNear(px, py, z, p.radius);
  s.probeTurn = static_cast<uint8_t>((turn + 1) % kProbeTurns);
  if (found == 0 || Holds(s, found) || (vehicleFrame && found == s.vehicle)) return false;
  const int slot = EmptySlot(s);
  if (slot < 0) return true;
  s.vehicleSlots[slot] = found;
  return false;
}

// Reads the slot's vehicle into its part of the record, or empties the slot.
void ReadSlot(RewindState& s, int slot, bool demand, float x, float y, float z, uint32_t* words) {
  const int32_t handle = s.vehicleSlots[slot];
  if (!IsVehicleValid(handle)) {
    s.vehicleSlots[slot] = 0;
    return;
  }
  // Zero before each read, so that one that writes nothing leaves 0.
  float vx = 0.0f;
  float vy = 0.0f;
  float vz = 0.0f;
  ReadVehiclePosition(handle, &vx, &vy, &vz);
  const double d2 = Distance2(vx, vy, vz, x, y, z);
  // Written as "not within", so that a coordinate that is not a number drops
  // the vehicle too.
  if (!(d2 <= kFarthest2) || (demand && !(d2 <= kFarUnderDemand2))) {
    s.vehicleSlots[slot] = 0;
    return;
  }
  Vector4 q = {0.0f, 0.0f, 0.0f, 0.0f};
  Vector3 u = {0.0f, 0.0f, 0.0f};
  uint32_t condition = 0;
  ReadVehicleRotation(handle, &q.x, &q.y, &q.z, &q.w);
  ReadVehicleSpeedVector(handle, &u);
  ReadVehicleCondition(handle, &condition);
  const float read[7] = {q.x, q.y, q.z, q.w, u.x, u.y, u.z};
  for (float value : read) {
    if (!std::isfinite(value)) {
      s.vehicleSlots[slot] = 0;
      return;
    }
  }
  words[kWordHandle] = static_cast<uint32_t>(handle);
  words[kWordPosX] = Bits(vx);
  words[kWordPosY] = Bits(vy);
  words[kWordPosZ] = Bits(vz);
  for (int i = 0; i < 7; ++i) words[kWordRotX + i] = Bits(read[i]);
  words[kWordCondition] = condition;
}

}  // namespace

void FollowVehicles(bool vehicleFrame) {
  RewindState& s = rewindState;
  HistorySet& h = historySet;
  // The point the player's sample just recorded: on foot posZ as stored.
  const float x = h.posX[0];
  const float y = h.posY[0];
  const float z = h.posZ[0];

  int32_t slotsBefore[kMostVehicles];
  std::memcpy(slotsBefore, s.vehicleSlots, sizeof slotsBefore);
  const uint8_t turnBefore = s.probeTurn;

  // The player's own vehicle goes back with the player's histories.
  if (vehicleFrame) {
    for (int slot = 0; slot < s.vehicleCount; ++slot) {
      if (s.vehicleSlots[slot] == s.vehicle) s.vehicleSlots[slot] = 0;
    }
  }
  const bool demand = Probe(s, vehicleFrame, x, y, z);

  uint32_t words[kMostVehicles * kWordsPerSlot] = {};
  for (int slot = 0; slot < s.vehicleCount; ++slot) {
    if (s.vehicleSlots[slot] == 0) continue;
    ReadSlot(s, slot, demand, x, y, z, &words[slot * kWordsPerSlot]);
  }

  try {
    h.worldParts.PushFront(words);
  } catch (const std::bad_alloc&) {
    // The calls made stand; the slots and the turn are as if the step had
    // not run, so the next recorded frame probes this turn again.
    std::memcpy(s.vehicleSlots, slotsBefore, sizeof slotsBefore);
    s.probeTurn = turnBefore;
    throw;
  }
}
