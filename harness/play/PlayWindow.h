// The window a person plays in, as the game's process sees it: the screen
// program draws it, keeps the game's pace and hands back the keys and the
// pad, one exchange a frame (stream/ScreenStream.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "formats/Scenario.h"
#include "play/PlayInput.h"
#include "screenlink/ScreenLink.h"
#include "world/LiveWorld.h"

// What a frame's exchange brings back: the person's side and the clock.
struct ScreenInput {
  std::vector<KeyEvent> keys;  // since the frame before
  PadInput pad;
  uint32_t stepUs = 0;       // real time from the start of the frame before to this one's
  double framesASecond = 0;  // over about the last second
  double seconds = 0;        // from the first frame to this one
  int64_t lateFrames = 0;    // frames that began more than a frame late
};

class PlayWindow {
 public:
  // Starts the screen program and opens the window, one frame every
  // `frameMs`; with `virtualPad` a pad driven by lines on standard input
  // (the screen's too) is plugged in. Throws RunError with the screen's
  // reason when there is no window: no display, say.
  PlayWindow(uint32_t frameMs, bool virtualPad);

  void SetModels(const std::map<int32_t, ScriptedModel>& models);
  // Shows the screen as `frame` ended (none: nothing played yet), with the
  // harness's two lines beneath it, waits for the next frame's time and
  // returns what came meanwhile. Throws RunError when the screen has gone or
  // stopped answering.
  ScreenInput Show(const LiveFrame* frame, const std::string& status, const std::string& help);

 private:
  ScreenLink screen_;
};
