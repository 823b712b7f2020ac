// Frame pacing: probe, then trust vertical sync or hold frames to a 60 Hz monotonic clock.
#include "display/frame_pacer.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tavrik {

FramePacer::FramePacer() : FramePacer(MonotonicNowNs, SleepUntilNs) {}

FramePacer::FramePacer(NowFn now, SleepUntilFn sleep_until)
    : now_(std::move(now)), sleep_until_(std::move(sleep_until)) {}

void FramePacer::Start(double refresh_hz, int refreshes_per_frame) {
  display_hz_ = refresh_hz >= 20.0 && refresh_hz <= 1000.0 ? refresh_hz : 0;
  refreshes_per_frame_ = std::max(1, refreshes_per_frame);
  // A display that does not say its rate is taken for 60 Hz until measured.
  expected_ns_ = display_hz_ > 0
                     ? static_cast<std::int64_t>(1e9 * refreshes_per_frame_ / display_hz_ + 0.5)
                     : kFramePeriodNs;
  period_ns_ = kFramePeriodNs;
  mode_ = Mode::kProbing;
  last_present_ns_ = -1;
  deadline_ns_ = -1;
  probe_count_ = 0;
  settle_count_ = 0;
  early_run_ = 0;
  watch_frames_ = 0;
  late_in_window_ = 0;
  RequestPreciseWakeups();
}

void FramePacer::BeforePresent() {
  const std::int64_t now = now_();
  released_ns_ = now;
  if (mode_ != Mode::kTimer) return;
  if (deadline_ns_ < 0 || now > deadline_ns_ + period_ns_ / 2) {
    // Late by more than half a frame (a stall, or the switch into timer mode): the ticks restart
    // one period after the last frame shown, instead of rushing frames out to catch up.
    deadline_ns_ = last_present_ns_ < 0 ? now : std::max(now, last_present_ns_ + period_ns_);
  }
  if (now < deadline_ns_) {
    sleep_until_(deadline_ns_);
    released_ns_ = now_();
  }
}

void FramePacer::AfterPresent() {
  const std::int64_t now = now_();
  const std::int64_t interval = last_present_ns_ < 0 ? -1 : now - last_present_ns_;
  last_present_ns_ = now;
  switch (mode_) {
    case Mode::kProbing:
      if (interval >= 0 && ++settle_count_ > kSettleFrames) {
        probe_intervals_[probe_count_++] = interval;
      }
      if (probe_count_ == kProbeFrames) Decide();
      break;
    case Mode::kVsync: {
      // Presents that return well before a refresh period has passed mean the wait is gone;
      // presents off the beat again and again mean it is an imitation that a test cannot run on.
      early_run_ = interval >= 0 && interval < period_ns_ / 2 ? early_run_ + 1 : 0;
      late_in_window_ +=
          interval > period_ns_ * 5 / 4 || (interval >= 0 && interval < period_ns_ * 3 / 4);
      const char* lost = early_run_ >= 8        ? "presents stopped waiting for the refresh"
                         : late_in_window_ >= 3 ? "presents wait, but irregularly"
                                                : nullptr;
      if (++watch_frames_ == 300) watch_frames_ = late_in_window_ = 0;
      if (lost) TakeOver(lost);
      break;
    }
    case Mode::kTimer:
      deadline_ns_ += period_ns_;
      break;
  }
}

void FramePacer::TakeOver(const std::string& reason) {
  mode_ = Mode::kTimer;
  period_ns_ = kFramePeriodNs;
  deadline_ns_ = -1;
  reason_ = reason;
}

void FramePacer::Decide() {
  // The median ignores the odd slow frame (a page fault, the window appearing).
  std::int64_t sorted[kProbeFrames];
  std::copy(probe_intervals_, probe_intervals_ + kProbeFrames, sorted);
  std::sort(sorted, sorted + kProbeFrames);
  const std::int64_t median = sorted[kProbeFrames / 2];
  // A real refresh is regular to a fraction of a millisecond. Some drivers (a virtual X server's
  // software GL among them) throttle presents to roughly the refresh rate with jitter of
  // milliseconds and dropped frames: that is no clock for a test.
  int irregular = 0;
  for (const std::int64_t v : sorted) irregular += v < median * 9 / 10 || v > median * 11 / 10;
  const bool waits = median >= expected_ns_ * 3 / 4;
  // A frame of 1/61 to 1/59 s counts as one of 60 a second, as a display of 59 to 61 Hz does.
  const bool sixty = median >= 1'000'000'000 / 61 && median <= 1'000'000'000 / 59;
  if (waits && irregular <= 1 && sixty) {
    mode_ = Mode::kVsync;
    // The real period, also for the case that vertical sync is lost later.
    period_ns_ = median;
    display_hz_ = 1e9 * refreshes_per_frame_ / static_cast<double>(median);
    reason_ = "presents wait for the display's refresh";
    return;
  }
  if (!waits) {
    TakeOver("the driver does not wait for the refresh");
  } else if (irregular > 1) {
    TakeOver("presents wait, but irregularly");
  } else {
    // Regular, but not at 60 frames a second: the display runs at another rate than it said.
    display_hz_ = 1e9 * refreshes_per_frame_ / static_cast<double>(median);
    char reason[120];
    std::snprintf(reason, sizeof reason, "the display refreshes at %.2f Hz, not %s", display_hz_,
                  refreshes_per_frame_ > 1 ? "a whole multiple of 60 Hz" : "60 Hz");
    TakeOver(reason);
  }
}

std::string FramePacer::Describe() const {
  char line[240];
  if (mode_ == Mode::kVsync && refreshes_per_frame_ > 1) {
    std::snprintf(line, sizeof line,
                  "frame pacing: vertical sync at %.2f Hz, each frame held for %d refreshes of "
                  "%.2f Hz (%s)",
                  frame_hz(), refreshes_per_frame_, display_hz_, reason_.c_str());
  } else {
    const char* how = mode_ == Mode::kVsync   ? "vertical sync"
                      : mode_ == Mode::kTimer ? "monotonic timer"
                                              : "measuring";
    std::snprintf(line, sizeof line, "frame pacing: %s at %.2f Hz (%s)", how, frame_hz(),
                  reason_.c_str());
  }
  return line;
}

}  // namespace tavrik
