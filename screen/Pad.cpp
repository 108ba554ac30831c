#include "Pad.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace {

// SDL's game-controller buttons carry XInput's names; XInput's word has no
// bit for the guide button or SDL's extra ones.
struct ButtonBit {
  SDL_GameControllerButton button;
  uint16_t bit;
};
constexpr ButtonBit kButtons[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, 0x0001},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 0x0002},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0x0004},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0x0008},
    {SDL_CONTROLLER_BUTTON_START, 0x0010},
    {SDL_CONTROLLER_BUTTON_BACK, 0x0020},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, 0x0040},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, 0x0080},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 0x0100},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 0x0200},
    {SDL_CONTROLLER_BUTTON_A, 0x1000},
    {SDL_CONTROLLER_BUTTON_B, 0x2000},
    {SDL_CONTROLLER_BUTTON_X, 0x4000},
    {SDL_CONTROLLER_BUTTON_Y, 0x8000},
};

// The two bits of XInput's word that no button sets.
constexpr long long kNoButtons = 0x0C00;

// SDL's triggers run 0 ... 32767, XInput's 0 ... 255.
uint8_t TriggerByte(Sint16 value) {
  if (value <= 0) return 0;
  return static_cast<uint8_t>((value * 255 + 32767 / 2) / 32767);
}

// SDL's y axes grow towards the player, XInput's away.
int16_t Flipped(Sint16 value) {
  return static_cast<int16_t>(value == -32768 ? 32767 : -value);
}

constexpr size_t kLongestLine = 256;

[[noreturn]] void NoVirtualPad(const std::string& why) {
  throw std::runtime_error("play: cannot make the virtual pad: " + why);
}

}  // namespace

PlayPad::PlayPad(bool virtualOnly) : virtualOnly_(virtualOnly) {
  if (virtualOnly) SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  // The controllers plugged in already arrive as events, like later ones.
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) unavailable_ = SDL_GetError();
}

PlayPad::~PlayPad() {
  Close();
  if (unavailable_.empty()) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

bool PlayPad::Takes(int deviceIndex) const {
  return !virtualOnly_ || SDL_JoystickIsVirtual(deviceIndex) == SDL_TRUE;
}

void PlayPad::Open(int deviceIndex) {
  controller_ = SDL_GameControllerOpen(deviceIndex);
  if (controller_ != nullptr) {
    instance_ = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller_));
  }
}

void PlayPad::Close() {
  if (controller_ != nullptr) SDL_GameControllerClose(controller_);
  controller_ = nullptr;
  instance_ = -1;
}

void PlayPad::OnEvent(const SDL_Event& event) {
  if (event.type == SDL_CONTROLLERDEVICEADDED) {
    if (controller_ == nullptr && Takes(event.cdevice.which)) Open(event.cdevice.which);
  } else if (event.type == SDL_CONTROLLERDEVICEREMOVED && event.cdevice.which == instance_) {
    Close();
    for (int i = 0; i < SDL_NumJoysticks() && controller_ == nullptr; ++i) {
      if (SDL_IsGameController(i) && Takes(i) &&
          SDL_JoystickGetDeviceInstanceID(i) != event.cdevice.which) {
        Open(i);
      }
    }
  }
}

PadState PlayPad::Read() const {
  PadState input;
  if (controller_ == nullptr) return input;
  input.connected = true;
  for (const ButtonBit& b : kButtons) {
    if (SDL_GameControllerGetButton(controller_, b.button) != 0) input.buttons |= b.bit;
  }
  input.lt = TriggerByte(SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_TRIGGERLEFT));
  input.rt = TriggerByte(SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_TRIGGERRIGHT));
  input.stickX = SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_LEFTX);
  input.stickY = Flipped(SDL_GameControllerGetAxis(controller_, SDL_CONTROLLER_AXIS_LEFTY));
  return input;
}

VirtualPad::VirtualPad(int fd) : fd_(fd) {
  if (SDL_WasInit(SDL_INIT_GAMECONTROLLER) == 0) NoVirtualPad("no game-controller support");
  Plug();
}

VirtualPad::~VirtualPad() {
  Unplug();
}

void VirtualPad::Plug() {
  if (joystick_ != nullptr) return;
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  // A game controller, so that SDL maps it itself: the buttons and axes in
  // the order of SDL's own lists.
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
  desc.button_mask = (1u << desc.nbuttons) - 1;
  desc.name = "Quorvat virtual pad";
  int device = SDL_JoystickAttachVirtualEx(&desc);
  if (device < 0) NoVirtualPad(SDL_GetError());
  joystick_ = SDL_JoystickOpen(device);
  if (joystick_ == nullptr) {
    std::string why = SDL_GetError();
    SDL_JoystickDetachVirtual(device);
    NoVirtualPad(why);
  }
  // A trigger at rest is the bottom of its axis, not its middle.
  SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_JOYSTICK_AXIS_MIN);
  SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MIN);
}

void VirtualPad::Unplug() {
  if (joystick_ == nullptr) return;
  SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
  SDL_JoystickClose(joystick_);
  joystick_ = nullptr;
  for (int i = 0; i < SDL_NumJoysticks(); ++i) {
    if (SDL_JoystickGetDeviceInstanceID(i) == id) {
      SDL_JoystickDetachVirtual(i);
      break;
    }
  }
}

void VirtualPad::TakeLines() {
  while (!ended_) {
    pollfd ready{fd_, POLLIN, 0};
    if (poll(&ready, 1, 0) <= 0) return;
    char buffer[4096];
    ssize_t got = read(fd_, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (got <= 0) {
      ended_ = true;
      if (!partial_.empty()) Apply(partial_);
      partial_.clear();
      return;
    }
    partial_.append(buffer, static_cast<size_t>(got));
    for (size_t end; (end = partial_.find('\n')) != std::string::npos;) {
      std::string line = partial_.substr(0, end);
      partial_.erase(0, end + 1);
      Apply(line);
    }
    if (partial_.size() > kLongestLine) {
      // No line of the pad's is this long.
      partial_.clear();
      Apply("?");
    }
  }
}

void VirtualPad::Apply(const std::string& line) {
  ++lineNumber_;
  std::istringstream words(line);
  std::string first, rest;
  if (!(words >> first)) return;
  bool alone = !(words >> rest);
  if (first == "unplug" && alone) return Unplug();
  if (first == "plug" && alone) return Plug();

  // Three whole numbers in range, or five.
  constexpr int kMost = 5;
  long long value[kMost] = {0, 0, 0, 0, 0};
  const long long low[kMost] = {0, 0, 0, -32768, -32768};
  const long long high[kMost] = {65535, 255, 255, 32767, 32767};
  int count = 0;
  bool valid = true;
  for (std::istringstream all(line); valid && all >> rest;) {
    if (count == kMost) {
      valid = false;
      break;
    }
    size_t used = 0;
    long long number = 0;
    try {
      number = std::stoll(rest, &used);
    } catch (const std::exception&) {
    }
    valid = used != 0 && used == rest.size() && number >= low[count] && number <= high[count];
    value[count++] = number;
  }
  if (!valid || (count != 3 && count != 5)) {
    std::cerr << "quorvat-sim play: virtual pad: line " << lineNumber_
              << " ignored: expected \"BUTTONS LT RT [LX LY]\", \"unplug\" or \"plug\"\n";
    return;
  }
  // Nothing could carry them to the module: a line that sets them is a
  // mistake, not a pad to play with.
  if ((value[0] & kNoButtons) != 0) {
    std::cerr << "quorvat-sim play: virtual pad: line " << lineNumber_
              << " ignored: no button sets 0x0400 or 0x0800 of XInput's word\n";
    return;
  }
  if (joystick_ == nullptr) return;
  for (const ButtonBit& b : kButtons) {
    SDL_JoystickSetVirtualButton(joystick_, b.button, (value[0] & b.bit) != 0);
  }
  // 0 ... 255 spread over the whole axis: 257 steps a unit.
  SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_TRIGGERLEFT,
                             static_cast<Sint16>(value[1] * 257 - 32768));
  SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_TRIGGERRIGHT,
                             static_cast<Sint16>(value[2] * 257 - 32768));
  SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTX, static_cast<Sint16>(value[3]));
  SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTY,
                             Flipped(static_cast<Sint16>(value[4])));
}
