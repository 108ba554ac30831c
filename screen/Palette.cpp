#include "Palette.h"

#include <algorithm>
#include <limits>

void CountShades(const uint32_t* pixels, size_t count, ShadeCounts& counts) {
  // The view is mostly flat ground: a run of one colour is counted at once.
  size_t i = 0;
  while (i < count) {
    const uint32_t p = pixels[i];
    const uint16_t s = ShadeOf(p);
    size_t end = i + 1;
    while (end < count && pixels[end] == p) ++end;
    const uint64_t n = end - i;
    counts.count[s] += n;
    counts.sum[3 * s] += n * (p >> 16 & 0xFF);
    counts.sum[3 * s + 1] += n * (p >> 8 & 0xFF);
    counts.sum[3 * s + 2] += n * (p & 0xFF);
    i = end;
  }
}

Palette ChoosePalette(const ShadeCounts& counts) {
  std::vector<uint16_t> seen;
  for (uint32_t s = 0; s < counts.count.size(); ++s) {
    if (counts.count[s] > 0) seen.push_back(static_cast<uint16_t>(s));
  }
  std::stable_sort(seen.begin(), seen.end(),
                   [&](uint16_t a, uint16_t b) { return counts.count[a] > counts.count[b]; });

  // A shade's colour: the mean of what was seen in it, or for one never
  // seen its middle.
  auto colourOf = [&](uint32_t s) {
    std::array<int, 3> c;
    for (int k = 0; k < 3; ++k) {
      uint64_t n = counts.count[s];
      int bits = static_cast<int>(s >> (10 - 5 * k) & 0x1F);
      c[k] = n > 0 ? static_cast<int>((counts.sum[3 * s + k] + n / 2) / n) : bits << 3 | 4;
    }
    return c;
  };

  Palette palette;
  for (size_t i = 0; i < seen.size() && i < kMaxColours; ++i) {
    std::array<int, 3> c = colourOf(seen[i]);
    palette.colours.push_back(
        {static_cast<uint8_t>(c[0]), static_cast<uint8_t>(c[1]), static_cast<uint8_t>(c[2])});
  }
  palette.indexOfShade.assign(counts.count.size(), 0);
  for (uint32_t s = 0; s < counts.count.size(); ++s) {
    if (counts.count[s] == 0 || palette.colours.empty()) continue;
    std::array<int, 3> c = colourOf(s);
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (size_t i = 0; i < palette.colours.size(); ++i) {
      int d = 0;
      for (int k = 0; k < 3; ++k) {
        int e = c[k] - palette.colours[i][k];
        d += e * e;
      }
      if (d < bestDistance) {
        bestDistance = d;
        best = static_cast<int>(i);
      }
    }
    palette.indexOfShade[s] = static_cast<uint8_t>(best);
  }
  return palette;
}
