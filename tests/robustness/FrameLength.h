// A frame's length in whole milliseconds as the frame clock must count it,
// for the fuzz target and the harness soak to hold the module's against. It
// is reckoned another way than the module's: from the readings' whole
// seconds and their remainders, so that the two share no arithmetic.
#pragma once

#include <cstdint>

// The millisecond marks the counter passed between the previous frame's
// reading and this one's, floor(1000 now / f) - floor(1000 previous / f):
// 0 without a previous reading, for a frequency outside 1 ... 10^15, for a
// counter that went back and for a negative previous reading; a second for
// a frame of a second or more.
inline uint16_t ExpectedFrameMs(bool hasPrevious, int64_t previous, int64_t now,
                                int64_t frequency) {
  constexpr int64_t kFastest = 1000000000000000;
  if (!hasPrevious || frequency < 1 || frequency > kFastest || now < previous || previous < 0) {
    return 0;
  }
  // Both readings are at least 0 here, so the difference can't overflow.
  if (now - previous >= frequency) return 1000;
  // Less than a second apart: their whole seconds differ by 0 or 1, and each
  // remainder is below f, so 1000 times it stays below 10^18.
  const int64_t seconds = now / frequency - previous / frequency;
  const int64_t marks = 1000 * seconds + 1000 * (now % frequency) / frequency -
                        1000 * (previous % frequency) / frequency;
  return static_cast<uint16_t>(marks);
}
