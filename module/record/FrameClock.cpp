#include "record/FrameClock.h"

#include <cstdint>

#include "platform.h"
#include "state/RewindState.h"

namespace {

constexpr uint64_t kLongestFrameMs = 1000;
// No counter ticks faster than this; the bound keeps every product below
// within 64 bits.
constexpr int64_t kFastestFrequency = 1000000000000000;

// The millisecond marks the counter passed between the two readings, so
// that consecutive frames add up to the time between their readings, to the
// millisecond: truncating each frame's own length would lose up to a
// millisecond a frame (at 144 frames a second, 6 of every 6.944).
uint16_t FrameMs(int64_t previous, int64_t now, int64_t frequency) {
  if (frequency < 1 || frequency > kFastestFrequency || now < previous || previous < 0) return 0;
  const uint64_t ticks = static_cast<uint64_t>(now) - static_cast<uint64_t>(previous);
  const uint64_t perSecond = static_cast<uint64_t>(frequency);
  // A pause or a load counts as one second.
  if (ticks >= perSecond) return kLongestFrameMs;
  // floor(1000 now / f) - floor(1000 previous / f), taken from the previous
  // reading's place within its second: b + ticks < 2f, so 1000 times it
  // stays below 2e18.
  const uint64_t intoSecond = static_cast<uint64_t>(previous) % perSecond;
  return static_cast<uint16_t>(kLongestFrameMs * (intoSecond + ticks) / perSecond -
                               kLongestFrameMs * intoSecond / perSecond);
}

}  // namespace

void StartFrameClock() {
  // A machine without a performance counter leaves 0 here: every frame then
  // counts 0 ms.
  LARGE_INTEGER frequency = {};
  QueryPerformanceFrequency(&frequency);
  rewindState.clockFrequency = frequency.QuadPart;
}

void TimeFrame() {
  RewindState& s = rewindState;
  LARGE_INTEGER now = {};
  QueryPerformanceCounter(&now);
  s.frameMs = s.clockRead != 0 ? FrameMs(s.lastClockReading, now.QuadPart, s.clockFrequency) : 0;
  s.lastClockReading = now.QuadPart;
  s.clockRead = 1;
}
