// Game pads in the play window, through SDL's game-controller API: a real
// controller, plugged in or out at any time, and a virtual one that lives in
// this process and is driven from standard input, for playing without a
// controller and for tests.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

// The pad as the game reads it, in XInput's terms.
struct PadState {
  bool connected = false;
  uint16_t buttons = 0;  // XInput's button word
  uint8_t lt = 0, rt = 0;
  // The left stick, -32768 ... 32767 each way, +y pushed away from the player.
  int16_t stickX = 0, stickY = 0;
};

// The player's pad: the first controller plugged in, until it is unplugged;
// then the next one still plugged in, if any. Made after the window, which
// starts SDL.
class PlayPad {
 public:
  // `virtualOnly`: only a pad that lives in this process (VirtualPad below)
  // is taken, so that a real one plugged into the machine can't stand in
  // for it; and it counts while another window has the keyboard, as it
  // needs when its lines are typed into a terminal.
  explicit PlayPad(bool virtualOnly);
  ~PlayPad();
  PlayPad(const PlayPad&) = delete;
  PlayPad& operator=(const PlayPad&) = delete;

  // Why there are no pads at all (SDL could not start its controller
  // support), empty when they work.
  const std::string& Unavailable() const { return unavailable_; }

  // Plugging in and out; every other event is left alone.
  void OnEvent(const SDL_Event& event);

  // The pad as SDL's last event pump left it, in XInput's terms.
  PadState Read() const;
  bool Connected() const { return controller_ != nullptr; }

 private:
  bool Takes(int deviceIndex) const;
  void Open(int deviceIndex);
  void Close();

  bool virtualOnly_;
  std::string unavailable_;
  SDL_GameController* controller_ = nullptr;
  SDL_JoystickID instance_ = -1;
};

// A game controller that exists only inside this process, so that SDL
// finds it as it finds a real one. It takes one line of the file
// descriptor at a time (standard input by default), each holding until the
// next:
//   BUTTONS LT RT [LX LY]   XInput's button word (0 ... 65535, without
//                           0x0400 and 0x0800, which no button sets), the
//                           triggers (0 ... 255), the left stick
//                           (-32768 ... 32767, +LY away from the player;
//                           0 0 when left out)
//   unplug, plug            takes it away and plugs it in again
// A line that is none of these is ignored with a word on standard error.
class VirtualPad {
 public:
  // Plugs it in. Throws std::runtime_error when SDL can't make one.
  explicit VirtualPad(int fd = 0);
  ~VirtualPad();
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;

  // Takes the lines that have come since the last call, without waiting
  // for more; SDL's next event pump brings them to the pad.
  void TakeLines();

 private:
  void Plug();
  void Unplug();
  void Apply(const std::string& line);

  int fd_;
  bool ended_ = false;  // the other end has closed: the pad stays as it is
  std::string partial_;
  int64_t lineNumber_ = 0;
  SDL_Joystick* joystick_ = nullptr;
};
