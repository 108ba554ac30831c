#pragma once

// Holds the character at the on-foot sample at playIndex.
void ApplyFootFrame();
