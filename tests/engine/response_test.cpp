// Judging of the hand keys: the latch, the hit test against the frame on the screen, and what a
// hit records.
#include "engine/response.h"

#include <gtest/gtest.h>

#include "engine/stimulus.h"
#include "testkit/fake_services.h"

namespace tavrik {
namespace {

using testkit::InstallFakes;

enum class Hand { kLeft, kRight };

const char* Name(Hand h) {
  return h == Hand::kLeft ? "left" : "right";
}

class ResponseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession(s);
    InstallFakes(s);
    s.TestKind = kTestLinear;
    s.ScreenState = kScreenRunning;
    s.MenuLevel = kMenuLevelTest;
    s.Level = 2;
    s.Cycle = 3;
    s.Pi = 3.14;
    s.Phase = 0;
    s.LevelFrameShown = 1;  // the frame loop has drawn the level
    // Frames 60 wide and 80 high, ball 40 by 40, centre (400, 300), track radius 180:
    // the left frame spans x 190..250, the right frame 550..610.
    s.CenterX = 400;
    s.CenterY = 300;
    s.BallWidth = s.BallHeight = 40;
    s.FrameCellWidth = 60;
    s.FrameHeight = 80;
    s.TrackRadius = 180;
    s.LeftFrameX = 190;
    s.RightFrameX = 550;
    PutBall(380, 280);  // centre of the screen
  }
  void PutBall(double x, double y) {
    s.BallX = x;
    s.BallY = y;
  }
  void Respond(Hand h) { h == Hand::kLeft ? RespondLeft(s) : RespondRight(s); }
  Integer Latch(Hand h) const { return h == Hand::kLeft ? s.LeftLatch : s.RightLatch; }
  Integer HitsLevel(Hand h) const { return h == Hand::kLeft ? s.LeftHitsLevel : s.RightHitsLevel; }
  Integer HitsTotal(Hand h) const { return h == Hand::kLeft ? s.LeftHitsTotal : s.RightHitsTotal; }
  const ResultTable& Results(Hand h) const {
    return h == Hand::kLeft ? s.LeftResults : s.RightResults;
  }

  SessionState s;
};

TEST_F(ResponseTest, HitTestBoundaries) {
  // Left: BallX <= 250. Right: BallX >= 490. Both: 260 <= BallY and BallY - 20 <= 340.
  struct Case {
    Hand hand;
    double x, y;
    bool hit;
  };
  const Case cases[] = {
      {Hand::kLeft, 250, 280, true},     {Hand::kLeft, 250.5, 280, false},
      {Hand::kLeft, 0, 280, true},       {Hand::kLeft, 200, 260, true},
      {Hand::kLeft, 200, 259.5, false},  {Hand::kLeft, 200, 360, true},
      {Hand::kLeft, 200, 360.5, false},  {Hand::kRight, 490, 280, true},
      {Hand::kRight, 489.5, 280, false}, {Hand::kRight, 800, 280, true},
      {Hand::kRight, 560, 260, true},    {Hand::kRight, 560, 259.5, false},
      {Hand::kRight, 560, 360, true},    {Hand::kRight, 560, 360.5, false},
  };
  for (const Case& c : cases) {
    SetUp();
    PutBall(c.x, c.y);
    Respond(c.hand);
    const Hand other = c.hand == Hand::kLeft ? Hand::kRight : Hand::kLeft;
    const auto where = ::testing::Message() << Name(c.hand) << " at (" << c.x << ", " << c.y << ")";
    EXPECT_EQ(Latch(c.hand), 1) << where << ": the press uses the opportunity, hit or miss";
    EXPECT_EQ(HitsLevel(c.hand), c.hit ? 1 : 0) << where;
    EXPECT_EQ(HitsTotal(c.hand), c.hit ? 1 : 0) << where;
    EXPECT_EQ(Results(c.hand)[2][3], c.hit ? "1 " : "0 ") << where;
    EXPECT_EQ(Latch(other), 0) << where;
    EXPECT_EQ(HitsTotal(other), 0) << where;
    EXPECT_EQ(Results(other)[2][3], "0 ") << where;
    EXPECT_EQ(s.Phase, 0) << where << ": only the flash test moves the clock";
  }
}

TEST_F(ResponseTest, ASecondPressOfTheSameHandInOnePassIsIgnored) {
  for (Hand hand : {Hand::kLeft, Hand::kRight}) {
    SetUp();
    PutBall(hand == Hand::kLeft ? 200 : 560, 280);
    s.LeftHitsTotal = s.RightHitsTotal = 5;
    Respond(hand);
    Respond(hand);
    EXPECT_EQ(HitsLevel(hand), 1) << Name(hand);
    EXPECT_EQ(HitsTotal(hand), 6) << Name(hand);
    EXPECT_EQ(Latch(hand), 1) << Name(hand);
  }
}

TEST_F(ResponseTest, AMissClosesTheLatchForThePass) {
  PutBall(380, 280);
  RespondLeft(s);
  PutBall(200, 280);
  RespondLeft(s);
  EXPECT_EQ(s.LeftHitsLevel, 0);
  EXPECT_EQ(s.LeftResults[2][3], "0 ");
}

TEST_F(ResponseTest, NothingCountsUnlessTheLevelRuns) {
  for (Integer screen : {kScreenWaiting, kScreenNameEntry, kScreenMenu}) {
    SetUp();
    s.ScreenState = screen;
    PutBall(200, 280);
    RespondLeft(s);
    PutBall(560, 280);
    RespondRight(s);
    EXPECT_EQ(s.LeftLatch, 0) << "ScreenState " << screen;
    EXPECT_EQ(s.RightLatch, 0) << "ScreenState " << screen;
    EXPECT_EQ(s.LeftHitsTotal + s.RightHitsTotal, 0) << "ScreenState " << screen;
  }
}

TEST_F(ResponseTest, NothingCountsBeforeTheLevelIsOnTheScreen) {
  // Space and a hand key handled in the same pump: the frame on the screen still shows the
  // ball of the screen before, here standing in the left frame.
  s.LevelFrameShown = 0;
  PutBall(200, 280);
  RespondLeft(s);
  EXPECT_EQ(s.LeftLatch, 0) << "the press is not an answer to anything shown";
  EXPECT_EQ(s.LeftHitsTotal, 0);
  s.LevelFrameShown = 1;
  RespondLeft(s);
  EXPECT_EQ(s.LeftHitsTotal, 1);
}

TEST_F(ResponseTest, ALatchClosedByAnEarlyPressReopensWhileTheTargetIsAway) {
  // Linear, direction +1: Phase 0..180 is the right side, where the left latch is held open.
  s.Speed = 3;
  s.Direction = 1;
  s.Phase = 87;
  UpdateStimulus(s);  // Phase 90: the target passes the right frame
  PutBall(560, 280);
  RespondLeft(s);
  EXPECT_EQ(s.LeftLatch, 1) << "a miss while the target is on the right";
  UpdateStimulus(s);
  EXPECT_EQ(s.LeftLatch, 0) << "reopened in the next frame on the right side";
  s.Phase = 267;
  UpdateStimulus(s);  // Phase 270: the left frame
  PutBall(200, 280);
  RespondLeft(s);
  EXPECT_EQ(s.LeftHitsLevel, 1);
  EXPECT_EQ(s.LeftResults[2][3], "1 ");
}

TEST_F(ResponseTest, AFlashHitEndsTheFlashAtTheNextUpdate) {
  s.TestKind = kTestFlash;
  s.Speed = 6;
  s.FlashStart = 250;
  s.FlashEnd = 470;
  s.FlashNumber = 3;
  s.Phase = 300;
  s.FlashOn = 1;
  s.DirectionTable[4] = 1;
  PutBall(200, 280);
  RespondLeft(s);
  EXPECT_EQ(s.Phase, 10000);
  EXPECT_EQ(s.LeftResults[2][3], "1 ");
  UpdateStimulus(s);
  EXPECT_EQ(s.FlashOn, 0);
  EXPECT_EQ(s.FlashNumber, 4);
  EXPECT_EQ(s.Phase, 0);
  EXPECT_EQ(s.Direction, 1);
}

TEST_F(ResponseTest, AFlashMissLeavesTheClockAlone) {
  s.TestKind = kTestFlash;
  s.Phase = 120;
  PutBall(380, 280);
  RespondRight(s);
  EXPECT_EQ(s.Phase, 120);
  EXPECT_EQ(s.RightLatch, 1);
}

}  // namespace
}  // namespace tavrik
