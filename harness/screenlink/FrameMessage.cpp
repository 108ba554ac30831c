#include "screenlink/FrameMessage.h"

#include <algorithm>

#include "screenlink/ScreenLink.h"

namespace {

void Put(float (&to)[3], Vec3f from) {
  to[0] = from.x;
  to[1] = from.y;
  to[2] = from.z;
}

}  // namespace

void AppendFrame(std::string& body, const LiveFrame& f) {
  FrameRecord r{};
  r.frame = f.frame;
  r.gameSpeed = f.gameSpeed;
  Put(r.charPos, f.charPos);
  r.heading = f.heading;
  Put(r.bodyPos, f.bodyPos);
  r.vehicle = f.vehicle;
  r.inVehicle = f.inVehicle;
  r.overlay = f.overlay;
  r.recorded = f.recorded;
  r.vehicles = static_cast<uint32_t>(f.vehicles.size());
  r.rects = static_cast<uint32_t>(f.rects.size());
  r.texts = static_cast<uint32_t>(f.texts.size());
  Append(body, r);
  const std::vector<int32_t> followed = FollowedVehicles(f);
  for (const auto& [handle, v] : f.vehicles) {
    VehicleRecord out{};
    out.handle = handle;
    out.model = v.model;
    Put(out.pos, v.pos);
    for (int k = 0; k < 4; ++k) out.rot[k] = v.rot[k];
    out.cruising = v.Driving();
    out.wrecked = v.Wrecked();
    out.followed = std::find(followed.begin(), followed.end(), handle) != followed.end();
    Append(body, out);
  }
  for (const ScreenRect& rect : f.rects) {
    Append(body, RectRecord{rect.cx, rect.cy, rect.w, rect.h, rect.r, rect.g, rect.b, rect.a});
  }
  for (const ScreenText& t : f.texts) {
    Append(body, TextRecord{t.x, t.y, static_cast<uint32_t>(t.text.size())});
    body += t.text;
  }
}

std::string ModelsBody(const std::map<int32_t, ScriptedModel>& models) {
  std::string body;
  for (const auto& [model, m] : models) {
    ModelRecord r{};
    r.model = model;
    Put(r.a, m.a);
    Put(r.b, m.b);
    Append(body, r);
  }
  return body;
}
