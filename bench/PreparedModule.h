// The module brought to the state a timed frame starts from, shared by the
// benchmarks and the growth counts: a fresh load, the first frame and the
// stamp frames, then recording until the store is full (and a little
// beyond, so that every frame trims).
#pragma once

#include <cstdint>
#include <filesystem>

#include "GameDouble.h"

extern GameDouble* game;

enum class Scene { kFoot, kVehicle };

// What a frame turns on beyond the plain module.
enum Aids : unsigned {
  kNone = 0,
  // A pad is plugged in and its triggers rest just above zero: every frame
  // asks it and tests its chord and triggers.
  kPad = 1,
  // The seconds label, as the shipped settings have it: every frame reads
  // the performance counter (16.667 ms a frame here) and a recorded frame
  // keeps its length; a rewind frame draws the label.
  kSeconds = 2,
  // Rewinding, scrubbed to the oldest sample first, so that the label sums
  // the whole history: a rewind frame must cost the same there as anywhere.
  kAtOldest = 4,
  // The history in seconds at its longest (RecSeconds=600) instead of
  // recSize: the clock runs, every sample keeps its frame's length, and the
  // store is full once it holds ten minutes of 16.667 ms frames, about
  // 36,000 samples.
  kRecSeconds = 8,
  // The support log, as the shipped settings have it: created with its
  // header after the first frame, in the bench's own folder.
  kLog = 16,
  // The vehicles around the player followed in 4 or 8 slots ([World]
  // Vehicles): eight vehicles stand a few metres from the character, so
  // the probe fills every slot and each recorded frame reads them all.
  kFourVehicles = 32,
  kEightVehicles = 64,
};

// The slots the aids follow vehicles in: 0, 4 or 8.
uint8_t VehicleSlots(unsigned aids);
// Every slot holds a vehicle, and the newest sample's world part records
// them all.
bool AllSlotsFollowed();

constexpr uint32_t kLongestRecSeconds = 600;
// Ten minutes of frames at 60 a second.
constexpr uint32_t kTenMinutesOfFrames = kLongestRecSeconds * 60;

// The toggle key and the mark key the prepared module answers to.
constexpr int kToggleKey = 118;
constexpr int kMarkKey = 119;

// The module writes its log beside "its file", which the stand-in puts in
// the current directory: a folder of the bench's own, not the caller's (who
// may have named files relative to theirs), made by MakeLogFolder and gone
// with RemoveLogFolder. Once open, the file is written wherever the current
// directory is.
void MakeLogFolder();
void RemoveLogFolder();
void OpenLogInOwnFolder();
// Closes the log and opens it afresh, with nothing in it yet: done untimed,
// before the log would reach its cap, so that every timed line is written.
void RestartLog();

void PrepareModule(Scene scene, uint32_t recSize, bool rewinding, unsigned aids = kNone);

// `marks` marks (at most kMostMarks), oldest first, spread from the oldest
// sample to the newest, each with the running total its sample's push left,
// as recording frames with the mark key pressed would have set them; the
// mark key set. Needs the seconds label on.
void SpreadMarks(int marks);

// The last jump landed on a mark, with the label's sum of the lengths newer
// than it; without marks the press moved nothing.
bool LandedOnAMark();
// Back to the prepared rewind, which kept no marks.
void ClearMarks();
