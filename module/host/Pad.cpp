#include "host/Pad.h"

#include "platform.h"
#include "state/RewindState.h"

namespace {

constexpr uint16_t kDpadLeft = 4;
constexpr uint16_t kDpadRight = 8;
// A trigger rests a little above 0 on worn pads; above this it is pulled.
constexpr uint8_t kTriggerPulled = 30;

}  // namespace

void PollPad() {
  RewindState& s = rewindState;
  s.lastPad = s.pad;
  XINPUT_STATE state = {};
  // Unplugged, or no XInput at all, reads as everything released.
  if (XInputGetState(0, &state) == 0) {
    s.pad = {state.Gamepad.wButtons, state.Gamepad.bLeftTrigger, state.Gamepad.bRightTrigger};
  } else {
    s.pad = {0, 0, 0};
  }
}

bool PadChordMade() {
  const RewindState& s = rewindState;
  const uint16_t mask = s.padToggleButtons;
  return mask != 0 && (s.pad.buttons & mask) == mask && (s.lastPad.buttons & mask) != mask;
}

bool PadScrubsOlder() {
  const PadState& pad = rewindState.pad;
  return pad.leftTrigger > kTriggerPulled || (pad.buttons & kDpadLeft) != 0;
}

bool PadScrubsNewer() {
  const PadState& pad = rewindState.pad;
  return pad.rightTrigger > kTriggerPulled || (pad.buttons & kDpadRight) != 0;
}
