#include "Animation.h"

#include <cairo.h>

#include <memory>
#include <stdexcept>

#include "Channel.h"
#include "GifWriter.h"
#include "Palette.h"
#include "Pictures.h"

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// The screen of frames[index] on `surface`, as DrawScreen draws it.
const uint32_t* DrawShot(cairo_surface_t* surface, const std::vector<Frame>& frames, size_t index,
                         const std::map<int32_t, Model>& models) {
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, cairo_image_surface_get_width(surface) / static_cast<double>(kScreenWidth),
              cairo_image_surface_get_height(surface) / static_cast<double>(kScreenHeight));
  DrawScreenOn(cr, frames, index, models);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface));
}

}  // namespace

void WriteAnimation(const std::vector<Frame>& frames, const std::map<int32_t, Model>& models,
                    const std::vector<AnimationFrameRecord>& shots, uint32_t width, uint32_t height,
                    const std::string& path) {
  for (const AnimationFrameRecord& shot : shots) {
    if (shot.frameIndex < 0 || static_cast<uint64_t>(shot.frameIndex) >= frames.size()) {
      throw StreamError("an animation of frame " + std::to_string(shot.frameIndex) + ", of " +
                        std::to_string(frames.size()) + " sent");
    }
  }
  if (shots.empty() || width == 0 || height == 0 || width > 4 * kScreenWidth ||
      height > 4 * kScreenHeight) {
    throw StreamError("an animation of " + std::to_string(shots.size()) + " frames at " +
                      std::to_string(width) + " x " + std::to_string(height));
  }
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h), &cairo_surface_destroy);
  const size_t stride = static_cast<size_t>(cairo_image_surface_get_stride(surface.get())) / 4;

  // Drawing a shot costs less than keeping it: each is drawn once for the
  // palette, which comes from them all, and once more in its colours.
  ShadeCounts counts;
  for (const AnimationFrameRecord& shot : shots) {
    const uint32_t* pixels =
        DrawShot(surface.get(), frames, static_cast<size_t>(shot.frameIndex), models);
    for (size_t y = 0; y < height; ++y) CountShades(pixels + y * stride, width, counts);
  }
  Palette palette = ChoosePalette(counts);

  GifWriter gif(path, w, h, palette.colours);
  std::vector<uint8_t> indices(size_t{width} * height);
  for (const AnimationFrameRecord& shot : shots) {
    const uint32_t* pixels =
        DrawShot(surface.get(), frames, static_cast<size_t>(shot.frameIndex), models);
    uint32_t last = 0;
    uint8_t index = palette.indexOfShade[ShadeOf(last)];
    for (size_t y = 0; y < height; ++y) {
      for (size_t x = 0; x < width; ++x) {
        uint32_t p = pixels[y * stride + x];
        if (p != last) last = p, index = palette.indexOfShade[ShadeOf(p)];
        indices[y * width + x] = index;
      }
    }
    gif.Add(indices, shot.lengthUs);
  }
  gif.Close();
}
