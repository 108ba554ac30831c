// The game behind the stand-in host. A world answers the natives; how the
// answers travel back (bool encoding, out-targets, the vector copy-back) is
// the host's and the same for every world, so worlds go through NativeCall.
#pragma once

#include <cstdint>
#include <cstring>

#include "NativeTable.h"
#include "Scenario.h"
#include "ScriptHook.h"

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
};
