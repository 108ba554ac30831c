#pragma once

// Draws how many seconds of recorded play lie between the scrub position and
// the newest sample ("-4.2 s") just above the timeline centred at lineY, the
// last shape of a rewind frame. Only with the seconds label on.
void DrawSecondsLabel(float lineY);
