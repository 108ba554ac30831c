#pragma once

// Reads the toggle key, the history length, the push mode, the game pad's
// settings, the scrub and resume keys, the overlay's aids, rewinding by
// holding, the history in seconds, the support log and the marks' key and chord from
// "Quorvat.ini" in the current directory; first frame only.
void ReadSettings();
