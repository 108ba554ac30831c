// What the screen shows, drawn with cairo: the world around the player
// from above with the module's own rectangles and texts on top, and the
// overview of a whole run.
#pragma once

#include <cairo.h>

#include <map>
#include <string>
#include <vector>

#include "Frames.h"

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 360;
constexpr int kOverviewWidth = 900;
constexpr int kOverviewHeight = 640;

// The world around the player as `frames[index]` ended, on a `width` ×
// `height` picture: the ground, the path recorded up to then, the vehicles
// and the character. The view widens with the picture (9 pixels a metre at
// kScreenWidth).
void DrawWorldView(cairo_t* cr, double width, double height, const std::vector<Frame>& frames,
                   size_t index, const std::map<int32_t, Model>& models);

// What the module drew in `frame`, exactly as it asked: rectangles by
// centre and size and texts at their point, in fractions of the screen.
void DrawModuleShapes(cairo_t* cr, double width, double height, const Frame& frame);

// What the screen showed at the end of `frames[index]`, on a context of
// kScreenWidth × kScreenHeight (scaled, for a smaller picture): the world
// view, the harness's caption and the module's shapes.
void DrawScreenOn(cairo_t* cr, const std::vector<Frame>& frames, size_t index,
                  const std::map<int32_t, Model>& models);

// Writes one PNG of it.
// Throws std::runtime_error when the file can't be written.
void DrawScreen(const std::vector<Frame>& frames, size_t index,
                const std::map<int32_t, Model>& models, const std::string& path);

// The route on a map, the recorded path, the rewound stretches, the resume
// points and the game speed over time.
void DrawOverview(const std::vector<Frame>& frames, const std::vector<Rewind>& rewinds,
                  const std::map<int32_t, Model>& models, const std::string& path);
