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

// How much of the run the animation shows before the rewind, and at most in
// all; and how long a shot lasts at least (a GIF's viewers stretch those
// shorter than a fiftieth of a second).
constexpr uint64_t kLeadInUs = 1000 * 1000;
constexpr uint64_t kLongestUs = 20 * 1000 * 1000;
constexpr uint64_t kShortestShotUs = 50 * 1000;

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

AnimationChoice ChooseAnimation(const std::vector<LiveFrame>& frames,
                                const std::vector<RewindSummary>& rewinds,
                                const std::vector<uint32_t>& frameUs) {
  AnimationChoice choice;
  const int64_t count = static_cast<int64_t>(std::min(frames.size(), frameUs.size()));
  if (rewinds.empty() || rewinds[0].enterFrame < 0 || rewinds[0].enterFrame >= count) {
    return choice;
  }
  const RewindSummary& r = rewinds[0];
  auto length = [&](int64_t n) { return uint64_t{frameUs[static_cast<size_t>(n)]}; };
  int64_t first = r.enterFrame;
  for (uint64_t before = 0; first > 0 && before < kLeadInUs; before += length(first)) --first;
  // The ramp climbs in every recorded frame after the resume: it has ended
  // at a recorded frame whose game speed stood still. A run that ends or
  // rewinds again before that ends the animation there.
  int64_t last = count - 1;
  if (r.leaveFrame >= 0) {
    int64_t next = rewinds.size() > 1 ? rewinds[1].enterFrame : count;
    last = std::min(next, count) - 1;
    int64_t top = r.leaveFrame;
    for (int64_t n = r.leaveFrame + 1; n <= last; ++n) {
      const LiveFrame& f = frames[static_cast<size_t>(n)];
      if (f.gameSpeed > frames[static_cast<size_t>(top)].gameSpeed) {
        top = n;
      } else if (f.recorded) {
        break;
      }
    }
    last = std::min(last, top);
  }
  uint64_t all = 0;
  for (int64_t n = first; n <= last; ++n) {
    if (all + length(n) > kLongestUs && n > first) {
      last = n - 1;
      break;
    }
    all += length(n);
  }
  int64_t step = 1;
  if (length(r.enterFrame) > 0) {
    step =
        static_cast<int64_t>((kShortestShotUs + length(r.enterFrame) - 1) / length(r.enterFrame));
  }
  step = std::clamp<int64_t>(step, 1, 8);

  choice.firstFrame = first;
  choice.lastFrame = last;
  for (int64_t n = first; n <= last; n += step) {
    AnimationShot shot{n, 0};
    for (int64_t k = n; k < n + step && k <= last; ++k) {
      shot.lengthUs += frameUs[static_cast<size_t>(k)];
    }
    choice.lengthUs += shot.lengthUs;
    choice.shots.push_back(shot);
  }
  return choice;
}

void DrawPictures(const std::vector<LiveFrame>& frames, const std::vector<RewindSummary>& rewinds,
                  const std::map<int32_t, ScriptedModel>& models,
                  const std::vector<PictureRequest>& pictures, const AnimationChoice& animation,
                  const std::string& animationPath) {
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
  if (!animation.shots.empty()) {
    body.clear();
    Append(body, AnimationRecord{static_cast<uint32_t>(animation.shots.size()), kAnimationWidth,
                                 kAnimationHeight, static_cast<uint32_t>(animationPath.size())});
    for (const AnimationShot& shot : animation.shots) {
      Append(body, AnimationFrameRecord{shot.frameIndex, shot.lengthUs, 0});
    }
    body += animationPath;
    screen.Send(kAnimation, body);
  }
  screen.Send(kEnd, "");
  std::string error = screen.Receive(kDone, kPicturesTimeoutMs);
  if (!error.empty()) throw RunError(error);
}
