#include "host/NativeCall.h"

namespace {
// The record has room for four pending vector results; a host that claims
// more must not make the copy-back run off the end of it.
constexpr uint32_t kMaxPendingVectors = 4;
}  // namespace

void NativeCall::Invoke(uint32_t hash) {
  NativeInvoke::SpeedyInvoke(&context_, hash);
  if (context_.pendingVectorCount > kMaxPendingVectors) {
    context_.pendingVectorCount = kMaxPendingVectors;
  }
  while (context_.pendingVectorCount > 0) {
    const uint32_t i = --context_.pendingVectorCount;
    const NativeScratchVector& from = context_.vectorScratch[i];
    float* to = static_cast<float*>(context_.vectorTargets[i]);
    to[0] = from.x;
    to[1] = from.y;
    to[2] = from.z;
  }
}
