#pragma once

// Polls the toggle key and Space once and switches the mode if they say so.
void TestToggleKey();
void EnterRewindMode();
void LeaveRewindMode();
// Last piece of a recorded frame: raises the game speed back toward 1.0.
void RampTimeScale();
