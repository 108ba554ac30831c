#include "GifWriter.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kTransparent = 255;
// Viewers stretch shorter delays to a tenth of a second.
constexpr uint64_t kShortestDelay = 2;

}  // namespace

GifWriter::GifWriter(const std::string& path, int width, int height,
                     const std::vector<std::array<uint8_t, 3>>& colours)
    : path_(path), width_(width), height_(height) {
  // giflib would make the file for its owner alone; a picture is for
  // anyone to read, as the PNGs beside it are.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (fd < 0)
    throw std::runtime_error(path + ": cannot write the animation: " + std::strerror(errno));
  int error = 0;
  gif_ = EGifOpenFileHandle(fd, &error);
  if (gif_ == nullptr) {
    close(fd);
    Fail(error);
  }
  GifColorType table[256] = {};
  for (size_t i = 0; i < colours.size() && i < kTransparent; ++i) {
    table[i] = {colours[i][0], colours[i][1], colours[i][2]};
  }
  ColorMapObject* map = GifMakeMapObject(256, table);
  EGifSetGifVersion(gif_, true);
  int put = EGifPutScreenDesc(gif_, width, height, 8, 0, map);
  GifFreeMapObject(map);
  if (put == GIF_ERROR) Fail(gif_->Error);
  // Played over and over, as a picture in a page is.
  static const unsigned char kLoop[3] = {1, 0, 0};
  if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
      EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0") == GIF_ERROR ||
      EGifPutExtensionBlock(gif_, 3, kLoop) == GIF_ERROR ||
      EGifPutExtensionTrailer(gif_) == GIF_ERROR) {
    Fail(gif_->Error);
  }
}

GifWriter::~GifWriter() {
  if (gif_ != nullptr) EGifCloseFile(gif_, nullptr);
}

void GifWriter::Fail(int error) {
  // Half a GIF would pass for the run's.
  if (gif_ != nullptr) EGifCloseFile(gif_, nullptr);
  gif_ = nullptr;
  std::remove(path_.c_str());
  const char* why = GifErrorString(error);
  throw std::runtime_error(path_ + ": cannot write the animation: " +
                           (why != nullptr ? why : "error " + std::to_string(error)));
}

void GifWriter::Add(const std::vector<uint8_t>& indices, uint32_t lengthUs) {
  // The rectangle that changed; an unchanged frame still needs a pixel.
  int left = 0, top = 0, right = width_ - 1, bottom = height_ - 1;
  if (!first_) {
    left = width_, top = height_, right = -1, bottom = -1;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        size_t at = static_cast<size_t>(y) * width_ + x;
        if (indices[at] == shown_[at]) continue;
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    }
    if (right < 0) left = top = right = bottom = 0;
  }

  runUs_ += lengthUs;
  uint64_t delay = std::max<uint64_t>(kShortestDelay, (runUs_ + 5000) / 10000 - gifCentis_);
  gifCentis_ += delay;
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = static_cast<int>(std::min<uint64_t>(delay, 65535));
  control.TransparentColor = kTransparent;
  GifByteType extension[4];
  EGifGCBToExtension(&control, extension);
  if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_ERROR ||
      EGifPutImageDesc(gif_, left, top, right - left + 1, bottom - top + 1, false, nullptr) ==
          GIF_ERROR) {
    Fail(gif_->Error);
  }
  std::vector<GifPixelType> line(static_cast<size_t>(right - left + 1));
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      size_t at = static_cast<size_t>(y) * width_ + x;
      line[x - left] = first_ || indices[at] != shown_[at] ? indices[at] : kTransparent;
    }
    if (EGifPutLine(gif_, line.data(), static_cast<int>(line.size())) == GIF_ERROR) {
      Fail(gif_->Error);
    }
  }
  shown_ = indices;
  first_ = false;
}

void GifWriter::Close() {
  int error = 0;
  GifFileType* gif = gif_;
  gif_ = nullptr;
  if (EGifCloseFile(gif, &error) == GIF_ERROR) Fail(error);
}
