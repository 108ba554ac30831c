// The game behind the stand-in host. A world answers the natives; how the
// answers travel back (bool encoding, out-targets, the vector copy-back) is
// the host's and the same for every world, so worlds go through NativeCall.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "ScriptHook.h"
#include "formats/Scenario.h"
#include "world/NativeTable.h"

// One native call as the game sees it. The host has checked the argument
// count and that every out-target is an address before a world sees it.
class NativeCall {
 public:
  NativeCall(NativeContext* context, const NativeInfo& info) : context_(context), info_(info) {}

  const NativeInfo& Info() const { return info_; }
  uint32_t Slot(int i) const { return Slots()[i]; }
  int32_t Int(int i) const { return static_cast<int32_t>(Slot(i)); }
  float Float(int i) const {
    float value;
    uint32_t bits = Slot(i);
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  // Only the low byte of a bool slot carries the value.
  bool Bool(int i) const { return (Slot(i) & 0xFF) != 0; }

  void ReturnInt(int32_t value) { Slots()[0] = static_cast<uint32_t>(value); }
  void ReturnUnsigned(uint32_t value) { Slots()[0] = value; }
  // A recognisable pattern in the upper bytes: only the low byte may count.
  void ReturnBool(bool value) { Slots()[0] = 0xA5A5A500u | (value ? 1u : 0u); }

  // Out-values, written straight through the slot's address.
  void WriteInt(int i, int32_t value) { std::memcpy(Target(i), &value, sizeof value); }
  void WriteUnsigned(int i, uint32_t value) { std::memcpy(Target(i), &value, sizeof value); }
  void WriteFloat(int i, float value) { std::memcpy(Target(i), &value, sizeof value); }
  // A vector result: left in the record for the caller to copy back. Calls
  // go in slot order.
  void WriteVector(int i, const Vec3f& value);

 private:
  uint32_t* Slots() const { return context_->argSlots; }
  void* Target(int i) const { return reinterpret_cast<void*>(static_cast<uintptr_t>(Slot(i))); }

  NativeContext* context_;
  const NativeInfo& info_;
  uint32_t vectorsWritten_ = 0;
};

// The answers that come straight from a world's values and are the same in
// every world: the player, the clock, the character's plain values, the
// distance between two points and a model's extents. False when `call` is
// none of these, and nothing is answered.
bool AnswerFromValues(const WorldState& w, NativeCall& call);

// The vehicle of `vehicles` (a map by handle, ordered as signed numbers, of
// anything with a `pos`) nearest (x, y, z) within `radius`, as
// LocateVehicleNear answers: distances from the 32-bit coordinates, each
// operation on doubles; on a tie the lower handle, which the map's order
// gives first. A distance that is not a number never counts, nor does a
// vehicle named 0, the answer for none.
template <class Vehicles>
int32_t NearestVehicle(const Vehicles& vehicles, float x, float y, float z, float radius) {
  int32_t best = 0;
  double bestDistance = 0.0;
  const double reach = static_cast<double>(radius);
  for (const auto& [handle, v] : vehicles) {
    if (handle == 0) continue;
    const double dx = static_cast<double>(v.pos.x) - static_cast<double>(x);
    const double dy = static_cast<double>(v.pos.y) - static_cast<double>(y);
    const double dz = static_cast<double>(v.pos.z) - static_cast<double>(z);
    const double d = std::sqrt((dx * dx + dy * dy) + dz * dz);
    if (!(d <= reach)) continue;
    if (best == 0 || d < bestDistance) {
      best = handle;
      bestDistance = d;
    }
  }
  return best;
}

// The reads of a vehicle's values, for any kind of vehicle with a position,
// rotation, velocity, condition and model; `find(handle)` gives the vehicle
// or null, and a vehicle that isn't there leaves the out-values alone. False
// when `call` is not a vehicle read.
template <class Find>
bool AnswerVehicleRead(NativeCall& call, Find find) {
  switch (call.Info().id) {
    case NativeId::ReadVehiclePosition:
    case NativeId::ReadVehicleRotation:
    case NativeId::ReadVehicleSpeedVector:
    case NativeId::ReadVehicleCondition:
    case NativeId::ReadVehicleModel:
      break;
    default:
      return false;
  }
  const auto* v = find(call.Int(0));
  if (v == nullptr) return true;
  switch (call.Info().id) {
    case NativeId::ReadVehiclePosition:
      call.WriteFloat(1, v->pos.x);
      call.WriteFloat(2, v->pos.y);
      call.WriteFloat(3, v->pos.z);
      break;
    case NativeId::ReadVehicleRotation:
      for (int i = 0; i < 4; ++i) call.WriteFloat(1 + i, v->rot[i]);
      break;
    case NativeId::ReadVehicleSpeedVector:
      call.WriteVector(1, v->vel);
      break;
    case NativeId::ReadVehicleCondition:
      call.WriteUnsigned(1, v->condition);
      break;
    default:
      call.WriteInt(1, v->model);
      break;
  }
  return true;
}

class World {
 public:
  virtual ~World() = default;
  // A timeline entry that applies at the start of the current frame.
  virtual void Apply(const TimelineEntry& entry) = 0;
  virtual void Answer(NativeCall& call) = 0;
  // The game's clock moves on: called once at the start of every frame,
  // before that frame's timeline entries. A world without a clock of its
  // own ignores it.
  virtual void BeginFrame(int64_t /*frame*/) {}
  // How far the performance counter moves on, in microseconds, at the start
  // of this frame (every frame after the first), asked after the frame's
  // timeline entries are applied. A world whose frames last a known time
  // answers that; by default a frame lasts the scenario's default clockUs.
  virtual uint32_t ClockStepUs() const { return WorldState{}.clockUs; }
};
