// Frame pacing decisions against simulated displays: one whose presents wait for a regular
// refresh, one whose presents return at once, one that imitates the wait with jitter, and one
// that loses its wait after a while. The clock is simulated, so nothing here depends on timing.
#include "display/frame_pacer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace tavrik {
namespace {

constexpr std::int64_t kPeriod = 16'666'667;  // 60 Hz

// A simulated machine: a clock that composing a frame advances by 1 ms, and a present whose
// behaviour each case chooses.
struct Sim {
  std::int64_t now = 1'000'000'000;
  std::function<void(Sim&, int frame)> present;
  FramePacer pacer{[this] { return now; },
                   [this](std::int64_t t) {
                     if (t > now) now = t;
                   }};
  std::vector<std::int64_t> shown;  // when each present returned

  void Run(int frames) {
    for (int i = 0; i < frames; ++i) {
      now += 1'000'000;
      pacer.BeforePresent();
      present(*this, i);
      pacer.AfterPresent();
      shown.push_back(now);
    }
  }
  // Intervals between presents from frame `from` on.
  std::vector<std::int64_t> Intervals(std::size_t from) const {
    std::vector<std::int64_t> v;
    for (std::size_t i = from + 1; i < shown.size(); ++i) v.push_back(shown[i] - shown[i - 1]);
    return v;
  }
};

void WaitForRefresh(Sim& s, std::int64_t period) {
  s.now = (s.now / period + 1) * period;
}

TEST(FramePacer, TrustsARegularRefresh) {
  Sim sim;
  sim.present = [](Sim& s, int) { WaitForRefresh(s, kPeriod); };
  sim.pacer.Start(60);
  sim.Run(600);
  EXPECT_EQ(sim.pacer.mode(), FramePacer::Mode::kVsync) << sim.pacer.Describe();
  for (std::int64_t v : sim.Intervals(100))
    ASSERT_NEAR(static_cast<double>(v), kPeriod, 1) << "one present per refresh";
}

TEST(FramePacer, KeepsTheRealRateOfADisplayThatReportsAnother) {
  Sim sim;
  const std::int64_t period75 = 13'333'333;
  sim.present = [period75](Sim& s, int) { WaitForRefresh(s, period75); };
  sim.pacer.Start(0);  // rate unknown: assumed 60 Hz until measured
  sim.Run(200);
  EXPECT_EQ(sim.pacer.mode(), FramePacer::Mode::kVsync);
  EXPECT_NEAR(sim.pacer.refresh_hz(), 75.0, 0.01);
}

TEST(FramePacer, HoldsFramesToTheClockWhenPresentsDoNotWait) {
  Sim sim;
  sim.present = [](Sim& s, int) { s.now += 200'000; };  // returns at once
  sim.pacer.Start(60);
  sim.Run(3600);
  EXPECT_EQ(sim.pacer.mode(), FramePacer::Mode::kTimer) << sim.pacer.Describe();
  // After the decision every frame is exactly one period after the one before.
  for (std::int64_t v : sim.Intervals(100)) ASSERT_NEAR(static_cast<double>(v), kPeriod, 2);
}

TEST(FramePacer, DoesNotTrustAnIrregularImitationOfTheRefresh) {
  Sim sim;
  // Waits about a period, but 23 ms, then 10 ms, now and then: what a virtual X server's
  // software GL does.
  sim.present = [](Sim& s, int frame) {
    if (frame % 7 == 3) {
      s.now += 23'000'000;
    } else if (frame % 7 == 4) {
      s.now += 10'000'000;
    } else {
      WaitForRefresh(s, kPeriod);
    }
  };
  sim.pacer.Start(60);
  sim.Run(200);
  EXPECT_EQ(sim.pacer.mode(), FramePacer::Mode::kTimer) << sim.pacer.Describe();
}

TEST(FramePacer, TakesOverWhenTheRefreshWaitIsLostLater) {
  Sim sim;
  sim.present = [](Sim& s, int) {
    if (s.shown.size() < 300) WaitForRefresh(s, kPeriod);
  };
  sim.pacer.Start(60);
  sim.Run(300);
  ASSERT_EQ(sim.pacer.mode(), FramePacer::Mode::kVsync);
  sim.Run(300);
  EXPECT_EQ(sim.pacer.mode(), FramePacer::Mode::kTimer) << sim.pacer.Describe();
  // A handful of fast frames before the switch at most, then the clock holds.
  const auto v = sim.Intervals(320);
  for (std::int64_t i : v) ASSERT_NEAR(static_cast<double>(i), kPeriod, 2);
}

TEST(FramePacer, AStallRestartsTheTicksInsteadOfRushing) {
  Sim sim;
  sim.present = [](Sim& s, int frame) {
    if (frame == 200) s.now += 100'000'000;  // a 100 ms stall
  };
  sim.pacer.Start(60);
  sim.Run(400);
  ASSERT_EQ(sim.pacer.mode(), FramePacer::Mode::kTimer);
  int fast = 0;
  for (std::int64_t v : sim.Intervals(100)) fast += v < kPeriod - 2;
  EXPECT_EQ(fast, 0) << "no burst of frames to catch up after a stall";
}

}  // namespace
}  // namespace tavrik
