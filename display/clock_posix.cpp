// The pacer's clock on Linux: CLOCK_MONOTONIC, absolute sleeps on it, and a tight timer slack.
#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

#include "display/frame_pacer.h"

namespace tavrik {

std::int64_t MonotonicNowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void SleepUntilNs(std::int64_t deadline_ns) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(deadline_ns / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(deadline_ns % 1'000'000'000);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

void RequestPreciseWakeups() {
  // The kernel may otherwise defer our wake-ups by 50 microseconds to batch timers.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

}  // namespace tavrik
