// The recorded timeline: seventeen histories, newest sample first, all of the
// same length so that one index names the same recorded frame in each; with
// the seconds label on, an eighteenth of the frames' lengths beside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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

// The vehicles around the player: one fixed-size record a sample, made of
// kWordsPerSlot 32-bit words for each of the K slots followed, in slot
// order: the handle (0 for an empty slot), the position, the quaternion and
// the velocity as float bits, and the condition. One queue of words rather
// than a history per value keeps a sample's world part at 48 bytes a slot and
// lets it go in, or stay out, as one piece.
constexpr uint32_t kWordsPerSlot = 12;
enum WorldWord : uint32_t {
  kWordHandle = 0,
  kWordPosX,
  kWordPosY,
  kWordPosZ,
  kWordRotX,
  kWordRotY,
  kWordRotZ,
  kWordRotW,
  kWordVelX,
  kWordVelY,
  kWordVelZ,
  kWordCondition,
};

class WorldPartHistory {
 public:
  // The record's size; set once, with the settings, while the queue is
  // empty. 0 slots: the queue stays empty and every operation is a no-op.
  void SetSlots(uint32_t slots) { wordsPerSample_ = slots * kWordsPerSlot; }
  uint32_t Slots() const { return wordsPerSample_ / kWordsPerSlot; }

  // Pushes one record of Slots() * kWordsPerSlot words as the newest sample.
  // May throw std::bad_alloc; the queue is then unchanged: one insert takes
  // the blocks it needs before it copies a word.
  void PushFront(const uint32_t* words) {
    words_.insert(words_.begin(), words, words + wordsPerSample_);
    count_ += 1;
  }
  void PopOldest() {
    if (count_ == 0) return;
    words_.erase(words_.end() - wordsPerSample_, words_.end());
    count_ -= 1;
  }
  void PopNewest() {
    if (count_ == 0) return;
    words_.erase(words_.begin(), words_.begin() + wordsPerSample_);
    count_ -= 1;
  }
  uint32_t SampleCount() const { return count_; }
  // Requires index < SampleCount() and slot < Slots().
  uint32_t Word(uint32_t index, uint32_t slot, uint32_t word) const {
    return words_[index * wordsPerSample_ + slot * kWordsPerSlot + word];
  }
  // A float word as the float it was recorded as.
  float Value(uint32_t index, uint32_t slot, uint32_t word) const {
    const uint32_t bits = Word(index, slot, word);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  int32_t Handle(uint32_t index, uint32_t slot) const {
    return static_cast<int32_t>(Word(index, slot, kWordHandle));
  }
  // True when `handle` is not 0 and a slot of sample `index` holds it; a
  // sample not kept holds none.
  bool Holds(uint32_t index, int32_t handle) const {
    if (handle == 0 || index >= count_) return false;
    for (uint32_t slot = 0; slot < Slots(); ++slot) {
      if (Handle(index, slot) == handle) return true;
    }
    return false;
  }

 private:
  std::deque<uint32_t, HistoryAllocator<uint32_t>> words_;
  uint32_t wordsPerSample_ = 0;
  uint32_t count_ = 0;
};

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
  // Only with the vehicles around the player followed: then pushed last of
  // every sample and trimmed with the others. Off, it stays empty.
  WorldPartHistory worldParts;
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

// Drops the oldest sample of every history, frameMsHist and worldParts
// included (and its length off frameMsTotal); the caller decides when.
void TrimHistories();

// The sample count of each history, in the order of HistorySet.
void HistoryCounts(uint32_t counts[kHistoryCount]);
