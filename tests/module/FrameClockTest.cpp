// The frame clock at the edges of its rules, on counters the scenario's
// clock never makes: one that steps back or reads below 0, a machine that
// has none, the fastest one allowed.
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

struct Row {
  const char* rule;
  int64_t frequency;
  std::vector<int64_t> readings;
  Lengths lengths;
};

TEST(FrameClock, CountsTheMillisecondMarksPassedWithinItsRules) {
  const Row rows[] = {
      {"a counter that steps back counts nothing and is measured on from there",
       1000000,
       {5000000, 5016000, 4000000, 4016000},
       {0, 16, 0, 16}},
      {"without a frequency every frame counts nothing", 0, {1000000, 1016667, 1033334}, {0, 0, 0}},
      {"the fastest frequency still counts", 1000000000000000, {0, 10000000000000}, {0, 10}},
      {"a negative previous reading counts nothing", 1000000, {-5000000, -4984000}, {0, 0}},
      {"the marks are counted from the previous reading's place in its second",
       1000000,
       {1000000000, 1000016667, 1000033334},
       {0, 16, 17}},
  };
  for (const Row& row : rows) {
    ResetModule();
    Clock clock;
    clock.frequency = row.frequency;
    clock.readings = row.readings;
    EXPECT_EQ(clock.Run(), row.lengths) << row.rule;
  }
}

}  // namespace
