#pragma once

#include <cstdint>

// Moves playIndex with the scrub keys.
void Scrub();
// Re-applies the recorded per-player and character values at playIndex.
void ApplyCommonValues(int32_t playerId);
