#include "rewind/Scrub.h"

#include "host/Natives.h"
#include "host/Pad.h"
#include "platform.h"
#include "state/History.h"
#include "state/RewindState.h"
#include "state/Samples.h"

namespace {

bool KeyHeld(int virtualKey) {
  return GetKeyState(virtualKey) < 0;
}

// The game's scrub count is in hundredths of a sample.
int64_t ScrubStep() {
  return static_cast<int64_t>(QueryScrubStep() / 100u);
}

// Towards older samples. Guarded at playLength, not playLength - 1: at the
// oldest sample a held key still takes a step and bumps into the end again.
void ScrubOlder(RewindState& s) {
  if (s.playIndex >= s.playLength) return;
  // In 64 bits, so that no step, however large, wraps the index around.
  const int64_t next = static_cast<int64_t>(s.playIndex) + ScrubStep();
  if (next < s.playLength) {
    s.playIndex = static_cast<int32_t>(next);
  } else {
    s.playIndex = s.playLength - 1;
    TriggerFrontendEvent();
  }
  CueRewindActivity();
}

void ScrubNewer(RewindState& s) {
  if (s.playIndex <= 0) return;
  const int64_t next = static_cast<int64_t>(s.playIndex) - ScrubStep();
  if (next >= 0) {
    s.playIndex = static_cast<int32_t>(next);
  } else {
    s.playIndex = 0;
    TriggerFrontendEvent();
  }
  CueRewindActivity();
}

}  // namespace

void Scrub() {
  RewindState& s = rewindState;
  // Queried in this order and only until one is held, so older wins when
  // keys of both directions are down; the pad counts after each direction's
  // keys, and the keys of the newer direction are asked only when nothing
  // scrubs older.
  if (KeyHeld('Z') || KeyHeld(VK_LEFT) || PadScrubsOlder()) {
    ScrubOlder(s);
  } else if (KeyHeld('X') || KeyHeld(VK_RIGHT) || PadScrubsNewer()) {
    ScrubNewer(s);
  } else {
    CueRewindIdle();
    CueRewindIdleLevel();
  }
}

void ApplyCommonValues(int32_t playerId) {
  RewindState& s = rewindState;
  const HistorySet& h = historySet;
  const uint32_t i = static_cast<uint32_t>(s.playIndex);

  // Compared with the game's value read fresh, so a drift is corrected again.
  ReadPlayerValue(playerId, &s.playerValue);
  const float playerSample = h.playerValueHist[i];
  if (DiffersFromSample(s.playerValue, playerSample)) {
    const int32_t value = SampleToInt(playerSample);
    WritePlayerValue(playerId, value);
    ApplyPlayerValue(playerId);
    s.settleFrames = 0;
  }

  // The character value is never read back from the game: it is compared
  // with what was applied last, so it is written when the timeline changes it.
  const float charSample = h.charValueHist[i];
  if (DiffersFromSample(s.charValue, charSample)) {
    const int32_t value = SampleToInt(charSample);
    s.charValue = static_cast<uint32_t>(value);
    WriteCharacterValue(s.playerChar, value);
    s.settleFrames = 0;
  }
}
