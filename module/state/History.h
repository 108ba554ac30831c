// The recorded timeline: seventeen histories, newest sample first, all of the
// same length so that one index names the same recorded frame in each; with
// the seconds label on, an eighteenth of the frames' lengths beside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <new>

// Every byte the histories hold comes through this allocator, so that their
// memory can be counted (benchmarks, the soak test) and made to fail (tests).
// The tests that make it fail run in the Linux build only: the DLL players
// get has no writable function pointer in its allocation path.
#if !defined(_WIN32)
#define QUORVAT_ALLOCATION_FAILURE_HOOK 1
#endif
struct HistoryMemory {
  static std::size_t bytesInUse;
#if defined(QUORVAT_ALLOCATION_FAILURE_HOOK)
  // When set and returning true for a request, that allocation fails.
  static bool (*failHook)(std::size_t bytes);
#endif
};

template <typename T>
struct HistoryAllocator {
  using value_type = T;
  HistoryAllocator() noexcept = default;
  template <typename U>
  HistoryAllocator(const HistoryAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    const std::size_t bytes = n * sizeof(T);
#if defined(QUORVAT_ALLOCATION_FAILURE_HOOK)
    if (HistoryMemory::failHook != nullptr && HistoryMemory::failHook(bytes)) {
      throw std::bad_alloc();
    }
#endif
    T* p = static_cast<T*>(::operator new(bytes));
    HistoryMemory::bytesInUse += bytes;
    return p;
  }
  void deallocate(T* p, std::size_t n) noexcept {
    HistoryMemory::bytesInUse -= n * sizeof(T);
    ::operator delete(p);
  }
  template <typename U>
  bool operator==(const HistoryAllocator<U>&) const noexcept {
    return true;
  }
  template <typename U>
  bool operator!=(const HistoryAllocator<U>&) const noexcept {
    return false;
  }
};

// A double-ended queue of samples, index 0 the newest. The deque takes memory
// in small blocks as samples arrive and never moves a sample it holds, so
// pushing, dropping the oldest and indexed reading all take constant time.
template <typename T>
class HistoryQueue {
 public:
  // May throw std::bad_alloc; the queue is then unchanged.
  void PushFront(T value) { samples_.push_front(value); }
  // Removes the oldest sample; does nothing when empty.
  void PopOldest() {
    if (!samples_.empty()) samples_.pop_back();
  }
  // Removes the newest sample; does nothing when empty. Only used to undo the
  // pushes of a frame that could not be recorded whole.
  void PopNewest() {
    if (!samples_.empty()) samples_.pop_front();
  }
  uint32_t SampleCount() const { return static_cast<uint32_t>(samples_.size()); }
  // Requires index < SampleCount(); callers bound the index themselves.
  T operator[](uint32_t index) const { return samples_[index]; }
  T& Newest() { return samples_.front(); }
  // Requires a sample.
  T Oldest() const { return samples_.back(); }

 private:
  std::deque<T, HistoryAllocator<T>> samples_;
};

using FloatHistory = HistoryQueue<float>;
using IntHistory = HistoryQueue<int32_t>;
// Frame lengths in milliseconds, 0 ... 1000: two bytes a sample are enough.
using DurationHistory = HistoryQueue<uint16_t>;

// Constructed in this order, destroyed in the reverse order.
struct HistorySet {
  FloatHistory posX;
  FloatHistory posY;
  FloatHistory posZ;
  FloatHistory velX;
  FloatHistory velY;
  FloatHistory velZ;
  FloatHistory rotX;
  FloatHistory rotY;
  FloatHistory rotZ;
  FloatHistory rotW;
  FloatHistory inVehicleFlag;
  FloatHistory bodyModeFlag;
  FloatHistory conditionHist;
  FloatHistory playerValueHist;
  FloatHistory charValueHist;
  IntHistory vehicleHist;
  IntHistory footValueHist;
  // Only with the frame clock on: then pushed and trimmed with the others,
  // and index i is the length of the frame that recorded sample i. Off, it
  // stays empty.
  DurationHistory frameMsHist;
  // The sum of frameMsHist, raised by each push that completes and lowered
  // by each trim, so that the history in seconds knows its length without
  // summing it anew.
  uint64_t frameMsTotal = 0;
  // Every sample ever kept, and every frame length that came with one:
  // raised with frameMsTotal, never lowered. A sample's serial is the count
  // right after it went in, so the newest sample's index is always 0 =
  // samplesPushed - its serial.
  uint64_t samplesPushed = 0;
  uint64_t frameMsPushed = 0;
};

// The seventeen histories every recording fills; frameMsHist is counted
// apart, since it is kept only with the frame clock on.
constexpr int kHistoryCount = 17;

extern HistorySet historySet;

// Drops the oldest sample of every history, frameMsHist included (and its
// length off frameMsTotal); the caller decides when.
void TrimHistories();

// The sample count of each history, in the order of HistorySet.
void HistoryCounts(uint32_t counts[kHistoryCount]);
