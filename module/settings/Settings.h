#pragma once

// Reads the toggle key, the history length and the push mode from
// "Quorvat.ini" in the current directory; first frame only.
void ReadSettings();
