// The pairing of key press stamps with their events, on a fake clock: each event gets the stamp
// taken when it was received, in order, also for presses of one key in one millisecond; stamps of
// events that never reach the pump are passed over, events that were never stamped get none,
// and a full ring loses only the newest stamps and recovers.
#include "input/press_stamps.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tavrik {
namespace {

class PressStampsTest : public ::testing::Test {
 protected:
  // The clock reads `now` and counts its readings.
  PressStamps stamps{[this]() {
    ++readings;
    return now;
  }};
  std::int64_t now = 0;
  int readings = 0;

  void RecordAt(std::int64_t ns, std::uint32_t event_ms, int scancode) {
    now = ns;
    stamps.Record(event_ms, scancode);
  }
};

TEST_F(PressStampsTest, EachEventTakesTheStampOfItsOwnPress) {
  struct Press {
    std::uint32_t event_ms;
    int scancode;
    std::int64_t ns;
  };
  // Two keys in one millisecond, then one key twice in one millisecond (a quick repeat).
  const Press presses[] = {{100, 20, 100'100'000},
                           {100, 48, 100'400'000},
                           {117, 20, 117'050'000},
                           {117, 20, 117'900'000},
                           {118, 44, 118'000'001}};
  for (const Press& p : presses) RecordAt(p.ns, p.event_ms, p.scancode);
  EXPECT_EQ(5, readings);
  now = 999'999'999'999;  // handled much later: the clock is not read again
  for (const Press& p : presses) {
    EXPECT_EQ(p.ns, stamps.Take(p.event_ms, p.scancode))
        << "event at " << p.event_ms << " ms, scan code " << p.scancode;
  }
  EXPECT_EQ(5, readings);
  EXPECT_EQ(-1, stamps.Take(118, 44)) << "a stamp is taken once";
}

TEST_F(PressStampsTest, StampsOfEventsThatNeverArrivePassOver) {
  RecordAt(1'000, 10, 20);  // removed from the queue before the pump saw it
  RecordAt(2'000, 11, 48);
  RecordAt(3'000, 12, 20);
  EXPECT_EQ(2'000, stamps.Take(11, 48));
  EXPECT_EQ(3'000, stamps.Take(12, 20));
  EXPECT_EQ(-1, stamps.Take(10, 20)) << "passed over for good";
}

TEST_F(PressStampsTest, AnEventThatWasNeverStampedGetsNone) {
  RecordAt(5'000, 30, 20);
  EXPECT_EQ(-1, stamps.Take(30, 48)) << "same time, other key";
  EXPECT_EQ(5'000, stamps.Take(30, 20)) << "the stamp of the same millisecond is kept";
  // An unstamped event drops the stamps before its millisecond, which no event to come can
  // claim; those of its own millisecond and later stay.
  RecordAt(6'000, 40, 20);
  RecordAt(7'000, 41, 48);
  RecordAt(8'000, 42, 20);
  EXPECT_EQ(-1, stamps.Take(41, 20));
  EXPECT_EQ(-1, stamps.Take(40, 20));
  EXPECT_EQ(7'000, stamps.Take(41, 48));
  EXPECT_EQ(8'000, stamps.Take(42, 20));
}

TEST_F(PressStampsTest, AFullRingLosesTheNewestAndRecovers) {
  // Indices near the wrap of 32 bits are reached by going round many times.
  std::uint32_t ms = 0xFFFF'FF00u;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::uint32_t first = ms;
    for (std::uint32_t i = 0; i <= PressStamps::kCapacity; ++i, ++ms) {
      RecordAt(1'000'000 + std::int64_t{ms}, ms, 20);
    }
    for (std::uint32_t i = 0; i < PressStamps::kCapacity; ++i) {
      EXPECT_EQ(1'000'000 + std::int64_t{first + i}, stamps.Take(first + i, 20)) << "press " << i;
    }
    EXPECT_EQ(-1, stamps.Take(first + PressStamps::kCapacity, 20)) << "the one that did not fit";
  }
  // Many more presses, each taken at once, go round the ring and past the wrap of the times.
  for (int i = 0; i < 1000; ++i, ++ms) {
    RecordAt(i, ms, 48);
    ASSERT_EQ(i, stamps.Take(ms, 48)) << "press " << i;
  }
}

}  // namespace
}  // namespace tavrik
