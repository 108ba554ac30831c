// The frame clock on counters the scenario's clock never makes: one that
// steps back, and a machine that has none.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "FakeGame.h"
#include "record/FrameClock.h"

namespace {

using Lengths = std::vector<unsigned>;

// Answers its frequency, then its readings one a frame.
class Clock : public FakeGame {
 public:
  int64_t frequency = 1000000;
  std::vector<int64_t> readings;

  BOOL OnQueryPerformanceFrequency(LARGE_INTEGER* answer) override {
    answer->QuadPart = frequency;
    return frequency != 0;
  }
  BOOL OnQueryPerformanceCounter(LARGE_INTEGER* answer) override {
    answer->QuadPart = readings.at(next_++);
    return TRUE;
  }

  // Each frame's length as the module keeps it.
  Lengths Run() {
    StartFrameClock();
    Lengths lengths;
    for (size_t i = 0; i < readings.size(); ++i) {
      TimeFrame();
      lengths.push_back(rewindState.frameMs);
    }
    return lengths;
  }

 private:
  size_t next_ = 0;
};

TEST(FrameClock, ACounterThatStepsBackCountsNothingAndIsMeasuredOnFromThere) {
  ResetModule();
  Clock clock;
  clock.readings = {5000000, 5016000, 4000000, 4016000};
  EXPECT_EQ(clock.Run(), (Lengths{0, 16, 0, 16}));
}

TEST(FrameClock, WithoutAFrequencyEveryFrameCountsNothing) {
  ResetModule();
  Clock clock;
  clock.frequency = 0;
  clock.readings = {1000000, 1016667, 1033334};
  EXPECT_EQ(clock.Run(), (Lengths{0, 0, 0}));
}

}  // namespace
