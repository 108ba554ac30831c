// The module's side of a native call: fills one call record, hands it to the
// host, copies vector results back and reads the result. A record lives on
// the stack of one call; nothing is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ScriptHook.h"

static_assert(offsetof(NativeContext, resultPtr) == 0x00);
static_assert(offsetof(NativeContext, argCount) == 0x04);
static_assert(offsetof(NativeContext, argsPtr) == 0x08);
static_assert(offsetof(NativeContext, pendingVectorCount) == 0x0C);
static_assert(offsetof(NativeContext, vectorTargets) == 0x10);
static_assert(offsetof(NativeContext, vectorScratch) == 0x20);
static_assert(offsetof(NativeContext, argSlots) == 0x60);
static_assert(sizeof(NativeContext) == 164);

class NativeCall {
 public:
  NativeCall() {
    context_.resultPtr = &context_.argSlots[0];
    context_.argsPtr = &context_.argSlots[0];
    context_.argCount = 0;
    context_.pendingVectorCount = 0;
  }
  NativeCall(const NativeCall&) = delete;
  NativeCall& operator=(const NativeCall&) = delete;

  NativeCall& Int(int32_t value) { return Slot(static_cast<uint32_t>(value)); }
  NativeCall& Float(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return Slot(bits);
  }
  // The whole slot is cleared, then its low byte set: 01 00 00 00 or zeros.
  NativeCall& Bool(bool value) { return Slot(value ? 1u : 0u); }
  NativeCall& Pointer(const void* address) {
    return Slot(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address)));
  }

  // Calls the host, then copies back the vector results it left, highest
  // index first, three floats each.
  void Invoke(uint32_t hash);

  int32_t ResultInt() const { return static_cast<int32_t>(context_.argSlots[0]); }
  uint32_t ResultUnsigned() const { return context_.argSlots[0]; }
  // Only the low byte of a bool result counts.
  bool ResultBool() const { return (context_.argSlots[0] & 0xFFu) != 0; }

 private:
  NativeCall& Slot(uint32_t bits) {
    context_.argSlots[context_.argCount++] = bits;
    return *this;
  }

  NativeContext context_;
};
