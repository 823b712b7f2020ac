// Stimulus and frame positions, the level's end, and which screen the record shows.
#include "engine/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/stimulus.h"

namespace tavrik {
namespace {

// A layout of round numbers, not the shipped bitmaps' (their ball measures 40 pixels): an 800 by
// 600 screen, a 30-pixel ball, 60 by 80 frame cells.
SessionState Placed(Integer kind) {
  SessionState s;
  s.CenterX = 400;
  s.CenterY = 300;
  s.BallWidth = 30;
  s.BallHeight = 30;
  s.FrameCellWidth = 60;
  s.FrameHeight = 80;
  PlaceTrack(s);  // 185
  s.TestKind = kind;
  return s;
}

TEST(PlaceStimulus, CentreAndBallCornerForEveryTest) {
  const double kPi = std::acos(-1.0);
  struct Case {
    const char* what;
    Integer kind;
    double angle;
    Integer direction, flash_on;
    double x, y;  // expected centre
  } cases[] = {
      {"linear at the start", kTestLinear, 0, 1, 0, 400, 300},
      {"linear at the right end", kTestLinear, kPi / 2, 1, 0, 585, 300},
      {"linear at the left end", kTestLinear, -kPi / 2, -1, 0, 215, 300},
      {"circular at the bottom", kTestCircular, 0, 1, 0, 400, 485},
      {"circular at the top", kTestCircular, kPi, 1, 0, 400, 115},
      {"circular at the right", kTestCircular, kPi / 2, 1, 0, 585, 300},
      {"flash between flashes", kTestFlash, 1.0, 1, 0, 400, 300},
      {"flash on the right", kTestFlash, 1.0, 1, 1, 585, 300},
      {"flash on the left", kTestFlash, 1.0, -1, 1, 215, 300},
  };
  for (const Case& c : cases) {
    SessionState s = Placed(c.kind);
    s.Angle = c.angle;
    s.Direction = c.direction;
    s.FlashOn = c.flash_on;
    PlaceStimulus(s);
    EXPECT_NEAR(s.TargetX, c.x, 1e-9) << c.what;
    EXPECT_NEAR(s.TargetY, c.y, 1e-9) << c.what;
    EXPECT_EQ(s.BallX, s.TargetX - 15) << c.what;
    EXPECT_EQ(s.BallY, s.TargetY - 15) << c.what;
  }
}

TEST(PlaceStimulus, WithNoTestChosenTheCentreKeepsWhatTheRecordHeld) {
  SessionState s = Placed(0);
  s.TargetX = 123;
  PlaceStimulus(s);
  EXPECT_EQ(s.TargetX, 123);
  EXPECT_EQ(s.TargetY, 300);
  EXPECT_EQ(s.BallX, 108);
}

TEST(PlaceFrames, FramesCentredOnTheEndsOfTheTrack) {
  SessionState s = Placed(kTestLinear);
  PlaceFrames(s);
  EXPECT_EQ(s.LeftFrameX, 400 - 185 - 30);
  EXPECT_EQ(s.RightFrameX, 400 + 185 - 30);
  EXPECT_EQ(FrameTop(s), 260);
}

TEST(AdvanceLevel, MovesOnlyARunningLevelAndEndsItWhenItsCyclesAreUsedUp) {
  struct Case {
    const char* what;
    Integer screen_state, cycle;
    bool moves;
    Integer screen_after;
  } cases[] = {
      {"running", kScreenRunning, 3, true, kScreenRunning},
      {"waiting for Space", kScreenWaiting, 1, false, kScreenWaiting},
      {"cycles used up", kScreenRunning, 11, false, kScreenWaiting},
      {"menu", kScreenMenu, 0, false, kScreenMenu},
  };
  for (const Case& c : cases) {
    SessionState s = Placed(kTestLinear);
    ResetSession(s);
    s.ScreenState = c.screen_state;
    s.Cycle = c.cycle;
    s.Direction = 1;
    s.Speed = 3;
    s.Pi = 3.14;
    s.Phase = 30;
    AdvanceLevel(s);
    EXPECT_EQ(s.Phase != 30, c.moves) << c.what;
    EXPECT_EQ(s.ScreenState, c.screen_after) << c.what;
  }
}

TEST(ShownScreen, EveryStateOfTheSession) {
  struct Case {
    const char* what;
    Integer menu_level, screen_state, level, cycle;
    Screen screen;
  } cases[] = {
      {"menu", kMenuLevelMenu, kScreenMenu, 0, 0, Screen::kMenu},
      {"name entry", kMenuLevelName, kScreenNameEntry, 0, 0, Screen::kName},
      {"ready", kMenuLevelTest, kScreenWaiting, 1, 1, Screen::kReady},
      {"running", kMenuLevelTest, kScreenRunning, 2, 10, Screen::kRunning},
      {"level done", kMenuLevelTest, kScreenWaiting, 3, 11, Screen::kLevelDone},
      {"test done", kMenuLevelTest, kScreenWaiting, 4, 11, Screen::kTestDone},
  };
  for (const Case& c : cases) {
    SessionState s;
    ResetSession(s);
    s.MenuLevel = c.menu_level;
    s.ScreenState = c.screen_state;
    s.Level = c.level;
    s.Cycle = c.cycle;
    EXPECT_EQ(ShownScreen(s), c.screen) << c.what;
  }
}

}  // namespace
}  // namespace tavrik
