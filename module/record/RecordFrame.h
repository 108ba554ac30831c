#pragma once

#include <cstdint>

// The recording branch of a normal frame: the gate, the trim, one sample into
// every history, then the game-speed ramp.
void RecordFrame(int32_t playerId);
