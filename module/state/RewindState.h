// The plug-in's memory between frames: one record, one instance, alive from
// load to unload. Only the script thread touches it.
#pragma once

#include <cstdint>

#include "platform.h"

struct Vector3 {
  float x;
  float y;
  float z;
};
static_assert(sizeof(Vector3) == 12, "Vector3 is the layout of every vector out-target");

struct Vector4 {
  float x;
  float y;
  float z;
  float w;
};

// What the game pad reports in one frame: all released when it can't be read.
struct PadState {
  uint16_t buttons;
  uint8_t leftTrigger;
  uint8_t rightTrigger;
};

// A mark names its sample by serial (HistorySet::samplesPushed right after
// the sample went in), so a push moves no mark and a trim is found by
// comparing numbers: nothing about a mark costs more with a long history.
struct Mark {
  uint64_t serial;
  // HistorySet::frameMsPushed right after its sample: the milliseconds of
  // the samples newer than the mark are the total now less this.
  uint64_t msPushed;
};
// More would not fit the timeline as ticks a player tells apart.
constexpr int kMostMarks = 16;
// The most vehicles around the player that are followed: each costs calls
// every recorded frame and 48 bytes of every sample.
constexpr int kMostVehicles = 8;
// The probe's points: the player's own, then a ring 20 m out and one 7 m out.
constexpr int kProbeTurns = 17;

struct RewindState {
  // Settings, overwritten once on the first frame.
  uint32_t recSize = 2000;
  int32_t pushMode = 1;
  // The game pad is off unless the settings turn it on; then the chord of
  // these buttons toggles rewind mode like the toggle key.
  uint8_t padEnabled = 0;
  uint16_t padToggleButtons = 32;
  // The scrub and resume keys, movable for keyboards on which 'Z' and 'X'
  // are far apart; the start-up hint and the seconds label, off unless set.
  int32_t olderKey = 'Z';
  int32_t newerKey = 'X';
  int32_t resumeKey = VK_SPACE;
  uint8_t hintEnabled = 0;
  uint8_t secondsEnabled = 0;
  // Rewinding while the toggle key (or the chord) is held, as most rewind
  // features work; and a history sized in seconds of play, which frame
  // counts can't give at every frame rate (0: recSize counts).
  uint8_t holdEnabled = 0;
  uint32_t recSeconds = 0;  // 0 ... 600
  // The support log beside the module's file, off unless set; and the
  // settings file's path as resolved, which its header names.
  uint8_t logEnabled = 0;
  WCHAR settingsPath[500] = {};
  // Marks on the timeline, off unless a key or a chord is set: the key (0:
  // none) and the pad's chord (0: none), each kept only when it differs
  // from the toggle's, which would take every press first.
  int32_t markKey = 0;
  uint16_t markButtons = 0;

  // Mode and timeline.
  uint8_t rewinding = 0;
  int32_t playIndex = 0;
  int32_t playLength = 0;
  float timeScaleRamp = 1.0f;

  // Counters, all in frames. framesRun counts every frame the script body
  // ran, across its entries, as the support log numbers them.
  int32_t frameCount = 0;
  uint32_t framesRun = 0;
  int32_t settleFrames = 200;
  int32_t cursorIdleFrames = 100;

  // Overlay and input.
  float letterboxHeight = 0.0f;
  POINT cursorPos = {0, 0};
  POINT lastCursorPos = {0, 0};
  // Polled once a frame while the pad is on; the previous frame's state
  // tells a chord just made from one still held.
  PadState pad = {0, 0, 0};
  PadState lastPad = {0, 0, 0};

  // Game handles and live values, written through the natives' out-pointers.
  int32_t playerChar = 0;
  int32_t vehicle = 0;
  Vector4 cur = {0, 0, 0, 0};  // scratch: meaningful only within one frame
  Vector3 vehVel = {0, 0, 0};
  uint32_t conditionValue = 0;
  int32_t footValue = 0;
  uint32_t playerValue = 0;
  uint32_t charValue = 0;  // last value applied from charValueHist, never read from the game

  // The frame clock, kept only while the seconds label or the history in
  // seconds needs it (FrameClockOn): ticks a second,
  // the previous frame's reading (for the module's whole life: a script
  // body entered again measures from the last frame of the earlier entry),
  // and this frame's length in milliseconds, at most 1000.
  int64_t clockFrequency = 0;
  int64_t lastClockReading = 0;
  uint8_t clockRead = 0;  // lastClockReading holds a reading
  uint16_t frameMs = 0;
  // Milliseconds of recorded play from the scrub position up to the newest
  // sample: the frame lengths of samples 0 ... playIndex - 1, kept in step
  // with every move of playIndex rather than summed anew each frame.
  uint64_t scrubBackMs = 0;

  // The support log while it is written: its file (null when there is none),
  // the bytes it holds, and whether it has ended (full, or a write failed).
  // The first failed push of the run is the one the log reports.
  HANDLE logFile = nullptr;
  uint32_t logBytes = 0;
  uint8_t logEnded = 0;
  uint8_t outOfMemorySeen = 0;

  // The kept marks, oldest first, each naming its sample by serial; and
  // whether a jump pins the scrub position while rewinding by holding (until
  // a newer input or the leave), so that letting go plays on from the mark.
  Mark marks[kMostMarks] = {};
  uint8_t markCount = 0;
  uint8_t markPinned = 0;

  // The vehicles around the player: the [World] Vehicles setting in force
  // (0: off, else the slots followed), each slot's vehicle handle (0: empty;
  // only the first vehicleCount are used) and the probe's next turn,
  // 0 ... kProbeTurns - 1. Like the marks they live for the module's life,
  // across rewinds and re-entries.
  uint8_t vehicleCount = 0;
  uint8_t probeTurn = 0;
  int32_t vehicleSlots[kMostVehicles] = {};

  // Start-up stamp.
  float buildStamp = 0.0f;
  struct _stat64 fileStatus = {};
  struct tm* stampTime = nullptr;
};

extern RewindState rewindState;

// The frame clock runs for the seconds label and for a history measured in
// seconds; then every sample keeps its frame's length too.
inline bool FrameClockOn(const RewindState& s) {
  return s.secondsEnabled != 0 || s.recSeconds != 0;
}

// The vehicles around the player are followed with at least one slot.
inline bool VehiclesOn(const RewindState& s) {
  return s.vehicleCount != 0;
}

// Marks are on when a key or a chord drops them.
inline bool MarksOn(const RewindState& s) {
  return s.markKey != 0 || s.markButtons != 0;
}
