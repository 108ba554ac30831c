#include "overlay/Overlay.h"

#include "host/Natives.h"
#include "marks/MarkTicks.h"
#include "overlay/SecondsLabel.h"
#include "platform.h"
#include "state/History.h"
#include "state/RewindState.h"

namespace {
constexpr float kUnsettledHeight = 0.1f;  // right after a recorded value was applied
constexpr float kSettledHeight = 0.2f;
constexpr int32_t kSettleLimit = 200;
constexpr int32_t kCursorActiveFrames = 30;
constexpr double kEasing = 20.0;
constexpr float kTimelineRight = 0.6f;

float EaseToward(float height, float target) {
  return static_cast<float>(static_cast<double>(height) +
                            (static_cast<double>(target) - static_cast<double>(height)) / kEasing);
}

// Full-width bars centred on the top and bottom edges: half of each shows.
void DrawBars(float height) {
  DrawScreenRect(0.5f, 0.0f, 1.0f, height, 0, 0, 0);
  DrawScreenRect(0.5f, 1.0f, 1.0f, height, 0, 0, 0);
}

void WatchCursor(RewindState& s) {
  // A position that can't be read stays as it was and counts as no move.
  GetCursorPos(&s.cursorPos);
  if (s.cursorPos.x != s.lastCursorPos.x || s.cursorPos.y != s.lastCursorPos.y) {
    s.lastCursorPos = s.cursorPos;
    CueRewindActivity();
    s.cursorIdleFrames = 1;
    CueRewindActivity();
  } else if (s.cursorIdleFrames < kCursorActiveFrames) {
    s.cursorIdleFrames += 1;
    CueRewindActivity();
  }
}
}  // namespace

void DrawRewindOverlay() {
  RewindState& s = rewindState;
  WatchCursor(s);

  float target = kUnsettledHeight;
  if (s.settleFrames > kSettleLimit) {
    CueRewindSettled();
    target = kSettledHeight;
  } else {
    s.settleFrames += 1;
  }
  s.letterboxHeight = EaseToward(s.letterboxHeight, target);

  CueOverlayFrame();
  const float height = s.letterboxHeight;
  DrawBars(height);

  // The timeline rides just above the bottom bar. The fill ends at the
  // track's right end and reaches left by a fifth of the way back in time.
  const float lineY = static_cast<float>(1.0 - static_cast<double>(height) / 1.5);
  DrawScreenRect(0.5f, lineY, 0.2f, 0.01f, 255, 255, 255);
  const double back =
      static_cast<double>(s.playIndex) / static_cast<double>(historySet.posX.SampleCount()) / 5.0;
  DrawScreenRect(static_cast<float>(static_cast<double>(kTimelineRight) - back / 2.0), lineY,
                 static_cast<float>(back), 0.01f, 100, 100, 100);
  DrawMarkTicks(lineY);
  if (s.secondsEnabled != 0) DrawSecondsLabel(lineY);
}

void FadeLetterbox() {
  RewindState& s = rewindState;
  s.letterboxHeight = EaseToward(s.letterboxHeight, 0.0f);
  DrawBars(s.letterboxHeight);
}
