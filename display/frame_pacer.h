// Keeps the frame loop at one pass per display refresh. Frames are the program's only clock, so
// a test must never run faster than the display, whatever the driver does with vertical sync.
//
// The first second after start-up (the menu, where nothing is timed) measures whether presenting
// waits for the refresh, and how regularly. If it waits like a real display (to a fraction of a
// millisecond), the pacer only watches: should presents start returning early, or come late again
// and again (a driver or compositor that drops vertical sync, or only imitates it), it takes over.
// Otherwise the pacer holds each present back to the next tick of a monotonic clock at the refresh
// rate, with absolute deadlines so that the error of one frame never carries into the next.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tavrik {

class FramePacer {
 public:
  enum class Mode { kProbing, kVsync, kTimer };

  // Nanoseconds of a monotonic clock, and an absolute sleep on the same clock. Replaceable so
  // that the decisions can be tested with a simulated display.
  using NowFn = std::function<std::int64_t()>;
  using SleepUntilFn = std::function<void(std::int64_t)>;

  FramePacer();
  FramePacer(NowFn now, SleepUntilFn sleep_until);

  // Starts pacing for a display of `refresh_hz` (60 when the display does not say).
  void Start(double refresh_hz);

  // Called just before the back buffer is presented; in timer mode it waits for the deadline.
  void BeforePresent();

  // Called just after the present returned; measures and, while probing, decides.
  void AfterPresent();

  Mode mode() const { return mode_; }
  // When the last frame was handed to the display (after any wait of the pacer); the present
  // itself may take the display server a while longer.
  std::int64_t released_ns() const { return released_ns_; }
  double refresh_hz() const { return 1e9 / static_cast<double>(period_ns_); }
  std::int64_t period_ns() const { return period_ns_; }

  // One line for standard error saying how frames are paced.
  std::string Describe() const;

  // Frames shown before measuring (the window appearing disturbs them), and frames measured.
  static constexpr int kSettleFrames = 5;
  static constexpr int kProbeFrames = 60;

 private:
  void Decide();

  NowFn now_;
  SleepUntilFn sleep_until_;
  Mode mode_ = Mode::kProbing;
  std::int64_t period_ns_ = 16'666'667;
  std::int64_t last_present_ns_ = -1;
  std::int64_t released_ns_ = -1;
  std::int64_t deadline_ns_ = -1;
  int probe_count_ = 0;
  std::int64_t probe_intervals_[kProbeFrames] = {};
  int settle_count_ = 0;
  int early_run_ = 0;       // consecutive early presents while trusting vertical sync
  int watch_frames_ = 0;    // frames in the current watch window
  int late_in_window_ = 0;  // presents off the beat by a quarter period in that window
  std::string reason_;
};

// The real clock and sleep, one file per platform (clock_posix.cpp: CLOCK_MONOTONIC with
// clock_nanosleep(TIMER_ABSTIME)).
std::int64_t MonotonicNowNs();
void SleepUntilNs(std::int64_t deadline_ns);
// Asks the system to wake the pacer's sleeps as close to their deadlines as it can.
void RequestPreciseWakeups();

}  // namespace tavrik
