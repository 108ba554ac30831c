#pragma once

// Polls the toggle key once, and Space as each test needs it, and switches
// the mode if they say so. With rewinding by holding on, a press enters and
// letting go leaves.
void TestToggleKey();
void EnterRewindMode();
void LeaveRewindMode();
// Last piece of a recorded frame: raises the game speed back toward 1.0.
void RampTimeScale();
