#include "Pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <stdexcept>

namespace {

constexpr double kPi = 3.14159265358979;
// Screens show the world around the player at this many pixels a metre.
constexpr double kScreenScale = 9.0;

struct Colour {
  double r, g, b;
};
constexpr Colour kGround = {0.36, 0.45, 0.33};
constexpr Colour kGrid = {0.42, 0.51, 0.39};
constexpr Colour kOwnCar = {0.18, 0.44, 0.82};
constexpr Colour kOtherCar = {0.62, 0.62, 0.66};
constexpr Colour kTraffic = {0.90, 0.55, 0.15};
constexpr Colour kCharacter = {0.98, 0.85, 0.20};
constexpr Colour kPath = {0.55, 0.80, 1.00};
constexpr Colour kVehiclePath = {1.00, 0.78, 0.45};
constexpr Colour kWreck = {0.30, 0.22, 0.20};
constexpr Colour kRewound = {0.90, 0.15, 0.15};
constexpr Colour kResume = {0.20, 0.85, 0.30};

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

void SetColour(cairo_t* cr, Colour c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// World to picture: `scale` pixels a metre, y up, (cx, cy) at (px, py).
struct View {
  double cx, cy, px, py, scale;
  double X(double x) const { return px + (x - cx) * scale; }
  double Y(double y) const { return py - (y - cy) * scale; }
};

// A scenario may put things at "nan" or "inf"; cairo would stop drawing
// altogether at the first such point, so they are left out.
bool Finite(Point3 p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

double YawDegrees(const Vehicle& v) {
  return 2.0 * std::atan2(v.rot[2], v.rot[3]) * 180.0 / kPi;
}

void Save(cairo_surface_t* surface, const std::string& path) {
  cairo_surface_flush(surface);
  if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(path + ": cannot write the picture");
  }
}

void Grid(cairo_t* cr, const View& v, double width, double height, double step) {
  SetColour(cr, kGrid);
  cairo_set_line_width(cr, 1);
  double left = v.cx - v.px / v.scale, right = v.cx + (width - v.px) / v.scale;
  double bottom = v.cy - (height - v.py) / v.scale, top = v.cy + v.py / v.scale;
  // A map stretched over absurd distances gets no grid rather than millions
  // of lines.
  if (!std::isfinite(left + right + bottom + top) || (right - left) / step > 1000 ||
      (top - bottom) / step > 1000) {
    return;
  }
  for (double x = std::floor(left / step) * step; x <= right; x += step) {
    cairo_move_to(cr, v.X(x), 0);
    cairo_line_to(cr, v.X(x), height);
  }
  for (double y = std::floor(bottom / step) * step; y <= top; y += step) {
    cairo_move_to(cr, 0, v.Y(y));
    cairo_line_to(cr, width, v.Y(y));
  }
  cairo_stroke(cr);
}

void DrawVehicle(cairo_t* cr, const View& view, int32_t handle, const Vehicle& v,
                 const std::map<int32_t, Model>& models, bool own, bool outline) {
  auto it = models.find(v.model);
  double halfW = 1.0, halfL = 2.3;
  if (it != models.end() && it->second.b.x > 0 && it->second.b.y > 0) {
    halfW = it->second.b.x;
    halfL = it->second.b.y;
  }
  if (!Finite(v.pos) || !std::isfinite(YawDegrees(v)) || !std::isfinite(halfW * halfL)) return;
  double s = view.scale;
  cairo_save(cr);
  cairo_translate(cr, view.X(v.pos.x), view.Y(v.pos.y));
  // A heading turns counter-clockwise on the map, which is clockwise-negative
  // for cairo with y pointing down.
  cairo_rotate(cr, -YawDegrees(v) * kPi / 180.0);
  cairo_rectangle(cr, -halfW * s, -halfL * s, 2 * halfW * s, 2 * halfL * s);
  Colour c = own ? kOwnCar : v.wrecked ? kWreck : (v.cruising ? kTraffic : kOtherCar);
  if (outline) {
    SetColour(cr, c, 0.6);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  } else {
    SetColour(cr, c);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    // The windscreen marks the front.
    cairo_set_source_rgba(cr, 0.85, 0.92, 1.0, 0.9);
    cairo_rectangle(cr, -halfW * s * 0.8, -halfL * s * 0.55, 1.6 * halfW * s, halfL * s * 0.3);
    cairo_fill(cr);
    if (v.wrecked) {
      cairo_set_source_rgb(cr, 0.95, 0.30, 0.15);
      cairo_set_line_width(cr, 2);
      cairo_move_to(cr, -halfW * s, -halfL * s);
      cairo_line_to(cr, halfW * s, halfL * s);
      cairo_move_to(cr, halfW * s, -halfL * s);
      cairo_line_to(cr, -halfW * s, halfL * s);
      cairo_stroke(cr);
    }
  }
  cairo_restore(cr);
  (void)handle;
}

void Character(cairo_t* cr, const View& view, const Frame& f) {
  if (!Finite(f.charPos) || !std::isfinite(f.heading)) return;
  double x = view.X(f.charPos.x), y = view.Y(f.charPos.y);
  double r = std::max(3.0, 0.5 * view.scale);
  double h = f.heading * kPi / 180.0;
  SetColour(cr, kCharacter);
  cairo_new_path(cr);
  cairo_arc(cr, x, y, r, 0, 2 * kPi);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_move_to(cr, x, y);
  cairo_line_to(cr, x - std::sin(h) * r * 2, y - std::cos(h) * r * 2);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
}

// The positions `at` gives for frames [from, to] (those it gives none for
// left out), as one line broken where the body jumped.
template <class At>
void Line(cairo_t* cr, const View& view, const std::vector<Frame>& frames, int64_t from, int64_t to,
          At at) {
  bool drawing = false;
  Point3 last{};
  for (const Frame& f : frames) {
    if (f.frame < from || f.frame > to) continue;
    const Point3* p = at(f);
    if (p == nullptr) continue;
    if (!Finite(*p)) {
      drawing = false;
      continue;
    }
    double jump = std::hypot(p->x - last.x, p->y - last.y);
    if (drawing && jump < 8.0) {
      cairo_line_to(cr, view.X(p->x), view.Y(p->y));
    } else {
      cairo_move_to(cr, view.X(p->x), view.Y(p->y));
    }
    drawing = true;
    last = *p;
  }
  cairo_stroke(cr);
}

// The player's path over frames [from, to]: all of it, or what the module
// recorded.
void Path(cairo_t* cr, const View& view, const std::vector<Frame>& frames, int64_t from, int64_t to,
          bool recordedOnly) {
  Line(cr, view, frames, from, to, [recordedOnly](const Frame& f) {
    return recordedOnly && !f.recorded ? nullptr : &f.bodyPos;
  });
}

// Where the module recorded the vehicle `handle` in frames [from, to].
void VehiclePath(cairo_t* cr, const View& view, const std::vector<Frame>& frames, int32_t handle,
                 int64_t from, int64_t to) {
  Line(cr, view, frames, from, to, [handle](const Frame& f) -> const Point3* {
    if (!f.recorded) return nullptr;
    auto it = f.vehicles.find(handle);
    return it != f.vehicles.end() && it->second.followed ? &it->second.pos : nullptr;
  });
}

// The vehicles the module followed in any frame up to `to`.
std::set<int32_t> FollowedUpTo(const std::vector<Frame>& frames, int64_t to) {
  std::set<int32_t> handles;
  for (const Frame& f : frames) {
    if (f.frame > to) break;
    for (const auto& [handle, v] : f.vehicles) {
      if (v.followed) handles.insert(handle);
    }
  }
  return handles;
}

void Label(cairo_t* cr, double x, double y, const std::string& text, double size,
           Colour c = {1, 1, 1}) {
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
  SetColour(cr, c);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

std::string Fixed(double value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

Context NewContext(cairo_surface_t* surface) {
  return Context(cairo_create(surface), &cairo_destroy);
}

}  // namespace

void DrawWorldView(cairo_t* cr, double width, double height, const std::vector<Frame>& frames,
                   size_t index, const std::map<int32_t, Model>& models) {
  const Frame& f = frames.at(index);
  Point3 centre = Finite(f.bodyPos) ? f.bodyPos : Point3{};
  View view{centre.x, centre.y, width / 2, height / 2, kScreenScale * width / kScreenWidth};
  SetColour(cr, kGround);
  cairo_paint(cr);
  Grid(cr, view, width, height, 10);

  SetColour(cr, kVehiclePath, 0.8);
  cairo_set_line_width(cr, 1.5);
  for (int32_t handle : FollowedUpTo(frames, f.frame)) {
    VehiclePath(cr, view, frames, handle, 0, f.frame);
  }
  SetColour(cr, kPath, 0.9);
  cairo_set_line_width(cr, 2);
  Path(cr, view, frames, 0, f.frame, true);

  for (const auto& [handle, v] : f.vehicles) {
    DrawVehicle(cr, view, handle, v, models, f.inVehicle && handle == f.vehicle, false);
  }
  if (!f.inVehicle) Character(cr, view, f);
}

void DrawModuleShapes(cairo_t* cr, double width, double height, const Frame& f) {
  for (const RectRecord& r : f.rects) {
    if (!std::isfinite(r.cx + r.cy + r.w + r.h)) continue;
    cairo_set_source_rgba(cr, r.r / 255.0, r.g / 255.0, r.b / 255.0, r.a / 255.0);
    cairo_rectangle(cr, (r.cx - r.w / 2.0) * width, (r.cy - r.h / 2.0) * height, r.w * width,
                    r.h * height);
    cairo_fill(cr);
  }
  for (const Text& t : f.texts) {
    if (std::isfinite(t.x + t.y)) Label(cr, t.x * width, t.y * height, t.text, height * 0.045);
  }
}

void DrawScreenOn(cairo_t* cr, const std::vector<Frame>& frames, size_t index,
                  const std::map<int32_t, Model>& models) {
  const Frame& f = frames.at(index);
  const double W = kScreenWidth, H = kScreenHeight;
  DrawWorldView(cr, W, H, frames, index, models);

  // Our own caption, under whatever the module draws.
  std::string caption = "frame " + std::to_string(f.frame) + "   game speed " +
                        Fixed(f.gameSpeed, 2) + (f.overlay ? "   rewinding" : "");
  cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
  cairo_rectangle(cr, 8, H * 0.13, 14 + 7.2 * caption.size(), 22);
  cairo_fill(cr);
  Label(cr, 14, H * 0.13 + 16, caption, 13);

  DrawModuleShapes(cr, W, H, f);
}

void DrawScreen(const std::vector<Frame>& frames, size_t index,
                const std::map<int32_t, Model>& models, const std::string& path) {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kScreenWidth, kScreenHeight),
                  &cairo_surface_destroy);
  Context owner = NewContext(surface.get());
  DrawScreenOn(owner.get(), frames, index, models);
  Save(surface.get(), path);
}

void DrawOverview(const std::vector<Frame>& frames, const std::vector<Rewind>& rewinds,
                  const std::map<int32_t, Model>& models, const std::string& path) {
  const double W = kOverviewWidth;
  const double mapHeight = 440, plotTop = 470, plotHeight = 140;
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kOverviewWidth, kOverviewHeight),
                  &cairo_surface_destroy);
  Context owner = NewContext(surface.get());
  cairo_t* cr = owner.get();
  cairo_set_source_rgb(cr, 0.12, 0.13, 0.15);
  cairo_paint(cr);

  // The map: everything the player and the vehicles went through.
  double minX = 1e30, maxX = -1e30, minY = 1e30, maxY = -1e30;
  auto take = [&](Point3 p) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
    minX = std::min(minX, static_cast<double>(p.x));
    maxX = std::max(maxX, static_cast<double>(p.x));
    minY = std::min(minY, static_cast<double>(p.y));
    maxY = std::max(maxY, static_cast<double>(p.y));
  };
  for (const Frame& f : frames) {
    take(f.bodyPos);
    for (const auto& [handle, v] : f.vehicles) {
      if (v.followed) take(v.pos);
    }
  }
  for (const auto& [handle, v] : frames.front().vehicles) take(v.pos);
  if (minX > maxX) minX = maxX = minY = maxY = 0;
  double margin = 8;
  double scale = std::min((W - 40) / (maxX - minX + 2 * margin),
                          (mapHeight - 40) / (maxY - minY + 2 * margin));
  scale = std::min(scale, 20.0);
  View view{(minX + maxX) / 2, (minY + maxY) / 2, W / 2, 20 + (mapHeight - 20) / 2, scale};

  cairo_save(cr);
  cairo_rectangle(cr, 0, 20, W, mapHeight - 20);
  cairo_clip(cr);
  SetColour(cr, kGround);
  cairo_paint(cr);
  Grid(cr, view, W, mapHeight, 10);
  for (const auto& [handle, v] : frames.front().vehicles) {
    DrawVehicle(cr, view, handle, v, models, false, true);
  }
  const Frame& last = frames.back();
  for (const auto& [handle, v] : last.vehicles) {
    DrawVehicle(cr, view, handle, v, models, last.inVehicle && handle == last.vehicle, false);
  }
  // Where the player went, then what was recorded, then what was rewound.
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_source_rgba(cr, 0.1, 0.1, 0.1, 0.5);
  cairo_set_line_width(cr, 5);
  Path(cr, view, frames, 0, last.frame, false);
  // The vehicles around the player the module followed, each with its own
  // rewound stretches, thinner than the player's.
  const std::set<int32_t> followed = FollowedUpTo(frames, last.frame);
  SetColour(cr, kVehiclePath, 0.9);
  cairo_set_line_width(cr, 1.5);
  for (int32_t handle : followed) VehiclePath(cr, view, frames, handle, 0, last.frame);
  SetColour(cr, kPath);
  cairo_set_line_width(cr, 2);
  Path(cr, view, frames, 0, last.frame, true);
  for (const Rewind& r : rewinds) {
    if (r.scrubbedFrame < 0) continue;
    SetColour(cr, kRewound, 0.85);
    cairo_set_line_width(cr, 3);
    for (int32_t handle : followed) {
      VehiclePath(cr, view, frames, handle, r.scrubbedFrame, r.enterFrame - 1);
    }
    cairo_set_line_width(cr, 5);
    Path(cr, view, frames, r.scrubbedFrame, r.enterFrame - 1, true);
  }
  int n = 0;
  for (const Rewind& r : rewinds) {
    ++n;
    if (!Finite(r.enterPos) || !Finite(r.restoredPos)) continue;
    SetColour(cr, kRewound);
    cairo_new_path(cr);
    cairo_arc(cr, view.X(r.enterPos.x), view.Y(r.enterPos.y), 5, 0, 2 * kPi);
    cairo_fill(cr);
    Label(cr, view.X(r.enterPos.x) + 6, view.Y(r.enterPos.y) - 8, "F7 #" + std::to_string(n), 12,
          kRewound);
    if (r.leaveFrame < 0) continue;
    SetColour(cr, kResume);
    cairo_new_path(cr);
    cairo_arc(cr, view.X(r.restoredPos.x), view.Y(r.restoredPos.y), 5, 0, 2 * kPi);
    cairo_fill(cr);
    Label(cr, view.X(r.restoredPos.x) + 6, view.Y(r.restoredPos.y) + 16,
          "resume #" + std::to_string(n), 12, kResume);
  }
  if (!last.inVehicle) Character(cr, view, last);
  cairo_restore(cr);

  Label(cr, 10, 15,
        "Route (dark), recorded path (blue; vehicles around: orange), rewound (red), resume "
        "(green)",
        12);
  Label(cr, W - 150, 15, "grid: 10 m", 12, {0.7, 0.7, 0.7});

  // Game speed over time.
  int64_t count = static_cast<int64_t>(frames.size());
  auto px = [&](double frame) { return 50 + frame * (W - 70) / std::max<int64_t>(count, 1); };
  auto py = [&](double speed) { return plotTop + plotHeight / 2 - speed * plotHeight / 2.4; };
  for (const Frame& f : frames) {
    if (f.overlay) {
      cairo_set_source_rgba(cr, 0.9, 0.15, 0.15, 0.18);
      cairo_rectangle(cr, px(f.frame), plotTop, px(f.frame + 1) - px(f.frame), plotHeight);
      cairo_fill(cr);
    }
  }
  cairo_set_source_rgb(cr, 0.45, 0.45, 0.5);
  cairo_set_line_width(cr, 1);
  for (double s : {-1.0, 0.0, 1.0}) {
    cairo_move_to(cr, px(0), py(s));
    cairo_line_to(cr, px(count), py(s));
    Label(cr, 8, py(s) + 4, Fixed(s, 1), 11, {0.75, 0.75, 0.8});
  }
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 1.0, 0.85, 0.3);
  cairo_set_line_width(cr, 2);
  for (const Frame& f : frames) {
    double s = std::isfinite(f.gameSpeed) ? std::clamp(f.gameSpeed, -1.2f, 1.2f) : 0.0;
    if (f.frame == 0) {
      cairo_move_to(cr, px(0), py(s));
    } else {
      cairo_line_to(cr, px(f.frame), py(s));
    }
  }
  cairo_stroke(cr);
  Label(cr, 50, plotTop - 6,
        "Game speed by frame (shaded: rewinding; after a resume it ramps up from 0)", 12);
  for (int64_t tick = 0; tick <= count; tick += count > 600 ? 100 : 50) {
    Label(cr, px(tick) - 8, plotTop + plotHeight + 16, std::to_string(tick), 10, {0.75, 0.75, 0.8});
  }
  Save(surface.get(), path);
}
