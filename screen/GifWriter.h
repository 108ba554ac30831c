// An animated GIF written with giflib: one global palette, every frame after
// the first stored as the rectangle that changed, with what stayed the same
// in it transparent, and the delays kept true to the run's time.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct GifFileType;

class GifWriter {
 public:
  // Throws std::runtime_error when the file can't be made. `colours` holds
  // at most 255, the last index being the transparent one.
  GifWriter(const std::string& path, int width, int height,
            const std::vector<std::array<uint8_t, 3>>& colours);
  ~GifWriter();
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;

  // One frame, `width` × `height` palette indices, shown for `lengthUs`.
  void Add(const std::vector<uint8_t>& indices, uint32_t lengthUs);
  // Throws std::runtime_error when the file can't be finished.
  void Close();

 private:
  void Fail(int error);

  std::string path_;
  GifFileType* gif_ = nullptr;
  int width_, height_;
  std::vector<uint8_t> shown_;  // what a viewer shows after the frames so far
  bool first_ = true;
  // The run's time and the GIF's, to the end of the frames so far; a GIF
  // counts in hundredths, so what a delay rounds off is made up later.
  uint64_t runUs_ = 0, gifCentis_ = 0;
};
