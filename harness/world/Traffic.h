// How the live world's traffic drives and what a crash does to it. A driver
// looks for the nearest point of its way and steers toward a point a little
// further along, so one put down anywhere (by a rewind, say) drives on from
// there without remembering where it had got to.
#pragma once

#include <optional>
#include <vector>

#include "formats/Scenario.h"

struct TrafficWay {
  // A closed loop through the points when `loop`; otherwise a lane, the
  // line through the first two points, endless both ways.
  std::vector<RoutePoint> points;
  bool loop = false;
};

// Where a driver at `pos` wants to head along `way`: a unit vector in the
// ground's plane, or zero when the way gives none (a point, no points, a
// position that is not a number).
Vec3f TrafficHeading(const TrafficWay& way, Vec3f pos);

// A vehicle's footprint on the ground: the centre, the half width and half
// length, and the heading in radians (0 facing +y, counter-clockwise).
struct Footprint {
  float x, y, halfWidth, halfLength, yaw;
};

struct Contact {
  Vec3f normal;  // unit, in the plane, from the first footprint toward the second
  float depth;   // how far they overlap along it
};

// Where two footprints overlap, the least way to part them; none when they
// don't touch.
std::optional<Contact> Overlap(const Footprint& a, const Footprint& b);
