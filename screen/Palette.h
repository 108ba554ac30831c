// One palette for a whole animation. The top-down view is a few flat
// colours; cairo's antialiasing adds shades between them, which take the
// nearest of the colours seen most.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// A colour reduced to 5 bits a channel: 0xRRGGBB's bits 23-19, 15-11, 7-3.
inline uint16_t ShadeOf(uint32_t rgb) {
  return static_cast<uint16_t>((rgb >> 9 & 0x7C00) | (rgb >> 6 & 0x03E0) | (rgb >> 3 & 0x001F));
}

// How often each shade was seen, and the colours seen in it.
struct ShadeCounts {
  std::vector<uint64_t> count = std::vector<uint64_t>(1u << 15);
  std::vector<uint64_t> sum = std::vector<uint64_t>(3u << 15);  // r, g, b by shade
};

// Counts `pixels` (cairo's RGB24: 0xXXRRGGBB, the top byte unused).
void CountShades(const uint32_t* pixels, size_t count, ShadeCounts& counts);

struct Palette {
  std::vector<std::array<uint8_t, 3>> colours;  // the most seen first; at most kMaxColours
  std::vector<uint8_t> indexOfShade;            // by shade: the nearest colour's index
};

// The palette leaves one index free, for a GIF's transparent pixels.
constexpr size_t kMaxColours = 255;

// The most seen shades' colours (each the mean of the colours seen in it;
// ties go to the lower shade), so the same counts give the same palette.
Palette ChoosePalette(const ShadeCounts& counts);
