#pragma once

#include <cstdint>

// Part of leaving rewind mode, right after the player's hand-off: the slots
// become those of the world part at playIndex, and each of their vehicles is
// given its recorded velocity but `impelled`, the vehicle the hand-off just
// impelled (0 when it impelled the character).
void HandOverVehicles(int32_t impelled);
