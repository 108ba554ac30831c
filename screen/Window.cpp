#include "Window.h"

#include <SDL.h>
#include <cairo.h>

#include <cstdlib>
#include <stdexcept>

#include "Pictures.h"

namespace {

// Windows virtual-key codes the game reads by name.
constexpr int kVkShift = 16;
constexpr int kVkEscape = 27;
constexpr int kVkSpace = 32;
constexpr int kVkLeft = 37;
constexpr int kVkRight = 39;

// The Windows key code of a key by its place on the keyboard (as on a US
// layout, so that WASD is where it always is); 0 when the game has none.
int VirtualKey(SDL_Scancode code) {
  if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z) return 'A' + (code - SDL_SCANCODE_A);
  if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9) return '1' + (code - SDL_SCANCODE_1);
  if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F12) return 112 + (code - SDL_SCANCODE_F1);
  if (code >= SDL_SCANCODE_F13 && code <= SDL_SCANCODE_F24) return 124 + (code - SDL_SCANCODE_F13);
  if (code >= SDL_SCANCODE_KP_1 && code <= SDL_SCANCODE_KP_9)
    return 97 + (code - SDL_SCANCODE_KP_1);
  switch (code) {
    case SDL_SCANCODE_0:
      return '0';
    case SDL_SCANCODE_KP_0:
      return 96;
    case SDL_SCANCODE_BACKSPACE:
      return 8;
    case SDL_SCANCODE_TAB:
      return 9;
    case SDL_SCANCODE_RETURN:
      return 13;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT:
      return kVkShift;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL:
      return 17;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT:
      return 18;
    case SDL_SCANCODE_PAUSE:
      return 19;
    case SDL_SCANCODE_ESCAPE:
      return kVkEscape;
    case SDL_SCANCODE_SPACE:
      return kVkSpace;
    case SDL_SCANCODE_PAGEUP:
      return 33;
    case SDL_SCANCODE_PAGEDOWN:
      return 34;
    case SDL_SCANCODE_END:
      return 35;
    case SDL_SCANCODE_HOME:
      return 36;
    case SDL_SCANCODE_LEFT:
      return kVkLeft;
    case SDL_SCANCODE_UP:
      return 38;
    case SDL_SCANCODE_RIGHT:
      return kVkRight;
    case SDL_SCANCODE_DOWN:
      return 40;
    case SDL_SCANCODE_INSERT:
      return 45;
    case SDL_SCANCODE_DELETE:
      return 46;
    default:
      return 0;
  }
}

void StripText(cairo_t* cr, double x, double y, const std::string& text, double size) {
  cairo_select_font_face(cr, "monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

[[noreturn]] void NoDisplay(const std::string& why) {
  throw std::runtime_error("play: no display to open the window on (" + why +
                           "); without a desktop, run it in a virtual one: xvfb-run -s \"-screen 0 "
                           "1280x800x24\" quorvat-sim play");
}

}  // namespace

PlayWindow::PlayWindow() {
  // Left to itself, SDL falls back to drawing off screen where there is no
  // display: a window nobody sees. Only a real display will do, unless
  // SDL_VIDEODRIVER asks for something else.
  if (std::getenv("SDL_VIDEODRIVER") == nullptr) {
    if (std::getenv("WAYLAND_DISPLAY") != nullptr) {
      SDL_SetHint(SDL_HINT_VIDEODRIVER, "wayland,x11");
    } else if (std::getenv("DISPLAY") != nullptr) {
      SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    } else {
      NoDisplay("DISPLAY is not set");
    }
  }
  // The picture is drawn in memory and copied to the window: left to itself,
  // SDL would make that copy through OpenGL, which where there is no graphics
  // card means compiling shaders at start-up. X11's own image transfer is all
  // the window needs.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) NoDisplay(SDL_GetError());
  window_ = SDL_CreateWindow("Quorvat play", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             kPlayViewWidth, kPlayViewHeight + kPlayStripHeight, SDL_WINDOW_SHOWN);
  canvas_ = SDL_CreateRGBSurfaceWithFormat(0, kPlayViewWidth, kPlayViewHeight + kPlayStripHeight,
                                           32, SDL_PIXELFORMAT_RGB888);
  if (window_ == nullptr || canvas_ == nullptr) {
    std::string error = SDL_GetError();
    Close();
    throw std::runtime_error("play: cannot open the window: " + error);
  }
}

PlayWindow::~PlayWindow() {
  Close();
}

void PlayWindow::Close() {
  if (canvas_ != nullptr) SDL_FreeSurface(canvas_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  canvas_ = nullptr;
  window_ = nullptr;
  SDL_Quit();
}

void PlayWindow::Show(const std::vector<Frame>& frames, const std::map<int32_t, Model>& models,
                      const std::string& status, const std::string& help) {
  // cairo's RGB24 and SDL's RGB888 are the same 32-bit pixels.
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      static_cast<unsigned char*>(canvas_->pixels), CAIRO_FORMAT_RGB24, canvas_->w, canvas_->h,
      canvas_->pitch);
  cairo_t* cr = cairo_create(surface);

  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, kPlayViewWidth, kPlayViewHeight);
  cairo_clip(cr);
  if (!frames.empty()) {
    DrawWorldView(cr, kPlayViewWidth, kPlayViewHeight, frames, frames.size() - 1, models);
    DrawModuleShapes(cr, kPlayViewWidth, kPlayViewHeight, frames.back());
  } else {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
  }
  cairo_restore(cr);

  // The harness's strip: its own colours, apart from anything the module
  // draws.
  cairo_set_source_rgb(cr, 0.13, 0.15, 0.22);
  cairo_rectangle(cr, 0, kPlayViewHeight, kPlayViewWidth, kPlayStripHeight);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.95, 0.85, 0.45);
  StripText(cr, 10, kPlayViewHeight + 20, status, 14);
  cairo_set_source_rgb(cr, 0.75, 0.78, 0.85);
  StripText(cr, 10, kPlayViewHeight + 42, help, 12);

  cairo_destroy(cr);
  cairo_surface_destroy(surface);

  SDL_SetWindowTitle(window_, ("Quorvat play: " + status).c_str());
  SDL_Surface* screen = SDL_GetWindowSurface(window_);
  if (screen != nullptr && SDL_BlitSurface(canvas_, nullptr, screen, nullptr) == 0) {
    SDL_UpdateWindowSurface(window_);
  }
}

std::vector<KeyRecord> PlayWindow::TakeKeyEvents(
    const std::function<void(const SDL_Event&)>& others) {
  std::vector<KeyRecord> events;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_QUIT) {
      events.push_back({kVkEscape, 1, {}});
    } else if ((e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) && e.key.repeat == 0) {
      int key = VirtualKey(e.key.keysym.scancode);
      if (key != 0) events.push_back({key, static_cast<uint8_t>(e.type == SDL_KEYDOWN), {}});
    } else if (others) {
      others(e);
    }
  }
  return events;
}
