#include "host/Pad.h"

#include "platform.h"
#include "state/RewindState.h"

namespace {

constexpr uint16_t kDpadLeft = 4;
constexpr uint16_t kDpadRight = 8;
// A trigger rests a little above 0 on worn pads; above this it is pulled.
constexpr uint8_t kTriggerPulled = 30;

// A pulled trigger is a pressure, not a button: from 4 quarters just past
// the rest position to 16 all the way (255), in even steps.
uint32_t Quarters(uint8_t trigger, bool dpad) {
  if (trigger > kTriggerPulled) return 4u + (12u * (trigger - 31u)) / 224u;
  return dpad ? 4u : 0u;
}

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

bool PadButtonsMade(uint16_t mask) {
  const RewindState& s = rewindState;
  return mask != 0 && (s.pad.buttons & mask) == mask && (s.lastPad.buttons & mask) != mask;
}

bool PadChordMade() {
  return PadButtonsMade(rewindState.padToggleButtons);
}

bool PadChordHeld() {
  const RewindState& s = rewindState;
  const uint16_t mask = s.padToggleButtons;
  return s.padEnabled != 0 && mask != 0 && (s.pad.buttons & mask) == mask;
}

uint32_t PadOlderQuarters() {
  const PadState& pad = rewindState.pad;
  return Quarters(pad.leftTrigger, (pad.buttons & kDpadLeft) != 0);
}

uint32_t PadNewerQuarters() {
  const PadState& pad = rewindState.pad;
  return Quarters(pad.rightTrigger, (pad.buttons & kDpadRight) != 0);
}
