// The timing record, on a fake clock: scripted levels of each test where the frames are shown
// one nominal period apart (or late where a case stalls them) and the hand keys go down at chosen
// nanoseconds, as the frame loop and the keyboard would deliver them. Each press's expected row
// is worked out here from the path: the moving target reaches a frame's centre at phase 90 or
// 270 (moving up) and -90 or -270 (moving down), a whole number of frames into the cycle at the
// speeds used, or half way between two frames at 4 degrees a frame.
#include "engine/timing_record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "engine/geometry.h"
#include "engine/level.h"
#include "engine/stimulus.h"
#include "input/hand_keys.h"
#include "input/handlers.h"
#include "testkit/fake_services.h"
#include "testkit/shipped_layout.h"

namespace tavrik {
namespace {

constexpr std::int64_t kP = kNominalFramePeriodNs;
constexpr double kMsPerFrame = static_cast<double>(kNominalFramePeriodNs) / 1e6;

// Rnd values for StartLevel: the first flash's two draws, then one draw per direction (below
// one half gives +1). Ten alternating directions balance at the first draw.
std::vector<double> LevelScript(int first_direction) {
  std::vector<double> script = {0.4, 0.0};
  for (int i = 0; i < 10; ++i) script.push_back((i % 2 == 0) == (first_direction > 0) ? 0.1 : 0.9);
  return script;
}

class TimingRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSession(s);
    fakes = testkit::InstallFakes(s);
    testkit::UseShippedLayout(s);
    s.services.WriteReport = [](SessionState&) {};
  }

  // Chooses the test and sets up level 1 with `script` for the generator, as Enter does, and
  // draws the screen that waits for Space.
  void StartTest(Integer kind, std::vector<double> script) {
    s.TestKind = kind;
    fakes->script = std::move(script);
    fakes->next = 0;
    s.MenuLevel = kMenuLevelTest;
    s.ScreenState = kScreenWaiting;
    StartLevel(s);
    s.LevelFrameShown = 1;
  }
  // Space: the level waiting for it runs, or the next one is set up and runs.
  void Space(std::vector<double> script = {}) {
    if (!script.empty()) {
      fakes->script = std::move(script);
      fakes->next = 0;
    }
    KeyPress(s, kCodeSpace);
    index_ = 0;
  }

  // One pass of the frame loop after the events: compose (place, draw, step) and show.
  void Frame() {
    const bool running = s.ScreenState == kScreenRunning;
    PlaceStimulus(s);
    PlaceFrames(s);
    s.LevelFrameShown = 1;
    AdvanceLevel(s);
    now_ = running ? NextShownAt() : now_ + kP;
    if (running && index_ == 0) level_start_ = now_;
    FrameShown(s, now_, pacing_);
    if (running) ++index_;
  }
  // When the next running frame will be shown.
  std::int64_t NextShownAt() const {
    const auto late = late_.find(index_);
    return now_ + kP + (late == late_.end() ? 0 : late->second);
  }
  // Shows running frames until frame `index` (from 0) of the level is on the screen.
  void ShowUpTo(int index) {
    while (index_ <= index && s.ScreenState == kScreenRunning) Frame();
  }
  void FinishLevel() {
    while (s.ScreenState == kScreenRunning) Frame();
  }

  // A hand key going down at `down_ns`, handled at the next pump: after the frame on the screen
  // then, or, with `one_frame_later`, after the one after it.
  void Press(std::int8_t hand, std::int64_t down_ns, bool one_frame_later = false) {
    while (s.ScreenState == kScreenRunning && NextShownAt() <= down_ns) Frame();
    if (one_frame_later) Frame();
    s.KeyDownNs = down_ns;
    s.KeyRepeat = 0;
    KeyPress(s, hand == kHandLeft ? kLeftHandKey.code : kRightHandKey.code);
  }
  // A moment `ms` milliseconds after frame position `frame` of the level, on the regular clock.
  std::int64_t AtFrame(double frame, double ms = 0) const {
    return level_start_ + std::llround(frame * static_cast<double>(kP) + ms * 1e6);
  }

  // What the record says of every press it kept, in order.
  struct Row {
    int level;
    std::int8_t hand;
    Answer answer;
    PressTiming t;
  };
  std::vector<Row> Rows() const {
    std::vector<Row> rows;
    for (int i = 0; i < s.Timing.press_count; ++i) {
      const PressMark& p = s.Timing.presses[static_cast<std::size_t>(i)];
      const LevelTiming& level = s.Timing.levels[static_cast<std::size_t>(p.level - 1)];
      rows.push_back({p.level, p.hand, p.answer,
                      TimePress(level, StimulusMoments(level, s.TestKind, p.hand), p)});
    }
    return rows;
  }

  SessionState s;
  std::shared_ptr<testkit::FakeServices> fakes;
  std::int64_t now_ = 5'000'000'000;
  std::int64_t level_start_ = -1;
  int index_ = 0;                     // running frames of the level shown so far
  std::map<int, std::int64_t> late_;  // frame index -> extra nanoseconds before it is shown
  FramePacing pacing_{FramePacing::Kind::kTimer, 1, 144};
};

struct Expected {
  const char* what;
  std::int8_t hand;
  Answer answer;
  int frame;
  int cycle;
  double phase;
  double deviation_ms;
  double deviation_frames;
};

void ExpectRow(const Expected& e, const PressTiming& t, Answer answer, std::int8_t hand) {
  SCOPED_TRACE(e.what);
  EXPECT_EQ(e.hand, hand);
  EXPECT_EQ(static_cast<int>(e.answer), static_cast<int>(answer))
      << "0 not judged, 1 latched, 2 miss, 3 hit";
  EXPECT_EQ(e.frame, t.frame);
  EXPECT_EQ(e.cycle, t.cycle);
  EXPECT_DOUBLE_EQ(e.phase, t.phase);
  ASSERT_TRUE(t.timed);
  ASSERT_TRUE(t.deviates);
  EXPECT_NEAR(e.deviation_ms, t.deviation_ms, 1e-3);
  EXPECT_NEAR(e.deviation_frames, t.deviation_frames, 1e-4);
}

// Linear test, level 1, 3 degrees a frame. Cycle 1 moves up: the right frame's centre at frame
// 30 (phase 90), the left one's at 90 (270). Cycle 2 moves down: the left centre at frame 150
// (-90), the right one's at 210 (-270).
TEST_F(TimingRecordTest, LinearPressesBeforeAtAndAfterTheCentreBothWaysBothHands) {
  StartTest(kTestLinear, LevelScript(+1));
  Space();
  ShowUpTo(0);
  const std::int64_t start = level_start_;
  struct Case {
    Expected e;
    std::int64_t down;
    bool one_frame_later;
  };
  const Case cases[] = {
      {{"right, 55 ms before the centre, in the frame", kHandRight, Answer::kHit, 27, 1, 78, -55,
        -3.3},
       AtFrame(30, -55),
       false},
      {{"right again in the same pass", kHandRight, Answer::kLatched, 28, 1, 81, -35, -2.1},
       AtFrame(30, -35),
       false},
      {{"left, 30 ms after the centre", kHandLeft, Answer::kHit, 92, 1, 273, 30, 1.8},
       AtFrame(90, 30),
       false},
      {{"left again, down while frame 96 was shown, handled after frame 97", kHandLeft,
        Answer::kLatched, 96, 1, 285, 5.7 * kMsPerFrame, 5.7},
       AtFrame(95.7),
       true},
      {{"left, moving down, exactly at the centre", kHandLeft, Answer::kHit, 151, 2, -90, 0, 0},
       AtFrame(150),
       false},
      {{"right, moving down, on its side before the frame", kHandRight, Answer::kMiss, 184, 2, -189,
        -26.5 * kMsPerFrame, -26.5},
       AtFrame(183.5),
       false},
      {{"right, at its centre after the early miss", kHandRight, Answer::kLatched, 211, 2, -270, 8,
        0.48},
       AtFrame(210, 8),
       false},
  };
  for (const Case& c : cases) Press(c.e.hand, c.down, c.one_frame_later);
  FinishLevel();
  EXPECT_EQ(start, level_start_);

  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), std::size(cases));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ExpectRow(cases[i].e, rows[i].t, rows[i].answer, rows[i].hand);
    EXPECT_NEAR(static_cast<double>(cases[i].down - start) / 1e6, rows[i].t.time_ms, 1e-9);
  }
  EXPECT_EQ(s.RightHitsLevel, 1);
  EXPECT_EQ(s.LeftHitsLevel, 2);
}

// Linear test, level 2, 4 degrees a frame: phase 90 falls half way between frames 22 and 23,
// and frame 23 comes 100 ms late. The moment lies half way in time between the two frames
// around it; on the level's frame clock the stall does not count.
TEST_F(TimingRecordTest, AMomentBetweenTwoFramesIsInterpolatedInTimeAndInFrames) {
  StartTest(kTestLinear, LevelScript(+1));
  Space();
  FinishLevel();
  late_[23] = 100'000'000;
  Space(LevelScript(+1));
  ASSERT_EQ(s.Level, 2);
  ShowUpTo(0);
  // Frame 24 (phase 96) is on the screen from 24 frames and 100 ms after the level's start.
  Press(kHandRight, AtFrame(24.3, 100));
  // Phase 270 falls between frames 67 and 68; the press comes with frame 67 itself.
  Press(kHandLeft, AtFrame(67, 100));
  FinishLevel();

  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  ExpectRow(
      {"right, after a stall", kHandRight, Answer::kHit, 25, 1, 96, 1.5 * kMsPerFrame + 55, 1.8},
      rows[0].t, rows[0].answer, rows[0].hand);
  ExpectRow(
      {"left, half a frame early", kHandLeft, Answer::kHit, 68, 1, 268, -kMsPerFrame / 2, -0.5},
      rows[1].t, rows[1].answer, rows[1].hand);
  EXPECT_EQ(rows[0].level, 2);

  const LevelPace pace = PaceLevel(s.Timing.levels[1]);
  EXPECT_EQ(pace.frames, 900);
  EXPECT_EQ(pace.intervals, 899);
  EXPECT_NEAR(pace.mean_ms, kMsPerFrame + 100.0 / 899, 1e-6);
  EXPECT_NEAR(pace.max_ms, kMsPerFrame + 100, 1e-6);
  EXPECT_NEAR(pace.sd_ms, 100 / std::sqrt(899.0), 1e-6);
  EXPECT_EQ(pace.dropped, 1);
}

// Circular test, level 1, 1.5 degrees a frame: the right centre at frame 60, the left at 180;
// moving down, the left at 300 and the right at 420.
TEST_F(TimingRecordTest, CircularPressesBothWaysBothHands) {
  StartTest(kTestCircular, LevelScript(+1));
  Space();
  ShowUpTo(0);
  struct Case {
    Expected e;
    std::int64_t down;
  };
  const Case cases[] = {
      {{"right, 10 ms before the centre", kHandRight, Answer::kHit, 60, 1, 88.5, -10, -0.6},
       AtFrame(60, -10)},
      {{"left, 105 ms after the centre", kHandLeft, Answer::kHit, 187, 1, 279, 105, 6.3},
       AtFrame(180, 105)},
      {{"left again", kHandLeft, Answer::kLatched, 189, 1, 282, 135, 8.1}, AtFrame(180, 135)},
      {{"right, moving down, late: below the frame", kHandRight, Answer::kMiss, 451, 2, -315,
        30.5 * kMsPerFrame, 30.5},
       AtFrame(450.5)},
  };
  for (const Case& c : cases) Press(c.e.hand, c.down);
  FinishLevel();
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), std::size(cases));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ExpectRow(cases[i].e, rows[i].t, rows[i].answer, rows[i].hand);
  }
}

// Flash test, level 1, 4 clock units a frame. The first flash (right) comes on when the clock
// passes 240: frame 61 is the first to show it. The hit ends it: the frame after still shows it
// (the clock at 10000), and the next flash (left) comes on 51 frames after that, at frame 129.
TEST_F(TimingRecordTest, FlashReactionTimesFromTheOnset) {
  std::vector<double> script = {0.4, 0.0};             // flash 1: 240 to 440
  script.push_back(0.2);                               // pair 1: right, then left
  for (int i = 1; i < 10; ++i) script.push_back(0.7);  // the other pairs
  script.insert(script.end(), {0.0, 0.0});             // flash 2: 200 to 400
  StartTest(kTestFlash, script);
  Space();
  ShowUpTo(0);
  struct Case {
    Expected e;
    std::int64_t down;
  };
  const Case cases[] = {
      {{"right, 260 ms after the flash came on", kHandRight, Answer::kHit, 77, 1, 304, 260, 15.6},
       AtFrame(61, 260)},
      {{"right again, the flash ending", kHandRight, Answer::kLatched, 78, 1, 10000,
        16.5 * kMsPerFrame, 16.5},
       AtFrame(77.5)},
      {{"left, early, in the dark before its flash", kHandLeft, Answer::kMiss, 101, 1, 88,
        -28.8 * kMsPerFrame, -28.8},
       AtFrame(100.2)},
      {{"left, 310 ms into its flash", kHandLeft, Answer::kLatched, 148, 1, 276, 310, 18.6},
       AtFrame(129, 310)},
  };
  for (const Case& c : cases) Press(c.e.hand, c.down);
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), std::size(cases));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ExpectRow(cases[i].e, rows[i].t, rows[i].answer, rows[i].hand);
  }
}

TEST_F(TimingRecordTest, OnlyPressesTheScoringLooksAtBecomeRowsAndAutoRepeatsDoNot) {
  StartTest(kTestLinear, LevelScript(+1));
  // Waiting for Space: judged by nobody.
  s.KeyDownNs = now_;
  KeyPress(s, kLeftHandKey.code);
  Space();
  ShowUpTo(25);  // the ball in the right frame
  s.KeyDownNs = now_ + 1000;
  s.KeyRepeat = 1;
  KeyPress(s, kRightHandKey.code);
  EXPECT_EQ(s.RightHitsLevel, 1) << "an auto-repeat is still an answer";
  s.KeyRepeat = 0;
  KeyPress(s, kRightHandKey.code);
  EXPECT_EQ(s.Timing.press_count, 1) << "only the press after the repeat";
  EXPECT_EQ(static_cast<int>(s.Timing.presses[0].answer), static_cast<int>(Answer::kLatched));
}

TEST_F(TimingRecordTest, APressWithoutAStampHasItsFrameButNoTimes) {
  StartTest(kTestLinear, LevelScript(+1));
  Space();
  ShowUpTo(40);
  s.KeyDownNs = -1;
  KeyPress(s, kRightHandKey.code);
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].t.frame, 41) << "the frame last drawn";
  EXPECT_DOUBLE_EQ(rows[0].t.phase, 120);
  EXPECT_FALSE(rows[0].t.timed);
  EXPECT_FALSE(rows[0].t.deviates);
}

TEST_F(TimingRecordTest, APressWithTheSpaceThatStartsTheLevelComesBeforeItsFirstFrame) {
  StartTest(kTestLinear, LevelScript(+1));
  Space();  // in the same pump: the ready screen is still on
  Press(kHandRight, now_ + 4 * kP / 10);
  FinishLevel();
  const std::vector<Row> rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].t.frame, 0);
  EXPECT_EQ(rows[0].t.cycle, 1);
  EXPECT_DOUBLE_EQ(rows[0].t.phase, 0);
  ASSERT_TRUE(rows[0].t.timed);
  EXPECT_NEAR(rows[0].t.time_ms, -0.6 * kMsPerFrame, 1e-6);
  EXPECT_NEAR(rows[0].t.deviation_frames, -30.6, 1e-6) << "the right centre at frame 30";
}

// Every level of the moving tests runs 10 cycles of 360 / speed frames, and every one of them
// is kept with its time; the longest flash level (every dark interval and flash as long as they
// come) just fits the buffer.
TEST_F(TimingRecordTest, EveryRunningFrameOfEveryLevelIsKept) {
  struct Case {
    Integer kind;
    int frames[4];
    double rnd;
  };
  const Case cases[] = {
      {kTestCircular, {2400, 1800, 1440, 1200}, 0.1},
      {kTestLinear, {1200, 900, 720, 600}, 0.1},
      {kTestFlash, {20 * 138, 20 * 92, 20 * 69, 20 * 55}, 0.9999},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    SetUp();
    // Moving tests: alternate directions; flash test: the longest flashes, from the same value.
    auto level_script = [&]() {
      return c.kind == kTestFlash ? std::vector<double>(400, c.rnd) : LevelScript(+1);
    };
    StartTest(c.kind, level_script());
    for (int level = 1; level <= 4; ++level) {
      if (level == 1) {
        Space();
      } else {
        Space(level_script());
      }
      FinishLevel();
      const LevelTiming& l = s.Timing.levels[static_cast<std::size_t>(level - 1)];
      EXPECT_EQ(l.frames_composed, c.frames[level - 1]) << "level " << level;
      ASSERT_LE(l.frames_composed, kMaxLevelFrames);
      const LevelPace pace = PaceLevel(l);
      EXPECT_EQ(pace.intervals, c.frames[level - 1] - 1) << "level " << level;
      EXPECT_NEAR(pace.mean_ms, kMsPerFrame, 1e-6);
      EXPECT_EQ(pace.dropped, 0);
      EXPECT_EQ(l.first_pacing, pacing_);
    }
  }
  EXPECT_EQ(kMaxLevelFrames, 2760);
}

TEST_F(TimingRecordTest, IntervalsOverOneAndAFifthPeriodsAreDroppedFrames) {
  StartTest(kTestLinear, LevelScript(+1));
  // Frame 10 exactly 1.2 periods after frame 9 is not a dropped frame; 1 ns more is.
  const std::int64_t fifth = kP / 5;
  late_[10] = fifth;
  late_[20] = fifth + 1;
  late_[30] = 3 * kP;
  Space();
  FinishLevel();
  const LevelPace pace = PaceLevel(s.Timing.levels[0]);
  EXPECT_EQ(pace.frames, 1200);
  EXPECT_EQ(pace.dropped, 2);
  EXPECT_NEAR(pace.max_ms, 4 * kMsPerFrame, 1e-6);
}

TEST_F(TimingRecordTest, PressesPastTheBufferAreCounted) {
  StartTest(kTestLinear, LevelScript(+1));
  Space();
  ShowUpTo(0);
  for (int i = 0; i < TimingRecord::kMaxPresses + 3; ++i) {
    s.KeyDownNs = now_;
    KeyPress(s, kLeftHandKey.code);
  }
  EXPECT_EQ(s.Timing.press_count, TimingRecord::kMaxPresses);
  EXPECT_EQ(s.Timing.presses_lost, 3);
  ResetSession(s);
  EXPECT_EQ(s.Timing.press_count, 0);
  EXPECT_EQ(s.Timing.presses_lost, 0);
  EXPECT_EQ(s.Timing.levels[0].frames_composed, 0);
}

}  // namespace
}  // namespace tavrik
