// The demo's animation: screens drawn as the pictures are, one after the
// other at the run's pace, in one GIF.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Frames.h"

// Writes the GIF of `shots` (each the screen at the end of a frame, drawn as
// DrawScreen draws it, scaled to `width` × `height`, and shown for its
// length). Throws std::runtime_error when the shots aren't of frames sent or
// the file can't be written, and where the program was built without
// giflib.
void WriteAnimation(const std::vector<Frame>& frames, const std::map<int32_t, Model>& models,
                    const std::vector<AnimationFrameRecord>& shots, uint32_t width, uint32_t height,
                    const std::string& path);
