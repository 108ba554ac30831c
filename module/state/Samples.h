// Conversions between the game's 32-bit values and the float samples.
#pragma once

#include <cmath>
#include <cstdint>

// An unsigned game value as a sample: read as unsigned, rounded to the
// nearest float, so values of 2^31 and above stay positive.
inline float UnsignedSample(uint32_t value) {
  return static_cast<float>(value);
}

// True when the live unsigned value differs from the sample: both exactly,
// in double precision; a sample that is not a number always differs.
inline bool DiffersFromSample(uint32_t live, float sample) {
  return static_cast<double>(live) != static_cast<double>(sample);
}

// A sample back as a game integer: truncated toward zero through a 64-bit
// integer of which the low 32 bits are kept. A sample outside the 64-bit range
// (or not a number) gives what the processor's conversion gives there, the
// lowest 64-bit value, whose low 32 bits are 0.
inline int32_t SampleToInt(float sample) {
  const double value = static_cast<double>(sample);
  if (!(value > -9223372036854775808.0 && value < 9223372036854775808.0)) return 0;
  return static_cast<int32_t>(
      static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value))));
}
