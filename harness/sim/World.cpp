#include "World.h"

#include <limits>

void NativeCall::WriteVector(int i, const Vec3f& value) {
  uint32_t n = vectorsWritten_;
  if (n >= 4) return;  // the record has room for four
  context_->vectorScratch[n] = {value.x, value.y, value.z, std::numeric_limits<float>::quiet_NaN()};
  context_->vectorTargets[n] = Target(i);
  context_->pendingVectorCount = ++vectorsWritten_;
}
