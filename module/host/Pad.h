// The game pad, read once a frame while the settings turn it on: what the
// toggle and the scrub make of it.
#pragma once

// Asks the pad of user 0 for this frame's state, keeping the previous one.
void PollPad();
// The toggle chord was made this frame: all of its buttons down now, and not
// all of them down the frame before.
bool PadChordMade();
// Left trigger or D-pad left scrubs older; right trigger or D-pad right newer.
bool PadScrubsOlder();
bool PadScrubsNewer();
