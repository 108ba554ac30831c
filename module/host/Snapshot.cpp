#include "host/Snapshot.h"

#include "host/CustomFiberThread.h"
#include "marks/MarkIndex.h"
#include "platform.h"
#include "state/History.h"
#include "state/RewindState.h"

static_assert(kMostVehicles == 8, "the snapshot has room for eight slots");

extern "C" QUORVAT_EXPORT void QuorvatReadSnapshot(QuorvatSnapshot* out) {
  // Exported, so anything that loads the DLL can call it.
  if (out == nullptr) return;
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
  out->historyBytes = static_cast<uint32_t>(HistoryMemory::bytesInUse);
  out->padEnabled = s.padEnabled;
  out->padButtons = s.pad.buttons;
  out->padLeftTrigger = s.pad.leftTrigger;
  out->padRightTrigger = s.pad.rightTrigger;
  out->secondsEnabled = s.secondsEnabled;
  out->frameMsCount = historySet.frameMsHist.SampleCount();
  out->holdEnabled = s.holdEnabled;
  out->recSeconds = s.recSeconds;
  out->frameMsTotal = historySet.frameMsTotal;
  out->markCount = s.markCount;
  for (int i = 0; i < 16; ++i) {
    out->markIndexes[i] = i < s.markCount ? static_cast<int32_t>(MarkIndex(s.marks[i])) : 0;
  }
  out->vehicleCount = s.vehicleCount;
  for (int i = 0; i < 8; ++i) out->vehicleSlots[i] = i < s.vehicleCount ? s.vehicleSlots[i] : 0;
  out->probeTurn = s.probeTurn;
  const WorldPartHistory& parts = historySet.worldParts;
  out->worldPartCount = parts.SampleCount();
  static_assert(kMostVehicles * kWordsPerSlot == 96, "the newest world part fits its room");
  const uint32_t kept = parts.SampleCount() != 0 ? parts.Slots() * kWordsPerSlot : 0;
  for (uint32_t word = 0; word < 96; ++word) {
    out->newestWorldPart[word] =
        word < kept ? parts.Word(0, word / kWordsPerSlot, word % kWordsPerSlot) : 0;
  }
}
