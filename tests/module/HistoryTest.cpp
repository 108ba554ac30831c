// The history store: its queue, how much of the past it keeps, and that a
// frame's sample goes into all its histories or into none. The recording
// tests run with the seconds label on and two vehicles around the player
// followed, so that the frame lengths and the world parts kept beside the
// seventeen are pushed, trimmed and undone with them.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "FakeGame.h"
#include "host/Natives.h"
#include "record/RecordFrame.h"

namespace {

constexpr uint32_t kQueryFrameStep = 0x330A9C0C;
constexpr uint32_t kIsCharacterInVehicle = 0x74C3E7A5;
constexpr uint32_t kReadCharacterPosition = 0xC5892F5F;
constexpr uint32_t kReadVehicleRotation = 0xD30891FA;
constexpr uint32_t kSetGameSpeed = 0xA7F84694;
constexpr uint32_t kLocateVehicleNear = 0xCBCEC322;
constexpr uint32_t kIsVehicleValid = 0x8737CC23;
constexpr uint32_t kReadVehicleCondition = 0xBCF5C60B;

// The world part's memory and pushes come on top of the histories' own.
void FollowTwoVehicles() {
  rewindState.vehicleCount = 2;
  historySet.worldParts.SetSlots(2);
}

TEST(HistoryQueue, NewestFirstAndDropsFromTheOldestEnd) {
  FloatHistory h;
  h.PopOldest();  // empty: nothing happens
  EXPECT_EQ(h.SampleCount(), 0u);
  for (int i = 1; i <= 5; ++i) h.PushFront(static_cast<float>(i));
  EXPECT_EQ(h[0], 5.0f);
  EXPECT_EQ(h[4], 1.0f);
  h.PopOldest();
  EXPECT_EQ(h.SampleCount(), 4u);
  EXPECT_EQ(h[3], 2.0f);
  h.Newest() = 50.0f;
  EXPECT_EQ(h[0], 50.0f);
  h.PopNewest();
  EXPECT_EQ(h[0], 4.0f);
}

TEST(HistoryQueue, KeepsSamplesInPlaceAcrossManyBlocks) {
  IntHistory h;
  h.PushFront(0);
  const int32_t* oldest = &h.Newest();
  for (int i = 1; i < 10000; ++i) h.PushFront(i);
  EXPECT_EQ(*oldest, 0);  // still there, never moved
  EXPECT_EQ(h[9999], 0);
  EXPECT_EQ(h[0], 9999);
}

// Records frames through the real recording step against a fake game in
// which the character stands at x = the frame's number.
class Recording : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    rewindState.secondsEnabled = 1;
    FollowTwoVehicles();
    // Every probe finds the next of vehicles 1, 2, 3 ..., all of them valid
    // and near, so the slots and the turn change every frame.
    game.answers[kLocateVehicleNear] = [this](NativeContext& c) {
      c.argSlots[0] = static_cast<uint32_t>(++located);
    };
    game.answers[kIsVehicleValid] = [](NativeContext& c) { c.argSlots[0] = 1; };
    game.answers[kReadVehicleCondition] = [this](NativeContext& c) {
      WriteOut(c, 1, static_cast<uint32_t>(frame));
    };
    game.answers[kQueryFrameStep] = [](NativeContext& c) { c.argSlots[0] = 3; };
    game.answers[kReadCharacterPosition] = [this](NativeContext& c) {
      WriteOut(c, 1, static_cast<float>(frame));
      WriteOut(c, 2, 0.5f);
      WriteOut(c, 3, 10.0f);
    };
    game.answers[kIsCharacterInVehicle] = [this](NativeContext& c) {
      c.argSlots[0] = inVehicle ? 1 : 0;
    };
    game.answers[kReadVehicleRotation] = [this](NativeContext& c) {
      WriteOut(c, 4, static_cast<float>(frame) + 0.25f);
    };
  }
  void Record(int frames) {
    for (int i = 0; i < frames; ++i, ++frame) {
      rewindState.frameMs = static_cast<uint16_t>(frame % 1001);
      RecordFrame(0);
    }
  }
  std::vector<uint32_t> Counts() {
    std::vector<uint32_t> counts(kHistoryCount);
    HistoryCounts(counts.data());
    counts.push_back(historySet.frameMsHist.SampleCount());
    counts.push_back(historySet.worldParts.SampleCount());
    return counts;
  }
  void ExpectAllCounts(uint32_t n) {
    for (uint32_t c : Counts()) EXPECT_EQ(c, n);
  }

  FakeGame game;
  int frame = 0;
  int located = 0;
  bool inVehicle = false;
};

TEST_F(Recording, KeepsRecSizePlusOneSamplesDroppingTheOldest) {
  rewindState.recSize = 3;
  Record(3);
  ExpectAllCounts(3);
  Record(1);  // a count equal to recSize is not trimmed
  ExpectAllCounts(4);
  Record(6);  // from then on: trim to recSize, push back to recSize + 1
  ExpectAllCounts(4);
  EXPECT_EQ(historySet.posX[0], 9.0f);
  EXPECT_EQ(historySet.posX[3], 6.0f);
  EXPECT_EQ(historySet.posZ[0], 9.0f);  // z 10 less 1
  EXPECT_EQ(historySet.frameMsHist[3], 6u);
}

TEST_F(Recording, RecSizeZeroKeepsOneSample) {
  rewindState.recSize = 0;
  Record(5);
  ExpectAllCounts(1);
  EXPECT_EQ(historySet.posX[0], 4.0f);
}

TEST_F(Recording, TrimmingAnEmptySetChangesNothing) {
  TrimHistories();
  ExpectAllCounts(0);
}

TEST_F(Recording, MixedFramesKeepTheHistoriesAligned) {
  inVehicle = true;
  Record(10);
  inVehicle = false;
  Record(20);
  ExpectAllCounts(30);
  EXPECT_EQ(historySet.rotW[25], 4.25f);  // the vehicle frame 4's quaternion w
  EXPECT_EQ(historySet.rotW[5], 0.0f);
  EXPECT_EQ(historySet.inVehicleFlag[25], 1.0f);
}

TEST_F(Recording, GateClosedRecordsNothingAndHoldsTheRamp) {
  game.answers[kQueryFrameStep] = [](NativeContext& c) { c.argSlots[0] = 2; };
  rewindState.timeScaleRamp = 0.0f;
  Record(4);
  ExpectAllCounts(0);
  EXPECT_EQ(rewindState.timeScaleRamp, 0.0f);
  EXPECT_TRUE(game.CallsOf(kSetGameSpeed).empty());
}

// Each history's count and a digest of its samples' bits, to compare the
// store before and after a failed frame. Made without allocating: under
// some emulators the sanitizers' allocator can't take on new memory in the
// middle of this test.
std::array<uint64_t, 2 * (kHistoryCount + 2) + 2> StoreContents() {
  std::array<uint64_t, 2 * (kHistoryCount + 2) + 2> all{};
  size_t next = 0;
  auto take = [&all, &next](const auto& history) {
    uint64_t digest = 14695981039346656037ull;  // FNV-1a over each sample's bits
    for (uint32_t i = 0; i < history.SampleCount(); ++i) {
      uint32_t bits = 0;
      const auto sample = history[i];
      std::memcpy(&bits, &sample, sizeof sample);
      digest = (digest ^ bits) * 1099511628211ull;
    }
    all[next++] = history.SampleCount();
    all[next++] = digest;
  };
  const HistorySet& h = historySet;
  take(h.posX), take(h.posY), take(h.posZ), take(h.velX), take(h.velY), take(h.velZ);
  take(h.rotX), take(h.rotY), take(h.rotZ), take(h.rotW), take(h.inVehicleFlag);
  take(h.bodyModeFlag), take(h.conditionHist), take(h.playerValueHist), take(h.charValueHist);
  take(h.vehicleHist), take(h.footValueHist), take(h.frameMsHist);
  uint64_t digest = 14695981039346656037ull;
  for (uint32_t i = 0; i < h.worldParts.SampleCount(); ++i) {
    for (uint32_t slot = 0; slot < h.worldParts.Slots(); ++slot) {
      for (uint32_t word = 0; word < kWordsPerSlot; ++word) {
        digest = (digest ^ h.worldParts.Word(i, slot, word)) * 1099511628211ull;
      }
    }
  }
  all[next++] = h.worldParts.SampleCount();
  all[next++] = digest;
  // The slots and the probe turn: a failed push leaves them as it found them.
  for (int slot = 0; slot < kMostVehicles; ++slot) {
    digest = (digest ^ static_cast<uint32_t>(rewindState.vehicleSlots[slot])) * 1099511628211ull;
  }
  all[next++] = digest ^ rewindState.probeTurn;
  all[next] = h.frameMsTotal;  // the lengths' sum, which a history in seconds trims by
  return all;
}

int allocationsThisFrame = 0;
int failAt = 0;  // the allocation of the frame that fails, counted from 1; 0: none

bool FailChosenAllocation(std::size_t) {
  return ++allocationsThisFrame == failAt;
}

TEST_F(Recording, AFrameThatRunsOutOfMemoryIsNotRecordedAtAll) {
  // The histories grow in blocks, all in the same frame since they hold the
  // same count: fail each of that frame's allocations in turn, in an empty
  // store and in one that already holds samples (which the undo must keep).
  for (int held : {0, 300}) {
    for (int chosen = 1; chosen <= kHistoryCount + 2; ++chosen) {
      SCOPED_TRACE(::testing::Message() << "allocation " << chosen << ", " << held << " held");
      ResetModule();
      rewindState.secondsEnabled = 1;
      FollowTwoVehicles();
      rewindState.recSize = 1000;
      Record(held);
      ExpectAllCounts(held);
      HistoryMemory::failHook = FailChosenAllocation;
      bool failed = false;
      for (int attempt = 0; attempt < 1000 && !failed; ++attempt) {
        const auto before = StoreContents();
        rewindState.timeScaleRamp = 0.0f;  // ramping: the frame's end raises it
        allocationsThisFrame = 0;
        failAt = chosen;
        Record(1);
        if (allocationsThisFrame >= chosen) {
          failed = true;
          EXPECT_EQ(StoreContents(), before);
          EXPECT_GT(rewindState.timeScaleRamp, 0.0f);  // the rest of the frame ran
        }
      }
      ASSERT_TRUE(failed) << "no frame allocated";
      failAt = 0;
      const uint32_t count = historySet.posX.SampleCount();
      Record(1);
      ExpectAllCounts(count + 1);
      EXPECT_EQ(historySet.posX[0], static_cast<float>(frame - 1));
    }
  }
  HistoryMemory::failHook = nullptr;
}

TEST_F(Recording, AFullStoreLosesNothingToAFrameThatRunsOutOfMemory) {
  // Held at recSize + 1, a frame also drops the oldest sample: that must wait
  // until the new sample is in. Fail each allocation of a frame in turn.
  rewindState.recSize = 1000;
  Record(1001);
  for (int chosen = 1; chosen <= kHistoryCount + 2; ++chosen) {
    SCOPED_TRACE(::testing::Message() << "allocation " << chosen);
    HistoryMemory::failHook = FailChosenAllocation;
    bool failed = false;
    for (int attempt = 0; attempt < 1000 && !failed; ++attempt) {
      const auto before = StoreContents();
      allocationsThisFrame = 0;
      failAt = chosen;
      Record(1);
      failed = allocationsThisFrame >= chosen;
      if (failed) {
        EXPECT_EQ(StoreContents(), before);
      }
    }
    ASSERT_TRUE(failed) << "no frame allocated";
  }
  HistoryMemory::failHook = nullptr;
}

TEST_F(Recording, AFrameThatRunsOutOfMemoryMarksNothingAndMovesNoMark) {
  // Whole frames, marks on: every sample is marked, then each frame leaves
  // rewind mode from the oldest mark with the mark pressed, until one runs
  // out of memory. That frame spends the press, makes no fresh mark from the
  // resumed one, trims nothing (so the oldest mark keeps its sample) and
  // leaves the marks' running totals as they were.
  rewindState.frameCount = 100;  // past the first frames: no settings, no stamp
  rewindState.recSize = 3;
  rewindState.markKey = 119;
  scriptThread.enableKey = 118;
  for (int i = 0; i < 4; ++i, ++frame) {
    game.pressed.insert(119);
    RunFrame();
  }
  ASSERT_EQ(rewindState.markCount, 4);
  HistoryMemory::failHook = FailChosenAllocation;
  bool failed = false;
  for (int attempt = 0; attempt < 1000 && !failed; ++attempt, ++frame) {
    RewindState& s = rewindState;
    s.rewinding = 1;
    s.playLength = static_cast<int32_t>(historySet.posX.SampleCount());
    s.playIndex = static_cast<int32_t>(historySet.samplesPushed - s.marks[0].serial);
    const RewindState before = s;
    const uint64_t pushed = historySet.samplesPushed;
    const uint64_t msPushed = historySet.frameMsPushed;
    game.pressed = {118, 119};
    allocationsThisFrame = 0;
    failAt = 1;
    RunFrame();
    failed = allocationsThisFrame >= 1;
    if (failed) {
      EXPECT_EQ(s.rewinding, 0);
      ASSERT_EQ(s.markCount, before.markCount);
      EXPECT_EQ(std::memcmp(s.marks, before.marks, sizeof s.marks), 0);
      EXPECT_EQ(historySet.samplesPushed, pushed);
      EXPECT_EQ(historySet.frameMsPushed, msPushed);
      EXPECT_EQ(historySet.samplesPushed - s.marks[0].serial, 3u);  // still the oldest sample
    }
  }
  ASSERT_TRUE(failed) << "no frame allocated";
  HistoryMemory::failHook = nullptr;
}

TEST(HistoryMemory, CountsWhatTheHistoriesHold) {
  ResetModule();
  const std::size_t empty = HistoryMemory::bytesInUse;
  FloatHistory h;
  for (int i = 0; i < 100000; ++i) h.PushFront(1.0f);
  const std::size_t used = HistoryMemory::bytesInUse - empty;
  EXPECT_GE(used, 400000u);
  EXPECT_LT(used, 420000u);  // small blocks and a small map, nothing reserved ahead
}

TEST(HistoryMemory, GivesBackEveryByteItCounted) {
  ResetModule();
  const std::size_t before = HistoryMemory::bytesInUse;
  {
    FloatHistory h;
    for (int i = 0; i < 100000; ++i) h.PushFront(1.0f);
    for (int i = 0; i < 100000; ++i) h.PopOldest();
  }
  EXPECT_EQ(HistoryMemory::bytesInUse, before);
}

}  // namespace
