// The per-frame stimulus clock: flash timing with its strict comparisons, the moving target's
// path, latches and cycle ends.
#include "engine/stimulus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/level.h"
#include "testkit/fake_services.h"

namespace tavrik {
namespace {

using testkit::InstallFakes;

class StimulusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession(s);
    fakes = InstallFakes(s);
    s.Pi = 3.14;
    s.Level = 1;
    s.Cycle = 1;
    s.ScreenState = kScreenRunning;
    s.MenuLevel = kMenuLevelTest;
  }
  SessionState s;
  std::shared_ptr<testkit::FakeServices> fakes;
};

// --- Flash test.

TEST_F(StimulusTest, FlashComesOnAndGoesOffAfterItsTimesStrictly) {
  struct Case {
    double start, end;
    int first_on_call, end_call;  // calls counted from the last reset of Phase, at Speed 4
  };
  const Case cases[] = {
      {237, 468, 60, 118},  // on at Phase 240; Phase 468 is not above 468
      {240, 472, 61, 119},  // Phase landing exactly on either time is not past it
  };
  for (const Case& c : cases) {
    SetUp();
    s.TestKind = kTestFlash;
    s.Speed = 4;
    s.Phase = 0;
    s.FlashStart = c.start;
    s.FlashEnd = c.end;
    s.FlashNumber = 1;
    s.DirectionTable[2] = -1;
    s.Direction = 1;
    s.LeftLatch = s.RightLatch = 1;
    fakes->script = {0.5, 0.2};
    const auto where = ::testing::Message() << "FlashStart " << c.start << ", FlashEnd " << c.end;

    for (int call = 1; call < c.end_call; ++call) {
      UpdateStimulus(s);
      const Integer expected_on = call >= c.first_on_call ? 1 : 0;
      ASSERT_EQ(s.FlashOn, expected_on) << where << ", call " << call << ", Phase " << s.Phase;
      ASSERT_EQ(s.FlashNumber, 1) << where << ", call " << call << ", Phase " << s.Phase;
    }
    EXPECT_EQ(s.Phase, c.end) << where;

    UpdateStimulus(s);

    EXPECT_EQ(s.FlashOn, 0) << where;
    EXPECT_EQ(s.Phase, 0) << where;
    EXPECT_EQ(s.FlashNumber, 2) << where;
    EXPECT_EQ(s.Cycle, 1) << where << ": the cycle ends with the even flashes only";
    EXPECT_EQ(s.FlashStart, 250) << where;           // 200 + Int(0.5 * 100)
    EXPECT_EQ(s.FlashEnd, 250 + 200 + 10) << where;  // + 200 + Int(0.2 * 50)
    EXPECT_EQ(s.Direction, -1) << where;
    EXPECT_EQ(s.LeftLatch, 0) << where << ": the coming flash's hand may answer";
    EXPECT_EQ(s.RightLatch, 1) << where;
  }
}

TEST_F(StimulusTest, TwentyFlashesMakeTenCyclesAndEndTheLevel) {
  s.TestKind = kTestFlash;
  StartLevel(s);  // level 1 on the free-running fake generator
  s.Speed = 10;   // fewer frames; the counting does not depend on the speed
  const auto table = s.DirectionTable;
  std::vector<int> cycle_after_flash;
  int frames = 0;
  while (s.Cycle <= s.CyclesPerLevel && frames < 100000) {
    const Integer flash = s.FlashNumber;
    UpdateStimulus(s);
    ++frames;
    if (s.FlashNumber != flash) {
      cycle_after_flash.push_back(s.Cycle);
      if (s.FlashNumber <= 20) {
        EXPECT_EQ(s.Direction, table[s.FlashNumber]) << "flash " << s.FlashNumber;
      }
    }
  }
  const std::vector<int> expected = {1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11};
  EXPECT_EQ(cycle_after_flash, expected);
  EXPECT_EQ(s.Cycle, 11);
  EXPECT_EQ(s.FlashNumber, 21);
  EXPECT_EQ(s.Direction, table[20]) << "no direction is read after the last flash";
}

TEST_F(StimulusTest, AClockJumpedByAHitEndsTheFlashInTheNextCall) {
  s.TestKind = kTestFlash;
  s.Speed = 6;
  s.FlashStart = 250;
  s.FlashEnd = 460;
  s.FlashOn = 1;
  s.FlashNumber = 4;
  s.Cycle = 2;
  s.DirectionTable[5] = 1;
  s.RightLatch = 1;
  s.Phase = 10000;
  fakes->script = {0.0, 0.999};

  UpdateStimulus(s);

  EXPECT_EQ(s.FlashOn, 0);
  EXPECT_EQ(s.Phase, 0);
  EXPECT_EQ(s.FlashNumber, 5);
  EXPECT_EQ(s.Cycle, 3) << "flash 4 ends cycle 2 like any other";
  EXPECT_EQ(s.FlashStart, 200);
  EXPECT_EQ(s.FlashEnd, 200 + 200 + 49);
  EXPECT_EQ(s.Direction, 1);
  EXPECT_EQ(s.RightLatch, 0);
}

TEST_F(StimulusTest, AClockPastBothTimesFromTheDarkSwitchesOnAndOffAtOnce) {
  s.TestKind = kTestFlash;
  s.Speed = 4;
  s.FlashStart = 200;
  s.FlashEnd = 400;
  s.FlashNumber = 1;
  s.DirectionTable[2] = 1;
  s.Phase = 9996;  // plus 4 is 10000

  UpdateStimulus(s);

  EXPECT_EQ(s.FlashOn, 0);
  EXPECT_EQ(s.FlashNumber, 2);
  EXPECT_EQ(fakes->calls.size(), 2u) << "the next flash is drawn";
}

// --- Moving target.

TEST_F(StimulusTest, LinearCycleBackwardsAtSpeedThree) {
  s.TestKind = kTestLinear;
  s.Speed = 3;
  s.Direction = -1;
  s.DirectionTable[2] = 1;
  for (int call = 1; call <= 119; ++call) {
    s.LeftLatch = s.RightLatch = 1;
    UpdateStimulus(s);
    ASSERT_EQ(s.Phase, -3.0 * call);
    ASSERT_EQ(s.Cycle, 1);
    const Integer left = call >= 61 ? 0 : 1;
    const Integer right = call <= 59 ? 0 : 1;
    ASSERT_EQ(s.LeftLatch, left) << "call " << call << ", Phase " << s.Phase;
    ASSERT_EQ(s.RightLatch, right) << "call " << call << ", Phase " << s.Phase;
  }
  s.LeftLatch = s.RightLatch = 1;
  UpdateStimulus(s);  // call 120 reaches -360

  EXPECT_EQ(s.Phase, 0);
  EXPECT_EQ(s.Angle, 0);
  EXPECT_EQ(s.Cycle, 2);
  EXPECT_EQ(s.Direction, 1);
  EXPECT_EQ(s.RightLatch, 0) << "the new direction reaches the right frame first";
  EXPECT_EQ(s.LeftLatch, 1) << "-360 itself opens nothing";
}

TEST_F(StimulusTest, CircularCycleAtOnePointFiveTakes240Frames) {
  s.TestKind = kTestCircular;
  s.Speed = 1.5;
  s.Direction = 1;
  s.DirectionTable[2] = -1;
  for (int call = 1; call <= 239; ++call) {
    UpdateStimulus(s);
    ASSERT_EQ(s.Cycle, 1) << "call " << call;
    ASSERT_EQ(s.Angle, s.Phase * 3.14 / 180);
  }
  EXPECT_EQ(s.Phase, 358.5);
  s.LeftLatch = 1;
  UpdateStimulus(s);
  EXPECT_EQ(s.Cycle, 2);
  EXPECT_EQ(s.Phase, 0);
  EXPECT_EQ(s.Direction, -1);
  EXPECT_EQ(s.LeftLatch, 0);
}

TEST_F(StimulusTest, LatchesByPhase) {
  struct Case {
    double phase_after;
    Integer left, right;  // latches after the call, both 1 before it
  };
  const Case cases[] = {
      {0, 0, 0},      {90, 0, 1},    {179.5, 0, 1},  {180, 1, 1},    {180.5, 1, 0},
      {270, 1, 0},    {359.5, 1, 0}, {-90, 1, 0},    {-179.5, 1, 0}, {-180, 1, 1},
      {-180.5, 0, 1}, {-270, 0, 1},  {-359.5, 0, 1},
  };
  for (const Case& c : cases) {
    s.TestKind = kTestLinear;
    s.Cycle = 1;
    s.Speed = 0.5;
    s.Direction = 1;
    s.Phase = c.phase_after - 0.5;
    s.LeftLatch = s.RightLatch = 1;
    UpdateStimulus(s);
    EXPECT_EQ(s.LeftLatch, c.left) << "Phase " << c.phase_after;
    EXPECT_EQ(s.RightLatch, c.right) << "Phase " << c.phase_after;
    EXPECT_EQ(s.Cycle, 1) << "Phase " << c.phase_after;
  }
}

TEST_F(StimulusTest, OvershootIsDroppedAndTheLastCycleKeepsItsDirection) {
  s.TestKind = kTestCircular;
  s.Speed = 3;
  s.Direction = 1;
  s.Phase = 358.5;  // plus 3 would be 361.5
  s.Cycle = 10;
  s.DirectionTable[10] = 1;
  s.DirectionTable[11] = -1;  // must not be read
  UpdateStimulus(s);
  EXPECT_EQ(s.Phase, 0);
  EXPECT_EQ(s.Cycle, 11);
  EXPECT_EQ(s.Direction, 1);
}

TEST_F(StimulusTest, AWholeLevelStaysInsideTheTrackAndEndsAtCycleEleven) {
  for (Integer kind : {kTestCircular, kTestLinear}) {
    ResetSession(s);
    s.TestKind = kind;
    StartLevel(s);
    int frames = 0;
    int plus = 0, minus = 0;
    Integer last_cycle = 0;
    while (s.Cycle <= s.CyclesPerLevel && frames < 100000) {
      if (s.Cycle != last_cycle) {
        (s.Direction == 1 ? plus : minus)++;
        last_cycle = s.Cycle;
      }
      UpdateStimulus(s);
      ++frames;
      ASSERT_LT(std::fabs(s.Phase), 360) << "frame " << frames;
    }
    EXPECT_EQ(s.Cycle, 11);
    EXPECT_EQ(plus, 5);
    EXPECT_EQ(minus, 5);
    EXPECT_EQ(frames, 10 * static_cast<int>(std::ceil(360 / s.Speed))) << "kind " << kind;
  }
}

}  // namespace
}  // namespace tavrik
