// The game pad, read once a frame while the settings turn it on: what the
// toggle and the scrub make of it.
#pragma once

#include <cstdint>

// Asks the pad of user 0 for this frame's state, keeping the previous one.
void PollPad();
// The buttons of `mask` were made a chord this frame: all of them down now,
// and not all of them down the frame before (never for a mask of 0).
bool PadButtonsMade(uint16_t mask);
// The toggle chord was made this frame: all of its buttons down now, and not
// all of them down the frame before.
bool PadChordMade();
// All of the chord's buttons are down this frame (with the pad on and a
// chord set): rewinding by holding goes on while it is.
bool PadChordHeld();
// How fast the pad scrubs older (left trigger or D-pad left) or newer (right
// trigger or D-pad right), in quarters of the game's scrub step: 0 when it
// doesn't; 4 from the D-pad or a trigger pulled a little; up to 16, four
// times as fast, from a trigger pulled all the way.
uint32_t PadOlderQuarters();
uint32_t PadNewerQuarters();
