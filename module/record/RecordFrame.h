#pragma once

#include <cstdint>

// The recording branch of a normal frame: the gate, one sample into every
// history, the trim, then the game-speed ramp. True when the frame's sample
// was kept (the gate passed and nothing ran out of memory).
bool RecordFrame(int32_t playerId);
