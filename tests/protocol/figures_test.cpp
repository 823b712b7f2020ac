// The protocol's figures against cases worked out by hand: the edges of "accurate" at exactly one
// frame, of a reaction at exactly 100 and 500 ms, a hand without a judged answer, all answers
// early, one answer; the sign test against binomial values; the timing verdict.
#include "protocol/figures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "protocol/session.h"

namespace tavrik::protocol {
namespace {

struct MovingCase {
  const char* name;
  std::vector<double> errors;
  int accurate, early, late;
  double early_sum, late_sum, constant, absolute, variable, range;
};

TEST(ProtocolFigures, MovingTestsByHand) {
  const MovingCase cases[] = {
      // 16.7 is the record's one frame: accurate on both sides; 16.8 is not.
      {"ties at one frame",
       {-16.7, 16.7, -16.8, 16.8},
       2,
       1,
       1,
       -16.8,
       16.8,
       0,
       16.75,
       std::sqrt((16.7 * 16.7 * 2 + 16.8 * 16.8 * 2) / 3),
       33.6},
      {"all early", {-40, -20, -30}, 0, 3, 0, -90, 0, -30, 30, 10, 20},
      {"one answer", {5}, 1, 0, 0, 0, 0, 5, 5, 0, 0},
      {"zero is accurate", {0, 0}, 2, 0, 0, 0, 0, 0, 0, 0, 0},
      {"early and late",
       {-100, 50, 10},
       1,
       1,
       1,
       -100,
       50,
       -40.0 / 3,
       160.0 / 3,
       std::sqrt((std::pow(-100 + 40.0 / 3, 2) + std::pow(50 + 40.0 / 3, 2) +
                  std::pow(10 + 40.0 / 3, 2)) /
                 2),
       150},
  };
  for (const MovingCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Figures f = MovingFigures(c.errors);
    EXPECT_EQ(f.timed, static_cast<int>(c.errors.size()));
    EXPECT_EQ(f.accurate, c.accurate);
    EXPECT_EQ(f.early, c.early);
    EXPECT_EQ(f.late, c.late);
    EXPECT_NEAR(f.early_sum_ms, c.early_sum, 1e-9);
    EXPECT_NEAR(f.late_sum_ms, c.late_sum, 1e-9);
    EXPECT_NEAR(f.constant_ms, c.constant, 1e-9);
    EXPECT_NEAR(f.absolute_ms, c.absolute, 1e-9);
    EXPECT_NEAR(f.variable_ms, c.variable, 1e-9);
    EXPECT_NEAR(f.max_ms - f.min_ms, c.range, 1e-9);
  }
}

struct FlashCase {
  const char* name;
  std::vector<double> times;
  int reactions, anticipations, lapses;
  double mean, median, sd, min, max;
};

TEST(ProtocolFigures, FlashTestByHand) {
  const FlashCase cases[] = {
      // 100 is a reaction, 500 a lapse; 99.9 and a press before the flash are anticipations.
      {"edges at 100 and 500 ms",
       {99.9, 100, 499.9, 500, -20, 300},
       3,
       2,
       1,
       899.9 / 3,
       300,
       std::sqrt((std::pow(100 - 899.9 / 3, 2) + std::pow(300 - 899.9 / 3, 2) +
                  std::pow(499.9 - 899.9 / 3, 2)) /
                 2),
       100,
       499.9},
      {"even count: median between the middle two",
       {200, 300, 260, 240},
       4,
       0,
       0,
       250,
       250,
       std::sqrt((50.0 * 50 + 50 * 50 + 10 * 10 + 10 * 10) / 3),
       200,
       300},
      {"one answer", {250}, 1, 0, 0, 250, 250, 0, 250, 250},
      {"only lapses", {600, 700}, 0, 0, 2, 0, 0, 0, 0, 0},
  };
  for (const FlashCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Figures f = FlashFigures(c.times);
    EXPECT_EQ(f.reactions, c.reactions);
    EXPECT_EQ(f.anticipations, c.anticipations);
    EXPECT_EQ(f.lapses, c.lapses);
    EXPECT_NEAR(f.rt_mean_ms, c.mean, 1e-9);
    EXPECT_NEAR(f.rt_median_ms, c.median, 1e-9);
    EXPECT_NEAR(f.rt_sd_ms, c.sd, 1e-9);
    EXPECT_NEAR(f.rt_min_ms, c.min, 1e-9);
    EXPECT_NEAR(f.rt_max_ms, c.max, 1e-9);
  }
}

PressRow Press(int level, Hand hand, Outcome outcome, bool deviates, double e) {
  PressRow p;
  p.level = level;
  p.hand = hand;
  p.outcome = outcome;
  p.deviates = deviates;
  p.deviation_ms = e;
  return p;
}

TEST(ProtocolFigures, OnlyJudgedAnswersCountAndEachLevelApart) {
  // The right hand only pressed on a closed latch: it has no judged answer at all.
  const std::vector<PressRow> presses = {
      Press(1, kLeft, Outcome::kHit, true, -10),     Press(1, kLeft, Outcome::kLatched, true, 80),
      Press(2, kLeft, Outcome::kMiss, true, -60),    Press(2, kLeft, Outcome::kHit, false, 0),
      Press(3, kRight, Outcome::kLatched, true, -5),
  };
  const TestFigures t = ComputeFigures(2, presses, nullptr);
  EXPECT_EQ(t.by[kLeft][0].answers, 3);
  EXPECT_EQ(t.by[kLeft][0].hits, 2);
  EXPECT_EQ(t.by[kLeft][0].timed, 2) << "a press without a time stamp has no error";
  EXPECT_NEAR(t.by[kLeft][0].constant_ms, -35, 1e-9);
  EXPECT_EQ(t.by[kLeft][1].answers, 1);
  EXPECT_EQ(t.by[kLeft][1].accurate, 1);
  EXPECT_EQ(t.by[kLeft][2].early, 1);
  EXPECT_EQ(t.by[kLeft][3].answers, 0);
  EXPECT_EQ(t.by[kRight][0].answers, 0);
  EXPECT_EQ(t.by[kRight][0].timed, 0);
  EXPECT_EQ(t.answers[kLeft].size(), 3u);
  EXPECT_TRUE(t.answers[kRight].empty());
}

TEST(ProtocolFigures, FlashesWithoutAHitFromTheCells) {
  ReportBlock b;
  for (int cycle = 0; cycle < 10; ++cycle) b.hits[kLeft][0][cycle] = true;
  for (int cycle = 0; cycle < 3; ++cycle) b.hits[kRight][0][cycle] = true;
  b.hits[kRight][3][9] = true;
  const TestFigures t = ComputeFigures(3, {}, &b);
  EXPECT_EQ(t.by[kLeft][1].unanswered, 20 - 13);
  EXPECT_EQ(t.by[kLeft][2].unanswered, 20);
  EXPECT_EQ(t.by[kLeft][4].unanswered, 19);
  EXPECT_EQ(t.by[kLeft][0].unanswered, 7 + 20 + 20 + 19);
}

struct SignCase {
  int early, late;
  double p;  // R: binom.test(early, early + late)$p.value
  const char* text;
};

TEST(ProtocolFigures, SignTestAgainstBinomialValues) {
  const SignCase cases[] = {
      {0, 0, 1, "преобладания нет, p = 1,00"},
      {3, 0, 0.25, "преобладания нет, p = 0,25"},
      {10, 0, 0.001953125, "опережения преобладают, p = 0,002"},
      {1, 9, 0.021484375, "запаздывания преобладают, p = 0,02"},
      {12, 1, 0.00341796875, "опережения преобладают, p = 0,003"},
      {8, 2, 0.109375, "преобладания нет, p = 0,11"},
      {5, 5, 1, "преобладания нет, p = 1,00"},
      {5, 15, 0.04138947, "запаздывания преобладают, p = 0,04"},
      {60, 40, 0.05688793, "преобладания нет, p = 0,06"},
      {12, 0, 0.00048828125, "опережения преобладают, p < 0,001"},
      {300, 200, 8.940066542e-6, "опережения преобладают, p < 0,001"},
  };
  for (const SignCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.early) + " early, " + std::to_string(c.late) + " late");
    const double p = SignTestP(c.early, c.late);
    EXPECT_NEAR(p, c.p, c.p * 1e-3 + 1e-9);
    EXPECT_EQ(SignTestP(c.late, c.early), p) << "two-sided: the same either way";
    EXPECT_EQ(BalanceText(c.early, c.late), c.text);
  }
}

FrameRow Level(int level, int dropped, const std::string& pacing) {
  FrameRow f;
  f.level = level;
  f.frames = 600;
  f.display_hz = 59.95;
  f.pacing = pacing;
  f.measured = true;
  f.dropped = dropped;
  return f;
}

TEST(ProtocolFigures, TimingVerdict) {
  const std::string vsync = "вертикальная синхронизация";
  Session clean;
  for (int level = 1; level <= 4; ++level) clean.frames.push_back(Level(level, 0, vsync));
  TimingVerdict v = JudgeTiming(clean);
  EXPECT_TRUE(v.clean);
  EXPECT_TRUE(v.warnings.empty());
  EXPECT_EQ(v.summary, "в порядке");
  EXPECT_EQ(v.pacing, vsync);

  Session doubtful = clean;
  doubtful.frames[1].dropped = 3;
  doubtful.frames[0].pacing = "измерение частоты, затем " + vsync;
  v = JudgeTiming(doubtful);
  EXPECT_FALSE(v.clean);
  ASSERT_EQ(v.warnings.size(), 2u);
  EXPECT_NE(v.warnings[0].find("Уровень 1: темп задавало измерение частоты"), std::string::npos)
      << v.warnings[0];
  EXPECT_NE(v.warnings[1].find("Уровень 2: пропущено кадров: 3"), std::string::npos)
      << v.warnings[1];
  EXPECT_EQ(v.summary, "уровни 1, 2: возможны неточности");
  EXPECT_EQ(v.dropped, 3);
  EXPECT_EQ(v.pacing, "") << "not one pacing for the whole test";

  const Session none;
  EXPECT_FALSE(JudgeTiming(none).recorded);
  EXPECT_FALSE(JudgeTiming(none).clean);
}

}  // namespace
}  // namespace tavrik::protocol
