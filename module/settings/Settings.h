#pragma once

// Reads the toggle key, the history length, the push mode, the game pad's
// settings, the scrub and resume keys and the overlay's aids from
// "Quorvat.ini" in the current directory; first frame only.
void ReadSettings();
