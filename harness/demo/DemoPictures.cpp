#include "demo/DemoPictures.h"

#include <algorithm>
#include <cstdio>

#include "run/RunError.h"
#include "screenlink/FrameMessage.h"
#include "screenlink/ScreenLink.h"

namespace {

// Drawing the pictures takes the screen well under a second; this is for a
// screen that has stopped.
constexpr int kPicturesTimeoutMs = 120 * 1000;

}  // namespace

std::vector<PictureMoment> ChooseMoments(const std::vector<LiveFrame>& frames,
                                         const std::vector<RewindSummary>& rewinds) {
  std::vector<PictureMoment> moments;
  int64_t count = static_cast<int64_t>(frames.size());
  auto add = [&](int64_t frame, const std::string& what) {
    if (frame < 0 || frame >= count) return;
    for (const PictureMoment& m : moments) {
      if (m.frame == frame) return;
    }
    char name[64];
    std::snprintf(name, sizeof name, "screen-%04lld-%s.png", static_cast<long long>(frame),
                  what.c_str());
    moments.push_back({frame, name});
  };
  add(std::min<int64_t>(60, count - 1), "start");
  int n = 0;
  for (const RewindSummary& r : rewinds) {
    if (++n > 3) break;
    std::string tag = "rewind" + std::to_string(n);
    int64_t end = r.leaveFrame >= 0 ? r.leaveFrame : count;
    add(std::min(r.enterFrame + 12, end - 1), tag + "-begins");
    add(r.deepestFrame, tag + "-furthest");
    if (r.leaveFrame >= 0) add(r.leaveFrame + 25, tag + "-resumed");
  }
  std::sort(moments.begin(), moments.end(),
            [](const PictureMoment& a, const PictureMoment& b) { return a.frame < b.frame; });
  return moments;
}

void DrawPictures(const std::vector<LiveFrame>& frames, const std::vector<RewindSummary>& rewinds,
                  const std::map<int32_t, ScriptedModel>& models,
                  const std::vector<PictureRequest>& pictures) {
  ScreenLink screen({"pictures"});
  screen.Send(kModel, ModelsBody(models));
  std::string body;
  for (const LiveFrame& f : frames) {
    body.clear();
    AppendFrame(body, f);
    screen.Send(kFrame, body);
  }
  for (const RewindSummary& r : rewinds) {
    RewindRecord out{};
    out.enterFrame = r.enterFrame;
    out.leaveFrame = r.leaveFrame;
    out.scrubbedFrame = r.scrubbedFrame;
    out.enterPos[0] = r.enterPos.x;
    out.enterPos[1] = r.enterPos.y;
    out.enterPos[2] = r.enterPos.z;
    out.restoredPos[0] = r.restoredPos.x;
    out.restoredPos[1] = r.restoredPos.y;
    out.restoredPos[2] = r.restoredPos.z;
    body.clear();
    Append(body, out);
    screen.Send(kRewind, body);
  }
  for (const PictureRequest& p : pictures) {
    body.clear();
    Append(body, PictureRecord{p.frameIndex, static_cast<uint32_t>(p.path.size())});
    body += p.path;
    screen.Send(kPicture, body);
  }
  screen.Send(kEnd, "");
  std::string error = screen.Receive(kDone, kPicturesTimeoutMs);
  if (!error.empty()) throw RunError(error);
}
