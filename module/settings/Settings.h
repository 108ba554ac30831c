#pragma once

// Reads the toggle key, the history length, the push mode, the game pad's
// settings, the scrub and resume keys, the overlay's aids, rewinding by
// holding, the history in seconds and the support log from
// "Quorvat.ini" in the current directory; first frame only.
void ReadSettings();
