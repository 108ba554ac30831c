// The play window's pad against XInput's own values. The buttons and axes
// are set on a virtual joystick of the test's own, through SDL's names: the
// virtual pad's lines go through the window's table both ways, so a swapped
// entry there would round-trip unnoticed. No display is needed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "Pad.h"

namespace {

void Pump(PlayPad& pad) {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) pad.OnEvent(event);
}

// A game controller as SDL maps one itself: buttons and axes in the order of
// SDL's own lists.
SDL_Joystick* AttachController() {
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
  desc.button_mask = (1u << desc.nbuttons) - 1;
  const int device = SDL_JoystickAttachVirtualEx(&desc);
  return device < 0 ? nullptr : SDL_JoystickOpen(device);
}

TEST(PlayPad, ReadsSdlsButtonsAndTriggersAsXInputsWordAndBytes) {
  PlayPad pad(true);
  ASSERT_EQ(pad.Unavailable(), "");
  SDL_Joystick* joystick = AttachController();
  ASSERT_NE(joystick, nullptr) << SDL_GetError();
  Pump(pad);
  ASSERT_TRUE(pad.Connected());

  const struct {
    SDL_GameControllerButton button;
    int xinput;
  } kButtons[] = {
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
      {SDL_CONTROLLER_BUTTON_GUIDE, 0x0000},  // XInput's word has no bit for it
  };
  // A trigger at rest is the bottom of its axis.
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_JOYSTICK_AXIS_MIN);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MIN);
  for (const auto& b : kButtons) {
    SDL_JoystickSetVirtualButton(joystick, b.button, 1);
    Pump(pad);
    const PadState input = pad.Read();
    ASSERT_TRUE(input.connected);
    EXPECT_EQ(input.buttons, b.xinput) << SDL_GameControllerGetStringForButton(b.button);
    EXPECT_EQ(input.lt + input.rt, 0);
    SDL_JoystickSetVirtualButton(joystick, b.button, 0);
  }

  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_JOYSTICK_AXIS_MAX);
  Pump(pad);
  EXPECT_EQ(pad.Read().lt, 255);
  EXPECT_EQ(pad.Read().rt, 0);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_JOYSTICK_AXIS_MIN);
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MAX);
  Pump(pad);
  EXPECT_EQ(pad.Read().lt, 0);
  EXPECT_EQ(pad.Read().rt, 255);
  SDL_JoystickClose(joystick);
}

TEST(PlayPad, AVirtualPadLineWithBitsNoButtonSetsIsRefusedAloud) {
  PlayPad pad(true);
  ASSERT_EQ(pad.Unavailable(), "");
  int lines[2];
  ASSERT_EQ(pipe(lines), 0);
  {
    VirtualPad virtualPad(lines[0]);
    Pump(pad);
    ASSERT_TRUE(pad.Connected());
    const std::string line = "1056 0 0\n";  // Back and 0x0400
    ASSERT_EQ(write(lines[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    testing::internal::CaptureStderr();
    virtualPad.TakeLines();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("line 1 ignored"), std::string::npos) << said;
    Pump(pad);
    EXPECT_EQ(pad.Read().buttons, 0);
  }
  close(lines[0]);
  close(lines[1]);
}

}  // namespace
