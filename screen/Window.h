// The window a person plays in (SDL2): the game's screen drawn as the demo's
// pictures are, the module's own shapes on top, and under it a strip that
// belongs to the harness, with the status line and the key help.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Frames.h"

struct SDL_Window;
struct SDL_Surface;
union SDL_Event;

// The game's screen, and the harness's strip below it.
constexpr int kPlayViewWidth = 960;
constexpr int kPlayViewHeight = 540;
constexpr int kPlayStripHeight = 52;

class PlayWindow {
 public:
  // Opens the window. Throws std::runtime_error with one line that says how
  // to get a display when there is none.
  PlayWindow();
  ~PlayWindow();
  PlayWindow(const PlayWindow&) = delete;
  PlayWindow& operator=(const PlayWindow&) = delete;

  // Shows the screen as `frames.back()` ended, with the harness's two lines
  // beneath it; the status line is also the window's title.
  void Show(const std::vector<Frame>& frames, const std::map<int32_t, Model>& models,
            const std::string& status, const std::string& help);

  // The key events since the last call, under their Windows key codes.
  // Closing the window comes as Escape. Every other event goes to `others`.
  std::vector<KeyRecord> TakeKeyEvents(const std::function<void(const SDL_Event&)>& others);

 private:
  void Close();

  SDL_Window* window_ = nullptr;
  SDL_Surface* canvas_ = nullptr;  // what cairo draws on, copied to the window
};
