#include "Frames.h"

#include "Channel.h"

namespace {

Point3 PointOf(const float (&p)[3]) {
  return {p[0], p[1], p[2]};
}

}  // namespace

Frame ReadFrame(BodyReader& body) {
  auto r = body.Take<FrameRecord>();
  Frame f;
  f.frame = r.frame;
  f.gameSpeed = r.gameSpeed;
  f.charPos = PointOf(r.charPos);
  f.heading = r.heading;
  f.bodyPos = PointOf(r.bodyPos);
  f.vehicle = r.vehicle;
  f.inVehicle = r.inVehicle != 0;
  f.overlay = r.overlay != 0;
  f.recorded = r.recorded != 0;
  for (uint32_t i = 0; i < r.vehicles; ++i) {
    auto v = body.Take<VehicleRecord>();
    Vehicle& to = f.vehicles[v.handle];
    to.pos = PointOf(v.pos);
    for (int k = 0; k < 4; ++k) to.rot[k] = v.rot[k];
    to.model = v.model;
    to.cruising = v.cruising != 0;
    to.wrecked = v.wrecked != 0;
    to.followed = v.followed != 0;
  }
  for (uint32_t i = 0; i < r.rects; ++i) f.rects.push_back(body.Take<RectRecord>());
  for (uint32_t i = 0; i < r.texts; ++i) {
    auto t = body.Take<TextRecord>();
    f.texts.push_back({t.x, t.y, body.TakeText(t.length)});
  }
  return f;
}

std::map<int32_t, Model> ReadModels(const std::string& text) {
  BodyReader body(text);
  std::map<int32_t, Model> models;
  while (!body.AtEnd()) {
    auto m = body.Take<ModelRecord>();
    models[m.model] = {PointOf(m.a), PointOf(m.b)};
  }
  return models;
}

Rewind ReadRewind(const std::string& text) {
  BodyReader body(text);
  auto r = body.Take<RewindRecord>();
  return {r.enterFrame, r.leaveFrame, r.scrubbedFrame, PointOf(r.enterPos), PointOf(r.restoredPos)};
}
