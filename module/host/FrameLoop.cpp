// The frame loop: what the plug-in does in every game frame, and in which
// order. The host runs RunScript on its script thread; each Wait(0) yields to
// the game until its next frame.
//
// One frame:
//   1. First frame only: take the build stamp, cue normal play, read the
//      settings file (and with the seconds label or a history in seconds,
//      start the frame clock; with the support log on, create it and write
//      its header).
//   2. Early frames (frameCount below 100): draw the build stamp, or the
//      hint naming the rewind key in its place.
//   3. Resolve the player and the player's character (every phase of the
//      frame uses this frame's handle).
//   4. With the game pad on, read it once; with the frame clock on, time
//      the frame. Poll the toggle key (or the pad's chord) and the resume
//      key; this may enter or leave rewind mode (with rewinding by holding,
//      letting go leaves), and the branch of the resulting mode runs in this
//      same frame. With the support log on, an entry or a leave writes its
//      line. With marks on, then poll the mark key (or the pad's mark
//      chord).
//   5. Rewind mode: jump to a mark when it was pressed, else scrub (by
//      holding: back unless a newer key is held or a jump pinned it),
//      re-apply the recorded common values, draw the overlay (and the
//      seconds label), then hold the character or the vehicle at the
//      recorded frame, and last put the vehicles around the player that
//      frame followed back where they were.
//   6. Normal play: record one sample into every history (and the frame's
//      length, with the clock on; and, following the vehicles around the
//      player, probe for one and read those followed), trim the oldest past the history's
//      length in samples or in seconds, and, after a rewind, ramp the game
//      speed back up while the bars fade. A sample that runs out of memory
//      is taken back whole (the support log notes the first). Marks whose
//      samples were trimmed go; a pressed mark marks the new sample, and so
//      does resuming from a mark (the mark moves to the resumed state).
//   With the support log on, events write their lines (entry, leave, mark,
//   jump, the first failed push); no other frame touches the file.
//
// All state lives in rewindState and historySet; the phases keep none of
// their own between frames.
#include "host/CustomFiberThread.h"
#include "host/Natives.h"
#include "host/Pad.h"
#include "log/SupportLog.h"
#include "marks/JumpToMark.h"
#include "marks/KeepMarks.h"
#include "marks/MarkPress.h"
#include "overlay/Overlay.h"
#include "record/FrameClock.h"
#include "record/RecordFrame.h"
#include "rewind/ApplyFootFrame.h"
#include "rewind/ApplyVehicleFrame.h"
#include "rewind/Scrub.h"
#include "rewind/Toggle.h"
#include "settings/BuildStamp.h"
#include "settings/Settings.h"
#include "state/History.h"
#include "state/RewindState.h"
#include "world/PlaceRecordedVehicles.h"

void CustomFiberThread::RunScript() {
  while (IsThreadAlive()) {
    RunFrame();
    Wait(0);
  }
}

void RunFrame() {
  RewindState& s = rewindState;

  if (s.frameCount == 0) {
    ComputeBuildStamp();  // raises frameCount to 1: this block runs once per load
    CueNormalPlay();
    ReadSettings();
    if (FrameClockOn(s)) StartFrameClock();
    if (s.logEnabled != 0) OpenSupportLog();
  }
  if (s.frameCount < 100) ShowBuildStamp();

  const int32_t playerId = PlayerIndexFromId(QueryLocalPlayerId());
  ReadPlayerCharacter(playerId, &s.playerChar);

  if (s.padEnabled != 0) PollPad();
  if (FrameClockOn(s)) TimeFrame();
  const bool wasRewinding = s.rewinding == 1;
  TestToggleKey();
  // Read after the toggle, which takes its own key's press first.
  const bool markPressed = MarksOn(s) && ReadMarkPress();

  if (s.rewinding == 1) {
    if (markPressed) {
      JumpToMark();
    } else {
      Scrub();
    }
    ApplyCommonValues(playerId);
    DrawRewindOverlay();
    // The toggle never enters rewind mode with an empty history and the
    // scrub keeps playIndex inside it, so this read is always in range.
    if (historySet.inVehicleFlag[static_cast<uint32_t>(s.playIndex)] != 0.0f) {
      ApplyVehicleFrame();
    } else {
      ApplyFootFrame();
    }
    // Last, however the player's frame ended: push mode has moved what
    // stood in the way, and the followed vehicles go where they were.
    if (VehiclesOn(s)) PlaceRecordedVehicles();
  } else if (RecordFrame(playerId) && MarksOn(s)) {
    KeepMarks(markPressed, wasRewinding);
  }
  s.framesRun += 1;
}
