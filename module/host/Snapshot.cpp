#include "host/Snapshot.h"

#include "host/CustomFiberThread.h"
#include "platform.h"
#include "state/History.h"
#include "state/RewindState.h"

extern "C" QUORVAT_EXPORT void QuorvatReadSnapshot(QuorvatSnapshot* out) {
  const RewindState& s = rewindState;
  out->rewinding = s.rewinding;
  out->playIndex = s.playIndex;
  out->playLength = s.playLength;
  out->timeScaleRamp = s.timeScaleRamp;
  out->letterboxHeight = s.letterboxHeight;
  out->settleFrames = s.settleFrames;
  out->cursorIdleFrames = s.cursorIdleFrames;
  out->frameCount = s.frameCount;
  out->recSize = s.recSize;
  out->pushMode = s.pushMode;
  out->enableKey = scriptThread.enableKey;
  out->charValue = s.charValue;
  out->buildStamp = s.buildStamp;
  HistoryCounts(out->historyCounts);
  out->sampleCount = out->historyCounts[0];
  for (uint32_t count : out->historyCounts) {
    if (count != out->sampleCount) out->sampleCount = historySet.posX.SampleCount();
  }
  out->historyBytes = static_cast<uint32_t>(HistoryMemory::bytesInUse);
  out->padEnabled = s.padEnabled;
  out->padButtons = s.pad.buttons;
  out->padLeftTrigger = s.pad.leftTrigger;
  out->padRightTrigger = s.pad.rightTrigger;
}
