#include "world/Traffic.h"

#include <cmath>

namespace {

// How far ahead of its nearest point on the way a driver aims, metres.
constexpr float kLookAhead = 8.0f;

struct Flat {
  double x, y;
};

Vec3f Toward(Vec3f from, Flat to) {
  double dx = to.x - from.x, dy = to.y - from.y;
  double length = std::hypot(dx, dy);
  if (!(length > 1e-6)) return {};
  return {static_cast<float>(dx / length), static_cast<float>(dy / length), 0};
}

Vec3f LaneHeading(const TrafficWay& way, Vec3f pos) {
  Flat a{way.points[0].x, way.points[0].y};
  double ux = way.points[1].x - a.x, uy = way.points[1].y - a.y;
  double length = std::hypot(ux, uy);
  if (!(length > 1e-6) || !std::isfinite(length)) return {};
  ux /= length;
  uy /= length;
  double along = (pos.x - a.x) * ux + (pos.y - a.y) * uy + kLookAhead;
  return Toward(pos, {a.x + ux * along, a.y + uy * along});
}

Vec3f LoopHeading(const TrafficWay& way, Vec3f pos) {
  const size_t n = way.points.size();
  auto point = [&](size_t i) { return Flat{way.points[i % n].x, way.points[i % n].y}; };
  // The nearest point of the loop, as a segment and a distance along it.
  size_t nearest = n;
  double best = 0, bestAlong = 0;
  for (size_t i = 0; i < n; ++i) {
    Flat a = point(i), b = point(i + 1);
    double sx = b.x - a.x, sy = b.y - a.y;
    double length = std::hypot(sx, sy);
    if (!(length > 1e-6) || !std::isfinite(length)) continue;
    double along = ((pos.x - a.x) * sx + (pos.y - a.y) * sy) / length;
    along = std::fmin(std::fmax(along, 0.0), length);
    double d = std::hypot(a.x + sx / length * along - pos.x, a.y + sy / length * along - pos.y);
    if (nearest == n || d < best) {
      nearest = i;
      best = d;
      bestAlong = along;
    }
  }
  if (nearest == n) return {};
  // Then on round the loop by the look-ahead.
  double left = kLookAhead;
  size_t i = nearest;
  double along = bestAlong;
  for (size_t steps = 0; steps <= n; ++steps, ++i, along = 0) {
    Flat a = point(i), b = point(i + 1);
    double length = std::hypot(b.x - a.x, b.y - a.y);
    if (along + left <= length) {
      double t = length > 0 ? (along + left) / length : 0;
      return Toward(pos, {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
    }
    if (std::isfinite(length)) left -= length - along;
  }
  return Toward(pos, point(nearest + 1));
}

struct Axes {
  Flat right, forward;
};

Axes AxesOf(const Footprint& f) {
  double s = std::sin(f.yaw), c = std::cos(f.yaw);
  return {{c, s}, {-s, c}};
}

// Half the footprint's extent along the unit `axis`.
double Reach(const Footprint& f, const Axes& a, Flat axis) {
  return f.halfWidth * std::fabs(a.right.x * axis.x + a.right.y * axis.y) +
         f.halfLength * std::fabs(a.forward.x * axis.x + a.forward.y * axis.y);
}

}  // namespace

Vec3f TrafficHeading(const TrafficWay& way, Vec3f pos) {
  if (!std::isfinite(pos.x) || !std::isfinite(pos.y) || way.points.size() < 2) return {};
  return way.loop ? LoopHeading(way, pos) : LaneHeading(way, pos);
}

std::optional<Contact> Overlap(const Footprint& a, const Footprint& b) {
  const Axes aa = AxesOf(a), ba = AxesOf(b);
  const Flat gap{static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y};
  if (!std::isfinite(gap.x) || !std::isfinite(gap.y)) return std::nullopt;
  std::optional<Contact> least;
  for (Flat axis : {aa.right, aa.forward, ba.right, ba.forward}) {
    double d = gap.x * axis.x + gap.y * axis.y;
    double depth = Reach(a, aa, axis) + Reach(b, ba, axis) - std::fabs(d);
    if (!(depth > 0)) return std::nullopt;
    if (!least || depth < least->depth) {
      double sign = d < 0 ? -1 : 1;
      least = Contact{{static_cast<float>(axis.x * sign), static_cast<float>(axis.y * sign), 0},
                      static_cast<float>(depth)};
    }
  }
  return least;
}
