// The demo's pictures: which moments get a screen, and the whole run handed
// to the screen program, which draws them (screens as the player sees them,
// the module's own rectangles and texts over a top-down view of the world,
// and one overview of the run).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "demo/Demo.h"
#include "world/LiveWorld.h"

// The moments worth a screen: early on (the build stamp shows), and for
// each rewind its start, its furthest point back and the ramp after it.
struct PictureMoment {
  int64_t frame;
  std::string name;  // file name without the folder
};
std::vector<PictureMoment> ChooseMoments(const std::vector<LiveFrame>& frames,
                                         const std::vector<RewindSummary>& rewinds);

struct PictureRequest {
  int64_t frameIndex;  // the screen at the end of frames[frameIndex]; -1: the overview
  std::string path;
};

// Writes the pictures, each a PNG. Throws RunError when the screen program
// is missing or fails, or a file can't be written.
void DrawPictures(const std::vector<LiveFrame>& frames, const std::vector<RewindSummary>& rewinds,
                  const std::map<int32_t, ScriptedModel>& models,
                  const std::vector<PictureRequest>& pictures);
