#pragma once

// Takes the module file's modification time as the stamp; first frame only.
// Raises frameCount from 0 to 1, which keeps the first-frame block from
// running again.
void ComputeBuildStamp();
// Counts the early frames and draws the stamp while frameCount is below 100,
// or the hint in its place when the settings turn the hint on.
void ShowBuildStamp();
