// Keeps the frame loop at 60 frames a second, the rate the tests were made for. Frames are the
// program's only clock, so a test must run neither faster nor slower than that, whatever the
// display's refresh rate and whatever the driver does with vertical sync. The display mode is
// chosen first (display_mode.h): a display at 60 Hz, or one at a whole multiple of it whose
// every frame is presented for that many refreshes, lets vertical sync keep the time; any other
// has its frames held to the timer.
//
// The first second after start-up (the menu, where nothing is timed) measures whether presenting
// waits for the refresh, how regularly, and at what rate. If it waits like a real display (every
// frame but one within 10 % of the median period) and a frame takes 1/61 to 1/59 s, the pacer
// only watches: should presents start returning early, or come late again and again (a driver or
// compositor that drops vertical sync, or only imitates it), it takes over. Otherwise (no wait,
// an irregular wait, or a display that refreshes at another rate than the plan counted on) the
// pacer holds each frame back to the next tick of a monotonic clock at 60 Hz, with absolute
// deadlines so that the error of one frame never carries into the next.
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

  // The frame period the tests were made for: 60 frames a second.
  static constexpr std::int64_t kFramePeriodNs = 16'666'667;

  // Starts pacing for a display that says it refreshes at `refresh_hz` (0 when it does not say),
  // each frame to be presented for `refreshes_per_frame` refreshes (display_mode.h).
  void Start(double refresh_hz, int refreshes_per_frame = 1);

  // Called just before a frame's first present; in timer mode it waits for the deadline.
  void BeforePresent();

  // Called just after the frame's last present returned; measures and, while probing, decides.
  void AfterPresent();

  // How many times the display layer presents each frame: once a refresh while vertical sync
  // keeps the time, once under the timer.
  int presents_per_frame() const { return mode_ == Mode::kTimer ? 1 : refreshes_per_frame_; }

  Mode mode() const { return mode_; }
  // When the last frame was handed to the display (after any wait of the pacer); the present
  // itself may take the display server a while longer.
  std::int64_t released_ns() const { return released_ns_; }
  // The frame period: as measured under vertical sync, the timer's otherwise.
  std::int64_t period_ns() const { return period_ns_; }
  double frame_hz() const { return 1e9 / static_cast<double>(period_ns_); }
  // The display's refresh rate: as measured once presents were seen to wait for it, else as the
  // display said (0 when it did not).
  double display_hz() const { return display_hz_; }

  // One line for standard error saying how frames are paced.
  std::string Describe() const;

  // Frames shown before measuring (the window appearing disturbs them), and frames measured.
  static constexpr int kSettleFrames = 5;
  static constexpr int kProbeFrames = 60;

 private:
  void Decide();
  void TakeOver(const std::string& reason);

  NowFn now_;
  SleepUntilFn sleep_until_;
  Mode mode_ = Mode::kProbing;
  std::int64_t period_ns_ = kFramePeriodNs;
  std::int64_t expected_ns_ = kFramePeriodNs;  // a frame's intervals if presents wait as planned
  int refreshes_per_frame_ = 1;
  double display_hz_ = 0;
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
