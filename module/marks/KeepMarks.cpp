#include "marks/KeepMarks.h"

#include "log/SupportLog.h"
#include "marks/MarkIndex.h"
#include "state/History.h"
#include "state/RewindState.h"

namespace {

void RemoveMark(RewindState& s, int at) {
  for (int i = at; i + 1 < s.markCount; ++i) s.marks[i] = s.marks[i + 1];
  s.markCount = static_cast<uint8_t>(s.markCount - 1);
}

// The newest sample, marked last (the list stays oldest first).
void MarkNewestSample(RewindState& s) {
  const HistorySet& h = historySet;
  s.marks[s.markCount] = {h.samplesPushed, h.frameMsPushed};
  s.markCount = static_cast<uint8_t>(s.markCount + 1);
}

// The mark on the sample play resumed from, which this frame's push has
// moved one index older; -1 when there is none.
int MarkResumedFrom(const RewindState& s) {
  const uint64_t index = static_cast<uint64_t>(s.playIndex) + 1;
  for (int i = 0; i < s.markCount; ++i) {
    if (MarkIndex(s.marks[i]) == index) return i;
  }
  return -1;
}

}  // namespace

void KeepMarks(bool markPressed, bool leftRewind) {
  RewindState& s = rewindState;
  // Looked for before the trims: the resumed state takes the mark over even
  // when a trim took its sample, so that retries never age it out.
  const int resumed = leftRewind ? MarkResumedFrom(s) : -1;
  if (resumed >= 0) RemoveMark(s, resumed);

  // Trims take the oldest samples, and the oldest marks with them.
  const uint32_t count = historySet.posX.SampleCount();
  int trimmed = 0;
  while (trimmed < s.markCount && MarkIndex(s.marks[trimmed]) >= count) ++trimmed;
  for (int i = trimmed; i < s.markCount; ++i) s.marks[i - trimmed] = s.marks[i];
  s.markCount = static_cast<uint8_t>(s.markCount - trimmed);

  if (resumed >= 0) {
    // Already marked: a press in this frame adds nothing, and says nothing.
    MarkNewestSample(s);
    return;
  }
  if (!markPressed) return;
  if (s.markCount == kMostMarks) RemoveMark(s, 0);
  MarkNewestSample(s);
  if (s.logEnabled != 0) LogMark();
}
