// The marks on the timeline as the state snapshot shows them, checked after
// a frame by the soaks and the module's fuzz target.
#pragma once

#include <cstdint>

#include "host/Snapshot.h"

// At most 16, oldest first on distinct samples, each on a kept sample; and
// after a rewind frame that took the mark key's press (`jumpAsked`) with
// marks kept, the scrub position is on one of them. Returns null when all
// hold, else what broke.
inline const char* BrokenMarks(const QuorvatSnapshot& snapshot, bool jumpAsked) {
  if (snapshot.markCount > 16) return "more than 16 marks kept";
  bool onAMark = false;
  for (uint32_t i = 0; i < snapshot.markCount; ++i) {
    const int32_t index = snapshot.markIndexes[i];
    if (index < 0 || static_cast<uint32_t>(index) >= snapshot.sampleCount) {
      return "a mark names no kept sample";
    }
    if (i > 0 && index >= snapshot.markIndexes[i - 1]) {
      return "the marks are not oldest first, one a sample";
    }
    onAMark = onAMark || index == snapshot.playIndex;
  }
  if (jumpAsked && snapshot.rewinding != 0 && snapshot.markCount != 0 && !onAMark) {
    return "a jump landed off the marks";
  }
  return nullptr;
}
