#pragma once

#include <cstdint>

// Moves playIndex with the scrub keys; while rewinding by holding, back on
// its own unless a newer key is held.
void Scrub();
// Re-applies the recorded per-player and character values at playIndex.
void ApplyCommonValues(int32_t playerId);
