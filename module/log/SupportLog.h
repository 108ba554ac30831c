// The support log, Quorvat.log beside the module's own file, with the
// settings' Log on: what the module is, where it read its settings, what is
// in force, and a line for each rewind entered and left, each mark dropped
// and each jump to one. A player attaches
// it when asking for help. Nothing else the module does depends on it: a
// file that can't be created or written only means no (more) log.
#pragma once

#include <cstdint>

// What made the mode change, as the log names it.
enum class RewindCause : uint8_t {
  ToggleKey,  // the toggle key's press
  PadChord,   // the pad's chord, made this frame
  ResumeKey,  // the resume key held
  LetGo,      // rewinding by holding: the key (and the chord) let go
};

// Creates the log, replacing one left from before, and writes its header;
// first frame only, right after the settings and the frame clock's start.
void OpenSupportLog();
// One line for an entry into rewind mode, and one for a leave (playIndex is
// where play resumes from).
void LogRewindEntry(RewindCause how);
void LogRewindLeave(RewindCause how);
// A mark dropped (how many are kept now, the new one included), and a jump
// to a mark (playIndex is the mark's).
void LogMark();
void LogJump();
// The first failed push of the run: how many samples the history kept.
void LogOutOfMemory();
// Closes the log's file; at unload, so that a module loaded again in the
// same process can make its log afresh.
void CloseSupportLog();
