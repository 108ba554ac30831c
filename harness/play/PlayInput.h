// What the person's keys mean, frame by frame. The module's own keys (the
// toggle key, the resume and scrub keys of its settings, by default Space, Z
// and X, the mark key when its settings set one, and the left and right
// arrows) go to the stand-in
// keyboard under their Windows key codes, every press kept; the movement
// keys and the pad's left stick become what the live world takes from a
// player: the wanted velocity, and getting into or out of a car. The game
// pad goes to the stand-in's XInputGetState as it is.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/Scenario.h"
#include "host/Snapshot.h"
#include "world/LiveWorld.h"

// Windows virtual-key codes of the keys the harness itself reads.
constexpr int kVkShift = 16;
constexpr int kVkEscape = 27;
constexpr int kVkSpace = 32;
constexpr int kVkLeft = 37;
constexpr int kVkRight = 39;

// One key going down or up, by its Windows virtual-key code.
struct KeyEvent {
  int virtualKey = 0;
  bool down = false;
};

// The game pad as it is now, in XInput's terms.
struct PadInput {
  std::optional<ScriptedPad> pad;  // none: no pad connected
  // The left stick, -32768 ... 32767 each way, +y pushed away from the player.
  int16_t stickX = 0, stickY = 0;
};

// The person's side of the game between frames.
struct PlayControls {
  std::array<bool, 256> down{};  // keys the person holds
  std::array<bool, 256> held{};  // keys the stand-in keyboard reports held
  bool quit = false;
  // Driving: the speed and heading (degrees, 0 facing +y, counter-clockwise)
  // the person steers towards, taken from the car whenever the player comes
  // to drive it: getting in, or play resuming after a rewind.
  float driveSpeed = 0;
  float driveHeading = 0;
  bool driving = false;  // the last frame was driven by the person
  int32_t car = 0;
  Vec3f intent;                        // the wanted velocity last given to the world
  std::optional<ScriptedPad> padSent;  // the pad last given to the stand-in: at first, none
};

// The keys the module asks for, as its settings set them.
struct ModuleKeys {
  int enableKey = 118;
  int olderKey = 'Z', newerKey = 'X', resumeKey = kVkSpace;
  // [Keys] Hold: the module rewinds while the toggle key (or the pad's
  // chord) is held, which the help line has to say.
  bool hold = false;
  // [Keys] MarkKey as the module takes it: 1 ... 254 and not the toggle
  // key, else 0 (none).
  int markKey = 0;
};

// The module's keys after its first frame: the toggle key and Hold from
// `state`, the others from `settings` (the settings text it read) by the
// rules of its reads, a value outside 1 ... 254 keeping the default (for
// the mark key, none).
ModuleKeys KeysOf(const QuorvatSnapshot& state, const std::optional<std::string>& settings);

// The entry that brings this frame's key events and pad to the module and
// the world, or none when nothing changes. `last` is the frame that just ended
// (the world as the person sees it), `frameSeconds` the length of a frame.
// Esc sets `controls.quit`.
std::optional<TimelineEntry> NextEntry(PlayControls& controls, const std::vector<KeyEvent>& events,
                                       const PadInput& pad, const LiveFrame& last,
                                       const ModuleKeys& keys, float frameSeconds);

// How far a player on foot may be from a car to get in, metres.
constexpr float kReachCar = 4.0f;
