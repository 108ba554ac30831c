#pragma once

// Reads the toggle key, the history length, the push mode and the game pad's
// settings from "Quorvat.ini" in the current directory; first frame only.
void ReadSettings();
