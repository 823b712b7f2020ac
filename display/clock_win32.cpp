// The pacer's clock on Windows: the performance counter, and absolute-deadline sleeps on a
// high-resolution waitable timer (Windows 10 1803 and later). Older systems get an ordinary
// waitable timer, whose wake-ups the one-millisecond timer period makes fine enough for the
// frames. MinGW's clock_nanosleep is not used: it wakes up to a second early.
#include <windows.h>
// After windows.h, whose types it uses.
#include <timeapi.h>

#include "display/frame_pacer.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace tavrik {
namespace {

std::int64_t CounterFrequency() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return static_cast<std::int64_t>(f.QuadPart);
  }();
  return frequency;
}

// One timer per thread that sleeps (the pacer's, and a benchmark's loop beside it).
class ThreadTimer {
 public:
  ThreadTimer() {
    handle_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                     TIMER_ALL_ACCESS);
    if (!handle_) handle_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  }
  ~ThreadTimer() {
    if (handle_) CloseHandle(handle_);
  }
  ThreadTimer(const ThreadTimer&) = delete;
  ThreadTimer& operator=(const ThreadTimer&) = delete;

  // Sleeps for about `ns` nanoseconds, never less than the timer's 100 ns unit.
  void Sleep(std::int64_t ns) {
    if (!handle_) {
      ::Sleep(static_cast<DWORD>((ns + 999'999) / 1'000'000));
      return;
    }
    LARGE_INTEGER due{};
    due.QuadPart = -((ns + 99) / 100);  // negative: relative, in 100 ns units
    if (!SetWaitableTimer(handle_, &due, 0, nullptr, nullptr, FALSE)) {
      ::Sleep(static_cast<DWORD>((ns + 999'999) / 1'000'000));
      return;
    }
    WaitForSingleObject(handle_, INFINITE);
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

std::int64_t MonotonicNowNs() {
  LARGE_INTEGER count{};
  QueryPerformanceCounter(&count);
  const std::int64_t f = CounterFrequency();
  const std::int64_t c = count.QuadPart;
  // Whole seconds and the rest apart, so that the product never overflows.
  return c / f * 1'000'000'000 + c % f * 1'000'000'000 / f;
}

void SleepUntilNs(std::int64_t deadline_ns) {
  thread_local ThreadTimer timer;
  // The timer runs on the system's interrupt time, the deadline on the counter: should the two
  // disagree by a hair, the rest is slept again rather than returned early.
  for (std::int64_t now = MonotonicNowNs(); now < deadline_ns; now = MonotonicNowNs()) {
    timer.Sleep(deadline_ns - now);
  }
}

void RequestPreciseWakeups() {
  // A one-millisecond system timer period: what an ordinary waitable timer and Sleep can do.
  timeBeginPeriod(1);
}

}  // namespace tavrik
