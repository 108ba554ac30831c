#pragma once

// After a recording frame whose sample was kept (its pushes and trims
// done): forgets the marks whose samples the trims took, then marks the new
// sample when play resumed from a mark this frame (the mark moves to the
// resumed state) or when the mark was pressed. At most kMostMarks are kept.
void KeepMarks(bool markPressed, bool leftRewind);
