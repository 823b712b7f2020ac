// The figures of a test, per level and hand and for the whole test, over the judged answers
// (`Итог` "попадание" or "промах"; "не учтено" is no answer), and the early/late sign test.
//
// Moving tests: an answer's error is "Отклонение, мс", signed (negative: before the ball's centre
// reached the frame's centre). An answer is accurate when |error| <= kAccurateMs, one frame at 60
// frames a second as the record writes it (to 0.1 ms), so that 16.7 is accurate and 16.8 is not.
// Flash test: the error is the reaction time after the flash came on; times from kFastestRtMs up
// to under kSlowestRtMs are reactions, earlier ones (negatives included) anticipations, later ones
// lapses.
#pragma once

#include <string>
#include <vector>

#include "engine/test_constants.h"
#include "protocol/records.h"

namespace tavrik::protocol {

constexpr double kAccurateMs = 16.7;
constexpr double kFastestRtMs = 100;
constexpr double kSlowestRtMs = 500;
// The sign test names a prevailing side below this p.
constexpr double kSignificance = 0.05;

struct Figures {
  int answers = 0;  // judged answers
  int hits = 0;     // of them scored
  int timed = 0;    // of them with an error (a press without a time stamp has none)

  // Moving tests, over the timed answers.
  int accurate = 0, early = 0, late = 0;
  double early_sum_ms = 0, late_sum_ms = 0;  // sums of the errors of the early, of the late answers
  double constant_ms = 0;                    // mean signed error; with timed > 0
  double absolute_ms = 0;                    // mean |error|; with timed > 0
  double variable_ms = 0;                    // sample SD of the errors; with timed > 1
  double min_ms = 0, max_ms = 0;             // range = max - min; with timed > 0

  // Flash test, over the reactions (kFastestRtMs <= rt < kSlowestRtMs).
  int reactions = 0, anticipations = 0, lapses = 0;
  double rt_mean_ms = 0, rt_median_ms = 0, rt_sd_ms = 0, rt_min_ms = 0, rt_max_ms = 0;
  int unanswered = 0;  // flashes without a hit, from the report's cells (whole level, both hands)
};

double Percent(int part, int whole);  // 0 when whole is 0

// Figures over the answers of `errors` (the errors of judged, timed answers) and counts.
Figures MovingFigures(const std::vector<double>& errors);
Figures FlashFigures(const std::vector<double>& reaction_times);

// The exact two-sided sign test of `a` against `b` (binomial, p = 0.5): the probability of a split
// at least as uneven as this one. 1 for 0 against 0.
double SignTestP(int a, int b);

// "p = 0,003", "p = 0,41", "p < 0,001": three places below 0,01, else two.
std::string PText(double p);

// "опережения преобладают, p = 0,003", "запаздывания преобладают, p = 0,02" or
// "преобладания нет, p = 0,41".
std::string BalanceText(int early, int late);

// The figures of one finished test: [hand][level] with level 0 for the whole test.
struct TestFigures {
  int test_kind = 0;
  Figures by[2][kLevelCount + 1];
  // Every judged answer of a hand in order through the test, for the pictures.
  struct Answer {
    int level = 0;
    bool hit = false;
    bool timed = false;
    double error_ms = 0;
  };
  std::vector<Answer> answers[2];
};

// `presses` are the test's own rows; `block` (may be null) gives the flash test's unanswered
// flashes from its cells.
TestFigures ComputeFigures(int test_kind, const std::vector<PressRow>& presses,
                           const ReportBlock* block);

}  // namespace tavrik::protocol
