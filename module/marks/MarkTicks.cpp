#include "marks/MarkTicks.h"

#include "host/Natives.h"
#include "marks/MarkIndex.h"
#include "state/History.h"
#include "state/RewindState.h"

namespace {
// The timeline's right end, as the fill computes it.
constexpr float kTimelineRight = 0.6f;
}  // namespace

void DrawMarkTicks(float lineY) {
  const RewindState& s = rewindState;
  const double samples = static_cast<double>(historySet.posX.SampleCount());
  for (int i = 0; i < s.markCount; ++i) {
    // The fill's arithmetic, so a tick and the fill's end meet exactly.
    const double back = static_cast<double>(MarkIndex(s.marks[i])) / samples / 5.0;
    DrawScreenRect(static_cast<float>(static_cast<double>(kTimelineRight) - back), lineY, 0.004f,
                   0.03f, 255, 200, 0);
  }
}
