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

// The first rewind as an animation: from a second before it starts to the
// end of the game speed's ramp after the resume, every `step`-th frame at
// the run's pace.
struct AnimationShot {
  int64_t frameIndex;  // the screen at the end of frames[frameIndex]
  uint32_t lengthUs;   // the run's time until the next shot
};
struct AnimationChoice {
  std::vector<AnimationShot> shots;  // none: the run has no rewind
  int64_t firstFrame = 0, lastFrame = -1;
  uint64_t lengthUs = 0;  // of all the shots
};
// `frameUs[n]` is the length of frames[n] (the module's clock step).
AnimationChoice ChooseAnimation(const std::vector<LiveFrame>& frames,
                                const std::vector<RewindSummary>& rewinds,
                                const std::vector<uint32_t>& frameUs);

// The animation's size: the screens' own.
constexpr uint32_t kAnimationWidth = 640, kAnimationHeight = 360;

struct PictureRequest {
  int64_t frameIndex;  // the screen at the end of frames[frameIndex]; -1: the overview
  std::string path;
};

// Writes the pictures, each a PNG, and the animation's GIF at `animationPath`
// when `animation` has shots. Throws RunError when the screen program is
// missing or fails, or a file can't be written.
void DrawPictures(const std::vector<LiveFrame>& frames, const std::vector<RewindSummary>& rewinds,
                  const std::map<int32_t, ScriptedModel>& models,
                  const std::vector<PictureRequest>& pictures, const AnimationChoice& animation,
                  const std::string& animationPath);
