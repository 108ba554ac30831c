// The demo's pictures, drawn with cairo: screens as the player sees them
// (the module's own rectangles and texts over a top-down view of the world)
// and one overview of the whole run.
#pragma once

#include <cairo.h>

#include <map>
#include <string>
#include <vector>

#include "demo/Demo.h"
#include "world/LiveWorld.h"

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 360;
constexpr int kOverviewWidth = 900;
constexpr int kOverviewHeight = 640;

// The moments worth a screen: early on (the build stamp shows), and for
// each rewind its start, its furthest point back and the ramp after it.
struct PictureMoment {
  int64_t frame;
  std::string name;  // file name without the folder
};
std::vector<PictureMoment> ChooseMoments(const std::vector<LiveFrame>& frames,
                                         const std::vector<RewindSummary>& rewinds);

// The world around the player as `frames[index]` ended, on a `width` ×
// `height` picture: the ground, the path recorded up to then, the vehicles
// and the character. The view widens with the picture (9 pixels a metre at
// kScreenWidth).
void DrawWorldView(cairo_t* cr, double width, double height, const std::vector<LiveFrame>& frames,
                   size_t index, const std::map<int32_t, ScriptedModel>& models);

// What the module drew in `frame`, exactly as it asked: rectangles by
// centre and size and texts at their point, in fractions of the screen.
void DrawModuleShapes(cairo_t* cr, double width, double height, const LiveFrame& frame);

// Writes one PNG of what the screen showed at the end of `frames[index]`.
// Throws RunError when the file can't be written.
void DrawScreen(const std::vector<LiveFrame>& frames, size_t index,
                const std::map<int32_t, ScriptedModel>& models, const std::string& path);

// The route on a map, the recorded path, the rewound stretches, the resume
// points and the game speed over time.
void DrawOverview(const std::vector<LiveFrame>& frames, const std::vector<RewindSummary>& rewinds,
                  const std::map<int32_t, ScriptedModel>& models, const std::string& path);
