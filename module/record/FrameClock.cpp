#include "record/FrameClock.h"

#include <cstdint>

#include "platform.h"
#include "state/RewindState.h"

namespace {

constexpr uint64_t kLongestFrameMs = 1000;

uint16_t FrameMs(int64_t previous, int64_t now, int64_t frequency) {
  if (frequency <= 0 || now < previous) return 0;
  // Unsigned, so that no pair of readings overflows; the cap makes every
  // span of a second or more 1000 before any multiplication.
  const uint64_t ticks = static_cast<uint64_t>(now) - static_cast<uint64_t>(previous);
  const uint64_t perSecond = static_cast<uint64_t>(frequency);
  if (ticks >= perSecond) return kLongestFrameMs;
  // ticks < perSecond here; the product fits unless the counter ticks more
  // than 1.8e16 times a second, which none does: then a millisecond's
  // ticks, truncated, serve.
  if (perSecond <= UINT64_MAX / kLongestFrameMs) {
    return static_cast<uint16_t>(ticks * kLongestFrameMs / perSecond);
  }
  return static_cast<uint16_t>(ticks / (perSecond / kLongestFrameMs));
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
