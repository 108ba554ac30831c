#include "rewind/ApplyFootFrame.h"

#include "host/Natives.h"
#include "state/History.h"
#include "state/RewindState.h"
#include "state/Samples.h"

namespace {
constexpr float kHoldDistance = 0.5f;  // closer than this the character is only pinned
constexpr float kPullDistance = 5.0f;  // farther than this it is pulled unpinned
constexpr double kPullScale = 100.0;
constexpr double kProbeOffset = 1.0;
// A recorded condition of this or less is written as this: playback never
// sets the character's condition lower.
constexpr float kConditionFloor = 101.0f;

float Offset(float value, double by) {
  return static_cast<float>(static_cast<double>(value) + by);
}
}  // namespace

void ApplyFootFrame() {
  RewindState& s = rewindState;
  const HistorySet& h = historySet;
  const uint32_t i = static_cast<uint32_t>(s.playIndex);
  const int32_t character = s.playerChar;
  Vector4& cur = s.cur;
  // posZ is applied as stored: z - 1.0 unless the sample was in body mode.
  const float x = h.posX[i];
  const float y = h.posY[i];
  const float z = h.posZ[i];

  if (IsCharacterInVehicle(character)) UnseatCharacterAt(character, x, y, z);

  ReadCharacterPosition(character, &cur.x, &cur.y, &cur.z);
  MeasurePointDistance(cur.x, cur.y, cur.z, x, y, z, &cur.w);
  const float d = cur.w;
  if (d < kHoldDistance) {
    PinCharacter(character, true);
  } else {
    // A distance that is not a number takes the far band.
    if (d < kPullDistance) {
      PinCharacter(character, true);
      PinCharacter(character, false);
    } else {
      PinCharacter(character, false);
    }
    ImpelCharacter(
        character,
        static_cast<float>((static_cast<double>(x) - static_cast<double>(cur.x)) * kPullScale),
        static_cast<float>((static_cast<double>(y) - static_cast<double>(cur.y)) * kPullScale),
        static_cast<float>((static_cast<double>(z) - static_cast<double>(cur.z)) * kPullScale));
  }

  // The box is the game's own order of corners: both x values first.
  if (!ProbeBoxBlocked(Offset(x, -kProbeOffset), Offset(x, -kProbeOffset), Offset(y, -kProbeOffset),
                       Offset(z, kProbeOffset), Offset(y, kProbeOffset), Offset(z, kProbeOffset))) {
    PlaceCharacter(character, x, y, z);
  }

  if (h.bodyModeFlag[i] == 1.0f) {
    if (!QueryCharacterBodyMode(character)) EnterCharacterBodyMode(character);
  } else {
    if (QueryCharacterBodyMode(character)) LeaveCharacterBodyMode(character);
  }
  // Asked again: entering body mode may not take effect at once.
  if (!QueryCharacterBodyMode(character)) TurnCharacterTo(character, h.rotX[i]);

  ReadCharacterCondition(character, &s.conditionValue);
  const float condition = h.conditionHist[i];
  if (DiffersFromSample(s.conditionValue, condition)) {
    s.settleFrames = 0;
    const int32_t value = condition > kConditionFloor ? SampleToInt(condition)
                                                      : static_cast<int32_t>(kConditionFloor);
    WriteCharacterCondition(character, value);
  }

  ReadCharacterSelection(character, &s.footValue);
  const int32_t footSample = h.footValueHist[i];
  if (footSample != s.footValue) {
    WriteCharacterSelection(character, footSample);
    s.settleFrames = 0;
  }
}
