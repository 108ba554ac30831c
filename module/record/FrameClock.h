#pragma once

// The frame clock behind the seconds label; both run only while the settings
// turn the label on. Asks the performance counter's frequency; first frame,
// right after the settings.
void StartFrameClock();
// Reads the counter and sets frameMs to the millisecond marks it passed
// since the previous frame's reading: 0 on the module's first frame, with a
// frequency outside 1 ... 10^15, when the counter went backwards or the
// previous reading was negative; 1000 for a second or more, so that a pause
// or a load counts as one second.
void TimeFrame();
