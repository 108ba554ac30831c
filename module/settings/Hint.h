#pragma once

// Draws, where the build stamp would show, which key (and which of the pad's
// buttons, with the pad on) rewinds: "F7: rewind", "R or pad Start+Back:
// rewind". Players meet the feature here, not in a text beside the DLL; and
// with marks on, below it, what drops a mark ("F8: mark").
void ShowHint();
