// What both soaks draw their games from: a seeded generator that gives the
// same sequence on every platform and library, so that a failing seed
// replays exactly, and the game's values as a misbehaving game reports them.
#pragma once

#include <cstdint>
#include <limits>

// splitmix64.
struct SoakRng {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
  float Unit() { return static_cast<float>(Next() >> 40) / static_cast<float>(1 << 24); }
  float Around(float scale) { return (Unit() - 0.5f) * 2.0f * scale; }
};

// A float as a game might report it: one time in `oneIn`, not a usable
// number (NaN, an infinity, a huge or a subnormal value).
inline float HostileFloat(SoakRng& rng, float usual, uint32_t oneIn) {
  const uint32_t pick = rng.Below(oneIn * 4);
  if (pick >= 4) return usual;
  static const float kHostile[] = {std::numeric_limits<float>::quiet_NaN(),
                                   std::numeric_limits<float>::infinity(), -3.0e38f, 1.0e-40f};
  return kHostile[pick];
}

// A count or value word, one time in `oneIn` at an edge of its range.
inline uint32_t HostileQuantity(SoakRng& rng, uint32_t usual, uint32_t oneIn) {
  const uint32_t pick = rng.Below(oneIn * 3);
  if (pick >= 3) return usual;
  static const uint32_t kEdges[] = {0xFFFFFFFFu, 0x80000000u, 0u};
  return kEdges[pick];
}

// The heap the histories may hold for `count` samples each: the samples,
// the partly filled block at either end and the block map; with the seconds
// label on, the two-byte frame lengths beside them.
inline double HistoryMemoryBound(uint64_t count, uint32_t histories, bool withLengths = false) {
  const double lengths = withLengths ? 2.0 * static_cast<double>(count) * 1.05 + 2048.0 : 0.0;
  return (4.0 * static_cast<double>(count) * 1.05 + 2048.0) * histories + lengths;
}

// Where the aids are on: a scrub or resume key as a player might move it
// (the QWERTZ and AZERTY letters, Enter, an arrow that also scrubs, the
// defaults).
inline int SomeMovedKey(SoakRng& rng) {
  static const int kKeys[] = {'Y', 'W', 'A', 'Q', 13, 0x26, 'Z', 'X', 0x20};
  return kKeys[rng.Below(sizeof kKeys / sizeof kKeys[0])];
}

// A frame's length in counts of a 1 MHz counter, as a game's frames go and
// now and then not: a stall, none at all, a counter that went backwards or
// leapt by 2^62.
inline int64_t SomeFrameLength(SoakRng& rng) {
  switch (rng.Below(200)) {
    case 0:
      return 0;
    case 1:
      return -16667;
    case 2:
      return int64_t{1} << 62;
    case 3:
      return 5000000;
    default:
      return 8000 + static_cast<int64_t>(rng.Below(40000));
  }
}
