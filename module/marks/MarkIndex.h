// Where a mark stands in the histories now, from its sample's serial.
#pragma once

#include <cstdint>

#include "state/History.h"
#include "state/RewindState.h"

// The index of the mark's sample (0 the newest); at or past the sample count
// once a trim has taken that sample.
inline uint64_t MarkIndex(const Mark& mark) {
  return historySet.samplesPushed - mark.serial;
}
