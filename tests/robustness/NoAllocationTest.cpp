// A frame's native calls allocate nothing: the only heap traffic of a frame
// is the histories taking or giving back a block. Every allocation of the
// process is counted here (operator new, and malloc itself where no
// sanitizer owns it), and every request of the histories' allocator through
// its fail hook; in each frame the two counts must agree.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "GameDouble.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUORVAT_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVAT_UNDER_ASAN 1
#endif
#endif

namespace {
bool counting = false;
uint64_t newCalls = 0;
uint64_t mallocCalls = 0;
uint64_t historyRequests = 0;

bool CountHistoryRequest(std::size_t) {
  ++historyRequests;
  return false;  // never fails: only counts
}

void* CountedNew(std::size_t bytes) {
  if (counting) ++newCalls;
  void* p = std::malloc(bytes == 0 ? 1 : bytes);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(std::size_t bytes) {
  return CountedNew(bytes);
}
void* operator new[](std::size_t bytes) {
  return CountedNew(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  try {
    return CountedNew(bytes);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t bytes, const std::nothrow_t& tag) noexcept {
  return operator new(bytes, tag);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

#if defined(QUORVAT_UNDER_ASAN)
// The sanitizer owns malloc; it reports every allocation to this hook.
extern "C" void __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*,
                                                                   std::size_t),
                                                          void (*)(const volatile void*));
namespace {
void OnMalloc(const volatile void*, std::size_t) {
  if (counting) ++mallocCalls;
}
void OnFree(const volatile void*) {}
const bool hooksInstalled = [] {
  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  return true;
}();
}  // namespace
#else
// Everything below operator new too: the C runtime's own allocations.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* malloc(std::size_t bytes) {
  if (counting) ++mallocCalls;
  return __libc_malloc(bytes);
}
void* calloc(std::size_t n, std::size_t bytes) {
  if (counting) ++mallocCalls;
  return __libc_calloc(n, bytes);
}
void* realloc(void* p, std::size_t bytes) {
  if (counting) ++mallocCalls;
  return __libc_realloc(p, bytes);
}
}
#endif

namespace {

class NoAllocation : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModuleState();
    game_.values.hasMtime = true;  // the stamp is formatted and drawn
    game_.values.mtime = 1700000000;
    RunFrame();  // the first frame: settings read by the platform's reader
    rewindState.recSize = 300;
    HistoryMemory::failHook = CountHistoryRequest;
  }
  void TearDown() override { HistoryMemory::failHook = nullptr; }

  // Runs `frames` frames; every allocation must be one the histories asked
  // for. Returns how many of the frames allocated nothing at all.
  int Frames(int frames, const std::string& what) {
    int quiet = 0;
    for (int i = 0; i < frames; ++i) {
      newCalls = mallocCalls = historyRequests = 0;
      counting = true;
      RunFrame();
      counting = false;
      EXPECT_EQ(newCalls, historyRequests) << what << ", frame " << i;
      EXPECT_EQ(mallocCalls, historyRequests) << what << ", frame " << i;
      if (historyRequests == 0) ++quiet;
      historyTotal_ += historyRequests;
      if (::testing::Test::HasFailure()) break;
    }
    return quiet;
  }

  void Press(int vk) { game_.values.pressed[vk] = true; }

  GameDouble game_;
  uint64_t historyTotal_ = 0;
};

TEST_F(NoAllocation, RecordingOnFootAndInAVehicleWhileTheStoreGrowsAndTrims) {
  // Frames 1 to 99 also draw the build stamp.
  EXPECT_GT(Frames(400, "recording on foot"), 350);
  game_.values.inVehicle = 1;
  game_.values.vehicle = 42;
  EXPECT_GT(Frames(400, "recording in a vehicle"), 350);
  EXPECT_EQ(historySet.posX.SampleCount(), 301u);
  // The counters do see allocations: the histories' blocks went through them.
  EXPECT_GT(historyTotal_, 17u * 4);
}

TEST_F(NoAllocation, RewindFramesScrubbingOnFootAndInAVehicle) {
  GameValues& v = game_.values;
  Frames(150, "recording on foot");
  v.inVehicle = 1;
  v.vehicle = 42;
  Frames(150, "recording in a vehicle");

  v.inVehicle = 0;
  v.playerValue = 9;  // differs from the samples: applied every frame
  v.charCondition = 50;
  v.distance = 3.0f;
  v.cursor[0] = 10;
  Press(118);
  EXPECT_EQ(Frames(1, "entering rewind mode"), 1);
  ASSERT_EQ(rewindState.rewinding, 1);
  EXPECT_EQ(Frames(20, "rewind, idle, vehicle samples, push mode"), 20);

  v.held['Z'] = true;
  v.scrubStep = 700;
  EXPECT_EQ(Frames(60, "rewind, scrubbing older past the end"), 60);
  v.held['Z'] = false;
  v.held[VK_RIGHT] = true;
  v.extentB[0] = 3.0f;
  v.nearVehicle = 43;
  EXPECT_EQ(Frames(60, "rewind, scrubbing newer past the start"), 60);
  v.held[VK_RIGHT] = false;

  v.inThisVehicle = 0;
  EXPECT_EQ(Frames(3, "rewind, seating the character"), 3);
  v.vehicleValid = 0;
  EXPECT_EQ(Frames(3, "rewind, recorded vehicle gone"), 3);
  rewindState.pushMode = 0;
  v.vehicleValid = 1;
  v.inThisVehicle = 1;
  EXPECT_EQ(Frames(3, "rewind, plain placement"), 3);

  Press(118);
  Frames(80, "leaving, ramping and fading");
  EXPECT_GE(rewindState.timeScaleRamp, 1.0f);
}

}  // namespace
