// The platform's clock under the pacer (clock_posix.cpp, clock_win32.cpp): the absolute sleep must
// never end before its deadline, or a frame would go out early, and the clock must never run
// back. How late a wake-up comes is for the pacing benchmark to show, not for a test.
#include <gtest/gtest.h>

#include <cstdint>

#include "display/frame_pacer.h"

namespace tavrik {
namespace {

TEST(Clock, SleepsEndOnlyAtTheirDeadline) {
  RequestPreciseWakeups();
  std::int64_t last = MonotonicNowNs();
  for (int i = 0; i < 40; ++i) {
    // From a tenth of a millisecond to 4 ms ahead, and twice one already past.
    const std::int64_t ahead = i % 20 == 0 ? -1'000'000 : (i % 20) * 200'000;
    const std::int64_t deadline = MonotonicNowNs() + ahead;
    SleepUntilNs(deadline);
    const std::int64_t now = MonotonicNowNs();
    EXPECT_GE(now, deadline) << "woke " << (deadline - now) << " ns early, " << ahead
                             << " ns ahead";
    EXPECT_GE(now, last) << "the clock ran back";
    last = now;
  }
}

}  // namespace
}  // namespace tavrik
