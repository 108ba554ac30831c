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

// The keys (and the D-pad) move by the game's step; a pulled trigger by up
// to four times as much.
constexpr uint32_t kKeyQuarters = 4;

// The game's scrub count is in hundredths of a sample; the speed in quarters
// of that. At most (2^32 - 1) * 16 / 400, so it fits an index's range.
int64_t ScrubStep(uint32_t quarters) {
  return static_cast<int64_t>(static_cast<uint64_t>(QueryScrubStep()) * quarters / 400u);
}

// Moves the scrub position, and while the frame clock runs carries the
// label's sum along (the support log reports it on leaving, label or not):
// only the samples passed over are added or taken away, so a frame costs the
// same wherever playIndex lies in a long history.
void MoveTo(RewindState& s, int32_t index) {
  if (FrameClockOn(s)) {
    const DurationHistory& lengths = historySet.frameMsHist;
    for (int32_t i = s.playIndex; i < index; ++i) {
      s.scrubBackMs += lengths[static_cast<uint32_t>(i)];
    }
    for (int32_t i = index; i < s.playIndex; ++i) {
      s.scrubBackMs -= lengths[static_cast<uint32_t>(i)];
    }
  }
  s.playIndex = index;
}

// Towards older samples. Guarded at playLength, not playLength - 1: at the
// oldest sample a held key still takes a step and bumps into the end again.
void ScrubOlder(RewindState& s, uint32_t quarters) {
  if (s.playIndex >= s.playLength) return;
  // In 64 bits, so that no step, however large, wraps the index around.
  const int64_t next = static_cast<int64_t>(s.playIndex) + ScrubStep(quarters);
  if (next < s.playLength) {
    MoveTo(s, static_cast<int32_t>(next));
  } else {
    MoveTo(s, s.playLength - 1);
    TriggerFrontendEvent();
  }
  CueRewindActivity();
}

void ScrubNewer(RewindState& s, uint32_t quarters) {
  if (s.playIndex <= 0) return;
  const int64_t next = static_cast<int64_t>(s.playIndex) - ScrubStep(quarters);
  if (next >= 0) {
    MoveTo(s, static_cast<int32_t>(next));
  } else {
    MoveTo(s, 0);
    TriggerFrontendEvent();
  }
  CueRewindActivity();
}

// A held key of the direction moves by the game's step; otherwise the pad
// may (0: nothing asks for that direction).
uint32_t OlderQuarters(const RewindState& s) {
  return KeyHeld(s.olderKey) || KeyHeld(VK_LEFT) ? kKeyQuarters : PadOlderQuarters();
}

uint32_t NewerQuarters(const RewindState& s) {
  return KeyHeld(s.newerKey) || KeyHeld(VK_RIGHT) ? kKeyQuarters : PadNewerQuarters();
}

// Rewinding by holding runs back on its own; the newer keys (and the pad's
// right trigger and D-pad right) turn it forward while they are held. Up
// against the newest sample they hold it there rather than run back, and
// there is no idle frame. After a jump to a mark it stays there until a
// newer input moves it, so that letting go plays on from the mark.
void ScrubWhileHeld(RewindState& s) {
  const uint32_t newer = NewerQuarters(s);
  if (newer != 0) {
    s.markPinned = 0;
    ScrubNewer(s, newer);
  } else if (s.markPinned == 0) {
    ScrubOlder(s, kKeyQuarters);
  }
}

}  // namespace

void Scrub() {
  RewindState& s = rewindState;
  if (s.holdEnabled != 0) {
    ScrubWhileHeld(s);
    return;
  }
  // Queried in this order and only until one is held, so older wins when
  // keys of both directions are down; the pad counts after each direction's
  // keys (a held key sets the speed), and the keys of the newer direction
  // are asked only when nothing scrubs older.
  const uint32_t older = OlderQuarters(s);
  if (older != 0) {
    ScrubOlder(s, older);
    return;
  }
  const uint32_t newer = NewerQuarters(s);
  if (newer != 0) {
    ScrubNewer(s, newer);
    return;
  }
  CueRewindIdle();
  CueRewindIdleLevel();
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
