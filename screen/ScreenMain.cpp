// quorvat-screen: the screen of the game's process (quorvat-sim), which
// starts it; see stream/ScreenStream.h.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Animation.h"
#include "Channel.h"
#include "Frames.h"
#include "Pictures.h"

#if defined(QUORVAT_SCREEN_WINDOW)
#include <SDL.h>

#include "FrameClock.h"
#include "Pad.h"
#include "Window.h"
#endif

namespace {

// The demo: the whole run first, then the pictures it asks for.
void DrawPictures() {
  std::vector<Frame> frames;
  std::vector<Rewind> rewinds;
  std::map<int32_t, Model> models;
  std::string error;
  Message m;
  while (ReadMessage(kScreenFd, m) && m.kind != kEnd) {
    if (m.kind == kModel) {
      models = ReadModels(m.body);
    } else if (m.kind == kFrame) {
      BodyReader body(m.body);
      frames.push_back(ReadFrame(body));
    } else if (m.kind == kRewind) {
      rewinds.push_back(ReadRewind(m.body));
    } else if (m.kind == kPicture) {
      BodyReader body(m.body);
      auto picture = body.Take<PictureRecord>();
      std::string path = body.TakeText(picture.pathLength);
      // After the first failure the rest is only read: the game hears of it
      // once, at the end.
      if (!error.empty()) continue;
      try {
        if (frames.empty()) throw StreamError("a picture asked for before any frame");
        if (picture.frameIndex < 0) {
          DrawOverview(frames, rewinds, models, path);
        } else if (static_cast<uint64_t>(picture.frameIndex) < frames.size()) {
          DrawScreen(frames, static_cast<size_t>(picture.frameIndex), models, path);
        } else {
          throw StreamError("a picture of frame " + std::to_string(picture.frameIndex) + ", of " +
                            std::to_string(frames.size()) + " sent");
        }
      } catch (const std::runtime_error& e) {
        error = e.what();
      }
    } else if (m.kind == kAnimation) {
      BodyReader body(m.body);
      auto animation = body.Take<AnimationRecord>();
      std::vector<AnimationFrameRecord> shots;
      for (uint32_t i = 0; i < animation.frames; ++i) {
        shots.push_back(body.Take<AnimationFrameRecord>());
      }
      std::string path = body.TakeText(animation.pathLength);
      if (!error.empty()) continue;
      try {
        WriteAnimation(frames, models, shots, animation.width, animation.height, path);
      } catch (const std::runtime_error& e) {
        error = e.what();
      }
    } else {
      throw StreamError("message " + std::to_string(m.kind) + " where the demo's run was expected");
    }
  }
  if (m.kind != kEnd) throw StreamError("the game's stream ended before the run did");
  WriteMessage(kScreenFd, kDone, error);
}

#if defined(QUORVAT_SCREEN_WINDOW)
// The window keeps the frames whose path it draws, as the game's world
// keeps them: at least this many, at most twice as many.
constexpr size_t kFramesKept = 4000;

std::string InputBody(const std::vector<KeyRecord>& keys, const PadState& pad,
                      const FrameClock& clock) {
  InputRecord input{};
  input.padConnected = pad.connected;
  input.buttons = pad.buttons;
  input.lt = pad.lt;
  input.rt = pad.rt;
  input.stickX = pad.stickX;
  input.stickY = pad.stickY;
  input.stepUs = clock.StepUs();
  input.framesASecond = static_cast<float>(clock.RecentRate());
  input.seconds = clock.Seconds();
  input.lateFrames = clock.Late();
  input.keys = static_cast<uint32_t>(keys.size());
  std::string body;
  Append(body, input);
  for (const KeyRecord& key : keys) Append(body, key);
  return body;
}

// Play: the window, one exchange a frame until the game closes its end.
void RunWindow(uint32_t frameMs, bool virtualPad) {
  std::vector<Frame> frames;
  std::map<int32_t, Model> models;
  std::optional<PlayWindow> window;
  std::optional<PlayPad> pad;
  std::optional<VirtualPad> lines;
  try {
    window.emplace();
    pad.emplace(virtualPad);
    if (!pad->Unavailable().empty()) {
      if (virtualPad) throw std::runtime_error("play: no game pads here: " + pad->Unavailable());
      std::fprintf(stderr, "quorvat-sim play: no game pads here: %s\n", pad->Unavailable().c_str());
    }
    if (virtualPad) lines.emplace(0);
  } catch (const std::runtime_error& e) {
    WriteMessage(kScreenFd, kDone, e.what());
    return;
  }
  WriteMessage(kScreenFd, kDone, "");

  FrameClock clock(frameMs);
  Message m;
  while (ReadMessage(kScreenFd, m)) {
    if (m.kind == kModel) {
      models = ReadModels(m.body);
      continue;
    }
    if (m.kind != kShow) {
      throw StreamError("message " + std::to_string(m.kind) + " where a frame was expected");
    }
    BodyReader body(m.body);
    auto show = body.Take<ShowRecord>();
    if (show.hasFrame == 0) {
      // Nothing to see yet: the keys wait for the first frame.
      clock.WaitForNextFrame();
      WriteMessage(kScreenFd, kInput, InputBody({}, pad->Read(), clock));
      continue;
    }
    if (!frames.empty()) {
      // Only the newest frame is drawn whole; the older ones give the paths,
      // the player's and the followed vehicles'.
      Frame& older = frames.back();
      for (auto it = older.vehicles.begin(); it != older.vehicles.end();) {
        it = it->second.followed ? std::next(it) : older.vehicles.erase(it);
      }
      older.rects.clear();
      older.texts.clear();
    }
    if (frames.size() >= 2 * kFramesKept) {
      frames.erase(frames.begin(), frames.end() - static_cast<ptrdiff_t>(kFramesKept - 1));
    }
    frames.push_back(ReadFrame(body));
    std::string status = body.TakeText(show.statusLength);
    std::string help = body.TakeText(show.helpLength);
    window->Show(frames, models, status, help);
    clock.WaitForNextFrame();
    if (lines) lines->TakeLines();
    std::vector<KeyRecord> keys =
        window->TakeKeyEvents([&pad](const SDL_Event& event) { pad->OnEvent(event); });
    WriteMessage(kScreenFd, kInput, InputBody(keys, pad->Read(), clock));
  }
}
#endif

int Usage() {
  std::fprintf(stderr,
               "usage: quorvat-screen pictures | window FRAME_MS [--virtual-pad]\n"
               "quorvat-sim starts it, with its stream as descriptor %d.\n",
               kScreenFd);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() == 1 && args[0] == "pictures") {
      DrawPictures();
      return 0;
    }
    if ((args.size() == 2 || (args.size() == 3 && args[2] == "--virtual-pad")) &&
        args[0] == "window") {
      char* end = nullptr;
      unsigned long frameMs = std::strtoul(args[1].c_str(), &end, 10);
      if (*end != '\0' || frameMs == 0 || frameMs > 1000) return Usage();
#if defined(QUORVAT_SCREEN_WINDOW)
      RunWindow(static_cast<uint32_t>(frameMs), args.size() == 3);
#else
      WriteMessage(kScreenFd, kDone,
                   "play: quorvat-screen was built without SDL2, which the window needs: "
                   "install libsdl2-dev (scripts/setup play does) and build again");
#endif
      return 0;
    }
    return Usage();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorvat-screen: %s\n", e.what());
    return 1;
  }
}
