#pragma once

// The frame clock behind the seconds label; both run only while the settings
// turn the label on. Asks the performance counter's frequency; first frame,
// right after the settings.
void StartFrameClock();
// Reads the counter and sets frameMs to the time since the previous frame's
// reading: 0 on the module's first frame, with no frequency, or when the
// counter went backwards; at most 1000, so that a pause or a load counts as
// one second.
void TimeFrame();
