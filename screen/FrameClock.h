// The play window's pace: real time, one frame at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <thread>

// Real time, one frame every `frameMs`. A frame that can't start within a
// frame of its time is late: the clock then counts on from now, as a game
// drops a frame, rather than racing to catch up.
class FrameClock {
 public:
  explicit FrameClock(uint32_t frameMs) : frame_(std::chrono::milliseconds(frameMs)) {}

  void WaitForNextFrame() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point now = Clock::now();
    if (frames_ == 0) {
      start_ = due_ = now;
    } else if (now < due_) {
      std::this_thread::sleep_until(due_);
    } else if (now - due_ > frame_) {
      ++late_;
      due_ = now;
    }
    Clock::time_point previous = last_;
    last_ = Clock::now();
    step_ = frames_ == 0 ? Clock::duration{} : last_ - previous;
    due_ += frame_;
    ++frames_;
    // The frame rate over about the last second.
    recent_.push_back(last_);
    while (recent_.size() > 1 && last_ - recent_.front() > std::chrono::seconds(1)) {
      recent_.pop_front();
    }
  }

  double Seconds() const { return std::chrono::duration<double>(last_ - start_).count(); }
  double RecentRate() const {
    if (recent_.size() < 2) return 0;
    double span = std::chrono::duration<double>(recent_.back() - recent_.front()).count();
    return span > 0 ? (recent_.size() - 1) / span : 0;
  }
  int64_t Late() const { return late_; }
  // The real time from the start of the frame before to this one's, in
  // microseconds: what the module's performance counter moves on by.
  uint32_t StepUs() const {
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(step_).count();
    return us < 0 ? 0 : us > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(us);
  }

 private:
  std::chrono::steady_clock::duration frame_, step_{};
  std::chrono::steady_clock::time_point start_, due_, last_;
  int64_t frames_ = 0, late_ = 0;
  std::deque<std::chrono::steady_clock::time_point> recent_;
};
