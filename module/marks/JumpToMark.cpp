#include "marks/JumpToMark.h"

#include "host/Natives.h"
#include "log/SupportLog.h"
#include "marks/MarkIndex.h"
#include "state/History.h"
#include "state/RewindState.h"

void JumpToMark() {
  RewindState& s = rewindState;
  if (s.markCount == 0) return;
  // Oldest first: the last mark older than the scrub position is the
  // nearest one; with none, the newest mark of all.
  int to = s.markCount - 1;
  for (int i = 0; i < s.markCount; ++i) {
    if (MarkIndex(s.marks[i]) > static_cast<uint64_t>(s.playIndex)) to = i;
  }
  const Mark& mark = s.marks[to];
  // Nothing is recorded while rewinding, so every kept mark lies inside the
  // timeline, and the label's sum is the milliseconds pushed since the mark.
  s.playIndex = static_cast<int32_t>(MarkIndex(mark));
  if (FrameClockOn(s)) s.scrubBackMs = historySet.frameMsPushed - mark.msPushed;
  CueRewindActivity();
  if (s.holdEnabled != 0) s.markPinned = 1;
  if (s.logEnabled != 0) LogJump();
}
