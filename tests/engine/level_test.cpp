// Level set-up: first flash, reseed, balanced directions, speeds, and the end of a test.
#include "engine/level.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codepage/cp1251.h"
#include "testkit/fake_services.h"

namespace tavrik {
namespace {

using testkit::InstallFakes;

class StartLevelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession(s);
    fakes = InstallFakes(s);
    fakes->now = LocalTime{2024, 3, 5, 9, 7, 2, 250};
  }
  void Script(std::vector<double> values) { fakes->script = std::move(values); }

  SessionState s;
  std::shared_ptr<testkit::FakeServices> fakes;
};

int Sum(const SessionState& s, int count) {
  int sum = 0;
  for (int i = 1; i <= count; ++i) sum += s.DirectionTable[i];
  return sum;
}

TEST_F(StartLevelTest, SetsUpLevelOneAndDrawsTheFirstFlashBeforeTheReseed) {
  s.TestKind = kTestLinear;
  // Leftovers of an earlier level that the set-up must clear, and results that it must keep.
  s.Phase = 123;
  s.Angle = 123 * 3.14 / 180;
  s.LevelFrameShown = 1;
  s.FlashOn = 1;
  s.LeftLatch = s.RightLatch = 1;
  s.LeftKeyHeld = s.RightKeyHeld = 1;
  s.LeftHitsLevel = s.RightHitsLevel = 3;
  s.LeftHitsTotal = 7;
  s.LeftResults[1][2] = "1 ";
  Script({0.37, 0.9, 0.6, 0.1, 0.6, 0.1, 0.6, 0.1, 0.6, 0.1, 0.6, 0.1});

  StartLevel(s);

  const std::vector<std::string> first_calls(fakes->calls.begin(), fakes->calls.begin() + 3);
  EXPECT_EQ(first_calls, (std::vector<std::string>{"Rnd", "Rnd", "Randomize"}));
  EXPECT_EQ(fakes->calls.size(), 13u) << "two flash draws, one reseed, ten directions";
  ASSERT_EQ(fakes->seeds.size(), 1u);
  EXPECT_DOUBLE_EQ(fakes->seeds[0], 9 * 3600 + 7 * 60 + 2.25);
  EXPECT_EQ(s.FlashStart, 237);           // 200 + Int(0.37 * 100)
  EXPECT_EQ(s.FlashEnd, 237 + 200 + 45);  // + 200 + Int(0.9 * 50)
  EXPECT_EQ(s.Pi, 3.14);
  EXPECT_EQ(s.Phase, 0);
  EXPECT_EQ(s.Angle, 0) << "the ready screen shows the ball at the start of its path";
  EXPECT_EQ(s.LevelFrameShown, 0) << "no frame of the new level has been drawn yet";
  EXPECT_EQ(s.Level, 1);
  EXPECT_EQ(s.Cycle, 1);
  EXPECT_EQ(s.FlashNumber, 1);
  EXPECT_EQ(s.FlashOn, 0);
  EXPECT_EQ(s.LeftLatch, 0);
  EXPECT_EQ(s.RightLatch, 0);
  EXPECT_EQ(s.LeftKeyHeld, 0);
  EXPECT_EQ(s.RightKeyHeld, 0);
  EXPECT_EQ(s.LeftHitsLevel, 0);
  EXPECT_EQ(s.RightHitsLevel, 0);
  EXPECT_EQ(s.LeftHitsTotal, 7) << "totals carry over between levels";
  EXPECT_EQ(s.LeftResults[1][2], "1 ") << "results carry over between levels";
  EXPECT_EQ(s.Speed, 3);
  EXPECT_EQ(s.Direction, -1) << "the first direction is DirectionTable(1)";
  // StartLevel leaves the screen to its caller.
  EXPECT_EQ(s.ScreenState, kScreenMenu);
  EXPECT_EQ(s.MenuLevel, kMenuLevelMenu);
}

TEST_F(StartLevelTest, ThrowsAnUnbalancedDrawAwayWhole) {
  s.TestKind = kTestCircular;
  std::vector<double> script = {0.5, 0.5};
  // First draw: nine +1 and one -1, rejected. Second draw: balanced, taken as it is.
  for (int i = 0; i < 9; ++i) script.push_back(0.2);
  script.push_back(0.8);
  const std::vector<double> balanced = {0.1, 0.9, 0.9, 0.4, 0.5, 0.0, 0.99, 0.3, 0.7, 0.2};
  script.insert(script.end(), balanced.begin(), balanced.end());
  Script(script);

  StartLevel(s);

  const std::vector<Integer> expected = {1, -1, -1, 1, -1, 1, -1, 1, -1, 1};
  const std::vector<Integer> actual(s.DirectionTable.begin() + 1, s.DirectionTable.begin() + 11);
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(fakes->next, script.size()) << "both draws of ten used";
  EXPECT_EQ(fakes->calls.size(), 2u + 1u + 20u);
  EXPECT_EQ(s.Direction, 1);
}

TEST_F(StartLevelTest, FlashLevelsAreOppositePairsDrawnOnce) {
  s.TestKind = kTestFlash;
  s.DirectionTable.fill(7);
  Script({0.5, 0.5, 0.2, 0.7, 0.7, 0.2, 0.3, 0.6, 0.1, 0.9, 0.45, 0.55});

  StartLevel(s);

  EXPECT_EQ(fakes->calls.size(), 2u + 1u + 10u) << "one draw per pair, no redraw";
  const std::vector<Integer> first_ten(s.DirectionTable.begin() + 1, s.DirectionTable.begin() + 11);
  EXPECT_EQ(first_ten, (std::vector<Integer>{1, -1, -1, 1, -1, 1, 1, -1, 1, -1}));
  for (int pair = 1; pair <= 19; pair += 2) {
    EXPECT_EQ(s.DirectionTable[pair] + s.DirectionTable[pair + 1], 0) << "pair at " << pair;
  }
  EXPECT_EQ(s.DirectionTable[0], 7) << "entry 0 is never written";
  EXPECT_EQ(s.Speed, 4);
}

TEST_F(StartLevelTest, EveryLevelBalancesWithTheRealDrawOrder) {
  // Many levels on a free-running generator: whatever the draws, five each way (or pairs).
  for (Integer kind : {kTestCircular, kTestLinear, kTestFlash}) {
    for (int test = 0; test < 25; ++test) {
      ResetSession(s);
      s.TestKind = kind;
      for (int level = 1; level <= 4; ++level) {
        StartLevel(s);
        const int count = kind == kTestFlash ? 20 : 10;
        EXPECT_EQ(Sum(s, count), 0) << "kind " << kind << " level " << level;
        for (int i = 1; i <= count; ++i) {
          ASSERT_TRUE(s.DirectionTable[i] == 1 || s.DirectionTable[i] == -1);
        }
        if (kind == kTestFlash) {
          for (int i = 1; i <= 19; i += 2) {
            EXPECT_EQ(s.DirectionTable[i], -s.DirectionTable[i + 1]);
          }
        }
        EXPECT_EQ(s.Direction, s.DirectionTable[1]);
        EXPECT_GE(s.FlashStart, 200);
        EXPECT_LE(s.FlashStart, 299);
        EXPECT_GE(s.FlashEnd - s.FlashStart, 200);
        EXPECT_LE(s.FlashEnd - s.FlashStart, 249);
      }
    }
  }
}

TEST_F(StartLevelTest, SpeedFollowsTestAndLevel) {
  struct Case {
    Integer kind;
    double speeds[4];
  };
  const Case cases[] = {
      {kTestCircular, {1.5, 2, 2.5, 3}},
      {kTestLinear, {3, 4, 5, 6}},
      {kTestFlash, {4, 6, 8, 10}},
  };
  for (const Case& c : cases) {
    ResetSession(s);
    s.TestKind = c.kind;
    for (int level = 1; level <= 4; ++level) {
      StartLevel(s);
      EXPECT_EQ(s.Level, level);
      EXPECT_EQ(s.Speed, c.speeds[level - 1]) << "kind " << c.kind << " level " << level;
    }
  }
}

TEST_F(StartLevelTest, ThePreviousLevelsFlashTableTailStaysUnread) {
  s.TestKind = kTestFlash;
  StartLevel(s);
  const auto before = s.DirectionTable;
  s.TestKind = kTestLinear;  // as after a click on the menu in the middle of a test
  StartLevel(s);
  for (int i = 11; i <= 20; ++i) EXPECT_EQ(s.DirectionTable[i], before[i]) << "entry " << i;
}

TEST_F(StartLevelTest, AfterTheLastLevelWritesTheReportAndReturnsToTheMenu) {
  // The writer sees the session as the test left it; the reset comes after it.
  struct Written {
    Integer level, menu_level;
    std::string last_cell;
    Integer left_hits_total;
  };
  std::vector<Written> written;
  s.services.WriteReport = [&written](SessionState& at) {
    written.push_back({at.Level, at.MenuLevel, at.LeftResults[4][10], at.LeftHitsTotal});
  };
  s.TestKind = kTestLinear;
  s.SubjectName = Utf8ToCp1251("Тест");
  s.MenuLevel = kMenuLevelTest;
  s.ScreenState = kScreenWaiting;
  for (int level = 1; level <= 4; ++level) StartLevel(s);
  EXPECT_TRUE(written.empty()) << "no report before the last level is done";
  s.LeftResults[4][10] = "1 ";
  s.LeftHitsTotal = 1;
  s.Cycle = 11;
  fakes->calls.clear();

  StartLevel(s);

  EXPECT_EQ(fakes->calls, (std::vector<std::string>{"Rnd", "Rnd"})) << "no reseed at the end";
  EXPECT_TRUE(fakes->errors.empty()) << (fakes->errors.empty() ? "" : fakes->errors[0]);
  ASSERT_EQ(written.size(), 1u) << "the report is written once";
  EXPECT_EQ(written[0].level, 5) << "written when the level count is passed";
  EXPECT_EQ(written[0].menu_level, kMenuLevelTest) << "written before the reset";
  EXPECT_EQ(written[0].last_cell, "1 ") << "results as the test left them, before the reset";
  EXPECT_EQ(written[0].left_hits_total, 1);
  EXPECT_EQ(s.Level, 0);
  EXPECT_EQ(s.Cycle, 0);
  EXPECT_EQ(s.ScreenState, kScreenMenu);
  EXPECT_EQ(s.MenuLevel, kMenuLevelMenu);
  EXPECT_EQ(s.LeftHitsTotal, 0);
  EXPECT_EQ(s.LeftResults[4][10], "0 ");
  EXPECT_EQ(s.TestKind, kTestLinear);
}

}  // namespace
}  // namespace tavrik
