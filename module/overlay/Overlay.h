#pragma once

// Rewind frames: cursor activity, letterbox bars and the timeline with its
// marks.
void DrawRewindOverlay();
// Recording frames while the game speed ramps back: the bars shrink away.
void FadeLetterbox();
