#include "rewind/Toggle.h"

#include "host/CustomFiberThread.h"
#include "host/Natives.h"
#include "host/Pad.h"
#include "log/SupportLog.h"
#include "overlay/Overlay.h"
#include "platform.h"
#include "state/History.h"
#include "state/RewindState.h"
#include "world/HandOverVehicles.h"

namespace {
// The single-precision step, summed in double precision: 67 recorded frames
// from 0.0 to just above 1.0.
constexpr float kRampStep = 0.015f;

// Rewinding by holding: play goes on as soon as the key (or the chord) is
// let go, or the resume key is pressed while holding. A press never leaves.
void TestHeldToggle(RewindState& s) {
  const bool held = GetKeyState(scriptThread.enableKey) < 0 || PadChordHeld();
  if (held && GetKeyState(s.resumeKey) >= 0) return;
  s.rewinding = 0;
  if (s.logEnabled != 0) LogRewindLeave(held ? RewindCause::ResumeKey : RewindCause::LetGo);
  LeaveRewindMode();
}

}  // namespace

void TestToggleKey() {
  RewindState& s = rewindState;
  // Polled once per frame in either mode: the query also clears the press.
  // The pad's chord counts as a press of the key; Space (the resume key of
  // the settings) is the keyboard's.
  const bool keyPressed = (GetAsyncKeyState(scriptThread.enableKey) & 1) != 0;
  if (s.holdEnabled != 0 && s.rewinding == 1) {
    TestHeldToggle(s);
    return;
  }
  const bool chordMade = !keyPressed && PadChordMade();
  const bool togglePressed = keyPressed || chordMade;

  // Space is asked afresh by each test that needs it: without a toggle
  // press, once to see whether anything happens at all; then again to see
  // whether it only leaves.
  if (!togglePressed && GetKeyState(s.resumeKey) >= 0) return;
  // Space only ever leaves rewind mode; a toggle press while it is held is
  // dropped, not kept for later.
  if (GetKeyState(s.resumeKey) < 0 && s.rewinding == 0) return;
  // With nothing recorded there is no frame to rewind to: the press is spent
  // and play goes on recording.
  if (s.rewinding == 0 && historySet.posX.SampleCount() == 0) return;

  s.rewinding = s.rewinding == 0 ? 1 : 0;
  // Named the first way that applies: the key's press, the chord, the
  // resume key.
  const RewindCause how = keyPressed  ? RewindCause::ToggleKey
                          : chordMade ? RewindCause::PadChord
                                      : RewindCause::ResumeKey;
  if (s.rewinding == 1) {
    EnterRewindMode();
    if (s.logEnabled != 0) LogRewindEntry(how);
  } else {
    if (s.logEnabled != 0) LogRewindLeave(how);
    LeaveRewindMode();
  }
}

void EnterRewindMode() {
  RewindState& s = rewindState;
  SetGameSpeed(-1.0f);
  s.playIndex = 0;
  s.scrubBackMs = 0;
  // Nothing is recorded while rewinding, so this stays the length of every
  // history until the next entry.
  s.playLength = static_cast<int32_t>(historySet.posX.SampleCount());
  CueModeSwitch(250);
}

void LeaveRewindMode() {
  RewindState& s = rewindState;
  const HistorySet& h = historySet;
  const uint32_t i = static_cast<uint32_t>(s.playIndex);

  CueRewindActivity();
  // Play resumes with the momentum recorded at the chosen frame, given to
  // whatever the character is in now.
  int32_t impelled = 0;
  if (IsCharacterInVehicle(s.playerChar)) {
    ReadCharacterVehicle(s.playerChar, &s.vehicle);
    impelled = s.vehicle;
    ImpelVehicle(s.vehicle, h.velX[i], h.velY[i], h.velZ[i]);
  } else {
    PinCharacter(s.playerChar, true);
    PinCharacter(s.playerChar, false);
    ImpelCharacter(s.playerChar, h.velX[i], h.velY[i], h.velZ[i]);
  }
  // The world resumes from the same moment: the vehicles followed then are
  // followed again, with the momentum they had.
  if (VehiclesOn(s)) HandOverVehicles(impelled);
  s.timeScaleRamp = 0.0f;
  s.markPinned = 0;
  CueModeSwitch(500);
}

void RampTimeScale() {
  RewindState& s = rewindState;
  // A NaN compares as not less, and stops the ramp.
  if (!(s.timeScaleRamp < 1.0f)) return;
  SetGameSpeed(s.timeScaleRamp);
  FadeLetterbox();
  s.timeScaleRamp =
      static_cast<float>(static_cast<double>(s.timeScaleRamp) + static_cast<double>(kRampStep));
}
