#include "state/History.h"

std::size_t HistoryMemory::bytesInUse = 0;
#if defined(QUORVAT_ALLOCATION_FAILURE_HOOK)
bool (*HistoryMemory::failHook)(std::size_t) = nullptr;
#endif

void TrimHistories() {
  HistorySet& h = historySet;
  h.posX.PopOldest();
  h.posY.PopOldest();
  h.posZ.PopOldest();
  h.velX.PopOldest();
  h.velY.PopOldest();
  h.velZ.PopOldest();
  h.rotX.PopOldest();
  h.rotY.PopOldest();
  h.rotZ.PopOldest();
  h.rotW.PopOldest();
  h.inVehicleFlag.PopOldest();
  h.bodyModeFlag.PopOldest();
  h.conditionHist.PopOldest();
  h.playerValueHist.PopOldest();
  h.charValueHist.PopOldest();
  h.vehicleHist.PopOldest();
  h.footValueHist.PopOldest();
  h.worldParts.PopOldest();
  if (h.frameMsHist.SampleCount() != 0) {
    h.frameMsTotal -= h.frameMsHist.Oldest();
    h.frameMsHist.PopOldest();
  }
}

void HistoryCounts(uint32_t counts[kHistoryCount]) {
  const HistorySet& h = historySet;
  const uint32_t all[kHistoryCount] = {
      h.posX.SampleCount(),          h.posY.SampleCount(),
      h.posZ.SampleCount(),          h.velX.SampleCount(),
      h.velY.SampleCount(),          h.velZ.SampleCount(),
      h.rotX.SampleCount(),          h.rotY.SampleCount(),
      h.rotZ.SampleCount(),          h.rotW.SampleCount(),
      h.inVehicleFlag.SampleCount(), h.bodyModeFlag.SampleCount(),
      h.conditionHist.SampleCount(), h.playerValueHist.SampleCount(),
      h.charValueHist.SampleCount(), h.vehicleHist.SampleCount(),
      h.footValueHist.SampleCount(),
  };
  for (int i = 0; i < kHistoryCount; ++i) counts[i] = all[i];
}
